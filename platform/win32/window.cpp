// The window half of the platform layer on Win32: the window class, the
// window, default handling, caption text and the client rectangle, each a
// thin pass to USER32.
//
// The application's window procedure uses the default calling convention, so
// each registered class gets a small dispatching procedure of its own that
// finds the application's procedure by the class's atom. Not provided: more
// than a handful of classes (the programs register one).
#include <cstring>

#include "platform/platform.h"

namespace {

struct ClassProcedure {
  ATOM atom;
  WindowProcedure procedure;
};

constexpr int classCapacity = 8;
ClassProcedure theClassProcedures[classCapacity];
int theClassCount = 0;

WindowProcedure procedureOf(HWND window) {
  auto atom = static_cast<ATOM>(GetClassWord(window, GCW_ATOM));
  for (int i = 0; i < theClassCount; ++i)
    if (theClassProcedures[i].atom == atom) return theClassProcedures[i].procedure;
  return nullptr;
}

LRESULT CALLBACK dispatchToProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowProcedure procedure = procedureOf(window);
  if (procedure == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  return procedure(window, message, wParam, lParam);
}

}  // namespace

InstanceHandle currentInstance() { return GetModuleHandleA(nullptr); }

bool registerClass(const WindowClass& windowClass) {
  if (theClassCount == classCapacity || windowClass.procedure == nullptr) return false;
  WNDCLASSEXA record{};
  record.cbSize = sizeof record;
  record.style = windowClass.style;
  record.lpfnWndProc = dispatchToProcedure;
  record.hInstance = windowClass.instance;
  record.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
  record.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  record.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  record.lpszClassName = windowClass.className;
  record.hIconSm = LoadIconA(nullptr, IDI_APPLICATION);
  ATOM atom = RegisterClassExA(&record);
  if (atom == 0) return false;
  theClassProcedures[theClassCount++] = ClassProcedure{atom, windowClass.procedure};
  return true;
}

WindowHandle createWindow(const char* className, const char* caption, int outerWidth,
                          int outerHeight, InstanceHandle instance) {
  // SetPixelFormat asks that an OpenGL window clip its children and siblings.
  return CreateWindowExA(0, className, caption,
                         WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, CW_USEDEFAULT,
                         0, outerWidth, outerHeight, nullptr, nullptr, instance, nullptr);
}

void showWindow(WindowHandle window, int showCommand) { ShowWindow(window, showCommand); }

void updateWindow(WindowHandle window) { UpdateWindow(window); }

bool destroyWindow(WindowHandle window) { return DestroyWindow(window) != 0; }

intptr_t defWindowProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

bool postMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return PostMessageA(window, message, wParam, lParam) != 0;
}

bool setWindowText(WindowHandle window, const char* text) {
  return SetWindowTextA(window, text) != 0;
}

const char* windowText(WindowHandle window) {
  static char text[256];
  text[0] = '\0';
  if (window != nullptr && IsWindow(window)) GetWindowTextA(window, text, sizeof text);
  return text;
}

bool getClientRect(WindowHandle window, Rect& rect) { return GetClientRect(window, &rect) != 0; }
