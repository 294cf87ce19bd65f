// Reads a TIFF texture (see tiff_image.h for what it takes and passes over).
// Every read goes through a bounded ByteReader over the open file, and only
// what the file's structure reaches is read: the header, the directory, the
// strip arrays and the strips. However large the file, what reading costs in
// memory is the image, plus the largest LZW strip while it is decoded.
//
// How hostile or unusual files are met:
// - A tag the directory lacks leaves its field zero; so does a directory cut by
//   the end of the file for the entries that are not whole in it (the count of
//   entries is believed only as far as the file holds them).
// - A SHORT value is the first two bytes of the value field, whatever the
//   padding holds. StripOffsets and StripByteCounts are SHORT or LONG arrays
//   (other types are read as LONG), inline when count x size <= 4, otherwise at
//   the field's offset. Entries of an array that lies past the end of the file
//   are not strips; a strip without a byte count entry has no bytes.
// - Strips, compressed or not, follow one another in pixels, each cut at the
//   end of the file and at the space left in the image; once the image is full
//   the rest of the strips are passed over.
// - Compression neither 1 nor 5: pixels stay zero.
// - The image is refused (pixels null, read still true) when samples per pixel
//   are not 3 or 4, width or height is not positive, or width x height x
//   samples exceeds 2^31 - 1 or what a file of this size could fill: its own
//   size when uncompressed, and for LZW and other compressions 4096 bytes for
//   every 9 bits of the file, the most one code of a conforming stream yields.
// - LZW: every strip starts with a fresh table, so a strip that does not begin
//   with the clear code is read as if it did. After a clear code (or at the
//   start) only a single-byte code, another clear or the end code may follow;
//   any other code, and a code beyond the next table entry, ends the strip:
//   there is no string to extend. A code not whole inside the strip ends it
//   too (bits past the strip's last byte are never taken), so a strip without
//   an end code stops at its end. Output stops at the end of the image.
// - After entry 4094 is filled the table index wraps to 259 with 9-bit codes;
//   each entry refilled after the wrap takes its new string, the others keep
//   theirs but lie beyond the next entry.
// - The table allocates nothing while a strip decodes: every new string is the
//   previous code's string, already in pixels, followed by the first byte of
//   the string written right after it, so its entry points there. A decode
//   holds the image, the single bytes and the fixed arrays, whatever the
//   stream does. (addString called on its own makes a copy of its own.)
#include "assets/tiff_image.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <utility>

#include "assets/file_access.h"

