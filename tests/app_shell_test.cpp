// The application shell driven for real: WinMain with its window under a
// private Xvfb, real X key, mouse and close events from a second client, and a frame
// of the test's own that records what each frame saw.
#include <GL/gl.h>
#include <X11/keysym.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "app/app.h"
#include "app/navigation.h"
#include "gl/gl_context.h"
#include "render/point_light.h"
#include "render/render_frame.h"
#include "support/mouse_cases.h"
#include "support/x11_client.h"
#include "support/xvfb.h"

static auto* const xvfb = useOwnXvfb();

namespace {

struct FrameSnapshot {
  KeyFlags keys;
  uint8_t moveLight;
  uint8_t secondShadowMode;
  uint8_t showVolume;
  uint8_t frameStep;
  ViewAndLight view;  // after the frame's navigation step
};

std::mutex framesLock;
std::vector<FrameSnapshot> frames;
std::function<void(size_t)> frameAction;  // runs inside frame n, on the loop's thread
std::atomic<int> onCloseCalls{0};

size_t frameCount() {
  std::lock_guard<std::mutex> hold(framesLock);
  return frames.size();
}

// Waits for a frame at or after index `from` that satisfies `seen`.
bool waitForFrame(size_t from, const std::function<bool(const FrameSnapshot&)>& seen,
                  int timeoutMs = 5000) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    {
      std::lock_guard<std::mutex> hold(framesLock);
      for (size_t i = from; i < frames.size(); ++i)
        if (seen(frames[i])) return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return false;
}

// Runs WinMain on this thread while `observe` runs on another with its own X
// connection, once the first frame has been drawn; returns WinMain's result.
int runProgram(const std::function<void(X11Client&, Window)>& observe) {
  {
    std::lock_guard<std::mutex> hold(framesLock);
    frames.clear();
  }
  onCloseCalls = 0;
  std::thread observer([&] {
    X11Client client;
    ASSERT_TRUE(openX11Client(client));
    ASSERT_TRUE(waitForFrame(0, [](const FrameSnapshot&) { return true; }, 20000));
    Window window = waitForWindow(client, "My App", 5000);
    EXPECT_NE(window, 0u);
    if (window != 0) {
      moveFocus(client, window);
      observe(client, window);
    }
    closeX11Client(client);
  });
  char noCommandLine[] = "";
  int exitCode = WinMain(currentInstance(), nullptr, noCommandLine, SW_SHOWDEFAULT);
  observer.join();
  frameAction = nullptr;
  return exitCode;
}

class AppShell : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(chdir(DATA_DIR), 0);
    KeyState = KeyFlags{};
    viewOrigin = Vec3{0.0f, 0.0f, 0.0f};  // each run's start-up moves a new context's view
  }
};

}  // namespace

// The test's own program hooks and frame.
void firstStartUpStep(WindowHandle) {}
void onClose(WindowHandle) { ++onCloseCalls; }
void renderFrame(WindowHandle) {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  swapBuffers(GLContext.deviceContext);
  stepNavigation();
  size_t index;
  {
    std::lock_guard<std::mutex> hold(framesLock);
    frames.push_back(FrameSnapshot{KeyState, moveLight, secondShadowMode, showVolume, frameStep,
                                   {{}, lightPosition}});
    glGetFloatv(GL_MODELVIEW_MATRIX, frames.back().view.m);
    index = frames.size() - 1;
  }
  if (frameAction) frameAction(index);
}

TEST_F(AppShell, WindowHasClassCaptionAndSizeAndClosesWithZero) {
  int exitCode = runProgram([](X11Client& client, Window window) {
    EXPECT_EQ(windowClass(client, window), "My App");
    EXPECT_EQ(windowName(client, window), "Shadow Volume");
    int width = 0, height = 0;
    EXPECT_TRUE(windowSize(client, window, width, height));
    EXPECT_EQ(width, 800);
    EXPECT_EQ(height, 600);
    sendDeleteWindow(client, window);
  });
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(onCloseCalls, 1);
}

TEST_F(AppShell, TerminateRequestClosesLikeTheCloseButton) {
  int exitCode = runProgram([](X11Client&, Window) { kill(getpid(), SIGTERM); });
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(onCloseCalls, 1);
}

// A key as X11 names it and the flag it must set while held.
struct Key {
  unsigned long keysym;
  uint8_t KeyFlags::*flag;
};

