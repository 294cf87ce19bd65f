// The platform layer's own record of a window, shared by the files of this
// folder only. Window records are never freed: a handle stays valid (and
// reads as destroyed) after its window is gone.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

struct PlatformDeviceContext {
  PlatformWindow* window;
};

struct PlatformWindow {
  SDL_Window* sdlWindow = nullptr;       // null once destroyed
  std::vector<uint32_t> sdlWindowIds;    // every SDL window this one has been
  WindowProcedure procedure = nullptr;
  std::string className;
  std::string caption;
  int outerWidth = 0;
  int outerHeight = 0;
  PlatformDeviceContext deviceContext{nullptr};
};

// Starts SDL's video subsystem once; false when there is no display.
bool startVideo();
// Why startVideo found no display, naming the variables that choose it.
std::string noDisplayReason();

// The live window an SDL window id belongs to, or null.
PlatformWindow* windowForSdlId(uint32_t sdlWindowId);
// The oldest live window, or null.
PlatformWindow* firstLiveWindow();

// Replaces the window's SDL window by a new one made with the given extra
// flags (SDL_WINDOW_OPENGL), keeping caption, size, visibility and full-screen
// state. X11 fixes a window's visual when the window is made.
bool remakeWindow(PlatformWindow* window, uint32_t extraFlags);
