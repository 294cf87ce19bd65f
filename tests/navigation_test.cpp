// Keyboard navigation on a real OpenGL context under a private Xvfb: what the
// key messages record, what each held key does to the modelview matrix,
// viewOrigin and the light, checked in eye space against the matrix itself;
// and the whole program driven by real key events through its message loop,
// with the window's picture read back off the X server.
#include <GL/gl.h>
#include <X11/keysym.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/app.h"
#include "app/navigation.h"
#include "gl/gl_context.h"
#include "render/point_light.h"
#include "support/x11_client.h"
#include "support/xvfb.h"

// Last: Xlib's macros (None, Bool, Status) must not reach GoogleTest's headers.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

static auto* const xvfb = useOwnXvfb();

namespace {

using Point = std::array<double, 3>;

struct Matrix {
  float m[16];
};

Matrix modelview() {
  Matrix a;
  glGetFloatv(GL_MODELVIEW_MATRIX, a.m);
  return a;
}

bool sameBits(const Matrix& a, const Matrix& b) { return std::memcmp(a.m, b.m, sizeof a.m) == 0; }

// Where the matrix puts a model-space point, in eye space.
Point toEye(const Matrix& a, double x, double y, double z) {
  const float* m = a.m;
  return {m[0] * x + m[4] * y + m[8] * z + m[12], m[1] * x + m[5] * y + m[9] * z + m[13],
          m[2] * x + m[6] * y + m[10] * z + m[14]};
}
Point toEye(const Matrix& a, const Vec3& p) { return toEye(a, p.x, p.y, p.z); }

// The matrix's rotation part alone: how it turns a model-space direction.
Point directionToEye(const Matrix& a, double x, double y, double z) {
  const float* m = a.m;
  return {m[0] * x + m[4] * y + m[8] * z, m[1] * x + m[5] * y + m[9] * z,
          m[2] * x + m[6] * y + m[10] * z};
}

double distance(const Point& a, const Point& b) {
  return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) +
                   (a[2] - b[2]) * (a[2] - b[2]));
}

Point plus(const Point& a, const Point& b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }

// A right-handed turn by `degrees` about eye axis 0 (x), 1 (y) or 2 (z).
Point turned(const Point& p, int axis, double degrees) {
  const double c = std::cos(degrees * M_PI / 180.0), s = std::sin(degrees * M_PI / 180.0);
  const int i = (axis + 1) % 3, j = (axis + 2) % 3;
  Point q = p;
  q[i] = c * p[i] - s * p[j];
  q[j] = s * p[i] + c * p[j];
  return q;
}

// Model-space points spread round the scene, to follow through a change.
const Vec3 probes[] = {{0.0f, 0.0f, 0.0f},       {100.0f, 0.0f, 0.0f}, {0.0f, 100.0f, 0.0f},
                       {0.0f, 0.0f, 100.0f},     {-80.0f, 60.0f, -40.0f},
                       {20.0f, 20.0f, 70.0f}};

// Rounding in the float matrix, for points a few hundred units from the eye.
constexpr double closeEnough = 1e-3;

// The ten keys and the flags they drive.
struct Key {
  uint32_t code;
  uint8_t KeyFlags::*flag;
};
const Key keys[] = {{VK_UP, &KeyFlags::up},         {VK_DOWN, &KeyFlags::down},
                    {VK_LEFT, &KeyFlags::left},     {VK_RIGHT, &KeyFlags::right},
                    {VK_HOME, &KeyFlags::home},     {VK_END, &KeyFlags::end},
                    {VK_DELETE, &KeyFlags::del},    {VK_NEXT, &KeyFlags::pageDown},
                    {VK_PRIOR, &KeyFlags::pageUp},  {VK_INSERT, &KeyFlags::insert}};

intptr_t quietProcedure(WindowHandle, uint32_t, uintptr_t, intptr_t) { return 0; }

WindowHandle ownWindow = nullptr;

bool windowAlive(WindowHandle window) {
  Rect rect;
  return window != nullptr && getClientRect(window, rect);
}

