// TiffImage against libtiff: files written by tiffcp and ImageMagick (the
// fixtures), files from our test writer, and the bundled texture, decoded by
// both; our pixels must equal libtiff's strips byte for byte.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "assets/tiff_image.h"
#include "support/tiff_writer.h"

namespace {

struct Decoded {
  bool ok = false;
  uint32_t width = 0;
  uint32_t height = 0;
  uint16_t samples = 0;
  std::vector<uint8_t> pixels;
};

// libtiff's own strip decoding, without its RGBA conversion (which flips rows).
Decoded decodeWithLibtiff(const std::string& path) {
  TIFFSetWarningHandler(nullptr);
  Decoded out;
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  if (tif == nullptr) return out;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &out.width);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &out.height);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &out.samples);
  std::vector<uint8_t> strip(static_cast<size_t>(TIFFStripSize(tif)));
  out.ok = true;
  for (uint32_t s = 0; s < TIFFNumberOfStrips(tif); ++s) {
    tmsize_t got = TIFFReadEncodedStrip(tif, s, strip.data(), static_cast<tmsize_t>(strip.size()));
    if (got < 0) out.ok = false;
    if (got > 0) out.pixels.insert(out.pixels.end(), strip.begin(), strip.begin() + got);
  }
  TIFFClose(tif);
  return out;
}

void expectSameAsLibtiff(const std::string& path) {
  Decoded expected = decodeWithLibtiff(path);
  ASSERT_TRUE(expected.ok) << path;
  TiffImage image;
  ASSERT_TRUE(image.read(path.c_str())) << path;
  EXPECT_EQ(image.width, static_cast<int32_t>(expected.width)) << path;
  EXPECT_EQ(image.height, static_cast<int32_t>(expected.height)) << path;
  EXPECT_EQ(image.samplesPerPixel, expected.samples) << path;
  ASSERT_NE(image.pixels, nullptr) << path;
  std::vector<uint8_t> ours(image.pixels, image.pixels + image.pixelBytes);
  EXPECT_TRUE(ours == expected.pixels) << path << ": pixels differ";
}

std::string fixture(const char* name) { return std::string(FIXTURE_DIR) + "/" + name; }

}  // namespace

TEST(TiffOracle, FixturesFromTiffcpAndImageMagickMatchLibtiff) {
  // Names say the writer (im_ is ImageMagick, the rest tiffcp), the samples,
  // the compression, the predictor and the strips; all are 13 or 64 pixels
  // wide, so RGB rows of 39 bytes are among them.
  const char* names[] = {
      "tiff_rgb_none_1strip.tif",     "tiff_rgb_none_2strips.tif",
      "tiff_rgb_none_5strips.tif",    "tiff_rgb_lzw_1strip.tif",
      "tiff_rgb_lzw_5strips.tif",     "tiff_rgb_lzw_pred_3strips.tif",
      "tiff_rgba_none_3strips.tif",   "tiff_rgba_lzw_pred_1strip.tif",
      "tiff_plasma_lzw_1strip.tif",   "tiff_plasma_lzw_pred_3strips.tif",
      "tiff_im_rgb_lzw.tif",          "tiff_im_rgb_lzw_pred_5strips.tif",
      "tiff_im_rgba_none.tif",        "tiff_im_plasma_lzw_pred.tif",
  };
  for (const char* name : names) expectSameAsLibtiff(fixture(name));
}

TEST(TiffOracle, BigEndianFixtureIsRefusedThoughLibtiffReadsIt) {
  std::string path = fixture("tiff_rgb_bigendian.tif");
  EXPECT_TRUE(decodeWithLibtiff(path).ok);
  TiffImage image;
  testing::internal::CaptureStdout();
  EXPECT_FALSE(image.read(path.c_str()));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "\n\n\t\tNot a tif_file!!!");
  EXPECT_EQ(image.pixels, nullptr);
}

TEST(TiffOracle, WrittenFilesOfEveryLayoutMatchLibtiff) {
  // Also checks the test writer's LZW encoder against libtiff's decoder.
  std::mt19937 random(99);
  std::string path = testing::TempDir() + "tiff_oracle_layout.tif";
  int written = 0;
  for (uint16_t sizeType : {tiffShort, tiffLong})
    for (uint16_t arrayType : {tiffShort, tiffLong})
      for (int compression : {1, 5})
        for (int predictor : {1, 2})
          for (int samples : {3, 4})
            for (int rowsPerStrip : {0, 1, 3}) {
              if (compression == 1 && predictor == 2) continue;  // libtiff ignores it there
              TiffLayout layout{11, 7, samples, compression, predictor, rowsPerStrip,
                                sizeType, arrayType};
              std::vector<uint8_t> pixels(static_cast<size_t>(11 * 7 * samples));
              for (auto& p : pixels) p = static_cast<uint8_t>(random() % 6 * 40);
              ASSERT_TRUE(writeFileBytes(path.c_str(), writeTiff(layout, pixels)));
              expectSameAsLibtiff(path);
              ++written;
            }
  EXPECT_EQ(written, 72);
  // Noise through every code width and two full tables.
  std::vector<uint8_t> noise(90 * 40 * 3);
  for (auto& p : noise) p = static_cast<uint8_t>(random());
  ASSERT_TRUE(writeFileBytes(path.c_str(), writeTiff({90, 40, 3, 5}, noise)));
  expectSameAsLibtiff(path);
}

TEST(TiffOracle, BundledTextureMatchesLibtiff) {
  std::string path = std::string(DATA_DIR) + "/txt.tif";
  if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
    std::fclose(file);
  } else {
    GTEST_SKIP() << path << " is not there yet";
  }
  expectSameAsLibtiff(path);
}
