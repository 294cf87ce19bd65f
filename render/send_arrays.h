// The frame's geometry reaches OpenGL here, through OpenGL 1.1's client-side
// arrays: each call below is one draw call however many triangles it sends,
// and leaves no client array enabled behind it. Colours and render state are
// the caller's.
#pragma once

#include <cstdint>
#include <vector>

#include "assets/scene.h"
#include "render/screen_tiles.h"
#include "shadow/closed_volume.h"

// Triangles, three vertices each, in order.
void sendTriangles(const std::vector<Vec3>& vertices);
void sendTriangles(const std::vector<Vec4>& vertices);
// Triangles as three indices each into vertices (read stride bytes apart,
// 0 for packed), each vertex with its colour and mapping coordinates where
// those are given.
void sendIndexedTriangles(const void* vertices, int stride, const uint32_t* indices,
                          int32_t indexCount, const Vec3* colours = nullptr,
                          const TexCoord* texCoords = nullptr);
void sendIndexedTriangles(const std::vector<Vec4>& vertices, const std::vector<uint32_t>& indices);
// Lines, two vertices each.
void sendLines(const std::vector<Vec3>& vertices);
void sendLines(const std::vector<Vec4>& vertices);
// Rectangles of pixels as quads at depth z, under a projection of the window's pixels.
void sendRects(const std::vector<PixelRect>& rects, float z);
