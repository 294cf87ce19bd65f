// The closed shadow volume (see closed_volume.h).
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
// the caps and the sides both read that answer, so they agree on every face.
// The edge table is made once, when the arrays are set, and kept small (it
// lives as long as the mesh): edges are found by position ids, bucketed by
// their lower end, so only the few edges at one place are ever sorted. A new
// light walks the table straight through, without sorting or allocating
// beyond its results.
#include "shadow/closed_volume.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <vector>

#include "shadow/position_ids.h"
#include "shadow/shadow_volume.h"

namespace {

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
    // Summed plainly, the rounding is at most a few units in the last place
    // of the largest term; a sum far beyond that is not zero, which settles
    // almost every face without the exact sum.
    double sum = 0.0, size = 0.0;
    for (double term : terms) {
      sum += term;
      size += std::fabs(term);
    }
    if (std::fabs(sum) > 1e-14 * size) return false;
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

// The borrowed arrays, read at their strides; faces and vertices may be
// interleaved with other data, so nothing is assumed aligned.
struct Arrays {
  const ShadowVolume& volume;
  bool ready() const {
    return volume.hasVertexArray && volume.hasFaceArray && volume.vertexArray != nullptr &&
           volume.faceArray != nullptr;
  }
  int32_t faceCount() const { return std::max(volume.faceArrayCount, 0); }
  int32_t vertexCount() const { return std::max(volume.vertexArrayCount, 0); }
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

Vec4 finite(const Vec3& v) { return {v.x, v.y, v.z, 1.0f}; }

// The point at infinity on the ray from the light through v.
Vec4 atInfinity(const Vec3& v, const Vec3& light) {
  return {v.x - light.x, v.y - light.y, v.z - light.z, 0.0f};
}

// Position ids of the vertex array, read at its stride: -1 for a position
// that is not a number.
std::vector<int32_t> positionIdsOf(const Arrays& arrays, int32_t& idCount) {
  const ShadowVolume& volume = arrays.volume;
  const int32_t count = arrays.vertexCount();
  if (volume.vertexArrayStride == static_cast<int32_t>(sizeof(Vec3)) &&
      reinterpret_cast<uintptr_t>(volume.vertexArray) % alignof(Vec3) == 0)
    return assignPositionIds(reinterpret_cast<const Vec3*>(volume.vertexArray), count, idCount);
  std::vector<Vec3> packed(static_cast<size_t>(count));
  for (int32_t v = 0; v < count; ++v) packed[static_cast<size_t>(v)] = arrays.vertex(v);
  return assignPositionIds(packed.data(), count, idCount);
}

}  // namespace

bool ShadowVolume::faceCorners(int32_t face, Vec3 corners[3]) const {
  const Arrays arrays{*this};
  Face f;
  return arrays.ready() && face >= 0 && face < arrays.faceCount() && arrays.face(face, f, corners);
}

void findVolumeEdges(ShadowVolume& volume) {
  ClosedVolumeTable& table = volume.closedTable;
  table = ClosedVolumeTable{};
  const Arrays arrays{volume};
  if (!arrays.ready()) return;
  const int32_t faceCount = arrays.faceCount();
  // Vertices at one place share an id, and ids follow the positions' order.
  int32_t idCount = 0;
  const std::vector<int32_t> ids = positionIdsOf(arrays, idCount);
  const auto idOf = [&ids](int32_t vertex) {
    return static_cast<uint32_t>(ids[static_cast<size_t>(vertex)]);
  };

  // Which faces cast, and how many of their edges have each id as the lower end.
  std::vector<uint32_t> bucketEnds(static_cast<size_t>(idCount) + 1, 0);
  table.casting.assign(static_cast<size_t>(faceCount), 0);
  table.boxes.reserve(static_cast<size_t>(faceCount / ClosedVolumeTable::facesPerBox + 1));
  for (int32_t k = 0; k < faceCount; ++k) {
    if (k % ClosedVolumeTable::facesPerBox == 0)
      table.boxes.push_back(
          {{HUGE_VALF, HUGE_VALF, HUGE_VALF}, {-HUGE_VALF, -HUGE_VALF, -HUGE_VALF}});
    Face f;
    Vec3 corner[3];
    if (!arrays.face(k, f, corner) || !isFinite(corner[0]) || !isFinite(corner[1]) ||
        !isFinite(corner[2]) || inALine(corner[0], corner[1], corner[2]))
      continue;
    table.casting[static_cast<size_t>(k)] = 1;
    ClosedVolumeTable::Box& box = table.boxes.back();
    for (int n = 0; n < 3; ++n) {
      ++bucketEnds[std::min(idOf(f.corner[n]), idOf(f.corner[(n + 1) % 3])) + 1];
      box.low = {std::min(box.low.x, corner[n].x), std::min(box.low.y, corner[n].y),
                 std::min(box.low.z, corner[n].z)};
      box.high = {std::max(box.high.x, corner[n].x), std::max(box.high.y, corner[n].y),
                  std::max(box.high.z, corner[n].z)};
    }
  }
  for (size_t b = 1; b < bucketEnds.size(); ++b) bucketEnds[b] += bucketEnds[b - 1];

  // Every edge of every face that casts, bucketed by its lower end (a face's
  // corners are at three different places, or it would not cast): its upper
  // end and the face's turn. Filling a bucket moves its start to its end.
  struct UpperEnd {
    uint32_t high;
    uint32_t turn;
  };
  std::vector<UpperEnd> bucketed(bucketEnds.back());
  for (int32_t k = 0; k < faceCount; ++k) {
    if (table.casting[static_cast<size_t>(k)] == 0) continue;
    Face f;
    std::memcpy(&f, volume.faceArray + static_cast<ptrdiff_t>(k) * volume.faceArrayStride,
                sizeof f);
    for (int n = 0; n < 3; ++n) {
      const uint32_t from = idOf(f.corner[n]);
      const uint32_t to = idOf(f.corner[(n + 1) % 3]);
      const uint32_t face = 2 * static_cast<uint32_t>(k);
      bucketed[bucketEnds[std::min(from, to)]++] =
          from < to ? UpperEnd{to, face} : UpperEnd{from, face + 1};
    }
  }

  // Within each bucket the same upper end side by side: one edge each.
  std::vector<int32_t> at(static_cast<size_t>(idCount));  // the first vertex at each place
  for (size_t v = ids.size(); v-- > 0;)
    if (ids[v] >= 0) at[static_cast<size_t>(ids[v])] = static_cast<int32_t>(v);
  table.turns.reserve(bucketed.size());
  uint32_t begin = 0;
  for (size_t low = 0; low < static_cast<size_t>(idCount); ++low) {
    const uint32_t end = bucketEnds[low];
    std::sort(bucketed.begin() + begin, bucketed.begin() + end,
              [](const UpperEnd& a, const UpperEnd& b) { return a.high < b.high; });
    for (uint32_t h = begin; h < end; ++h) {
      table.turns.push_back(bucketed[h].turn);
      if (h + 1 == end || bucketed[h].high != bucketed[h + 1].high)
        table.edges.push_back(
            {at[low], at[bucketed[h].high], static_cast<uint32_t>(table.turns.size())});
    }
    begin = end;
  }
  table.edges.shrink_to_fit();
}

void findClosedVolume(const ShadowVolume& volume, const Vec3& light, ClosedVolume& closed,
                      const TwoParts& run) {
  closed.light = light;
  closed.litFaces.clear();
  closed.sides.clear();
  closed.lightCap.clear();
  closed.darkCap.clear();
  closed.atInfinity.clear();
  closed.darkCapFound = false;
  const Arrays arrays{volume};
  const ClosedVolumeTable& table = volume.closedTable;
  if (!arrays.ready()) return;
  const size_t faceCount = table.casting.size();
  closed.litFaces.resize(faceCount);
  size_t litCount[2] = {0, 0};
  run([&](int part) {
    size_t count = 0;  // kept apart from the other part's until the end
    for (size_t k = partBegin(faceCount, part); k < partEnd(faceCount, part); ++k) {
      bool lit = false;
      // A face that casts names vertices inside the array: no need to look again.
      if (table.casting[k] != 0) {
        Face f;
        std::memcpy(&f, volume.faceArray + static_cast<ptrdiff_t>(k) * volume.faceArrayStride,
                    sizeof f);
        lit = facesLight(arrays.vertex(f.corner[0]), arrays.vertex(f.corner[1]),
                         arrays.vertex(f.corner[2]), light);
      }
      closed.litFaces[k] = lit;
      count += lit;
    }
    litCount[part] = count;
  });

  // The light cap from the faces just found, each half written in place
  // after the one before it; and the sides, each half's edges into a list of
  // its own.
  closed.lightCap.resize(3 * (litCount[0] + litCount[1]));
  std::vector<ClosedSide> secondSides;
  const size_t edgeCount = table.edges.size();
  run([&](int part) {
    uint32_t* lightCap = closed.lightCap.data() + (part == 0 ? 0 : 3 * litCount[0]);
    for (size_t k = partBegin(faceCount, part); k < partEnd(faceCount, part); ++k) {
      if (closed.litFaces[k] == 0) continue;
      Face f;
      std::memcpy(&f, volume.faceArray + static_cast<ptrdiff_t>(k) * volume.faceArrayStride,
                  sizeof f);
      *lightCap++ = static_cast<uint32_t>(f.corner[0]);
      *lightCap++ = static_cast<uint32_t>(f.corner[1]);
      *lightCap++ = static_cast<uint32_t>(f.corner[2]);
    }

    // Each face's +1 or -1 by the way it runs the edge, without a branch: the
    // ways are as mixed as the faces, so a branch would guess wrong half the time.
    std::vector<ClosedSide>& sides = part == 0 ? closed.sides : secondSides;
    const uint8_t* lit = closed.litFaces.data();
    const uint32_t* turns = table.turns.data();
    const size_t first = partBegin(edgeCount, part);
    size_t next = first == 0 ? 0 : table.edges[first - 1].turnsEnd;
    for (size_t e = first; e < partEnd(edgeCount, part); ++e) {
      const ClosedVolumeTable::VolumeEdge& edge = table.edges[e];
      int32_t count = 0;
      for (; next < edge.turnsEnd; ++next) {
        const uint32_t turn = turns[next];
        const int32_t against = -static_cast<int32_t>(turn & 1u);
        count += (lit[turn >> 1] ^ against) - against;
      }
      if (count == 0) continue;
      const Vec3 low = arrays.vertex(edge.low);
      const Vec3 high = arrays.vertex(edge.high);
      if (count > 0)
        sides.push_back({low, high, count});
      else
        sides.push_back({high, low, -count});
    }
  });
  closed.sides.insert(closed.sides.end(), secondSides.begin(), secondSides.end());
}

void findDarkCap(const ShadowVolume& volume, ClosedVolume& closed, const TwoParts& run) {
  const Arrays arrays{volume};
  closed.darkCapFound = true;
  closed.atInfinity.resize(static_cast<size_t>(arrays.ready() ? arrays.vertexCount() : 0));
  closed.darkCap.resize(closed.lightCap.size());
  const size_t vertexCount = closed.atInfinity.size();
  const size_t faceCount = closed.lightCap.size() / 3;
  run([&](int part) {
    for (size_t v = partBegin(vertexCount, part); v < partEnd(vertexCount, part); ++v)
      closed.atInfinity[v] = atInfinity(arrays.vertex(static_cast<int32_t>(v)), closed.light);
    for (size_t k = partBegin(faceCount, part); k < partEnd(faceCount, part); ++k) {
      closed.darkCap[3 * k] = closed.lightCap[3 * k];
      closed.darkCap[3 * k + 1] = closed.lightCap[3 * k + 2];
      closed.darkCap[3 * k + 2] = closed.lightCap[3 * k + 1];
    }
  });
}

void closedSideTriangles(const ClosedVolume& closed, const Vec3& eye, bool frontFaces,
                         std::vector<Vec4>& triangles) {
  const Vec3& light = closed.light;
  for (const ClosedSide& side : closed.sides) {
    const Vec3& p = side.p;
    const Vec3& q = side.q;
    // With N = (p - L) x (q - L), the lit faces lie on N's negative side, and
    // so does the volume: the quad shows its outside to an eye on the other.
    const double u[3] = {double{p.x} - light.x, double{p.y} - light.y, double{p.z} - light.z};
    const double w[3] = {double{q.x} - light.x, double{q.y} - light.y, double{q.z} - light.z};
    const double e[3] = {double{eye.x} - light.x, double{eye.y} - light.y, double{eye.z} - light.z};
    const double eyeSide = e[0] * (u[1] * w[2] - u[2] * w[1]) + e[1] * (u[2] * w[0] - u[0] * w[2]) +
                           e[2] * (u[0] * w[1] - u[1] * w[0]);
    if (eyeSide == 0.0 || (eyeSide < 0.0) == frontFaces) continue;

    // From outside, the side runs q -> p, against the caps' p -> q.
    const Vec4 quad[6] = {
        finite(q),           finite(p), atInfinity(p, light), finite(q), atInfinity(p, light),
        atInfinity(q, light)};
    for (int32_t n = 0; n < side.count; ++n) triangles.insert(triangles.end(), quad, quad + 6);
  }
}
