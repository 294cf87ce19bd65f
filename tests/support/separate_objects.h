// The scene the tests of --all-meshes start the programs with, each object a
// mesh of its own: 65535 points with no face, so that every vertex after them
// is numbered past what one 3DS mesh can hold; the receiver, with mapping
// coordinates; the start box and a smaller second box, without. Under the
// start light each box shadows the receiver, which is another mesh. The
// texture beside it is yellow: the picture's green stays what it would be
// untextured, and its blue goes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes base/"my scenes/separate objects.3DS" and base/"my textures/yellow
// one.tif", and makes an empty base/"empty folder" to start from.
bool makeSeparateObjectsFolders(const std::string& base);
// What the programs say after the scene's path without --all-meshes.
constexpr const char* separateObjectsNote =
    ": 4 meshes; the first, \"Far points\", is drawn (--all-meshes draws all).";
// Judges the start picture (5-6-5 values, rows top to bottom) on every
// fourth pixel against the ray cast over all the objects' faces: 99% agree,
// shadows are in view, and no judged pixel has blue.
void expectPictureOfSeparateObjects(const std::vector<uint32_t>& picture, int width, int height);
