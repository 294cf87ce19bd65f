// The full-screen steps against a display layer of the test's own: this
// program defines every display-layer function itself, so the real one is
// never linked in. The double records each call, can refuse any step, and
// can answer locks with a lost surface or still-drawing, which a real display
// cannot be made to show on demand.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <deque>
#include <sstream>
#include <string>
#include <vector>

#include "fullscreen/full_screen.h"

struct PlatformDisplay {
  int releases = 0;
};

struct PlatformSurface {
  std::string name;
  int releases = 0;
};

namespace {

constexpr int32_t doublePitch = 1344;  // wider than 640 pixels of 2 bytes
constexpr uint32_t doubleHeight = 480;
constexpr size_t guardBytes = 64;
constexpr unsigned char garbage = 0xA5;

struct DisplayDouble {
  std::vector<std::string> calls;
  std::string refusedStep;                // a function name, or empty
  std::deque<DisplayResult> lockAnswers;  // answered before ok
  bool lockNeverSucceeds = false;
  DisplayResult endlessAnswer = DisplayResult::stillDrawing;
  PlatformDisplay display;
  PlatformSurface primary{"primary"};
  PlatformSurface backBuffer{"backBuffer"};
  std::vector<unsigned char> memory;  // the back buffer, then guard bytes
  WindowHandle heldWindow = nullptr;
  SurfaceDescription created;
  uint32_t modeWidth = 0, modeHeight = 0, modeBits = 0;
  uint32_t attachedCaps = 0;
  void* unlockedMemory = nullptr;
  int callsPipe = -1;  // where a child process also writes each call, a line each
};

DisplayDouble theDouble;

DisplayResult answer(const std::string& call) {
  theDouble.calls.push_back(call);
  if (theDouble.callsPipe >= 0) {
    std::string line = call + "\n";
    EXPECT_EQ(write(theDouble.callsPipe, line.data(), line.size()), static_cast<ssize_t>(line.size()));
  }
  return call.rfind(theDouble.refusedStep, 0) == 0 && !theDouble.refusedStep.empty()
             ? DisplayResult::failed
             : DisplayResult::ok;
}

// A stand-in for the program's window; the double only compares it.
char windowMarker;
WindowHandle const testWindow = reinterpret_cast<WindowHandle>(&windowMarker);

class FullScreen : public testing::Test {
 protected:
  void SetUp() override {
    theDouble = DisplayDouble{};
    theDouble.memory.assign(static_cast<size_t>(doublePitch) * doubleHeight + guardBytes, garbage);
    theFullScreenState = FullScreenState{nullptr, nullptr, nullptr};
  }

  static std::vector<std::string> callsAfter(const std::string& first) {
    std::vector<std::string> after;
    bool seen = false;
    for (const std::string& call : theDouble.calls) {
      if (seen) after.push_back(call);
      if (call == first) seen = true;
    }
    return after;
  }

  static int count(const std::string& call) {
    int n = 0;
    for (const std::string& made : theDouble.calls) n += made == call ? 1 : 0;
    return n;
  }
};

}  // namespace

DisplayResult createDisplay(DisplayHandle& display) {
  display = nullptr;
  DisplayResult result = answer("createDisplay");
  if (result == DisplayResult::ok) display = &theDouble.display;
  return result;
}

DisplayResult setCooperativeLevel(DisplayHandle display, WindowHandle window, uint32_t level) {
  EXPECT_EQ(display, &theDouble.display);
  EXPECT_EQ(level, exclusiveHold | fullScreenHold);
  theDouble.heldWindow = window;
  return answer("setCooperativeLevel");
}

DisplayResult setDisplayMode(DisplayHandle display, uint32_t width, uint32_t height,
                             uint32_t bitsPerPixel) {
  EXPECT_EQ(display, &theDouble.display);
  theDouble.modeWidth = width;
  theDouble.modeHeight = height;
  theDouble.modeBits = bitsPerPixel;
  return answer("setDisplayMode");
}

DisplayResult createSurface(DisplayHandle display, const SurfaceDescription& description,
                            SurfaceHandle& surface) {
  EXPECT_EQ(display, &theDouble.display);
  theDouble.created = description;
  surface = nullptr;
  DisplayResult result = answer("createSurface");
  if (result == DisplayResult::ok) surface = &theDouble.primary;
  return result;
}

