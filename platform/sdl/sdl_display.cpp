// The exclusive display hold on SDL2: the window goes exclusively full screen
// (a real mode change, not a desktop-sized window) in the display mode asked
// for, with the keyboard grabbed; the mode SDL actually set is read back and
// anything but the asked size at 16 bits per pixel is refused. Surfaces are
// plain memory in the mode's RGB565 layout: nothing shows them on screen, and
// since nothing can take their memory away they are never lost and never
// still drawing.
//
// The display object keeps the program's window, not its SDL window: setting
// the pixel format later replaces the SDL window, and that carries the
// full-screen state, the mode and the grab over.
#include <limits>
#include <vector>

#include "platform/display.h"
#include "platform/sdl/window_table.h"

struct PlatformDisplay {
  PlatformWindow* window = nullptr;  // the held window, once the level is set
  bool modeSet = false;
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t bitsPerPixel = 0;
};

struct PlatformSurface {
  int references = 1;
  uint32_t width = 0;
  uint32_t height = 0;
  int32_t pitch = 0;
  uint32_t bitsPerPixel = 0;
  std::vector<uint8_t> memory;
  bool locked = false;
  PlatformSurface* backBuffer = nullptr;  // a reference the primary holds
};

namespace {

constexpr uint32_t offeredBitsPerPixel = 16;
constexpr uint32_t primaryCaps = primarySurfaceCap | flipCap | complexCap;

bool windowLives(const PlatformWindow* window) {
  return window != nullptr && window->sdlWindow != nullptr;
}

bool isMode(const SDL_DisplayMode& mode, uint32_t width, uint32_t height, uint32_t bitsPerPixel) {
  return mode.w >= 0 && mode.h >= 0 && static_cast<uint32_t>(mode.w) == width &&
         static_cast<uint32_t>(mode.h) == height &&
         SDL_BITSPERPIXEL(mode.format) == bitsPerPixel;
}

void letDisplayGo(PlatformWindow* window) {
  if (!windowLives(window)) return;  // destroying the window gave the display back already
  SDL_SetWindowKeyboardGrab(window->sdlWindow, SDL_FALSE);
  SDL_SetWindowFullscreen(window->sdlWindow, 0);
}

// Rows are kept four-byte aligned, as display memory usually is, so callers
// meet a pitch wider than a row's pixels.
PlatformSurface* makeSurface(uint32_t width, uint32_t height, uint32_t bitsPerPixel) {
  uint64_t rowBytes = (uint64_t{width} * bitsPerPixel + 7) / 8;
  uint64_t pitch = (rowBytes + 3) / 4 * 4;
  if (pitch == 0 || height == 0 || pitch > uint64_t{std::numeric_limits<int32_t>::max()} ||
      pitch * height > (uint64_t{1} << 30))
    return nullptr;
  auto* surface = new PlatformSurface();
  surface->width = width;
  surface->height = height;
  surface->pitch = static_cast<int32_t>(pitch);
  surface->bitsPerPixel = bitsPerPixel;
  surface->memory.assign(static_cast<size_t>(pitch * height), 0);
  return surface;
}

}  // namespace

DisplayResult createDisplay(DisplayHandle& display) {
  display = nullptr;
  if (!startVideo() || SDL_GetNumVideoDisplays() < 1) return DisplayResult::failed;
  display = new PlatformDisplay();
  return DisplayResult::ok;
}

DisplayResult setCooperativeLevel(DisplayHandle display, WindowHandle window, uint32_t level) {
  if (display == nullptr || !windowLives(window)) return DisplayResult::invalidArgument;
  if (level != (exclusiveHold | fullScreenHold)) return DisplayResult::invalidArgument;
  display->window = window;
  return DisplayResult::ok;
}

