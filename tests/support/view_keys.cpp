// F3 and F4 pressed for real (see view_keys.h).
#include "support/view_keys.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "support/window_image.h"

void expectViewKeys(X11Client& client, Window captioned, Window drawn, int width, int height) {
  const auto picture = [&] {
    waitForFrames(client, captioned);
    return readWindowPixels(client, drawn, width, height);
  };
  const auto press = [&client](unsigned long keysym) {
    pressKey(client, keysym);
    releaseKey(client, keysym);
  };
  // What follows the rate in the caption: " - " and the part's name, or nothing.
  const auto captionAfterRate = [&] {
    const std::string caption = windowName(client, captioned);
    return caption.substr(std::min(caption.find(" - "), caption.size()));
  };
  // The same in the second shadow mode, after F2; from the start view, where
  // no volume reaches the eye or the far plane, both modes find the same shadow.
  std::vector<uint32_t> firstMode;
  for (int mode = 0; mode < 2; ++mode) {
    SCOPED_TRACE(mode == 0 ? "first mode" : "second mode");
    if (mode == 1) press(XK_F2);
    const std::vector<uint32_t> whole = picture();
    ASSERT_EQ(whole.size(), static_cast<size_t>(width) * static_cast<size_t>(height));
    if (mode == 0) firstMode = whole;
    const size_t alike = static_cast<size_t>(
        std::inner_product(whole.begin(), whole.end(), firstMode.begin(), size_t{0},
                           std::plus<size_t>(), std::equal_to<uint32_t>()));
    EXPECT_GE(static_cast<double>(alike), 0.999 * static_cast<double>(whole.size()));
    press(XK_F3);
    EXPECT_FALSE(picture() == whole) << "F3 showed no volume";
    press(XK_F3);
    EXPECT_TRUE(picture() == whole) << "F3 again gave another picture";
    for (const std::string part :
         {"depth buffer", "shadow mask", "lit", "ambient", "textured", ""}) {
      press(XK_F4);
      const std::string named = part.empty() ? "" : " - " + part;
      std::string seen;
      for (int tries = 0; tries < 500 && (seen = captionAfterRate()) != named; ++tries)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      EXPECT_EQ(seen, named);
      EXPECT_EQ(picture() == whole, part.empty()) << "F4 to \"" << part << "\"";
    }
  }
}
