// The texture upload: the size decision on its own, and the upload into a
// real OpenGL context under a private Xvfb, where Mesa refuses textures wider
// than its GL_MAX_TEXTURE_SIZE. A GL without non-power-of-two textures cannot
// be had here, so that path runs with the decision forced.
#include <GL/gl.h>

#include <cstdint>
#include <vector>

#include "app/texture_upload.h"
#include "assets/tiff_image.h"
#include "gl/gl_context.h"
#include "support/tiff_writer.h"
#include "support/xvfb.h"

static auto* const xvfb = useOwnXvfb();

namespace {

intptr_t quietProcedure(WindowHandle, uint32_t, uintptr_t, intptr_t) { return 0; }

bool useContext() {
  static bool ready = [] {
    registerClass(WindowClass{0, quietProcedure, currentInstance(), "Texture Test"});
    WindowHandle window = createWindow("Texture Test", "Texture Test", 320, 240, currentInstance());
    showWindow(window, SW_SHOWNORMAL);
    return setupGLContext(window);
  }();
  return ready;
}

// Left half red, right half blue, so a scaled image keeps both halves.
void readSplitImage(TiffImage& image, int width, int height) {
  std::vector<uint8_t> pixels;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      bool left = x < width / 2;
      pixels.insert(pixels.end(), {uint8_t(left ? 255 : 0), 0, uint8_t(left ? 0 : 255)});
    }
  TiffLayout layout;
  layout.width = width;
  layout.height = height;
  image.readFromMemory(writeTiff(layout, pixels));
}

struct Uploaded {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> texels;  // RGB, rows packed

  std::vector<uint8_t> texel(int x, int y) const {
    auto at = texels.begin() + (static_cast<ptrdiff_t>(y) * width + x) * 3;
    return std::vector<uint8_t>(at, at + 3);
  }
};

Uploaded uploadedTexture() {
  Uploaded got;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &got.width);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &got.height);
  got.texels.assign(static_cast<size_t>(got.width) * static_cast<size_t>(got.height) * 3, 0);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  if (!got.texels.empty()) glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, got.texels.data());
  return got;
}

}  // namespace

TEST(TextureUpload, KeepsSidesTheGLTakesAndScalesOthersToTheNearestPowerOfTwo) {
  struct Case {
    int32_t width, height;
    TextureLimits limits;
    int32_t wantWidth, wantHeight;
  };
  const Case cases[] = {
      {16400, 4, {16384, true}, 16384, 4},  // too wide: down to the limit
      {300, 200, {16384, true}, 300, 200},  // any side where the GL takes it
      {300, 200, {16384, false}, 256, 256},
      {384, 3, {16384, false}, 512, 4},     // halfway goes up
      {256, 64, {16384, false}, 256, 64},
      {5000, 1, {2048, false}, 2048, 1},    // nearest is 4096, beyond the limit
      {40000, 3000, {3000, true}, 2048, 3000},  // a limit that is no power of two
  };
  for (const Case& c : cases) {
    TextureSize size = textureSizeFor(c.width, c.height, c.limits);
    EXPECT_EQ(size.width, c.wantWidth) << c.width << "x" << c.height;
    EXPECT_EQ(size.height, c.wantHeight) << c.width << "x" << c.height;
  }
  EXPECT_FALSE(takesNonPowerOfTwo("1.1 Mesa 22.3.6", "GL_EXT_bgra"));
  EXPECT_TRUE(takesNonPowerOfTwo("1.4", "GL_EXT_bgra GL_ARB_texture_non_power_of_two GL_EXT_abgr"));
  EXPECT_FALSE(takesNonPowerOfTwo("1.4", "GL_ARB_texture_non_power_of_two_x"));
  EXPECT_TRUE(takesNonPowerOfTwo("2.1 Mesa 22.3.6", nullptr));
  EXPECT_TRUE(takesNonPowerOfTwo("4.5 (Compatibility Profile) Mesa 22.3.6", ""));
  EXPECT_FALSE(takesNonPowerOfTwo(nullptr, nullptr));
}

TEST(TextureUpload, ImageTheGLWouldRefuseIsScaledAndTaken) {
  ASSERT_TRUE(useContext());
  TextureLimits real = currentTextureLimits();
  struct Case {
    const char* what;
    int width, height;
    TextureLimits limits;
    int wantWidth, wantHeight;
  };
  const Case cases[] = {
      {"wider than the GL's limit", real.maxSize + 16, 4, real, real.maxSize, 4},
      {"not a power of two, on a GL that needs one", 48, 20, {real.maxSize, false}, 64, 16},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TiffImage image;
    readSplitImage(image, c.width, c.height);
    ASSERT_NE(image.pixels, nullptr);
    EXPECT_TRUE(uploadTexture(image, c.limits));
    EXPECT_EQ(glGetError(), GLenum{GL_NO_ERROR});
    Uploaded got = uploadedTexture();
    ASSERT_EQ(got.width, c.wantWidth);
    ASSERT_EQ(got.height, c.wantHeight);
    // Away from the edges, where GLU's filter reaches round to the other side.
    EXPECT_EQ(got.texel(got.width / 4, 0), (std::vector<uint8_t>{255, 0, 0}));
    EXPECT_EQ(got.texel(got.width * 3 / 4, got.height - 1), (std::vector<uint8_t>{0, 0, 255}));
  }
}

TEST(TextureUpload, ImageTheGLStillRefusesIsReportedAsNotTaken) {
  ASSERT_TRUE(useContext());
  TextureLimits real = currentTextureLimits();
  // Limits that overstate the GL's: nothing is scaled and the GL refuses.
  TiffImage image;
  readSplitImage(image, real.maxSize + 16, 2);
  ASSERT_NE(image.pixels, nullptr);
  EXPECT_FALSE(uploadTexture(image, TextureLimits{real.maxSize * 4, true}));
  EXPECT_EQ(glGetError(), GLenum{GL_NO_ERROR}) << "the refusal is the upload's to take";
  TiffImage unread;
  unread.read("no such file.tif");
  EXPECT_FALSE(uploadTexture(unread, real));
}