namespace {

constexpr uint16_t littleEndianMark = 0x4949;  // "II"
constexpr uint16_t shortType = 3;
constexpr uint16_t tagImageWidth = 256;
constexpr uint16_t tagImageLength = 257;
constexpr uint16_t tagCompression = 259;
constexpr uint16_t tagStripOffsets = 273;
constexpr uint16_t tagSamplesPerPixel = 277;
constexpr uint16_t tagStripByteCounts = 279;
constexpr uint16_t tagPredictor = 317;
constexpr int32_t noCompression = 1;
constexpr int32_t lzwCompression = 5;
constexpr int32_t horizontalDifferencing = 2;
constexpr int32_t firstFreeCode = 258;
constexpr int32_t lastTableEntry = 4094;  // filling it wraps the table index
constexpr size_t copySlack = 16;  // bytes copyString may move at once
constexpr uint64_t maxBytesPerCode = 4096;
constexpr uint64_t minBitsPerCode = 9;
constexpr uint64_t maxPixelBytes = static_cast<uint64_t>(std::numeric_limits<int32_t>::max());

// File values that do not fit a signed field become -1, which every use refuses.
int32_t toSigned(uint32_t value) {
  return value > static_cast<uint32_t>(std::numeric_limits<int32_t>::max())
             ? -1
             : static_cast<int32_t>(value);
}

size_t fieldSize(uint16_t type) { return type == shortType ? 2 : 4; }

// The code of the given width at a bit position of a strip, most significant
// bit first; the caller has made sure it lies wholly inside the strip.
inline int32_t codeAt(const uint8_t* data, size_t size, uint64_t bit, int32_t width) {
  size_t at = static_cast<size_t>(bit / 8);
  uint32_t word = 0;
  if (size - at >= 4) {
    const uint8_t* p = data + at;
    word = static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
  } else {
    for (size_t k = 0; at + k < size; ++k) word |= static_cast<uint32_t>(data[at + k]) << (24 - 8 * k);
  }
  int shift = 32 - static_cast<int>(bit % 8) - width;
  return static_cast<int32_t>((word >> shift) & ((1u << width) - 1u));
}

// Copies a string to the output, no more than room bytes; returns how many.
// A short string goes as one fixed-size copy instead of a call for a few
// bytes, which reads and writes copySlack bytes: the string must lie before
// the output or in a block with copySlack bytes after its start (the single
// bytes' block is padded so), and what lands past the string is where later
// output goes, or is cleared when the strip ends.
inline size_t copyString(uint8_t* to, size_t room, const uint8_t* from, size_t length) {
  if (length - 1 < copySlack && room >= copySlack) {
    std::memmove(to, from, copySlack);
    return length;
  }
  size_t count = std::min(length, room);
  if (count > 0) std::memcpy(to, from, count);
  return count;
}

// Moves on from the entry just filled: the width grows one code early, as TIFF
// LZW writers switch, and after entry 4094 the index wraps to 259 with 9 bits.
inline void advanceTable(int32_t& next, int32_t& width) {
  if (next == 510) {
    width = 10;
  } else if (next == 1022) {
    width = 11;
  } else if (next == 2046) {
    width = 12;
  } else if (next == lastTableEntry) {
    next = firstFreeCode;
    width = 9;
  }
  ++next;
}

}  // namespace

uint32_t swapBytes32(uint32_t value) {
  return (value >> 24) | ((value >> 8) & 0x0000FF00u) | ((value << 8) & 0x00FF0000u) |
         (value << 24);
}

TiffImage::TiffImage() {
  for (int w = 0; w < 13; ++w) widthMask[w] = (1u << w) - 1u;
}

TiffImage::~TiffImage() {
  delete[] pixels;
  releaseStrings();
  delete[] singleBytes;
}

bool TiffImage::read(const char* path) {
  forgetImage();
  InputFile* input = openInputFile(path);
  if (input == nullptr) return false;
  bool ok = readFrom(makeFileReader(input, inputFileSize(input)));
  // A file the system could not read to the end is no image, whatever arrived.
  bool failed = inputFileFailed(input);
  closeInputFile(input);
  if (failed) {
    forgetImage();
    return false;
  }
  return ok;
}

void TiffImage::forgetImage() {
  delete[] pixels;
  pixels = nullptr;
  pixelBytes = 0;
  outPosition = 0;
  byteOrder = version = 0;
  ifdOffset = 0;
  entryTotal = 0;
  width = height = samplesPerPixel = compression = predictor = 0;
  stripOffsets = stripByteCounts = stripByteCountsTotal = 0;
  stripOffsetsType = stripByteCountsType = 0;
  stripCount = 0;
}

bool TiffImage::readFromMemory(std::vector<uint8_t> bytes) {
  forgetImage();
  fileBytes = std::move(bytes);
  return readFrom(makeByteReader(fileBytes));
}

bool TiffImage::readFrom(ByteReader reader) {
  forgetImage();
  file = std::move(reader);

  byteOrder = readU16(file);
  if (byteOrder != littleEndianMark) {
    std::fputs("\n\n\t\tNot a tif_file!!!", stdout);
    releaseFile();
    return false;
  }
  version = readU16(file);
  ifdOffset = readU32(file);
  if (file.overrun || ifdOffset > file.size - 2) {
    releaseFile();
    return false;
  }
  seekTo(file, ifdOffset);
  entryTotal = static_cast<int16_t>(readU16(file));
  for (int i = 0; i < entryTotal && bytesLeft(file) >= 12; ++i) readEntry();
  readPixels();
  releaseFile();
  return true;
}

void TiffImage::releaseFile() {
  fileBytes = std::vector<uint8_t>();
  file = makeByteReader(fileBytes);
}

