// Reads a TIFF texture (see tiff_image.h for what it takes and passes over).
// Every read goes through a bounded ByteReader over the open file, and only
// what the file's structure reaches is read: the header, the directory, the
// strip arrays, the sample size and format arrays, the colour map and the
// strips. However large the file, what reading costs in memory is the image,
// plus the largest compressed strip while it is decoded, plus, for forms
// other than 8-bit interleaved RGB(A), the image's plain bytes.
//
// How hostile or unusual files are met:
// - A tag the directory lacks leaves its field zero (-1 or empty for the
//   layout tags); so does a directory cut by the end of the file for the
//   entries that are not whole in it (the count of entries is believed only as
//   far as the file holds them).
// - A SHORT value is the first two bytes of the value field, whatever the
//   padding holds. StripOffsets and StripByteCounts are SHORT or LONG arrays
//   (other types are read as LONG), inline when count x size <= 4, otherwise at
//   the field's offset. Entries of an array that lies past the end of the file
//   are not strips; a strip without a byte count entry has no bytes.
// - What is declined is decided in formOf, before anything is allocated, and
//   nothing it does not accept reaches pixels: read still returns true, with
//   pixels null and the reason in declined.
// - 8-bit interleaved RGB(A), uncompressed or LZW, FillOrder 1: strips follow
//   one another in pixels, each cut at the end of the file and at the space
//   left in the image; once the image is full the rest are passed over.
// - Every other form: each strip goes to the rows RowsPerStrip gives it in its
//   plane, cut at the end of the file and at those rows (a Deflate or
//   PackBits bomb included); strips past what the image needs are passed over.
// - Sizes: declined when width or height is not positive, or the plain bytes
//   exceed 2^31 - 1 or what a file of this size could fill: its own size when
//   uncompressed, 64 bytes a byte for PackBits, 1032 for Deflate (zlib's
//   bound), and for LZW 4096 bytes for every 9 bits of the file, the most one
//   code of a conforming stream yields; or when the 8-bit RGB(A) pixels would
//   exceed 2^31 - 1 bytes.
// - Arrays (sample sizes and formats, the colour map) that run past the end
//   of the file decline the image; a colour map must have 3 x 2^bits entries.
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
#include "assets/tiff_codecs.h"
#include "assets/tiff_samples.h"

