// Process entry: reads the command line (answering --help and mistakes
// without a window), registers the window class, makes and shows the one
// window, runs start-up, then loops. The loop never waits: it handles one
// queued message per pass and draws one frame on every pass that finds the
// queue empty, so queued messages always go before the next frame.
#include "app/app.h"
#include "app/command_line.h"
#include "app/navigation.h"
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
}  // namespace

intptr_t windowProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case WM_DESTROY:
      postQuitMessage(0);
      return 0;
    case WM_CLOSE:
      onClose(mainWindow);
      return defWindowProc(window, message, wParam, lParam);
    case WM_KEYDOWN:
      keyDown(static_cast<uint32_t>(wParam));
      return 0;
    case WM_KEYUP:
      keyUp(static_cast<uint32_t>(wParam));
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
  for (;;) {
    if (peekMessage(theMessage)) {
      if (theMessage.message == WM_QUIT) return static_cast<int>(theMessage.wParam);
      translateMessage(theMessage);
      dispatchMessage(theMessage);
    } else {
      renderFrame(mainWindow);
    }
  }
}
