// The cross-built Windows programs under Wine, on a 16-bit Xvfb, as a Windows
// user meets them: the "My App" window with its caption and exit code, closed
// by the window manager, by WM_CLOSE or by Escape; the minimized program
// waiting; the pixel format the driver gives our descriptor; the start-up
// message box; real X key events reaching the window procedure as
// virtual-key codes, held switches, keys let go elsewhere and the menu keys;
// real mouse drags and wheel notches doing what the keys do;
// the exclusive mode through DirectDraw in Wine's virtual desktop, and the
// window it falls back to without one; the picture itself, judged against the
// CPU ray cast of a synthetic scene at every pixel, also after a resize, and
// of the bundled scene on a grid of pixels; F3 and F4; the command line:
// --help and mistakes, paths with spaces and --all-meshes; --benchmark's
// table, to the end of the run or to a close.
// Windows' own view (class, caption, message box, screen mode) comes from
// win32_probe.exe, run in the same private prefix.
#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "assets/scene_reader.h"
#include "shadow/normals.h"
#include "support/benchmark_table.h"
#include "support/box_scene.h"
#include "support/chunk_writer.h"
#include "support/file_tree.h"
#include "support/mesh_ray_cast.h"
#include "support/mouse_cases.h"
#include "support/process.h"
#include "support/separate_objects.h"
#include "support/shadow_ray_cast.h"
#include "support/view_keys.h"
#include "support/window_image.h"
#include "support/x11_client.h"
#include "support/xvfb.h"

static auto* const xvfb = useOwnXvfb();

