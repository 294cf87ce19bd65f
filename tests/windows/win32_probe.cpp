// A small Windows program the Wine tests run beside the demo, in the same
// prefix, to see it as Windows sees it: by its window class, its caption,
// its message box, the screen mode, and the pixel format our OpenGL set-up
// gets from the driver. Prints what it finds on standard output; exit code 0
// when it found it, 1 when not within the wait.
//
//   win32_probe window       the "My App" window once its caption shows a rate:
//                            its caption, its outer and client sizes, and
//                            whether it clips its children and siblings
//   win32_probe resize       the same after making it 1000 by 700 (outer) in the
//                            screen's top-left corner and waiting for frames
//   win32_probe minimize     minimizes the "My App" window; whether it is now
//   win32_probe close        posts WM_CLOSE to the "My App" window
//   win32_probe messagebox   the text of the "Shadow Volume" message box, then OK
//   win32_probe screen       the screen's width, height and bits per pixel
//   win32_probe pixelformat  our pixel format on a window of the probe's own
//   win32_probe keys         a window of its own ("Key Probe") on the real
//                            window procedure and navigation: prints each key,
//                            focus and close message's code, the eye, the two
//                            modes, the view and the light after it until the
//                            window is closed, then whether the OpenGL context
//                            was released
#include <GL/gl.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/app.h"
#include "app/navigation.h"
#include "gl/gl_context.h"
#include "platform/platform.h"
#include "render/point_light.h"

