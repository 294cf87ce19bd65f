// The window system as the application uses it, in place of the desktop
// window API, its OpenGL binding and its millisecond timer: a window class and
// windows, a message queue taken without waiting or waited on, default message
// handling, caption text, the client rectangle, a device context with pixel
// format choice, rendering contexts, buffer swap, a millisecond clock, a
// message box, and the command line and standard streams as a Windows GUI
// program has them. Two implementations, picked by the build: SDL2 in sdl/ (Linux),
// Win32 and WGL in win32/ (Windows). Nothing outside this folder includes SDL
// or windows.h.
//
// On Windows the handles, the message record, the rectangle, the constants
// and timeGetTime are Windows' own, so the layer costs nothing there; the
// SDL2 implementation defines stand-ins with the same values.
//
// Provided messages: WM_CREATE (sent while the window is made), WM_DESTROY
// (sent while it is destroyed), WM_CLOSE (close button, window manager close
// request, Ctrl+C, SIGTERM or SIGHUP), WM_KEYDOWN for every press and auto-repeat
// (bit 30 of lParam set on a repeat), WM_KEYUP, WM_SIZE (the client size in
// lParam's low and high words, how in wParam: SIZE_RESTORED, SIZE_MINIMIZED
// with a size of 0, SIZE_MAXIMIZED), WM_KILLFOCUS (the keyboard went to
// another window), WM_QUIT. Keys arrive as the virtual-key codes below.
// Mouse: WM_MOUSEMOVE (MK_LBUTTON and MK_RBUTTON in wParam for the buttons
// held), WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN and WM_RBUTTONUP, each
// with client coordinates in lParam's low and high words as signed 16-bit
// values (outside the client area while the window holds the capture);
// WM_MOUSEWHEEL with its delta in wParam's high word, WHEEL_DELTA a notch,
// forward positive, and screen coordinates in lParam.
// Not provided on SDL2: painting, the middle and extra mouse buttons, key
// flags in the mouse buttons' wParam, WM_CAPTURECHANGED, character and system-key messages
// (a key pressed with Alt held comes as a plain key), menus, icons and
// cursors, child windows. On Windows every other message the system sends
// also reaches the window procedure.
#pragma once

#include <cstdint>

#ifdef _WIN32

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <mmsystem.h>  // timeGetTime

using WindowHandle = HWND;
using DeviceContext = HDC;
using RenderingContext = HGLRC;
using InstanceHandle = HINSTANCE;
using Message = MSG;
using Rect = RECT;

// An unpacked Windows zip holds the programs with their data beside them.
constexpr bool dataBesideProgram = true;

#else

struct PlatformWindow;
struct PlatformDeviceContext;
struct PlatformRenderingContext;

using WindowHandle = PlatformWindow*;
using DeviceContext = PlatformDeviceContext*;
using RenderingContext = PlatformRenderingContext*;
using InstanceHandle = const void*;

// Programs live in a bin folder here, their data in a share folder of its own.
constexpr bool dataBesideProgram = false;

// Messages.
constexpr uint32_t WM_CREATE = 0x0001;
constexpr uint32_t WM_DESTROY = 0x0002;
constexpr uint32_t WM_SIZE = 0x0005;
constexpr uint32_t WM_KILLFOCUS = 0x0008;
constexpr uint32_t WM_CLOSE = 0x0010;
constexpr uint32_t WM_QUIT = 0x0012;
constexpr uint32_t WM_KEYDOWN = 0x0100;
constexpr uint32_t WM_KEYUP = 0x0101;
// Never sent on SDL2; named so the window procedure reads the same on both.
constexpr uint32_t WM_SYSKEYUP = 0x0105;
constexpr uint32_t WM_SYSCOMMAND = 0x0112;
constexpr uintptr_t SC_KEYMENU = 0xF100;
constexpr uint32_t WM_MOUSEMOVE = 0x0200;
constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
constexpr uint32_t WM_LBUTTONUP = 0x0202;
constexpr uint32_t WM_RBUTTONDOWN = 0x0204;
constexpr uint32_t WM_RBUTTONUP = 0x0205;
constexpr uint32_t WM_MOUSEWHEEL = 0x020A;
// Never sent on SDL2, which does not tell when another client takes the pointer.
constexpr uint32_t WM_CAPTURECHANGED = 0x0215;

// WM_MOUSEMOVE's wParam, and WM_MOUSEWHEEL's delta for one notch.
constexpr uintptr_t MK_LBUTTON = 0x0001;
constexpr uintptr_t MK_RBUTTON = 0x0002;
constexpr int WHEEL_DELTA = 120;

// WM_SIZE's wParam.
constexpr uintptr_t SIZE_RESTORED = 0;
constexpr uintptr_t SIZE_MINIMIZED = 1;
constexpr uintptr_t SIZE_MAXIMIZED = 2;

// Virtual-key codes.
constexpr uint32_t VK_BACK = 8;
constexpr uint32_t VK_TAB = 9;
constexpr uint32_t VK_RETURN = 13;
constexpr uint32_t VK_SHIFT = 16;
constexpr uint32_t VK_CONTROL = 17;
constexpr uint32_t VK_MENU = 18;
constexpr uint32_t VK_ESCAPE = 27;
constexpr uint32_t VK_SPACE = 32;
constexpr uint32_t VK_PRIOR = 33;   // Page Up
constexpr uint32_t VK_NEXT = 34;    // Page Down
constexpr uint32_t VK_END = 35;
constexpr uint32_t VK_HOME = 36;
constexpr uint32_t VK_LEFT = 37;
constexpr uint32_t VK_UP = 38;
constexpr uint32_t VK_RIGHT = 39;
constexpr uint32_t VK_DOWN = 40;
constexpr uint32_t VK_INSERT = 45;
constexpr uint32_t VK_DELETE = 46;
constexpr uint32_t VK_F1 = 0x70;    // F1 to F12 follow on

