// The display layer on DirectDraw: DirectDrawCreate and the first-version
// IDirectDraw and IDirectDrawSurface interfaces, each call passed on and its
// HRESULT turned into a DisplayResult. The flag values of display.h are
// DirectDraw's own, so descriptions pass through unchanged.
//
// Only the exclusive full-screen level is let through, as on Linux; other
// levels answer invalidArgument rather than half-working. DirectDraw makes
// the window cover the screen as soon as the exclusive level is taken; when
// the mode is then refused, the level goes back to normal so the program
// stays in its window as it was, as display.h promises.
#include <cstring>

#include "platform/display.h"

namespace {

DisplayResult resultOf(HRESULT result) {
  switch (result) {
    case DD_OK:
      return DisplayResult::ok;
    case DDERR_SURFACELOST:
      return DisplayResult::surfaceLost;
    case DDERR_WASSTILLDRAWING:
      return DisplayResult::stillDrawing;
    case DDERR_UNSUPPORTED:
    case DDERR_INVALIDMODE:
    case DDERR_UNSUPPORTEDMODE:
      return DisplayResult::modeRefused;
    case DDERR_NOEXCLUSIVEMODE:
    case DDERR_NOCOOPERATIVELEVELSET:
      return DisplayResult::notExclusive;
    case DDERR_INVALIDPARAMS:
    case DDERR_INVALIDOBJECT:
      return DisplayResult::invalidArgument;
    default:
      return DisplayResult::failed;
  }
}

// The window each display object holds, with its look before the hold, to
// give it back as it was on a refused mode.
struct HeldWindow {
  DisplayHandle display;
  HWND window;
  LONG_PTR style;
  LONG_PTR extendedStyle;
  RECT place;
};
constexpr int heldCapacity = 4;
HeldWindow theHeldWindows[heldCapacity];

HeldWindow* heldWindowOf(DisplayHandle display) {
  for (HeldWindow& held : theHeldWindows)
    if (held.display == display) return &held;
  return nullptr;
}

}  // namespace

DisplayResult createDisplay(DisplayHandle& display) {
  display = nullptr;
  HRESULT result = DirectDrawCreate(nullptr, &display, nullptr);
  if (result != DD_OK) display = nullptr;
  return resultOf(result);
}

DisplayResult setCooperativeLevel(DisplayHandle display, WindowHandle window, uint32_t level) {
  if (display == nullptr || window == nullptr || level != (exclusiveHold | fullScreenHold))
    return DisplayResult::invalidArgument;
  HeldWindow before{display, window, GetWindowLongPtrA(window, GWL_STYLE),
                    GetWindowLongPtrA(window, GWL_EXSTYLE), RECT{}};
  GetWindowRect(window, &before.place);
  HRESULT result = display->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN);
  HeldWindow* held = heldWindowOf(display);
  if (held == nullptr) held = heldWindowOf(nullptr);
  if (result == DD_OK && held != nullptr) *held = before;
  return resultOf(result);
}

DisplayResult setDisplayMode(DisplayHandle display, uint32_t width, uint32_t height,
                             uint32_t bitsPerPixel) {
  if (display == nullptr) return DisplayResult::invalidArgument;
  HRESULT result = display->SetDisplayMode(width, height, bitsPerPixel);
  HeldWindow* held = heldWindowOf(display);
  if (result != DD_OK && held != nullptr) {
    display->SetCooperativeLevel(held->window, DDSCL_NORMAL);
    SetWindowLongPtrA(held->window, GWL_STYLE, held->style);
    SetWindowLongPtrA(held->window, GWL_EXSTYLE, held->extendedStyle);
    const RECT& place = held->place;
    SetWindowPos(held->window, HWND_NOTOPMOST, place.left, place.top, place.right - place.left,
                 place.bottom - place.top, SWP_FRAMECHANGED | SWP_NOACTIVATE);
    *held = HeldWindow{};
  }
  return resultOf(result);
}

DisplayResult createSurface(DisplayHandle display, const SurfaceDescription& description,
                            SurfaceHandle& surface) {
  surface = nullptr;
  if (display == nullptr) return DisplayResult::invalidArgument;
  DDSURFACEDESC theirs;
  std::memset(&theirs, 0, sizeof theirs);
  theirs.dwSize = sizeof theirs;
  theirs.dwFlags = description.fields;
  theirs.dwBackBufferCount = description.backBufferCount;
  theirs.ddsCaps.dwCaps = description.caps;
  HRESULT result = display->CreateSurface(&theirs, &surface, nullptr);
  if (result != DD_OK) surface = nullptr;
  return resultOf(result);
}

DisplayResult getAttachedSurface(SurfaceHandle surface, uint32_t caps, SurfaceHandle& attached) {
  attached = nullptr;
  if (surface == nullptr) return DisplayResult::invalidArgument;
  DDSCAPS theirs{};
  theirs.dwCaps = caps;
  HRESULT result = surface->GetAttachedSurface(&theirs, &attached);
  if (result != DD_OK) attached = nullptr;
  return resultOf(result);
}

DisplayResult lockSurface(SurfaceHandle surface, SurfaceDescription& description) {
  if (surface == nullptr) return DisplayResult::invalidArgument;
  DDSURFACEDESC theirs;
  std::memset(&theirs, 0, sizeof theirs);
  theirs.dwSize = sizeof theirs;
  HRESULT result = surface->Lock(nullptr, &theirs, 0, nullptr);
  if (result != DD_OK) return resultOf(result);
  description.width = theirs.dwWidth;
  description.height = theirs.dwHeight;
  description.pitch = theirs.lPitch;
  description.bitsPerPixel = theirs.ddpfPixelFormat.dwRGBBitCount;
  description.memory = theirs.lpSurface;
  return DisplayResult::ok;
}

DisplayResult unlockSurface(SurfaceHandle surface, void* memory) {
  if (surface == nullptr) return DisplayResult::invalidArgument;
  return resultOf(surface->Unlock(memory));
}

DisplayResult restoreSurface(SurfaceHandle surface) {
  if (surface == nullptr) return DisplayResult::invalidArgument;
  return resultOf(surface->Restore());
}

DisplayResult releaseSurface(SurfaceHandle surface) {
  if (surface == nullptr) return DisplayResult::invalidArgument;
  surface->Release();
  return DisplayResult::ok;
}

DisplayResult releaseDisplay(DisplayHandle display) {
  if (display == nullptr) return DisplayResult::invalidArgument;
  if (HeldWindow* held = heldWindowOf(display)) *held = HeldWindow{};
  display->Release();
  return DisplayResult::ok;
}
