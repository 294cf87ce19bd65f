// The texture upload (see texture_upload.h). A GL that refuses the image's
// size leaves the texture without an image, and the frame's texture pass
// would then multiply the mesh by a flat colour; scaling first, and telling
// the caller when the GL still refused, avoids that.
#include "app/texture_upload.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "assets/tiff_image.h"

namespace {

bool isPowerOfTwo(int32_t side) { return side > 0 && (side & (side - 1)) == 0; }

int32_t largestPowerOfTwoWithin(int32_t limit) {
  int32_t power = 1;
  while (power <= limit / 2) power *= 2;
  return power;
}

int32_t fitSide(int32_t side, const TextureLimits& limits) {
  int32_t largest = largestPowerOfTwoWithin(limits.maxSize);
  if (side <= limits.maxSize && (limits.nonPowerOfTwo || isPowerOfTwo(side))) return side;
  int32_t below = largestPowerOfTwoWithin(side);
  int64_t above = int64_t{below} * 2;
  int64_t nearest = side - below < above - side ? below : above;
  return nearest < largest ? static_cast<int32_t>(nearest) : largest;
}

}  // namespace

bool takesNonPowerOfTwo(const char* version, const char* extensions) {
  // The version string starts with major.minor.
  if (version != nullptr && std::strtol(version, nullptr, 10) >= 2) return true;
  if (extensions == nullptr) return false;
  const char* wanted = "GL_ARB_texture_non_power_of_two";
  size_t length = std::strlen(wanted);
  for (const char* at = std::strstr(extensions, wanted); at != nullptr;
       at = std::strstr(at + 1, wanted)) {
    bool starts = at == extensions || at[-1] == ' ';
    bool ends = at[length] == '\0' || at[length] == ' ';
    if (starts && ends) return true;
  }
  return false;
}

TextureSize textureSizeFor(int32_t width, int32_t height, const TextureLimits& limits) {
  return TextureSize{fitSide(width, limits), fitSide(height, limits)};
}

TextureLimits currentTextureLimits() {
  GLint maxSize = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
  return TextureLimits{maxSize, takesNonPowerOfTwo(
                                    reinterpret_cast<const char*>(glGetString(GL_VERSION)),
                                    reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS)))};
}

bool uploadTexture(const TiffImage& image, const TextureLimits& limits) {
  if (image.pixels == nullptr || image.width <= 0 || image.height <= 0) return false;
  // Rows are packed; a four-sample image is declared as RGBA so that its rows
  // are not read out of step (the alpha is dropped: three components stored).
  bool rgba = image.samplesPerPixel == 4;
  GLenum format = rgba ? GL_RGBA : GL_RGB;
  size_t samples = rgba ? 4 : 3;
  TextureSize size = textureSizeFor(image.width, image.height, limits);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  while (glGetError() != GL_NO_ERROR) {
  }  // errors from before are not the upload's

  const void* pixels = image.pixels;
  std::vector<unsigned char> scaled;
  if (size.width != image.width || size.height != image.height) {
    scaled.resize(static_cast<size_t>(size.width) * static_cast<size_t>(size.height) * samples);
    // gluScaleImage writes its rows with the pack alignment.
    GLint packAlignment = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &packAlignment);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    GLint scaling = gluScaleImage(format, image.width, image.height, GL_UNSIGNED_BYTE, image.pixels,
                                  size.width, size.height, GL_UNSIGNED_BYTE, scaled.data());
    glPixelStorei(GL_PACK_ALIGNMENT, packAlignment);
    if (scaling != 0) return false;
    pixels = scaled.data();
  }
  glTexImage2D(GL_TEXTURE_2D, 0, 3, size.width, size.height, 0, format, GL_UNSIGNED_BYTE, pixels);
  return glGetError() == GL_NO_ERROR;
}
