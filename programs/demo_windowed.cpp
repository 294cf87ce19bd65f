// The demo in an 800 by 600 desktop window.
#include "app/app.h"

void firstStartUpStep(WindowHandle) {}

void onClose(WindowHandle) {}

int main(int argc, char** argv) {
  return WinMain(currentInstance(), nullptr, programCommandLine(argc, argv), SW_SHOWDEFAULT);
}
