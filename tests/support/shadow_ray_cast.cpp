// The CPU ray cast of the box-over-receiver scene (see shadow_ray_cast.h).
#include "support/shadow_ray_cast.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <utility>

#include "shadow/normals.h"
#include "support/test_mesh.h"

namespace {

constexpr double pi = 3.14159265358979323846;
const double tanHalfFovy = std::tan(22.5 * pi / 180.0);

double component(const Vec3d& v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }

double aspectOf(const Camera& camera) {
  return static_cast<double>(camera.width) / static_cast<double>(camera.height);
}

}  // namespace

Vec3d operator-(const Vec3d& a, const Vec3d& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3d operator+(const Vec3d& a, const Vec3d& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3d operator*(double s, const Vec3d& a) { return {s * a.x, s * a.y, s * a.z}; }
double dot(const Vec3d& a, const Vec3d& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3d cross(const Vec3d& a, const Vec3d& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Vec3d widen(const Vec3& v) { return {v.x, v.y, v.z}; }

Camera startCamera(int width, int height) {
  return {{0.0, 0.0, 200.0}, {1.0, 0.0, 0.0}, {0.0, 1.0, 0.0}, {0.0, 0.0, 1.0}, width, height};
}

Vec3d rayDirection(const Camera& camera, double x, double yUp) {
  double ndcX = 2.0 * x / camera.width - 1.0;
  double ndcY = 2.0 * yUp / camera.height - 1.0;
  return (ndcX * tanHalfFovy * aspectOf(camera)) * camera.right +
         (ndcY * tanHalfFovy) * camera.up - camera.back;
}

void projectPoint(const Camera& camera, const Vec3d& p, double& x, double& yUp) {
  Vec3d v = p - camera.eye;
  double depth = -dot(v, camera.back);
  x = (dot(v, camera.right) / depth / (tanHalfFovy * aspectOf(camera)) + 1.0) * 0.5 *
      camera.width;
  yUp = (dot(v, camera.up) / depth / tanHalfFovy + 1.0) * 0.5 * camera.height;
}

double expectedVertexShade(const Vec3& normal, const Vec3& position, const Vec3d& light) {
  Vec3d n = widen(normal);
  Vec3d v = widen(position) - light;
  double d = std::sqrt(dot(v, v));
  double k = dot(n, v) / (std::sqrt(dot(n, n)) * d);
  if (!(k > 0.1) || !(d < 210.0)) return 0.0;
  return 0.7 * (k - 0.1) * 1.1 * (1.0 - d * d / (210.0 * 210.0));
}

bool hitTriangle(const Vec3d& origin, const Vec3d& direction, const Vec3d& a, const Vec3d& b,
                 const Vec3d& c, double& t, double weights[3], bool frontOnly) {
  Vec3d ab = b - a;
  Vec3d ac = c - a;
  Vec3d p = cross(direction, ac);
  double det = dot(ab, p);
  if (frontOnly ? det < 1e-12 : std::fabs(det) < 1e-12) return false;
  double inverse = 1.0 / det;
  Vec3d s = origin - a;
  double u = dot(s, p) * inverse;
  if (u < 0.0 || u > 1.0) return false;
  Vec3d q = cross(s, ab);
  double v = dot(direction, q) * inverse;
  if (v < 0.0 || u + v > 1.0) return false;
  t = dot(ac, q) * inverse;
  weights[0] = 1.0 - u - v;
  weights[1] = u;
  weights[2] = v;
  return t > 0.0;
}

bool boxBlocksLight(const Vec3d& p, const Vec3d& light, const BoxAndLight& box) {
  double enter = -std::numeric_limits<double>::infinity();
  double leave = std::numeric_limits<double>::infinity();
  const Vec3d low = widen(box.low);
  const Vec3d high = widen(box.high);
  Vec3d d = light - p;
  for (int axis = 0; axis < 3; ++axis) {
    double from = component(p, axis);
    double step = component(d, axis);
    double lo = component(low, axis);
    double hi = component(high, axis);
    if (std::fabs(step) < 1e-12) {
      if (from < lo || from > hi) return false;
      continue;
    }
    double t0 = (lo - from) / step;
    double t1 = (hi - from) / step;
    enter = std::max(enter, std::min(t0, t1));
    leave = std::min(leave, std::max(t0, t1));
  }
  // A point on the box's lit side leaves at once; one on its dark side runs
  // through the box.
  return leave > std::max(enter, 1e-6) && enter < 1.0;
}

bool hitsMarker(const Vec3d& origin, const Vec3d& direction, const Vec3d& light) {
  const Vec3d& l = light;
  const Vec3d marker[4] = {l + Vec3d{-5, -5, -5}, l + Vec3d{5, -5, -5}, l + Vec3d{0, 5, -5},
                           l + Vec3d{0, 0, 5}};
  const int markerTriangles[4][3] = {{0, 1, 2}, {3, 1, 2}, {0, 3, 2}, {0, 1, 3}};
  for (const auto& corners : markerTriangles) {
    double along;
    double weights[3];
    if (hitTriangle(origin, direction, marker[corners[0]], marker[corners[1]],
                    marker[corners[2]], along, weights, false))
      return true;
  }
  return false;
}

Sight castRay(const Mesh& mesh, const Camera& camera, const BoxAndLight& box, double x,
              double yUp) {
  const Vec3d eye = camera.eye;
  const Vec3d direction = rayDirection(camera, x, yUp);
  const Vec3d light = widen(box.light);
  Sight sight;
  double nearest = std::numeric_limits<double>::infinity();
  auto consider = [&](int32_t face, int surface) {
    const Face& f = mesh.faces[face];
    double t;
    double weights[3];
    if (!hitTriangle(eye, direction, widen(mesh.vertices[f.corner[0]]),
                     widen(mesh.vertices[f.corner[1]]), widen(mesh.vertices[f.corner[2]]), t,
                     weights) ||
        t >= nearest)
      return;
    nearest = t;
    sight.distance = t;
    sight.surface = surface;
    sight.shade = 0.0;
    for (int n = 0; n < 3; ++n)
      sight.shade += weights[n] * expectedVertexShade(mesh.vertexNormals[f.corner[n]],
                                                      mesh.vertices[f.corner[n]], light);
  };
  for (int32_t face = receiverFaceCount; face < mesh.faceCount; ++face)
    consider(face, 1 + (face - receiverFaceCount) / 2);
  // The receiver, in z = 0: only the triangles of the cells around the ray.
  Vec3d onReceiver = eye + (-eye.z / direction.z) * direction;
  int i = static_cast<int>(std::floor((onReceiver.x - receiverLeft) / receiverCell));
  int j = static_cast<int>(std::floor((onReceiver.y - receiverNear) / receiverCell));
  for (int dj = -1; dj <= 1 && direction.z < 0.0; ++dj)
    for (int di = -1; di <= 1; ++di) {
      int ci = i + di;
      int cj = j + dj;
      if (ci < 0 || cj < 0 || ci >= receiverColumns || cj >= receiverRows) continue;
      int32_t cell = cj * receiverColumns + ci;
      consider(2 * cell, 0);
      consider(2 * cell + 1, 0);
    }
  // The light marker lies nearer the eye than the whole mesh and is drawn over it.
  if (hitsMarker(eye, direction, light)) {
    sight.surface = markerSurface;
    return sight;
  }
  if (sight.surface >= 0) sight.shadowed = boxBlocksLight(eye + nearest * direction, light, box);
  return sight;
}

std::vector<PixelTruth> castEveryPixel(const Mesh& mesh, const Camera& camera,
                                       const BoxAndLight& box) {
  const int width = camera.width;
  const int height = camera.height;
  auto at = [width](int x, int y) {
    return static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x);
  };
  std::vector<PixelTruth> truth(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      PixelTruth& pixel = truth[at(x, y)];
      pixel.sight = castRay(mesh, camera, box, x + 0.5, y + 0.5);
      for (const auto& offset : {std::pair<double, double>{0.0, 0.5}, {1.0, 0.5}, {0.5, 0.0},
                                 {0.5, 1.0}}) {
        Sight near = castRay(mesh, camera, box, x + offset.first, y + offset.second);
        if (near.surface == pixel.sight.surface)
          pixel.spread = std::max(pixel.spread, std::fabs(near.shade - pixel.sight.shade));
      }
    }
  auto kind = [&](int x, int y) {
    const Sight& s = truth[at(x, y)].sight;
    return 2 * s.surface + (s.shadowed ? 1 : 0);
  };
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      bool near = false;
      for (int dy = -2; dy <= 2 && !near; ++dy)
        for (int dx = -2; dx <= 2 && !near; ++dx) {
          int nx = x + dx;
          int ny = y + dy;
          if (nx < 0 || ny < 0 || nx >= width || ny >= height) continue;
          near = kind(nx, ny) != kind(x, y);
        }
      truth[at(x, y)].nearBoundary = near;
    }
  return truth;
}

PictureAgreement judgeStartPicture(const std::vector<uint32_t>& picture, int width, int height,
                                   const BoxAndLight& scene) {
  std::vector<Vec3> vertices;
  std::vector<Face> faces;
  addReceiver(vertices, faces);
  addBox(vertices, faces, scene.low, scene.high);
  TestMesh mesh(vertices, faces);
  computeFaceNormals(mesh.mesh);
  computeVertexNormals(mesh.mesh);
  const std::vector<PixelTruth> truth =
      castEveryPixel(mesh.mesh, startCamera(width, height), scene);
  PictureAgreement agreement;
  if (picture.size() != truth.size()) return agreement;
  constexpr int greenMax = 63;
  constexpr uint32_t white = 0xFFFF;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const PixelTruth& pixel = truth[static_cast<size_t>(y) * static_cast<size_t>(width) +
                                      static_cast<size_t>(x)];
      if (pixel.nearBoundary) continue;
      const uint32_t value = picture[static_cast<size_t>(height - 1 - y) *
                                         static_cast<size_t>(width) + static_cast<size_t>(x)];
      if (pixel.sight.surface < 0) continue;
      ++agreement.covered;
      if (value != white) ++agreement.drawn;
      if (pixel.sight.surface != 0) continue;
      const double green = static_cast<double>((value >> 5) & 0x3f);
      const double lit = (pixel.sight.shade + 0.12) * greenMax;
      const double shadowed = (0.52 * pixel.sight.shade + 0.12) * greenMax;
      agreement.leastGap = std::min(agreement.leastGap, lit - shadowed);
      ++agreement.judged;
      if (pixel.sight.shadowed) ++agreement.inShadow;
      if ((green < 0.5 * (lit + shadowed)) == pixel.sight.shadowed) ++agreement.agreeing;
    }
  return agreement;
}
