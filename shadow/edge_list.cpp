// Builds a mesh's edge adjacency list. Each face gives three records, one per
// edge in its own corner order, naming the third vertex of the
// lowest-numbered other face that has corners at the positions of both ends.
// Records equal up to the order of their ends and of their two third vertices
// are dropped, the earliest kept, and the survivors are packed to the front by
// filling each hole with the last survivor behind it; the list is allocated
// at the survivors' count, with nothing behind them.
//
// Neighbours are found by exact position, not by index, so faces that meet
// along copied vertices still see each other. Instead of scanning every face
// for every edge, positions get ids and the face edges are bucketed by their
// lower end's id and sorted by the higher one, so that the faces sharing a
// pair of positions form one run. Duplicates share their ends' indices, and
// so their positions: each run is also where its duplicates are found. The
// work grows with n log n at worst (everything around one vertex) and nearly
// linearly for ordinary meshes; the result is record for record that of the
// face-by-face search and the pairwise duplicate pass.
//
// Memory: one neighbour per face edge (12 bytes a face) lives through the
// build; the position ids and the bucketed face edges (about 28 bytes a
// face) are gone before the list itself is allocated (16 bytes a record,
// about 24 a face where most edges have two faces). Where many faces meet
// on one pair of positions, sorting out their duplicates takes 24 bytes more
// per face edge there.
// Faces naming a vertex outside the array give no records and are nobody's
// neighbour.
#include "shadow/edge_list.h"

#include "shadow/position_ids.h"

#include <algorithm>
#include <limits>
#include <tuple>
#include <vector>

namespace {

// The list's size must fit edgeCount.
constexpr int32_t faceLimit = std::numeric_limits<int32_t>::max() / 3;

bool isInside(const Face& face, int32_t vertexCount) {
  for (int32_t corner : face.corner) {
    if (corner < 0 || corner >= vertexCount) {
      return false;
    }
  }
  return true;
}

bool samePosition(const Vec3& v, const float p[3]) {
  return v.x == p[0] && v.y == p[1] && v.z == p[2];
}

// The two lowest faces at one position: enough to name the lowest face other
// than any one face. Faces arrive in increasing order, possibly twice.
struct LowestFaces {
  int32_t first = -1;
  int32_t second = -1;

  void add(int32_t face) {
    if (first < 0) {
      first = face;
    } else if (second < 0 && face != first) {
      second = face;
    }
  }
  int32_t otherThan(int32_t face) const { return first != face ? first : second; }
};

// One face edge (slot 3 x face + corner, from that corner to the next) among
// those with the same lower end id, keyed by its higher end id then slot.
uint64_t pairKey(int32_t high, int32_t slot) {
  return static_cast<uint64_t>(high) << 32 | static_cast<uint32_t>(slot);
}
int32_t slotOf(uint64_t key) { return static_cast<int32_t>(key & 0xFFFFFFFFu); }
int32_t highOf(uint64_t key) { return static_cast<int32_t>(key >> 32); }

// What makes two records duplicates: ends and third vertices, each pair in
// either order. Third vertices may be -1, ends never.
struct DuplicateKey {
  uint64_t ends;
  uint64_t apexes;
  int32_t slot;
};

uint64_t unorderedPair(int32_t a, int32_t b) {
  const uint32_t low = static_cast<uint32_t>(std::min(a, b) + 1);
  const uint32_t high = static_cast<uint32_t>(std::max(a, b) + 1);
  return static_cast<uint64_t>(low) << 32 | high;
}

// The neighbours of all face edges, and which records are duplicates.
class NeighbourSearch {
 public:
  NeighbourSearch(const Face* faces, int32_t faceCount, const Vec3* vertices, int32_t vertexCount)
      : faces_(faces), faceCount_(faceCount), vertexCount_(vertexCount) {
    ids_ = assignPositionIdsInVertexOrder(vertices, vertexCount, positionCount_);
    // A vertex with a NaN is at no position, but its records still meet
    // their duplicates by index: it gets an id of its own past the positions.
    idCount_ = positionCount_;
    for (int32_t& id : ids_) {
      if (id < 0) {
        id = idCount_++;
      }
    }
  }

