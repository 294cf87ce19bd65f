// Mouse navigation, beside the keys: a left drag turns the view about the
// eye's X and Y axes, a right drag moves the light in the plane facing the
// eye, the wheel moves forward and back; Tab's switch changes none of them.
// The messages only add up what the mouse did; the frame's navigation step
// applies it (navigation.cpp), in proportion to the pixels dragged and the
// notches turned, whatever the frame rate. A drag holds the mouse (capture)
// from its button's press to its release, so it goes on outside the window;
// losing the focus or the capture ends it, and so does a motion that comes
// without its button held (its release never reached the window).
// Not handled: the middle and extra buttons; a second button pressed during
// a drag does nothing.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// The keys turn 1 degree, move the light 2 units and the viewer 1 unit a
// frame; at 60 frames a second, dragging 300 to 600 pixels a second or
// turning the wheel six notches a second goes as fast. At the start view the light's
// marker then moves about as far as the pointer (1.1 times).
constexpr float turnDegreesPerPixel = 0.2f;
constexpr float lightUnitsPerPixel = 0.2f;
constexpr float unitsPerWheelNotch = 10.0f;

enum DragKind : uint8_t { noDrag, turnDrag, lightDrag };

struct MouseDrag {
  DragKind kind;  // turnDrag with the left button, lightDrag with the right
  int x, y;       // where the pointer was last, in client pixels
};

// What the mouse did since the frame last took it.
struct MouseMotion {
  float turnRight, turnDown;    // pixels a left drag went right and down
  float lightRight, lightDown;  // pixels a right drag went right and down
  float wheelNotches;           // turned forward, away from the user
};

extern MouseDrag theMouseDrag;
extern MouseMotion theMouseMotion;

// For WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN,
// WM_RBUTTONUP and WM_MOUSEWHEEL.
void mouseMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);
// Ends the drag in progress, if any, and lets go of the mouse.
void endDrag();
