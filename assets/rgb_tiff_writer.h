// A picture as the bytes of a TIFF file: little-endian ("II"), one baseline
// RGB image of 8 bits per sample, interleaved, uncompressed, in strips of
// whole rows of at most about a megabyte (one strip for a small picture), at
// 72 pixels per inch. Nothing else: no compression, no alpha, no second image.
// Bytes only; writing them to a file is the caller's.
#pragma once

#include <cstdint>
#include <vector>

// rows: height rows of width RGB pixels, top row first, no padding. Empty
// when the size is not positive or the file would pass 2 GB.
std::vector<uint8_t> rgbTiffBytes(int32_t width, int32_t height, const uint8_t* rows);