// Presses and releases each key in turn; each press must set its flag and
// each release clear it, seen in the frames that follow.
template <size_t count>
void pressAndReleaseEach(X11Client& client, const Key (&keys)[count]) {
  for (const Key& key : keys) {
    size_t from = frameCount();
    pressKey(client, key.keysym);
    EXPECT_TRUE(waitForFrame(from, [&](const FrameSnapshot& f) { return f.keys.*key.flag == 1; }))
        << "key down for keysym " << key.keysym;
    from = frameCount();
    releaseKey(client, key.keysym);
    EXPECT_TRUE(waitForFrame(from, [&](const FrameSnapshot& f) { return f.keys.*key.flag == 0; }))
        << "key up for keysym " << key.keysym;
  }
}

TEST_F(AppShell, RealKeyEventsReachKeyDownAndKeyUp) {
  const Key keys[] = {{XK_Up, &KeyFlags::up},         {XK_Down, &KeyFlags::down},
                      {XK_Left, &KeyFlags::left},     {XK_Right, &KeyFlags::right},
                      {XK_Home, &KeyFlags::home},     {XK_End, &KeyFlags::end},
                      {XK_Delete, &KeyFlags::del},    {XK_Next, &KeyFlags::pageDown},
                      {XK_Prior, &KeyFlags::pageUp},  {XK_Insert, &KeyFlags::insert}};
  int exitCode = runProgram([&](X11Client& client, Window window) {
    pressAndReleaseEach(client, keys);
    size_t from = frameCount();
    uint8_t before = moveLight;
    pressKey(client, XK_Tab);
    releaseKey(client, XK_Tab);
    EXPECT_TRUE(waitForFrame(from, [&](const FrameSnapshot& f) { return f.moveLight != before; }));
    sendDeleteWindow(client, window);
  });
  EXPECT_EQ(exitCode, 0);
}

TEST_F(AppShell, KeypadKeysActAsTheDedicatedOnesOnlyWithNumLockOff) {
  // As the keypad gives them with NumLock off.
  const Key keys[] = {{XK_KP_Up, &KeyFlags::up},          {XK_KP_Down, &KeyFlags::down},
                      {XK_KP_Left, &KeyFlags::left},      {XK_KP_Right, &KeyFlags::right},
                      {XK_KP_Home, &KeyFlags::home},      {XK_KP_End, &KeyFlags::end},
                      {XK_KP_Delete, &KeyFlags::del},     {XK_KP_Next, &KeyFlags::pageDown},
                      {XK_KP_Prior, &KeyFlags::pageUp},   {XK_KP_Insert, &KeyFlags::insert}};
  uint8_t digitUp = 0;
  int exitCode = runProgram([&](X11Client& client, Window window) {
    pressAndReleaseEach(client, keys);
    // With NumLock on the same key is the digit 8, which moves nothing. It is
    // held while Tab flips the mode, so the frame that shows the flip comes
    // after its key-down was handled.
    pressKey(client, XK_Num_Lock);
    releaseKey(client, XK_Num_Lock);
    size_t from = frameCount();
    uint8_t mode = moveLight;
    pressKey(client, XK_KP_Up);
    pressKey(client, XK_Tab);
    releaseKey(client, XK_Tab);
    EXPECT_TRUE(waitForFrame(from, [&](const FrameSnapshot& f) { return f.moveLight != mode; }));
    {
      std::lock_guard<std::mutex> hold(framesLock);
      for (size_t i = from; i < frames.size(); ++i)
        if (frames[i].moveLight != mode) digitUp = std::max(digitUp, frames[i].keys.up);
    }
    releaseKey(client, XK_KP_Up);
    pressKey(client, XK_Num_Lock);
    releaseKey(client, XK_Num_Lock);
    sendDeleteWindow(client, window);
  });
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(digitUp, 0) << "keypad 8 with NumLock on acted as Up";
}

// The server repeats a held key after its delay, about 25 times a second.
TEST_F(AppShell, SwitchesHeldForTwoSecondsFlipOnce) {
  struct Switch {
    unsigned long keysym;
    uint8_t FrameSnapshot::*mode;
  };
  for (const Switch& s : {Switch{XK_Tab, &FrameSnapshot::moveLight},
                          Switch{XK_F2, &FrameSnapshot::secondShadowMode},
                          Switch{XK_F3, &FrameSnapshot::showVolume},
                          Switch{XK_F4, &FrameSnapshot::frameStep}}) {
    size_t flips = 0;
    int exitCode = runProgram([&](X11Client& client, Window window) {
      size_t from = frameCount();
      pressKey(client, s.keysym);
      std::this_thread::sleep_for(std::chrono::seconds(2));
      releaseKey(client, s.keysym);
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      std::lock_guard<std::mutex> hold(framesLock);
      for (size_t i = from + 1; i < frames.size(); ++i)
        if (frames[i].*s.mode != frames[i - 1].*s.mode) ++flips;
      sendDeleteWindow(client, window);
    });
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(flips, 1u) << "keysym " << s.keysym;
  }
}

