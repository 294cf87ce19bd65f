// An exclusive hold on the display for one window: a display object that takes
// the hold and sets a display mode, a primary surface with one attached back
// buffer in the mode's pixel format, and lock, unlock, restore and release on
// them. Every call answers with a DisplayResult; objects are reference counted
// and go when their last reference is released.
//
// Provided: the exclusive full-screen level only, modes of 16 bits per pixel
// (RGB565), one primary surface with exactly one back buffer, locks of the
// whole surface. Not provided: flipping, blitting, clippers, palettes,
// off-screen surfaces, locks of part of a surface, the normal (windowed)
// level.
//
// The functions live in one object file of their own (sdl/sdl_display.cpp on
// Linux, win32/directdraw_display.cpp on Windows), so a test program can put
// its own definitions of all of them in their place. On Windows the handles
// are DirectDraw's own interfaces and the flag values are DirectDraw's.
#pragma once

#include <cstdint>

#include "platform/platform.h"

#ifdef _WIN32
#include <ddraw.h>

using DisplayHandle = IDirectDraw*;
using SurfaceHandle = IDirectDrawSurface*;
#else
struct PlatformDisplay;
struct PlatformSurface;

using DisplayHandle = PlatformDisplay*;
using SurfaceHandle = PlatformSurface*;
#endif

enum class DisplayResult {
  ok,
  // The surface's memory went with a mode change; restore the primary.
  surfaceLost,
  // The surface is busy for now; the same call may succeed if tried again.
  stillDrawing,
  // The display cannot give the mode asked for.
  modeRefused,
  // The call needs an exclusive hold (and a mode) the display object has not got.
  notExclusive,
  // A null handle, a destroyed window or a description this layer does not offer.
  invalidArgument,
  // Anything else: no display, a surface already locked, no memory.
  failed,
};

// Hold levels for setCooperativeLevel; only both together are offered.
constexpr uint32_t exclusiveHold = 0x01;
constexpr uint32_t fullScreenHold = 0x10;

// Which fields of a SurfaceDescription a caller filled in.
constexpr uint32_t describesCaps = 0x01;
constexpr uint32_t describesBackBufferCount = 0x20;

// Surface capabilities.
constexpr uint32_t backBufferCap = 0x004;
constexpr uint32_t complexCap = 0x008;
constexpr uint32_t flipCap = 0x010;
constexpr uint32_t primarySurfaceCap = 0x200;

struct SurfaceDescription {
  uint32_t fields = 0;  // describes* flags
  uint32_t backBufferCount = 0;
  uint32_t caps = 0;
  // Filled in by lockSurface: rows of pitch bytes, height of them, from memory.
  uint32_t width = 0;
  uint32_t height = 0;
  int32_t pitch = 0;
  uint32_t bitsPerPixel = 0;
  void* memory = nullptr;
};

// A display object for the display the program runs on. display is null on failure.
DisplayResult createDisplay(DisplayHandle& display);
// Takes the hold for the window (exclusiveHold | fullScreenHold). The hold
// shows once a mode is set.
DisplayResult setCooperativeLevel(DisplayHandle display, WindowHandle window, uint32_t level);
// Puts the held window exclusively full screen in that mode, with the
// keyboard held, or answers modeRefused and leaves the window as it was.
DisplayResult setDisplayMode(DisplayHandle display, uint32_t width, uint32_t height,
                             uint32_t bitsPerPixel);
// A primary surface (primarySurfaceCap | flipCap | complexCap, back buffer
// count 1) in the current mode, with its back buffer attached. surface is
// null on failure.
DisplayResult createSurface(DisplayHandle display, const SurfaceDescription& description,
                            SurfaceHandle& surface);
// The back buffer attached to a primary surface, as a reference of its own
// (release it too). attached is null on failure.
DisplayResult getAttachedSurface(SurfaceHandle surface, uint32_t caps, SurfaceHandle& attached);
// Locks the whole surface and fills in width, height, pitch, bitsPerPixel and memory.
DisplayResult lockSurface(SurfaceHandle surface, SurfaceDescription& description);
// memory is what the lock gave.
DisplayResult unlockSurface(SurfaceHandle surface, void* memory);
// Gives a lost surface (and the surfaces attached to it) memory again; the
// contents are not kept.
DisplayResult restoreSurface(SurfaceHandle surface);
DisplayResult releaseSurface(SurfaceHandle surface);
// Releasing the display object gives the display back: the window leaves
// full screen, the desktop mode returns and the keyboard is let go.
DisplayResult releaseDisplay(DisplayHandle display);
