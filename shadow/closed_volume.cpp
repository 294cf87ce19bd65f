// The closed shadow volume, for the mode that counts from behind the surface:
// the faces that face the light (the light cap), the same faces pushed to
// infinity and turned round (the dark cap), and the sides from the edges to
// infinity. Far corners go out with w = 0.
//
// Each face that faces the light hides a prism of its own: its cap, its cap
// at infinity and a side on each of its three edges. The volume is all those
// prisms together, with the sides that cancel left out: on each edge, found
// by its ends' positions, the faces that face the light and run it one way
// less those that run it the other way is how many sides go there, and which
// way round. A sum of closed prisms is closed whatever the mesh: shared or
// separate vertices at an edge, one face there, two, or four (two boxes
// meeting along an edge), and a pixel behind overlapping prisms counts each
// of them, as a stencil count would. A face with its corners exactly in a
// line hides nothing, so it is left out of caps and sides alike; that is
// decided exactly, since the rounded light test could call such a face lit
// and send slivers that do not quite cancel on the screen.
//
// Whether a face faces the light is worked out once per face and light, and
// the caps and the sides both read that answer, so they agree on every face;
// so are the sides, which both facings of them and the frame's choice of how
// to count read. The edge table is made once, when the arrays are set; a new
// light walks it straight through, without sorting or allocating.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <utility>
#include <vector>

#include "shadow/shadow_volume.h"