  // One entry per face edge, slot by slot: its neighbour's third vertex (or
  // -1), or removedEdge where the record is a duplicate or its face broken.
  std::vector<int32_t> findNeighbours() const {
    std::vector<int32_t> neighbours(static_cast<size_t>(faceCount_) * 3, removedEdge);
    std::vector<int32_t> start;
    bool anyWithinOnePosition = false;
    std::vector<uint64_t> keys = bucketByLowerEnd(start, anyWithinOnePosition);
    // Only an edge with both ends at one position asks which faces have a
    // corner there; most meshes have none.
    std::vector<LowestFaces> atPosition;
    if (anyWithinOnePosition) {
      atPosition = lowestFacesAtPositions();
    }
    std::vector<DuplicateKey> scratch;
    for (int32_t low = 0; low < idCount_; ++low) {
      uint64_t* const bucketEnd = keys.data() + start[static_cast<size_t>(low) + 1];
      uint64_t* run = keys.data() + start[static_cast<size_t>(low)];
      std::sort(run, bucketEnd);
      while (run != bucketEnd) {
        uint64_t* runEnd = run;
        while (runEnd != bucketEnd && highOf(*runEnd) == highOf(*run)) {
          ++runEnd;
        }
        settleRun(low, run, runEnd, atPosition, neighbours, scratch);
        run = runEnd;
      }
    }
    return neighbours;
  }

 private:
  int32_t idOf(int32_t vertex) const { return ids_[static_cast<size_t>(vertex)]; }

  // The face edges of unbroken faces, keyed by their higher end's id and
  // slot, grouped by their lower end's id in slot order; group b runs from
  // start[b] to start[b + 1].
  std::vector<uint64_t> bucketByLowerEnd(std::vector<int32_t>& start,
                                         bool& anyWithinOnePosition) const {
    start.assign(static_cast<size_t>(idCount_) + 1, 0);
    for (int32_t f = 0; f < faceCount_; ++f) {
      if (isInside(faces_[f], vertexCount_)) {
        for (int c = 0; c < 3; ++c) {
          const int32_t a = idOf(faces_[f].corner[c]);
          const int32_t b = idOf(faces_[f].corner[(c + 1) % 3]);
          ++start[static_cast<size_t>(std::min(a, b))];
          anyWithinOnePosition = anyWithinOnePosition || a == b;
        }
      }
    }
    // Where each group ends; filling from the back moves it to where it begins.
    for (size_t b = 1; b < start.size(); ++b) {
      start[b] += start[b - 1];
    }
    std::vector<uint64_t> keys(static_cast<size_t>(start.back()));
    for (int32_t f = faceCount_; f-- > 0;) {
      if (isInside(faces_[f], vertexCount_)) {
        for (int c = 3; c-- > 0;) {
          const int32_t a = idOf(faces_[f].corner[c]);
          const int32_t b = idOf(faces_[f].corner[(c + 1) % 3]);
          keys[static_cast<size_t>(--start[static_cast<size_t>(std::min(a, b))])] =
              pairKey(std::max(a, b), 3 * f + c);
        }
      }
    }
    return keys;
  }

  std::vector<LowestFaces> lowestFacesAtPositions() const {
    std::vector<LowestFaces> atPosition(static_cast<size_t>(positionCount_));
    for (int32_t f = 0; f < faceCount_; ++f) {
      if (isInside(faces_[f], vertexCount_)) {
        for (int32_t corner : faces_[f].corner) {
          if (idOf(corner) < positionCount_) {
            atPosition[static_cast<size_t>(idOf(corner))].add(f);
          }
        }
      }
    }
    return atPosition;
  }

  // The face edges from id low to id high, in slot order: each one's
  // neighbour, then which of them repeat an earlier one.
  void settleRun(int32_t low, const uint64_t* begin, const uint64_t* end,
                 const std::vector<LowestFaces>& atPosition, std::vector<int32_t>& neighbours,
                 std::vector<DuplicateKey>& scratch) const {
    const int32_t high = highOf(*begin);
    LowestFaces lowest;
    for (const uint64_t* k = begin; k != end; ++k) {
      lowest.add(slotOf(*k) / 3);
    }
    const bool atPositions = low < positionCount_ && high < positionCount_;
    for (const uint64_t* k = begin; k != end; ++k) {
      const int32_t face = slotOf(*k) / 3;
      int32_t other = -1;
      if (atPositions) {
        // Both ends at one position: any other face with a corner there.
        other = low == high ? atPosition[static_cast<size_t>(low)].otherThan(face)
                            : lowest.otherThan(face);
      }
      neighbours[static_cast<size_t>(slotOf(*k))] =
          other < 0 ? -1 : oppositeVertex(other, low, high);
    }
    if (end - begin < 2) {
      return;
    }
    scratch.clear();
    for (const uint64_t* k = begin; k != end; ++k) {
      scratch.push_back(duplicateKeyOf(slotOf(*k), neighbours));
    }
    removeDuplicates(scratch, neighbours);
  }

  DuplicateKey duplicateKeyOf(int32_t slot, const std::vector<int32_t>& neighbours) const {
    const int32_t* corner = faces_[slot / 3].corner;
    const int c = slot % 3;
    return {unorderedPair(corner[c], corner[(c + 1) % 3]),
            unorderedPair(corner[(c + 2) % 3], neighbours[static_cast<size_t>(slot)]), slot};
  }

