// From plain bytes, whatever the strip codecs left them as, to the 8-bit RGB
// or RGBA pixels the texture upload takes: one place for every layout the
// TIFF reader accepts beside its own fast 8-bit RGB path.
//
// Takes: 1, 2, 4, 8 and 16 bits per sample (16-bit samples little-endian, as
// an "II" file holds them; sub-byte samples packed most significant bit
// first, each row starting on a byte); samples interleaved or one plane per
// sample; greyscale (min-is-black, min-is-white), palette and RGB colour,
// greyscale and RGB with one more sample, kept as alpha as the file gives it.
// Samples are brought to 8 bits as libtiff's RGBA reading does: 16-bit ones
// rounded to the nearest of 256 steps, but a 16-bit grey by its high byte;
// sub-byte greys spread over 0 to 255.
// A palette's colours come from its colour map: 16-bit entries are taken by
// their high byte, unless no entry exceeds 255, which marks a map written
// with 8-bit values.
// Passes over: which combinations are sound (the reader decides that before
// calling; see TiffImage), and anything about strips.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

enum class TiffColour { minIsWhite, minIsBlack, rgb, palette };

// How an image's plain bytes are laid out: planes one after the other, each
// of `height` rows of plainRowBytes bytes.
struct TiffSamples {
  int32_t width = 0;
  int32_t height = 0;
  int32_t samplesPerPixel = 0;  // colour samples, plus one for alpha
  int32_t bitsPerSample = 8;
  bool planar = false;          // one plane per sample, else one plane of whole pixels
  TiffColour colour = TiffColour::rgb;
  std::vector<uint16_t> colourMap;  // palette: the red, then green, then blue entries
};

int32_t colourSamples(TiffColour colour);
// 4 where the image has alpha, else 3.
int32_t outputSamples(const TiffSamples& form);
int32_t planeCount(const TiffSamples& form);
uint64_t plainRowBytes(const TiffSamples& form);
uint64_t plainBytes(const TiffSamples& form);

// Horizontal differencing (Predictor 2) undone along every row of every plane,
// on 8- or 16-bit samples.
void undoDifferencing(const TiffSamples& form, uint8_t* plain);

// Writes width x height x outputSamples bytes to out.
void expandToRgb(const TiffSamples& form, const uint8_t* plain, uint8_t* out);