namespace {

constexpr uint16_t littleEndianMark = 0x4949;  // "II"
constexpr uint16_t bigEndianMark = 0x4D4D;     // "MM"
constexpr uint16_t shortType = 3;
constexpr uint16_t tagImageWidth = 256;
constexpr uint16_t tagImageLength = 257;
constexpr uint16_t tagBitsPerSample = 258;
constexpr uint16_t tagCompression = 259;
constexpr uint16_t tagPhotometric = 262;
constexpr uint16_t tagFillOrder = 266;
constexpr uint16_t tagStripOffsets = 273;
constexpr uint16_t tagSamplesPerPixel = 277;
constexpr uint16_t tagRowsPerStrip = 278;
constexpr uint16_t tagStripByteCounts = 279;
constexpr uint16_t tagPlanarConfiguration = 284;
constexpr uint16_t tagPredictor = 317;
constexpr uint16_t tagColourMap = 320;
constexpr uint16_t tagTileWidth = 322;
constexpr uint16_t tagTileByteCounts = 325;
constexpr uint16_t tagSampleFormat = 339;
constexpr int32_t noCompression = 1;
constexpr int32_t lzwCompression = 5;
constexpr int32_t deflateCompression = 8;
constexpr int32_t oldDeflateCompression = 32946;
constexpr int32_t packBitsCompression = 32773;
constexpr int32_t horizontalDifferencing = 2;
constexpr int32_t planesApart = 2;
constexpr int32_t lowBitFirst = 2;  // FillOrder 2
constexpr int32_t firstFreeCode = 258;
constexpr size_t lzwClear = 256;
constexpr size_t lzwEnd = 257;
constexpr size_t copySlack = 16;  // bytes the LZW decoder may move at once
constexpr uint64_t maxBytesPerCode = 4096;
constexpr uint64_t minBitsPerCode = 9;
constexpr uint64_t packBitsMostPerByte = 64;  // a repeat of 128 bytes in two
constexpr uint64_t deflateMostPerByte = 1032;  // zlib's own bound on its ratio
constexpr uint64_t maxPixelBytes = static_cast<uint64_t>(std::numeric_limits<int32_t>::max());

// File values that do not fit a signed field become -1, which every use refuses.
int32_t toSigned(uint32_t value) {
  return value > static_cast<uint32_t>(std::numeric_limits<int32_t>::max())
             ? -1
             : static_cast<int32_t>(value);
}

size_t fieldSize(uint16_t type) { return type == shortType ? 2 : 4; }

// TIFF's meaning of a missing Compression tag: none.
int32_t codecOf(int32_t compression) { return compression == 0 ? noCompression : compression; }

bool isDeflate(int32_t codec) { return codec == deflateCompression || codec == oldDeflateCompression; }

std::string compressionName(int32_t codec) {
  switch (codec) {
    case 2: return "CCITT modified Huffman compression";
    case 3: return "CCITT Group 3 compression";
    case 4: return "CCITT Group 4 compression";
    case 6:
    case 7: return "JPEG compression";
    case 34661: return "JBIG compression";
    case 34712: return "JPEG 2000 compression";
    case 34925: return "LZMA compression";
    case 50000: return "Zstandard compression";
    case 50001: return "WebP compression";
    default: return "compression " + std::to_string(codec);
  }
}

std::string photometricRefusal(int32_t photometric) {
  switch (photometric) {
    case 4: return "transparency masks are not supported";
    case 5: return "CMYK (separated) colours are not supported";
    case 6: return "YCbCr colours are not supported";
    case 8:
    case 9:
    case 10: return "L*a*b* colours are not supported";
    default: return "photometric interpretation " + std::to_string(photometric) + " is not supported";
  }
}

std::string sampleFormatName(uint32_t format) {
  switch (format) {
    case 2: return "signed samples";
    case 3: return "floating-point samples";
    default: return "sample format " + std::to_string(format);
  }
}

std::string sizeWords(int32_t width, int32_t height) {
  return "a " + std::to_string(width) + " x " + std::to_string(height) + " image";
}

// The most plain bytes a file of this size can decode to, by its compression.
uint64_t fillableBytes(int32_t codec, uint64_t fileSize) {
  if (codec == noCompression || fileSize >= maxPixelBytes) return fileSize;
  if (codec == packBitsCompression) return fileSize * packBitsMostPerByte;
  if (isDeflate(codec)) return fileSize * deflateMostPerByte;
  return fileSize * 8 / minBitsPerCode * maxBytesPerCode;
}

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

// The eight bytes from p on as one big-endian number: one load where the
// compiler sees the pattern, as GCC and Clang do.
inline uint64_t bigEndian64(const uint8_t* p) {
  return static_cast<uint64_t>(p[0]) << 56 | static_cast<uint64_t>(p[1]) << 48 |
         static_cast<uint64_t>(p[2]) << 40 | static_cast<uint64_t>(p[3]) << 32 |
         static_cast<uint64_t>(p[4]) << 24 | static_cast<uint64_t>(p[5]) << 16 |
         static_cast<uint64_t>(p[6]) << 8 | p[7];
}

// Where a strip's decoding stands between codes.
struct LzwCursor {
  const uint8_t* data;
  uint64_t bit;  // the next code's first bit
  uint64_t bitsInStrip;
  // A code starting before this bit has eight bytes of the strip from its first byte on.
  uint64_t eightBytesEnd;
  uint8_t* out;
  uint8_t* end;
  size_t next;  // the entry that waits for the first byte of the next string
  int32_t width;
};

// The next code, or the end code once no whole code is left in the strip.
inline size_t fetchCode(LzwCursor& at) {
  size_t code;
  if (at.bit < at.eightBytesEnd) {
    code = static_cast<size_t>((bigEndian64(at.data + at.bit / 8) << (at.bit % 8)) >>
                               (64 - at.width));
  } else if (at.bit + static_cast<uint64_t>(at.width) <= at.bitsInStrip) {
    code = static_cast<size_t>(codeAt(at.data, static_cast<size_t>(at.bitsInStrip / 8), at.bit,
                                      at.width));
  } else {
    at.bit = at.bitsInStrip;
    return lzwEnd;
  }
  at.bit += static_cast<uint64_t>(at.width);
  return code;
}

// How many codes may follow with no check of the strip's end or the image's:
// each code takes at most 12 bits, and each whose string is no longer than
// copySlack moves copySlack bytes at most.
inline uint64_t uncheckedCodes(const LzwCursor& at) {
  const uint64_t codes = at.bit < at.eightBytesEnd ? (at.eightBytesEnd - at.bit + 11) / 12 : 0;
  return std::min(codes, static_cast<uint64_t>(at.end - at.out) / copySlack);
}

// A compressed strip's bytes, in a buffer that grows to the largest strip met.
struct StripBuffer {
  std::unique_ptr<uint8_t[]> bytes;
  uint64_t room = 0;
};

// Reads size bytes at the reader's position into the buffer; how many arrived
// (none when there is no memory for them).
size_t readStrip(ByteReader& file, StripBuffer& buffer, uint64_t size) {
  if (size > buffer.room) {
    buffer.bytes.reset(new (std::nothrow) uint8_t[static_cast<size_t>(size)]);
    buffer.room = buffer.bytes != nullptr ? size : 0;
    if (buffer.bytes == nullptr) return 0;
  }
  return readBytes(file, buffer.bytes.get(), static_cast<size_t>(size));
}

// Moves on from the entry just filled. The width grows one code early, as TIFF
// LZW writers switch: once entry 510, 1022 or 2046 is filled, the next entry is
// the last code the width can name (its mask). Filling entry 4094 wraps the
// index to 259 with 9 bits.
inline void advanceTable(int32_t& next, int32_t& width, const uint32_t* widthMask) {
  if (++next == static_cast<int32_t>(widthMask[width])) {
    if (width < 12) {
      ++width;
    } else {
      next = firstFreeCode + 1;
      width = 9;
    }
  }
}

// Undoes horizontal differencing on whole rows of 8-bit pixels of 3 or 4
// samples: each sample becomes the sum, modulo 256, of itself and the samples
// of its kind before it in its row. The sums are held apart per sample, so the
// sums of a pixel do not wait on one another.
void sumAlongRows(uint8_t* rows, size_t rowCount, size_t rowBytes, size_t samples) {
  for (size_t row = 0; row < rowCount; ++row) {
    uint8_t* p = rows + row * rowBytes;
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
  if (input == nullptr) {
    decline("could not be opened");
    return false;
  }
  bool ok = readFrom(makeFileReader(input, inputFileSize(input)));
  // A file the system could not read to the end is no image, whatever arrived.
  bool failed = inputFileFailed(input);
  closeInputFile(input);
  if (failed) {
    forgetImage();
    decline("could not be read");
    return false;
  }
  return ok;
}

void TiffImage::decline(std::string why) {
  delete[] pixels;
  pixels = nullptr;
  pixelBytes = 0;
  declined = std::move(why);
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
  bitsPerSample = sampleFormat = colourMap = TiffArray{};
  photometric = planarConfiguration = fillOrder = -1;
  rowsPerStrip = -1;
  tiled = false;
  declined.clear();
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
    decline(byteOrder == bigEndianMark ? "big-endian TIFF files are not supported"
                                       : "not a TIFF file");
    releaseFile();
    return false;
  }
  version = readU16(file);
  ifdOffset = readU32(file);
  if (file.overrun || ifdOffset > file.size - 2) {
    decline(file.overrun ? "the file ends inside its header"
                         : "its directory lies outside the file");
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
    case tagBitsPerSample:
      bitsPerSample = {entryValue, entryType, entryCount};
      break;
    case tagSampleFormat:
      sampleFormat = {entryValue, entryType, entryCount};
      break;
    case tagColourMap:
      colourMap = {entryValue, entryType, entryCount};
      break;
    case tagPhotometric:
      photometric = toSigned(number);
      break;
    case tagPlanarConfiguration:
      planarConfiguration = toSigned(number);
      break;
    case tagFillOrder:
      fillOrder = toSigned(number);
      break;
    case tagRowsPerStrip:
      rowsPerStrip = number;
      break;
    default:
      tiled = tiled || (static_cast<uint16_t>(entryTag) >= tagTileWidth &&
                        static_cast<uint16_t>(entryTag) <= tagTileByteCounts);
      break;
  }
}

uint32_t TiffImage::valuesInFile(uint32_t field, uint16_t type, uint32_t count) const {
  uint64_t size = fieldSize(type);
  if (count * size <= 4) return count;
  if (field >= file.size) return 0;
  uint64_t held = (file.size - field) / size;
  return static_cast<uint32_t>(std::min<uint64_t>(count, held));
}

uint32_t TiffImage::arrayEntry(ByteReader& array, uint32_t field, uint16_t type, uint32_t count,
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
  TiffSamples form;
  std::string why = formOf(form);
  if (!why.empty()) {
    decline(std::move(why));
    return;
  }
  if (takesFastPath(form)) {
    readInterleavedRgb();
  } else {
    readThroughPlainBytes(form);
  }
  if (pixels == nullptr) {
    decline("there is no memory for its " + std::to_string(width) + " x " +
            std::to_string(height) + " pixels");
  }
}

std::string TiffImage::formOf(TiffSamples& form) {
  if (tiled) return "tiled images are not supported";
  const int32_t codec = codecOf(compression);
  if (codec != noCompression && codec != lzwCompression && codec != packBitsCompression &&
      !isDeflate(codec))
    return compressionName(codec) + " is not supported";

  // TIFF's default is one sample; a missing Photometric is guessed from them.
  const int32_t samples = samplesPerPixel == 0 ? 1 : samplesPerPixel;
  switch (photometric < 0 ? (samples >= 3 ? 2 : 1) : photometric) {
    case 0: form.colour = TiffColour::minIsWhite; break;
    case 1: form.colour = TiffColour::minIsBlack; break;
    case 2: form.colour = TiffColour::rgb; break;
    case 3: form.colour = TiffColour::palette; break;
    default: return photometricRefusal(photometric);
  }
  const char* colourWords[] = {"greyscale", "greyscale", "RGB", "palette"};
  const int32_t colours = colourSamples(form.colour);
  const int32_t most = form.colour == TiffColour::palette ? 1 : colours + 1;
  if (samples < colours || samples > most) {
    return std::string(colourWords[static_cast<int>(form.colour)]) + " images with " +
           std::to_string(samples) + (samples == 1 ? " sample" : " samples") +
           " per pixel are not supported";
  }
  form.samplesPerPixel = samples;

  // Every sample alike: unsigned, of one size. The arrays mostly follow the
  // directory, in the window the file's reader holds already.
  ByteReader& array = file;
  const uint32_t perSample = static_cast<uint32_t>(samples);
  for (const TiffArray* values : {&bitsPerSample, &sampleFormat}) {
    uint32_t count = std::min(values->count, perSample);
    if (valuesInFile(values->field, values->type, count) < count)
      return "its sample sizes or formats lie outside the file";
  }
  for (uint32_t s = 0; s < std::min(sampleFormat.count, perSample); ++s) {
    uint32_t format = arrayEntry(array, sampleFormat, s);
    if (format != 1) return sampleFormatName(format) + " are not supported";
  }
  const uint32_t bits = bitsPerSample.count == 0 ? 8 : arrayEntry(array, bitsPerSample, 0);
  for (uint32_t s = 1; s < std::min(bitsPerSample.count, perSample); ++s) {
    if (arrayEntry(array, bitsPerSample, s) != bits)
      return "samples of different sizes are not supported";
  }
  if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16)
    return std::to_string(bits) + "-bit samples are not supported";
  if (form.colour == TiffColour::rgb && bits < 8)
    return std::to_string(bits) + "-bit RGB samples are not supported";
  if (form.colour == TiffColour::palette && bits > 8)
    return std::to_string(bits) + "-bit palette indices are not supported";
  form.bitsPerSample = static_cast<int32_t>(bits);

