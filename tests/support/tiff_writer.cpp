// Builds TIFF files in memory for tests (see tiff_writer.h).
#include "support/tiff_writer.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <map>
#include <utility>

namespace {

class BitWriter {
 public:
  void put(int code, int width) {
    for (int bit = width - 1; bit >= 0; --bit) {
      current = static_cast<uint8_t>((current << 1) | ((code >> bit) & 1));
      if (++used == 8) {
        bytes.push_back(current);
        current = 0;
        used = 0;
      }
    }
  }
  std::vector<uint8_t> finish() {
    if (used > 0) bytes.push_back(static_cast<uint8_t>(current << (8 - used)));
    used = 0;
    current = 0;
    return bytes;
  }

 private:
  std::vector<uint8_t> bytes;
  uint8_t current = 0;
  int used = 0;
};

constexpr int clearCode = 256;
constexpr int endCode = 257;

class ByteWriter {
 public:
  explicit ByteWriter(bool big) : bigEndian(big) {}
  void put16(size_t at, uint32_t v) { put(at, v, 2); }
  void put32(size_t at, uint32_t v) { put(at, v, 4); }
  std::vector<uint8_t> bytes;

 private:
  void put(size_t at, uint32_t v, int size) {
    if (bytes.size() < at + static_cast<size_t>(size)) bytes.resize(at + static_cast<size_t>(size));
    for (int i = 0; i < size; ++i) {
      int shift = bigEndian ? 8 * (size - 1 - i) : 8 * i;
      bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> shift);
    }
  }
  bool bigEndian;
};

}  // namespace

std::vector<uint8_t> lzwEncode(const std::vector<uint8_t>& data) {
  BitWriter out;
  std::map<std::pair<int, int>, int> table;  // (prefix code, byte) -> code
  int width = 9;
  int next = 258;
  out.put(clearCode, width);
  if (data.empty()) {
    out.put(endCode, width);
    return out.finish();
  }
  // The decoder adds an entry one code after the encoder does, so the encoder
  // widens when its own next entry reaches 512, 1024, 2048.
  auto grow = [&]() {
    ++next;
    if (next == 4094) {
      out.put(clearCode, width);
      table.clear();
      next = 258;
      width = 9;
    } else if (next == 512 || next == 1024 || next == 2048) {
      ++width;
    }
  };
  int prefix = data[0];
  for (size_t i = 1; i < data.size(); ++i) {
    auto found = table.find({prefix, data[i]});
    if (found != table.end()) {
      prefix = found->second;
      continue;
    }
    out.put(prefix, width);
    table[{prefix, data[i]}] = next;
    grow();
    prefix = data[i];
  }
  out.put(prefix, width);
  grow();  // the decoder still adds an entry for the last code before the end code
  out.put(endCode, width);
  return out.finish();
}

std::vector<uint8_t> packCodes(const std::vector<int>& codes) {
  BitWriter out;
  int width = 9;
  int next = 258;
  bool previous = false;
  for (int code : codes) {
    out.put(code, width);
    if (code == clearCode) {
      width = 9;
      next = 258;
      previous = false;
    } else if (code != endCode) {
      if (previous) {
        if (next == 510) width = 10;
        if (next == 1022) width = 11;
        if (next == 2046) width = 12;
        if (next == 4094) {
          next = 258;
          width = 9;
        }
        ++next;
      }
      previous = true;
    }
  }
  return out.finish();
}

std::vector<uint8_t> differenceRows(const std::vector<uint8_t>& pixels, int width, int height,
                                    int samplesPerPixel) {
  std::vector<uint8_t> out = pixels;
  size_t row = static_cast<size_t>(width) * static_cast<size_t>(samplesPerPixel);
  size_t samples = static_cast<size_t>(samplesPerPixel);
  for (size_t y = 0; y < static_cast<size_t>(height); ++y)
    for (size_t i = samples; i < row; ++i)
      out[y * row + i] = static_cast<uint8_t>(pixels[y * row + i] - pixels[y * row + i - samples]);
  return out;
}

