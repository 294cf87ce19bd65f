// Builds a mesh's edge adjacency list. Each face writes three records, one
// per edge in its own corner order, naming the third vertex of the
// lowest-numbered other face that has corners at the positions of both ends.
// Records equal up to the order of their ends and of their two third vertices
// are dropped, the earliest kept, and the survivors are packed to the front by
// filling each hole with the last survivor behind it.
//
// Neighbours are found by exact position, not by index, so faces that meet
// along copied vertices still see each other. Instead of scanning every face
// for every edge, positions are sorted into ids, and face edges and records
// are bucketed by their lower id or index and sorted within each bucket, so
// that faces sharing a pair of positions, and duplicate records, sit side by
// side. The work grows with n log n at worst (everything around one vertex)
// and nearly linearly for ordinary meshes; the result is record for record
// that of the face-by-face search and the pairwise duplicate pass.
// Faces naming a vertex outside the array give removed records only.
#include "shadow/edge_list.h"

#include "shadow/position_ids.h"

#include <algorithm>
#include <limits>
#include <tuple>
#include <vector>

namespace {

constexpr Edge removedRecord{removedEdge, removedEdge, removedEdge, removedEdge};
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

// Where each bucket starts in an array ordered by bucket, from the bucket
// sizes; one more entry marks the end.
std::vector<int32_t> bucketStarts(const std::vector<int32_t>& sizes) {
  std::vector<int32_t> starts(sizes.size() + 1, 0);
  for (size_t b = 0; b < sizes.size(); ++b) {
    starts[b + 1] = starts[b] + sizes[b];
  }
  return starts;
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

// What findOppositeVertex answers, with positions known by id.
class NeighbourSearch {
 public:
  NeighbourSearch(const Face* faces, int32_t faceCount, const Vec3* vertices, int32_t vertexCount)
      : faces_(faces), ids_(assignPositionIds(vertices, vertexCount, idCount_)) {
    atPosition_.resize(static_cast<size_t>(idCount_));
    for (int32_t f = 0; f < faceCount; ++f) {
      if (isInside(faces[f], vertexCount)) {
        for (int32_t corner : faces[f].corner) {
          if (idOf(corner) >= 0) {
            atPosition_[static_cast<size_t>(idOf(corner))].add(f);
          }
        }
      }
    }
    findPairNeighbours(faceCount, vertexCount);
  }

  // The opposite vertex for edge c (corner c to corner c + 1) of face f.
  int32_t oppositeVertex(int32_t f, int c) const {
    const Face& face = faces_[f];
    const int32_t p = idOf(face.corner[c]);
    const int32_t q = idOf(face.corner[(c + 1) % 3]);
    if (p < 0 || q < 0) {
      return -1;
    }
    const int32_t other = p == q ? atPosition_[static_cast<size_t>(p)].otherThan(f)
                                 : pairNeighbour_[static_cast<size_t>(3 * f + c)];
    if (other < 0) {
      return -1;
    }
    const Face& chosen = faces_[other];
    int cornerAtP = -1;
    int cornerAtQ = -1;
    for (int k = 0; k < 3; ++k) {
      const int32_t id = idOf(chosen.corner[k]);
      if (id == p) {
        cornerAtP = k;
      }
      if (id == q) {
        cornerAtQ = k;
      }
    }
    for (int k = 0; k < 3; ++k) {
      if (k != cornerAtP && k != cornerAtQ) {
        return chosen.corner[k];
      }
    }
    return -1;
  }

 private:
  int32_t idOf(int32_t vertex) const { return ids_[static_cast<size_t>(vertex)]; }

  // For every face edge whose ends lie at two different positions, the
  // lowest other face with corners at both. Edges are bucketed by their
  // lower position id, then sorted by the higher id and the face, so each
  // pair of positions is a run with its lowest faces in front.
  void findPairNeighbours(int32_t faceCount, int32_t vertexCount) {
    struct PairEdge {
      int32_t high;
      int32_t face;
      int32_t slot;  // 3 x face + edge
    };
    auto forEachPairEdge = [&](auto&& visit) {
      for (int32_t f = 0; f < faceCount; ++f) {
        if (!isInside(faces_[f], vertexCount)) {
          continue;
        }
        for (int c = 0; c < 3; ++c) {
          const int32_t a = idOf(faces_[f].corner[c]);
          const int32_t b = idOf(faces_[f].corner[(c + 1) % 3]);
          if (a >= 0 && b >= 0 && a != b) {
            visit(std::min(a, b), PairEdge{std::max(a, b), f, 3 * f + c});
          }
        }
      }
    };
    std::vector<int32_t> sizes(static_cast<size_t>(idCount_), 0);
    forEachPairEdge([&](int32_t low, const PairEdge&) { ++sizes[static_cast<size_t>(low)]; });
    const std::vector<int32_t> starts = bucketStarts(sizes);
    std::vector<int32_t> next(starts.begin(), starts.end() - 1);
    std::vector<PairEdge> edges(static_cast<size_t>(starts.back()));
    forEachPairEdge([&](int32_t low, const PairEdge& edge) {
      edges[static_cast<size_t>(next[static_cast<size_t>(low)]++)] = edge;
    });

    pairNeighbour_.assign(static_cast<size_t>(faceCount) * 3, -1);
    for (size_t bucket = 0; bucket + 1 < starts.size(); ++bucket) {
      const auto begin = edges.begin() + starts[bucket];
      const auto end = edges.begin() + starts[bucket + 1];
      std::sort(begin, end, [](const PairEdge& a, const PairEdge& b) {
        return std::tie(a.high, a.face) < std::tie(b.high, b.face);
      });
      for (auto run = begin; run != end;) {
        auto runEnd = run;
        LowestFaces lowest;
        while (runEnd != end && runEnd->high == run->high) {
          lowest.add(runEnd->face);
          ++runEnd;
        }
        for (; run != runEnd; ++run) {
          pairNeighbour_[static_cast<size_t>(run->slot)] = lowest.otherThan(run->face);
        }
      }
    }
  }

  const Face* faces_;
  int32_t idCount_ = 0;
  std::vector<int32_t> ids_;
  std::vector<LowestFaces> atPosition_;
  std::vector<int32_t> pairNeighbour_;
};

// Two records are duplicates when their ends and their third vertices match,
// each pair in either order: an equivalence, so of each class the pairwise
// pass keeps exactly the earliest. Records are bucketed by their lower end
// and sorted within the bucket so that each class is a run, earliest first.
// Returns how many records were removed.
int32_t removeDuplicates(Edge* records, int32_t total, int32_t vertexCount) {
  struct Keyed {
    int32_t endHigh;
    int32_t apexLow;
    int32_t apexHigh;
    int32_t index;
  };
  std::vector<int32_t> sizes(static_cast<size_t>(vertexCount), 0);
  for (int32_t j = 0; j < total; ++j) {
    if (records[j].vertex0 != removedEdge) {
      ++sizes[static_cast<size_t>(std::min(records[j].vertex0, records[j].vertex1))];
    }
  }
  const std::vector<int32_t> starts = bucketStarts(sizes);
  std::vector<int32_t> next(starts.begin(), starts.end() - 1);
  std::vector<Keyed> keyed(static_cast<size_t>(starts.back()));
  for (int32_t j = 0; j < total; ++j) {
    const Edge& e = records[j];
    if (e.vertex0 != removedEdge) {
      keyed[static_cast<size_t>(next[static_cast<size_t>(std::min(e.vertex0, e.vertex1))]++)] =
          Keyed{std::max(e.vertex0, e.vertex1), std::min(e.apex, e.neighbourApex),
                std::max(e.apex, e.neighbourApex), j};
    }
  }

  int32_t removed = 0;
  for (size_t bucket = 0; bucket + 1 < starts.size(); ++bucket) {
    const auto begin = keyed.begin() + starts[bucket];
    const auto end = keyed.begin() + starts[bucket + 1];
    std::sort(begin, end, [](const Keyed& a, const Keyed& b) {
      return std::tie(a.endHigh, a.apexLow, a.apexHigh, a.index) <
             std::tie(b.endHigh, b.apexLow, b.apexHigh, b.index);
    });
    for (auto k = begin; k != end; ++k) {
      if (k != begin && std::tie(k->endHigh, k->apexLow, k->apexHigh) ==
                            std::tie((k - 1)->endHigh, (k - 1)->apexLow, (k - 1)->apexHigh)) {
        records[k->index] = removedRecord;
        ++removed;
      }
    }
  }
  return removed;
}

void compact(Edge* edges, int32_t total) {
  int32_t tail = total - 1;
  for (int32_t i = 0; i < total; ++i) {
    if (edges[i].vertex0 != removedEdge) {
      continue;
    }
    if (tail <= i) {
      return;
    }
    while (edges[tail].vertex0 == removedEdge) {
      --tail;
      if (tail <= i) {
        return;
      }
    }
    edges[i] = edges[tail];
    edges[tail] = removedRecord;
  }
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
  mesh.edges = new Edge[static_cast<size_t>(total)];
  Edge* edges = mesh.edges;

  const NeighbourSearch neighbours(mesh.faces, faceCount, mesh.vertices, vertexCount);
  int32_t count = total;
  for (int32_t i = 0; i < faceCount; ++i) {
    const Face& face = mesh.faces[i];
    Edge* record = edges + 3 * i;
    if (!isInside(face, vertexCount)) {
      record[0] = record[1] = record[2] = removedRecord;
      count -= 3;
      continue;
    }
    for (int c = 0; c < 3; ++c) {
      record[c] = Edge{face.corner[c], face.corner[(c + 1) % 3], face.corner[(c + 2) % 3],
                       neighbours.oppositeVertex(i, c)};
    }
  }
  count -= removeDuplicates(edges, total, vertexCount);
  mesh.edgeCount = count;
  compact(edges, total);
}
