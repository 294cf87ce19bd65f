// A window's pixels as the X server holds them, that is as the screen shows
// them: for checking that what a test reads back through OpenGL is what was
// displayed. Reads the server's pixel values unconverted; no visual, colour
// map or byte-order handling beyond what Xlib's XGetPixel does.
#pragma once

#include <cstdint>
#include <vector>

#include "support/x11_client.h"

// The window's top-left width x height pixels, rows top to bottom, as the
// server's pixel values (5-6-5 words on a 16-bit screen). Empty when the
// window cannot be read (gone, unmapped, or smaller than asked).
std::vector<uint32_t> readWindowPixels(X11Client& client, Window window, int width, int height);