namespace {

const std::string windowsBuild = WINDOWS_BUILD_DIR;
const std::string wineRun = std::string(SOURCE_DIR) + "/tools/wine_run.sh";
const std::string wineWindowed = windowsBuild + "/demo_windowed.exe";
const std::string wineFullScreen = windowsBuild + "/demo_fullscreen.exe";
const std::string probe = windowsBuild + "/tests/windows/win32_probe.exe";

// Runs a command to its end; its exit code, with its output in `output`.
int run(const std::vector<std::string>& command, std::string& output, int timeoutMs = 60000,
        const std::string& folder = "/") {
  const int code = runCommand(command, output, timeoutMs, folder);
  // Windows programs end their lines with CR LF.
  output.erase(std::remove(output.begin(), output.end(), '\r'), output.end());
  return code;
}

// The rest of the probe's line that starts with `key`; empty when none does.
std::string valueOf(const std::string& said, const std::string& key) {
  size_t start = said.find(key);
  if (start == std::string::npos) return "";
  start += key.size();
  return said.substr(start, said.find('\n', start) - start);
}

std::string probeSays(const std::string& what, int expectedExit = 0) {
  std::string output;
  EXPECT_EQ(run({wineRun, probe, what}, output), expectedExit) << what << ": " << output;
  return output;
}

void setVirtualDesktop(bool on) {
  std::string output;
  const std::string explorer = "HKCU\\Software\\Wine\\Explorer";
  if (on) {
    ASSERT_EQ(run({"wine", "reg", "add", explorer, "/v", "Desktop", "/d", "Default", "/f"},
                  output), 0)
        << output;
    ASSERT_EQ(run({"wine", "reg", "add", explorer + "\\Desktops", "/v", "Default", "/d",
                   "1024x768", "/f"}, output), 0)
        << output;
  } else {
    run({"wine", "reg", "delete", explorer, "/v", "Desktop", "/f"}, output);
  }
  // The desktop is made when the prefix's first program starts.
  ASSERT_EQ(run({std::string(SOURCE_DIR) + "/tools/wine_prefix.sh", "restart",
                 getenv("WINEPREFIX")}, output), 0)
      << output;
}

class WineProgram : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    char folder[] = "/tmp/wine_program_XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    prefix_ = std::string(folder) + "/prefix";
    setenv("WINEPREFIX", prefix_.c_str(), 1);
    setenv("WINEDEBUG", "-all", 1);
    std::string output;
    ASSERT_EQ(run({std::string(SOURCE_DIR) + "/tools/wine_prefix.sh", "make", prefix_}, output,
                  180000), 0)
        << output;
  }
  static void TearDownTestSuite() {
    std::string output;
    run({std::string(SOURCE_DIR) + "/tools/wine_prefix.sh", "stop", prefix_}, output);
    run({"rm", "-rf", prefix_.substr(0, prefix_.rfind('/'))}, output);
  }
  void SetUp() override { ASSERT_TRUE(openX11Client(client_)); }
  void TearDown() override { closeX11Client(client_); }

  // Runs demo_windowed.exe (with these arguments) from folder until it draws
  // (the caption shows a rate), resized to 1000 by 700 if asked, reads its
  // client area at the size Windows gave it from the unnamed child X window
  // Wine draws in, lets `before` act on its window and that child, and closes
  // it again with a close request. The program's output is left in `said`.
  void takeStartPicture(const std::vector<std::string>& program,
                        const std::filesystem::path& folder, int& width, int& height,
                        std::vector<uint32_t>& picture, std::string* said = nullptr,
                        bool resized = false,
                        const std::function<void(Window, Window)>& before = nullptr) {
    ChildProcess demo;
    std::vector<std::string> command{wineRun};
    command.insert(command.end(), program.begin(), program.end());
    ASSERT_TRUE(startCommand(demo, command, folder.string()));
    const std::string seen = probeSays(resized ? "resize" : "window");
    ASSERT_EQ(std::sscanf(valueOf(seen, "client: ").c_str(), "%dx%d", &width, &height), 2)
        << seen;
    Window window = waitForWindow(client_, "demo_windowed.exe", 10000);
    ASSERT_NE(window, 0u);
    Window drawn = largestChildWindow(client_, window);
    ASSERT_NE(drawn, 0u);
    int drawnWidth = 0, drawnHeight = 0;
    ASSERT_TRUE(windowSize(client_, drawn, drawnWidth, drawnHeight));
    EXPECT_EQ(drawnWidth, width);
    EXPECT_EQ(drawnHeight, height);
    picture = readWindowPixels(client_, drawn, width, height);
    if (before) before(window, drawn);
    sendDeleteWindow(client_, window);
    EXPECT_EQ(waitForExit(demo, 20000), 0) << demo.output;
    if (said != nullptr) *said = demo.output;
    ASSERT_EQ(picture.size(), static_cast<size_t>(width) * static_cast<size_t>(height));
  }

  // Runs win32_probe keys, gives its window the focus, lets `act` press keys
  // (given the probe's X window), waits until the probe has printed
  // `awaited`, and closes the window: the probe's log.
  std::string keyProbeLog(const std::function<void(Window)>& act, const std::string& awaited = "") {
    ChildProcess keys;
    EXPECT_TRUE(startCommand(keys, {wineRun, probe, "keys"}, "/"));
    Window window = waitForWindow(client_, "win32_probe.exe", 30000);
    EXPECT_NE(window, 0u);
    for (int waited = 0; keys.output.find("ready") == std::string::npos && waited < 3000;
         ++waited) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      collectOutput(keys);
    }
    if (window == 0) return "";
    moveFocus(client_, window);
    act(window);
    for (int waited = 0; waited < 2000 && keys.output.find(awaited) == std::string::npos;
         ++waited) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      collectOutput(keys);
    }
    sendDeleteWindow(client_, window);
    EXPECT_EQ(waitForExit(keys, 20000), 0) << keys.output;
    EXPECT_NE(keys.output.find("released: 1"), std::string::npos) << "the GL context was kept";
    std::string log;
    for (char c : keys.output)
      if (c != '\r') log += c;
    return log;
  }

  static std::string prefix_;
  X11Client client_;
};

// The eye's z in the probe's log line that starts at `at`.
float eyeZAt(const std::string& log, size_t at) {
  float x = 0, y = 0, z = 0;
  std::sscanf(log.c_str() + at, "%*s %*u eye %f %f %f", &x, &y, &z);
  return z;
}

void holdKey(X11Client& client, unsigned long keysym, int milliseconds) {
  pressKey(client, keysym);
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  releaseKey(client, keysym);
}

