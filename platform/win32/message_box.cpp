// The start-up error box on Win32: MessageBoxA with one OK button. The
// programs are GUI programs without a console, so nothing goes to standard
// error.
#include "platform/platform.h"

void showMessageBox(const char* title, const char* text) {
  MessageBoxA(nullptr, text, title, MB_OK | MB_ICONERROR);
}
