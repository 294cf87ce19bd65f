// Sets up the OpenGL context on the window. The format asks for no stencil
// and no alpha: the shadow passes work in the colour buffer alone and rely on
// destination alpha reading 1.0. Nothing follows later resizes: projection
// and viewport keep the client area they were set up with.
#include "gl/gl_context.h"

#include <GL/gl.h>
#include <GL/glu.h>

GLContextRecord GLContext{nullptr, nullptr, nullptr};
PixelFormatDescriptor pixelFormat;

bool teardownGLContext() {
  bool ok = makeCurrent(GLContext.deviceContext, GLContext.renderingContext);
  if (!deleteContext(GLContext.renderingContext)) ok = false;
  GLContext.deviceContext = nullptr;
  GLContext.renderingContext = nullptr;
  return ok;
}

bool setupGLContext(WindowHandle window) {
  GLContext.window = window;
  GLContext.deviceContext = getDC(window);

  pixelFormat = PixelFormatDescriptor{};
  pixelFormat.size = 40;
  pixelFormat.version = 1;
  pixelFormat.flags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  pixelFormat.pixelType = PFD_TYPE_RGBA;
  pixelFormat.colorBits = 16;
  pixelFormat.redBits = 5;
  pixelFormat.redShift = 11;
  pixelFormat.greenBits = 6;
  pixelFormat.greenShift = 5;
  pixelFormat.blueBits = 5;
  pixelFormat.blueShift = 0;
  pixelFormat.depthBits = 32;
  pixelFormat.stencilBits = 0;
  pixelFormat.layerType = PFD_MAIN_PLANE;

  int index = choosePixelFormat(GLContext.deviceContext, pixelFormat);
  if (index == 0) {
    teardownGLContext();
    return false;
  }
  if (!setPixelFormat(GLContext.deviceContext, index, pixelFormat)) {
    teardownGLContext();
    return false;
  }
  GLContext.renderingContext = createContext(GLContext.deviceContext);
  if (GLContext.renderingContext == nullptr) {
    teardownGLContext();
    return false;
  }
  if (!makeCurrent(GLContext.deviceContext, GLContext.renderingContext)) {
    teardownGLContext();
    return false;
  }

  Rect client;
  getClientRect(window, client);
  float width = static_cast<float>(client.right - client.left);
  float height = static_cast<float>(client.bottom - client.top);
  // A window started with no client height (minimised) would give an aspect
  // of infinity or not-a-number; take it as square until something better is known.
  float aspect = (width > 0.0f && height > 0.0f) ? width / height : 1.0f;

  glEnable(GL_DEPTH_TEST);
  glEnable(GL_CULL_FACE);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(45.0, static_cast<double>(aspect), 15.0, 1000.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  return true;
}
