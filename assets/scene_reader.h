// Reads a 3D Studio (.3DS) chunk file into a new Scene.
#pragma once

#include <cstdint>

#include "assets/scene.h"

// Returns null when the file cannot be opened or does not begin with the main
// chunk. Mapping coordinates are kept only when readTexCoords is 1.
Scene* readScene(const char* path, uint8_t readTexCoords);
