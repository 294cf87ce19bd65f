// The bounded byte reader and whole-file loading (see byte_reader.h).
#include "assets/byte_reader.h"

#include <algorithm>
#include <cstring>

namespace {

// Large enough that a walk over many small chunks costs few system calls,
// small enough to be nothing beside what the readers keep.
constexpr size_t windowCapacity = 65536;

bool inWindow(const ByteReader& reader, uint64_t count) {
  return reader.position >= reader.windowStart &&
         reader.position - reader.windowStart + count <= reader.windowSize;
}

// Holds the bytes from the position on in the window. A file that turns out
// shorter than it was (cut while being read, or failing) ends the reader there.
void fillWindow(ByteReader& reader) {
  size_t wanted = static_cast<size_t>(std::min<uint64_t>(windowCapacity, bytesLeft(reader)));
  // Near the end of a small file the window is no larger than what is left.
  if (reader.buffer.size() < wanted) reader.buffer.resize(wanted);
  size_t got = readInputFile(reader.file, reader.position, reader.buffer.data(), wanted);
  reader.window = reader.buffer.data();
  reader.windowStart = reader.position;
  reader.windowSize = got;
  if (got < wanted) reader.size = reader.position + got;
}

}  // namespace

ByteReader makeByteReader(const std::vector<uint8_t>& bytes) {
  return ByteReader{nullptr, bytes.size(), 0, false, bytes.data(), 0, bytes.size(), {}};
}

ByteReader makeFileReader(InputFile* file, uint64_t end) {
  return ByteReader{file, std::min(end, inputFileSize(file)), 0, false, nullptr, 0, 0, {}};
}

ByteReader makeSiblingReader(const ByteReader& reader) {
  if (reader.file == nullptr) {
    return ByteReader{nullptr, reader.size, 0, false, reader.window, 0, reader.windowSize, {}};
  }
  return makeFileReader(reader.file, reader.size);
}

uint64_t bytesLeft(const ByteReader& reader) { return reader.size - reader.position; }

void limitReader(ByteReader& reader, uint64_t end) {
  reader.size = std::max(reader.position, std::min(reader.size, end));
}

uint8_t readU8(ByteReader& reader) {
  uint8_t byte = 0;
  readBytes(reader, &byte, 1);
  return byte;
}

uint16_t readU16(ByteReader& reader) {
  uint8_t b[2] = {0, 0};
  readBytes(reader, b, 2);
  return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

uint32_t readU32(ByteReader& reader) {
  uint8_t b[4] = {0, 0, 0, 0};
  readBytes(reader, b, 4);
  return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
         (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

float readF32(ByteReader& reader) {
  uint32_t bits = readU32(reader);
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

size_t readBytes(ByteReader& reader, void* destination, size_t count) {
  if (count > bytesLeft(reader)) {
    reader.overrun = true;
    count = static_cast<size_t>(bytesLeft(reader));
  }
  if (count == 0) return 0;
  uint8_t* to = static_cast<uint8_t*>(destination);
  if (!inWindow(reader, count) && reader.file != nullptr) {
    if (count >= windowCapacity) {
      size_t got = readInputFile(reader.file, reader.position, to, count);
      reader.position += got;
      if (got < count) {
        reader.size = reader.position;
        reader.overrun = true;
      }
      return got;
    }
    fillWindow(reader);
    if (!inWindow(reader, count)) {
      reader.overrun = true;
      count = static_cast<size_t>(bytesLeft(reader));
    }
  }
  if (count > 0) std::memcpy(to, reader.window + (reader.position - reader.windowStart), count);
  reader.position += count;
  return count;
}

void skipBytes(ByteReader& reader, uint64_t count) {
  if (count > bytesLeft(reader)) {
    reader.overrun = true;
    count = bytesLeft(reader);
  }
  reader.position += count;
}

void seekTo(ByteReader& reader, uint64_t offset) {
  if (offset > reader.size) {
    reader.overrun = true;
    offset = reader.size;
  }
  reader.position = offset;
}

bool loadFile(const char* path, std::vector<uint8_t>& bytes) {
  bytes.clear();
  InputFile* file = openInputFile(path);
  if (file == nullptr) return false;
  ByteReader reader = makeFileReader(file, inputFileSize(file));
  bytes.resize(static_cast<size_t>(bytesLeft(reader)));
  bytes.resize(readBytes(reader, bytes.data(), bytes.size()));
  bool ok = !inputFileFailed(file);
  closeInputFile(file);
  if (!ok) bytes.clear();
  return ok;
}
