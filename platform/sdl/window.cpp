// Window classes and windows on SDL2: registration, creation with WM_CREATE,
// showing, destruction with WM_DESTROY, caption and client rectangle. The
// class name becomes the X11 window class (WM_CLASS). Windows can be resized
// and minimized by the user, as the desktop API's overlapped windows can.
// Icons, cursors, background brushes and class styles have no SDL
// counterpart and are not kept.
//
// Video runs only on drivers that show a window to a person (X11, then
// Wayland) unless SDL_VIDEODRIVER names another: SDL would otherwise fall
// back to drawing off screen when there is no display, and the program would
// run unseen.
#include <cstdlib>
#include <map>
#include <memory>

#include "platform/sdl/close_signals.h"
#include "platform/sdl/window_table.h"

namespace {

std::map<std::string, WindowClass> registeredClasses;
std::vector<std::unique_ptr<PlatformWindow>> allWindows;
const char instanceMarker = 0;

}  // namespace

InstanceHandle currentInstance() { return &instanceMarker; }

bool startVideo() {
  static bool started = false;
  static bool tried = false;
  if (tried) return started;
  tried = true;
  // Closing the one window must reach the program as WM_CLOSE only once;
  // SDL would otherwise add a quit request of its own.
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  // A click that gives the window the focus is a click, as on the desktop
  // API: SDL would drop any press within 10 ms of the focus coming.
  SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
  // SDL takes the pointer at a button's press while it reads the events in;
  // setCapture comes after the press is handed out, too late for the
  // motion and release already read, which SDL would keep inside the window.
  SDL_SetHint(SDL_HINT_MOUSE_AUTO_CAPTURE, "1");
  // The environment variable, where set, overrides this hint. Wayland is
  // tried only where a session names it: probing for its default socket
  // otherwise only adds a complaint of its own to the no-display message.
  SDL_SetHint(SDL_HINT_VIDEODRIVER, std::getenv("WAYLAND_DISPLAY") != nullptr ? "x11,wayland" : "x11");
  // Ours note SIGHUP too, and reach a message box's wait (close_signals.cpp).
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  watchCloseSignals();
  started = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
  return started;
}

static std::string describeVariable(const char* variable) {
  const char* value = std::getenv(variable);
  return std::string(variable) + (value == nullptr ? " is not set" : std::string(" is \"") + value + "\"");
}

std::string noDisplayReason() {
  std::string reason = "No display could be opened: ";
  if (std::getenv("SDL_VIDEODRIVER") != nullptr) reason += describeVariable("SDL_VIDEODRIVER") + ", ";
  return reason + describeVariable("DISPLAY") + ", " + describeVariable("WAYLAND_DISPLAY") + ".";
}

PlatformWindow* windowForSdlId(uint32_t sdlWindowId) {
  for (auto& window : allWindows) {
    if (window->sdlWindow == nullptr) continue;
    for (uint32_t id : window->sdlWindowIds)
      if (id == sdlWindowId) return window.get();
  }
  return nullptr;
}

PlatformWindow* firstLiveWindow() {
  for (auto& window : allWindows)
    if (window->sdlWindow != nullptr) return window.get();
  return nullptr;
}

bool registerClass(const WindowClass& windowClass) {
  if (windowClass.className == nullptr || windowClass.procedure == nullptr) return false;
  if (registeredClasses.count(windowClass.className) != 0) return false;
  registeredClasses[windowClass.className] = windowClass;
  return true;
}

static SDL_Window* makeSdlWindow(const PlatformWindow& window, int width, int height,
                                 uint32_t flags) {
  return SDL_CreateWindow(window.caption.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                          width, height, flags | SDL_WINDOW_RESIZABLE);
}

