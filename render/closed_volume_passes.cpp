// The second mode's shadow passes. Each fragment of the closed volume on one
// side of the surface is one crossing of the eye's ray: a face seen from
// outside is a way in, one seen from inside a way out. The first mode's
// "write the grey, then saturate" keeps only whether there was any way in,
// which cannot work here: a lit face is itself a way in (the ray goes on
// through its caster and out), and volumes overlap. So the blend keeps the
// count: the crossings that leave the pixel in shadow if nothing makes up for
// them multiply it by shadowFactor, the others by 2 (GL_DST_COLOR, GL_ONE),
// the former first so that nothing saturates early; the pixel is back at 1.0
// exactly when they make up for each other (0.52 x 2 > 1 absorbs the
// rounding of each store) and at 0.52 or below otherwise. Overlapping volumes
// add up as a stencil count would, up to five crossings of the first kind
// over one pixel; past that the 5-6-5 buffer runs out of steps and the count
// is no longer exact.
//
// Counted from behind the surface to infinity (GL_GREATER), those are the
// ways out, and the count is right wherever the eye is: nothing is inside a
// volume at infinity. Counted from the eye forward (GL_LESS), they are the
// ways in, and the count is right when nothing is inside a volume where
// each pixel's count starts: the near plane's rectangle, where the GL clips
// the eye's rays. The two then give the same mask, but from behind the
// surfaces that face the light are drawn twice more, as the light cap and
// as the cap at infinity behind them, and those fill most of the window; so
// the frame counts from the eye whenever a test on the CPU shows that no
// volume reaches that rectangle (volume_reach.h), and from behind
// otherwise. Counted from the eye, the volume is cut off past the mesh's
// farthest point, and the steps after the count keep to the tiles of the
// window the volume can reach (screen_tiles.h): everywhere else the pixel
// is still at 1.0, which the steps would leave as it is. That choice, the
// plane and the tiles are the frame geometry's (frame_geometry.h), made
// again only when the light or the view moves; here they are only sent.
#include "render/closed_volume_passes.h"

#include <GL/gl.h>

#include "render/send_arrays.h"
#include "shadow/shadow_volume.h"

ClosedVolumeCounts theClosedVolumeCounts;

namespace {

constexpr float shadowFactor = 0.52f;
constexpr float shadowGrey = 0.52f;

// The blend and colour for crossings that take the pixel into shadow, or
// for those that take it back out.
void countCrossingsInto(bool shadow) {
  if (shadow) {
    glBlendFunc(GL_ZERO, GL_SRC_COLOR);
    glColor3f(shadowFactor, shadowFactor, shadowFactor);
  } else {
    glBlendFunc(GL_DST_COLOR, GL_ONE);
    glColor3f(1.0f, 1.0f, 1.0f);
  }
}

// The light cap, culling the faces that show the eye their `culled` side.
void sendLightCap(const ShadowVolume& volume, const ClosedVolume& closed, GLenum culled) {
  glEnable(GL_CULL_FACE);
  glCullFace(culled);
  sendIndexedTriangles(volume.vertexArray, volume.vertexArrayStride, closed.lightCap.data(),
                       static_cast<int32_t>(closed.lightCap.size()));
}

// From the near plane to the surface, and no further than the plane beyond
// the mesh, which cuts the sides as the tiles are cut. The light cap seen
// from the front lies exactly at the depth the depth pass stored, or behind
// it, and the cap at infinity behind everything: neither can pass, so
// neither is sent.
void countFromTheEye(const ShadowVolume& volume, const FrameGeometry& geometry) {
  if (geometry.cutBeyondMesh) {
    glClipPlane(GL_CLIP_PLANE0, geometry.beyondMesh);
    glEnable(GL_CLIP_PLANE0);
  }
  // Ways in: sides seen from outside. Ways out: sides seen from inside,
  // light-cap faces seen from behind.
  glDepthFunc(GL_LESS);
  glDisable(GL_CULL_FACE);
  countCrossingsInto(true);
  sendTriangles(geometry.closedFront);
  countCrossingsInto(false);
  sendTriangles(geometry.closedBack);
  sendLightCap(volume, geometry.closed, GL_FRONT);
  glCullFace(GL_BACK);
  glDisable(GL_CLIP_PLANE0);
}

// From behind the surface to infinity, over the whole window.
void countFromBehind(const ShadowVolume& volume, const FrameGeometry& geometry) {
  // Ways out: sides seen from inside, the cap at infinity (only ever seen
  // from inside), light-cap faces seen from behind.
  glDepthFunc(GL_GREATER);
  glDisable(GL_CULL_FACE);
  countCrossingsInto(true);
  sendTriangles(geometry.closedBack);
  sendIndexedTriangles(geometry.closed.atInfinity, geometry.closed.darkCap);
  sendLightCap(volume, geometry.closed, GL_FRONT);

  // Ways in. A lit face seen from the front is the light cap itself, at the
  // very depth the depth pass stored (same vertices, same order, same
  // matrices, as the GL_EQUAL passes rely on): the ray enters the volume
  // there, so that cap counts at equal depth too. Culling picks the cap's
  // faces as the depth pass picked the visible ones.
  countCrossingsInto(false);
  glDepthFunc(GL_GEQUAL);
  sendLightCap(volume, geometry.closed, GL_BACK);
  glDepthFunc(GL_GREATER);
  glDisable(GL_CULL_FACE);
  sendTriangles(geometry.closedFront);
}

}  // namespace

void closedVolumeShadowPasses(const FrameGeometry& geometry, const ShadowVolume* volume) {
  glDepthMask(GL_FALSE);
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  const bool fromTheEye = geometry.countFromTheEye;
  if (volume != nullptr && geometry.madeFrom.mesh != nullptr) {
    if (fromTheEye)
      countFromTheEye(*volume, geometry);
    else
      countFromBehind(*volume, geometry);
  }
  ++(fromTheEye ? theClosedVolumeCounts.fromTheEye : theClosedVolumeCounts.fromBehind);

  glDisable(GL_CULL_FACE);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0.0, viewport[2], 0.0, viewport[3], -1.0, 1.0);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  // Counted from the eye, a ray that meets no surface counts on until the
  // volume is cut off, and may stop inside it; from behind, nothing lies
  // behind the background, which stays white. So it is made white: the
  // pixels whose depth is still the clear value, 1.0, where z = -1 lands
  // under this projection.
  if (fromTheEye) {
    glDepthFunc(GL_LEQUAL);
    glBlendFunc(GL_ONE, GL_ZERO);
    glColor3f(1.0f, 1.0f, 1.0f);
    sendRects(geometry.rects, -1.0f);
  }

  // Down to the first mode's two values: 1 - v, doubled twice (any count that
  // left the pixel below 1 reaches 1, a pixel at 1.0 stays at 0), then
  // (1 - u) + 0.52 u: 1.0 outside the volume, the grey inside.
  glDisable(GL_DEPTH_TEST);
  glColor4f(1.0f, 1.0f, 1.0f, shadowGrey);
  glBlendFunc(GL_ONE_MINUS_DST_COLOR, GL_ZERO);
  sendRects(geometry.rects, 0.0f);
  glBlendFunc(GL_DST_COLOR, GL_ONE);
  sendRects(geometry.rects, 0.0f);
  sendRects(geometry.rects, 0.0f);
  glBlendFunc(GL_ONE_MINUS_DST_COLOR, GL_SRC_ALPHA);
  sendRects(geometry.rects, 0.0f);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
}