namespace {

constexpr DWORD waitMs = 30000;

HWND waitForTopLevel(const char* className, const char* caption) {
  DWORD start = GetTickCount();
  while (GetTickCount() - start < waitMs) {
    HWND window = FindWindowA(className, caption);
    if (window != nullptr) return window;
    Sleep(20);
  }
  return nullptr;
}

std::string captionOf(HWND window) {
  char text[256] = "";
  GetWindowTextA(window, text, sizeof text);
  return text;
}

bool isRate(const std::string& text) {
  double rate = 0.0;
  int used = 0;
  return std::sscanf(text.c_str(), "%lf%n", &rate, &used) == 1 &&
         used == static_cast<int>(text.size());
}

void waitForCaptionChange(HWND window) {
  const std::string before = captionOf(window);
  DWORD start = GetTickCount();
  while (captionOf(window) == before && GetTickCount() - start < waitMs) Sleep(20);
}

int probeWindow(bool resize) {
  HWND window = waitForTopLevel("My App", nullptr);
  if (window == nullptr) return 1;
  DWORD start = GetTickCount();
  while (!isRate(captionOf(window)) && GetTickCount() - start < waitMs) Sleep(20);
  if (resize) {
    // In the screen's top-left corner, so that it can be read whole.
    SetWindowPos(window, nullptr, 0, 0, 1000, 700, SWP_NOZORDER);
    // The caption turns over every ten frames.
    waitForCaptionChange(window);
    waitForCaptionChange(window);
  }
  RECT outer{};
  GetWindowRect(window, &outer);
  RECT client{};
  GetClientRect(window, &client);
  const LONG clips = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  std::printf("class: My App\ncaption: %s\nouter: %ldx%ld\nclient: %ldx%ld\nclips: %d\n",
              captionOf(window).c_str(), outer.right - outer.left, outer.bottom - outer.top,
              client.right - client.left, client.bottom - client.top,
              (GetWindowLongA(window, GWL_STYLE) & clips) == clips ? 1 : 0);
  return isRate(captionOf(window)) ? 0 : 1;
}

int probeMinimize() {
  HWND window = waitForTopLevel("My App", nullptr);
  if (window == nullptr) return 1;
  ShowWindow(window, SW_MINIMIZE);
  std::printf("iconic: %d\n", IsIconic(window) ? 1 : 0);
  return 0;
}

int probeClose() {
  HWND window = waitForTopLevel("My App", nullptr);
  return window != nullptr && PostMessageA(window, WM_CLOSE, 0, 0) ? 0 : 1;
}

BOOL CALLBACK printStaticText(HWND child, LPARAM) {
  char className[64] = "";
  GetClassNameA(child, className, sizeof className);
  if (std::strcmp(className, "Static") == 0) {
    std::string text = captionOf(child);
    if (!text.empty()) std::printf("text: %s\n", text.c_str());
  }
  return TRUE;
}

int probeMessageBox() {
  HWND box = waitForTopLevel("#32770", "Shadow Volume");
  if (box == nullptr) return 1;
  EnumChildWindows(box, printStaticText, 0);
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  return 0;
}

int probeScreen() {
  HDC screen = GetDC(nullptr);
  std::printf("screen: %dx%dx%d\n", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
              GetDeviceCaps(screen, BITSPIXEL));
  ReleaseDC(nullptr, screen);
  return 0;
}

intptr_t quietProcedure(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return defWindowProc(window, message, wParam, lParam);
}

int probePixelFormat() {
  registerClass(WindowClass{CS_HREDRAW | CS_VREDRAW, quietProcedure, currentInstance(), "Probe"});
  WindowHandle window = createWindow("Probe", "Probe", 320, 240, currentInstance());
  if (window == nullptr || !setupGLContext(window)) return 1;
  PIXELFORMATDESCRIPTOR format{};
  int index = GetPixelFormat(GLContext.deviceContext);
  if (DescribePixelFormat(GLContext.deviceContext, index, sizeof format, &format) == 0) return 1;
  std::printf("red %d green %d blue %d alpha %d depth %d stencil %d double %d\n", format.cRedBits,
              format.cGreenBits, format.cBlueBits, format.cAlphaBits, format.cDepthBits,
              format.cStencilBits, (format.dwFlags & PFD_DOUBLEBUFFER) != 0 ? 1 : 0);
  return 0;
}

intptr_t keyProcedure(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  const intptr_t result = windowProc(window, message, wParam, lParam);
  const char* what = message == WM_KEYDOWN     ? "down"
                     : message == WM_KEYUP     ? "up"
                     : message == WM_SYSKEYUP  ? "sysup"
                     : message == WM_KILLFOCUS ? "killfocus"
                     : message == WM_CLOSE     ? "close"
                                               : nullptr;
  if (what != nullptr) {
    std::printf("%s %u eye %.3f %.3f %.3f light %d behind %d view", what,
                static_cast<unsigned>(wParam), static_cast<double>(eyeX()),
                static_cast<double>(eyeY()), static_cast<double>(eyeZ()), moveLight,
                secondShadowMode);
    float m[16]{};  // zeros once the context is gone
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    for (float value : m) std::printf(" %.7g", double{value});
    std::printf(" %.7g %.7g %.7g\n", double{lightPosition.x}, double{lightPosition.y},
                double{lightPosition.z});
    std::fflush(stdout);
  }
  return result;
}

// The program's loop with stepNavigation in place of the frame: held keys
// move the eye once per pass.
int probeKeys() {
  registerClass(WindowClass{CS_HREDRAW | CS_VREDRAW, keyProcedure, currentInstance(), "Key Probe"});
  WindowHandle window = createWindow("Key Probe", "Key Probe", 320, 240, currentInstance());
  if (window == nullptr) return 1;
  showWindow(window, SW_SHOWNORMAL);
  if (!setupGLContext(window)) return 1;
  translateView(0.0f, 0.0f, -200.0f);
  std::printf("ready\n");
  std::fflush(stdout);
  Message message;
  for (;;) {
    if (peekMessage(message)) {
      if (message.message == WM_QUIT) {
        std::printf("released: %d\n",
                    GLContext.renderingContext == nullptr && wglGetCurrentContext() == nullptr);
        return static_cast<int>(message.wParam);
      }
      translateMessage(message);
      dispatchMessage(message);
      // As a frame would between a user's moves, before the next message's line.
      if (message.message >= WM_MOUSEMOVE && message.message <= WM_MOUSEWHEEL) stepNavigation();
    } else {
      stepNavigation();
      Sleep(1);
    }
  }
}

}  // namespace

// The window procedure's hooks, for the key probe's window.
void firstStartUpStep(WindowHandle) {}
void onClose(WindowHandle) {}

int main(int argc, char** argv) {
  std::string what = argc > 1 ? argv[1] : "";
  int result = 2;
  if (what == "window" || what == "resize") result = probeWindow(what == "resize");
  if (what == "minimize") result = probeMinimize();
  if (what == "close") result = probeClose();
  if (what == "messagebox") result = probeMessageBox();
  if (what == "screen") result = probeScreen();
  if (what == "pixelformat") result = probePixelFormat();
  if (what == "keys") result = probeKeys();
  std::fflush(stdout);
  return result;
}
