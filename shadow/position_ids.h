// Which vertices of a mesh lie at the same place: one id per distinct
// position, numbered from 0 in the order of the positions (by x, then y,
// then z), or, where the numbering does not matter, in the order in which
// the positions first occur among the vertices, which is several times
// faster to make.
// Positions compare exactly, 0.0 equal to -0.0; a position with a NaN equals
// no position, itself included, and gets -1. Geometry only.
#pragma once

#include <cstdint>
#include <vector>

#include "assets/scene.h"

// One id per vertex; idCount receives how many distinct positions there are.
std::vector<int32_t> assignPositionIds(const Vec3* vertices, int32_t vertexCount,
                                       int32_t& idCount);

// The same ids, numbered in the order of the vertices that first take each
// position.
std::vector<int32_t> assignPositionIdsInVertexOrder(const Vec3* vertices, int32_t vertexCount,
                                                    int32_t& idCount);
