// The demo in an 800 by 600 desktop window.
#include "app/app.h"

void firstStartUpStep(WindowHandle) {}

void onClose(WindowHandle) {}

int main() {
  char noCommandLine[] = "";
  return WinMain(currentInstance(), nullptr, noCommandLine, SW_SHOWDEFAULT);
}
