// PackBits and Deflate strips, and FillOrder 2 (see tiff_codecs.h).
#include "assets/tiff_codecs.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <limits>

void reverseBits(uint8_t* bytes, size_t count) {
  static const auto reversed = [] {
    struct Table {
      uint8_t of[256];
    } table{};
    for (int value = 0; value < 256; ++value) {
      int flipped = 0;
      for (int bit = 0; bit < 8; ++bit) flipped |= ((value >> bit) & 1) << (7 - bit);
      table.of[value] = static_cast<uint8_t>(flipped);
    }
    return table;
  }();
  for (size_t i = 0; i < count; ++i) bytes[i] = reversed.of[bytes[i]];
}

size_t unpackBits(const uint8_t* in, size_t inSize, uint8_t* out, size_t room) {
  size_t at = 0;
  size_t written = 0;
  while (at < inSize && written < room) {
    int header = static_cast<int8_t>(in[at++]);
    if (header >= 0) {
      size_t count = std::min({static_cast<size_t>(header) + 1, inSize - at, room - written});
      std::memcpy(out + written, in + at, count);
      at += static_cast<size_t>(header) + 1;
      written += count;
    } else if (header != -128) {
      if (at >= inSize) break;
      size_t count = std::min(static_cast<size_t>(1 - header), room - written);
      std::memset(out + written, in[at++], count);
      written += count;
    }
  }
  return written;
}

size_t inflateStrip(const uint8_t* in, size_t inSize, uint8_t* out, size_t room) {
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) return 0;
  // zlib counts in uInt; a strip or an image past 4 GB is fed in parts.
  constexpr size_t part = std::numeric_limits<uInt>::max();
  stream.next_in = const_cast<Bytef*>(in);
  stream.next_out = out;
  size_t inLeft = inSize;
  size_t outLeft = room;
  for (;;) {
    if (stream.avail_in == 0 && inLeft > 0) {
      stream.avail_in = static_cast<uInt>(std::min(inLeft, part));
      inLeft -= stream.avail_in;
    }
    if (stream.avail_out == 0) {
      if (outLeft == 0) break;
      stream.avail_out = static_cast<uInt>(std::min(outLeft, part));
      outLeft -= stream.avail_out;
    }
    // Anything but Z_OK is the end of the stream, damage, or no way on.
    if (inflate(&stream, Z_NO_FLUSH) != Z_OK) break;
    if (stream.avail_in == 0 && inLeft == 0 && stream.avail_out > 0) break;
  }
  size_t written = static_cast<size_t>(stream.next_out - out);
  inflateEnd(&stream);
  return written;
}
