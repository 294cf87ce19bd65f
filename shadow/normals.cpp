// Face normals (unit, clockwise side of the stored corner order) and vertex
// normals (the plain mean of the face normals at each corner) of one mesh, in
// single precision. Does not normalise the vertex means: where the faces at a
// vertex disagree the shading is meant to come out darker. Face indices from
// the file are not trusted; a corner outside the vertex array is never read.
#include "shadow/normals.h"

#include <cmath>
#include <vector>

namespace {

int32_t usableFaceCount(const Mesh& mesh) {
  return mesh.faces == nullptr || mesh.faceCount < 0 ? 0 : mesh.faceCount;
}

int32_t usableVertexCount(const Mesh& mesh) {
  return mesh.vertices == nullptr || mesh.vertexCount < 0 ? 0 : mesh.vertexCount;
}

bool namesVertex(int32_t index, int32_t vertexCount) {
  return index >= 0 && index < vertexCount;
}

}  // namespace

void computeFaceNormals(Mesh& mesh) {
  const int32_t faceCount = usableFaceCount(mesh);
  const int32_t vertexCount = usableVertexCount(mesh);
  delete[] mesh.faceNormals;
  mesh.faceNormals = new Vec3[faceCount];

  for (int32_t i = 0; i < faceCount; ++i) {
    const Face& face = mesh.faces[i];
    Vec3& normal = mesh.faceNormals[i];
    normal = Vec3{0.0f, 0.0f, 0.0f};
    if (!namesVertex(face.corner[0], vertexCount) || !namesVertex(face.corner[1], vertexCount) ||
        !namesVertex(face.corner[2], vertexCount)) {
      continue;
    }
    const Vec3& v0 = mesh.vertices[face.corner[0]];
    const Vec3& v1 = mesh.vertices[face.corner[1]];
    const Vec3& v2 = mesh.vertices[face.corner[2]];
    const Vec3 e1{v0.x - v1.x, v0.y - v1.y, v0.z - v1.z};
    const Vec3 e2{v0.x - v2.x, v0.y - v2.y, v0.z - v2.z};
    const Vec3 n{e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z,
                 e1.x * e2.y - e1.y * e2.x};
    const float length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    // e1 x e2 follows the right-hand rule on the stored order; the light
    // expects the other side, hence the negation.
    if (length != 0.0f) {
      normal = Vec3{-n.x / length, -n.y / length, -n.z / length};
    }
  }
}

void computeVertexNormals(Mesh& mesh) {
  // Without face normals there is nothing to average; every vertex keeps zero.
  const int32_t faceCount = mesh.faceNormals == nullptr ? 0 : usableFaceCount(mesh);
  const int32_t vertexCount = usableVertexCount(mesh);
  delete[] mesh.vertexNormals;
  mesh.vertexNormals = new Vec3[vertexCount];
  for (int32_t v = 0; v < vertexCount; ++v) {
    mesh.vertexNormals[v] = Vec3{0.0f, 0.0f, 0.0f};
  }

  std::vector<int32_t> cornerCounts(static_cast<size_t>(vertexCount), 0);
  for (int32_t i = 0; i < faceCount; ++i) {
    const Vec3& normal = mesh.faceNormals[i];
    for (int32_t corner : mesh.faces[i].corner) {
      if (!namesVertex(corner, vertexCount)) {
        continue;
      }
      Vec3& sum = mesh.vertexNormals[corner];
      sum.x += normal.x;
      sum.y += normal.y;
      sum.z += normal.z;
      ++cornerCounts[static_cast<size_t>(corner)];
    }
  }

  for (int32_t v = 0; v < vertexCount; ++v) {
    const int32_t count = cornerCounts[static_cast<size_t>(v)];
    if (count != 0) {
      Vec3& sum = mesh.vertexNormals[v];
      const float divisor = static_cast<float>(count);
      sum.x /= divisor;
      sum.y /= divisor;
      sum.z /= divisor;
    }
  }
}
