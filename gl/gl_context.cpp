// Sets up the OpenGL context on the window. The format asks for no stencil
// and no alpha: the shadow passes work in the colour buffer alone and rely on
// destination alpha reading 1.0. The projection is the same function of the
// client size at the set-up and after a resize, so the start picture is the
// same whether or not a resize to the start size came in between.
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

namespace {

void loadProjection(int width, int height) {
  float w = static_cast<float>(width);
  float h = static_cast<float>(height);
  // A window started with no client height (minimised) would give an aspect
  // of infinity or not-a-number; take it as square until something better is known.
  float aspect = (w > 0.0f && h > 0.0f) ? w / h : 1.0f;
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(45.0, static_cast<double>(aspect), 15.0, 1000.0);
  glMatrixMode(GL_MODELVIEW);
}

}  // namespace

void resizeGLContext(WindowHandle window, int width, int height) {
  if (window != GLContext.window || GLContext.renderingContext == nullptr || width <= 0 ||
      height <= 0)
    return;
  glViewport(0, 0, width, height);
  loadProjection(width, height);
}

bool releaseGLContext() {
  if (GLContext.renderingContext == nullptr) return false;
  bool ok = makeCurrent(nullptr, nullptr);
  if (!deleteContext(GLContext.renderingContext)) ok = false;
  if (!releaseDC(GLContext.window, GLContext.deviceContext)) ok = false;
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
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_CULL_FACE);
  loadProjection(client.right - client.left, client.bottom - client.top);
  glLoadIdentity();
  return true;
}