  if (predictor == horizontalDifferencing && bits < 8)
    return "the horizontal predictor on " + std::to_string(bits) + "-bit samples is not supported";
  if (predictor == 3) return "the floating-point predictor is not supported";
  if (predictor != 0 && predictor != 1 && predictor != horizontalDifferencing)
    return "predictor " + std::to_string(predictor) + " is not supported";
  if (planarConfiguration > planesApart || planarConfiguration == 0)
    return "planar configuration " + std::to_string(planarConfiguration) + " is not supported";
  form.planar = planarConfiguration == planesApart && samples > 1;
  if (fillOrder > lowBitFirst || fillOrder == 0)
    return "fill order " + std::to_string(fillOrder) + " is not supported";

  if (form.colour == TiffColour::palette) {
    const uint32_t entries = 3u << bits;
    if (colourMap.count != entries)
      return "the palette has no colour map for " + std::to_string(bits) + "-bit indices";
    if (valuesInFile(colourMap.field, colourMap.type, entries) < entries)
      return "the colour map lies outside the file";
    form.colourMap.resize(entries);
    for (uint32_t i = 0; i < entries; ++i)
      form.colourMap[i] = static_cast<uint16_t>(arrayEntry(array, colourMap, i));
  }

  if (width <= 0 || height <= 0) {
    return "its size, " + std::to_string(width) + " x " + std::to_string(height) +
           ", holds no pixels";
  }
  form.width = width;
  form.height = height;
  // Nothing is allocated for more than a file of this size can decode to,
  // whatever the directory claims, nor past 2^31 - 1 bytes.
  const uint64_t limit = std::min(maxPixelBytes, fillableBytes(codec, file.size));
  const uint64_t rowBytes = plainRowBytes(form) * static_cast<uint64_t>(planeCount(form));
  const uint64_t outRowBytes =
      static_cast<uint64_t>(width) * static_cast<uint64_t>(outputSamples(form));
  const uint64_t rows = static_cast<uint64_t>(height);
  if (rowBytes > limit || rows > limit / rowBytes) {
    return sizeWords(width, height) + " is more than a file of " + std::to_string(file.size) +
           " bytes can hold";
  }
  if (outRowBytes > maxPixelBytes || rows > maxPixelBytes / outRowBytes)
    return sizeWords(width, height) + " is more than a texture can hold";
  return "";
}

