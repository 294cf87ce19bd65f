// Every mesh of a scene as one mesh, so that the shadow geometry made from it
// lets each object shadow the others.
#pragma once

#include "assets/scene.h"

// A new mesh (release it with releaseMesh) holding the scene's meshes in
// table order: their vertices one after another, their faces with corners
// moved to where their vertices went, and mapping coordinates where any mesh
// has them, (0, 0) for the vertices of those that have none. Faces naming a
// vertex outside their own mesh are left out, so none reaches into another
// mesh. No normals and no edge list yet; no material. The joined mesh is not
// held to a file's 65535 vertices; a mesh that would take it past what the
// 32-bit counts and the edge list hold is left out.
// The joined mesh is the one copy of the geometry kept: every mesh of the
// scene is left with its name, matrix and material but no arrays, all its
// counts zero, and so are the scene's totals.
Mesh* joinMeshes(Scene& scene);