// A window and context of this program's own; made again if the program run
// by the message-loop tests has taken their place.
void useOwnContext() {
  static bool registered =
      registerClass(WindowClass{0, quietProcedure, currentInstance(), "Navigation Test"});
  (void)registered;
  if (windowAlive(ownWindow) && GLContext.window == ownWindow) return;
  ownWindow = createWindow("Navigation Test", "Navigation Test", 320, 240, currentInstance());
  ASSERT_NE(ownWindow, nullptr);
  showWindow(ownWindow, SW_SHOWNORMAL);
  ASSERT_TRUE(setupGLContext(ownWindow));
}

// What the process starts with.
void resetNavigation() {
  KeyState = KeyFlags{};
  moveLight = 1;
  secondShadowMode = 0;
  showVolume = 0;
  frameStep = 0;
  viewOrigin = Vec3{0.0f, 0.0f, 0.0f};
  lightPosition = Vec3{20.0f, 20.0f, 70.0f};
}

void holdOnly(std::initializer_list<uint32_t> codes) {
  KeyState = KeyFlags{};
  for (uint32_t code : codes) keyDown(code, false);
}

class Navigation : public testing::Test {
 protected:
  void SetUp() override {
    useOwnContext();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    resetNavigation();
  }

  // The start-up view, then turned and moved off the axes, so that eye and
  // model axes differ and the eye is away from the model origin.
  static void leaveTheAxes() {
    translateView(0.0f, 0.0f, -200.0f);
    turnViewY(30.0f);
    translateView(15.0f, -10.0f, 5.0f);
    turnViewX(-20.0f);
    turnViewZ(45.0f);
    translateView(-3.0f, 7.0f, 11.0f);
  }

  static void expectEyeAtOrigin(const char* when) {
    Point eye = toEye(modelview(), eyeX(), eyeY(), eyeZ());
    EXPECT_LT(distance(eye, Point{0, 0, 0}), closeEnough) << when;
  }
};

}  // namespace

TEST_F(Navigation, EachKeyHoldsItsOwnFlagFromKeyDownToKeyUp) {
  for (const Key& key : keys) {
    keyDown(key.code, false);
    keyDown(key.code, true);  // an auto-repeat
    for (const Key& other : keys)
      EXPECT_EQ(KeyState.*other.flag, &other == &key ? 1 : 0) << "after key-down " << key.code;
    keyUp(key.code);
    for (const Key& other : keys) EXPECT_EQ(KeyState.*other.flag, 0) << "after key-up " << key.code;
  }
  EXPECT_EQ(moveLight, 1);
}

TEST_F(Navigation, OtherKeysChangeNoFlagAndNoMode) {
  keyDown(VK_LEFT, false);
  for (uint32_t code : {0u, VK_SPACE, VK_SHIFT, VK_ESCAPE, uint32_t{'A'}, VK_F1, VK_F1 + 4,
                        0xFFFFFFFFu, VK_UP + 0x10000u, VK_F1 + 1 + 0x10000u}) {
    keyDown(code, false);
    keyUp(code);
  }
  KeyFlags leftOnly{};
  leftOnly.left = 1;
  EXPECT_EQ(std::memcmp(&KeyState, &leftOnly, sizeof leftOnly), 0);
  EXPECT_EQ(moveLight, 1);
  EXPECT_EQ(secondShadowMode, 0);
  EXPECT_EQ(showVolume + frameStep, 0);
}

TEST_F(Navigation, TabAndF2FlipTheirModeOnEachFirstKeyDownOnly) {
  struct Switch {
    uint32_t code;
    uint8_t* mode;
    uint8_t* otherMode;
  };
  keyDown(VK_LEFT, false);
  for (const Switch& s : {Switch{VK_TAB, &moveLight, &secondShadowMode},
                          Switch{VK_F1 + 1, &secondShadowMode, &moveLight}}) {
    const uint8_t start = *s.mode, other = *s.otherMode;
    for (int press = 1; press <= 3; ++press) {
      keyDown(s.code, false);
      for (int repeat = 0; repeat < 5; ++repeat) keyDown(s.code, true);  // held down
      keyUp(s.code);
      EXPECT_EQ(*s.mode != start, press % 2 == 1) << "key " << s.code << " press " << press;
      EXPECT_EQ(*s.otherMode, other) << "key " << s.code;
    }
  }
  KeyFlags leftOnly{};
  leftOnly.left = 1;
  EXPECT_EQ(std::memcmp(&KeyState, &leftOnly, sizeof leftOnly), 0);
  moveLight = 7;  // any non-zero value is light mode
  keyDown(VK_TAB, false);
  EXPECT_EQ(moveLight, 0);
}