bool TiffImage::takesFastPath(const TiffSamples& form) const {
  return (compression == noCompression || compression == lzwCompression) &&
         form.colour == TiffColour::rgb && form.bitsPerSample == 8 && !form.planar &&
         fillOrder != lowBitFirst;
}

template <typename Visit>
void TiffImage::forEachStrip(uint64_t most, Visit visit) {
  uint32_t strips = stripCount > 0 ? valuesInFile(stripOffsets, stripOffsetsType,
                                                   static_cast<uint32_t>(stripCount))
                                   : 0;
  // The two arrays are read by turns with the strips, each through a window of its own.
  ByteReader offsetArray = makeSiblingReader(file);
  ByteReader sizeArray = makeSiblingReader(file);
  for (uint32_t i = 0; i < strips && i < most; ++i) {
    uint64_t offset = arrayEntry(offsetArray, stripOffsets, stripOffsetsType,
                                 static_cast<uint32_t>(stripCount), i);
    uint64_t size =
        arrayEntry(sizeArray, stripByteCounts, stripByteCountsType, stripByteCountsTotal, i);
    if (offset >= file.size) continue;
    seekTo(file, offset);
    if (!visit(i, std::min(size, file.size - offset))) break;
  }
  delete[] singleBytes;
  singleBytes = nullptr;
  for (int i = 0; i < 256; ++i) codeString[i] = nullptr;
}

