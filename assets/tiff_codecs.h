// The strip codecs beside LZW (which lives with TiffImage and its table):
// PackBits and Deflate, each turning one strip's bytes into plain bytes, and
// the bit order of FillOrder 2 undone on a strip's bytes before any codec.
// Every codec writes no more than the room it is given, whatever the strip
// claims, so a strip that would expand past its rows (a decompression bomb)
// is cut there; and reads nothing past the strip's last byte. A damaged
// stream ends the strip where it breaks: what came out before stays.
// Passes over: every other codec (the reader declines those before decoding).
#pragma once

#include <cstddef>
#include <cstdint>

// Reverses the bits of each byte, for strips written least significant bit first.
void reverseBits(uint8_t* bytes, size_t count);

// PackBits: a header byte n, then n + 1 literal bytes (n from 0 to 127) or one
// byte repeated 1 - n times (n from -127 to -1); -128 is passed over. Returns
// how many bytes went to out.
size_t unpackBits(const uint8_t* in, size_t inSize, uint8_t* out, size_t room);

// Deflate as zlib wraps it (Compression 8 and the older 32946). Returns how
// many bytes went to out.
size_t inflateStrip(const uint8_t* in, size_t inSize, uint8_t* out, size_t room);
