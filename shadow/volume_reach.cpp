// Whether a closed shadow volume reaches a rectangle, by the faces that face
// the light. A face's part of the volume is {L + t (q - L) : q on the face,
// t >= 1}; a point r of the rectangle lies in it exactly when the face holds
// L + (r - L) / t, a point of the pyramid from L to the rectangle (the apex
// left out, where no face that faces the light can be). So the volume misses
// the rectangle exactly when every lit face misses the pyramid.
//
// Triangle and pyramid are convex, so they are apart exactly when some axis
// shows their projections apart: one of the two shapes' face normals or a
// cross product of an edge of each. Axes that show no gap, or a gap within
// the margin, prove nothing, so the test never calls apart what touches.
// The axis from the light to the rectangle's middle and the pyramid's own
// face normals come first: they part most faces of a scene at once, and the
// pyramid's side of them is worked out once per call, not per face. They
// are tried on the bounds of each run of faces first, which passes over the
// runs far from the pyramid without looking at their faces.
#include "shadow/volume_reach.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace {

struct Vec {
  double x;
  double y;
  double z;
};

Vec operator-(const Vec& a, const Vec& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
double dot(const Vec& a, const Vec& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec cross(const Vec& a, const Vec& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Vec fromArray(const double v[3]) { return {v[0], v[1], v[2]}; }
double largest(const Vec& v) { return std::max({std::fabs(v.x), std::fabs(v.y), std::fabs(v.z)}); }

// The rounding allowed for: far more than double arithmetic loses, and more
// than the single-precision coordinates a GL works in lose on the way to
// its clip space, relative to the largest coordinate involved.
constexpr double relativeRounding = 1e-6;

struct Interval {
  double low;
  double high;
};

template <size_t N>
Interval project(const Vec (&points)[N], const Vec& axis) {
  Interval span{dot(points[0], axis), dot(points[0], axis)};
  for (size_t n = 1; n < N; ++n) {
    const double d = dot(points[n], axis);
    span.low = std::min(span.low, d);
    span.high = std::max(span.high, d);
  }
  return span;
}

bool apart(const Interval& a, const Interval& b, const Vec& axis, double margin) {
  const double gap = margin * std::sqrt(dot(axis, axis));
  return a.high + gap < b.low || b.high + gap < a.low;
}

// The pyramid, with its spans on the axes of its own that every face is tried on.
struct Pyramid {
  Vec points[5];  // the apex, then the base corners in order
  Vec edges[8];
  Vec axes[6];
  Interval spans[6];
  double size;
};

Pyramid makePyramid(const Vec& apex, const double base[4][3]) {
  Pyramid pyramid;
  pyramid.points[0] = apex;
  Vec middle{0.0, 0.0, 0.0};
  for (int n = 0; n < 4; ++n) {
    const Vec corner = fromArray(base[n]);
    pyramid.points[n + 1] = corner;
    middle = {middle.x + corner.x / 4.0, middle.y + corner.y / 4.0, middle.z + corner.z / 4.0};
  }
  pyramid.size = 0.0;
  for (int n = 0; n < 4; ++n) {
    const Vec& corner = pyramid.points[n + 1];
    const Vec& next = pyramid.points[(n + 1) % 4 + 1];
    pyramid.edges[n] = corner - apex;
    pyramid.edges[n + 4] = next - corner;
    pyramid.axes[n + 2] = cross(corner - apex, next - apex);
  }
  pyramid.axes[0] = middle - apex;
  pyramid.axes[1] = cross(pyramid.edges[4], pyramid.edges[5]);
  for (int n = 0; n < 6; ++n) pyramid.spans[n] = project(pyramid.points, pyramid.axes[n]);
  for (const Vec& p : pyramid.points) pyramid.size = std::max(pyramid.size, largest(p));
  return pyramid;
}

bool meets(const Pyramid& pyramid, const Vec (&triangle)[3], double margin) {
  double size = pyramid.size;
  for (const Vec& p : triangle) size = std::max(size, largest(p));
  const double allowed = margin + relativeRounding * size;
  for (int n = 0; n < 6; ++n)
    if (apart(project(triangle, pyramid.axes[n]), pyramid.spans[n], pyramid.axes[n], allowed))
      return false;
  const Vec sides[3] = {triangle[1] - triangle[0], triangle[2] - triangle[1],
                        triangle[0] - triangle[2]};
  const Vec normal = cross(sides[0], sides[1]);
  if (apart(project(triangle, normal), project(pyramid.points, normal), normal, allowed))
    return false;
  for (const Vec& side : sides)
    for (const Vec& edge : pyramid.edges) {
      const Vec axis = cross(side, edge);
      if (apart(project(triangle, axis), project(pyramid.points, axis), axis, allowed))
        return false;
    }
  return true;
}

// Whether the pyramid's own axes part it from every face inside the box, as
// meets would find for each of them: with the largest margin any such face
// gets, and a little more than the rounding of projecting a point rather
// than a box corner. A box that holds no casting face is apart.
bool boxApart(const Pyramid& pyramid, const ClosedVolumeTable::Box& box, double margin) {
  if (!(box.low.x <= box.high.x)) return true;
  Vec corners[8];
  for (int n = 0; n < 8; ++n)
    corners[n] = {n & 1 ? box.high.x : box.low.x, n & 2 ? box.high.y : box.low.y,
                  n & 4 ? box.high.z : box.low.z};
  double size = pyramid.size;
  for (const Vec& p : corners) size = std::max(size, largest(p));
  const double allowed = margin + relativeRounding * size * (1.0 + 1e-6);
  for (int n = 0; n < 6; ++n)
    if (apart(project(corners, pyramid.axes[n]), pyramid.spans[n], pyramid.axes[n], allowed))
      return true;
  return false;
}

}  // namespace

bool triangleMeetsPyramid(const double triangle[3][3], const double apex[3],
                          const double base[4][3], double margin) {
  const Pyramid pyramid = makePyramid(fromArray(apex), base);
  const Vec corners[3] = {fromArray(triangle[0]), fromArray(triangle[1]), fromArray(triangle[2])};
  return meets(pyramid, corners, margin);
}

bool volumeReachesRectangle(const ShadowVolume& volume, const ClosedVolume& closed,
                            const double rectangle[4][3], double margin) {
  const Vec3& light = closed.light;
  const Pyramid pyramid = makePyramid({light.x, light.y, light.z}, rectangle);
  const std::vector<uint8_t>& lit = closed.litFaces;
  const std::vector<ClosedVolumeTable::Box>& boxes = volume.closedTable.boxes;
  constexpr size_t perBox = ClosedVolumeTable::facesPerBox;
  for (size_t k = 0; k < lit.size(); ++k) {
    if (k % perBox == 0 && k / perBox < boxes.size() &&
        boxApart(pyramid, boxes[k / perBox], margin)) {
      k += perBox - 1;
      continue;
    }
    Vec3 c[3];
    if (lit[k] == 0 || !volume.faceCorners(static_cast<int32_t>(k), c)) continue;
    const Vec corners[3] = {
        {c[0].x, c[0].y, c[0].z}, {c[1].x, c[1].y, c[1].z}, {c[2].x, c[2].y, c[2].z}};
    if (meets(pyramid, corners, margin)) return true;
  }
  return false;
}