WindowHandle createWindow(const char* className, const char* caption, int outerWidth,
                          int outerHeight, InstanceHandle) {
  if (className == nullptr) return nullptr;
  auto found = registeredClasses.find(className);
  if (found == registeredClasses.end()) return nullptr;
  // SDL names X11 windows after this variable, read as its video starts: the
  // first window's class names them all.
  setenv("SDL_VIDEO_X11_WMCLASS", className, 0);
  if (!startVideo()) return nullptr;
  if (outerWidth <= 0 || outerHeight <= 0) return nullptr;

  auto window = std::make_unique<PlatformWindow>();
  window->procedure = found->second.procedure;
  window->className = className;
  window->caption = caption != nullptr ? caption : "";
  window->outerWidth = outerWidth;
  window->outerHeight = outerHeight;
  window->sdlWindow = makeSdlWindow(*window, outerWidth, outerHeight, SDL_WINDOW_HIDDEN);
  if (window->sdlWindow == nullptr) return nullptr;
  window->sdlWindowIds.push_back(SDL_GetWindowID(window->sdlWindow));
  window->deviceContext.window = window.get();
  PlatformWindow* handle = window.get();
  allWindows.push_back(std::move(window));
  handle->procedure(handle, WM_CREATE, 0, 0);
  return handle;
}

void showWindow(WindowHandle window, int) {
  if (window == nullptr || window->sdlWindow == nullptr) return;
  SDL_ShowWindow(window->sdlWindow);
  // The size asked for is the outer size; take a window manager's frame off
  // the client area where there is one.
  int top = 0, left = 0, bottom = 0, right = 0;
  if (SDL_GetWindowBordersSize(window->sdlWindow, &top, &left, &bottom, &right) == 0 &&
      (top | left | bottom | right) != 0) {
    int width = window->outerWidth - left - right;
    int height = window->outerHeight - top - bottom;
    if (width > 0 && height > 0) SDL_SetWindowSize(window->sdlWindow, width, height);
  }
  SDL_RaiseWindow(window->sdlWindow);
}

void updateWindow(WindowHandle window) {
  // Nothing is painted outside the frame; this only lets the window appear.
  if (window == nullptr || window->sdlWindow == nullptr) return;
  SDL_PumpEvents();
}

bool destroyWindow(WindowHandle window) {
  if (window == nullptr || window->sdlWindow == nullptr) return false;
  window->procedure(window, WM_DESTROY, 0, 0);
  if (window->sdlWindow == nullptr) return true;  // destroyed again from WM_DESTROY
  SDL_Window* gone = window->sdlWindow;
  window->sdlWindow = nullptr;
  SDL_DestroyWindow(gone);
  return true;
}

bool remakeWindow(PlatformWindow* window, uint32_t extraFlags) {
  if (window == nullptr || window->sdlWindow == nullptr) return false;
  SDL_Window* old = window->sdlWindow;
  uint32_t oldFlags = SDL_GetWindowFlags(old);
  int width = 0, height = 0;
  SDL_GetWindowSize(old, &width, &height);
  SDL_DisplayMode mode;
  bool hasMode = SDL_GetWindowDisplayMode(old, &mode) == 0;
  uint32_t fullScreen = oldFlags & SDL_WINDOW_FULLSCREEN_DESKTOP;
  bool shown = (oldFlags & SDL_WINDOW_SHOWN) != 0;

  SDL_Window* made = makeSdlWindow(*window, width, height, SDL_WINDOW_HIDDEN | extraFlags);
  if (made == nullptr) return false;
  if (hasMode) SDL_SetWindowDisplayMode(made, &mode);
  SDL_SetWindowKeyboardGrab(made, SDL_GetWindowKeyboardGrab(old));
  SDL_DestroyWindow(old);
  window->sdlWindow = made;
  window->sdlWindowIds.push_back(SDL_GetWindowID(made));
  if (fullScreen != 0) SDL_SetWindowFullscreen(made, fullScreen);
  if (shown) {
    SDL_ShowWindow(made);
    SDL_RaiseWindow(made);
  }
  return true;
}

bool setWindowText(WindowHandle window, const char* text) {
  if (window == nullptr || window->sdlWindow == nullptr || text == nullptr) return false;
  window->caption = text;
  SDL_SetWindowTitle(window->sdlWindow, text);
  return true;
}

const char* windowText(WindowHandle window) {
  if (window == nullptr || window->sdlWindow == nullptr) return "";
  return window->caption.c_str();
}

bool getClientRect(WindowHandle window, Rect& rect) {
  rect = Rect{0, 0, 0, 0};
  if (window == nullptr || window->sdlWindow == nullptr) return false;
  int width = 0, height = 0;
  SDL_GetWindowSize(window->sdlWindow, &width, &height);
  rect.right = width;
  rect.bottom = height;
  return true;
}
