// TiffImage against libtiff: files written by tiffcp and ImageMagick (the
// fixtures), files from our test writer, and the bundled texture, decoded by
// both; our pixels must equal libtiff's strips byte for byte. And every form
// of one picture that tiffcp, raw2tiff and ImageMagick write, made here, read
// as libtiff's RGBA reading gives it, or declined with its reason.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
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

namespace {

// How far our pixels lie from libtiff's RGBA reading of the file, at most;
// -1 when libtiff cannot read it. libtiff multiplies RGB by an unassociated
// alpha, where we keep the samples as the file gives them: ours are
// multiplied the same way to compare.
int differenceFromLibtiff(const std::string& path, const TiffImage& image) {
  TIFFSetErrorHandler(nullptr);
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  if (tif == nullptr) return -1;
  uint16_t photometric = 0, extras = 0, *kinds = nullptr;
  TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
  bool premultiplied = TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extras, &kinds) && extras > 0 &&
                       kinds[0] == EXTRASAMPLE_UNASSALPHA && photometric == PHOTOMETRIC_RGB;
  std::vector<uint32_t> theirs(static_cast<size_t>(image.width) * static_cast<size_t>(image.height));
  bool read = TIFFReadRGBAImageOriented(tif, static_cast<uint32_t>(image.width),
                                        static_cast<uint32_t>(image.height), theirs.data(),
                                        ORIENTATION_TOPLEFT, 0) == 1;
  TIFFClose(tif);
  int largest = read ? 0 : -1;
  const size_t samples = static_cast<size_t>(image.samplesPerPixel);
  for (size_t i = 0; read && i < theirs.size(); ++i) {
    const uint8_t* ours = image.pixels + i * samples;
    const uint32_t wanted[4] = {TIFFGetR(theirs[i]), TIFFGetG(theirs[i]), TIFFGetB(theirs[i]),
                                TIFFGetA(theirs[i])};
    for (size_t c = 0; c < samples; ++c) {
      int value = c < 3 && premultiplied ? (ours[c] * ours[3] + 127) / 255 : ours[c];
      largest = std::max(largest, std::abs(value - static_cast<int>(wanted[c])));
    }
  }
  return largest;
}

bool runIn(const std::string& folder, const std::string& command) {
  return std::system(("cd '" + folder + "' && (" + command + ") >/dev/null 2>&1").c_str()) == 0;
}

}  // namespace