DisplayResult getAttachedSurface(SurfaceHandle surface, uint32_t caps, SurfaceHandle& attached) {
  EXPECT_EQ(surface, &theDouble.primary);
  theDouble.attachedCaps = caps;
  attached = nullptr;
  DisplayResult result = answer("getAttachedSurface");
  if (result == DisplayResult::ok) attached = &theDouble.backBuffer;
  return result;
}

DisplayResult lockSurface(SurfaceHandle surface, SurfaceDescription& description) {
  DisplayResult result = answer("lockSurface " + surface->name);
  if (result != DisplayResult::ok) return result;
  if (!theDouble.lockAnswers.empty()) {
    result = theDouble.lockAnswers.front();
    theDouble.lockAnswers.pop_front();
    return result;
  }
  if (theDouble.lockNeverSucceeds) return theDouble.endlessAnswer;
  description.width = 640;
  description.height = doubleHeight;
  description.pitch = doublePitch;
  description.bitsPerPixel = 16;
  description.memory = theDouble.memory.data();
  return DisplayResult::ok;
}

DisplayResult unlockSurface(SurfaceHandle surface, void* memory) {
  theDouble.unlockedMemory = memory;
  return answer("unlockSurface " + surface->name);
}

DisplayResult restoreSurface(SurfaceHandle surface) {
  return answer("restoreSurface " + surface->name);
}

DisplayResult releaseSurface(SurfaceHandle surface) {
  ++surface->releases;
  return answer("releaseSurface " + surface->name);
}

DisplayResult releaseDisplay(DisplayHandle display) {
  ++display->releases;
  return answer("releaseDisplay");
}

TEST_F(FullScreen, EntersInOrderAndClearsTheBackBufferOnce) {
  EXPECT_TRUE(enterFullScreen(testWindow, 640, 480, 16));
  EXPECT_EQ(theDouble.calls,
            (std::vector<std::string>{"createDisplay", "setCooperativeLevel", "setDisplayMode",
                                      "createSurface", "getAttachedSurface",
                                      "lockSurface backBuffer", "unlockSurface backBuffer"}));
  EXPECT_EQ(theDouble.heldWindow, testWindow);
  EXPECT_EQ(theDouble.modeWidth, 640u);
  EXPECT_EQ(theDouble.modeHeight, 480u);
  EXPECT_EQ(theDouble.modeBits, 16u);
  EXPECT_EQ(theDouble.created.fields, describesCaps | describesBackBufferCount);
  EXPECT_EQ(theDouble.created.backBufferCount, 1u);
  EXPECT_EQ(theDouble.created.caps, primarySurfaceCap | flipCap | complexCap);
  EXPECT_EQ(theDouble.attachedCaps, backBufferCap);
  EXPECT_EQ(theFullScreenState.display, &theDouble.display);
  EXPECT_EQ(theFullScreenState.primary, &theDouble.primary);
  EXPECT_EQ(theFullScreenState.backBuffer, &theDouble.backBuffer);
}

TEST_F(FullScreen, ClearZeroesEveryRowOverItsWholePitchAndNothingBeyond) {
  ASSERT_TRUE(enterFullScreen(testWindow, 640, 480, 16));
  size_t surfaceBytes = static_cast<size_t>(doublePitch) * doubleHeight;
  size_t firstNonZero = surfaceBytes;
  for (size_t i = 0; i < surfaceBytes && firstNonZero == surfaceBytes; ++i)
    if (theDouble.memory[i] != 0) firstNonZero = i;
  EXPECT_EQ(firstNonZero, surfaceBytes) << "row " << firstNonZero / doublePitch;
  for (size_t i = surfaceBytes; i < theDouble.memory.size(); ++i)
    ASSERT_EQ(theDouble.memory[i], garbage) << "written past the surface at " << i;
  EXPECT_EQ(theDouble.unlockedMemory, theDouble.memory.data());
}

TEST_F(FullScreen, LostSurfaceRestoresThePrimaryAndLocksAgain) {
  theDouble.lockAnswers = {DisplayResult::surfaceLost, DisplayResult::stillDrawing,
                           DisplayResult::surfaceLost};
  EXPECT_TRUE(enterFullScreen(testWindow, 640, 480, 16));
  EXPECT_EQ(callsAfter("getAttachedSurface"),
            (std::vector<std::string>{"lockSurface backBuffer", "restoreSurface primary",
                                      "lockSurface backBuffer", "lockSurface backBuffer",
                                      "restoreSurface primary", "lockSurface backBuffer",
                                      "unlockSurface backBuffer"}));
  EXPECT_EQ(theDouble.memory[0], 0);
}

