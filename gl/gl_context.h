// The OpenGL context on the program's one window: a fixed 16-bit 5-6-5 pixel
// format with a deep depth buffer and no alpha or stencil, the rendering
// context made current on the one thread, and the starting projection and
// modelview matrices.
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
