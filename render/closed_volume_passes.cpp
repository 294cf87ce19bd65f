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
// is still at 1.0, which the steps would leave as it is.
#include "render/closed_volume_passes.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "app/app.h"
#include "app/navigation.h"
#include "render/point_light.h"
#include "render/screen_tiles.h"
#include "render/view_matrices.h"
#include "shadow/shadow_volume.h"
#include "shadow/volume_reach.h"

ClosedVolumeCounts theClosedVolumeCounts;

namespace {

constexpr float shadowFactor = 0.52f;
constexpr float shadowGrey = 0.52f;

// Where this frame's count can have left a pixel below 1.0, and the
// rectangles of it that the later steps draw; kept from frame to frame, so
// that the frame allocates nothing once they have grown.
ScreenTiles theCountedTiles;
std::vector<PixelRect> theCountedRects;

void sendRects(float depth) {
  glBegin(GL_QUADS);
  for (const PixelRect& r : theCountedRects) {
    glVertex3f(static_cast<float>(r.x0), static_cast<float>(r.y0), depth);
    glVertex3f(static_cast<float>(r.x1), static_cast<float>(r.y0), depth);
    glVertex3f(static_cast<float>(r.x1), static_cast<float>(r.y1), depth);
    glVertex3f(static_cast<float>(r.x0), static_cast<float>(r.y1), depth);
  }
  glEnd();
}

void setCorner(double (&corner)[4], const Vec3& v) {
  corner[0] = v.x;
  corner[1] = v.y;
  corner[2] = v.z;
  corner[3] = 1.0;
}

// The point at infinity on the ray from the light through v.
void setCornerAtInfinity(double (&corner)[4], const Vec3& v, const Vec3& light) {
  corner[0] = double{v.x} - light.x;
  corner[1] = double{v.y} - light.y;
  corner[2] = double{v.z} - light.z;
  corner[3] = 0.0;
}

// Every side of the volume, whichever way it faces, and every light-cap face
// that the GL may not cull as facing the eye.
void reachTheCountedFaces(const ShadowVolume& volume, const Vec3& light) {
  for (const ShadowVolume::ClosedSide& side : volume.closedSides(light.x, light.y, light.z)) {
    double first[3][4], second[3][4];
    setCorner(first[0], side.q);
    setCorner(first[1], side.p);
    setCornerAtInfinity(first[2], side.p, light);
    std::copy(first[0], first[0] + 4, second[0]);
    std::copy(first[2], first[2] + 4, second[1]);
    setCornerAtInfinity(second[2], side.q, light);
    reachTriangle(theCountedTiles, first);
    reachTriangle(theCountedTiles, second);
  }
  const std::vector<uint8_t>& lit = volume.facesLitBy(light.x, light.y, light.z);
  for (size_t k = 0; k < lit.size(); ++k) {
    Vec3 c[3];
    if (lit[k] == 0 || !volume.faceCorners(static_cast<int32_t>(k), c)) continue;
    double corners[3][4];
    for (int n = 0; n < 3; ++n) setCorner(corners[n], c[n]);
    if (!clearlyFacesFront(theCountedTiles, corners)) reachTriangle(theCountedTiles, corners);
  }
}

// The plane, in model coordinates, beyond which (seen from the eye) no
// vertex of the mesh lies, with a little room. Counted from the eye, what
// lies past it can only reach pixels where no surface is: the background,
// which is made white in the end anyway. False for a mesh without vertices.
bool planeBeyondTheMesh(const Mesh& mesh, const double modelview[16], double plane[4]) {
  const double* m = modelview;
  double farthest = -HUGE_VAL;
  for (int32_t i = 0; i < mesh.vertexCount; ++i) {
    const Vec3& v = mesh.vertices[i];
    farthest = std::max(farthest, -(m[2] * v.x + m[6] * v.y + m[10] * v.z + m[14]));
  }
  if (!std::isfinite(farthest)) return false;
  const double beyond = farthest + 1e-3 * (std::fabs(farthest) + 1.0);
  plane[0] = m[2];
  plane[1] = m[6];
  plane[2] = m[10];
  plane[3] = m[14] + beyond;
  return true;
}

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

void sendSides(const ShadowVolume& volume, const Vec3& light, const Vec3& eye, bool frontFaces) {
  glBegin(GL_TRIANGLES);
  volume.drawClosedSides(light.x, light.y, light.z, eye.x, eye.y, eye.z, frontFaces);
  glEnd();
}

// The light cap, culling the faces that show the eye their `culled` side.
void sendLightCap(const ShadowVolume& volume, const Vec3& light, GLenum culled) {
  glEnable(GL_CULL_FACE);
  glCullFace(culled);
  glBegin(GL_TRIANGLES);
  volume.drawLightCap(light.x, light.y, light.z);
  glEnd();
}

// From the near plane to the surface, and no further than the plane beyond
// the mesh, which cuts the sides as the tiles are cut. The light cap seen
// from the front lies exactly at the depth the depth pass stored, or behind
// it, and the cap at infinity behind everything: neither can pass, so
// neither is sent.
void countFromTheEye(const ShadowVolume& volume, const Mesh& mesh, const double modelview[16],
                     const Vec3& light, const Vec3& eye) {
  if (planeBeyondTheMesh(mesh, modelview, theCountedTiles.keep)) {
    glClipPlane(GL_CLIP_PLANE0, theCountedTiles.keep);
    glEnable(GL_CLIP_PLANE0);
  }
  // Ways in: sides seen from outside. Ways out: sides seen from inside,
  // light-cap faces seen from behind.
  glDepthFunc(GL_LESS);
  glDisable(GL_CULL_FACE);
  countCrossingsInto(true);
  sendSides(volume, light, eye, true);
  countCrossingsInto(false);
  sendSides(volume, light, eye, false);
  sendLightCap(volume, light, GL_FRONT);
  glCullFace(GL_BACK);
  glDisable(GL_CLIP_PLANE0);
  reachTheCountedFaces(volume, light);
}

// From behind the surface to infinity, over the whole window.
void countFromBehind(const ShadowVolume& volume, const Vec3& light, const Vec3& eye) {
  // Ways out: sides seen from inside, the cap at infinity (only ever seen
  // from inside), light-cap faces seen from behind.
  glDepthFunc(GL_GREATER);
  glDisable(GL_CULL_FACE);
  countCrossingsInto(true);
  sendSides(volume, light, eye, false);
  glBegin(GL_TRIANGLES);
  volume.drawDarkCap(light.x, light.y, light.z);
  glEnd();
  sendLightCap(volume, light, GL_FRONT);

  // Ways in. A lit face seen from the front is the light cap itself, at the
  // very depth the depth pass stored (same vertices, same order, same
  // matrices, as the GL_EQUAL passes rely on): the ray enters the volume
  // there, so that cap counts at equal depth too. Culling picks the cap's
  // faces as the depth pass picked the visible ones.
  countCrossingsInto(false);
  glDepthFunc(GL_GEQUAL);
  sendLightCap(volume, light, GL_BACK);
  glDepthFunc(GL_GREATER);
  glDisable(GL_CULL_FACE);
  sendSides(volume, light, eye, true);
  reachEveryTile(theCountedTiles);
}

// Counting from the eye is right when no lit face reaches the pyramid
// between the light and the near plane's rectangle; a pixel's width round it
// is counted as reaching, and a view whose rectangle cannot be found counts
// from behind.
bool countingFromTheEyeIsRight(const ShadowVolume& volume, const Vec3& light) {
  double rectangle[4][3];
  if (!nearRectangle(theCountedTiles.clipFromModel, rectangle)) return false;
  const double diagonal =
      std::hypot(rectangle[2][0] - rectangle[0][0], rectangle[2][1] - rectangle[0][1],
                 rectangle[2][2] - rectangle[0][2]);
  const double pixels = std::max(std::hypot(theCountedTiles.width, theCountedTiles.height), 1.0);
  return !volumeReachesRectangle(volume, light, rectangle, diagonal / pixels);
}

}  // namespace

