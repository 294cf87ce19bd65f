// Plain bytes of any accepted layout to 8-bit RGB(A) (see tiff_samples.h).
// Written for clarity over speed: the forms that are common for textures,
// 8-bit interleaved RGB and RGBA, never come here.
#include "assets/tiff_samples.h"

#include <algorithm>

namespace {

uint32_t sampleAt(const uint8_t* row, uint64_t index, int32_t bits) {
  if (bits == 8) return row[index];
  if (bits == 16) return static_cast<uint32_t>(row[2 * index] | row[2 * index + 1] << 8);
  uint64_t bit = index * static_cast<uint64_t>(bits);
  int shift = 8 - bits - static_cast<int>(bit % 8);
  return (static_cast<uint32_t>(row[bit / 8]) >> shift) & ((1u << bits) - 1u);
}

uint8_t to8Bits(uint32_t value, int32_t bits) {
  if (bits == 16) return static_cast<uint8_t>((value + 128) / 257);
  if (bits == 8) return static_cast<uint8_t>(value);
  return static_cast<uint8_t>(value * 255 / ((1u << bits) - 1u));
}

}  // namespace

int32_t colourSamples(TiffColour colour) { return colour == TiffColour::rgb ? 3 : 1; }

int32_t outputSamples(const TiffSamples& form) {
  return form.samplesPerPixel > colourSamples(form.colour) ? 4 : 3;
}

int32_t planeCount(const TiffSamples& form) { return form.planar ? form.samplesPerPixel : 1; }

uint64_t plainRowBytes(const TiffSamples& form) {
  uint64_t samples = static_cast<uint64_t>(form.width) *
                     static_cast<uint64_t>(form.planar ? 1 : form.samplesPerPixel);
  return (samples * static_cast<uint64_t>(form.bitsPerSample) + 7) / 8;
}

uint64_t plainBytes(const TiffSamples& form) {
  return plainRowBytes(form) * static_cast<uint64_t>(form.height) *
         static_cast<uint64_t>(planeCount(form));
}

void undoDifferencing(const TiffSamples& form, uint8_t* plain) {
  const uint64_t rowBytes = plainRowBytes(form);
  const uint64_t stride = static_cast<uint64_t>(form.planar ? 1 : form.samplesPerPixel);
  const uint64_t rowSamples = static_cast<uint64_t>(form.width) * stride;
  const uint64_t rows = static_cast<uint64_t>(form.height) * static_cast<uint64_t>(planeCount(form));
  for (uint64_t r = 0; r < rows; ++r) {
    uint8_t* row = plain + r * rowBytes;
    if (form.bitsPerSample == 16) {
      for (uint64_t i = stride; i < rowSamples; ++i) {
        uint32_t sum = sampleAt(row, i, 16) + sampleAt(row, i - stride, 16);
        row[2 * i] = static_cast<uint8_t>(sum);
        row[2 * i + 1] = static_cast<uint8_t>(sum >> 8);
      }
    } else {
      for (uint64_t i = stride; i < rowSamples; ++i)
        row[i] = static_cast<uint8_t>(row[i] + row[i - stride]);
    }
  }
}

void expandToRgb(const TiffSamples& form, const uint8_t* plain, uint8_t* out) {
  const int32_t bits = form.bitsPerSample;
  const int32_t samples = form.samplesPerPixel;
  const int32_t colours = colourSamples(form.colour);
  const uint64_t rowBytes = plainRowBytes(form);
  const uint64_t planeBytes = rowBytes * static_cast<uint64_t>(form.height);

  // The palette as 8-bit red, green and blue.
  std::vector<uint8_t> palette;
  if (form.colour == TiffColour::palette) {
    const size_t entries = size_t{1} << bits;
    bool wide = std::any_of(form.colourMap.begin(), form.colourMap.end(),
                            [](uint16_t value) { return value > 255; });
    palette.resize(3 * entries);
    for (size_t i = 0; i < palette.size() && i < form.colourMap.size(); ++i)
      palette[i] = static_cast<uint8_t>(wide ? form.colourMap[i] >> 8 : form.colourMap[i]);
  }

  for (int32_t y = 0; y < form.height; ++y) {
    const uint8_t* row = plain + static_cast<uint64_t>(y) * rowBytes;
    for (int32_t x = 0; x < form.width; ++x) {
      uint32_t raw[4] = {0, 0, 0, 0};
      for (int32_t s = 0; s < samples; ++s) {
        raw[s] = form.planar ? sampleAt(row + static_cast<uint64_t>(s) * planeBytes,
                                        static_cast<uint64_t>(x), bits)
                             : sampleAt(row, static_cast<uint64_t>(x) * samples + s, bits);
      }
      switch (form.colour) {
        case TiffColour::rgb:
          for (int c = 0; c < 3; ++c) out[c] = to8Bits(raw[c], bits);
          break;
        case TiffColour::minIsBlack:
        case TiffColour::minIsWhite: {
          // libtiff takes a 16-bit grey by its high byte, other 16-bit samples rounded.
          uint8_t grey = bits == 16 ? static_cast<uint8_t>(raw[0] >> 8) : to8Bits(raw[0], bits);
          if (form.colour == TiffColour::minIsWhite) grey = static_cast<uint8_t>(255 - grey);
          out[0] = out[1] = out[2] = grey;
          break;
        }
        case TiffColour::palette: {
          const size_t entries = palette.size() / 3;
          out[0] = palette[raw[0]];
          out[1] = palette[entries + raw[0]];
          out[2] = palette[2 * entries + raw[0]];
          break;
        }
      }
      if (samples > colours) {
        out[3] = to8Bits(raw[colours], bits);
        out += 4;
      } else {
        out += 3;
      }
    }
  }
}
