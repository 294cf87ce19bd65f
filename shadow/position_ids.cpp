// Position ids: vertices sorted by their coordinates, so that equal
// positions sit side by side and take one id each, in the positions' order;
// or each position looked up in a hash table of the vertices that first took
// a position, linear work, ids in the order of first occurrence.
//
// The table is probed linearly, which only stays short while the hash
// spreads the positions; a file could be made whose positions all meet in a
// fixed hash, so each call mixes a seed of its own into it. The ids do not
// depend on the seed, only the time taken does.
#include "shadow/position_ids.h"

#include <algorithm>
#include <chrono>
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

uint64_t mix(uint64_t h) {
  h ^= h >> 30;
  h *= 0xBF58476D1CE4E5B9ull;
  h ^= h >> 27;
  h *= 0x94D049BB133111EBull;
  return h ^ (h >> 31);
}

uint64_t hashOf(const Vec3& p, uint64_t seed) {
  const uint64_t h = mix(seed ^ orderedBits(p.x));
  return mix(h ^ (static_cast<uint64_t>(orderedBits(p.y)) << 32 | orderedBits(p.z)));
}

uint64_t seedForThisCall(const void* somewhere) {
  const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  uint64_t address = 0;
  std::memcpy(&address, &somewhere, std::min(sizeof address, sizeof somewhere));
  return mix(static_cast<uint64_t>(now) ^ mix(address));
}

bool samePosition(const Vec3& a, const Vec3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

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

std::vector<int32_t> assignPositionIdsInVertexOrder(const Vec3* vertices, int32_t vertexCount,
                                                    int32_t& idCount) {
  std::vector<int32_t> ids(static_cast<size_t>(std::max(vertexCount, 0)), -1);
  idCount = 0;
  // At most half full, so a probe ends after a few steps.
  size_t tableSize = 16;
  while (tableSize < 2 * ids.size()) {
    tableSize *= 2;
  }
  std::vector<int32_t> firstAt(tableSize, -1);
  const uint64_t seed = seedForThisCall(firstAt.data());
  for (int32_t v = 0; v < vertexCount; ++v) {
    const Vec3& p = vertices[v];
    if (!(p.x == p.x && p.y == p.y && p.z == p.z)) {
      continue;
    }
    for (size_t at = hashOf(p, seed) & (tableSize - 1);; at = (at + 1) & (tableSize - 1)) {
      const int32_t first = firstAt[at];
      if (first < 0) {
        firstAt[at] = v;
        ids[static_cast<size_t>(v)] = idCount++;
        break;
      }
      if (samePosition(vertices[first], p)) {
        ids[static_cast<size_t>(v)] = ids[static_cast<size_t>(first)];
        break;
      }
    }
  }
  return ids;
}
