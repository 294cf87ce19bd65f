// The scene the tests of --all-meshes start the programs with, each object a
// mesh of its own: 65000 points with no face, so that every vertex after them
// is numbered past what one 3DS mesh can hold; the receiver, with mapping
// coordinates; the start box and a smaller second box, without. Under the
// start light each box shadows the receiver, which is another mesh.
#pragma once

#include <cstdint>
#include <vector>

#include "support/mesh_ray_cast.h"

constexpr int separateObjectCount = 4;
constexpr const char* firstObjectName = "Far points";

std::vector<uint8_t> separateObjectsFile();
// A TIFF of one colour, yellow: textured, the picture's green is what it
// would be untextured, and its blue is gone.
std::vector<uint8_t> yellowTextureFile();
// The start picture (5-6-5 values, rows top to bottom) judged on every fourth
// pixel against the ray cast over all the objects' faces.
PictureJudgement judgeSeparateObjectsPicture(const std::vector<uint32_t>& picture, int width,
                                             int height);
