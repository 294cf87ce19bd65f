// The built program as a user starts it: from the data folder it opens its
// window and closes cleanly on a window manager's close request and on each
// close signal; resized, its picture fills the window; minimized, it waits;
// from a folder without its files, or where the scene is no regular file, it
// says so and exits non-zero, and a close signal ends it while it says so;
// without a display it says which one is missing.
#include <X11/keysym.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>
#include <vector>

#include "support/box_scene.h"
#include "support/chunk_writer.h"
#include "support/process.h"
#include "support/shadow_ray_cast.h"
#include "support/window_image.h"
#include "support/x11_client.h"
#include "support/xvfb.h"

static auto* const xvfb = useOwnXvfb();

namespace {

const std::string program = std::string(BINARY_DIR) + "/demo_windowed";

std::string makeFolder() {
  char folder[] = "/tmp/program_test_XXXXXX";
  return mkdtemp(folder) != nullptr ? folder : "";
}

// Polls until the window is gone; X removes a process's windows when it dies.
bool windowGoes(X11Client& client, Window window, int timeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (windowExists(client, window)) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// Until the caption's rate has turned over twice: ten frames drawn since at least.
void waitForFrames(X11Client& client, Window window) {
  for (int turn = 0; turn < 2; ++turn) {
    const std::string rate = windowName(client, window);
    for (int tries = 0; tries < 250 && windowName(client, window) == rate; ++tries)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

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

TEST(Program, ClosesWithZeroOnSigintAndSighup) {
  X11Client client;
  ASSERT_TRUE(openX11Client(client));
  for (int signal : {SIGINT, SIGHUP}) {
    SCOPED_TRACE(signal);
    ChildProcess child;
    ASSERT_TRUE(startProgram(child, program, DATA_DIR));
    Window window = waitForRunningWindow(client);
    ASSERT_NE(window, 0u) << child.output;
    signalProgram(child, signal);
    EXPECT_EQ(waitForExit(child, 20000), 0) << child.output;
    EXPECT_TRUE(windowGoes(client, window, 5000));
  }
  closeX11Client(client);
}

// The box scene's start view (judgeStartPicture) at the start size, made
// 1000 by 700 by a resize request, and made 800 by 600 again, which gives the
// first picture back to the pixel.
TEST(Program, ResizedItsPictureFillsTheWindowWithTheSameFieldOfView) {
  const std::string folder = makeFolder();
  std::vector<Vec3> vertices;
  std::vector<Face> faces;
  addReceiver(vertices, faces);
  addBox(vertices, faces, startBoxAndLight.low, startBoxAndLight.high);
  ASSERT_TRUE(writeBytesToFile(folder + "/shadow2.3DS", sceneFileBytes(vertices, faces)));
  X11Client client;
  ASSERT_TRUE(openX11Client(client));
  ChildProcess child;
  ASSERT_TRUE(startProgram(child, program, folder));
  Window window = waitForRunningWindow(client);
  ASSERT_NE(window, 0u) << child.output;
  std::vector<std::vector<uint32_t>> pictures;
  for (const auto& [width, height] : {std::pair{800, 600}, {1000, 700}, {800, 600}}) {
    SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
    resizeWindow(client, window, width, height);
    waitForFrames(client, window);
    pictures.push_back(readWindowPixels(client, window, width, height));
    const PictureAgreement seen =
        judgeStartPicture(pictures.back(), width, height, startBoxAndLight);
    EXPECT_GT(seen.inShadow, 5000);
    EXPECT_GE(100.0 * static_cast<double>(seen.agreeing) / static_cast<double>(seen.judged), 99.0);
    EXPECT_GE(100.0 * static_cast<double>(seen.drawn) /
                  static_cast<double>(seen.covered), 99.0);
  }
  EXPECT_TRUE(pictures.front() == pictures.back()) << "back at the start size, another picture";
  sendDeleteWindow(client, window);
  EXPECT_EQ(waitForExit(child, 20000), 0) << child.output;
  closeX11Client(client);
  unlink((folder + "/shadow2.3DS").c_str());
  rmdir(folder.c_str());
}

// Minimizing unmaps the window. Drawing nothing then, the program takes under
// a tenth of a core; mapped again it draws again, and a close signal still
// ends it at once while it is minimized.
TEST(Program, MinimizedItWaitsAndACloseSignalStillEndsIt) {
  X11Client client;
  ASSERT_TRUE(openX11Client(client));
  ChildProcess child;
  ASSERT_TRUE(startProgram(child, program, DATA_DIR));
  Window window = waitForRunningWindow(client);
  ASSERT_NE(window, 0u) << child.output;
  for (bool last : {false, true}) {
    mapWindow(client, window, false);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const double share = coreShare(child, 2000);
    std::printf("minimized: %.3f of a core\n", share);
    EXPECT_LT(share, 0.1);
    if (last) break;
    const std::string rate = windowName(client, window);
    mapWindow(client, window, true);
    waitForFrames(client, window);
    EXPECT_NE(windowName(client, window), rate) << "restored, it should draw again";
  }
  signalProgram(child, SIGTERM);
  EXPECT_EQ(waitForExit(child, 1000), 0) << child.output;
  closeX11Client(client);
}

TEST(Program, WithoutADisplayItNamesTheMissingOneAndExitsWithOne) {
  ChildProcess child;
  ASSERT_TRUE(startProgram(child, program, DATA_DIR,
                           {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"}));
  // Otherwise it would draw unseen into an off-screen driver until killed.
  EXPECT_EQ(waitForExit(child, 10000), 1) << child.output;
  EXPECT_NE(child.output.find("DISPLAY is not set"), std::string::npos) << child.output;
}

TEST(Program, SceneThatIsNoRegularFileIsNamedForWhatItIs) {
  struct Case {
    const char* what;
    std::function<bool(const std::string&)> make;
    const char* said;
  };
  const std::vector<Case> cases{
      {"FIFO", [](const std::string& path) { return mkfifo(path.c_str(), 0600) == 0; },
       "\"shadow2.3DS\" is not a regular file."},
      {"device", [](const std::string& path) { return symlink("/dev/null", path.c_str()) == 0; },
       "\"shadow2.3DS\" is not a regular file."},
      {"folder", [](const std::string& path) { return mkdir(path.c_str(), 0700) == 0; },
       "\"shadow2.3DS\" is a folder."},
  };
  X11Client client;
  ASSERT_TRUE(openX11Client(client));
  for (const Case& scene : cases) {
    SCOPED_TRACE(scene.what);
    std::string folder = makeFolder();
    std::string path = folder + "/shadow2.3DS";
    ASSERT_TRUE(scene.make(path));
    ChildProcess child;
    ASSERT_TRUE(startProgram(child, program, folder));
    Window box = waitForUnclassedWindow(client, "Shadow Volume", 20000);
    EXPECT_NE(box, 0u) << "no message: start-up hangs";
    if (box != 0) {
      moveFocus(client, box);
      pressKey(client, XK_Return);
      releaseKey(client, XK_Return);
    }
    EXPECT_EQ(waitForExit(child, box != 0 ? 20000 : 100), 1) << child.output;
    EXPECT_NE(child.output.find(scene.said), std::string::npos) << child.output;
    unlink(path.c_str());
    rmdir(path.c_str());
    rmdir(folder.c_str());
  }
  closeX11Client(client);
}

TEST(Program, CloseSignalsEndItWhileTheStartUpMessageIsUpAndTheMessageGoesWithIt) {
  std::string folder = makeFolder();
  X11Client client;
  ASSERT_TRUE(openX11Client(client));
  for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGKILL}) {
    SCOPED_TRACE(signal);
    ChildProcess child;
    ASSERT_TRUE(startProgram(child, program, folder));
    Window box = waitForUnclassedWindow(client, "Shadow Volume", 20000);
    ASSERT_NE(box, 0u) << child.output;
    signalProgram(child, signal);
    int exitCode = waitForExit(child, 5000);
    if (signal != SIGKILL) {
      EXPECT_EQ(exitCode, 1) << "as for the failure it was showing";
    }
    EXPECT_TRUE(windowGoes(client, box, 5000)) << "the message outlived the program";
  }
  closeX11Client(client);
  rmdir(folder.c_str());
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