void TiffImage::readInterleavedRgb() {
  const size_t samples = static_cast<size_t>(samplesPerPixel);
  const size_t rowBytes = static_cast<size_t>(width) * samples;
  const uint64_t total = static_cast<uint64_t>(rowBytes) * static_cast<uint64_t>(height);
  // Not cleared: the strips fill it from the start, and what they leave is
  // cleared at the end.
  pixels = new (std::nothrow) uint8_t[total];
  if (pixels == nullptr) return;
  pixelBytes = static_cast<int32_t>(total);

  // Differences are summed as soon as a strip's rows are whole, while they are
  // still in the cache.
  size_t rowsSummed = 0;
  auto sumRowsBefore = [&](size_t end) {
    if (predictor != horizontalDifferencing) return;
    size_t rows = end / rowBytes;
    sumAlongRows(pixels + rowsSummed * rowBytes, rows - rowsSummed, rowBytes, samples);
    rowsSummed = rows;
  };
  // Uncompressed strips that follow one another in the file, as writers lay
  // out their many one-row strips, are read as one run straight into pixels.
  uint64_t runStart = 0;
  size_t runBytes = 0;
  auto readRun = [&] {
    seekTo(file, runStart);
    outPosition += static_cast<int32_t>(readBytes(file, pixels + outPosition, runBytes));
    runBytes = 0;
  };
  StripBuffer strip;
  forEachStrip(std::numeric_limits<uint64_t>::max(), [&](uint32_t, uint64_t size) {
    if (compression == noCompression) {
      const uint64_t offset = file.position;
      if (runBytes > 0 && offset != runStart + runBytes) readRun();
      if (runBytes == 0) runStart = offset;
      size_t room = static_cast<size_t>(pixelBytes - outPosition) - runBytes;
      runBytes += static_cast<size_t>(std::min<uint64_t>(size, room));
      return runBytes < static_cast<size_t>(pixelBytes - outPosition);
    }
    if (size_t got = readStrip(file, strip, size)) {
      decodeStrip(strip.bytes.get(), got);
      releaseStrings();
      sumRowsBefore(static_cast<size_t>(outPosition));
    }
    return outPosition < pixelBytes;
  });
  if (runBytes > 0) readRun();
  std::memset(pixels + outPosition, 0, static_cast<size_t>(pixelBytes - outPosition));
  sumRowsBefore(static_cast<size_t>(pixelBytes));
}