TEST_F(Navigation, TheStartUpMovePutsTheEyeTwoHundredInFrontOfTheOrigin) {
  translateView(0.0f, 0.0f, -200.0f);
  EXPECT_EQ(viewOrigin.x, 0.0f);
  EXPECT_EQ(viewOrigin.y, 0.0f);
  EXPECT_EQ(viewOrigin.z, -200.0f);
  EXPECT_EQ(eyeX(), 0.0f);
  EXPECT_EQ(eyeY(), 0.0f);
  EXPECT_EQ(eyeZ(), 200.0f);
  Point eye = toEye(modelview(), eyeX(), eyeY(), eyeZ());
  EXPECT_EQ(eye, (Point{0.0, 0.0, 0.0}));
  EXPECT_EQ(toEye(modelview(), 0.0, 0.0, 0.0), (Point{0.0, 0.0, -200.0}));
}

TEST_F(Navigation, ArrowKeysMoveTheSceneAlongTheEyesOwnAxes) {
  leaveTheAxes();
  struct Case {
    uint32_t code;
    Point eyeSpaceShift;
  };
  const Case cases[] = {{VK_UP, {0, 0, 1}}, {VK_DOWN, {0, 0, -1}}, {VK_LEFT, {1, 0, 0}},
                        {VK_RIGHT, {-1, 0, 0}}};
  for (bool lightMode : {true, false}) {
    moveLight = lightMode ? 1 : 0;
    for (const Case& c : cases) {
      Matrix before = modelview();
      holdOnly({c.code});
      stepNavigation();
      Matrix after = modelview();
      for (const Vec3& p : probes)
        EXPECT_LT(distance(toEye(after, p), plus(toEye(before, p), c.eyeSpaceShift)), closeEnough)
            << "key " << c.code;
      expectEyeAtOrigin("after an arrow key");
    }
  }
}

TEST_F(Navigation, LightModeMovesTheLightAlongTheEyesAxesAndLeavesTheView) {
  leaveTheAxes();
  struct Case {
    uint32_t code;
    Point eyeSpaceShift;
  };
  const Case cases[] = {{VK_HOME, {0, 2, 0}},  {VK_END, {0, -2, 0}},   {VK_DELETE, {-2, 0, 0}},
                        {VK_NEXT, {2, 0, 0}},  {VK_PRIOR, {0, 0, -2}}, {VK_INSERT, {0, 0, 2}}};
  for (const Case& c : cases) {
    Matrix before = modelview();
    Vec3 origin = viewOrigin;
    Point light = toEye(before, lightPosition);
    holdOnly({c.code});
    stepNavigation();
    EXPECT_TRUE(sameBits(modelview(), before)) << "key " << c.code;
    EXPECT_EQ(std::memcmp(&viewOrigin, &origin, sizeof origin), 0) << "key " << c.code;
    EXPECT_LT(distance(toEye(before, lightPosition), plus(light, c.eyeSpaceShift)), closeEnough)
        << "key " << c.code;
  }
}

TEST_F(Navigation, TurnKeysTurnTheSceneAboutTheEyesAxesThroughTheEye) {
  leaveTheAxes();
  moveLight = 0;
  struct Case {
    uint32_t code;
    int axis;
    double degrees;
  };
  const Case cases[] = {{VK_HOME, 0, -1.0}, {VK_END, 0, 1.0},    {VK_DELETE, 1, -1.0},
                        {VK_NEXT, 1, 1.0},  {VK_PRIOR, 2, -1.0}, {VK_INSERT, 2, 1.0}};
  for (const Case& c : cases) {
    Matrix before = modelview();
    Vec3 origin = viewOrigin;
    Vec3 light = lightPosition;
    holdOnly({c.code});
    stepNavigation();
    Matrix after = modelview();
    for (const Vec3& p : probes)
      EXPECT_LT(distance(toEye(after, p), turned(toEye(before, p), c.axis, c.degrees)), closeEnough)
          << "key " << c.code;
    EXPECT_EQ(std::memcmp(&viewOrigin, &origin, sizeof origin), 0) << "key " << c.code;
    EXPECT_EQ(std::memcmp(&lightPosition, &light, sizeof light), 0) << "key " << c.code;
    expectEyeAtOrigin("after a turn");
  }
}

