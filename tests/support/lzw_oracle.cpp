// The plain LZW strip decoder (see lzw_oracle.h).
#include "support/lzw_oracle.h"

#include <utility>

namespace {

using String = std::vector<uint8_t>;

struct Table {
  std::vector<String> strings = std::vector<String>(4096);
  int next = 258;
  int width = 9;

  void reset() {
    for (int i = 0; i < 256; ++i) strings[static_cast<size_t>(i)] = {static_cast<uint8_t>(i)};
    next = 258;
    width = 9;
  }
  void add(String string) {
    strings[static_cast<size_t>(next)] = std::move(string);
    if (next == 510) width = 10;
    if (next == 1022) width = 11;
    if (next == 2046) width = 12;
    if (next == 4094) {
      next = 258;
      width = 9;
    }
    ++next;
  }
};

}  // namespace

std::vector<uint8_t> decodeLzwSimply(const std::vector<std::vector<uint8_t>>& strips,
                                     size_t imageBytes) {
  std::vector<uint8_t> image;
  for (const auto& strip : strips) {
    Table table;
    table.reset();
    size_t bit = 0;
    int old = -1;  // no string to extend: at the start and after a clear code
    while (image.size() < imageBytes) {
      if (bit + static_cast<size_t>(table.width) > strip.size() * 8) break;  // not whole in the strip
      int code = 0;
      for (int k = 0; k < table.width; ++k, ++bit)
        code = code << 1 | (strip[bit / 8] >> (7 - bit % 8) & 1);
      if (code == 257) break;
      if (code == 256) {
        table.reset();
        old = -1;
        continue;
      }
      auto stringOf = [&](int c) { return String(table.strings[static_cast<size_t>(c)]); };
      String string;
      if (old < 0) {
        if (code > 255) break;  // a table code with no table
        string = stringOf(code);
      } else if (code < table.next) {
        string = stringOf(code);
        String added = stringOf(old);
        added.push_back(string[0]);
        table.add(std::move(added));
      } else if (code == table.next) {
        string = stringOf(old);
        string.push_back(string[0]);
        table.add(string);
      } else {
        break;  // beyond the next entry
      }
      for (uint8_t b : string)
        if (image.size() < imageBytes) image.push_back(b);
      old = code;
    }
  }
  image.resize(imageBytes);
  return image;
}