void closedVolumeShadowPasses(const Mesh* mesh) {
  glDepthMask(GL_FALSE);
  GLint viewport[4];
  double projection[16], modelview[16], clip[16];
  glGetIntegerv(GL_VIEWPORT, viewport);
  glGetDoublev(GL_PROJECTION_MATRIX, projection);
  glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
  clipFromModel(projection, modelview, clip);
  startScreenTiles(theCountedTiles, viewport[2], viewport[3], clip);

  bool fromTheEye = true;
  if (theShadowVolume != nullptr && mesh != nullptr) {
    const ShadowVolume& volume = *theShadowVolume;
    const Vec3 light = lightPosition;
    const Vec3 eye{eyeX(), eyeY(), eyeZ()};
    fromTheEye = countingFromTheEyeIsRight(volume, light);
    if (fromTheEye)
      countFromTheEye(volume, *mesh, modelview, light, eye);
    else
      countFromBehind(volume, light, eye);
  }
  ++(fromTheEye ? theClosedVolumeCounts.fromTheEye : theClosedVolumeCounts.fromBehind);
  reachedRects(theCountedTiles, theCountedRects);

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
    sendRects(-1.0f);
  }

  // Down to the first mode's two values: 1 - v, doubled twice (any count that
  // left the pixel below 1 reaches 1, a pixel at 1.0 stays at 0), then
  // (1 - u) + 0.52 u: 1.0 outside the volume, the grey inside.
  glDisable(GL_DEPTH_TEST);
  glColor4f(1.0f, 1.0f, 1.0f, shadowGrey);
  glBlendFunc(GL_ONE_MINUS_DST_COLOR, GL_ZERO);
  sendRects(0.0f);
  glBlendFunc(GL_DST_COLOR, GL_ONE);
  sendRects(0.0f);
  sendRects(0.0f);
  glBlendFunc(GL_ONE_MINUS_DST_COLOR, GL_SRC_ALPHA);
  sendRects(0.0f);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
}