TEST_F(Navigation, TurnsHeldTogetherApplyInTurnEachAboutTheAxisReadAfterThePrevious) {
  leaveTheAxes();
  moveLight = 0;
  Matrix before = modelview();
  holdOnly({VK_HOME, VK_DELETE});
  stepNavigation();
  Matrix after = modelview();
  for (const Vec3& p : probes) {
    Point q = toEye(before, p);
    Point expected = turned(turned(q, 0, -1.0), 1, -1.0);  // about x first, then the new y
    Point otherOrder = turned(turned(q, 1, -1.0), 0, -1.0);
    if (distance(expected, otherOrder) > 10 * closeEnough) {
      EXPECT_LT(distance(toEye(after, p), expected), closeEnough);
    }
    EXPECT_GT(distance(toEye(after, p), otherOrder), distance(toEye(after, p), expected));
  }
  expectEyeAtOrigin("after two turns");
}

TEST_F(Navigation, OppositeKeysHeldTogetherCancelInTheSameFrame) {
  leaveTheAxes();
  const Matrix start = modelview();
  const Vec3 light = lightPosition;

  // Light mode: the light's step is exactly zero.
  for (auto pair : {std::array<uint32_t, 2>{VK_HOME, VK_END}, {VK_DELETE, VK_NEXT},
                    {VK_PRIOR, VK_INSERT}}) {
    holdOnly({pair[0], pair[1]});
    stepNavigation();
    EXPECT_EQ(std::memcmp(&lightPosition, &light, sizeof light), 0) << "keys " << pair[0];
    EXPECT_TRUE(sameBits(modelview(), start));
  }
  // The view's moves and the turns are undone up to rounding.
  for (uint8_t mode : {uint8_t{1}, uint8_t{0}}) {
    moveLight = mode;
    for (auto pair : {std::array<uint32_t, 2>{VK_UP, VK_DOWN}, {VK_LEFT, VK_RIGHT}, {VK_HOME, VK_END},
                      {VK_DELETE, VK_NEXT}, {VK_PRIOR, VK_INSERT}}) {
      Matrix before = modelview();
      holdOnly({pair[0], pair[1]});
      stepNavigation();
      Matrix after = modelview();
      for (const Vec3& p : probes)
        EXPECT_LT(distance(toEye(after, p), toEye(before, p)), closeEnough)
            << "keys " << pair[0] << " and " << pair[1] << " in mode " << int{mode};
    }
  }
  expectEyeAtOrigin("after the pairs");
}

TEST_F(Navigation, WithNoKeyHeldAFrameChangesNothing) {
  leaveTheAxes();
  for (uint8_t mode : {uint8_t{1}, uint8_t{0}}) {
    moveLight = mode;
    const Matrix before = modelview();
    const Vec3 origin = viewOrigin;
    const Vec3 light = lightPosition;
    for (int frame = 0; frame < 5; ++frame) stepNavigation();
    EXPECT_TRUE(sameBits(modelview(), before)) << "mode " << int{mode};
    EXPECT_EQ(std::memcmp(&viewOrigin, &origin, sizeof origin), 0) << "mode " << int{mode};
    EXPECT_EQ(std::memcmp(&lightPosition, &light, sizeof light), 0) << "mode " << int{mode};
  }
}

