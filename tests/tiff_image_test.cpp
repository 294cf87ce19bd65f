// TiffImage on files built here: strip layouts, tag types, the LZW decoder's
// code widths and table, the predictor, refused files and hostile ones, and
// every fixture cut at every length.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <dirent.h>
#include <cstdlib>
#include <memory>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "assets/tiff_image.h"
#include "support/lzw_oracle.h"
#include "support/sparse_file.h"
#include "support/tiff_writer.h"

// The reader allocates its pixels and any table strings as arrays; counting
// the arrays alive shows that none is left behind, even with leak checks off,
// and the most alive at once what a decode holds.
static long arraysAlive = 0;
static long arraysPeak = 0;
void* operator new[](std::size_t size) {
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  arraysPeak = std::max(arraysPeak, ++arraysAlive);
  return p;
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p != nullptr) arraysPeak = std::max(arraysPeak, ++arraysAlive);
  return p;
}
void operator delete[](void* p) noexcept {
  if (p != nullptr) --arraysAlive;
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept { operator delete[](p); }

namespace {

std::vector<uint8_t> randomBytes(size_t count, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(count);
  for (auto& b : bytes) b = static_cast<uint8_t>(random() & 0xFF);
  return bytes;
}

std::vector<uint8_t> pixelsOf(const TiffImage& image) {
  if (image.pixels == nullptr) return {};
  return std::vector<uint8_t>(image.pixels, image.pixels + image.pixelBytes);
}

std::vector<uint8_t> bytesOf(const std::string& text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

// Reads bytes as a file; the image lives on the heap as in the program.
std::unique_ptr<TiffImage> readTiff(const std::vector<uint8_t>& bytes, bool* result = nullptr) {
  auto image = std::make_unique<TiffImage>();
  bool ok = image->readFromMemory(bytes);
  if (result != nullptr) *result = ok;
  return image;
}

// An LZW file of the given size whose strips hold exactly these bytes.
std::vector<uint8_t> lzwFileWithStrips(int width, int height,
                                       const std::vector<std::vector<uint8_t>>& strips,
                                       int predictor = 1) {
  TiffParts parts = makeTiffParts({width, height, 3, 5, predictor}, std::vector<uint8_t>(
                                      static_cast<size_t>(width * height * 3)));
  parts.strips = strips;
  return assembleTiff(parts);
}

// Horizontal differencing undone the plain way, over the whole image at once.
void sumRowsPlainly(std::vector<uint8_t>& image, size_t rowBytes) {
  for (size_t i = 0; i < image.size(); ++i)
    if (i % rowBytes >= 3) image[i] = static_cast<uint8_t>(image[i] + image[i - 3]);
}

std::vector<uint8_t> decodeCodes(int width, const std::vector<int>& codes) {
  return pixelsOf(*readTiff(lzwFileWithStrips(width, 1, {packCodes(codes)})));
}

std::string tempPath(const char* name) { return testing::TempDir() + name; }

}  // namespace

// ---------------------------------------------------------------- strip layout

TEST(TiffStrips, UncompressedOneStripGivesTheStripBytes) {
  std::vector<uint8_t> rgb = randomBytes(5 * 4 * 3, 1);
  bool ok = false;
  auto image = readTiff(writeTiff({5, 4, 3, 1}, rgb), &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(image->pixelBytes, 5 * 4 * 3);
  EXPECT_EQ(pixelsOf(*image), rgb);
}

TEST(TiffStrips, SeveralStripsAreReadIntoPlace) {
  for (int compression : {1, 5}) {
    for (int samples : {3, 4}) {
      std::vector<uint8_t> pixels = randomBytes(static_cast<size_t>(7 * 9 * samples), 2);
      TiffLayout layout{7, 9, samples, compression};
      layout.rowsPerStrip = 2;  // five strips, the last one short
      auto image = readTiff(writeTiff(layout, pixels));
      EXPECT_EQ(pixelsOf(*image), pixels) << compression << " " << samples;
    }
  }
}

TEST(TiffStrips, StripArraysAreTypedInlineOrAtAnOffset) {
  // 1 LONG or 2 SHORT values stand inline; 2 LONG or 3 SHORT lie at an offset.
  for (uint16_t type : {tiffShort, tiffLong}) {
    for (int rowsPerStrip : {6, 3, 2}) {
      for (int compression : {1, 5}) {
        std::vector<uint8_t> pixels = randomBytes(4 * 6 * 3, 3);
        TiffLayout layout{4, 6, 3, compression};
        layout.rowsPerStrip = rowsPerStrip;
        layout.stripArrayType = type;
        auto image = readTiff(writeTiff(layout, pixels));
        EXPECT_EQ(pixelsOf(*image), pixels) << type << " " << rowsPerStrip << " " << compression;
      }
    }
  }
}

TEST(TiffStrips, OutputBeyondTheImageIsDropped) {
  std::vector<uint8_t> pixels = randomBytes(4 * 2 * 3, 4);
  std::vector<uint8_t> longer = randomBytes(4 * 5 * 3, 4);  // begins with pixels
  // An uncompressed strip that claims three more rows than the image has.
  TiffParts raw = makeTiffParts({4, 2, 3, 1}, pixels);
  raw.strips = {longer};
  EXPECT_EQ(pixelsOf(*readTiff(assembleTiff(raw))), pixels);
  // An LZW strip decoding to more bytes, and a second strip with nowhere to go.
  TiffParts lzw = makeTiffParts({4, 2, 3, 5}, pixels);
  lzw.strips = {lzwEncode(longer), lzwEncode(longer)};
  EXPECT_EQ(pixelsOf(*readTiff(assembleTiff(lzw))), pixels);
}

TEST(TiffStrips, UncompressedStripsReadAsEachOnItsOwnWhereverTheyLie) {
  // Strips that follow one another in the file are read as one run, which must
  // give what reading each strip by itself in turn gives: strips side by side,
  // apart, in reverse order, overlapping, cut by the end of the file or past
  // it, across the file reader's 64 KB windows, holding more or fewer bytes
  // than the image, with and without the predictor.
  std::mt19937 random(31);
  auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
  const std::string path = tempPath("tiff_strip_runs.tif");
  for (int round = 0; round < 40; ++round) {
    const int width = 1 + static_cast<int>(pick(120)), height = 1 + static_cast<int>(pick(400));
    const size_t imageBytes = static_cast<size_t>(width * height) * 3, count = 1 + pick(30);
    const int predictor = 1 + round % 2;
    TiffParts parts = makeTiffParts({width, height, 3, 1, predictor}, std::vector<uint8_t>(imageBytes));
    parts.strips.clear();
    std::vector<uint32_t>& offsets = findEntry(parts, 273)->values;
    std::vector<uint32_t>& sizes = findEntry(parts, 279)->values;
    offsets.assign(count, 0);
    sizes.assign(count, 0);
    const size_t headBytes = assembleTiff(parts).size();
    size_t end = headBytes;
    for (size_t k = 0; k < count; ++k) {
      size_t i = round % 4 < 2 ? k : count - 1 - k;
      size_t at = pick(3) != 0 ? end : pick(4) == 0 ? end - pick(64) : end + pick(100);
      offsets[i] = static_cast<uint32_t>(at);
      sizes[i] = static_cast<uint32_t>(pick(imageBytes * 3 / count + 1));
      end = std::max(end, at + sizes[i]);
    }
    const size_t fileBytes = std::max(end - pick(200), headBytes + imageBytes);
    if (pick(4) == 0) offsets[pick(count)] = static_cast<uint32_t>(fileBytes);
    std::vector<uint8_t> file = randomBytes(fileBytes, static_cast<uint32_t>(round));
    std::vector<uint8_t> head = assembleTiff(parts);
    std::copy(head.begin(), head.end(), file.begin());

    std::vector<uint8_t> expected;
    for (size_t i = 0; i < count; ++i) {
      if (offsets[i] >= fileBytes) continue;
      auto from = file.begin() + offsets[i];
      expected.insert(expected.end(), from,
                      from + static_cast<std::ptrdiff_t>(std::min<size_t>(
                                 {sizes[i], fileBytes - offsets[i], imageBytes - expected.size()})));
    }
    expected.resize(imageBytes);
    if (predictor == 2) sumRowsPlainly(expected, static_cast<size_t>(width) * 3);
    EXPECT_EQ(pixelsOf(*readTiff(file)), expected) << round;
    ASSERT_TRUE(writeFileBytes(path.c_str(), file));
    TiffImage fromFile;
    fromFile.read(path.c_str());
    ASSERT_EQ(pixelsOf(fromFile), expected) << round;
  }
  std::remove(path.c_str());
}

// ---------------------------------------------------------------- tags

TEST(TiffTags, ShortAndLongSizesReadAlike) {
  std::vector<uint8_t> pixels = randomBytes(6 * 5 * 3, 5);
  TiffLayout layout{6, 5, 3, 5};
  layout.sizeType = tiffLong;
  auto asLong = readTiff(writeTiff(layout, pixels));
  layout.sizeType = tiffShort;
  auto asShort = readTiff(writeTiff(layout, pixels));
  EXPECT_EQ(asLong->width, 6);
  EXPECT_EQ(asLong->height, 5);
  EXPECT_EQ(asShort->width, 6);
  EXPECT_EQ(asShort->height, 5);
  EXPECT_EQ(pixelsOf(*asLong), pixels);
  EXPECT_EQ(pixelsOf(*asShort), pixels);
}

TEST(TiffTags, ShortValuesIgnoreTheirPadding) {
  std::vector<uint8_t> pixels = randomBytes(6 * 5 * 4, 6);
  TiffParts parts = makeTiffParts({6, 5, 4, 5, 2}, pixels);
  for (uint16_t tag : {uint16_t{256}, uint16_t{257}, uint16_t{259}, uint16_t{277}, uint16_t{317}}) {
    TiffEntry* entry = findEntry(parts, tag);
    uint32_t value = entry->values[0];
    *entry = {tag, tiffShort, {}, true, 1, 0xBEEF0000u | value};
  }
  auto image = readTiff(assembleTiff(parts));
  EXPECT_EQ(image->width, 6);
  EXPECT_EQ(image->predictor, 2);
  EXPECT_EQ(pixelsOf(*image), pixels);
}

TEST(TiffTags, OtherTagsChangeNothingAndMissingOnesAreZero) {
  std::vector<uint8_t> pixels = randomBytes(3 * 3 * 3, 7);
  TiffParts parts = makeTiffParts({3, 3, 3, 1}, pixels);
  parts.entries.push_back({274, tiffShort, {4}});  // Orientation has no effect
  findEntry(parts, 278)->values = {1};             // nor has RowsPerStrip on one strip
  parts.entries.push_back({999, tiffLong, {1, 2, 3}});
  EXPECT_EQ(pixelsOf(*readTiff(assembleTiff(parts))), pixels);

  TiffParts bare;
  bare.entries = {{999, tiffLong, {7}}};
  bool ok = false;
  auto image = readTiff(assembleTiff(bare), &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(image->pixels, nullptr);
  EXPECT_EQ(image->width | image->height | image->samplesPerPixel | image->compression |
                image->stripCount | image->predictor,
            0);
}

// ---------------------------------------------------------------- LZW

TEST(TiffLzw, CodeWidthGrowsAfterEntries510And1022And2046) {
  TiffImage image;
  image.resetTable();
  std::vector<int> widthAfter(4095);
  for (int entry = 258; entry <= 4093; ++entry) {
    image.addString('a', 'b');
    widthAfter[static_cast<size_t>(entry)] = image.codeWidth;
  }
  EXPECT_EQ(widthAfter[509], 9);
  EXPECT_EQ(widthAfter[510], 10);
  EXPECT_EQ(widthAfter[1021], 10);
  EXPECT_EQ(widthAfter[1022], 11);
  EXPECT_EQ(widthAfter[2045], 11);
  EXPECT_EQ(widthAfter[2046], 12);
  EXPECT_EQ(widthAfter[4093], 12);
}

TEST(TiffLzw, RoundTripsAcrossEveryWidthChangeAndFullTable) {
  // Random bytes make about one code per byte, so every stream length up to a
  // full table ends somewhere near each width change, and the longest clear
  // the full table twice.
  for (size_t length = 1; length < 2600; length += length < 1400 ? 1 : 97) {
    std::vector<uint8_t> data = randomBytes(length * 3, static_cast<uint32_t>(length));
    auto image = readTiff(writeTiff({static_cast<int>(length), 1, 3, 5}, data));
    ASSERT_EQ(pixelsOf(*image), data) << length;
  }
  std::vector<uint8_t> runs(60 * 50 * 3);
  for (size_t i = 0; i < runs.size(); ++i) runs[i] = static_cast<uint8_t>((i / 97) % 5);
  EXPECT_EQ(pixelsOf(*readTiff(writeTiff({60, 50, 3, 5}, runs))), runs);
}

TEST(TiffLzw, CodeEqualToTheNextEntryRepeatsThePreviousString) {
  auto expected = bytesOf("abbbbbb");
  expected.resize(9);
  // 'b' then 259 (= next entry): "b" + "b"; then 260: "bb" + "b".
  EXPECT_EQ(decodeCodes(3, {256, 'a', 'b', 259, 260, 257}), expected);
  std::vector<uint8_t> same(40 * 3, 'x');
  EXPECT_EQ(pixelsOf(*readTiff(writeTiff({40, 1, 3, 5}, same))), same);
}

TEST(TiffLzw, EveryStripStartsAFreshTable) {
  // Code 258 means "ab" in the first strip and "cd" in the second, which also
  // leaves out the opening clear code.
  auto image = readTiff(lzwFileWithStrips(
      8, 1, {packCodes({256, 'a', 'b', 258, 257}), packCodes({'c', 'd', 258, 257}),
             packCodes({256, 'e', 'f', 258, 'g', 'h', 261, 257})}));
  auto expected = bytesOf("ababcdcdefefghgh");
  expected.resize(24);
  EXPECT_EQ(pixelsOf(*image), expected);
}

TEST(TiffLzw, TableWrapsAfterEntry4094AndReusesItsEntries) {
  // 3838 single-byte codes fill entries 258 to 4094; the index then wraps:
  // 258 keeps its string, 259 and 260 are filled anew from 9-bit codes.
  std::vector<int> codes = {256};
  std::vector<uint8_t> expected;
  for (int i = 0; i < 3838; ++i) {
    codes.push_back(i % 199);
    expected.push_back(static_cast<uint8_t>(i % 199));
  }
  uint8_t first = expected[0], second = expected[1], last = expected.back();
  codes.insert(codes.end(), {258, 259, 260, 257});
  expected.insert(expected.end(), {first, second, last, first, first, second, last});
  expected.resize(1282 * 3);
  std::vector<uint8_t> file = lzwFileWithStrips(1282, 1, {packCodes(codes)});
  long before = arraysAlive;
  arraysPeak = arraysAlive;
  auto image = readTiff(file);
  EXPECT_EQ(pixelsOf(*image), expected);
  EXPECT_EQ(arraysAlive, before + 1) << "only the pixels outlive the read";
  EXPECT_LE(arraysPeak, before + 3)
      << "the pixels, the single bytes and the strip's bytes: no string of its own";
  image.reset();
  EXPECT_EQ(arraysAlive, before);
}

TEST(TiffLzw, DamagedStripsStopWhereTheyBreak) {
  struct Case {
    const char* what;
    std::vector<int> codes;
    const char* decoded;
  } cases[] = {
      {"no end code", {256, 'a', 'b', 258}, "abab"},
      {"clear codes in a row", {256, 256, 'a', 256, 'b', 257}, "ab"},
      {"a table code after a clear", {256, 'a', 256, 300, 'b', 257}, "a"},
      {"a table code at the start", {258, 'a', 257}, ""},
      {"a code past the next entry", {256, 'a', 'b', 300, 'c', 257}, "ab"},
      {"codes after the end code", {256, 'a', 257, 'b', 257}, "a"},
  };
  for (const Case& c : cases) {
    auto expected = bytesOf(c.decoded);
    expected.resize(6);
    EXPECT_EQ(decodeCodes(2, c.codes), expected) << c.what;
  }
  // A strip that is no LZW at all, and one cut inside its first code.
  EXPECT_EQ(decodeCodes(2, {}), std::vector<uint8_t>(6));
  EXPECT_EQ(pixelsOf(*readTiff(lzwFileWithStrips(2, 1, {randomBytes(500, 8), {0x80}}))).size(),
            6u);
}

TEST(TiffLzw, RandomCodeStreamsDecodeAsThePlainDecoderDoes) {
  // Streams a decoder would mostly follow: single bytes from a few values (so
  // strings repeat and grow), strings of the table, the next entry; per stream
  // maybe clear codes, and maybe damage (end codes, codes beyond the next entry,
  // table codes straight after a clear, a strip cut short, so that every strip
  // ends somewhere near the last eight bytes). Images both smaller than the
  // output and far larger, so that the end of the image and the zero after a
  // strip that stops early are both met.
  std::mt19937 random(2024);
  auto pick = [&](uint32_t n) { return static_cast<int>(random() % n); };
  for (int round = 0; round < 150; ++round) {
    bool clears = pick(2) == 0;
    bool damage = pick(2) == 0;
    std::vector<std::vector<uint8_t>> strips;
    for (int s = 1 + pick(3); s > 0; --s) {
      std::vector<int> codes;
      if (pick(5) != 0) codes.push_back(256);
      int next = 258;
      bool previous = false;
      for (int count = pick(2) == 0 ? pick(600) : 3000 + pick(9000); count > 0; --count) {
        int roll = pick(1000);
        int code;
        if (clears && roll < 2) {
          code = 256;
        } else if (damage && roll < 4) {
          code = roll < 3 ? 257 : next + 1 + pick(40);
        } else if (!previous) {
          code = damage && roll < 8 ? 258 + pick(40) : pick(6) * 40;
        } else if (roll < 400) {
          code = pick(6) * 40;
        } else if (roll < 880 && next > 258) {
          code = 258 + pick(static_cast<uint32_t>(next - 258));
        } else {
          code = next;
        }
        codes.push_back(code);
        if (code == 256) {
          next = 258;
          previous = false;
        } else if (code != 257) {
          if (previous) next = next == 4094 ? 259 : next + 1;
          previous = true;
        }
      }
      std::vector<uint8_t> strip = packCodes(codes);
      if (damage && pick(3) == 0) strip.resize(static_cast<size_t>(pick(static_cast<uint32_t>(strip.size()) + 1)));
      strips.push_back(strip);
    }
    // Rows summed strip by strip must sum as the whole image would, also
    // where a strip ends inside a row.
    int height = 1 + pick(4);
    int width = 1 + (pick(2) == 0 ? pick(300) : pick(30000)) / height;
    int predictor = 1 + pick(2);
    std::vector<uint8_t> expected = decodeLzwSimply(strips, static_cast<size_t>(width * height) * 3);
    if (predictor == 2) sumRowsPlainly(expected, static_cast<size_t>(width) * 3);
    ASSERT_EQ(pixelsOf(*readTiff(lzwFileWithStrips(width, height, strips, predictor))), expected)
        << round;
  }
}

// ---------------------------------------------------------------- predictor

TEST(TiffPredictor, SumsEachSampleAlongItsRowModulo256) {
  for (int compression : {1, 5}) {
    std::vector<uint8_t> stored = {10, 20, 30, 1, 1, 1, 1, 1, 1,   // a row of differences
                                   250, 0, 5, 10, 0, 0, 1, 0, 255};
    TiffParts parts = makeTiffParts({3, 2, 3, compression}, stored);
    parts.entries.push_back({317, tiffShort, {2}});
    std::vector<uint8_t> expected = {10, 20, 30, 11, 21, 31, 12, 22, 32,
                                     250, 0, 5, 4, 0, 5, 5, 0, 4};
    EXPECT_EQ(pixelsOf(*readTiff(assembleTiff(parts))), expected) << compression;
  }
  std::vector<uint8_t> rgba = randomBytes(5 * 3 * 4, 9);
  TiffLayout layout{5, 3, 4, 5, 2};
  EXPECT_EQ(pixelsOf(*readTiff(writeTiff(layout, rgba))), rgba);
}

// ---------------------------------------------------------------- refused files

TEST(TiffRefused, BigEndianFilePrintsTheMessageAndFails) {
  std::string path = tempPath("tiff_big_endian.tif");
  TiffLayout layout{2, 2, 3, 1};
  layout.bigEndian = true;
  ASSERT_TRUE(writeFileBytes(path.c_str(), writeTiff(layout, std::vector<uint8_t>(12, 1))));
  TiffImage image;
  testing::internal::CaptureStdout();
  bool ok = image.read(path.c_str());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "\n\n\t\tNot a tif_file!!!");
  EXPECT_FALSE(ok);
  EXPECT_EQ(image.pixels, nullptr);
}

TEST(TiffRefused, MissingFileFailsSilently) {
  TiffImage image;
  testing::internal::CaptureStdout();
  EXPECT_FALSE(image.read(tempPath("no_such_file.tif").c_str()));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(image.pixels, nullptr);
  // Nor is anything but a regular file read, and opening one never waits.
  std::string pipe = tempPath("tiff_pipe.tif");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_FALSE(image.read(pipe.c_str()));  // would block with no writer
  std::remove(pipe.c_str());
  EXPECT_FALSE(image.read(testing::TempDir().c_str()));
}

TEST(TiffRefused, ReadingAgainForgetsTheFormerImage) {
  std::string path = tempPath("tiff_read_twice.tif");
  ASSERT_TRUE(writeFileBytes(path.c_str(), writeTiff({2, 2, 3, 1}, randomBytes(12, 10))));
  TiffImage image;
  EXPECT_TRUE(image.read(path.c_str()));
  EXPECT_NE(image.pixels, nullptr);
  EXPECT_FALSE(image.read(tempPath("no_such_file.tif").c_str()));
  EXPECT_EQ(image.pixels, nullptr);
  EXPECT_EQ(image.width, 0);
}

TEST(TiffRefused, HeaderOrDirectoryOutsideTheFileFails) {
  std::vector<uint8_t> file = writeTiff({2, 2, 3, 1}, randomBytes(12, 11));
  std::vector<uint8_t> cutHeader(file.begin(), file.begin() + 6);
  std::vector<uint8_t> farDirectory = file;
  farDirectory[7] = 0x7F;
  for (const auto& bytes : {cutHeader, farDirectory}) {
    bool ok = true;
    auto image = readTiff(bytes, &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(image->pixels, nullptr);
  }
}

TEST(TiffRefused, UnusableSizesGiveNullPixelsAndSayWhy) {
  // "#" stands for the file's size in the reason.
  struct Case {
    uint32_t width, height, samples, compression;
    const char* why;
  } cases[] = {
      {4, 4, 1, 1, "RGB images with 1 sample per pixel are not supported"},
      {4, 4, 5, 1, "RGB images with 5 samples per pixel are not supported"},
      {0, 4, 3, 1, "its size, 0 x 4, holds no pixels"},
      {4, 0xFFFFFFFFu, 3, 1, "its size, 4 x -1, holds no pixels"},
      {0xFFFFu, 0xFFFFu, 4, 5, "a 65535 x 65535 image is more than a file of # bytes can hold"},
      {100, 100, 3, 1, "a 100 x 100 image is more than a file of # bytes can hold"},
      {2000, 2000, 3, 5, "a 2000 x 2000 image is more than a file of # bytes can hold"},
      {2000, 2000, 3, 32773, "a 2000 x 2000 image is more than a file of # bytes can hold"},
      {9000, 9000, 3, 8, "a 9000 x 9000 image is more than a file of # bytes can hold"},
  };
  for (const Case& c : cases) {
    TiffParts parts = makeTiffParts({1, 1, 3, 1}, {1, 2, 3});
    parts.entries[0] = {256, tiffLong, {c.width}};
    parts.entries[1] = {257, tiffLong, {c.height}};
    findEntry(parts, 277)->values = {c.samples};
    findEntry(parts, 259)->values = {c.compression};
    std::vector<uint8_t> file = assembleTiff(parts);
    std::string why = c.why;
    if (why.find('#') != std::string::npos) why.replace(why.find('#'), 1, std::to_string(file.size()));
    bool ok = false;
    auto image = readTiff(file, &ok);
    EXPECT_TRUE(ok) << why;
    EXPECT_EQ(image->pixels, nullptr) << why;
    EXPECT_EQ(image->pixelBytes, 0) << why;
    EXPECT_EQ(image->declined, why);
  }
  // One bit a pixel that Deflate could fill, but three bytes a pixel past 2 GB.
  TiffParts bits = makeTiffParts({1, 1, 1, 8}, {0});
  bits.entries[0] = {256, tiffLong, {65536}};
  bits.entries[1] = {257, tiffLong, {11000}};
  bits.strips = {std::vector<uint8_t>(90000)};
  findEntry(bits, 258)->values = {1};
  findEntry(bits, 262)->values = {1};
  EXPECT_EQ(readTiff(assembleTiff(bits))->declined,
            "a 65536 x 11000 image is more than a texture can hold");
}

// ---------------------------------------------------------------- hostile files

TEST(TiffHostile, BadStripsAndCountsAreCutToTheFile) {
  std::vector<uint8_t> pixels = randomBytes(4 * 4 * 3, 12);
  auto readWith = [&](int compression, auto damage) {
    TiffLayout layout{4, 4, 3, compression};
    layout.rowsPerStrip = 1;
    TiffParts parts = makeTiffParts(layout, pixels);
    damage(parts);
    return readTiff(assembleTiff(parts));
  };
  std::vector<uint8_t> firstRow(pixels.begin(), pixels.begin() + 12);
  firstRow.resize(pixels.size());
  for (int compression : {1, 5}) {
    // A strip offset past the end of the file, and sizes far past it.
    auto offsets = readWith(compression, [](TiffParts& p) {
      findEntry(p, 273)->values = {8, 0x7FFFFFF0u, 0xFFFFFFFFu, 8};
    });
    EXPECT_EQ(offsets->pixelBytes, 48);
    auto sizes = readWith(compression, [](TiffParts& p) {
      findEntry(p, 279)->values = {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu};
    });
    EXPECT_EQ(sizes->pixelBytes, 48);
    // A byte count array shorter than the offsets: the other strips are empty.
    auto fewSizes = readWith(compression, [&](TiffParts& p) {
      findEntry(p, 279)->values = {static_cast<uint32_t>(p.strips[0].size())};
    });
    EXPECT_EQ(pixelsOf(*fewSizes), firstRow);
    // Arrays claiming four billion entries, at offsets near or past the end.
    for (uint32_t field : {0u, 40u, 0xFFFFFFF0u}) {
      auto huge = readWith(compression, [&](TiffParts& p) {
        *findEntry(p, 273) = {273, tiffLong, {}, true, 0xFFFFFFFFu, field};
        *findEntry(p, 279) = {279, tiffShort, {}, true, 0xFFFFFFFFu, field};
      });
      EXPECT_EQ(huge->pixelBytes, 48);
    }
  }
  // Compression 7 is not decoded: no pixels are handed on.
  auto other = readWith(7, [](TiffParts&) {});
  EXPECT_EQ(other->pixels, nullptr);
  EXPECT_EQ(other->declined, "JPEG compression is not supported");
}

TEST(TiffHostile, DirectoryCountsBeyondTheFileAreCut) {
  std::vector<uint8_t> pixels = randomBytes(2 * 2 * 3, 13);
  std::vector<uint8_t> file = writeTiff({2, 2, 3, 1}, pixels);
  uint32_t directory = file[4] | file[5] << 8;
  file[directory] = 0xFF;  // 0x7FFF entries where a dozen stand
  file[directory + 1] = 0x7F;
  EXPECT_EQ(pixelsOf(*readTiff(file)), pixels);
  file[directory + 1] = 0xFF;  // a negative count: no entries at all
  EXPECT_EQ(readTiff(file)->pixels, nullptr);
}

TEST(TiffHostile, EveryFileCutAtEveryLengthReadsSafely) {
  std::vector<std::vector<uint8_t>> files;
  TiffLayout strips{7, 5, 3, 5, 2};
  strips.rowsPerStrip = 2;
  strips.stripArrayType = tiffShort;
  files.push_back(writeTiff(strips, randomBytes(7 * 5 * 3, 14)));
  files.push_back(writeTiff({9, 3, 4, 1}, randomBytes(9 * 3 * 4, 15)));
  if (DIR* folder = opendir(FIXTURE_DIR)) {
    while (dirent* item = readdir(folder)) {
      std::string name = item->d_name;
      if (name.rfind("tiff_", 0) != 0 || name.size() < 4 || name.substr(name.size() - 4) != ".tif")
        continue;
      std::vector<uint8_t> bytes;
      ASSERT_TRUE(loadFile((std::string(FIXTURE_DIR) + "/" + name).c_str(), bytes)) << name;
      files.push_back(bytes);
    }
    closedir(folder);
  }
  ASSERT_GE(files.size(), 12u);
  testing::internal::CaptureStdout();  // the cuts too short to hold the mark print it
  TiffImage image;
  for (const auto& file : files) {
    for (size_t length = 0; length <= file.size(); ++length) {
      image.readFromMemory(std::vector<uint8_t>(file.begin(), file.begin() +
                                                                  static_cast<std::ptrdiff_t>(length)));
      if (image.pixels != nullptr) {
        ASSERT_EQ(image.pixelBytes, image.width * image.height * image.samplesPerPixel);
      }
    }
  }
  testing::internal::GetCapturedStdout();
}

// ---------------------------------------------------------------- large files

// A small image whose strip stands 3 GB into a file that is otherwise a hole:
// the strip is found past 2^31, and only the directory and the strip are read.
TEST(TiffLargeFiles, ReadOnlyTheDirectoryAndTheStrips) {
  constexpr uint64_t farOffset = uint64_t{3} << 30;
  for (int compression : {1, 5}) {
    std::vector<uint8_t> pixels = randomBytes(6 * 4 * 3, 16);
    TiffParts parts = makeTiffParts({6, 4, 3, compression}, pixels);
    std::vector<uint8_t> strip = parts.strips[0];
    std::vector<uint8_t> small = assembleTiff(parts);
    parts.strips.clear();
    findEntry(parts, 273)->values = {static_cast<uint32_t>(farOffset)};
    findEntry(parts, 279)->values = {static_cast<uint32_t>(strip.size())};
    std::vector<uint8_t> head = assembleTiff(parts);
    const std::string path = tempPath("tiff_large.tif");
    ASSERT_TRUE(writeSparseFile(path, {{0, head}, {farOffset, strip}}, farOffset + strip.size()));
    TiffImage image;
    const long before = peakResidentKilobytes();
    const bool ok = image.read(path.c_str());
    const long growth = peakResidentKilobytes() - before;
    std::remove(path.c_str());

    EXPECT_TRUE(ok);
    EXPECT_EQ(pixelsOf(image), pixels) << compression;
    EXPECT_EQ(pixelsOf(image), pixelsOf(*readTiff(small))) << compression;
    EXPECT_LT(growth, 64 * 1024) << "kilobytes of peak memory for a 3 GB file, compression "
                                 << compression;
  }
}