DisplayResult setDisplayMode(DisplayHandle display, uint32_t width, uint32_t height,
                             uint32_t bitsPerPixel) {
  if (display == nullptr) return DisplayResult::invalidArgument;
  if (!windowLives(display->window)) return DisplayResult::notExclusive;
  if (bitsPerPixel != offeredBitsPerPixel || width == 0 || height == 0 ||
      width > uint32_t{std::numeric_limits<int>::max()} ||
      height > uint32_t{std::numeric_limits<int>::max()})
    return DisplayResult::modeRefused;
  SDL_Window* window = display->window->sdlWindow;
  int screen = SDL_GetWindowDisplayIndex(window);
  if (screen < 0) return DisplayResult::failed;

  // SDL offers the nearest mode at least as large; anything else than the
  // asked one is a refusal, before the window is touched.
  SDL_DisplayMode wanted{SDL_PIXELFORMAT_RGB565, static_cast<int>(width),
                         static_cast<int>(height), 0, nullptr};
  SDL_DisplayMode closest;
  if (SDL_GetClosestDisplayMode(screen, &wanted, &closest) == nullptr ||
      !isMode(closest, width, height, bitsPerPixel))
    return DisplayResult::modeRefused;

  if (SDL_SetWindowDisplayMode(window, &closest) != 0 ||
      SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN) != 0) {
    letDisplayGo(display->window);
    return DisplayResult::modeRefused;
  }
  SDL_SetWindowKeyboardGrab(window, SDL_TRUE);

  // What the window and the screen really went to, not what was asked.
  SDL_DisplayMode windowMode;
  SDL_DisplayMode screenMode;
  if (SDL_GetWindowDisplayMode(window, &windowMode) != 0 ||
      SDL_GetCurrentDisplayMode(screen, &screenMode) != 0 ||
      !isMode(windowMode, width, height, bitsPerPixel) ||
      !isMode(screenMode, width, height, bitsPerPixel)) {
    letDisplayGo(display->window);
    return DisplayResult::modeRefused;
  }
  display->modeSet = true;
  display->width = width;
  display->height = height;
  display->bitsPerPixel = bitsPerPixel;
  return DisplayResult::ok;
}

DisplayResult createSurface(DisplayHandle display, const SurfaceDescription& description,
                            SurfaceHandle& surface) {
  surface = nullptr;
  if (display == nullptr) return DisplayResult::invalidArgument;
  uint32_t needed = describesCaps | describesBackBufferCount;
  if ((description.fields & needed) != needed || description.caps != primaryCaps ||
      description.backBufferCount != 1)
    return DisplayResult::invalidArgument;
  if (!display->modeSet) return DisplayResult::notExclusive;

  PlatformSurface* primary = makeSurface(display->width, display->height, display->bitsPerPixel);
  PlatformSurface* back = makeSurface(display->width, display->height, display->bitsPerPixel);
  if (primary == nullptr || back == nullptr) {
    delete primary;
    delete back;
    return DisplayResult::failed;
  }
  primary->backBuffer = back;
  surface = primary;
  return DisplayResult::ok;
}

DisplayResult getAttachedSurface(SurfaceHandle surface, uint32_t caps, SurfaceHandle& attached) {
  attached = nullptr;
  if (surface == nullptr || caps != backBufferCap) return DisplayResult::invalidArgument;
  if (surface->backBuffer == nullptr) return DisplayResult::failed;
  ++surface->backBuffer->references;
  attached = surface->backBuffer;
  return DisplayResult::ok;
}

DisplayResult lockSurface(SurfaceHandle surface, SurfaceDescription& description) {
  if (surface == nullptr) return DisplayResult::invalidArgument;
  if (surface->locked) return DisplayResult::failed;
  surface->locked = true;
  description.width = surface->width;
  description.height = surface->height;
  description.pitch = surface->pitch;
  description.bitsPerPixel = surface->bitsPerPixel;
  description.memory = surface->memory.data();
  return DisplayResult::ok;
}

DisplayResult unlockSurface(SurfaceHandle surface, void* memory) {
  if (surface == nullptr || !surface->locked || memory != surface->memory.data())
    return DisplayResult::invalidArgument;
  surface->locked = false;
  return DisplayResult::ok;
}

DisplayResult restoreSurface(SurfaceHandle surface) {
  if (surface == nullptr) return DisplayResult::invalidArgument;
  return DisplayResult::ok;
}

DisplayResult releaseSurface(SurfaceHandle surface) {
  if (surface == nullptr) return DisplayResult::invalidArgument;
  if (--surface->references > 0) return DisplayResult::ok;
  if (surface->backBuffer != nullptr) releaseSurface(surface->backBuffer);
  delete surface;
  return DisplayResult::ok;
}

DisplayResult releaseDisplay(DisplayHandle display) {
  if (display == nullptr) return DisplayResult::invalidArgument;
  if (display->modeSet) letDisplayGo(display->window);
  delete display;
  return DisplayResult::ok;
}
