// Process entry: reads the command line (answering --help and mistakes
// without a window), registers the window class, makes and shows the one
// window, runs start-up, then loops. The loop handles one queued message per
// pass and draws one frame on every pass that finds the queue empty, so queued
// messages always go before the next frame; it waits only while the window is
// minimized, when there is nothing to see. A benchmark run (--benchmark)
// draws the frames while it lasts, and its table is printed once the window
// has gone.
#include "app/app.h"
#include "app/benchmark_run.h"
#include "app/command_line.h"
#include "app/mouse_navigation.h"
#include "app/navigation.h"
#include "gl/gl_context.h"
#include "render/render_frame.h"

WindowHandle mainWindow = nullptr;
TiffImage* theTexture = nullptr;
bool theTextureUploaded = false;
Scene* theScene = nullptr;
Mesh* theMesh = nullptr;
CommandLine theCommandLine;
ShadowVolume* theShadowVolume = nullptr;

namespace {
Message theMessage;
WindowClass theWindowClass;
bool minimized = false;

// Bit 30 of a key message: the key was already down, this is an auto-repeat.
bool isRepeat(intptr_t lParam) { return (lParam & (intptr_t{1} << 30)) != 0; }
}  // namespace

intptr_t windowProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case WM_DESTROY:
      releaseGLContext();
      postQuitMessage(0);
      return 0;
    case WM_CLOSE:
      finishBenchmarkRun(window);
      onClose(mainWindow);
      return defWindowProc(window, message, wParam, lParam);
    case WM_KEYDOWN:
      // Through WM_CLOSE, as the close button goes, so that a full-screen run
      // gives the display back.
      if (wParam == VK_ESCAPE) {
        if (!isRepeat(lParam)) postMessage(window, WM_CLOSE, 0, 0);
        return 0;
      }
      keyDown(static_cast<uint32_t>(wParam), isRepeat(lParam));
      return 0;
    case WM_KEYUP:
      keyUp(static_cast<uint32_t>(wParam));
      return 0;
    case WM_SYSKEYUP:
      // A key let go while Alt is held; missing it would leave the key held.
      keyUp(static_cast<uint32_t>(wParam));
      return defWindowProc(window, message, wParam, lParam);
    case WM_KILLFOCUS:
      // The key-ups of keys held, and a drag's release, now go to another window.
      releaseKeys();
      endDrag();
      return defWindowProc(window, message, wParam, lParam);
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MOUSEWHEEL:
      mouseMessage(window, message, wParam, lParam);
      return 0;
    case WM_CAPTURECHANGED:
      // Another window took the mouse: this drag's release will not come here.
      endDrag();
      return 0;
    case WM_SYSCOMMAND:
      // F10 or Alt alone would enter the menu loop, which stops the frames
      // and takes the arrows; Alt+F4 (SC_CLOSE) still closes.
      if ((wParam & 0xFFF0) == SC_KEYMENU) return 0;
      return defWindowProc(window, message, wParam, lParam);
    case WM_SIZE:
      minimized = wParam == SIZE_MINIMIZED;
      resizeGLContext(window, static_cast<int>(lParam & 0xFFFF),
                      static_cast<int>((lParam >> 16) & 0xFFFF));
      return 0;
    default:
      return defWindowProc(window, message, wParam, lParam);
  }
}

int WinMain(InstanceHandle instance, InstanceHandle, char* commandLine, int showCommand) {
  // Attaching to the starter's console first lets start-up's notes reach it too.
  standardStreamsReachUser();
  theCommandLine = readCommandLine(commandLine);
  if (theCommandLine.helpAsked || !theCommandLine.mistake.empty()) {
    return answerCommandLine(theCommandLine);
  }
  theWindowClass = WindowClass{CS_HREDRAW | CS_VREDRAW, windowProc, instance, "My App"};
  registerClass(theWindowClass);
  mainWindow = createWindow("My App", "Shadow Volume", 800, 600, instance);
  if (mainWindow == nullptr) {
    // Without a window there is nothing to draw into or to close.
    showMessageBox("Shadow Volume", "The window could not be created (is there a display?).");
    return 1;
  }
  showWindow(mainWindow, showCommand);
  updateWindow(mainWindow);
  startUp(mainWindow);
  if (theCommandLine.benchmarkSeconds > 0.0) {
    startBenchmarkRun(mainWindow, theCommandLine.benchmarkSeconds,
                      theCommandLine.screenshotPath.c_str());
  }
  for (;;) {
    if (peekMessage(theMessage)) {
      if (theMessage.message == WM_QUIT)
        return reportBenchmarkRun(static_cast<int>(theMessage.wParam));
      translateMessage(theMessage);
      dispatchMessage(theMessage);
    } else if (minimized) {
      waitMessage();
    } else if (benchmarkRunning()) {
      drawBenchmarkFrame(mainWindow);
    } else {
      renderFrame(mainWindow);
    }
  }
}
