// The quadratic edge-list build, written step by step the plain way so that
// it is easy to check by eye. A face that names a vertex outside the array
// gives removed records and is never a neighbour, as in the program.
#include "tests/support/edge_list_oracle.h"

#include <cstddef>

namespace {

const Edge removed{removedEdge, removedEdge, removedEdge, removedEdge};

bool faceIsInside(const Face& face, int32_t vertexCount) {
  for (int c = 0; c < 3; ++c) {
    if (face.corner[c] < 0 || face.corner[c] >= vertexCount) {
      return false;
    }
  }
  return true;
}

bool isAt(const Vec3& v, const float p[3]) { return v.x == p[0] && v.y == p[1] && v.z == p[2]; }

bool sameOrSwapped(int32_t a0, int32_t a1, int32_t b0, int32_t b1) {
  return (a0 == b0 && a1 == b1) || (a0 == b1 && a1 == b0);
}

}  // namespace

int32_t scanForOppositeVertex(const float p[3], const float q[3], int32_t ignoredFace,
                              int32_t faceCount, const Vec3* vertices, int32_t vertexCount,
                              const Face* faces) {
  if (faceCount < 1) {
    return -1;
  }
  for (int32_t f = 0; f < faceCount; ++f) {
    if (f == ignoredFace || !faceIsInside(faces[f], vertexCount)) {
      continue;
    }
    int atP = -1;
    int atQ = -1;
    for (int c = 0; c < 3; ++c) {
      if (isAt(vertices[faces[f].corner[c]], p)) {
        atP = c;
      }
    }
    for (int c = 0; c < 3; ++c) {
      if (isAt(vertices[faces[f].corner[c]], q)) {
        atQ = c;
      }
    }
    if (atP == -1 || atQ == -1) {
      continue;
    }
    for (int c = 0; c < 3; ++c) {
      if (c != atP && c != atQ) {
        return faces[f].corner[c];
      }
    }
  }
  return -1;
}

ScannedEdgeList buildEdgeListByScanning(const Mesh& mesh) {
  const int32_t faceCount = mesh.faceCount;
  const int32_t total = 3 * faceCount;
  std::vector<Edge> edges(static_cast<size_t>(total));
  int32_t count = total;

  for (int32_t i = 0; i < faceCount; ++i) {
    const Face& face = mesh.faces[i];
    if (!faceIsInside(face, mesh.vertexCount)) {
      edges[3 * i] = edges[3 * i + 1] = edges[3 * i + 2] = removed;
      count -= 3;
      continue;
    }
    const int32_t i0 = face.corner[0];
    const int32_t i1 = face.corner[1];
    const int32_t i2 = face.corner[2];
    const Vec3& v0 = mesh.vertices[i0];
    const Vec3& v1 = mesh.vertices[i1];
    const Vec3& v2 = mesh.vertices[i2];
    const float p0[3] = {v0.x, v0.y, v0.z};
    const float p1[3] = {v1.x, v1.y, v1.z};
    const float p2[3] = {v2.x, v2.y, v2.z};
    edges[3 * i] = Edge{i0, i1, i2,
                        scanForOppositeVertex(p0, p1, i, faceCount, mesh.vertices,
                                              mesh.vertexCount, mesh.faces)};
    edges[3 * i + 1] = Edge{i1, i2, i0,
                            scanForOppositeVertex(p1, p2, i, faceCount, mesh.vertices,
                                                  mesh.vertexCount, mesh.faces)};
    edges[3 * i + 2] = Edge{i2, i0, i1,
                            scanForOppositeVertex(p2, p0, i, faceCount, mesh.vertices,
                                                  mesh.vertexCount, mesh.faces)};
  }

  for (int32_t j = 0; j < total; ++j) {
    if (edges[j].vertex0 == removedEdge) {
      continue;
    }
    for (int32_t k = j + 1; k < total; ++k) {
      if (edges[k].vertex0 == removedEdge) {
        continue;
      }
      if (sameOrSwapped(edges[k].vertex0, edges[k].vertex1, edges[j].vertex0, edges[j].vertex1) &&
          sameOrSwapped(edges[k].apex, edges[k].neighbourApex, edges[j].apex,
                        edges[j].neighbourApex)) {
        edges[k] = removed;
        --count;
      }
    }
  }

  int32_t t = total - 1;
  for (int32_t i = 0; i < total; ++i) {
    if (edges[i].vertex0 != removedEdge) {
      continue;
    }
    if (t <= i) {
      break;
    }
    bool finished = false;
    while (edges[t].vertex0 == removedEdge) {
      --t;
      if (t <= i) {
        finished = true;
        break;
      }
    }
    if (finished) {
      break;
    }
    edges[i] = edges[t];
    edges[t] = removed;
  }

  return ScannedEdgeList{edges, count};
}