TEST_F(Navigation, AfterAnySequenceOfHeldKeysTheEyeStaysAtTheEyeSpaceOrigin) {
  // Thousands of frames accumulate rounding in the float matrix; a turn about
  // the wrong point or axis would be off by units at once.
  constexpr double afterManyFrames = 1e-2;
  std::mt19937 random(1964);
  translateView(0.0f, 0.0f, -200.0f);
  double worstEye = 0.0, worstLight = 0.0;
  int lightFrames = 0, turnFrames = 0;
  for (int round = 0; round < 400; ++round) {
    if (random() % 3 == 0) keyDown(VK_TAB, false);
    for (const Key& key : keys) KeyState.*key.flag = random() % 3 == 0 ? 1 : 0;
    const int held = 1 + static_cast<int>(random() % 12);
    for (int frame = 0; frame < held; ++frame) {
      const Vec3 lightBefore = lightPosition;
      stepNavigation();
      const Matrix m = modelview();
      const double eyeError = distance(toEye(m, eyeX(), eyeY(), eyeZ()), Point{0, 0, 0});
      worstEye = std::max(worstEye, eyeError);
      ASSERT_LT(eyeError, afterManyFrames) << "round " << round << " frame " << frame;
      if (moveLight != 0) {
        ++lightFrames;
        const Point step = {(KeyState.del ? -2.0 : 0.0) + (KeyState.pageDown ? 2.0 : 0.0),
                            (KeyState.home ? 2.0 : 0.0) - (KeyState.end ? 2.0 : 0.0),
                            (KeyState.pageUp ? -2.0 : 0.0) + (KeyState.insert ? 2.0 : 0.0)};
        const Point moved = directionToEye(m, double{lightPosition.x} - lightBefore.x,
                                           double{lightPosition.y} - lightBefore.y,
                                           double{lightPosition.z} - lightBefore.z);
        const double lightError = distance(moved, step);
        worstLight = std::max(worstLight, lightError);
        ASSERT_LT(lightError, afterManyFrames) << "round " << round << " frame " << frame;
      } else {
        ++turnFrames;
      }
    }
  }
  EXPECT_GT(lightFrames, 300);
  EXPECT_GT(turnFrames, 300);
  RecordProperty("worstEyeError", std::to_string(worstEye));
  RecordProperty("worstLightError", std::to_string(worstLight));
}

// ---------------------------------------------------------------------------
// The whole program: WinMain from the data folder with the real frame, real
// key events from a second X client, and the window's picture read back.

namespace {

std::atomic<bool> programWindowMade{false};
std::atomic<int> closeCount{0};

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> rgb;  // 0xRRGGBB, row by row from the top

  bool operator==(const Picture& other) const {
    return width == other.width && height == other.height && rgb == other.rgb;
  }
};

uint32_t expandChannel(unsigned long pixel, unsigned long mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (((mask >> shift) & 1) == 0) ++shift;
  const unsigned long top = mask >> shift;
  return static_cast<uint32_t>(((pixel & mask) >> shift) * 255 / top);
}

// The window's contents as the X server holds them: the swapped front buffer.
Picture grab(X11Client& client, Window window) {
  Picture picture;
  XWindowAttributes attributes;
  if (XGetWindowAttributes(client.display, window, &attributes) == 0) return picture;
  XImage* image = XGetImage(client.display, window, 0, 0, static_cast<unsigned>(attributes.width),
                            static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
  if (image == nullptr) return picture;
  picture.width = attributes.width;
  picture.height = attributes.height;
  picture.rgb.reserve(static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height));
  for (int y = 0; y < picture.height; ++y)
    for (int x = 0; x < picture.width; ++x) {
      const unsigned long pixel = XGetPixel(image, x, y);
      picture.rgb.push_back(expandChannel(pixel, image->red_mask) << 16 |
                            expandChannel(pixel, image->green_mask) << 8 |
                            expandChannel(pixel, image->blue_mask));
    }
  XDestroyImage(image);
  return picture;
}

// The light marker is the only strongly coloured thing in the picture: its
// corners are pure red, green and blue, the scene is pale.
struct Marker {
  int pixels = 0;
  double x = 0.0;
  double y = 0.0;
};

