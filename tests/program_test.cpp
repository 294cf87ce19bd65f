// The built program as a user starts it: from the data folder it opens its
// window and closes cleanly on a window manager's close request and on
// SIGTERM; from a folder without its files it says so and exits non-zero.
#include <X11/keysym.h>
#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "support/process.h"
#include "support/x11_client.h"
#include "support/xvfb.h"

static auto* const xvfb = useOwnXvfb();

namespace {

const std::string program = std::string(BINARY_DIR) + "/demo_windowed";

}  // namespace

TEST(Program, ClosesWithZeroWhenTheWindowManagerAsks) {
  X11Client client;
  ASSERT_TRUE(openX11Client(client));
  ChildProcess child;
  ASSERT_TRUE(startProgram(child, program, DATA_DIR));
  Window window = waitForRunningWindow(client);
  ASSERT_NE(window, 0u) << child.output;
  sendDeleteWindow(client, window);
  EXPECT_EQ(waitForExit(child, 20000), 0) << child.output;
  closeX11Client(client);
}

TEST(Program, ClosesWithZeroOnSigterm) {
  X11Client client;
  ASSERT_TRUE(openX11Client(client));
  ChildProcess child;
  ASSERT_TRUE(startProgram(child, program, DATA_DIR));
  ASSERT_NE(waitForRunningWindow(client), 0u) << child.output;
  signalProgram(child, SIGTERM);
  EXPECT_EQ(waitForExit(child, 20000), 0) << child.output;
  closeX11Client(client);
}

TEST(Program, WithoutItsSceneFileItSaysSoAndExitsNonZero) {
  char folder[] = "/tmp/empty_folder_XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  X11Client client;
  ASSERT_TRUE(openX11Client(client));
  ChildProcess child;
  ASSERT_TRUE(startProgram(child, program, folder));
  // The message box waits for its button; Return answers it.
  Window box = waitForUnclassedWindow(client, "Shadow Volume", 30000);
  ASSERT_NE(box, 0u);
  moveFocus(client, box);
  pressKey(client, XK_Return);
  releaseKey(client, XK_Return);
  int exitCode = waitForExit(child, 20000);
  EXPECT_NE(exitCode, 0);
  EXPECT_NE(exitCode, -1) << "the program did not end: " << child.output;
  EXPECT_NE(child.output.find("\"shadow2.3DS\" could not be opened"), std::string::npos)
      << child.output;
  closeX11Client(client);
  rmdir(folder);
}
