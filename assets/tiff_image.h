// The texture image: reads the first image of a little-endian TIFF file into a
// packed buffer of 8-bit RGB or RGBA pixels, rows in the file's order, no
// padding, nothing flipped.
//
// Takes: the "II" byte order; the first directory; ImageWidth, ImageLength,
// Compression, StripOffsets, SamplesPerPixel, StripByteCounts and Predictor,
// SHORT or LONG; strip arrays inline or at an offset; no compression or LZW
// (codes packed most significant bit first, the code width growing one code
// early); horizontal differencing on 3 or 4 samples, undone for uncompressed
// images too (libtiff leaves it there; no common writer stores it so).
// Passes over: every other tag (BitsPerSample and RowsPerStrip included:
// samples are taken as 8 bits and interleaved, strips as following one another),
// later directories, other compressions (their pixels stay zero). A big-endian
// file is refused with the message "\n\n\t\tNot a tif_file!!!" on standard output.
//
// Outcome of read:
// - false, pixels null: the file is not a regular file or cannot be read, is
//   not "II" (the message), its header is cut short or its directory lies
//   outside the file.
// - true, pixels null and pixelBytes 0: the directory was read but gives no
//   usable image (samples per pixel not 3 or 4, a width or height of zero or
//   less, or a size that no file of this length could fill; see the .cpp).
// - true, pixels holding width x height x samplesPerPixel bytes otherwise;
//   whatever the strips did not reach is zero.
// Callers decide whether to use the image by pixels, not by the result alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "assets/byte_reader.h"

constexpr int tiffTableSize = 4096;  // LZW string table entries, codes 0 to 4095

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
  // already in pixels and the entry only points at it; a string that addString
  // builds by itself is a copy of its own, marked in stringOwned.
  uint8_t* codeString[tiffTableSize] = {};
  bool stringOwned[tiffTableSize] = {};
  int32_t ownedStrings = 0;
  uint8_t* singleBytes = nullptr;  // the 256 one-byte strings (padded), while an image decodes
  int32_t tableEnd = 258;          // one past the highest entry addString filled since the last release

 private:
  // What read and readFromMemory share: the reader is the whole file.
  bool readFrom(ByteReader reader);
  void forgetImage();
  void releaseStrings();
  void releaseFile();
  uint32_t stripEntry(ByteReader& array, uint32_t field, uint16_t type, uint32_t count,
                      uint32_t index) const;
  uint32_t stripsInArray(uint32_t field, uint16_t type, uint32_t count) const;
};

uint32_t swapBytes32(uint32_t value);
