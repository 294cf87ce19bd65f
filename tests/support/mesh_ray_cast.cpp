// The brute-force ray cast over any mesh (see mesh_ray_cast.h).
#include "support/mesh_ray_cast.h"

#include <algorithm>
#include <cmath>
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
  Vec3d low;  // the corners' bounds, to pass over triangles far from a shadow ray
  Vec3d high;
  bool casts;  // false with the corners in a line: such a face hides nothing
};

constexpr int tileSize = 16;  // pixels

// The triangles whose front the eye might see in each tile of the window, found
// from their projected corners' bounds; one reaching behind the eye is in all.
// Only a shortcut: the eye's rays still meet every triangle they could.
std::vector<std::vector<int32_t>> tilesOf(const std::vector<Triangle>& triangles,
                                          const Camera& camera, int columns, int rows) {
  std::vector<std::vector<int32_t>> tiles(static_cast<size_t>(columns) *
                                          static_cast<size_t>(rows));
  for (size_t n = 0; n < triangles.size(); ++n) {
    const Triangle& t = triangles[n];
    const Vec3d normal = cross(t.corner[1] - t.corner[0], t.corner[2] - t.corner[0]);
    if (!(dot(normal, camera.eye - t.corner[0]) > 0.0)) continue;
    double left = std::numeric_limits<double>::infinity(), bottom = left;
    double right = -left, top = -left;
    bool behind = false;
    for (const Vec3d& corner : t.corner) {
      if (-dot(corner - camera.eye, camera.back) < 1.0) behind = true;
      double x, yUp;
      projectPoint(camera, corner, x, yUp);
      left = std::min(left, x);
      right = std::max(right, x);
      bottom = std::min(bottom, yUp);
      top = std::max(top, yUp);
    }
    auto tile = [](double at, int count) {
      return static_cast<int>(std::clamp(std::floor(at / tileSize), 0.0, count - 1.0));
    };
    const int i0 = behind ? 0 : tile(left - 1.0, columns);
    const int i1 = behind ? columns - 1 : tile(right + 1.0, columns);
    const int j0 = behind ? 0 : tile(bottom - 1.0, rows);
    const int j1 = behind ? rows - 1 : tile(top + 1.0, rows);
    if (!behind && (right < -1.0 || left > camera.width + 1.0 || top < -1.0 ||
                    bottom > camera.height + 1.0))
      continue;
    for (int j = j0; j <= j1; ++j)
      for (int i = i0; i <= i1; ++i)
        tiles[static_cast<size_t>(j) * static_cast<size_t>(columns) + static_cast<size_t>(i)]
            .push_back(static_cast<int32_t>(n));
  }
  return tiles;
}

MeshSight castOne(const std::vector<Triangle>& triangles, const std::vector<int32_t>& inTile,
                  const Camera& camera, const Vec3d& light, double x, double yUp) {
  const Vec3d direction = rayDirection(camera, x, yUp);
  MeshSight sight;
  if (hitsMarker(camera.eye, direction, light)) {
    sight.marker = true;
    return sight;
  }
  double nearest = std::numeric_limits<double>::infinity();
  for (int32_t n : inTile) {
    const Triangle& triangle = triangles[static_cast<size_t>(n)];
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
  const Vec3d low{std::min(seen.x, light.x), std::min(seen.y, light.y),
                  std::min(seen.z, light.z)};
  const Vec3d high{std::max(seen.x, light.x), std::max(seen.y, light.y),
                   std::max(seen.z, light.z)};
  for (const Triangle& triangle : triangles) {
    if (!triangle.casts || triangle.high.x < low.x || triangle.low.x > high.x ||
        triangle.high.y < low.y || triangle.low.y > high.y || triangle.high.z < low.z ||
        triangle.low.z > high.z)
      continue;
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
    const Vec3d normal = cross(triangle.corner[1] - triangle.corner[0],
                               triangle.corner[2] - triangle.corner[0]);
    triangle.casts = normal.x != 0.0 || normal.y != 0.0 || normal.z != 0.0;
    triangle.low = triangle.high = triangle.corner[0];
    for (const Vec3d& c : triangle.corner) {
      triangle.low = {std::min(triangle.low.x, c.x), std::min(triangle.low.y, c.y),
                      std::min(triangle.low.z, c.z)};
      triangle.high = {std::max(triangle.high.x, c.x), std::max(triangle.high.y, c.y),
                       std::max(triangle.high.z, c.z)};
    }
  }
  const int tileColumns = (camera.width + tileSize - 1) / tileSize;
  const int tileRows = (camera.height + tileSize - 1) / tileSize;
  const std::vector<std::vector<int32_t>> tiles =
      tilesOf(triangles, camera, tileColumns, tileRows);
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
      const std::vector<int32_t>& inTile =
          tiles[static_cast<size_t>(sample.y / tileSize) * static_cast<size_t>(tileColumns) +
                static_cast<size_t>(sample.x / tileSize)];
      sample.sight = castOne(triangles, inTile, camera, light, sample.x + 0.5, sample.y + 0.5);
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

PictureJudgement judgePicture(const std::vector<MeshSample>& samples,
                              const std::vector<uint32_t>& picture, int width, int height) {
  constexpr int greenMax = 63;
  PictureJudgement judgement;
  for (const MeshSample& sample : samples) {
    const MeshSight& sight = sample.sight;
    if (sight.group < 0 || sight.marker || sample.nearBoundary) continue;
    const double lit = (sight.shade + 0.12) * greenMax;
    const double shadowed = (0.52 * sight.shade + 0.12) * greenMax;
    if (lit - shadowed < 4.0) continue;
    const uint32_t value = picture[static_cast<size_t>(height - 1 - sample.y) *
                                       static_cast<size_t>(width) + static_cast<size_t>(sample.x)];
    const double green = static_cast<double>((value >> 5) & 0x3f);
    ++judgement.judged;
    if (sight.shadowed) ++judgement.inShadow;
    if ((green < 0.5 * (lit + shadowed)) == sight.shadowed) ++judgement.agreeing;
    if ((value & 0x1f) != 0) ++judgement.withBlue;
  }
  return judgement;
}
