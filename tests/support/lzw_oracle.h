// The LZW strip decoder written the plain way: every table string a vector of
// its own, codes read bit by bit, each rule on damaged strips a line of its
// own. Tests compare TiffImage's decoder with it. Not for the program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Decodes the strips one after the other into an image of imageBytes bytes,
// each strip with a fresh table; output past the image is dropped and what
// the strips do not reach is zero.
std::vector<uint8_t> decodeLzwSimply(const std::vector<std::vector<uint8_t>>& strips,
                                     size_t imageBytes);
