// Scenes of any size for the frame's scale: closed spheres in a square over
// a textured receiver, each sphere a mesh of its own, so that a program draws
// them with --all-meshes joined into one. A sphere is a cube whose faces are
// cut into n x n squares, two triangles each, pushed out onto the sphere:
// 12 n^2 faces and 6 n^2 + 2 shared vertices, every face counter-clockwise
// seen from outside. Only square roots and divisions make the points, so
// every machine writes the same file.
//
// Seen from the start view (eye at (0, 0, 200) looking down -Z) the receiver
// fills the window and the spheres float over it, in the light's reach.
#pragma once

#include <string>
#include <vector>

#include "support/box_scene.h"

struct SphereScene {
  int perSide;       // spheres in each row and column
  int subdivisions;  // n: squares along each edge of a sphere's cube
};

// The receiver (2,400 faces, mapped) first, then the spheres.
std::vector<SceneObject> sphereSceneObjects(const SphereScene& scene);
int sphereSceneFaces(const SphereScene& scene);
bool writeSphereScene(const std::string& path, const SphereScene& scene);
