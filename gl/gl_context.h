// The OpenGL context on the program's one window: a fixed 16-bit 5-6-5 pixel
// format with a deep depth buffer and no alpha or stencil, the rendering
// context made current on the one thread, and the starting projection and
// modelview matrices; later, the viewport and projection for a new client
// size, and the release of the context when the window goes.
#pragma once

#include "platform/platform.h"

struct GLContextRecord {
  WindowHandle window;
  DeviceContext deviceContext;
  RenderingContext renderingContext;
};

extern GLContextRecord GLContext;
extern PixelFormatDescriptor pixelFormat;

// True when the context is current and the starting state is set.
bool setupGLContext(WindowHandle window);
// Drops and deletes the rendering context; used by the failure paths of the set-up.
bool teardownGLContext();
// Fits the viewport and the projection's aspect to the window's new client
// size, keeping the field of view and the near and far planes. Does nothing
// for another window, before the set-up, or for a zero size (minimized).
void resizeGLContext(WindowHandle window, int width, int height);
// Makes no context current, deletes the rendering context and gives back the
// device context, for when the window is destroyed. True when all three worked.
bool releaseGLContext();
