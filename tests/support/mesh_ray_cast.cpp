// The brute-force ray cast over any mesh (see mesh_ray_cast.h).
#include "support/mesh_ray_cast.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <numeric>

namespace {

// Union-find root, halving the path as it goes.
int32_t rootOf(std::vector<int32_t>& parent, int32_t v) {
  while (parent[static_cast<size_t>(v)] != v) {
    parent[static_cast<size_t>(v)] = parent[static_cast<size_t>(parent[static_cast<size_t>(v)])];
    v = parent[static_cast<size_t>(v)];
  }
  return v;
}

// Each face's group: the smallest vertex index of the faces joined to it
// through shared vertices.
std::vector<int32_t> faceGroups(const Mesh& mesh) {
  std::vector<int32_t> parent(static_cast<size_t>(mesh.vertexCount));
  std::iota(parent.begin(), parent.end(), 0);
  for (int32_t f = 0; f < mesh.faceCount; ++f)
    for (int n = 1; n < 3; ++n) {
      int32_t a = rootOf(parent, mesh.faces[f].corner[0]);
      int32_t b = rootOf(parent, mesh.faces[f].corner[n]);
      parent[static_cast<size_t>(std::max(a, b))] = std::min(a, b);
    }
  std::vector<int32_t> groups(static_cast<size_t>(mesh.faceCount));
  for (int32_t f = 0; f < mesh.faceCount; ++f)
    groups[static_cast<size_t>(f)] = rootOf(parent, mesh.faces[f].corner[0]);
  return groups;
}

struct Triangle {
  Vec3d corner[3];
  double shade[3];
  int32_t group;
};

MeshSight castOne(const std::vector<Triangle>& triangles, const Camera& camera,
                  const Vec3d& light, double x, double yUp) {
  const Vec3d direction = rayDirection(camera, x, yUp);
  MeshSight sight;
  if (hitsMarker(camera.eye, direction, light)) {
    sight.marker = true;
    return sight;
  }
  double nearest = std::numeric_limits<double>::infinity();
  for (const Triangle& triangle : triangles) {
    double t;
    double weights[3];
    if (!hitTriangle(camera.eye, direction, triangle.corner[0], triangle.corner[1],
                     triangle.corner[2], t, weights) ||
        t >= nearest)
      continue;
    nearest = t;
    sight.group = triangle.group;
    sight.shade = weights[0] * triangle.shade[0] + weights[1] * triangle.shade[1] +
                  weights[2] * triangle.shade[2];
  }
  if (sight.group < 0) return sight;
  // Any face strictly between the point seen and the light, either side; the
  // ends are left out so the face seen and faces through the light do not count.
  const Vec3d seen = camera.eye + nearest * direction;
  const Vec3d toLight = light - seen;
  constexpr double margin = 1e-4;
  for (const Triangle& triangle : triangles) {
    double t;
    double weights[3];
    if (hitTriangle(seen, toLight, triangle.corner[0], triangle.corner[1], triangle.corner[2], t,
                    weights, false) &&
        t > margin && t < 1.0 - margin) {
      sight.shadowed = true;
      break;
    }
  }
  return sight;
}

}  // namespace

std::vector<MeshSample> castMeshGrid(const Mesh& mesh, const Camera& camera, const Vec3d& light,
                                     int step) {
  const std::vector<int32_t> groups = faceGroups(mesh);
  std::vector<Triangle> triangles(static_cast<size_t>(mesh.faceCount));
  for (int32_t f = 0; f < mesh.faceCount; ++f) {
    Triangle& triangle = triangles[static_cast<size_t>(f)];
    for (int n = 0; n < 3; ++n) {
      const int32_t v = mesh.faces[f].corner[n];
      triangle.corner[n] = widen(mesh.vertices[v]);
      triangle.shade[n] = expectedVertexShade(mesh.vertexNormals[v], mesh.vertices[v], light);
    }
    triangle.group = groups[static_cast<size_t>(f)];
  }
  const int columns = (camera.width + step - 1) / step;
  const int rows = (camera.height + step - 1) / step;
  std::vector<MeshSample> samples(static_cast<size_t>(columns) * static_cast<size_t>(rows));
  auto at = [columns](int i, int j) {
    return static_cast<size_t>(j) * static_cast<size_t>(columns) + static_cast<size_t>(i);
  };
  for (int j = 0; j < rows; ++j)
    for (int i = 0; i < columns; ++i) {
      MeshSample& sample = samples[at(i, j)];
      sample.x = i * step;
      sample.y = j * step;
      sample.sight = castOne(triangles, camera, light, sample.x + 0.5, sample.y + 0.5);
    }
  auto kind = [&](int i, int j) {
    const MeshSight& s = samples[at(i, j)].sight;
    return s.marker ? -3 : 2 * s.group + (s.shadowed ? 1 : 0);
  };
  for (int j = 0; j < rows; ++j)
    for (int i = 0; i < columns; ++i) {
      bool near = false;
      for (int dj = -1; dj <= 1; ++dj)
        for (int di = -1; di <= 1; ++di) {
          const int ni = i + di;
          const int nj = j + dj;
          if (ni >= 0 && nj >= 0 && ni < columns && nj < rows && kind(ni, nj) != kind(i, j))
            near = true;
        }
      samples[at(i, j)].nearBoundary = near;
    }
  return samples;
}