TEST(TiffOracle, EveryFormToolsWriteReadsAsLibtiffsRgbaOrIsDeclined) {
  // One 96 x 64 picture, in RGB, RGBA (alpha rising left to right) and grey,
  // 8 and 16 bits; each form below is written from it by the tools.
  const std::string folder = testing::TempDir() + "tiff_forms";
  const std::string im = "/usr/bin/convert -size 96x64 -seed 7 plasma:fractal ";
  const std::string alpha = "-alpha set -channel A -fx i/w +channel ";
  ASSERT_TRUE(runIn(testing::TempDir(), "rm -rf tiff_forms && mkdir tiff_forms"));
  ASSERT_TRUE(runIn(folder, im + "-depth 8 rgb:rgb.raw && " + im + "-colorspace gray -depth 8 gray:grey.raw"));
  ASSERT_TRUE(runIn(folder, "raw2tiff -c none -w 96 -l 64 -b 3 -p rgb rgb.raw lsb.tif && "
                            "tiffcp -f msb2lsb lsb.tif rgb.tif"));
  ASSERT_TRUE(runIn(folder, im + alpha + "-depth 8 -compress none rgba.tif"));
  ASSERT_TRUE(runIn(folder, im + "-depth 16 -compress none rgb16.tif"));
  ASSERT_TRUE(runIn(folder, im + "-monochrome -compress group4 g4.tif"));
  // A palette whose ColorMap holds 8-bit values, every entry at most 255, as
  // some writers store it, indexed by the grey picture; libtiff then takes
  // the map as 8-bit, and a 255 in it must not make it a 16-bit one.
  std::ifstream greyFile(folder + "/grey.raw", std::ios::binary);
  const std::vector<uint8_t> grey((std::istreambuf_iterator<char>(greyFile)),
                                  std::istreambuf_iterator<char>());
  ASSERT_EQ(grey.size(), 96u * 64u);
  TiffParts palette = makeTiffParts({96, 64, 1}, grey);
  findEntry(palette, 262)->values = {3};
  TiffEntry colourMap{320, tiffShort, {}};
  for (uint32_t colour = 0; colour < 3; ++colour)
    for (uint32_t i = 0; i < 256; ++i)
      colourMap.values.push_back(colour == 0 ? i : colour == 1 ? 255 - i : i * 3 % 256);
  palette.entries.push_back(colourMap);
  std::sort(palette.entries.begin(), palette.entries.end(),
            [](const TiffEntry& a, const TiffEntry& b) { return a.tag < b.tag; });
  ASSERT_TRUE(writeFileBytes((folder + "/palette8map.tif").c_str(), assembleTiff(palette)));
  // No tool writes the older Deflate code 32946 now; its stream is the same,
  // so the Compression entry of tiffcp's file is changed, and tiffinfo names it.
  const std::string compression = "\\x03\\x01\\x03\\x00\\x01\\x00\\x00\\x00";
  const std::string code32946 = "tiffcp -c zip rgb.tif zip.tif && LC_ALL=C sed 's/" + compression +
                                "\\x08\\x00/" + compression + "\\xB2\\x80/' zip.tif > out.tif && "
                                "tiffinfo out.tif | grep -q 'Scheme: Deflate'";

  // An empty reason means the same pixels as libtiff's, 16-bit samples included.
  struct Form {
    const char* what;
    std::string command;  // writes out.tif
    const char* declined;
  };
  const std::string to = " out.tif";
  const Form forms[] = {
      {"8-bit RGB, none", "tiffcp -c none rgb.tif" + to, ""},
      {"8-bit RGB, LZW", "tiffcp -c lzw rgb.tif" + to, ""},
      {"8-bit RGB, LZW and predictor", "tiffcp -c lzw:2 rgb.tif" + to, ""},
      {"8-bit RGBA, none", "cp rgba.tif" + to, ""},
      {"8-bit RGBA, LZW and predictor", "tiffcp -c lzw:2 rgba.tif" + to, ""},
      {"FillOrder 2, none", "cp lsb.tif" + to, ""},
      {"FillOrder 2, LZW", "raw2tiff -c lzw -w 96 -l 64 -b 3 -p rgb rgb.raw" + to, ""},
      {"FillOrder 2, Deflate and predictor", "tiffcp -c zip:2 -f lsb2msb rgb.tif" + to, ""},
      {"PackBits", "tiffcp -c packbits rgb.tif" + to, ""},
      {"Deflate", "tiffcp -c zip rgb.tif" + to, ""},
      {"Deflate and predictor", "tiffcp -c zip:2 rgb.tif" + to, ""},
      {"Deflate as 32946", code32946, ""},
      {"RGBA, Deflate and predictor", "tiffcp -c zip:2 rgba.tif" + to, ""},
      {"16-bit RGB, none", "cp rgb16.tif" + to, ""},
      {"16-bit RGB, LZW", "tiffcp -c lzw rgb16.tif" + to, ""},
      {"16-bit RGB, Deflate and predictor", "tiffcp -c zip:2 rgb16.tif" + to, ""},
      {"16-bit RGBA, none", im + alpha + "-depth 16 -compress none" + to, ""},
      {"planar RGB, none", "tiffcp -p separate -c none rgb.tif" + to, ""},
      {"planar RGB, LZW and predictor", "tiffcp -p separate -c lzw:2 rgb.tif" + to, ""},
      {"planar RGBA, PackBits", "tiffcp -p separate -c packbits rgba.tif" + to, ""},
      {"planar 16-bit RGB, Deflate", im + "-interlace plane -depth 16 -compress zip" + to, ""},
      {"grey, min-is-black", im + "-colorspace gray -depth 8 -compress none" + to, ""},
      {"grey, min-is-white", "raw2tiff -p miniswhite -w 96 -l 64 grey.raw" + to, ""},
      {"grey, 16-bit, LZW", im + "-colorspace gray -depth 16 -compress lzw" + to, ""},
      {"grey, 4-bit, Deflate", im + "-colorspace gray -depth 4 -compress zip" + to, ""},
      {"grey, 1-bit, min-is-black", im + "-monochrome -depth 1 -compress none" + to, ""},
      {"grey, 1-bit, min-is-white", "tiffcp -c none g4.tif" + to, ""},
      {"grey and alpha", im + "-colorspace gray " + alpha + "-depth 8 -compress lzw" + to, ""},
      {"palette, 8-bit", im + "-colors 200 -type palette -depth 8 -compress none" + to, ""},
      {"palette, 4-bit, LZW", im + "-colors 16 -type palette -compress lzw" + to, ""},
      {"palette, 2-bit, PackBits", im + "-colors 4 -type palette -compress rle" + to, ""},
      {"palette, 1-bit", im + "-colors 2 -type palette -compress none" + to, ""},
      {"palette, 8-bit map", "cp palette8map.tif" + to, ""},
      {"tiled", "tiffcp -t rgb.tif" + to, "tiled images are not supported"},
      {"JPEG", "tiffcp -r 16 -c jpeg rgb.tif" + to, "JPEG compression is not supported"},
      {"CCITT Group 4", "cp g4.tif" + to, "CCITT Group 4 compression is not supported"},
      {"big-endian", "tiffcp -B rgb.tif" + to, "big-endian TIFF files are not supported"},
      {"CMYK", im + "-colorspace cmyk -depth 8 -compress none" + to,
       "CMYK (separated) colours are not supported"},
      {"YCbCr", im + "-colorspace YCbCr -depth 8 -compress none" + to,
       "YCbCr colours are not supported"},
      {"floating point", "raw2tiff -d float -w 48 -l 32 -b 3 -p rgb rgb.raw" + to,
       "floating-point samples are not supported"},
  };
  const std::string path = folder + "/out.tif";
  for (const Form& form : forms) {
    SCOPED_TRACE(form.what);
    ASSERT_TRUE(runIn(folder, "rm -f out.tif && " + form.command)) << form.command;
    TiffImage image;
    testing::internal::CaptureStdout();
    bool ok = image.read(path.c_str());
    std::string printed = testing::internal::GetCapturedStdout();
    const bool bigEndian = std::string(form.what) == "big-endian";
    EXPECT_EQ(ok, !bigEndian);
    EXPECT_EQ(printed, bigEndian ? "\n\n\t\tNot a tif_file!!!" : "");
    EXPECT_EQ(image.declined, form.declined);
    if (*form.declined != 0) {
      EXPECT_EQ(image.pixels, nullptr);
      continue;
    }
    ASSERT_NE(image.pixels, nullptr);
    ASSERT_EQ(image.width * image.height, 96 * 64);
    EXPECT_EQ(image.pixelBytes, 96 * 64 * image.samplesPerPixel);
    EXPECT_EQ(differenceFromLibtiff(path, image), 0);
  }
}