Marker findMarker(const Picture& picture) {
  Marker marker;
  for (int y = 0; y < picture.height; ++y)
    for (int x = 0; x < picture.width; ++x) {
      const uint32_t c = picture.rgb[static_cast<size_t>(y) * static_cast<size_t>(picture.width) +
                                     static_cast<size_t>(x)];
      const int r = static_cast<int>(c >> 16), g = static_cast<int>((c >> 8) & 0xFF),
                b = static_cast<int>(c & 0xFF);
      if (std::max({r, g, b}) - std::min({r, g, b}) < 140) continue;
      ++marker.pixels;
      marker.x += x;
      marker.y += y;
    }
  if (marker.pixels > 0) {
    marker.x /= marker.pixels;
    marker.y /= marker.pixels;
  }
  return marker;
}

size_t differingPixels(const Picture& a, const Picture& b) {
  if (a.rgb.size() != b.rgb.size()) return SIZE_MAX;
  size_t count = 0;
  for (size_t i = 0; i < a.rgb.size(); ++i)
    if (a.rgb[i] != b.rgb[i]) ++count;
  return count;
}

// The picture once the program has stopped changing it: two grabs a while apart agree.
bool waitForSteadyPicture(X11Client& client, Window window, Picture& picture, int timeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  Picture last = grab(client, window);
  while (std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    Picture next = grab(client, window);
    if (next.width > 0 && next == last && findMarker(next).pixels > 20) {
      picture = next;
      return true;
    }
    last = next;
  }
  return false;
}

// Holds a key until `enough` says the picture has changed far enough.
bool holdKeyUntil(X11Client& client, Window window, unsigned long keysym,
                  const std::function<bool(const Picture&)>& enough, int timeoutMs) {
  pressKey(client, keysym);
  bool reached = false;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!reached && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    reached = enough(grab(client, window));
  }
  releaseKey(client, keysym);
  return reached;
}

// The program's window once it shows a frame. Setting up OpenGL replaces the
// X window the program first made, so a window found too early is looked for again.
Window waitForDrawnWindow(X11Client& client, int timeoutMs) {
  // The platform names every X window after the first window class made.
  const char* xClass = std::getenv("SDL_VIDEO_X11_WMCLASS");
  if (xClass == nullptr) return 0;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    Window window = waitForWindow(client, xClass, 1000);
    if (window != 0 && findMarker(grab(client, window)).pixels > 20) return window;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return 0;
}

// Runs the program on this thread and `observe` on another, with its own X
// connection, once the program's window shows a frame; the window is closed after.
int runProgram(const std::function<void(X11Client&, Window)>& observe) {
  programWindowMade = false;
  closeCount = 0;
  std::thread observer([&] {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!programWindowMade && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    X11Client client;
    Window window = 0;
    if (programWindowMade && openX11Client(client)) window = waitForDrawnWindow(client, 60000);
    if (window == 0) {
      ADD_FAILURE() << "the program's window did not show a frame";
      kill(getpid(), SIGTERM);  // reaches the program as a close
      closeX11Client(client);
      return;
    }
    moveFocus(client, window);
    observe(client, window);
    sendDeleteWindow(client, window);
    closeX11Client(client);
  });
  char noCommandLine[] = "";
  int exitCode = WinMain(currentInstance(), nullptr, noCommandLine, SW_SHOWDEFAULT);
  observer.join();
  return exitCode;
}

class RealKeys : public testing::Test {
 protected:
  void SetUp() override {
    // Only the program's window may be on the screen, so that it is found and has the focus.
    if (windowAlive(ownWindow)) destroyWindow(ownWindow);
    ownWindow = nullptr;
    resetNavigation();
    ASSERT_EQ(chdir(DATA_DIR), 0);
  }
};

}  // namespace

void firstStartUpStep(WindowHandle) { programWindowMade = true; }
void onClose(WindowHandle) { ++closeCount; }

