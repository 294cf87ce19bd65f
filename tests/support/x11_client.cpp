// Test-side X11 client (see x11_client.h).
#include "support/x11_client.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <thread>
#include <vector>

bool openX11Client(X11Client& client) {
  client.display = XOpenDisplay(nullptr);
  return client.display != nullptr;
}

void closeX11Client(X11Client& client) {
  if (client.display != nullptr) XCloseDisplay(client.display);
  client.display = nullptr;
}

static int ignoreErrors(Display*, XErrorEvent*) { return 0; }

static void collectWindows(Display* display, Window parent, std::vector<Window>& out) {
  Window root, ownParent;
  Window* children = nullptr;
  unsigned count = 0;
  if (XQueryTree(display, parent, &root, &ownParent, &children, &count) == 0) return;
  for (unsigned i = 0; i < count; ++i) {
    out.push_back(children[i]);
    collectWindows(display, children[i], out);
  }
  if (children != nullptr) XFree(children);
}

std::string windowClass(X11Client& client, Window window) {
  XClassHint hint{nullptr, nullptr};
  std::string result;
  if (XGetClassHint(client.display, window, &hint) != 0) {
    if (hint.res_class != nullptr) result = hint.res_class;
    if (hint.res_name != nullptr) XFree(hint.res_name);
    if (hint.res_class != nullptr) XFree(hint.res_class);
  }
  return result;
}

// Polls the window tree until a mapped window satisfies `matches`.
template <typename Matches>
static Window waitForMappedWindow(X11Client& client, int timeoutMs, Matches matches) {
  XSetErrorHandler(ignoreErrors);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    std::vector<Window> windows;
    collectWindows(client.display, DefaultRootWindow(client.display), windows);
    for (Window window : windows) {
      XWindowAttributes attributes;
      if (XGetWindowAttributes(client.display, window, &attributes) == 0) continue;
      if (attributes.map_state == IsViewable && matches(window)) return window;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return 0;
}

Window waitForWindow(X11Client& client, const std::string& className, int timeoutMs) {
  return waitForMappedWindow(client, timeoutMs, [&](Window window) {
    XClassHint hint{nullptr, nullptr};
    if (XGetClassHint(client.display, window, &hint) == 0) return false;
    bool match = (hint.res_class != nullptr && className == hint.res_class) ||
                 (hint.res_name != nullptr && className == hint.res_name);
    if (hint.res_name != nullptr) XFree(hint.res_name);
    if (hint.res_class != nullptr) XFree(hint.res_class);
    return match;
  });
}

Window waitForUnclassedWindow(X11Client& client, const std::string& name, int timeoutMs) {
  return waitForMappedWindow(client, timeoutMs, [&](Window window) {
    return windowClass(client, window).empty() && windowName(client, window) == name;
  });
}

Window waitForRunningWindow(X11Client& client, int timeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    Window window = waitForWindow(client, "My App", 1000);
    if (window != 0 && windowName(client, window) != "Shadow Volume") return window;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return 0;
}

void waitForFrames(X11Client& client, Window window) {
  for (int turn = 0; turn < 2; ++turn) {
    const std::string caption = windowName(client, window);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (windowName(client, window) == caption && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

bool keyboardIsFree(X11Client& client) {
  Display* display = client.display;
  int result = XGrabKeyboard(display, DefaultRootWindow(display), False, GrabModeAsync,
                             GrabModeAsync, CurrentTime);
  if (result == GrabSuccess) XUngrabKeyboard(display, CurrentTime);
  XSync(display, False);
  return result == GrabSuccess;
}

std::string windowName(X11Client& client, Window window) {
  Atom utf8 = XInternAtom(client.display, "UTF8_STRING", False);
  Atom netName = XInternAtom(client.display, "_NET_WM_NAME", False);
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  std::string name;
  if (XGetWindowProperty(client.display, window, netName, 0, 1024, False, utf8, &type, &format,
                         &count, &after, &data) == Success &&
      data != nullptr) {
    name.assign(reinterpret_cast<char*>(data), count);
    XFree(data);
    return name;
  }
  char* plain = nullptr;
  if (XFetchName(client.display, window, &plain) != 0 && plain != nullptr) {
    name = plain;
    XFree(plain);
  }
  return name;
}

bool windowSize(X11Client& client, Window window, int& width, int& height) {
  XWindowAttributes attributes;
  if (XGetWindowAttributes(client.display, window, &attributes) == 0) return false;
  width = attributes.width;
  height = attributes.height;
  return true;
}

Window largestChildWindow(X11Client& client, Window window) {
  XSetErrorHandler(ignoreErrors);
  std::vector<Window> inside;
  collectWindows(client.display, window, inside);
  Window largest = 0;
  long largestArea = 0;
  for (Window child : inside) {
    XWindowAttributes attributes;
    if (XGetWindowAttributes(client.display, child, &attributes) == 0) continue;
    long area = long{attributes.width} * attributes.height;
    if (attributes.map_state == IsViewable && area > largestArea) {
      largest = child;
      largestArea = area;
    }
  }
  return largest;
}

bool windowExists(X11Client& client, Window window) {
  XWindowAttributes attributes;
  XSetErrorHandler(ignoreErrors);
  return XGetWindowAttributes(client.display, window, &attributes) != 0;
}

void sendDeleteWindow(X11Client& client, Window window) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(client.display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(client.display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(client.display, window, False, NoEventMask, &event);
  XFlush(client.display);
}

static void fakeKey(X11Client& client, unsigned long keysym, bool press) {
  KeyCode code = XKeysymToKeycode(client.display, keysym);
  XTestFakeKeyEvent(client.display, code, press ? True : False, CurrentTime);
  XFlush(client.display);
}

void pressKey(X11Client& client, unsigned long keysym) { fakeKey(client, keysym, true); }
void releaseKey(X11Client& client, unsigned long keysym) { fakeKey(client, keysym, false); }

void movePointer(X11Client& client, Window window, int x, int y) {
  int rootX = 0, rootY = 0;
  Window child;
  XTranslateCoordinates(client.display, window, DefaultRootWindow(client.display), x, y, &rootX,
                        &rootY, &child);
  XTestFakeMotionEvent(client.display, -1, rootX, rootY, CurrentTime);
  XFlush(client.display);
}

void pressButton(X11Client& client, unsigned button, bool down) {
  XTestFakeButtonEvent(client.display, button, down ? True : False, CurrentTime);
  XFlush(client.display);
}

void moveFocus(X11Client& client, Window window) {
  XSetInputFocus(client.display, window, RevertToParent, CurrentTime);
  XFlush(client.display);
}

void focusOtherWindow(X11Client& client) {
  Display* display = client.display;
  Window other = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 64, 64, 0, 0, 0);
  XMapWindow(display, other);
  XSync(display, False);
  waitForMappedWindow(client, 2000, [other](Window window) { return window == other; });
  moveFocus(client, other);
}

void resizeWindow(X11Client& client, Window window, int width, int height) {
  XMoveResizeWindow(client.display, window, 0, 0, static_cast<unsigned>(width),
                    static_cast<unsigned>(height));
  XFlush(client.display);
}

void mapWindow(X11Client& client, Window window, bool mapped) {
  if (mapped)
    XMapWindow(client.display, window);
  else
    XUnmapWindow(client.display, window);
  XFlush(client.display);
}