TiffParts makeTiffParts(const TiffLayout& layout, const std::vector<uint8_t>& pixels) {
  TiffParts parts;
  parts.bigEndian = layout.bigEndian;
  std::vector<uint8_t> stored = pixels;
  if (layout.predictor == 2)
    stored = differenceRows(pixels, layout.width, layout.height, layout.samplesPerPixel);
  size_t rowBytes = static_cast<size_t>(layout.width) * static_cast<size_t>(layout.samplesPerPixel);
  int rowsPerStrip = layout.rowsPerStrip > 0 ? layout.rowsPerStrip : std::max(layout.height, 1);
  for (int row = 0; row < layout.height; row += rowsPerStrip) {
    int rows = std::min(rowsPerStrip, layout.height - row);
    auto begin = stored.begin() + static_cast<std::ptrdiff_t>(static_cast<size_t>(row) * rowBytes);
    std::vector<uint8_t> strip(begin, begin + static_cast<std::ptrdiff_t>(
                                                 static_cast<size_t>(rows) * rowBytes));
    parts.strips.push_back(layout.compression == 5 ? lzwEncode(strip) : strip);
  }
  uint32_t spp = static_cast<uint32_t>(layout.samplesPerPixel);
  parts.entries = {
      {256, layout.sizeType, {static_cast<uint32_t>(layout.width)}},
      {257, layout.sizeType, {static_cast<uint32_t>(layout.height)}},
      {258, tiffShort, std::vector<uint32_t>(spp, 8)},
      {259, tiffShort, {static_cast<uint32_t>(layout.compression)}},
      {262, tiffShort, {2}},
      {273, layout.stripArrayType, {}},
      {277, tiffShort, {spp}},
      {278, tiffLong, {static_cast<uint32_t>(rowsPerStrip)}},
      {279, layout.stripArrayType, {}},
      {284, tiffShort, {1}},
  };
  if (layout.predictor != 1)
    parts.entries.push_back({317, tiffShort, {static_cast<uint32_t>(layout.predictor)}});
  if (layout.samplesPerPixel == 4) parts.entries.push_back({338, tiffShort, {2}});
  return parts;
}

TiffEntry* findEntry(TiffParts& parts, uint16_t tag) {
  for (TiffEntry& entry : parts.entries)
    if (entry.tag == tag) return &entry;
  return nullptr;
}

std::vector<uint8_t> assembleTiff(const TiffParts& parts) {
  ByteWriter out(parts.bigEndian);
  out.bytes = {static_cast<uint8_t>(parts.bigEndian ? 'M' : 'I'),
               static_cast<uint8_t>(parts.bigEndian ? 'M' : 'I')};
  out.put16(2, 42);
  size_t at = 8;
  std::vector<uint32_t> offsets;
  std::vector<uint32_t> sizes;
  for (const auto& strip : parts.strips) {
    offsets.push_back(static_cast<uint32_t>(at));
    sizes.push_back(static_cast<uint32_t>(strip.size()));
    out.bytes.resize(at);
    out.bytes.insert(out.bytes.end(), strip.begin(), strip.end());
    at += strip.size();
  }
  at += at % 2;
  out.put32(4, static_cast<uint32_t>(at));
  size_t directory = at;
  size_t extra = directory + 2 + 12 * parts.entries.size() + 4;
  out.put16(directory, static_cast<uint32_t>(parts.entries.size()));
  for (size_t i = 0; i < parts.entries.size(); ++i) {
    const TiffEntry& entry = parts.entries[i];
    size_t e = directory + 2 + 12 * i;
    out.put16(e, entry.tag);
    out.put16(e + 2, entry.type);
    if (entry.raw) {
      out.put32(e + 4, entry.count);
      out.put32(e + 8, entry.field);
      continue;
    }
    std::vector<uint32_t> values = entry.values;
    if (values.empty() && entry.tag == 273) values = offsets;
    if (values.empty() && entry.tag == 279) values = sizes;
    size_t size = entry.type == tiffShort ? 2 : 4;
    out.put32(e + 4, static_cast<uint32_t>(values.size()));
    size_t place = e + 8;
    out.put32(e + 8, 0);
    if (values.size() * size > 4) {
      out.put32(e + 8, static_cast<uint32_t>(extra));
      place = extra;
      extra += values.size() * size;
      extra += extra % 2;
    }
    for (size_t v = 0; v < values.size(); ++v) {
      if (size == 2)
        out.put16(place + 2 * v, values[v]);
      else
        out.put32(place + 4 * v, values[v]);
    }
  }
  out.put32(directory + 2 + 12 * parts.entries.size(), 0);
  return out.bytes;
}

std::vector<uint8_t> writeTiff(const TiffLayout& layout, const std::vector<uint8_t>& pixels) {
  return assembleTiff(makeTiffParts(layout, pixels));
}

bool writeFileBytes(const char* path, const std::vector<uint8_t>& bytes) {
  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}