// Every strip lands at its own rows of its own plane, as RowsPerStrip places
// it; strips past what the image needs are passed over.
void TiffImage::readThroughPlainBytes(const TiffSamples& form) {
  const int32_t codec = codecOf(compression);
  const uint64_t rowBytes = plainRowBytes(form);
  std::unique_ptr<uint8_t[]> plain(new (std::nothrow) uint8_t[plainBytes(form)]());
  if (plain == nullptr) return;

  const uint64_t imageRows = static_cast<uint64_t>(height);
  const uint64_t rows = rowsPerStrip <= 0 || static_cast<uint64_t>(rowsPerStrip) > imageRows
                            ? imageRows
                            : static_cast<uint64_t>(rowsPerStrip);
  const uint64_t stripsPerPlane = (imageRows + rows - 1) / rows;
  StripBuffer strip;
  forEachStrip(stripsPerPlane * static_cast<uint64_t>(planeCount(form)), [&](uint32_t i,
                                                                             uint64_t size) {
    const uint64_t plane = i / stripsPerPlane;
    const uint64_t firstRow = i % stripsPerPlane * rows;
    uint8_t* const out = plain.get() + (plane * imageRows + firstRow) * rowBytes;
    const size_t room = static_cast<size_t>(std::min(rows, imageRows - firstRow) * rowBytes);
    if (codec == noCompression) {
      size_t got = readBytes(file, out, static_cast<size_t>(std::min<uint64_t>(size, room)));
      if (fillOrder == lowBitFirst) reverseBits(out, got);
      return true;
    }
    size_t got = readStrip(file, strip, size);
    if (fillOrder == lowBitFirst) reverseBits(strip.bytes.get(), got);
    if (codec == lzwCompression) {
      decodeLzw(strip.bytes.get(), got, out, room);
      releaseStrings();
    } else if (codec == packBitsCompression) {
      unpackBits(strip.bytes.get(), got, out, room);
    } else {
      inflateStrip(strip.bytes.get(), got, out, room);
    }
    return true;
  });
  strip.bytes.reset();

  if (predictor == horizontalDifferencing) undoDifferencing(form, plain.get());
  const uint64_t outBytes = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) *
                            static_cast<uint64_t>(outputSamples(form));
  pixels = new (std::nothrow) uint8_t[outBytes];
  if (pixels == nullptr) return;
  expandToRgb(form, plain.get(), pixels);
  pixelBytes = static_cast<int32_t>(outBytes);
  samplesPerPixel = outputSamples(form);
}

