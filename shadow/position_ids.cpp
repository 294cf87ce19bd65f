// Position ids: vertices sorted by their coordinates' bits, so that equal
// positions sit side by side and take one id each.
#include "shadow/position_ids.h"

#include <algorithm>
#include <cstring>
#include <tuple>

namespace {

// Float equality as bits: -0.0 folded onto 0.0. NaN equals nothing and is
// kept out by the caller.
uint32_t foldedBits(float value) {
  if (value == 0.0f) {
    return 0;
  }
  uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

}  // namespace

std::vector<int32_t> assignPositionIds(const Vec3* vertices, int32_t vertexCount,
                                       int32_t& idCount) {
  struct Keyed {
    uint32_t x;
    uint32_t y;
    uint32_t z;
    int32_t vertex;
  };
  std::vector<Keyed> keyed;
  keyed.reserve(static_cast<size_t>(vertexCount));
  for (int32_t v = 0; v < vertexCount; ++v) {
    const Vec3& p = vertices[v];
    if (p.x == p.x && p.y == p.y && p.z == p.z) {
      keyed.push_back({foldedBits(p.x), foldedBits(p.y), foldedBits(p.z), v});
    }
  }
  std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
    return std::tie(a.x, a.y, a.z) < std::tie(b.x, b.y, b.z);
  });
  std::vector<int32_t> ids(static_cast<size_t>(vertexCount), -1);
  idCount = 0;
  for (size_t k = 0; k < keyed.size(); ++k) {
    if (k > 0 && std::tie(keyed[k].x, keyed[k].y, keyed[k].z) !=
                     std::tie(keyed[k - 1].x, keyed[k - 1].y, keyed[k - 1].z)) {
      ++idCount;
    }
    ids[static_cast<size_t>(keyed[k].vertex)] = idCount;
  }
  if (!keyed.empty()) {
    ++idCount;
  }
  return ids;
}

