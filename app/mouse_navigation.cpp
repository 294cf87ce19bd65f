// Mouse navigation's messages (see mouse_navigation.h).
#include "app/mouse_navigation.h"

MouseDrag theMouseDrag{noDrag, 0, 0};
MouseMotion theMouseMotion{};

namespace {

int clientX(intptr_t lParam) { return static_cast<int16_t>(lParam & 0xFFFF); }
int clientY(intptr_t lParam) { return static_cast<int16_t>((lParam >> 16) & 0xFFFF); }

// Adds the way from the drag's last point to this one.
void dragTo(intptr_t lParam) {
  const int x = clientX(lParam), y = clientY(lParam);
  const auto right = static_cast<float>(x - theMouseDrag.x);
  const auto down = static_cast<float>(y - theMouseDrag.y);
  if (theMouseDrag.kind == turnDrag) {
    theMouseMotion.turnRight += right;
    theMouseMotion.turnDown += down;
  } else {
    theMouseMotion.lightRight += right;
    theMouseMotion.lightDown += down;
  }
  theMouseDrag.x = x;
  theMouseDrag.y = y;
}

}  // namespace

void mouseMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  const bool left = message == WM_LBUTTONDOWN || message == WM_LBUTTONUP;
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      if (theMouseDrag.kind != noDrag) return;
      theMouseDrag = MouseDrag{left ? turnDrag : lightDrag, clientX(lParam), clientY(lParam)};
      setCapture(window);
      return;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
      if (theMouseDrag.kind != (left ? turnDrag : lightDrag)) return;
      dragTo(lParam);
      endDrag();
      return;
    case WM_MOUSEMOVE:
      if (theMouseDrag.kind == noDrag) return;
      // Its button went up where no message of it reached the window.
      if ((wParam & (theMouseDrag.kind == turnDrag ? MK_LBUTTON : MK_RBUTTON)) == 0) {
        endDrag();
        return;
      }
      dragTo(lParam);
      return;
    case WM_MOUSEWHEEL:
      theMouseMotion.wheelNotches +=
          static_cast<float>(static_cast<int16_t>((wParam >> 16) & 0xFFFF)) / WHEEL_DELTA;
      return;
    default:
      return;
  }
}

void endDrag() {
  if (theMouseDrag.kind == noDrag) return;
  // Before letting go: on Windows that sends WM_CAPTURECHANGED, which comes back here.
  theMouseDrag.kind = noDrag;
  releaseCapture();
}
