// The edge adjacency list built the slow, obvious way: a linear search over
// all faces for every edge and a pairwise duplicate pass. Tests compare the
// indexed build with it; the benchmark measures it. Not for the program.
#pragma once

#include <cstdint>
#include <vector>

#include "assets/scene.h"

struct ScannedEdgeList {
  std::vector<Edge> records;  // 3 x faceCount, removed records (all -2) at the back
  int32_t edgeCount;
};

int32_t scanForOppositeVertex(const float p[3], const float q[3], int32_t ignoredFace,
                              int32_t faceCount, const Vec3* vertices, int32_t vertexCount,
                              const Face* faces);

ScannedEdgeList buildEdgeListByScanning(const Mesh& mesh);
