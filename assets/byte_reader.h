// A bounded little-endian reader over bytes held in memory or over part of an
// open file, and the loading of a whole file into memory. Every read of
// untrusted file data goes through it: it never passes its end, and a read
// that would is marked as an overrun and yields zero bytes for the part that
// is missing. Over a file it holds one window of the file at a time, and reads
// large enough to fill the window go straight to their destination, so what
// a reader costs in memory is what it keeps, never the file's size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "assets/file_access.h"

struct ByteReader {
  InputFile* file;        // null over bytes in memory
  uint64_t size;          // where the reader ends: the bytes' size, or a point in the file
  uint64_t position;      // never beyond size
  bool overrun;           // set once any read or skip wanted bytes past the end
  const uint8_t* window;  // bytes held from windowStart on: all of them in memory
  uint64_t windowStart;
  size_t windowSize;
  std::vector<uint8_t> buffer;  // the window's storage over a file
};

ByteReader makeByteReader(const std::vector<uint8_t>& bytes);
// Reads the file from its start up to end, or to its own end if that comes
// first. The file stays open and owned by the caller while the reader is used.
ByteReader makeFileReader(InputFile* file, uint64_t end);
// A reader of its own over the same bytes or file, at the start, ending where
// this one ends: for reading two places of a file by turns.
ByteReader makeSiblingReader(const ByteReader& reader);

uint64_t bytesLeft(const ByteReader& reader);

// Moves the end nearer, never further than it is.
void limitReader(ByteReader& reader, uint64_t end);

uint8_t readU8(ByteReader& reader);
uint16_t readU16(ByteReader& reader);
uint32_t readU32(ByteReader& reader);
float readF32(ByteReader& reader);

// Copies up to count bytes to destination and returns how many were there;
// the rest of destination is left untouched.
size_t readBytes(ByteReader& reader, void* destination, size_t count);

// Moves on by count bytes, stopping at the end.
void skipBytes(ByteReader& reader, uint64_t count);

// Moves to an absolute offset; an offset past the end leaves the reader at the
// end with overrun set.
void seekTo(ByteReader& reader, uint64_t offset);

// Loads a whole regular file; false when it is not one or cannot be opened or read.
bool loadFile(const char* path, std::vector<uint8_t>& bytes);
