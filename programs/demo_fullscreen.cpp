// The demo holding the display in an exclusive 640 by 480, 16-bit mode for
// its whole run. (For now it starts like the windowed one.)
#include "app/app.h"

void firstStartUpStep(WindowHandle) {}

void onClose(WindowHandle) {}

int main() {
  char noCommandLine[] = "";
  return WinMain(currentInstance(), nullptr, noCommandLine, SW_SHOWDEFAULT);
}
