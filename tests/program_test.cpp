// The built program as a user starts it: from the data folder it opens its
// window and closes cleanly on a window manager's close request and on each
// close signal; resized, its picture fills the window; minimized, it waits;
// from a folder without its files it names every folder it looked in, where
// the scene is no regular file it says so, and exits non-zero, and a close
// signal ends it while it says so; without a display it says which one is
// missing; a texture it cannot use is named on standard error and the mesh
// drawn untextured; F3 and F4 show how the frame is made. Its command line:
// --help, mistakes, paths with spaces and --all-meshes; --benchmark's table,
// to the end of the run or to a close.
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

#include "assets/scene_reader.h"
#include "assets/tiff_image.h"
#include "support/benchmark_table.h"
#include "support/box_scene.h"
#include "support/chunk_writer.h"
#include "support/process.h"
#include "support/separate_objects.h"
#include "support/shadow_ray_cast.h"
#include "support/tiff_writer.h"
#include "support/view_keys.h"
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

// F3 and F4 with real keys, in both shadow modes (view_keys.h); then the
// window manager's close request ends the program with zero.
TEST(Program, ViewKeysShowHowTheFrameIsMadeAndAWindowManagerCloseEndsItWithZero) {
  X11Client client;
  ASSERT_TRUE(openX11Client(client));
  ChildProcess child;
  ASSERT_TRUE(startProgram(child, program, DATA_DIR));
  Window window = waitForRunningWindow(client);
  ASSERT_NE(window, 0u) << child.output;
  moveFocus(client, window);
  expectViewKeys(client, window, window, 800, 600);
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

// Minimizing unmaps the window. Once it has seen that, the program draws
// nothing and takes under a tenth of a core for the two seconds after; mapped
// again it draws again (its next rate counts the wait, so the caption
// changes), and a close signal still ends it while it is minimized.
TEST(Program, MinimizedItWaitsAndACloseSignalStillEndsIt) {
  X11Client client;
  ASSERT_TRUE(openX11Client(client));
  ChildProcess child;
  ASSERT_TRUE(startProgram(child, program, DATA_DIR));
  Window window = waitForRunningWindow(client);
  ASSERT_NE(window, 0u) << child.output;
  for (bool last : {false, true}) {
    mapWindow(client, window, false);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (coreShare(child, 250) >= 0.1 && std::chrono::steady_clock::now() < deadline) {
    }
    const double share = coreShare(child, 2000);
    std::printf("minimized: %.3f of a core\n", share);
    EXPECT_LT(share, 0.1);
    if (last) break;
    const std::string rate = windowName(client, window);
    mapWindow(client, window, true);
    const auto drawn = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (windowName(client, window) == rate && std::chrono::steady_clock::now() < drawn)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_NE(windowName(client, window), rate) << "restored, it should draw again";
  }
  signalProgram(child, SIGTERM);
  EXPECT_EQ(waitForExit(child, 10000), 0) << child.output;
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
    // The folder holds no txt.tif either; with no scene to draw, that is no news.
    EXPECT_EQ(child.output.find("untextured"), std::string::npos) << child.output;
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
       {"Usage: demo_windowed [OPTION]... [SCENE [TEXTURE]]\n", "F2", "--second-mode",
        "--benchmark [SECONDS]", "--screenshot FILE", "F12", "left drag"}},
      {"demo_fullscreen", "--bogus", 2, {"demo_fullscreen: unknown option \"--bogus\"\nUsage: "}},
      {"demo_windowed", "a b c", 2, {"\"c\" is one too many\nUsage: "}},
      {"demo_windowed", "--screenshot a.tif", 2, {"--screenshot saves the last frame of a"}},
      {"demo_windowed", "--benchmark 1 --screenshot", 2, {"--screenshot needs the file"}},
      {"demo_windowed", "--benchmark 0 x.3DS", 2, {"--benchmark takes a number of seconds"}},
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

// A JPEG texture, which the reader declines, and a folder in the texture's
// place: the line on standard error names it and says why, and the picture is
// the one a plain white texture gives, since the frame multiplies the texture
// in; that is, untextured. (Handed on as zeros, as it once was, it drew the
// mesh black.)
TEST(Program, DeclinedTextureIsNamedAndTheMeshDrawnUntextured) {
  const std::string folder = makeFolder();
  std::filesystem::copy_file(std::string(DATA_DIR) + "/shadow2.3DS", folder + "/shadow2.3DS");
  ASSERT_TRUE(writeFileBytes((folder + "/white.tif").c_str(),
                             writeTiff({16, 16, 3, 1}, std::vector<uint8_t>(16 * 16 * 3, 255))));
  ASSERT_EQ(std::system(("cd '" + folder + "' && tiffcp -r 16 -c jpeg white.tif jpeg.tif").c_str()), 0);
  X11Client client;
  ASSERT_TRUE(openX11Client(client));
  const std::pair<const char*, const char*> textures[] = {
      {"white.tif", ""},
      {"jpeg.tif", "txt.tif: JPEG compression is not supported; the mesh is drawn untextured.\n"},
      {"", "txt.tif: is a folder; the mesh is drawn untextured.\n"},
  };
  std::vector<uint32_t> white;
  for (const auto& [texture, said] : textures) {
    SCOPED_TRACE(*texture != 0 ? texture : "folder");
    std::filesystem::remove_all(folder + "/txt.tif");
    if (*texture != 0)
      std::filesystem::copy_file(folder + "/" + texture, folder + "/txt.tif");
    else
      std::filesystem::create_directory(folder + "/txt.tif");
    ChildProcess child;
    ASSERT_TRUE(startProgram(child, program, folder));
    Window window = waitForRunningWindow(client);
    const std::vector<uint32_t> picture = readWindowPixels(client, window, 800, 600);
    sendDeleteWindow(client, window);
    EXPECT_EQ(waitForExit(child, 20000), 0) << child.output;
    if (*said != 0)
      EXPECT_NE(child.output.find(said), std::string::npos) << child.output;
    else
      EXPECT_EQ(child.output.find("untextured"), std::string::npos) << child.output;
    ASSERT_EQ(picture.size(), 800u * 600u);
    if (white.empty()) white = picture;
    EXPECT_TRUE(picture == white) << "the picture differs from white's";
  }
  closeX11Client(client);
  std::filesystem::remove_all(folder);
}

// A run to its end, with --all-meshes, a scene, a texture and --screenshot:
// both modes, the joined mesh's size, and the last frame saved at the
// window's size. A run closed by the window manager while it draws, started
// in the second mode: the table of that mode's frames alone, and zero.
TEST(Program, BenchmarkPrintsATableOfBothModesAndACloseEndsItWithTheTableSoFar) {
  const std::string base = makeFolder();
  ASSERT_TRUE(makeSeparateObjectsFolders(base));
  const std::string scene = base + "/my scenes/separate objects.3DS", last = base + "/last.tif";
  Scene* read = readScene(scene.c_str(), 1);
  ASSERT_NE(read, nullptr);
  int faces = 0, vertices = 0;
  for (int i = 0; i < read->meshCount; ++i) {
    faces += read->meshes[i]->faceCount;
    vertices += read->meshes[i]->vertexCount;
  }
  releaseScene(read);
  X11Client client;
  ASSERT_TRUE(openX11Client(client));
  for (bool closed : {false, true}) {
    SCOPED_TRACE(closed ? "closed" : "to its end");
    const std::vector<std::string> command =
        closed ? std::vector<std::string>{program, "--second-mode", "--benchmark"}
               : std::vector<std::string>{program, "--benchmark", "4", "--all-meshes",
                                          "--screenshot", last, scene,
                                          "../my textures/yellow one.tif"};
    ChildProcess child;
    ASSERT_TRUE(startCommand(child, command, closed ? DATA_DIR : base + "/empty folder"));
    if (closed) {
      const Window window = waitForRunningWindow(client);
      ASSERT_NE(window, 0u) << child.output;
      sendDeleteWindow(client, window);
    }
    ASSERT_EQ(waitForExit(child, 60000), 0) << child.output;
    BenchmarkTable table =
        expectBenchmarkTable(child.output, closed ? 10.0 : 4.0, closed, closed ? 1 : 0);
    EXPECT_EQ(table["window"].substr(0, 39), "800 x 600 pixels, 16-bit colour (5-6-5)");
    if (closed) continue;
    EXPECT_EQ(table["scene"], scene + ": 4 meshes, all drawn joined, " + std::to_string(faces) +
                                  " faces and " + std::to_string(vertices) + " vertices");
    EXPECT_EQ(table["texture"], "../my textures/yellow one.tif, 4 x 4");
    TiffImage saved;
    EXPECT_TRUE(saved.read(last.c_str()));
    EXPECT_EQ(saved.pixelBytes, 800 * 600 * 3) << saved.declined;
  }
  closeX11Client(client);
  std::filesystem::remove_all(base);
}
