// The frame cut at a step (see frame_steps.h), in OpenGL 1.1 alone: the depth
// buffer is read back with glReadPixels and drawn with glDrawPixels.
//
// A perspective projection's depth values crowd near 1 (with the near plane
// at 15, everything 150 or more away lies above 0.9), so they are not shown
// as they are: each is turned back into its distance along the view axis,
// through the projection in force (either mode's), and the distances in view
// are spread over the grey levels from nearestGrey to farthestGrey, linearly.
// So the greys show the depth order and shape of what is in view in this
// frame, not a fixed scale, and whatever is in view spans the whole range.
// Where nothing was drawn the depth is the clear's 1.0; that stays white.
#include "render/frame_steps.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstddef>
#include <vector>

#include "app/frame_rate_caption.h"
#include "app/navigation.h"

namespace {

constexpr float nearestGrey = 0.08f;
constexpr float farthestGrey = 0.85f;
constexpr GLuint nothingDrawn = 0xFFFFFFFFu;  // the clear's depth, 1.0

const char* const stepNames[frameStepCount] = {nullptr,  "depth buffer", "shadow mask",
                                               "lit",    "ambient",      "textured"};
uint8_t theNamedStep = wholeFrame;

// Kept from frame to frame, so the view allocates only when the size changes.
std::vector<GLuint> theDepths;
std::vector<GLubyte> theGreys;

}  // namespace

void showDepthBuffer(int width, int height) {
  if (width <= 0 || height <= 0) return;
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  theDepths.resize(count);
  theGreys.resize(count);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadPixels(0, 0, width, height, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT, theDepths.data());

  // Both modes' projections map a point at distance z in front of the eye
  // to z_ndc = -P[10] + P[14] / z, so z = P[14] / (P[10] + z_ndc), with
  // z_ndc = 2 d - 1 for the window depth d.
  float projection[16];
  glGetFloatv(GL_PROJECTION_MATRIX, projection);
  const auto distance = [&projection](GLuint depth) {
    const double ndc = 2.0 * (static_cast<double>(depth) / nothingDrawn) - 1.0;
    return projection[14] / (projection[10] + ndc);
  };
  GLuint nearest = nothingDrawn, farthest = 0;
  for (GLuint depth : theDepths)
    if (depth != nothingDrawn) {
      nearest = std::min(nearest, depth);
      farthest = std::max(farthest, depth);
    }
  const double from = distance(nearest);
  const double span = nearest < farthest ? distance(farthest) - from : 1.0;
  for (size_t i = 0; i < count; ++i) {
    const double grey = theDepths[i] == nothingDrawn
                            ? 1.0
                            : nearestGrey + (farthestGrey - nearestGrey) *
                                                (distance(theDepths[i]) - from) / span;
    theGreys[i] = static_cast<GLubyte>(255.0 * grey + 0.5);
  }

  glDisable(GL_DEPTH_TEST);
  glDisable(GL_BLEND);
  glDisable(GL_TEXTURE_2D);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glRasterPos2f(-1.0f, -1.0f);  // the window's bottom-left corner
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glDrawPixels(width, height, GL_LUMINANCE, GL_UNSIGNED_BYTE, theGreys.data());
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
}

void endCutFrame() {
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  glDepthMask(GL_FALSE);
  glDisable(GL_BLEND);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_CULL_FACE);
  glMatrixMode(GL_PROJECTION);
}

void captionFrameStep(WindowHandle window) {
  if (frameStep == theNamedStep || frameStep >= frameStepCount) return;
  theNamedStep = frameStep;
  nameFrameStepInCaption(window, stepNames[theNamedStep]);
}
