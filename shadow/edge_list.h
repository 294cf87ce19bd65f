// The edge adjacency list of a mesh: for each edge its ends, the third vertex
// of the face that produced it and the third vertex of the face across it.
// A face that names a vertex outside the vertex array ("a broken face") gives
// no records and is nobody's neighbour.
#pragma once

#include <cstdint>

#include "assets/scene.h"

// The vertex of the lowest-numbered face other than ignoredFace that has
// corners at positions p and q and is at neither of them; -1 if none. Of
// several corners at p (or q) the last counts; the result is the first corner
// that is neither. Positions compare exactly, 0.0 equal to -0.0. Broken faces
// are passed over. A linear scan over the faces.
int32_t findOppositeVertex(const float p[3], const float q[3], int32_t ignoredFace,
                           int32_t faceCount, const Vec3* vertices, int32_t vertexCount,
                           const Face* faces);

// Replaces mesh.edges (releasing an earlier list) with exactly
// mesh.edgeCount records. Gives record for record the front of what a search
// with findOppositeVertex for every edge, a pairwise duplicate pass and the
// packing of the survivors give, but without searching all faces per edge:
// n log n at worst.
void buildEdgeList(Mesh& mesh);
