// Mouse capture on Win32: SetCapture and ReleaseCapture, passed straight on.
// Losing the capture otherwise comes to the window as WM_CAPTURECHANGED.
#include "platform/platform.h"

void setCapture(WindowHandle window) { SetCapture(window); }

void releaseCapture() { ReleaseCapture(); }
