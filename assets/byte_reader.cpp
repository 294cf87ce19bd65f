// The bounded byte reader and whole-file loading (see byte_reader.h).
#include "assets/byte_reader.h"

#include <cstdio>
#include <cstring>

#include <sys/stat.h>

ByteReader makeByteReader(const std::vector<uint8_t>& bytes) {
  return ByteReader{bytes.data(), bytes.size(), 0, false};
}

size_t bytesLeft(const ByteReader& reader) { return reader.size - reader.position; }

uint8_t readU8(ByteReader& reader) {
  if (bytesLeft(reader) < 1) {
    reader.overrun = true;
    return 0;
  }
  return reader.data[reader.position++];
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
  size_t available = bytesLeft(reader);
  if (count > available) {
    reader.overrun = true;
    count = available;
  }
  if (count > 0) std::memcpy(destination, reader.data + reader.position, count);
  reader.position += count;
  return count;
}

void skipBytes(ByteReader& reader, size_t count) {
  size_t available = bytesLeft(reader);
  if (count > available) {
    reader.overrun = true;
    count = available;
  }
  reader.position += count;
}

void seekTo(ByteReader& reader, size_t offset) {
  if (offset > reader.size) {
    reader.overrun = true;
    offset = reader.size;
  }
  reader.position = offset;
}

bool loadFile(const char* path, std::vector<uint8_t>& bytes) {
  bytes.clear();
  // Only regular files: a pipe would block the opening and a device such as
  // /dev/zero would never end.
  struct stat before;
  if (stat(path, &before) != 0 || !S_ISREG(before.st_mode)) return false;
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  // A regular file's size is only a first guess at the room needed, one byte more
  // so that the first read already meets the end; reading goes on to the end
  // whatever the file holds by then. Reading into place spares a copy per block.
  size_t room = 65536;
  struct stat status;
  if (fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0) {
    room = static_cast<size_t>(status.st_size) + 1;
  }
  bytes.resize(room);
  size_t filled = 0;
  bool ok = true;
  for (;;) {
    if (filled == bytes.size()) bytes.resize(bytes.size() * 2);
    size_t wanted = bytes.size() - filled;
    size_t got = std::fread(bytes.data() + filled, 1, wanted, file);
    filled += got;
    if (got < wanted) {
      ok = std::ferror(file) == 0;
      break;
    }
  }
  bytes.resize(filled);
  std::fclose(file);
  if (!ok) bytes.clear();
  return ok;
}