void TiffImage::readEntry() {
  entryTag = static_cast<int16_t>(readU16(file));
  entryType = readU16(file);
  entryCount = readU32(file);
  entryValue = readU32(file);
  // TIFF puts a SHORT in the first two bytes and only asks that the rest be padding.
  uint32_t number = entryType == shortType ? (entryValue & 0xFFFFu) : entryValue;
  switch (static_cast<uint16_t>(entryTag)) {
    case tagImageWidth:
      width = toSigned(number);
      break;
    case tagImageLength:
      height = toSigned(number);
      break;
    case tagCompression:
      compression = toSigned(number);
      break;
    case tagStripOffsets:
      stripOffsets = entryValue;
      stripOffsetsType = entryType;
      stripCount = toSigned(entryCount);
      break;
    case tagSamplesPerPixel:
      samplesPerPixel = toSigned(number);
      break;
    case tagStripByteCounts:
      stripByteCounts = entryValue;
      stripByteCountsType = entryType;
      stripByteCountsTotal = entryCount;
      break;
    case tagPredictor:
      predictor = toSigned(number);
      break;
    default:
      break;
  }
}

uint32_t TiffImage::stripsInArray(uint32_t field, uint16_t type, uint32_t count) const {
  uint64_t size = fieldSize(type);
  if (count * size <= 4) return count;
  if (field >= file.size) return 0;
  uint64_t held = (file.size - field) / size;
  return static_cast<uint32_t>(std::min<uint64_t>(count, held));
}

uint32_t TiffImage::stripEntry(ByteReader& array, uint32_t field, uint16_t type, uint32_t count,
                               uint32_t index) const {
  if (index >= count) return 0;
  uint64_t size = fieldSize(type);
  if (count * size <= 4) {
    if (size == 2) return index == 0 ? (field & 0xFFFFu) : (field >> 16);
    return field;
  }
  uint64_t at = static_cast<uint64_t>(field) + index * size;
  if (at + size > array.size) return 0;
  seekTo(array, at);
  return size == 2 ? readU16(array) : readU32(array);
}

void TiffImage::readPixels() {
  delete[] pixels;
  pixels = nullptr;
  pixelBytes = 0;
  outPosition = 0;
  if (samplesPerPixel != 3 && samplesPerPixel != 4) return;
  if (width <= 0 || height <= 0) return;

  uint64_t fileSize = file.size;
  uint64_t limit = maxPixelBytes;
  if (fileSize < maxPixelBytes) {
    uint64_t fillable = compression == noCompression
                            ? fileSize
                            : fileSize * 8 / minBitsPerCode * maxBytesPerCode;
    limit = std::min(limit, fillable);
  }
  uint64_t rowBytes = static_cast<uint64_t>(width) * static_cast<uint64_t>(samplesPerPixel);
  if (rowBytes > limit || static_cast<uint64_t>(height) > limit / rowBytes) return;
  uint64_t total = rowBytes * static_cast<uint64_t>(height);
  pixels = new (std::nothrow) uint8_t[total]();
  if (pixels == nullptr) return;
  pixelBytes = static_cast<int32_t>(total);

  uint32_t strips = stripCount > 0 ? stripsInArray(stripOffsets, stripOffsetsType,
                                                   static_cast<uint32_t>(stripCount))
                                   : 0;
  if (compression == noCompression || compression == lzwCompression) {
    // The two arrays are read by turns with the strips, each through a window of its own.
    ByteReader offsetArray = makeSiblingReader(file);
    ByteReader sizeArray = makeSiblingReader(file);
    std::unique_ptr<uint8_t[]> strip;  // grows to the largest LZW strip, as it is met
    uint64_t stripRoom = 0;
    for (uint32_t i = 0; i < strips && outPosition < pixelBytes; ++i) {
      uint64_t offset = stripEntry(offsetArray, stripOffsets, stripOffsetsType,
                                   static_cast<uint32_t>(stripCount), i);
      uint64_t size =
          stripEntry(sizeArray, stripByteCounts, stripByteCountsType, stripByteCountsTotal, i);
      if (offset >= fileSize) continue;
      size = std::min(size, fileSize - offset);
      seekTo(file, offset);
      if (compression == noCompression) {
        size = std::min<uint64_t>(size, static_cast<uint64_t>(pixelBytes - outPosition));
        outPosition += static_cast<int32_t>(
            readBytes(file, pixels + outPosition, static_cast<size_t>(size)));
      } else {
        if (size > stripRoom) {
          strip.reset(new (std::nothrow) uint8_t[static_cast<size_t>(size)]);
          stripRoom = strip != nullptr ? size : 0;
          if (strip == nullptr) continue;
        }
        size_t got = readBytes(file, strip.get(), static_cast<size_t>(size));
        decodeStrip(strip.get(), got);
        releaseStrings();
      }
    }
    delete[] singleBytes;
    singleBytes = nullptr;
    for (int i = 0; i < 256; ++i) codeString[i] = nullptr;
  }
  if (predictor == horizontalDifferencing) undoPredictor();
}