std::string WineProgram::prefix_;

TEST_F(WineProgram, MyAppWindowShowsTheRateAndClosesWithZeroEachWay) {
  for (const std::string way : {"WM_DELETE_WINDOW", "WM_CLOSE", "Escape"}) {
    SCOPED_TRACE(way);
    ChildProcess demo;
    ASSERT_TRUE(startCommand(demo, {wineRun, wineWindowed}, DATA_DIR));
    std::string seen = probeSays("window");
    EXPECT_NE(seen.find("class: My App\n"), std::string::npos) << seen;
    EXPECT_NE(seen.find("outer: 800x600\n"), std::string::npos) << seen;
    EXPECT_NE(seen.find("clips: 1\n"), std::string::npos) << "as OpenGL asks\n" << seen;
    if (way == "WM_CLOSE") {
      probeSays("close");
    } else {
      // Wine names its X window after the program, not the Win32 class.
      Window window = waitForWindow(client_, "demo_windowed.exe", 10000);
      ASSERT_NE(window, 0u);
      EXPECT_EQ(windowName(client_, window), valueOf(seen, "caption: "));
      if (way == "Escape") {
        moveFocus(client_, window);
        holdKey(client_, XK_Escape, 0);
      } else {
        sendDeleteWindow(client_, window);
      }
    }
    EXPECT_EQ(waitForExit(demo, 20000), 0) << demo.output;
  }
}

TEST_F(WineProgram, MinimizedItTakesUnderATenthOfACore) {
  ChildProcess demo;
  ASSERT_TRUE(startCommand(demo, {wineRun, wineWindowed}, DATA_DIR));
  probeSays("window");
  const std::string minimized = probeSays("minimize");
  EXPECT_NE(minimized.find("iconic: 1"), std::string::npos) << minimized;
  // Until the program has seen it and stopped drawing; then for two seconds.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (coreShare(demo, 250) >= 0.1 && std::chrono::steady_clock::now() < deadline) {
  }
  const double share = coreShare(demo, 2000);
  std::printf("minimized: %.3f of a core\n", share);
  EXPECT_LT(share, 0.1);
  probeSays("close");
  EXPECT_EQ(waitForExit(demo, 20000), 0) << demo.output;
}

TEST_F(WineProgram, PixelFormatIs565WithDeepDepthAndNoStencilOrAlpha) {
  std::string format = probeSays("pixelformat");
  int red = -1, green = -1, blue = -1, alpha = -1, depth = -1, stencil = -1, doubled = -1;
  ASSERT_EQ(std::sscanf(format.c_str(),
                        "red %d green %d blue %d alpha %d depth %d stencil %d double %d", &red,
                        &green, &blue, &alpha, &depth, &stencil, &doubled),
            7)
      << format;
  EXPECT_EQ(red, 5);
  EXPECT_EQ(green, 6);
  EXPECT_EQ(blue, 5);
  EXPECT_EQ(alpha, 0);
  EXPECT_EQ(stencil, 0);
  EXPECT_EQ(depth, 32);
  EXPECT_EQ(doubled, 1);
}

TEST_F(WineProgram, StartUpFailuresShowTheMessageBoxAndExitWithOne) {
  char folder[] = "/tmp/wine_start_up_XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string scene = std::string(folder) + "/shadow2.3DS";
  std::string given = "Z:" + std::string(folder) + "/no such folder/scene one.3DS";
  std::replace(given.begin(), given.end(), '/', '\\');
  struct Case {
    bool withScene;
    std::string argument;
    std::string says;
  };
  // The working folder, the program's own and the installed data folder beside it.
  std::string folders =
      "Z:" + std::string(folder) + "\nZ:" + windowsBuild + "\nZ:" +
      (std::filesystem::path(windowsBuild).parent_path() / "share/shadow-volume-demo").string();
  std::replace(folders.begin(), folders.end(), '/', '\\');
  for (const Case& c :
       {Case{false, "", "\"shadow2.3DS\" is in none of the folders looked in:\n" + folders},
        Case{false, given, "\"" + given + "\" could not be opened."},
        Case{true, "", "\"shadow2.3DS\" holds no mesh."}}) {
    SCOPED_TRACE(c.says);
    if (c.withScene) {
      // A main chunk and nothing in it: a 3D Studio file without a mesh.
      std::ofstream(scene, std::ios::binary).write("\x4D\x4D\x06\x00\x00\x00", 6);
    }
    ChildProcess demo;
    std::vector<std::string> command{wineRun, wineWindowed};
    if (!c.argument.empty()) command.push_back(c.argument);
    ASSERT_TRUE(startCommand(demo, command, folder));
    std::string box = probeSays("messagebox");
    EXPECT_NE(box.find(std::string("text: ") + c.says + "\n"), std::string::npos) << box;
    EXPECT_EQ(waitForExit(demo, 20000), 1) << demo.output;
    // No texture either; with no scene to draw, that is no news.
    EXPECT_EQ(demo.output.find("untextured"), std::string::npos) << demo.output;
  }
  std::remove(scene.c_str());
  rmdir(folder);
}

