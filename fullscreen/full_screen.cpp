// Taking and giving back the exclusive display mode through the display layer
// (platform/display.h). Nothing is reported: a refusal is a false result, and
// the program then goes on in its window.
//
// The window's close gives the display back; so does the end of the process,
// for the ways out that never close the window (a failed start-up quits
// straight away). A display left in the program's mode would stay so after
// it.
#include "fullscreen/full_screen.h"

#include <cstdlib>
#include <cstring>

FullScreenState theFullScreenState{nullptr, nullptr, nullptr};

namespace {

void leaveFullScreenAtExit() { leaveFullScreen(nullptr); }

}  // namespace

bool enterFullScreen(WindowHandle window, uint32_t width, uint32_t height, uint32_t bitsPerPixel) {
  static const bool leavesAtExit = std::atexit(leaveFullScreenAtExit) == 0;
  (void)leavesAtExit;
  FullScreenState& state = theFullScreenState;
  state.primary = nullptr;
  state.backBuffer = nullptr;
  if (createDisplay(state.display) != DisplayResult::ok) return false;
  if (setCooperativeLevel(state.display, window, exclusiveHold | fullScreenHold) !=
      DisplayResult::ok)
    return false;
  if (setDisplayMode(state.display, width, height, bitsPerPixel) != DisplayResult::ok)
    return false;
  if (!createFlipSurfaces()) return false;
  clearSurface(state.backBuffer);
  return true;
}

bool createFlipSurfaces() {
  FullScreenState& state = theFullScreenState;
  SurfaceDescription description;
  description.fields = describesCaps | describesBackBufferCount;
  description.backBufferCount = 1;
  description.caps = primarySurfaceCap | flipCap | complexCap;
  if (createSurface(state.display, description, state.primary) != DisplayResult::ok) return false;
  return getAttachedSurface(state.primary, backBufferCap, state.backBuffer) == DisplayResult::ok;
}

bool clearSurface(SurfaceHandle surface) {
  SurfaceDescription description;
  bool locked = false;
  // A lost surface comes back by restoring the root of its chain, whichever
  // surface is being cleared. The bound keeps a display that never lets go
  // from hanging start-up.
  for (int attempt = 0; attempt < lockAttempts && !locked; ++attempt) {
    DisplayResult result = lockSurface(surface, description);
    if (result == DisplayResult::ok)
      locked = true;
    else if (result == DisplayResult::surfaceLost)
      restoreSurface(theFullScreenState.primary);
    else if (result != DisplayResult::stillDrawing)
      return false;
  }
  if (!locked) return false;
  bool cleared = description.memory != nullptr && description.pitch > 0;
  if (cleared) {
    auto* row = static_cast<unsigned char*>(description.memory);
    for (uint32_t y = 0; y < description.height; ++y, row += description.pitch)
      std::memset(row, 0, static_cast<size_t>(description.pitch));
  }
  unlockSurface(surface, description.memory);
  return cleared;
}

bool leaveFullScreen(WindowHandle) {
  FullScreenState& state = theFullScreenState;
  // Once released, a handle is forgotten, so a second call releases nothing
  // twice.
  if (state.backBuffer != nullptr) releaseSurface(state.backBuffer);
  state.backBuffer = nullptr;
  if (state.primary != nullptr) releaseSurface(state.primary);
  state.primary = nullptr;
  if (state.display != nullptr) releaseDisplay(state.display);
  state.display = nullptr;
  return true;
}