TEST_F(AppShell, AKeyLetGoElsewhereOrWithAltHeldIsNoLongerHeld) {
  for (bool elsewhere : {true, false}) {
    SCOPED_TRACE(elsewhere ? "let go in another window" : "let go with Alt held");
    int exitCode = runProgram([&](X11Client& client, Window window) {
      pressKey(client, XK_Down);
      EXPECT_TRUE(waitForFrame(frameCount(), [](const FrameSnapshot& f) { return f.keys.down; }));
      if (elsewhere)
        focusOtherWindow(client);
      else
        pressKey(client, XK_Alt_L);
      releaseKey(client, XK_Down);
      releaseKey(client, XK_Alt_L);
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      EXPECT_TRUE(waitForFrame(frameCount(), [](const FrameSnapshot& f) { return !f.keys.down; }));
      sendDeleteWindow(client, window);
    });
    EXPECT_EQ(exitCode, 0);
  }
}

// Neither F10 nor Alt tapped on its own stops the frames or takes the keys;
// Escape closes as the close button does and gives the OpenGL context back.
TEST_F(AppShell, MenuKeysLeaveTheFrameRunningAndEscapeClosesWithZero) {
  int exitCode = runProgram([](X11Client& client, Window) {
    for (unsigned long menuKey : {XK_F10, XK_Alt_L}) {
      pressKey(client, menuKey);
      releaseKey(client, menuKey);
      const Key up[] = {{XK_Up, &KeyFlags::up}};
      pressAndReleaseEach(client, up);
    }
    pressKey(client, XK_Escape);
    releaseKey(client, XK_Escape);
  });
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(onCloseCalls, 1);
  EXPECT_EQ(GLContext.renderingContext, nullptr);
}

TEST_F(AppShell, QueuedMessagesAllGoBeforeTheNextFrame) {
  std::atomic<size_t> postedInFrame{SIZE_MAX};
  frameAction = [&](size_t index) {
    if (index != 3) return;
    postedInFrame = index;
    postMessage(mainWindow, WM_KEYDOWN, VK_UP, 0);
    postMessage(mainWindow, WM_KEYDOWN, VK_DOWN, 0);
    postMessage(mainWindow, WM_KEYDOWN, VK_LEFT, 0);
    postMessage(mainWindow, WM_KEYUP, VK_UP, 0);
  };
  int exitCode = runProgram([&](X11Client& client, Window window) {
    ASSERT_TRUE(waitForFrame(5, [](const FrameSnapshot&) { return true; }));
    sendDeleteWindow(client, window);
  });
  EXPECT_EQ(exitCode, 0);
  ASSERT_EQ(postedInFrame, 3u);
  std::lock_guard<std::mutex> hold(framesLock);
  const FrameSnapshot& next = frames.at(4);
  EXPECT_EQ(next.keys.up, 0);  // pressed and released before the frame
  EXPECT_EQ(next.keys.down, 1);
  EXPECT_EQ(next.keys.left, 1);
}

// Each mouse case, then Tab: the first frame that shows the flip has taken all
// of the case, which must be what the keys make of the frame before, in either mode.
TEST_F(AppShell, MouseDragsAndWheelDoWhatTheKeysDoAndADragLetGoOutsideEnds) {
  int exitCode = runProgram([](X11Client& client, Window window) {
    FrameSnapshot before{}, after{};
    ASSERT_TRUE(waitForFrame(0, [&](const FrameSnapshot& f) { before = f; return true; }));
    for (const MouseCase& c : mouseCases) {
      const size_t from = frameCount();
      makeMouseCase(client, window, c);
      pressKey(client, XK_Tab);
      releaseKey(client, XK_Tab);
      ASSERT_TRUE(waitForFrame(from, [&](const FrameSnapshot& f) {
        after = f;
        return f.moveLight != before.moveLight;
      })) << c.what;
      EXPECT_LT(distanceFromKeys(c, before.view, after.view), 0.01) << c.what;
      before = after;
    }
    sendDeleteWindow(client, window);
  });
  EXPECT_EQ(exitCode, 0);
}
