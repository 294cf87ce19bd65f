// A plain Xlib message box: a fixed-size window named after the title, the
// text in the server's default font, an OK button. It sets no WM_CLASS, as a
// dialog of no application's own. It runs in a child process that shares
// nothing with the program's SDL connection; SDL's own box would have to be
// called in that child with the program's SDL state, whose connection it
// would write to.
//
// Not provided: word wrapping, other buttons, icons, text in more than
// Latin-1, anything but X11 (on Wayland it needs XWayland).
#include "platform/sdl/x11_message_box.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int margin = 16;
constexpr int buttonWidth = 80;
constexpr int buttonHeight = 26;

struct BoxLayout {
  std::vector<std::string> lines;
  int width = 0;
  int height = 0;
  int lineHeight = 0;
  int ascent = 0;
  XRectangle button{};
};

int textWidth(XFontStruct* font, const std::string& line) {
  if (font == nullptr) return static_cast<int>(line.size()) * 8;
  return XTextWidth(font, line.c_str(), static_cast<int>(line.size()));
}

BoxLayout layOut(XFontStruct* font, const char* text) {
  BoxLayout layout;
  std::string all = text != nullptr ? text : "";
  size_t start = 0;
  for (;;) {
    size_t end = all.find('\n', start);
    layout.lines.push_back(all.substr(start, end == std::string::npos ? end : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  layout.ascent = font != nullptr ? font->ascent : 12;
  layout.lineHeight = layout.ascent + (font != nullptr ? font->descent : 4) + 2;
  int widest = buttonWidth;
  for (const std::string& line : layout.lines) widest = std::max(widest, textWidth(font, line));
  layout.width = std::min(widest, 1600) + 2 * margin;
  int textHeight = static_cast<int>(layout.lines.size()) * layout.lineHeight;
  layout.button.x = static_cast<short>((layout.width - buttonWidth) / 2);
  layout.button.y = static_cast<short>(margin + textHeight + margin);
  layout.button.width = buttonWidth;
  layout.button.height = buttonHeight;
  layout.height = layout.button.y + buttonHeight + margin;
  return layout;
}

void draw(Display* display, Window window, GC gc, XFontStruct* font, const BoxLayout& layout) {
  XClearWindow(display, window);
  int y = margin + layout.ascent;
  for (const std::string& line : layout.lines) {
    XDrawString(display, window, gc, margin, y, line.c_str(), static_cast<int>(line.size()));
    y += layout.lineHeight;
  }
  const XRectangle& b = layout.button;
  XDrawRectangle(display, window, gc, b.x, b.y, b.width, b.height);
  const char label[] = "OK";
  int labelWidth = textWidth(font, label);
  XDrawString(display, window, gc, b.x + (b.width - labelWidth) / 2,
              b.y + (b.height + layout.ascent) / 2 - 1, label, 2);
}

bool inButton(const BoxLayout& layout, int x, int y) {
  const XRectangle& b = layout.button;
  return x >= b.x && x < b.x + b.width && y >= b.y && y < b.y + b.height;
}

void nameWindow(Display* display, Window window, const char* title) {
  XStoreName(display, window, title);
  Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
  XChangeProperty(display, window, netName, utf8, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(title),
                  static_cast<int>(std::strlen(title)));
  Atom type = XInternAtom(display, "_NET_WM_WINDOW_TYPE", False);
  Atom dialog = XInternAtom(display, "_NET_WM_WINDOW_TYPE_DIALOG", False);
  XChangeProperty(display, window, type, XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&dialog), 1);
}

}  // namespace

bool runX11MessageBox(const char* title, const char* text) {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return false;
  int screen = DefaultScreen(display);
  GC gc = XCreateGC(display, RootWindow(display, screen), 0, nullptr);
  XSetForeground(display, gc, BlackPixel(display, screen));
  XFontStruct* font = XQueryFont(display, XGContextFromGC(gc));
  BoxLayout layout = layOut(font, text);

  int x = std::max(0, (DisplayWidth(display, screen) - layout.width) / 2);
  int y = std::max(0, (DisplayHeight(display, screen) - layout.height) / 2);
  Window window = XCreateSimpleWindow(
      display, RootWindow(display, screen), x, y, static_cast<unsigned>(layout.width),
      static_cast<unsigned>(layout.height), 1, BlackPixel(display, screen),
      WhitePixel(display, screen));
  nameWindow(display, window, title != nullptr ? title : "");
  XSizeHints* size = XAllocSizeHints();
  if (size != nullptr) {
    size->flags = PPosition | PMinSize | PMaxSize;
    size->x = x;
    size->y = y;
    size->min_width = size->max_width = layout.width;
    size->min_height = size->max_height = layout.height;
    XSetWMNormalHints(display, window, size);
    XFree(size);
  }
  XWMHints* hints = XAllocWMHints();
  if (hints != nullptr) {
    hints->flags = InputHint;
    hints->input = True;
    XSetWMHints(display, window, hints);
    XFree(hints);
  }
  Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(display, window, &deleteWindow, 1);
  XSelectInput(display, window, ExposureMask | KeyPressMask | ButtonPressMask | ButtonReleaseMask);
  XMapRaised(display, window);

  bool pressedInButton = false;
  for (bool answered = false; !answered;) {
    XEvent event;
    XNextEvent(display, &event);
    switch (event.type) {
      case Expose:
        if (event.xexpose.count == 0) draw(display, window, gc, font, layout);
        break;
      case KeyPress: {
        KeySym key = XLookupKeysym(&event.xkey, 0);
        answered = key == XK_Return || key == XK_KP_Enter || key == XK_Escape || key == XK_space;
        break;
      }
      case ButtonPress:
        pressedInButton = event.xbutton.button == Button1 &&
                          inButton(layout, event.xbutton.x, event.xbutton.y);
        break;
      case ButtonRelease:
        answered = pressedInButton && inButton(layout, event.xbutton.x, event.xbutton.y);
        pressedInButton = false;
        break;
      case ClientMessage:
        answered = static_cast<Atom>(event.xclient.data.l[0]) == deleteWindow;
        break;
      default:
        break;
    }
  }
  if (font != nullptr) XFreeFontInfo(nullptr, font, 1);
  XFreeGC(display, gc);
  XDestroyWindow(display, window);
  XCloseDisplay(display);
  return true;
}
