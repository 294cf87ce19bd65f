// Builds TIFF files in memory for the reader's tests and fuzz seeds: one
// directory of SHORT or LONG entries, strips laid out after the header, an LZW
// encoder as TIFF writers use it (MSB first, early code-width change, clear at
// a full table) and a packer for hand-made code sequences.
// Not a general TIFF writer: one directory, no RATIONAL or ASCII values.
#pragma once

#include <cstdint>
#include <vector>

constexpr uint16_t tiffShort = 3;
constexpr uint16_t tiffLong = 4;

struct TiffEntry {
  uint16_t tag;
  uint16_t type;                 // tiffShort is 2 bytes a value, anything else 4
  std::vector<uint32_t> values;  // inline when they fit in four bytes, else after the directory
  // When raw, count and field are written verbatim and values are ignored.
  bool raw = false;
  uint32_t count = 0;
  uint32_t field = 0;
};

// A directory and its strips. assembleTiff fills an empty StripOffsets (273)
// or StripByteCounts (279) entry with the strips' real offsets and sizes.
struct TiffParts {
  std::vector<TiffEntry> entries;
  std::vector<std::vector<uint8_t>> strips;
  bool bigEndian = false;
};

struct TiffLayout {
  int width = 0;
  int height = 0;
  int samplesPerPixel = 3;
  int compression = 1;  // 5 is LZW; anything else stores the strips as they are
  int predictor = 1;    // 2 stores horizontal differences
  int rowsPerStrip = 0;  // 0 puts the whole image in one strip
  uint16_t sizeType = tiffShort;      // ImageWidth and ImageLength
  uint16_t stripArrayType = tiffLong;  // StripOffsets and StripByteCounts
  bool bigEndian = false;
};

TiffParts makeTiffParts(const TiffLayout& layout, const std::vector<uint8_t>& pixels);
std::vector<uint8_t> assembleTiff(const TiffParts& parts);
std::vector<uint8_t> writeTiff(const TiffLayout& layout, const std::vector<uint8_t>& pixels);

// Finds the entry with this tag; null when there is none.
TiffEntry* findEntry(TiffParts& parts, uint16_t tag);

std::vector<uint8_t> lzwEncode(const std::vector<uint8_t>& data);

// Packs codes most significant bit first, each at the width a TIFF decoder
// reads it with (counting table entries, clear codes and the wrap after 4094).
std::vector<uint8_t> packCodes(const std::vector<int>& codes);

// Replaces each sample by its difference from the same sample one pixel left.
std::vector<uint8_t> differenceRows(const std::vector<uint8_t>& pixels, int width, int height,
                                    int samplesPerPixel);

// Writes bytes to a file; false when it cannot.
bool writeFileBytes(const char* path, const std::vector<uint8_t>& bytes);
