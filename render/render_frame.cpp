// One frame. (For now: clear, swap, caption and navigation.)
#include "render/render_frame.h"

#include <GL/gl.h>

#include "app/frame_rate_caption.h"
#include "app/navigation.h"
#include "gl/gl_context.h"

void renderFrame(WindowHandle window) {
  glDepthMask(GL_TRUE);
  glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  swapBuffers(GLContext.deviceContext);
  updateFrameRateCaption(window);
  stepNavigation();
}
