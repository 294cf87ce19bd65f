// The closed shadow volume, for the mode that counts from behind the surface:
// the faces that face the light (the light cap), the same faces pushed to
// infinity and turned round (the dark cap), and one side quad, from the edge
// to infinity, on every edge where the faces that face the light end. That is
// the boundary of everything the light-facing faces hide, so it is closed
// whatever the mesh: an edge with one face ends the light-facing faces like a
// silhouette does. (On a closed mesh the dark cap covers exactly the
// directions that the faces facing away cover; unlike those it also closes
// the volume of a part with open edges.) Far corners go out with w = 0.
//
// Whether a face faces the light is worked out by one function, the same way
// for a face read from the face array and for the two faces named by an edge
// record, so caps and sides agree on every face and the volume has no cracks.
// An edge whose two faces use separate vertices at the same positions is
// listed twice by the edge list, once from each face; its side is then sent
// only from the record of the face that faces the light, since a side sent
// twice would miscount every pixel seen through it. (The open volume only
// asks whether a side was crossed, so there the second copy is harmless.)
#include <GL/gl.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <numeric>
#include <vector>

#include "shadow/shadow_volume.h"

namespace {

bool before(const Vec3& a, const Vec3& b) {
  if (a.x != b.x) return a.x < b.x;
  if (a.y != b.y) return a.y < b.y;
  return a.z < b.z;
}

// The face (a, b, c), counter-clockwise seen from its front, shows its front
// to the light. The corners are first turned so that the same face gives the
// same arithmetic whichever corner it is named from.
bool facesLight(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& light) {
  const Vec3* p[3] = {&a, &b, &c};
  int first = 0;
  if (before(b, *p[first])) first = 1;
  if (before(c, *p[first])) first = 2;
  double d[3][3];
  for (int n = 0; n < 3; ++n) {
    const Vec3& v = *p[(first + n) % 3];
    d[n][0] = double{v.x} - light.x;
    d[n][1] = double{v.y} - light.y;
    d[n][2] = double{v.z} - light.z;
  }
  const double det = d[0][0] * (d[1][1] * d[2][2] - d[1][2] * d[2][1]) -
                     d[0][1] * (d[1][0] * d[2][2] - d[1][2] * d[2][0]) +
                     d[0][2] * (d[1][0] * d[2][1] - d[1][1] * d[2][0]);
  return det < 0.0;
}

void vertexAt(const Vec3& v) { glVertex3f(v.x, v.y, v.z); }

// The point at infinity on the ray from the light through v.
void vertexAtInfinity(const Vec3& v, const Vec3& light) {
  glVertex4f(v.x - light.x, v.y - light.y, v.z - light.z, 0.0f);
}

// The borrowed arrays, read at their strides; records and vertices may be
// interleaved with other data, so nothing is assumed aligned.
struct Arrays {
  const ShadowVolume& volume;
  bool ready() const {
    return volume.hasVertexArray && volume.hasEdgeArray && volume.hasFaceArray &&
           volume.vertexArray != nullptr && volume.edgeArray != nullptr &&
           volume.faceArray != nullptr;
  }
  bool names(int32_t index) const { return index >= 0 && index < volume.vertexArrayCount; }
  Vec3 vertex(int32_t index) const {
    Vec3 v;
    std::memcpy(&v, volume.vertexArray + static_cast<ptrdiff_t>(index) * volume.vertexArrayStride,
                sizeof v);
    return v;
  }
  Edge edge(int32_t k) const {
    Edge e;
    std::memcpy(&e, volume.edgeArray + static_cast<ptrdiff_t>(k) * volume.edgeArrayStride,
                sizeof e);
    return e;
  }
  // False for a face naming a vertex outside the array.
  bool face(int32_t k, Vec3 corners[3]) const {
    Face f;
    std::memcpy(&f, volume.faceArray + static_cast<ptrdiff_t>(k) * volume.faceArrayStride,
                sizeof f);
    for (int n = 0; n < 3; ++n) {
      if (!names(f.corner[n])) return false;
      corners[n] = vertex(f.corner[n]);
    }
    return true;
  }
};

}  // namespace