void TiffImage::decodeStrip(const uint8_t* data, size_t size) {
  clearCode = 256;
  eoiCode = 257;
  codeData = data;
  codeBytes = size;
  bitPosition = 0;
  resetTable();
  // The steps of writeString, writeStringPlusFirst, addString and readCode,
  // with the decoder's state in locals: pixels are bytes, and every store to
  // them would otherwise make the compiler fetch the fields anew.
  // The string of the previous code is known by where it went out (oldAt,
  // oldLength; none after a clear code), so the entry that extends it by the
  // first byte of the next string is the oldLength + 1 bytes there.
  uint8_t* const image = pixels;
  const size_t imageEnd = static_cast<size_t>(pixelBytes);
  const uint64_t bitsInStrip = static_cast<uint64_t>(size) * 8;
  size_t out = static_cast<size_t>(outPosition);
  uint64_t bit = 0;
  int32_t currentWidth = codeWidth;
  int32_t next = nextCode;
  size_t oldAt = 0;
  size_t oldLength = 0;
  auto addEntry = [&](size_t at, size_t length) {
    codeString[next] = image + at;
    codeBits[next] = static_cast<int32_t>(length * 8);
    advanceTable(next, currentWidth);
  };
  while (out < imageEnd) {
    if (bit + static_cast<uint64_t>(currentWidth) > bitsInStrip) {
      bit = bitsInStrip;
      break;
    }
    int32_t code = codeAt(data, size, bit, currentWidth);
    bit += static_cast<uint64_t>(currentWidth);
    size_t room = imageEnd - out;
    if (code < next && static_cast<uint32_t>(code - clearCode) > 1u) {
      // A single byte or a string of the table. Right after a clear code next
      // is 258 until a single byte has gone out, so only single bytes come
      // here without an old string.
      size_t length = static_cast<uint32_t>(codeBits[code]) >> 3;
      size_t written = copyString(image + out, room, codeString[code], length);
      if (oldLength > 0) addEntry(oldAt, oldLength + 1);
      oldAt = out;
      oldLength = length;
      out += written;
    } else if (code == next && oldLength > 0) {
      size_t written = copyString(image + out, room, image + oldAt, oldLength);
      if (written < room) image[out + written++] = image[oldAt];
      addEntry(oldAt, oldLength + 1);
      oldAt = out;
      oldLength += 1;
      out += written;
    } else if (code == clearCode) {
      resetTable();
      next = nextCode;
      currentWidth = codeWidth;
      oldLength = 0;
    } else {
      break;  // the end code, a code beyond the next entry, or a table code after a clear code
    }
  }
  outPosition = static_cast<int32_t>(out);
  bitPosition = bit;
  codeWidth = currentWidth;
  nextCode = next;
  // copyString may have run up to copySlack bytes past the output; what the
  // strips do not reach stays zero.
  if (out < imageEnd) std::memset(image + out, 0, std::min(copySlack, imageEnd - out));
  codeData = nullptr;
  codeBytes = 0;
}

