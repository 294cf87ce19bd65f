// A one-button message box for fatal start-up problems. The text also goes to
// standard error, which is all there is when no display can be opened.
#include <cstdio>

#include "platform/sdl/window_table.h"

void showMessageBox(const char* title, const char* text) {
  std::fprintf(stderr, "%s: %s\n", title, text);
  if (!startVideo()) return;
  // Its one button answers Return and Escape.
  SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, title, text, nullptr);
}
