// The exclusive 640 by 480, 16-bit display mode of the full-screen program:
// taken as the very first start-up step, with a primary surface and one back
// buffer cleared once, and given back when the window closes. The surfaces
// are never drawn into afterwards; all drawing goes through OpenGL into the
// window. Only demo_fullscreen links this.
#pragma once

#include <cstdint>

#include "platform/display.h"

struct FullScreenState {
  DisplayHandle display;
  SurfaceHandle primary;     // root of the flipping chain
  SurfaceHandle backBuffer;  // attached to primary
};

extern FullScreenState theFullScreenState;

// How many times clearSurface asks for the lock before it gives up on a
// surface that stays lost or busy.
constexpr int lockAttempts = 1000;

// True when the mode is set and both surfaces exist; the back buffer is then
// cleared, and whether that worked does not change the answer. A refusal
// leaves whatever was made so far in theFullScreenState for leaveFullScreen,
// which also runs when the process exits.
bool enterFullScreen(WindowHandle window, uint32_t width, uint32_t height, uint32_t bitsPerPixel);
// Releases the back buffer, the primary and the display object, in that
// order, each only if it exists. Always true.
bool leaveFullScreen(WindowHandle window);
bool createFlipSurfaces();
// Zeroes every row of the surface over its whole pitch. False when the lock
// fails or keeps answering lost or still drawing for lockAttempts tries.
bool clearSurface(SurfaceHandle surface);