TEST_F(RealKeys, HoldingHomeMovesTheLightMarkerUpTheWindow) {
  Picture before, after;
  Marker start, end;
  bool moved = false;
  int exitCode = runProgram([&](X11Client& client, Window window) {
    ASSERT_TRUE(waitForSteadyPicture(client, window, before, 30000));
    start = findMarker(before);
    moved = holdKeyUntil(client, window, XK_Home, [&](const Picture& now) {
      Marker m = findMarker(now);
      return m.pixels > 20 && m.y <= start.y - 20.0;
    }, 20000);
    ASSERT_TRUE(waitForSteadyPicture(client, window, after, 10000)) << "still changing after key-up";
    end = findMarker(after);
  });
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(closeCount, 1);
  ASSERT_TRUE(moved);
  EXPECT_LE(end.y, start.y - 20.0);
  RecordProperty("markerFrom", std::to_string(start.x) + "," + std::to_string(start.y));
  RecordProperty("markerTo", std::to_string(end.x) + "," + std::to_string(end.y));
  EXPECT_NEAR(end.x, start.x, 3.0);  // straight up: the light moved along the eye's y axis
  // Not the marker alone: the light's move changes the shading over the scene.
  EXPECT_GT(differingPixels(before, after), 10000u);
}

TEST_F(RealKeys, HoldingUpBringsTheSceneNearer) {
  Picture before, after;
  Marker start, end;
  bool moved = false;
  int exitCode = runProgram([&](X11Client& client, Window window) {
    ASSERT_TRUE(waitForSteadyPicture(client, window, before, 30000));
    start = findMarker(before);
    const double cx = before.width / 2.0, cy = before.height / 2.0;
    const double startOffset = std::hypot(start.x - cx, start.y - cy);
    moved = holdKeyUntil(client, window, XK_Up, [&](const Picture& now) {
      Marker m = findMarker(now);
      return m.pixels > 20 && std::hypot(m.x - cx, m.y - cy) >= 1.1 * startOffset;
    }, 20000);
    ASSERT_TRUE(waitForSteadyPicture(client, window, after, 10000)) << "still changing after key-up";
    end = findMarker(after);
  });
  EXPECT_EQ(exitCode, 0);
  ASSERT_TRUE(moved);
  RecordProperty("markerFrom", std::to_string(start.x) + "," + std::to_string(start.y));
  RecordProperty("markerTo", std::to_string(end.x) + "," + std::to_string(end.y));
  // Nearer, the light's place moves straight out from the window's centre.
  const double cx = before.width / 2.0, cy = before.height / 2.0;
  EXPECT_NEAR(std::atan2(end.y - cy, end.x - cx), std::atan2(start.y - cy, start.x - cx), 0.05);
  EXPECT_GT(end.pixels, start.pixels);  // and the marker looks bigger
  EXPECT_GT(differingPixels(before, after), 10000u);
}

// F2 goes through the window system like any key and switches the frame to
// counting from behind the surface; from the start view that finds the same
// shadow, and the program goes on drawing, captioning and taking keys.
TEST_F(RealKeys, F2SwitchesTheShadowModeAndTheOtherKeysStillWork) {
  Picture before, switched, after;
  Marker start, end;
  bool moved = false;
  std::string caption;
  int exitCode = runProgram([&](X11Client& client, Window window) {
    ASSERT_TRUE(waitForSteadyPicture(client, window, before, 30000));
    pressKey(client, XK_F2);
    releaseKey(client, XK_F2);
    ASSERT_TRUE(waitForSteadyPicture(client, window, switched, 10000));
    start = findMarker(switched);
    moved = holdKeyUntil(client, window, XK_Home, [&](const Picture& now) {
      Marker m = findMarker(now);
      return m.pixels > 20 && m.y <= start.y - 20.0;
    }, 20000);
    ASSERT_TRUE(waitForSteadyPicture(client, window, after, 10000)) << "still changing after key-up";
    end = findMarker(after);
    caption = windowName(client, window);
  });
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(secondShadowMode, 1) << "one press of F2 should flip the mode once";
  EXPECT_EQ(moveLight, 1) << "F2 is not Tab";
  EXPECT_LE(differingPixels(before, switched), before.rgb.size() / 1000);
  ASSERT_TRUE(moved) << "Home should still move the light";
  EXPECT_NEAR(end.x, start.x, 3.0);
  char* rest = nullptr;
  std::strtod(caption.c_str(), &rest);
  EXPECT_TRUE(rest != caption.c_str() && *rest == '\0') << "caption \"" << caption << "\"";
}
