// The built program as a user starts it: from the data folder it opens its
// window and closes cleanly on a window manager's close request and on each
// close signal; from a folder without its files it names every folder it
// looked in, where the scene is no regular file it says so, and exits
// non-zero, and a close signal ends it while it says so; without a display it says which one is missing. Its
// command line: --help, mistakes, paths with spaces and --all-meshes.
#include <X11/keysym.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <thread>
#include <tuple>
#include <vector>

#include "support/process.h"
#include "support/separate_objects.h"
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
  // The working folder, then the installed data folder beside the program's.
  const std::string folders =
      std::filesystem::canonical(folder).string() + "\n" +
      (std::filesystem::canonical(BINARY_DIR).parent_path() / "share/shadow-volume-demo").string();
  EXPECT_NE(child.output.find("\"shadow2.3DS\" is in none of the folders looked in:\n" + folders),
            std::string::npos)
      << child.output;
  closeX11Client(client);
  rmdir(folder);
}

TEST(Program, HelpAndMistakesAnswerWithoutAWindow) {
  const std::tuple<const char*, const char*, int, std::vector<const char*>> cases[] = {
      {"demo_windowed", "--help", 0,
       {"Usage: demo_windowed [--all-meshes] [SCENE [TEXTURE]]\n", "F2"}},
      {"demo_fullscreen", "--bogus", 2, {"demo_fullscreen: unknown option \"--bogus\"\nUsage: "}},
      {"demo_windowed", "a b c", 2, {"\"c\" is one too many\nUsage: "}},
  };
  for (const auto& [name, arguments, exitCode, says] : cases) {
    ChildProcess child;
    const std::string command = std::string(BINARY_DIR) + "/" + name + " " + arguments;
    ASSERT_TRUE(startCommand(child, {"sh", "-c", command}, "/"));
    EXPECT_EQ(waitForExit(child, 10000), exitCode) << child.output;
    for (const char* said : says) EXPECT_NE(child.output.find(said), std::string::npos) << said;
  }
}

// From an empty working folder, with the scene's path absolute and the
// texture's relative, both through folders with spaces in their names.
TEST(Program, AllMeshesFromPathsWithSpacesShadowsEveryObjectAsTheRayCastDoes) {
  const std::string base = makeFolder();
  ASSERT_TRUE(makeSeparateObjectsFolders(base));
  const std::string scene = base + "/my scenes/separate objects.3DS";
  X11Client client;
  ASSERT_TRUE(openX11Client(client));
  for (bool allMeshes : {true, false}) {
    std::vector<std::string> command{program, scene, "../my textures/yellow one.tif"};
    if (allMeshes) command.insert(command.begin() + 1, "--all-meshes");
    ChildProcess child;
    ASSERT_TRUE(startCommand(child, command, base + "/empty folder"));
    Window window = waitForRunningWindow(client);
    ASSERT_NE(window, 0u) << child.output;
    int width = 0, height = 0;
    ASSERT_TRUE(windowSize(client, window, width, height));
    if (allMeshes) {
      expectPictureOfSeparateObjects(readWindowPixels(client, window, width, height), width,
                                     height);
    }
    sendDeleteWindow(client, window);
    EXPECT_EQ(waitForExit(child, 20000), 0) << child.output;
    EXPECT_EQ(child.output.find(scene + separateObjectsNote) != std::string::npos, !allMeshes)
        << child.output;
  }
  closeX11Client(client);
  std::filesystem::remove_all(base);
}
