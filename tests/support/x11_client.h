// A second X client for tests: finds the program's window the way a window
// manager sees it, reads its class, name and size, asks it to close, presses
// keys and works the mouse through the XTest extension and reads pixels back
// off the screen.
#pragma once

#include <string>

// Kept free of Xlib's header, whose macros (None, Bool, Status) clash with
// GoogleTest's names.
struct _XDisplay;
using Window = unsigned long;

struct X11Client {
  _XDisplay* display = nullptr;
};

bool openX11Client(X11Client& client);
void closeX11Client(X11Client& client);

// The first mapped top-level window whose WM_CLASS class or name is className;
// 0 when none appears within timeoutMs.
Window waitForWindow(X11Client& client, const std::string& className, int timeoutMs);
// The first mapped top-level window named `name` that has no WM_CLASS, as a
// message box has none; 0 when none appears within timeoutMs.
Window waitForUnclassedWindow(X11Client& client, const std::string& name, int timeoutMs);
// The program's window ("My App") once it has drawn ten frames: its caption
// then shows a frame rate instead of "Shadow Volume". 0 after timeoutMs.
Window waitForRunningWindow(X11Client& client, int timeoutMs = 30000);
// Until the window's caption has changed twice, so at least ten frames have
// been drawn since; twenty seconds at most for each change, which a machine
// busy with other work may need.
void waitForFrames(X11Client& client, Window window);
// True when another client could take the keyboard, that is nobody holds it.
bool keyboardIsFree(X11Client& client);
std::string windowClass(X11Client& client, Window window);
std::string windowName(X11Client& client, Window window);
bool windowSize(X11Client& client, Window window, int& width, int& height);
// The largest viewable window inside this one, at any depth; 0 when there is
// none. Wine draws a program's client area, OpenGL included, in such a child.
Window largestChildWindow(X11Client& client, Window window);
bool windowExists(X11Client& client, Window window);

// What a window manager sends when the user closes a window.
void sendDeleteWindow(X11Client& client, Window window);

// keysym from X11/keysym.h; press and release are separate so a key can be held.
void pressKey(X11Client& client, unsigned long keysym);
void releaseKey(X11Client& client, unsigned long keysym);
// The pointer to (x, y) in the window's own coordinates, inside it or not;
// buttons 1 left, 3 right, 4 and 5 the wheel turned forward and back a notch.
void movePointer(X11Client& client, Window window, int x, int y);
void pressButton(X11Client& client, unsigned button, bool down);
void moveFocus(X11Client& client, Window window);
// Maps a small window of the client's own and gives it the focus: the user
// turning to another program.
void focusOtherWindow(X11Client& client);

// What a window manager does on the user's resize (here also to the screen's
// top-left corner, so the window can be read whole) and on minimizing and
// restoring (unmapping and mapping the window).
void resizeWindow(X11Client& client, Window window, int width, int height);
void mapWindow(X11Client& client, Window window, bool mapped);