void TiffImage::decodeStrip(const uint8_t* data, size_t size) {
  outPosition += static_cast<int32_t>(decodeLzw(
      data, size, pixels + outPosition, static_cast<size_t>(pixelBytes - outPosition)));
}

size_t TiffImage::decodeLzw(const uint8_t* data, size_t size, uint8_t* const image,
                            const size_t imageEnd) {
  clearCode = 256;
  eoiCode = 257;
  codeData = data;
  codeBytes = size;
  bitPosition = 0;
  resetTable();
  // The steps of writeString, writeStringPlusFirst, addString and readCode,
  // with the decoder's state in a cursor of its own, and in locals while the
  // common codes run: pixels are bytes, and every store to them would
  // otherwise make the compiler fetch the state anew (the clear and end codes
  // are constants, lzwClear and lzwEnd, for the same reason).
  // Each string goes out where it is decoded, and the entry that extends it
  // by the first byte of the next string is set there and then: it points at
  // the string and is one byte longer, a byte that lands right after it with
  // the next string. Until then it is the entry `next`, which no code but the
  // next entry's own reaches. The clear and end codes have no string: their
  // length in the table is 0.
  LzwCursor at{data,
               0,
               static_cast<uint64_t>(size) * 8,
               size >= 8 ? (static_cast<uint64_t>(size) - 7) * 8 : 0,
               image,
               image + imageEnd,
               static_cast<size_t>(nextCode),
               codeWidth};
  // The entry `next` is filled by the string of `length` bytes that went out
  // at c.out, and the next one waits for the byte after that string.
  auto addEntry = [this](LzwCursor& c, size_t length) {
    int32_t next = static_cast<int32_t>(c.next);
    advanceTable(next, c.width, widthMask);
    c.next = static_cast<size_t>(next);
    codeString[c.next] = c.out;
    codeBits[c.next] = static_cast<int32_t>((length + 1) * 8);
    c.out += length;
  };
  // At the strip's start and after a clear code the table holds single bytes
  // only: the first string is one of them (after any further clear codes), and
  // there is no string before it to extend. Any other code ends the strip.
  auto firstString = [this](LzwCursor& c) {
    size_t code = fetchCode(c);
    while (code == lzwClear) code = fetchCode(c);
    if (code > 255 || c.out == c.end) return false;
    codeString[c.next] = c.out;
    codeBits[c.next] = 16;
    *c.out++ = static_cast<uint8_t>(code);
    return true;
  };
  // One code with every check: the end of the image, the clear and end
  // codes, a code beyond the next entry. False once the strip ends.
  auto takeCode = [&](LzwCursor& c, size_t code) {
    if (code > c.next) return false;  // no string to extend
    const uint8_t* from = codeString[code];
    const size_t length = static_cast<uint32_t>(codeBits[code]) >> 3;
    if (length == 0) {
      if (code == lzwEnd) return false;
      resetTable();
      c.next = static_cast<size_t>(nextCode);
      c.width = codeWidth;
      return firstString(c);
    }
    const size_t room = static_cast<size_t>(c.end - c.out);
    if (code == c.next) {
      // The previous string followed by its own first byte: the entry ends
      // on the byte about to go out.
      std::memcpy(c.out, from, std::min(length - 1, room));
      if (length <= room) c.out[length - 1] = from[0];
    } else {
      std::memcpy(c.out, from, std::min(length, room));
    }
    if (length > room) {
      c.out = c.end;
      return false;
    }
    addEntry(c, length);
    return true;
  };

  for (bool more = firstString(at); more;) {
    const uint64_t codes = uncheckedCodes(at);
    if (codes == 0) {
      more = takeCode(at, fetchCode(at));
      continue;
    }
    // The common code, with no check of the ends: a string of at most
    // copySlack bytes that the table already holds goes out as one
    // fixed-size copy. The copy reads and writes copySlack bytes: the string
    // lies before the output or in the single bytes' block, which is padded
    // so, and what lands past it is where later output goes, or is cleared
    // when the strip ends. Any other code goes to takeCode. The run also
    // stops where the code width changes, so that no code in it checks that.
    const uint8_t* const in = at.data;
    uint64_t bit = at.bit;
    uint8_t* out = at.out;
    size_t next = at.next;
    const uint64_t widthBits = static_cast<uint64_t>(at.width);
    const unsigned shift = static_cast<unsigned>(64 - at.width);
    const size_t widthEnd = widthMask[at.width];
    const size_t stop = static_cast<size_t>(std::min<uint64_t>(next + codes, widthEnd));
    size_t other = tiffTableSize;  // a code left to takeCode; none is this large
    do {
      const size_t code = static_cast<size_t>((bigEndian64(in + bit / 8) << (bit % 8)) >> shift);
      bit += widthBits;
      const uint32_t bits = static_cast<uint32_t>(codeBits[code]);
      // Not in the table yet, or no string of 1 to copySlack bytes (the
      // clear and end codes have none).
      if (code >= next || bits - 8 > (copySlack - 1) * 8) {
        other = code;
        break;
      }
      std::memmove(out, codeString[code], copySlack);
      ++next;
      codeString[next] = out;
      codeBits[next] = static_cast<int32_t>(bits + 8);
      out += bits / 8;
    } while (next != stop);
    at.bit = bit;
    at.out = out;
    if (next == widthEnd) {
      // As advanceTable does: a wider code, or the index wrapped, where the
      // waiting entry moves.
      int32_t filled = static_cast<int32_t>(next) - 1;
      advanceTable(filled, at.width, widthMask);
      codeString[filled] = codeString[next];
      codeBits[filled] = codeBits[next];
      next = static_cast<size_t>(filled);
    }
    at.next = next;
    if (other != tiffTableSize) more = takeCode(at, other);
  }
  bitPosition = at.bit;
  codeWidth = at.width;
  nextCode = static_cast<int32_t>(at.next);
  // The fixed-size copies may have run up to copySlack bytes past the output;
  // what the strips do not reach stays zero.
  std::memset(at.out, 0, std::min(copySlack, static_cast<size_t>(at.end - at.out)));
  codeData = nullptr;
  codeBytes = 0;
  return static_cast<size_t>(at.out - image);
}

void TiffImage::resetTable() {
  releaseStrings();
  // No code fills entries 0 to 255, so they are set once for an image.
  if (singleBytes == nullptr) {
    singleBytes = new uint8_t[256 + copySlack]();
    for (int i = 0; i < 256; ++i) {
      singleBytes[i] = static_cast<uint8_t>(i);
      codeString[i] = singleBytes + i;
      codeBits[i] = 8;
    }
  }
  codeBits[clearCode] = codeBits[eoiCode] = 0;
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
  advanceTable(nextCode, codeWidth, widthMask);
}

bool TiffImage::inTable(int32_t code) const { return nextCode > code; }

void TiffImage::undoPredictor() {
  if (pixels == nullptr || (samplesPerPixel != 3 && samplesPerPixel != 4)) return;
  size_t samples = static_cast<size_t>(samplesPerPixel);
  sumAlongRows(pixels, static_cast<size_t>(height), static_cast<size_t>(width) * samples, samples);
}