// Started from a terminal Wine hands the program its output; started by
// `start` it has none and no console to attach to, so it says it in a box.
TEST_F(WineProgram, HelpAndMistakesAnswerOnTheStreamsOrInAMessageBox) {
  const std::tuple<std::vector<std::string>, int, const char*> cases[] = {
      {{wineRun, wineWindowed, "--help"}, 0,
       "Usage: demo_windowed [OPTION]... [SCENE [TEXTURE]]\n"},
      {{wineRun, "start", "/wait", "/unix", wineFullScreen, "--bogus"}, 2,
       "text: demo_fullscreen: unknown option \"--bogus\"\nUsage: "},
  };
  for (const auto& [command, exitCode, says] : cases) {
    ChildProcess demo;
    ASSERT_TRUE(startCommand(demo, command, "/"));
    std::string said = command[1] == "start" ? probeSays("messagebox") : "";
    EXPECT_EQ(waitForExit(demo, 20000), exitCode) << demo.output;
    said += demo.output;
    said.erase(std::remove(said.begin(), said.end(), '\r'), said.end());
    EXPECT_NE(said.find(says), std::string::npos) << said;
  }
}

TEST_F(WineProgram, RealKeysArriveAsTheirVirtualKeyCodesMoveTheEyeAndOpenNoMenu) {
  struct Key {
    unsigned long keysym;
    unsigned code;
  };
  const Key listed[] = {{XK_Up, 38},     {XK_Down, 40}, {XK_Left, 37},   {XK_Right, 39},
                        {XK_Home, 36},   {XK_End, 35},  {XK_Delete, 46}, {XK_Next, 34},
                        {XK_Prior, 33},  {XK_Insert, 45}, {XK_Tab, 9}};
  const std::string log = keyProbeLog([&](Window) {
    for (const Key& key : listed) {
      pressKey(client_, key.keysym);
      releaseKey(client_, key.keysym);
    }
    // Tapped on its own, neither F10 nor Alt enters the menu loop: the Up
    // after each reaches the window.
    for (unsigned long menuKey : {XK_F10, XK_Alt_L}) {
      holdKey(client_, menuKey, 0);
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      holdKey(client_, XK_Up, 300);
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    // Held for a while, Up moves the eye forward, along -z before any turn.
    holdKey(client_, XK_Up, 300);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
  });
  size_t at = 0;
  for (const Key& key : listed)
    for (const char* what : {"down ", "up "}) {
      at = log.find(std::string(what) + std::to_string(key.code) + " eye", at);
      ASSERT_NE(at, std::string::npos) << what << key.code << " missing in order:\n" << log;
    }
  for (const char* seen : {"sysup 121 ", "down 38 ", "up 38 ", "sysup 18 ", "down 38 ", "up 38 "}) {
    at = log.find(seen, at);
    ASSERT_NE(at, std::string::npos) << seen << "missing in order:\n" << log;
  }
  size_t pressed = log.find("down 38 eye", at);
  size_t released = log.find("up 38 eye", pressed);
  ASSERT_NE(released, std::string::npos) << log;
  EXPECT_LT(eyeZAt(log, released), eyeZAt(log, pressed) - 1.0f) << log;
}

// Held, each repeats on its way: it switches on the first key-down alone.
TEST_F(WineProgram, SwitchesHeldForTwoSecondsFlipOnce) {
  const std::string log = keyProbeLog([&](Window) {
    holdKey(client_, XK_Tab, 2000);
    holdKey(client_, XK_F2, 2000);
  });
  int repeats = 0;
  for (size_t at = log.find("down 9 "); at != std::string::npos; at = log.find("down 9 ", at + 1))
    ++repeats;
  EXPECT_GT(repeats, 10) << log;
  // From its first key-down on, each mode stays flipped.
  EXPECT_EQ(log.find("light 1", log.find("down 9 ")), std::string::npos) << log;
  EXPECT_EQ(log.find("behind 0", log.find("down 113 ")), std::string::npos) << log;
}

// Down held, then let go in another X window or with Alt held (a system key):
// from the message that tells (the focus lost, the system key-up) to the
// close half a second later, the eye stays where it is.
TEST_F(WineProgram, AKeyLetGoElsewhereOrWithAltHeldStopsTheMove) {
  for (bool elsewhere : {true, false}) {
    SCOPED_TRACE(elsewhere ? "let go in another window" : "let go with Alt held");
    const std::string log = keyProbeLog([&](Window) {
      pressKey(client_, XK_Down);
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      if (elsewhere)
        focusOtherWindow(client_);
      else
        pressKey(client_, XK_Alt_L);
      releaseKey(client_, XK_Down);
      releaseKey(client_, XK_Alt_L);
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
    });
    const size_t held = log.find("down 40 eye"), closed = log.find("close ");
    ASSERT_LT(held, closed) << log;
    const size_t told = log.find('\n', held) + 1;
    EXPECT_GT(eyeZAt(log, told), eyeZAt(log, held) + 1.0f) << "Down did not move the eye\n" << log;
    EXPECT_EQ(eyeZAt(log, closed), eyeZAt(log, told)) << log;
  }
}

// The Linux shell test's mouse cases on the key probe, each followed by Tab,
// whose line shows the matrix and the light with the case's moves applied.
TEST_F(WineProgram, MouseDragsAndWheelDoWhatTheKeysDoAndADragLetGoOutsideEnds) {
  const std::string log = keyProbeLog([&](Window window) {
    const Window area = largestChildWindow(client_, window);  // Wine's client area
    ASSERT_NE(area, 0u);
    holdKey(client_, XK_Tab, 0);
    for (const MouseCase& c : mouseCases) {
      makeMouseCase(client_, area, c);
      holdKey(client_, XK_Tab, 0);
    }
    holdKey(client_, XK_space, 0);  // the probe's line for it tells all the rest was taken
  }, "down 32 ");
  std::vector<ViewAndLight> states;
  for (size_t at = log.find("down 9 "); at != std::string::npos; at = log.find("down 9 ", at + 1)) {
    std::istringstream line(log.substr(log.find(" view ", at) + 6));
    ViewAndLight& state = states.emplace_back();
    for (float& value : state.m) line >> value;
    line >> state.light.x >> state.light.y >> state.light.z;
  }
  ASSERT_EQ(states.size(), std::size(mouseCases) + 1) << log;
  for (size_t i = 0; i < std::size(mouseCases); ++i)
    EXPECT_LT(distanceFromKeys(mouseCases[i], states[i], states[i + 1]), 0.01)
        << mouseCases[i].what << "\n" << log;
}

// Escape is the way out of a full-screen run.
TEST_F(WineProgram, FullScreenTakes640x480x16InTheVirtualDesktopAndEscapeGivesItBack) {
  setVirtualDesktop(true);
  ChildProcess demo;
  ASSERT_TRUE(startCommand(demo, {wineRun, wineFullScreen}, DATA_DIR));
  std::string seen = probeSays("window");
  std::string screen = probeSays("screen");
  EXPECT_NE(screen.find("screen: 640x480x16\n"), std::string::npos) << screen;
  EXPECT_NE(seen.find("outer: 640x480\n"), std::string::npos) << seen;
  holdKey(client_, XK_Escape, 0);
  EXPECT_EQ(waitForExit(demo, 20000), 0) << demo.output;
  screen = probeSays("screen");
  EXPECT_NE(screen.find("screen: 1024x768x16\n"), std::string::npos) << screen;
  setVirtualDesktop(false);
}

TEST_F(WineProgram, FullScreenRefusedRunsInItsWindow) {
  // Xvfb has one fixed size, so without the virtual desktop DirectDraw refuses.
  ChildProcess demo;
  ASSERT_TRUE(startCommand(demo, {wineRun, wineFullScreen}, DATA_DIR));
  std::string seen = probeSays("window");
  EXPECT_NE(seen.find("outer: 800x600\n"), std::string::npos) << seen;
  std::string screen = probeSays("screen");
  EXPECT_NE(screen.find("screen: 1024x768x16\n"), std::string::npos) << screen;
  Window window = waitForWindow(client_, "demo_fullscreen.exe", 10000);
  ASSERT_NE(window, 0u);
  sendDeleteWindow(client_, window);
  EXPECT_EQ(waitForExit(demo, 20000), 0) << demo.output;
}

// The start view (no key pressed) of a box over a receiver, read off the
// client area Wine drew it in and judged against the ray cast at the size the
// client area really has (judgeStartPicture); lit and shadowed receiver are at
// least four green steps apart there. Then again after the window was made
// 1000 by 700: the picture fills the new client area with the same field of view.
TEST_F(WineProgram, StartPictureShadowsWhereTheRayCastDoesAtTheClientSizeAlsoAfterAResize) {
  const auto started = std::chrono::steady_clock::now();
  char made[] = "/tmp/wine_pixels_XXXXXX";
  ASSERT_NE(mkdtemp(made), nullptr);
  const std::filesystem::path folder = made;
  std::vector<Vec3> vertices;
  std::vector<Face> faces;
  addReceiver(vertices, faces);
  addBox(vertices, faces, startBoxAndLight.low, startBoxAndLight.high);
  // No txt.tif: the mesh is drawn untextured, so the picture is shade and shadow alone.
  ASSERT_TRUE(writeBytesToFile((folder / "shadow2.3DS").string(), sceneFileBytes(vertices, faces)));
  std::filesystem::copy_file(wineWindowed, folder / "demo_windowed.exe");

  for (const char* resize : {"", "1000x700"}) {
    SCOPED_TRACE(resize);
    int width = 0, height = 0;
    std::vector<uint32_t> picture;
    ASSERT_NO_FATAL_FAILURE(takeStartPicture({(folder / "demo_windowed.exe").string()}, folder, width,
                                             height, picture, nullptr, *resize != 0));
    const PictureAgreement seen = judgeStartPicture(picture, width, height, startBoxAndLight);
    const double agreement =
        100.0 * static_cast<double>(seen.agreeing) / static_cast<double>(seen.judged);
    const double coverage = 100.0 * static_cast<double>(seen.drawn) /
                            static_cast<double>(seen.covered);
    std::printf("client %dx%d: %ld receiver pixels judged (%ld in shadow), %.3f%% agree with the "
                "ray cast, %.3f%% drawn where it meets the scene; %.1f s\n",
                width, height, seen.judged, seen.inShadow, agreement, coverage,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    RecordProperty(std::string("wine_shadow_agreement_percent") + resize,
                   std::to_string(agreement));
    EXPECT_GE(seen.leastGap, 4.0) << "lit and shadowed receiver should be told apart";
    EXPECT_GT(seen.judged, 150000);
    EXPECT_GT(seen.inShadow, 5000) << "the shadow should be in view";
    EXPECT_GE(agreement, 99.0);
    EXPECT_GE(coverage, 99.0);
  }
  std::filesystem::remove_all(folder);
}

// The start view of the bundled scene, untextured, read off the client area
// and judged like the box above but on every fourth pixel, against a ray cast
// over all the scene's faces: the scene's own casters are many and not convex,
// so this is where a silhouette or cap fault would show. The texture beside it
// is JPEG-compressed, which the reader declines: the program says so on
// standard error, and draws the mesh untextured (handed on, it would be black).
TEST_F(WineProgram, BundledScenesStartPictureShadowsWhereTheRayCastDoes) {
  const auto started = std::chrono::steady_clock::now();
  char made[] = "/tmp/wine_bundled_XXXXXX";
  ASSERT_NE(mkdtemp(made), nullptr);
  const std::filesystem::path folder = made;
  const std::string bundled = std::string(DATA_DIR) + "/shadow2.3DS";
  std::filesystem::copy_file(bundled, folder / "shadow2.3DS");
  std::filesystem::copy_file(wineWindowed, folder / "demo_windowed.exe");
  std::string output;
  ASSERT_EQ(run({"tiffcp", "-r", "16", "-c", "jpeg", std::string(DATA_DIR) + "/txt.tif",
                 (folder / "txt.tif").string()}, output), 0)
      << output;

  int width = 0, height = 0;
  std::vector<uint32_t> picture;
  std::string said;
  ASSERT_NO_FATAL_FAILURE(takeStartPicture({(folder / "demo_windowed.exe").string()}, folder, width,
                                           height, picture, &said));
  std::filesystem::remove_all(folder);
  EXPECT_NE(said.find("txt.tif: JPEG compression is not supported; the mesh is drawn untextured."),
            std::string::npos)
      << said;

  Scene* scene = readScene(bundled.c_str(), 1);
  ASSERT_NE(scene, nullptr);
  ASSERT_GE(scene->meshCount, 1);
  Mesh& mesh = *scene->meshes[0];
  computeFaceNormals(mesh);
  computeVertexNormals(mesh);
  const auto casting = std::chrono::steady_clock::now();
  const std::vector<MeshSample> samples =
      castMeshGrid(mesh, startCamera(width, height), {20.0, 20.0, 70.0}, 4);
  const double castSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - casting).count();
  releaseScene(scene);

  const PictureJudgement judgement = judgePicture(samples, picture, width, height);
  const double agreement = judgement.agreementPercent();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf("client %dx%d: %ld of %zu samples judged (%ld in shadow), %.3f%% agree with the "
              "ray cast; %.1f s, %.1f s of it casting\n",
              width, height, judgement.judged, samples.size(), judgement.inShadow, agreement,
              seconds, castSeconds);
  RecordProperty("wine_bundled_agreement_percent", std::to_string(agreement));
  EXPECT_GT(judgement.judged, 10000);
  EXPECT_GT(judgement.inShadow, 1000) << "shadows should be in view";
  EXPECT_GE(agreement, 99.0);
}

TEST_F(WineProgram, F3ShowsTheVolumeAndF4TheFrameAPassAtATime) {
  int width = 0, height = 0;
  std::vector<uint32_t> picture;
  takeStartPicture({wineWindowed}, DATA_DIR, width, height, picture, nullptr, false,
                   [&](Window window, Window drawn) {
                     moveFocus(client_, window);
                     expectViewKeys(client_, window, drawn, width, height);
                   });
}

// A run to its end and a run closed by the window manager while it draws:
// the table on the output Wine hands the program, with both modes, or with
// the first alone after the close, and zero.
TEST_F(WineProgram, BenchmarkPrintsATableOfBothModesAndACloseEndsItWithTheTableSoFar) {
  for (bool closed : {false, true}) {
    SCOPED_TRACE(closed ? "closed" : "to its end");
    ChildProcess demo;
    std::vector<std::string> command{wineRun, wineWindowed, "--benchmark"};
    if (!closed) command.push_back("4");
    ASSERT_TRUE(startCommand(demo, command, DATA_DIR));
    if (closed) {
      probeSays("window");
      const Window window = waitForWindow(client_, "demo_windowed.exe", 10000);
      ASSERT_NE(window, 0u);
      waitForFrames(client_, window);
      sendDeleteWindow(client_, window);
    }
    ASSERT_EQ(waitForExit(demo, 60000), 0) << demo.output;
    expectBenchmarkTable(demo.output, closed ? 10.0 : 4.0, closed, 0);
  }
}

// The Linux program test's scene of separate objects, from an empty working
// folder, with the scene's path a Windows one from the drive's root and the
// texture's relative, both through folders with spaces in their names.
TEST_F(WineProgram, AllMeshesFromPathsWithSpacesShadowsEveryObjectAsTheRayCastDoes) {
  char base[] = "/tmp/wine_separate_XXXXXX";
  ASSERT_NE(mkdtemp(base), nullptr);
  ASSERT_TRUE(makeSeparateObjectsFolders(base));
  std::string scene = "Z:" + std::string(base) + "/my scenes/separate objects.3DS";
  std::replace(scene.begin(), scene.end(), '/', '\\');
  const std::string texture = "..\\my textures\\yellow one.tif";
  const std::string folder = std::string(base) + "/empty folder";
  int width = 0, height = 0;
  std::vector<uint32_t> picture;
  std::string said;
  ASSERT_NO_FATAL_FAILURE(takeStartPicture({wineWindowed, "--all-meshes", scene, texture}, folder,
                                           width, height, picture));
  expectPictureOfSeparateObjects(picture, width, height);
  ASSERT_NO_FATAL_FAILURE(
      takeStartPicture({wineWindowed, scene, texture}, folder, width, height, picture, &said));
  EXPECT_NE(said.find(scene + separateObjectsNote), std::string::npos) << said;
  std::filesystem::remove_all(base);
}

// cpack's zip of the Windows build holds the folder a user unpacks: the two
// programs, importing Windows' own DLLs only, with the data beside them.
// Started from another, empty folder, the unpacked demo_windowed.exe finds
// its data beside itself and draws what the build's draws from data/.
TEST_F(WineProgram, ZipFromCPackRunsFromAnyFolderOnWindowsOwnDlls) {
  char made[] = "/tmp/wine_zip_XXXXXX";
  ASSERT_NE(mkdtemp(made), nullptr);
  const std::filesystem::path folder = made;
  std::string output;
  ASSERT_EQ(run({CPACK_COMMAND, "-B", (folder / "package").string()}, output, 120000, windowsBuild),
            0)
      << output;
  std::filesystem::create_directories(folder / "unpacked");
  std::filesystem::create_directories(folder / "empty");
  const std::string zip = (folder / "package/shadow-volume-demo.zip").string();
  ASSERT_EQ(
      run({CMAKE_COMMAND, "-E", "tar", "xf", zip}, output, 60000, (folder / "unpacked").string()),
      0)
      << output;
  const std::filesystem::path unpacked = folder / "unpacked/shadow-volume-demo";
  EXPECT_EQ(filesUnder(folder / "unpacked"),
            (std::vector<std::string>{
                "shadow-volume-demo/demo_fullscreen.exe", "shadow-volume-demo/demo_windowed.exe",
                "shadow-volume-demo/shadow2.3DS", "shadow-volume-demo/txt.tif"}));
  for (const auto& [program, imports] : {std::pair<const char*, const char*>{"demo_windowed", ""},
                                         {"demo_fullscreen", "DDRAW.dll "}}) {
    const std::string objdump =
        "x86_64-w64-mingw32-objdump -p " + (unpacked / program).string() +
        ".exe | sed -n 's/^\\s*DLL Name: //p' | LC_ALL=C sort | tr '\\n' ' '";
    ASSERT_EQ(run({"sh", "-c", objdump}, output), 0);
    EXPECT_EQ(output,
              std::string(imports) +
                  "GDI32.dll GLU32.dll KERNEL32.dll OPENGL32.dll USER32.dll WINMM.dll msvcrt.dll ");
  }

  int width = 0, height = 0;
  std::vector<uint32_t> picture, fromData;
  ASSERT_NO_FATAL_FAILURE(takeStartPicture({wineWindowed}, DATA_DIR, width, height, fromData));
  ASSERT_NO_FATAL_FAILURE(takeStartPicture({(unpacked / "demo_windowed.exe").string()},
                                           folder / "empty", width, height, picture));
  std::filesystem::remove_all(folder);
  EXPECT_TRUE(picture == fromData) << "not the picture drawn from data/";
}

}  // namespace
