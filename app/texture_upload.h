// The upload of the image as the one texture, at a size the GL takes: the
// image's own where it can, otherwise scaled with gluScaleImage to the
// nearest power of two the GL allows on each side. The size decision is a
// plain function, so it can be checked without a GL.
#pragma once

#include <cstdint>

class TiffImage;

struct TextureLimits {
  int32_t maxSize;     // GL_MAX_TEXTURE_SIZE
  bool nonPowerOfTwo;  // sides that are not powers of two are taken
};

struct TextureSize {
  int32_t width;
  int32_t height;
};

// OpenGL 2.0 and later take any side; before, only GL_ARB_texture_non_power_of_two
// does. Either string may be null (no context).
bool takesNonPowerOfTwo(const char* version, const char* extensions);
// Each side stays as it is where the limits allow it; otherwise it becomes the
// nearest power of two (a tie goes up), but no more than the largest power of
// two within maxSize.
TextureSize textureSizeFor(int32_t width, int32_t height, const TextureLimits& limits);
// The current context's limits.
TextureLimits currentTextureLimits();
// Uploads the image to GL_TEXTURE_2D at textureSizeFor's size. True when the
// GL took it; false for an image without pixels and when the GL reports an
// error, which leaves no texture to draw with.
bool uploadTexture(const TiffImage& image, const TextureLimits& limits);
