// The OpenGL context on a real window under a 16-bit Xvfb: the pixel format
// the program gets, its starting matrices and state, and the failure path.
#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

#include "gl/gl_context.h"
#include "support/xvfb.h"

static auto* const xvfb = useOwnXvfb();

namespace {

intptr_t quietProcedure(WindowHandle, uint32_t, uintptr_t, intptr_t) { return 0; }

WindowHandle makeWindow(int width, int height) {
  static bool registered = registerClass(WindowClass{0, quietProcedure, currentInstance(), "GL Test"});
  (void)registered;
  WindowHandle window = createWindow("GL Test", "GL Test", width, height, currentInstance());
  showWindow(window, SW_SHOWNORMAL);
  return window;
}

int glInteger(GLenum name) {
  GLint value = -1;
  glGetIntegerv(name, &value);
  return value;
}

}  // namespace

TEST(GLContext, GivesTheSixteenBitFormatWithDeepDepthAndNoStencil) {
  WindowHandle window = makeWindow(800, 600);
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(setupGLContext(window));
  EXPECT_EQ(glInteger(GL_RED_BITS), 5);
  EXPECT_EQ(glInteger(GL_GREEN_BITS), 6);
  EXPECT_EQ(glInteger(GL_BLUE_BITS), 5);
  EXPECT_EQ(glInteger(GL_ALPHA_BITS), 0);
  EXPECT_GE(glInteger(GL_DEPTH_BITS), 24);
  EXPECT_EQ(glInteger(GL_STENCIL_BITS), 0);
  GLboolean doubleBuffered = GL_FALSE;
  glGetBooleanv(GL_DOUBLEBUFFER, &doubleBuffered);
  EXPECT_EQ(doubleBuffered, GL_TRUE);
}

TEST(GLContext, StartsWithPerspectiveIdentityModelviewAndTheClientViewport) {
  WindowHandle window = makeWindow(800, 600);
  ASSERT_TRUE(setupGLContext(window));
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
  EXPECT_EQ(glInteger(GL_DEPTH_FUNC), GL_LESS);
  EXPECT_EQ(glInteger(GL_CULL_FACE_MODE), GL_BACK);
  EXPECT_EQ(glInteger(GL_FRONT_FACE), GL_CCW);
  EXPECT_EQ(glInteger(GL_MATRIX_MODE), GL_MODELVIEW);

  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[0], 0);
  EXPECT_EQ(viewport[1], 0);
  EXPECT_EQ(viewport[2], 800);
  EXPECT_EQ(viewport[3], 600);

  float modelview[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(modelview[i], (i % 5 == 0) ? 1.0f : 0.0f);

  float projection[16];
  glGetFloatv(GL_PROJECTION_MATRIX, projection);
  double f = 1.0 / std::tan(45.0 * M_PI / 360.0);
  double aspect = 800.0 / 600.0;
  double expected[16] = {f / aspect, 0, 0, 0, 0, f, 0, 0, 0, 0, -(1000.0 + 15.0) / (1000.0 - 15.0),
                         -1, 0, 0, -2.0 * 1000.0 * 15.0 / (1000.0 - 15.0), 0};
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(projection[i], expected[i], 1e-5) << "entry " << i;
}

TEST(GLContext, FailingSetUpLeavesTheWindowAndNoContexts) {
  EXPECT_FALSE(setupGLContext(nullptr));
  EXPECT_EQ(GLContext.window, nullptr);
  EXPECT_EQ(GLContext.deviceContext, nullptr);
  EXPECT_EQ(GLContext.renderingContext, nullptr);

  WindowHandle window = makeWindow(320, 240);
  destroyWindow(window);
  EXPECT_FALSE(setupGLContext(window));
  EXPECT_EQ(GLContext.window, window);
  EXPECT_EQ(GLContext.deviceContext, nullptr);
  EXPECT_EQ(GLContext.renderingContext, nullptr);
}