// Show commands.
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOWDEFAULT = 10;

// Window class styles (kept for the record; redraw on resize is what SDL does anyway).
constexpr uint32_t CS_VREDRAW = 0x1;
constexpr uint32_t CS_HREDRAW = 0x2;

struct Message {
  WindowHandle window;
  uint32_t message;
  uintptr_t wParam;
  intptr_t lParam;
};

struct Rect {
  int left;
  int top;
  int right;
  int bottom;
};

// Pixel format flags and types.
constexpr uint32_t PFD_DOUBLEBUFFER = 0x01;
constexpr uint32_t PFD_DRAW_TO_WINDOW = 0x04;
constexpr uint32_t PFD_SUPPORT_OPENGL = 0x20;
constexpr uint8_t PFD_TYPE_RGBA = 0;
constexpr uint8_t PFD_MAIN_PLANE = 0;

#endif  // _WIN32

using WindowProcedure = intptr_t (*)(WindowHandle window, uint32_t message, uintptr_t wParam,
                                     intptr_t lParam);

struct WindowClass {
  uint32_t style;
  WindowProcedure procedure;
  InstanceHandle instance;
  const char* className;
};

struct PixelFormatDescriptor {
  uint16_t size;
  uint16_t version;
  uint32_t flags;
  uint8_t pixelType;
  uint8_t colorBits;
  uint8_t redBits, redShift;
  uint8_t greenBits, greenShift;
  uint8_t blueBits, blueShift;
  uint8_t alphaBits, alphaShift;
  uint8_t accumBits, accumRedBits, accumGreenBits, accumBlueBits, accumAlphaBits;
  uint8_t depthBits;
  uint8_t stencilBits;
  uint8_t auxBuffers;
  uint8_t layerType;
  uint8_t reserved;
  uint32_t layerMask, visibleMask, damageMask;
};

// The instance handle the programs pass to WinMain.
InstanceHandle currentInstance();

// Windows and messages.
bool registerClass(const WindowClass& windowClass);
// outerWidth and outerHeight are the size of the whole window, frame included.
// Sends WM_CREATE to the class's procedure before returning. Null on failure.
WindowHandle createWindow(const char* className, const char* caption, int outerWidth,
                          int outerHeight, InstanceHandle instance);
void showWindow(WindowHandle window, int showCommand);
void updateWindow(WindowHandle window);
// Sends WM_DESTROY to the window's procedure, then removes the window.
bool destroyWindow(WindowHandle window);
// Takes the next message off the queue without waiting; false when none is queued.
bool peekMessage(Message& message);
// Waits until a message may be queued. On SDL2 it also returns after a tenth
// of a second at most, so that a close signal is not kept waiting.
void waitMessage();
void translateMessage(const Message& message);
intptr_t dispatchMessage(const Message& message);
// WM_CLOSE destroys the window; every other message is taken without effect.
intptr_t defWindowProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);
// Queues WM_QUIT with the exit code; it is taken once nothing else is queued.
void postQuitMessage(int exitCode);
// Queues a message for the window, as if the window system had sent it.
bool postMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);
bool setWindowText(WindowHandle window, const char* text);
// The caption as last set; empty for a null or destroyed window.
const char* windowText(WindowHandle window);
bool getClientRect(WindowHandle window, Rect& rect);
// Until released, the window's mouse messages come wherever the pointer is,
// so a drag goes on outside the window and its button's release arrives.
void setCapture(WindowHandle window);
void releaseCapture();

// OpenGL on a window.
DeviceContext getDC(WindowHandle window);
bool releaseDC(WindowHandle window, DeviceContext deviceContext);
// The closest pixel format the driver has to the one described: a depth or
// colour size it lacks falls back to the next smaller one it has. 0 if none.
int choosePixelFormat(DeviceContext deviceContext, const PixelFormatDescriptor& descriptor);
bool setPixelFormat(DeviceContext deviceContext, int index, const PixelFormatDescriptor& descriptor);
// Creates a context without making it current. Null on failure.
RenderingContext createContext(DeviceContext deviceContext);
// A null rendering context makes no context current on the thread.
bool makeCurrent(DeviceContext deviceContext, RenderingContext renderingContext);
bool deleteContext(RenderingContext renderingContext);
bool swapBuffers(DeviceContext deviceContext);

#ifndef _WIN32
// Milliseconds from an arbitrary start, wrapping as an unsigned 32-bit count.
uint32_t timeGetTime();
#endif

// A message box with one OK button; on standard error when there is no display.
void showMessageBox(const char* title, const char* text);

// The program's arguments as WinMain takes them: one text without the
// program's name, quoted by Windows' rules. On Windows the process's own
// command line (argc and argv are not used); elsewhere argv[1] onwards, each
// word quoted so that those rules give it back unchanged.
char* programCommandLine(int argc, char** argv);
// The program's file name without its folder or ".exe", for the usage text.
const char* programName();
// The folder the running program's file is in, symbolic links resolved on
// Linux; empty when the system does not tell.
const char* programFolder();
// The user's home folder (HOME; on Windows the profile folder, USERPROFILE);
// empty when the system does not tell.
const char* userHomeFolder();
// Whether standard output and error reach the user. A Windows GUI program
// has them only when started with them redirected or from a console, which
// it then attaches to; false when started from the desktop.
bool standardStreamsReachUser();
