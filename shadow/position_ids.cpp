// Position ids: vertices sorted by their coordinates, so that equal
// positions sit side by side and take one id each, in the positions' order.
#include "shadow/position_ids.h"

#include <algorithm>
#include <cstring>
#include <tuple>

namespace {

// A key that orders as the float does and is equal exactly where the floats
// are: -0.0 folded onto 0.0, negative values' bits turned round so that the
// more negative comes first. NaN is kept out by the caller.
uint32_t orderedBits(float value) {
  if (value == 0.0f) {
    value = 0.0f;
  }
  uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return (bits & 0x80000000u) != 0 ? ~bits : bits | 0x80000000u;
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
      keyed.push_back({orderedBits(p.x), orderedBits(p.y), orderedBits(p.z), v});
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

