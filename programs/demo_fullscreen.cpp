// The demo holding the display in an exclusive 640 by 480, 16-bit mode for
// its whole run. When the display cannot give that mode it runs in its window
// exactly as demo_windowed does.
#include "app/app.h"
#include "fullscreen/full_screen.h"

void firstStartUpStep(WindowHandle window) { enterFullScreen(window, 640, 480, 16); }

void onClose(WindowHandle window) { leaveFullScreen(window); }

int main(int argc, char** argv) {
  return WinMain(currentInstance(), nullptr, programCommandLine(argc, argv), SW_SHOWDEFAULT);
}