TEST_F(FullScreen, LockThatNeverSucceedsEndsAtTheBoundWithoutUnlocking) {
  theFullScreenState.primary = &theDouble.primary;
  for (DisplayResult endless : {DisplayResult::stillDrawing, DisplayResult::surfaceLost}) {
    theDouble.calls.clear();
    theDouble.lockNeverSucceeds = true;
    theDouble.endlessAnswer = endless;
    EXPECT_FALSE(clearSurface(&theDouble.backBuffer));
    EXPECT_EQ(count("lockSurface backBuffer"), lockAttempts);
    EXPECT_EQ(count("unlockSurface backBuffer"), 0);
    EXPECT_EQ(theDouble.memory[0], garbage);
  }
}

TEST_F(FullScreen, FailedClearStillEntersFullScreen) {
  theDouble.lockNeverSucceeds = true;
  EXPECT_TRUE(enterFullScreen(testWindow, 640, 480, 16));
  theDouble.refusedStep = "lockSurface";
  theDouble.lockNeverSucceeds = false;
  theDouble.calls.clear();
  EXPECT_TRUE(enterFullScreen(testWindow, 640, 480, 16));
  EXPECT_EQ(count("lockSurface backBuffer"), 1) << "a plain failure is not retried";
  EXPECT_EQ(count("unlockSurface backBuffer"), 0);
}

TEST_F(FullScreen, RefusedStepReturnsFalseAndLeavesWhatWasMadeForLeave) {
  struct Case {
    std::string step;
    std::vector<std::string> releases;
  };
  const std::vector<Case> cases{
      {"createDisplay", {}},
      {"setCooperativeLevel", {"releaseDisplay"}},
      {"setDisplayMode", {"releaseDisplay"}},
      {"createSurface", {"releaseDisplay"}},
      {"getAttachedSurface", {"releaseSurface primary", "releaseDisplay"}},
  };
  for (const Case& refused : cases) {
    SCOPED_TRACE(refused.step);
    SetUp();
    theDouble.refusedStep = refused.step;
    EXPECT_FALSE(enterFullScreen(testWindow, 640, 480, 16));
    EXPECT_EQ(theDouble.calls.back(), refused.step) << "nothing follows a refusal";
    EXPECT_EQ(count("lockSurface backBuffer"), 0);
    theDouble.refusedStep.clear();
    EXPECT_TRUE(leaveFullScreen(testWindow));
    EXPECT_EQ(callsAfter(refused.step), refused.releases);
  }
}

TEST_F(FullScreen, CloseReleasesBackBufferPrimaryAndDisplayInOrderOnceEach) {
  ASSERT_TRUE(enterFullScreen(testWindow, 640, 480, 16));
  EXPECT_TRUE(leaveFullScreen(testWindow));
  EXPECT_EQ(callsAfter("unlockSurface backBuffer"),
            (std::vector<std::string>{"releaseSurface backBuffer", "releaseSurface primary",
                                      "releaseDisplay"}));
  // A second close (none is expected) must not release anything twice.
  EXPECT_TRUE(leaveFullScreen(testWindow));
  EXPECT_EQ(theDouble.backBuffer.releases, 1);
  EXPECT_EQ(theDouble.primary.releases, 1);
  EXPECT_EQ(theDouble.display.releases, 1);
}

TEST_F(FullScreen, TheEndOfTheProcessGivesTheDisplayBackWhenNoCloseDid) {
  for (bool closedFirst : {false, true}) {
    SCOPED_TRACE(closedFirst ? "closed, then the process ends"
                             : "the process ends without a close, as after a failed start-up");
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(fds[0]);
      theDouble.callsPipe = fds[1];
      enterFullScreen(testWindow, 640, 480, 16);
      if (closedFirst) leaveFullScreen(testWindow);
      std::exit(1);
    }
    close(fds[1]);
    std::string written;
    char buffer[256];
    for (ssize_t got; (got = read(fds[0], buffer, sizeof buffer)) > 0;)
      written.append(buffer, static_cast<size_t>(got));
    close(fds[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status)) << "the child died of signal " << WTERMSIG(status);
    std::vector<std::string> releases;
    std::istringstream lines(written);
    for (std::string line; std::getline(lines, line);)
      if (line.rfind("release", 0) == 0) releases.push_back(line);
    EXPECT_EQ(releases, (std::vector<std::string>{"releaseSurface backBuffer",
                                                  "releaseSurface primary", "releaseDisplay"}));
  }
}