void TiffImage::resetTable() {
  releaseStrings();
  if (singleBytes == nullptr) singleBytes = new uint8_t[256 + copySlack]();
  for (int i = 0; i < 256; ++i) {
    singleBytes[i] = static_cast<uint8_t>(i);
    codeString[i] = singleBytes + i;
    codeBits[i] = 8;
  }
  nextCode = firstFreeCode;
  codeWidth = 9;
}

void TiffImage::releaseStrings() {
  // Entries that point into pixels own nothing, and past nextCode an entry is
  // free whatever it points at: a file of many small strips costs no sweep of
  // the table per strip.
  for (int i = firstFreeCode; i < tableEnd && ownedStrings > 0; ++i) {
    if (stringOwned[i]) {
      delete[] codeString[i];
      codeString[i] = nullptr;
      stringOwned[i] = false;
      --ownedStrings;
    }
  }
  tableEnd = firstFreeCode;
}

int32_t TiffImage::readCode() {
  uint64_t bitsInStrip = static_cast<uint64_t>(codeBytes) * 8;
  if (bitPosition + static_cast<uint64_t>(codeWidth) > bitsInStrip) {
    bitPosition = bitsInStrip;
    return eoiCode;
  }
  int32_t code = codeAt(codeData, codeBytes, bitPosition, codeWidth);
  bitPosition += static_cast<uint64_t>(codeWidth);
  return code;
}

void TiffImage::writeString(int32_t code) {
  size_t length = static_cast<uint32_t>(codeBits[code]) >> 3;
  size_t count = std::min(length, static_cast<size_t>(pixelBytes - outPosition));
  if (count > 0) std::memcpy(pixels + outPosition, codeString[code], count);
  outPosition += static_cast<int32_t>(count);
}

void TiffImage::writeStringPlusFirst(int32_t a, int32_t b) {
  writeString(a);
  if (outPosition < pixelBytes) pixels[outPosition++] = codeString[b][0];
}

void TiffImage::addString(int32_t a, int32_t b) {
  size_t length = static_cast<size_t>(codeBits[a] / 8) + 1;
  uint8_t* string = new uint8_t[length];
  std::memcpy(string, codeString[a], length - 1);
  string[length - 1] = codeString[b][0];
  // Built before the entry is released: after a wrap a or b may be this entry.
  int32_t entry = nextCode;
  if (stringOwned[entry]) delete[] codeString[entry];
  ownedStrings += stringOwned[entry] ? 0 : 1;
  codeString[entry] = string;
  stringOwned[entry] = true;
  codeBits[entry] = static_cast<int32_t>(length * 8);
  tableEnd = std::max(tableEnd, entry + 1);
  advanceTable(nextCode, codeWidth);
}

bool TiffImage::inTable(int32_t code) const { return nextCode > code; }

void TiffImage::undoPredictor() {
  if (pixels == nullptr || (samplesPerPixel != 3 && samplesPerPixel != 4)) return;
  size_t samples = static_cast<size_t>(samplesPerPixel);
  size_t rowBytes = static_cast<size_t>(width) * samples;
  // Running sums held apart per sample, so the sums of a pixel do not wait on
  // one another.
  for (int32_t row = 0; row < height; ++row) {
    uint8_t* p = pixels + static_cast<size_t>(row) * rowBytes;
    uint8_t* end = p + rowBytes;
    uint8_t s0 = 0, s1 = 0, s2 = 0, s3 = 0;
    if (samples == 3) {
      for (; p != end; p += 3) {
        p[0] = s0 = static_cast<uint8_t>(s0 + p[0]);
        p[1] = s1 = static_cast<uint8_t>(s1 + p[1]);
        p[2] = s2 = static_cast<uint8_t>(s2 + p[2]);
      }
    } else {
      for (; p != end; p += 4) {
        p[0] = s0 = static_cast<uint8_t>(s0 + p[0]);
        p[1] = s1 = static_cast<uint8_t>(s1 + p[1]);
        p[2] = s2 = static_cast<uint8_t>(s2 + p[2]);
        p[3] = s3 = static_cast<uint8_t>(s3 + p[3]);
      }
    }
  }
}