namespace {

bool before(const Vec3& a, const Vec3& b) {
  if (a.x != b.x) return a.x < b.x;
  if (a.y != b.y) return a.y < b.y;
  return a.z < b.z;
}

// Whether the six terms add up to exactly zero. The running sum is kept as
// parts that add up to it without rounding (each addition splits off its
// rounding error as a part of its own), smallest first, zeros dropped; the
// parts do not overlap, so the sum is zero exactly when no part is left.
bool addsUpToZero(const double (&terms)[6]) {
  double parts[6];
  int count = 0;
  for (double carry : terms) {
    int kept = 0;
    for (int j = 0; j < count; ++j) {
      const double sum = carry + parts[j];
      const double fromPart = sum - carry;
      const double error = (carry - (sum - fromPart)) + (parts[j] - fromPart);
      if (error != 0.0) parts[kept++] = error;
      carry = sum;
    }
    if (carry != 0.0) parts[kept++] = carry;
    count = kept;
  }
  return count == 0;
}

// The corners lie exactly in a line: each component of (b - a) x (c - a) is
// zero. Written out, a component is six products of two floats each, which a
// double holds exactly, so only their sum needs care.
bool inALine(const Vec3& a, const Vec3& b, const Vec3& c) {
  const float p[3][3] = {{a.x, a.y, a.z}, {b.x, b.y, b.z}, {c.x, c.y, c.z}};
  for (int i = 0; i < 3; ++i) {
    const int j = (i + 1) % 3;
    // (b_i - a_i)(c_j - a_j) - (b_j - a_j)(c_i - a_i), the a_i a_j terms cancelled
    const double terms[6] = {double{p[1][i]} * p[2][j],  -double{p[1][i]} * p[0][j],
                             -double{p[0][i]} * p[2][j], -double{p[1][j]} * p[2][i],
                             double{p[1][j]} * p[0][i],  double{p[0][j]} * p[2][i]};
    if (!addsUpToZero(terms)) return false;
  }
  return true;
}

bool isFinite(const Vec3& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// The face (a, b, c), counter-clockwise seen from its front, shows its front
// to the light.
bool facesLight(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& light) {
  double d[3][3];
  const Vec3* corners[3] = {&a, &b, &c};
  for (int n = 0; n < 3; ++n) {
    d[n][0] = double{corners[n]->x} - light.x;
    d[n][1] = double{corners[n]->y} - light.y;
    d[n][2] = double{corners[n]->z} - light.z;
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

// The borrowed arrays, read at their strides; faces and vertices may be
// interleaved with other data, so nothing is assumed aligned.
struct Arrays {
  const ShadowVolume& volume;
  bool ready() const {
    return volume.hasVertexArray && volume.hasFaceArray && volume.vertexArray != nullptr &&
           volume.faceArray != nullptr;
  }
  int32_t faceCount() const { return std::max(volume.faceArrayCount, 0); }
  bool names(int32_t index) const { return index >= 0 && index < volume.vertexArrayCount; }
  Vec3 vertex(int32_t index) const {
    Vec3 v;
    std::memcpy(&v, volume.vertexArray + static_cast<ptrdiff_t>(index) * volume.vertexArrayStride,
                sizeof v);
    return v;
  }
  // False for a face naming a vertex outside the array.
  bool face(int32_t k, Face& f, Vec3 corners[3]) const {
    std::memcpy(&f, volume.faceArray + static_cast<ptrdiff_t>(k) * volume.faceArrayStride,
                sizeof f);
    for (int n = 0; n < 3; ++n) {
      if (!names(f.corner[n])) return false;
      corners[n] = vertex(f.corner[n]);
    }
    return true;
  }
};

// Works out, for a light other than the one last asked about, which faces
// face it and the sides they leave on each edge.
void refreshLit(const ShadowVolume& volume, const Vec3& light) {
  if (volume.litKnown && volume.litLight.x == light.x && volume.litLight.y == light.y &&
      volume.litLight.z == light.z)
    return;
  const Arrays arrays{volume};
  std::vector<uint8_t>& lit = volume.litFaces;
  for (size_t k = 0; k < lit.size(); ++k) {
    Face f;
    Vec3 corner[3];
    lit[k] = volume.castingFaces[k] != 0 && arrays.face(static_cast<int32_t>(k), f, corner) &&
             facesLight(corner[0], corner[1], corner[2], light);
  }
  volume.litSides.clear();
  size_t next = 0;
  for (const ShadowVolume::VolumeEdge& edge : volume.volumeEdges) {
    int32_t count = 0;
    for (; next < edge.turnsEnd; ++next)
      count += lit[static_cast<size_t>(volume.faceTurns[next].face)] * volume.faceTurns[next].turn;
    if (count == 0 || !arrays.names(edge.low) || !arrays.names(edge.high)) continue;
    const Vec3 low = arrays.vertex(edge.low);
    const Vec3 high = arrays.vertex(edge.high);
    if (count > 0)
      volume.litSides.push_back({low, high, count});
    else
      volume.litSides.push_back({high, low, -count});
  }
  volume.litLight = light;
  volume.litKnown = true;
}

}  // namespace

const std::vector<uint8_t>& ShadowVolume::facesLitBy(float lightX, float lightY,
                                                     float lightZ) const {
  refreshLit(*this, Vec3{lightX, lightY, lightZ});
  return litFaces;
}

const std::vector<ShadowVolume::ClosedSide>& ShadowVolume::closedSides(float lightX, float lightY,
                                                                      float lightZ) const {
  refreshLit(*this, Vec3{lightX, lightY, lightZ});
  return litSides;
}

bool ShadowVolume::faceCorners(int32_t face, Vec3 corners[3]) const {
  const Arrays arrays{*this};
  Face f;
  return arrays.ready() && face >= 0 && face < arrays.faceCount() && arrays.face(face, f, corners);
}

bool ShadowVolume::drawClosedSides(float lightX, float lightY, float lightZ, float eyeX,
                                   float eyeY, float eyeZ, bool frontFaces) const {
  if (!Arrays{*this}.ready()) return true;
  const Vec3 light{lightX, lightY, lightZ};
  for (const ClosedSide& side : closedSides(lightX, lightY, lightZ)) {
    const Vec3& p = side.p;
    const Vec3& q = side.q;
    // With N = (p - L) x (q - L), the lit faces lie on N's negative side, and
    // so does the volume: the quad shows its outside to an eye on the other.
    const double u[3] = {double{p.x} - lightX, double{p.y} - lightY, double{p.z} - lightZ};
    const double w[3] = {double{q.x} - lightX, double{q.y} - lightY, double{q.z} - lightZ};
    const double e[3] = {double{eyeX} - lightX, double{eyeY} - lightY, double{eyeZ} - lightZ};
    const double eyeSide = e[0] * (u[1] * w[2] - u[2] * w[1]) +
                           e[1] * (u[2] * w[0] - u[0] * w[2]) +
                           e[2] * (u[0] * w[1] - u[1] * w[0]);
    if (eyeSide == 0.0 || (eyeSide < 0.0) == frontFaces) continue;

    // From outside, the side runs q -> p, against the caps' p -> q.
    for (int32_t n = 0; n < side.count; ++n) {
      vertexAt(q);
      vertexAt(p);
      vertexAtInfinity(p, light);
      vertexAt(q);
      vertexAtInfinity(p, light);
      vertexAtInfinity(q, light);
    }
  }
  return true;
}

bool ShadowVolume::drawLightCap(float lightX, float lightY, float lightZ) const {
  const Arrays arrays{*this};
  if (!arrays.ready()) return true;
  const std::vector<uint8_t>& lit = facesLitBy(lightX, lightY, lightZ);
  const int32_t count = std::min(arrays.faceCount(), static_cast<int32_t>(lit.size()));
  for (int32_t k = 0; k < count; ++k) {
    Face f;
    Vec3 corner[3];
    if (lit[static_cast<size_t>(k)] == 0 || !arrays.face(k, f, corner)) continue;
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
  const std::vector<uint8_t>& lit = facesLitBy(lightX, lightY, lightZ);
  const int32_t count = std::min(arrays.faceCount(), static_cast<int32_t>(lit.size()));
  for (int32_t k = 0; k < count; ++k) {
    Face f;
    Vec3 corner[3];
    if (lit[static_cast<size_t>(k)] == 0 || !arrays.face(k, f, corner)) continue;
    vertexAtInfinity(corner[0], light);
    vertexAtInfinity(corner[2], light);
    vertexAtInfinity(corner[1], light);
  }
  return true;
}

void findVolumeEdges(ShadowVolume& volume) {
  volume.volumeEdges.clear();
  volume.faceTurns.clear();
  volume.castingFaces.clear();
  volume.litFaces.clear();
  volume.litSides.clear();
  volume.litKnown = false;
  const Arrays arrays{volume};
  if (!arrays.ready()) return;
  const int32_t faceCount = arrays.faceCount();

  // Every edge of every face that casts, its ends in the order of their positions.
  struct HalfEdge {
    Vec3 lowAt;
    Vec3 highAt;
    int32_t low;
    int32_t high;
    ShadowVolume::FaceTurn turn;
  };
  std::vector<HalfEdge> halves;
  halves.reserve(3 * static_cast<size_t>(faceCount));
  volume.castingFaces.assign(static_cast<size_t>(faceCount), 0);
  volume.litFaces.assign(static_cast<size_t>(faceCount), 0);
  for (int32_t k = 0; k < faceCount; ++k) {
    Face f;
    Vec3 corner[3];
    if (!arrays.face(k, f, corner) || !isFinite(corner[0]) || !isFinite(corner[1]) ||
        !isFinite(corner[2]) || inALine(corner[0], corner[1], corner[2]))
      continue;
    volume.castingFaces[static_cast<size_t>(k)] = 1;
    for (int n = 0; n < 3; ++n) {
      const int from = n;
      const int to = (n + 1) % 3;
      if (before(corner[from], corner[to]))
        halves.push_back({corner[from], corner[to], f.corner[from], f.corner[to], {k, 1}});
      else
        halves.push_back({corner[to], corner[from], f.corner[to], f.corner[from], {k, -1}});
    }
  }
  const auto edgeBefore = [](const HalfEdge& a, const HalfEdge& b) {
    if (before(a.lowAt, b.lowAt)) return true;
    if (before(b.lowAt, a.lowAt)) return false;
    return before(a.highAt, b.highAt);
  };
  std::sort(halves.begin(), halves.end(), edgeBefore);

  volume.faceTurns.reserve(halves.size());
  for (size_t h = 0; h < halves.size(); ++h) {
    volume.faceTurns.push_back(halves[h].turn);
    if (h + 1 == halves.size() || edgeBefore(halves[h], halves[h + 1]))
      volume.volumeEdges.push_back({halves[h].low, halves[h].high, volume.faceTurns.size()});
  }
  volume.litSides.reserve(volume.volumeEdges.size());
}
