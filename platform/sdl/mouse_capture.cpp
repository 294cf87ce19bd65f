// Mouse capture on SDL2: SDL_CaptureMouse, which on X11 grabs the pointer for
// the window with the keyboard focus (SDL refuses when no window has it).
// While it holds, SDL reports the pointer's motion outside the window, in
// the window's coordinates, and its buttons' releases there. SDL's own
// capture while a button is down (window.cpp) covers the events it read in
// before setCapture was called.
#include "platform/sdl/window_table.h"

void setCapture(WindowHandle window) {
  if (window == nullptr || window->sdlWindow == nullptr) return;
  SDL_CaptureMouse(SDL_TRUE);
}

void releaseCapture() { SDL_CaptureMouse(SDL_FALSE); }