bool ShadowVolume::drawClosedSides(float lightX, float lightY, float lightZ, float eyeX,
                                   float eyeY, float eyeZ, bool frontFaces) const {
  const Arrays arrays{*this};
  if (!arrays.ready()) return true;
  const Vec3 light{lightX, lightY, lightZ};
  for (int32_t k = 0; k < edgeArrayCount; ++k) {
    const Edge edge = arrays.edge(k);
    // -2 marks a removed record; -1 in neighbourApex an edge with one face.
    if (edge.apex < 0 || edge.neighbourApex < -1) continue;
    const bool open = edge.neighbourApex == -1;
    if (!arrays.names(edge.vertex0) || !arrays.names(edge.vertex1) || !arrays.names(edge.apex) ||
        (!open && !arrays.names(edge.neighbourApex)))
      continue;
    const Vec3 a = arrays.vertex(edge.vertex0);
    const Vec3 b = arrays.vertex(edge.vertex1);
    const Vec3 c = arrays.vertex(edge.apex);
    const bool ownLit = facesLight(a, b, c, light);
    bool otherLit = false;
    if (!open) otherLit = facesLight(b, a, arrays.vertex(edge.neighbourApex), light);
    if (ownLit == otherLit) continue;
    if (!ownLit && static_cast<size_t>(k) < listedTwice.size() && listedTwice[k] != 0) continue;

    // The volume lies on the lit face's side of the plane through the light
    // and the edge; the quad shows its outside to an eye on the other side.
    const double u[3] = {double{a.x} - lightX, double{a.y} - lightY, double{a.z} - lightZ};
    const double w[3] = {double{b.x} - lightX, double{b.y} - lightY, double{b.z} - lightZ};
    const double e[3] = {double{eyeX} - lightX, double{eyeY} - lightY, double{eyeZ} - lightZ};
    const double eyeSide = e[0] * (u[1] * w[2] - u[2] * w[1]) +
                           e[1] * (u[2] * w[0] - u[0] * w[2]) +
                           e[2] * (u[0] * w[1] - u[1] * w[0]);
    if (eyeSide == 0.0) continue;
    // With N = (a - L) x (b - L), the face (a, b, c) faces the light when c
    // lies on N's negative side, and (b, a, d) when d lies on its positive side.
    const bool eyeWithVolume = ownLit ? eyeSide < 0.0 : eyeSide > 0.0;
    if (eyeWithVolume == frontFaces) continue;

    // Along the lit face's own edge p -> q; from outside, the side runs q -> p.
    const Vec3& p = ownLit ? a : b;
    const Vec3& q = ownLit ? b : a;
    vertexAt(q);
    vertexAt(p);
    vertexAtInfinity(p, light);
    vertexAt(q);
    vertexAtInfinity(p, light);
    vertexAtInfinity(q, light);
  }
  return true;
}

bool ShadowVolume::drawLightCap(float lightX, float lightY, float lightZ) const {
  const Arrays arrays{*this};
  if (!arrays.ready()) return true;
  const Vec3 light{lightX, lightY, lightZ};
  for (int32_t k = 0; k < faceArrayCount; ++k) {
    Vec3 corner[3];
    if (!arrays.face(k, corner) || !facesLight(corner[0], corner[1], corner[2], light)) continue;
    // The corners in the mesh's order, as the depth pass sent them, so that
    // the cap lands on exactly the depths the depth pass stored.
    vertexAt(corner[0]);
    vertexAt(corner[1]);
    vertexAt(corner[2]);
  }
  return true;
}

bool ShadowVolume::drawDarkCap(float lightX, float lightY, float lightZ) const {
  const Arrays arrays{*this};
  if (!arrays.ready()) return true;
  const Vec3 light{lightX, lightY, lightZ};
  for (int32_t k = 0; k < faceArrayCount; ++k) {
    Vec3 corner[3];
    if (!arrays.face(k, corner) || !facesLight(corner[0], corner[1], corner[2], light)) continue;
    vertexAtInfinity(corner[0], light);
    vertexAtInfinity(corner[2], light);
    vertexAtInfinity(corner[1], light);
  }
  return true;
}

void findEdgesListedTwice(ShadowVolume& volume) {
  volume.listedTwice.clear();
  if (!volume.hasVertexArray || !volume.hasEdgeArray || volume.vertexArray == nullptr ||
      volume.edgeArray == nullptr || volume.edgeArrayCount <= 0)
    return;
  const Arrays arrays{volume};
  const int32_t count = volume.edgeArrayCount;
  std::vector<Edge> edges(static_cast<size_t>(count));
  for (int32_t k = 0; k < count; ++k) edges[static_cast<size_t>(k)] = arrays.edge(k);
  // The other face's own record names the same two apexes the other way
  // round; records are sorted by their apexes to find it.
  std::vector<int32_t> order(static_cast<size_t>(count));
  std::iota(order.begin(), order.end(), 0);
  const auto apexes = [&](int32_t k) {
    const Edge& e = edges[static_cast<size_t>(k)];
    return std::make_pair(e.apex, e.neighbourApex);
  };
  std::sort(order.begin(), order.end(),
            [&](int32_t x, int32_t y) { return apexes(x) < apexes(y); });
  const auto named = [&](const Edge& e) {
    return arrays.names(e.vertex0) && arrays.names(e.vertex1);
  };
  const auto samePlace = [&](int32_t i, int32_t j) {
    const Vec3 a = arrays.vertex(i);
    const Vec3 b = arrays.vertex(j);
    return a.x == b.x && a.y == b.y && a.z == b.z;
  };
  volume.listedTwice.assign(static_cast<size_t>(count), 0);
  for (int32_t k = 0; k < count; ++k) {
    const Edge& e = edges[static_cast<size_t>(k)];
    if (e.apex < 0 || e.neighbourApex < 0 || !named(e)) continue;
    using Apexes = std::pair<int32_t, int32_t>;
    const Apexes key{e.neighbourApex, e.apex};
    const auto first = std::lower_bound(order.begin(), order.end(), key,
                                        [&](int32_t x, const Apexes& v) { return apexes(x) < v; });
    const auto last = std::upper_bound(first, order.end(), key,
                                       [&](const Apexes& v, int32_t x) { return v < apexes(x); });
    for (auto it = first; it != last; ++it) {
      const Edge& other = edges[static_cast<size_t>(*it)];
      if (*it == k || !named(other)) continue;
      if ((samePlace(other.vertex0, e.vertex1) && samePlace(other.vertex1, e.vertex0)) ||
          (samePlace(other.vertex0, e.vertex0) && samePlace(other.vertex1, e.vertex1))) {
        volume.listedTwice[static_cast<size_t>(k)] = 1;
        break;
      }
    }
  }
}
