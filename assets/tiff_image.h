// The texture image: reads the first image of a little-endian TIFF file into a
// packed buffer of 8-bit RGB or RGBA pixels, rows in the file's order, no
// padding, nothing flipped.
//
// Takes: the "II" byte order; the first directory, strips inline or at an
// offset, SHORT or LONG; no compression, LZW (codes packed most significant
// bit first, the code width growing one code early), PackBits and Deflate
// (8, and the older 32946); FillOrder 1 and 2; horizontal differencing on 8-
// and 16-bit samples, undone for uncompressed images too (libtiff leaves it
// there; no common writer stores it so); samples interleaved or in planes;
// 1, 2, 4, 8 or 16 bits per sample, brought to 8; RGB (8 or 16 bits),
// greyscale min-is-black and min-is-white, palette (up to 8 bits), each with
// or without one more sample, kept as alpha as the file gives it. Greyscale
// and palette become RGB. 8-bit interleaved RGB and RGBA, uncompressed or
// LZW, FillOrder 1, go straight into pixels; the other forms through plain
// bytes and tiff_samples.h.
// Declines (pixels null, and `declined` says why in words for a message that
// names the file): big-endian files ("MM", which also print the message
// "\n\n\t\tNot a tif_file!!!" on standard output), files that are no TIFF
// or cannot be read, tiled images, every other compression (JPEG, CCITT,
// ...), photometric interpretation or sample format (CMYK, YCbCr, L*a*b*,
// signed or floating-point samples), other bit depths, samples per pixel that
// do not fit the colour, other predictors, a palette without a fitting colour
// map, and sizes no file of this length could fill.
// Passes over: every other tag, later directories. A tag the directory lacks
// means what TIFF says it means (no compression, no predictor, one sample,
// interleaved, FillOrder 1, unsigned samples, one strip), with two
// exceptions: no BitsPerSample is taken as 8, and no Photometric as RGB for
// three or more samples and as min-is-black for fewer.
//
// Outcome of read:
// - false, pixels null, declined set: the file is not a regular file or
//   cannot be read, is not "II", its header is cut short or its directory
//   lies outside the file.
// - true, pixels null, pixelBytes 0, declined set: the directory was read but
//   its image is declined (see above and the .cpp).
// - true, pixels holding width x height x samplesPerPixel bytes otherwise
//   (samplesPerPixel then says 3 or 4, whatever the file's count);
//   whatever the strips did not reach reads as zero bytes in the file's
//   layout (black, or white for min-is-white, or palette entry 0); declined
//   is empty.
// Callers decide whether to use the image by pixels, not by the result alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "assets/byte_reader.h"

constexpr int tiffTableSize = 4096;  // LZW string table entries, codes 0 to 4095

struct TiffSamples;

// A directory entry whose values may stand inline or at an offset.
struct TiffArray {
  uint32_t field = 0;  // the entry's value field
  uint16_t type = 0;
  uint32_t count = 0;
};

class TiffImage {
 public:
  TiffImage();
  ~TiffImage();
  TiffImage(const TiffImage&) = delete;
  TiffImage& operator=(const TiffImage&) = delete;

  bool read(const char* path);
  // read without the file system: the bytes are the whole file.
  bool readFromMemory(std::vector<uint8_t> bytes);

  void readEntry();
  void readPixels();
  void decodeStrip(const uint8_t* data, size_t size);
  void resetTable();
  int32_t readCode();
  void writeString(int32_t code);
  void writeStringPlusFirst(int32_t a, int32_t b);
  void addString(int32_t a, int32_t b);
  bool inTable(int32_t code) const;
  void undoPredictor();

  // Why there is no image, as words to follow the file's name in a message;
  // empty when pixels hold one.
  std::string declined;

  // A bounded reader over the open file, or over the bytes given to
  // readFromMemory; both are kept only while reading runs.
  std::vector<uint8_t> fileBytes;
  ByteReader file{};

  uint16_t byteOrder = 0;
  uint16_t version = 0;
  uint32_t ifdOffset = 0;
  int16_t entryTag = 0;
  uint16_t entryType = 0;
  uint32_t entryCount = 0;
  uint32_t entryValue = 0;
  int16_t entryTotal = 0;
  int32_t width = 0;
  int32_t height = 0;
  int32_t samplesPerPixel = 0;
  int32_t compression = 0;
  // Strip arrays: the entry's value field (inline values or the array's
  // offset), its field type and its count.
  uint32_t stripOffsets = 0;
  uint16_t stripOffsetsType = 0;
  int32_t stripCount = 0;
  uint32_t stripByteCounts = 0;
  uint16_t stripByteCountsType = 0;
  uint32_t stripByteCountsTotal = 0;
  int32_t predictor = 0;
  int32_t codeWidth = 9;
  const uint8_t* codeData = nullptr;
  size_t codeBytes = 0;     // size of codeData; no code is read past it
  uint64_t bitPosition = 0;  // 64 bits: a strip may hold more than 2^31 bits
  int32_t clearCode = 256;
  int32_t eoiCode = 257;
  uint8_t* pixels = nullptr;
  int32_t pixelBytes = 0;
  int32_t outPosition = 0;
  int32_t nextCode = 258;
  int32_t codeBits[tiffTableSize] = {};
  uint32_t widthMask[13] = {};
  // While decodeStrip runs, the string of entry 258 and up is a run of bytes
  // already in pixels and the entry only points at it (entry nextCode, which
  // waits for the first byte of the next string, has all but that byte); a
  // string that addString builds by itself is a copy of its own, marked in
  // stringOwned.
  uint8_t* codeString[tiffTableSize] = {};
  bool stringOwned[tiffTableSize] = {};
  int32_t ownedStrings = 0;
  uint8_t* singleBytes = nullptr;  // the 256 one-byte strings (padded), while an image decodes
  int32_t tableEnd = 258;          // one past the highest entry addString filled since the last release

  // The layout tags beyond the above; -1 or empty where the file lacks them.
  TiffArray bitsPerSample;
  TiffArray sampleFormat;
  TiffArray colourMap;
  int32_t photometric = -1;
  int32_t planarConfiguration = -1;
  int32_t fillOrder = -1;
  int64_t rowsPerStrip = -1;
  bool tiled = false;

 private:
  // What read and readFromMemory share: the reader is the whole file.
  bool readFrom(ByteReader reader);
  void forgetImage();
  void decline(std::string why);
  // The one place that decides whether the image is decoded: empty, with the
  // layout in form, or the reason it is not.
  std::string formOf(TiffSamples& form);
  bool takesFastPath(const TiffSamples& form) const;
  // Calls visit (strip index, size) for strip 0, 1, ... up to most and the
  // strips the file's array holds, with the file at the strip and its size
  // cut at the end of the file, while visit returns true; strips that start
  // past the end are passed over. The LZW single bytes are released after.
  template <typename Visit>
  void forEachStrip(uint64_t most, Visit visit);
  void readInterleavedRgb();
  void readThroughPlainBytes(const TiffSamples& form);
  size_t decodeLzw(const uint8_t* data, size_t size, uint8_t* out, size_t room);
  void releaseStrings();
  void releaseFile();
  uint32_t arrayEntry(ByteReader& array, uint32_t field, uint16_t type, uint32_t count,
                      uint32_t index) const;
  uint32_t arrayEntry(ByteReader& array, const TiffArray& entry, uint32_t index) const {
    return arrayEntry(array, entry.field, entry.type, entry.count, index);
  }
  uint32_t valuesInFile(uint32_t field, uint16_t type, uint32_t count) const;
};

uint32_t swapBytes32(uint32_t value);
