// The built full-screen program on a display that has the mode: a private
// Xvfb whose one screen is 640 by 480 at 16 bits. The program must take that
// screen with its window, hold the keyboard, draw its frames there, and on a
// window manager's close request give everything back and exit 0.
#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <thread>

#include "support/process.h"
#include "support/x11_client.h"
#include "support/xvfb.h"

// After GoogleTest: Xlib's macros (None, Bool, Status) would clash with its names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

static auto* const xvfb = useOwnXvfb("640x480x16");

namespace {

const std::string program = std::string(BINARY_DIR) + "/demo_fullscreen";

size_t distinctColours(X11Client& client, Window window, int width, int height) {
  XImage* image = XGetImage(client.display, window, 0, 0, static_cast<unsigned>(width),
                            static_cast<unsigned>(height), AllPlanes, ZPixmap);
  if (image == nullptr) return 0;
  std::set<unsigned long> colours;
  for (int y = 0; y < height; y += 4)
    for (int x = 0; x < width; x += 4) colours.insert(XGetPixel(image, x, y));
  XDestroyImage(image);
  return colours.size();
}

// Polls until `holds` does, for what the program does in its own time (the
// grab comes with the focus, the window goes when the server sees the
// program end); false at the deadline.
template <typename Holds>
bool becomes(Holds holds, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!holds()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

}  // namespace

TEST(FullScreenProgram, HoldsTheScreenDrawsThereAndGivesItBackOnClose) {
  X11Client client;
  ASSERT_TRUE(openX11Client(client));
  ChildProcess child;
  ASSERT_TRUE(startProgram(child, program, DATA_DIR));
  Window window = waitForRunningWindow(client);
  ASSERT_NE(window, 0u) << child.output;

  // The window covers the whole 640 by 480 screen, in the 16-bit visual.
  XWindowAttributes attributes;
  ASSERT_NE(XGetWindowAttributes(client.display, window, &attributes), 0);
  EXPECT_EQ(attributes.width, 640);
  EXPECT_EQ(attributes.height, 480);
  EXPECT_EQ(attributes.depth, 16);
  int screenX = -1, screenY = -1;
  Window child_;
  XTranslateCoordinates(client.display, window, DefaultRootWindow(client.display), 0, 0, &screenX,
                        &screenY, &child_);
  EXPECT_EQ(screenX, 0);
  EXPECT_EQ(screenY, 0);
  EXPECT_EQ(DisplayWidth(client.display, 0), 640);
  EXPECT_EQ(DisplayHeight(client.display, 0), 480);
  EXPECT_TRUE(becomes([&] { return !keyboardIsFree(client); }, 20000))
      << "the program does not hold the keyboard";

  // Frames land in the full-screen window: the caption keeps turning over
  // and the picture is more than a cleared background.
  std::string firstRate = windowName(client, window);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (windowName(client, window) == firstRate && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_NE(windowName(client, window), firstRate);
  EXPECT_GT(distinctColours(client, window, 640, 480), 2u);

  sendDeleteWindow(client, window);
  EXPECT_EQ(waitForExit(child, 20000), 0) << child.output;
  EXPECT_TRUE(becomes([&] { return !windowExists(client, window); }, 20000));
  EXPECT_TRUE(becomes([&] { return keyboardIsFree(client); }, 20000));
  EXPECT_EQ(child.output, "") << "nothing is reported";
  closeX11Client(client);
}
