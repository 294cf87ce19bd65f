// A bounded little-endian reader over bytes held in memory, and the loading of
// a whole file into memory. Every read of untrusted file data goes through it:
// it never passes the end, and a read that would is marked as an overrun and
// yields zero bytes for the part that is missing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct ByteReader {
  const uint8_t* data;
  size_t size;
  size_t position;  // never beyond size
  bool overrun;     // set once any read or skip wanted bytes past the end
};

ByteReader makeByteReader(const std::vector<uint8_t>& bytes);
size_t bytesLeft(const ByteReader& reader);

uint8_t readU8(ByteReader& reader);
uint16_t readU16(ByteReader& reader);
uint32_t readU32(ByteReader& reader);
float readF32(ByteReader& reader);

// Copies up to count bytes to destination and returns how many were there;
// the rest of destination is left untouched.
size_t readBytes(ByteReader& reader, void* destination, size_t count);

// Moves on by count bytes, stopping at the end.
void skipBytes(ByteReader& reader, size_t count);

// Moves to an absolute offset; an offset past the end leaves the reader at the
// end with overrun set.
void seekTo(ByteReader& reader, size_t offset);

// Loads a whole regular file; false when it is not one or cannot be opened or read.
bool loadFile(const char* path, std::vector<uint8_t>& bytes);
