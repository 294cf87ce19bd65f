// Face and vertex normals of a mesh, computed once at start-up. A face that
// names a vertex outside the mesh's vertex array is treated like a degenerate
// one: its normal is (0, 0, 0) and only its corners inside the array count.
#pragma once

#include "assets/scene.h"

// Gives every face the unit normal that points to the side from which its
// stored corners run clockwise, or (0, 0, 0) for a degenerate face.
void computeFaceNormals(Mesh& mesh);

// Gives every vertex the plain (not re-normalised) mean of the face normals of
// all face corners that name it; needs computeFaceNormals first.
void computeVertexNormals(Mesh& mesh);