  // Of the chosen face, the first corner that is neither the last corner at
  // position p nor the last at q, as findOppositeVertex picks it.
  int32_t oppositeVertex(int32_t chosen, int32_t p, int32_t q) const {
    const int32_t* corner = faces_[chosen].corner;
    int cornerAtP = -1;
    int cornerAtQ = -1;
    for (int k = 0; k < 3; ++k) {
      const int32_t id = idOf(corner[k]);
      if (id == p) {
        cornerAtP = k;
      }
      if (id == q) {
        cornerAtQ = k;
      }
    }
    for (int k = 0; k < 3; ++k) {
      if (k != cornerAtP && k != cornerAtQ) {
        return corner[k];
      }
    }
    return -1;
  }

  // Duplicates are an equivalence, so of each class the pairwise pass keeps
  // exactly the earliest record. The run comes in slot order.
  static void removeDuplicates(std::vector<DuplicateKey>& run, std::vector<int32_t>& neighbours) {
    auto key = [](const DuplicateKey& k) { return std::tie(k.ends, k.apexes, k.slot); };
    // Most edges are between two faces; their two records need no sorting.
    if (run.size() > 2) {
      std::sort(run.begin(), run.end(),
                [&key](const DuplicateKey& a, const DuplicateKey& b) { return key(a) < key(b); });
    }
    for (size_t k = 1; k < run.size(); ++k) {
      if (run[k].ends == run[k - 1].ends && run[k].apexes == run[k - 1].apexes) {
        neighbours[static_cast<size_t>(run[k].slot)] = removedEdge;
      }
    }
  }

  const Face* faces_;
  int32_t faceCount_;
  int32_t vertexCount_;
  int32_t positionCount_ = 0;  // ids below it are positions
  int32_t idCount_ = 0;
  std::vector<int32_t> ids_;
};

Edge recordOf(const Face* faces, const std::vector<int32_t>& neighbours, int32_t slot) {
  const int32_t* corner = faces[slot / 3].corner;
  const int c = slot % 3;
  return Edge{corner[c], corner[(c + 1) % 3], corner[(c + 2) % 3],
              neighbours[static_cast<size_t>(slot)]};
}

}  // namespace

int32_t findOppositeVertex(const float p[3], const float q[3], int32_t ignoredFace,
                           int32_t faceCount, const Vec3* vertices, int32_t vertexCount,
                           const Face* faces) {
  for (int32_t f = 0; f < faceCount; ++f) {
    if (f == ignoredFace || !isInside(faces[f], vertexCount)) {
      continue;
    }
    int cornerAtP = -1;
    int cornerAtQ = -1;
    for (int c = 0; c < 3; ++c) {
      const Vec3& v = vertices[faces[f].corner[c]];
      if (samePosition(v, p)) {
        cornerAtP = c;
      }
      if (samePosition(v, q)) {
        cornerAtQ = c;
      }
    }
    if (cornerAtP < 0 || cornerAtQ < 0) {
      continue;
    }
    for (int c = 0; c < 3; ++c) {
      if (c != cornerAtP && c != cornerAtQ) {
        return faces[f].corner[c];
      }
    }
  }
  return -1;
}

void buildEdgeList(Mesh& mesh) {
  int32_t faceCount = mesh.faces == nullptr || mesh.faceCount < 0 ? 0 : mesh.faceCount;
  if (faceCount > faceLimit) {
    faceCount = faceLimit;
  }
  const int32_t vertexCount =
      mesh.vertices == nullptr || mesh.vertexCount < 0 ? 0 : mesh.vertexCount;
  const int32_t total = 3 * faceCount;

  delete[] mesh.edges;
  mesh.edges = nullptr;
  const std::vector<int32_t> neighbours =
      NeighbourSearch(mesh.faces, faceCount, mesh.vertices, vertexCount).findNeighbours();
  const int32_t count = static_cast<int32_t>(
      total - std::count(neighbours.begin(), neighbours.end(), removedEdge));

  // The survivors in front of the first hole keep their places; each hole, in
  // increasing order, takes the last survivor not yet moved. The holes before
  // count are exactly as many as the survivors from count on.
  Edge* edges = new Edge[static_cast<size_t>(count)];
  int32_t tail = total - 1;
  for (int32_t i = 0; i < count; ++i) {
    if (neighbours[static_cast<size_t>(i)] != removedEdge) {
      edges[i] = recordOf(mesh.faces, neighbours, i);
      continue;
    }
    while (neighbours[static_cast<size_t>(tail)] == removedEdge) {
      --tail;
    }
    edges[i] = recordOf(mesh.faces, neighbours, tail--);
  }
  mesh.edges = edges;
  mesh.edgeCount = count;
}
