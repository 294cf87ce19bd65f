// The view keys of a running program (see view_keys.h).
#include "support/view_keys.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "support/window_image.h"

namespace {

// A caption naming the part (" - name" after the rate), or none for an empty name.
bool waitForCaptionNaming(X11Client& client, Window window, const std::string& name) {
  for (int tries = 0; tries < 500; ++tries) {
    const std::string caption = windowName(client, window);
    const size_t at = caption.find(" - ");
    if (name.empty() ? at == std::string::npos
                     : at != std::string::npos && caption.substr(at + 3) == name)
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

}  // namespace

void expectViewKeys(X11Client& client, Window captioned, Window drawn, int width, int height) {
  const auto picture = [&] {
    waitForFrames(client, captioned);
    return readWindowPixels(client, drawn, width, height);
  };
  const auto tap = [&client](unsigned long keysym) {
    pressKey(client, keysym);
    releaseKey(client, keysym);
  };
  const std::vector<uint32_t> whole = picture();
  ASSERT_EQ(whole.size(), static_cast<size_t>(width) * static_cast<size_t>(height));
  tap(XK_F3);
  EXPECT_FALSE(picture() == whole) << "F3 showed no volume";
  tap(XK_F3);
  EXPECT_TRUE(picture() == whole) << "F3 again gave another picture";
  for (const std::string name : {"depth buffer", "shadow mask", "lit", "ambient", "textured", ""}) {
    tap(XK_F4);
    EXPECT_TRUE(waitForCaptionNaming(client, captioned, name))
        << "F4 to \"" << name << "\", the caption: " << windowName(client, captioned);
    EXPECT_EQ(picture() == whole, name.empty()) << "F4 to \"" << name << "\"";
  }
}
