// Reads a 3D Studio (.3DS) chunk file into a new Scene.
#pragma once

#include <cstdint>

#include "assets/scene.h"

// Returns null when the file is not a regular file, cannot be opened or read,
// or does not begin with the main chunk; only what the main chunk's length
// reaches is read. Mapping coordinates are kept only when readTexCoords is 1.
Scene* readScene(const char* path, uint8_t readTexCoords);
