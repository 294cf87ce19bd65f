// Writes an uncompressed RGB TIFF (see rgb_tiff_writer.h). The layout: the
// header, the strips one after another, then the directory on a word
// boundary, then the values too long to stand in their entries (the three
// sample sizes, the two resolutions, and the strip arrays when there are
// several strips). The entries are the ones a baseline RGB reader needs, in
// the ascending tag order TIFF asks for.
#include "assets/rgb_tiff_writer.h"

#include <algorithm>

namespace {

constexpr uint16_t shortType = 3;
constexpr uint16_t longType = 4;
constexpr uint16_t rationalType = 5;
constexpr uint32_t largestStrip = 1u << 20;
constexpr uint64_t largestFile = (1u << 31) - 1;
constexpr uint16_t entryCount = 13;

void put16(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t value) {
  put16(out, value & 0xFFFFu);
  put16(out, value >> 16);
}

void putEntry(std::vector<uint8_t>& out, uint16_t tag, uint16_t type, uint32_t count,
              uint32_t field) {
  put16(out, tag);
  put16(out, type);
  put32(out, count);
  // A SHORT value stands in the field's first two bytes.
  if (type == shortType && count == 1) {
    put16(out, field);
    put16(out, 0);
  } else {
    put32(out, field);
  }
}

}  // namespace

std::vector<uint8_t> rgbTiffBytes(int32_t width, int32_t height, const uint8_t* rows) {
  if (width <= 0 || height <= 0 || rows == nullptr) return {};
  const uint64_t rowBytes = 3 * static_cast<uint64_t>(width);
  const uint64_t imageBytes = rowBytes * static_cast<uint64_t>(height);
  const uint32_t rowsPerStrip = static_cast<uint32_t>(
      std::clamp<uint64_t>(largestStrip / rowBytes, 1, static_cast<uint64_t>(height)));
  const uint32_t strips = (static_cast<uint32_t>(height) + rowsPerStrip - 1) / rowsPerStrip;
  const uint64_t directoryAt = 8 + imageBytes + imageBytes % 2;
  const uint64_t valuesAt = directoryAt + 2 + 12 * uint64_t{entryCount} + 4;
  const uint64_t fileBytes = valuesAt + 6 + 16 + (strips > 1 ? 8 * uint64_t{strips} : 0);
  if (fileBytes > largestFile) return {};

  std::vector<uint8_t> out;
  out.reserve(static_cast<size_t>(fileBytes));
  out.push_back('I');
  out.push_back('I');
  put16(out, 42);
  put32(out, static_cast<uint32_t>(directoryAt));
  out.insert(out.end(), rows, rows + imageBytes);
  if (out.size() % 2 != 0) out.push_back(0);

  const uint32_t bitsAt = static_cast<uint32_t>(valuesAt);
  const uint32_t xResolutionAt = bitsAt + 6;
  const uint32_t yResolutionAt = xResolutionAt + 8;
  const uint32_t offsetsAt = yResolutionAt + 8;
  const uint32_t countsAt = offsetsAt + 4 * strips;
  const uint32_t stripBytes = static_cast<uint32_t>(rowBytes) * rowsPerStrip;
  const uint32_t lastStripBytes =
      static_cast<uint32_t>(imageBytes - uint64_t{stripBytes} * (strips - 1));
  put16(out, entryCount);
  putEntry(out, 256, longType, 1, static_cast<uint32_t>(width));   // ImageWidth
  putEntry(out, 257, longType, 1, static_cast<uint32_t>(height));  // ImageLength
  putEntry(out, 258, shortType, 3, bitsAt);                         // BitsPerSample
  putEntry(out, 259, shortType, 1, 1);                              // Compression: none
  putEntry(out, 262, shortType, 1, 2);                              // Photometric: RGB
  putEntry(out, 273, longType, strips, strips > 1 ? offsetsAt : 8);  // StripOffsets
  putEntry(out, 277, shortType, 1, 3);                              // SamplesPerPixel
  putEntry(out, 278, longType, 1, rowsPerStrip);                    // RowsPerStrip
  putEntry(out, 279, longType, strips, strips > 1 ? countsAt : lastStripBytes);  // StripByteCounts
  putEntry(out, 282, rationalType, 1, xResolutionAt);               // XResolution
  putEntry(out, 283, rationalType, 1, yResolutionAt);               // YResolution
  putEntry(out, 284, shortType, 1, 1);                              // PlanarConfiguration
  putEntry(out, 296, shortType, 1, 2);                              // ResolutionUnit: inch
  put32(out, 0);  // no next directory

  for (int sample = 0; sample < 3; ++sample) put16(out, 8);
  for (int axis = 0; axis < 2; ++axis) {
    put32(out, 72);
    put32(out, 1);
  }
  if (strips > 1) {
    for (uint32_t strip = 0; strip < strips; ++strip) put32(out, 8 + strip * stripBytes);
    for (uint32_t strip = 0; strip < strips; ++strip)
      put32(out, strip + 1 < strips ? stripBytes : lastStripBytes);
  }
  return out;
}
