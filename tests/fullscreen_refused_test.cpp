// The built full-screen program on a display that lacks the mode: a private
// Xvfb whose one screen is 1024 by 768 at 24 bits. The mode is refused, and
// the program must then run in its 800 by 600 window as demo_windowed does,
// leaving screen and keyboard alone, and still close with exit code 0.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "support/process.h"
#include "support/x11_client.h"
#include "support/xvfb.h"

// After GoogleTest: Xlib's macros (None, Bool, Status) would clash with its names.
#include <X11/Xlib.h>

static auto* const xvfb = useOwnXvfb("1024x768x24");

namespace {

const std::string program = std::string(BINARY_DIR) + "/demo_fullscreen";

}  // namespace

TEST(FullScreenRefused, RunsInItsWindowAndClosesCleanly) {
  X11Client client;
  ASSERT_TRUE(openX11Client(client));
  ChildProcess child;
  ASSERT_TRUE(startProgram(child, program, DATA_DIR));
  Window window = waitForRunningWindow(client);
  ASSERT_NE(window, 0u) << "no frames drawn: " << child.output;

  int width = 0, height = 0;
  ASSERT_TRUE(windowSize(client, window, width, height));
  EXPECT_EQ(width, 800);
  EXPECT_EQ(height, 600);
  EXPECT_EQ(DisplayWidth(client.display, 0), 1024);
  EXPECT_EQ(DisplayHeight(client.display, 0), 768);
  EXPECT_TRUE(keyboardIsFree(client)) << "a refused mode must not hold the keyboard";

  sendDeleteWindow(client, window);
  EXPECT_EQ(waitForExit(child, 20000), 0) << child.output;
  EXPECT_FALSE(windowExists(client, window));
  EXPECT_EQ(child.output, "") << "a refusal is not reported";
  closeX11Client(client);
}
