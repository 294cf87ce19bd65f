// The shadow volume as the mode in force builds it, drawn over the frame: its
// faces translucent, its edges along the extrusion and at its far end as
// outlines, and the silhouette edges it is built on as strong lines. Faces
// and lines are hidden where the frame's surfaces lie in front of them and
// drawn where they lie in front of the surfaces; depth is neither written
// nor cleared, so the frame's own state is what the next frame finds.
//
// The faces are the frame's own (frame_geometry.h), as its passes send them.
// Their colour is given by lighting: with no light on and no ambient, a lit
// vertex takes the material's emission as its colour and its diffuse alpha as
// its alpha, whatever glColor says.
//
// The lines lie on the mesh where they start. Drawn into a depth range a
// hair nearer, they win against the faces they lie on and still lose
// against any surface really in front of them.
#include "render/volume_overlay.h"

#include <GL/gl.h>

#include <vector>

#include "render/point_light.h"
#include "render/send_arrays.h"
#include "shadow/shadow_volume.h"

namespace {

const GLfloat faceColour[4] = {0.0f, 0.55f, 1.0f, 0.0f};
const GLfloat faceAlpha[4] = {0.0f, 0.0f, 0.0f, 0.3f};
const GLfloat noAmbient[4] = {0.0f, 0.0f, 0.0f, 1.0f};
const GLfloat outlineColour[3] = {0.0f, 0.3f, 0.7f};
const GLfloat silhouetteColour[3] = {1.0f, 0.35f, 0.0f};
constexpr GLclampd linesNearer = 1.0 / 8192.0;

// Kept from frame to frame, to spare allocations.
std::vector<Vec3> theSilhouette;  // pairs of ends
std::vector<Vec4> theOutlines;    // pairs of ends

void drawFaces(const FrameGeometry& geometry, bool secondMode) {
  glEnable(GL_LIGHTING);
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, noAmbient);
  glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, faceColour);
  glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, faceAlpha);
  if (secondMode) {
    const ShadowVolume* volume = geometry.madeFrom.volume;
    sendTriangles(geometry.closedFront);
    sendTriangles(geometry.closedBack);
    sendIndexedTriangles(volume->vertexArray, volume->vertexArrayStride,
                         geometry.closed.lightCap.data(),
                         static_cast<int32_t>(geometry.closed.lightCap.size()));
    sendIndexedTriangles(geometry.closed.atInfinity, geometry.closed.darkCap);
  } else {
    sendTriangles(geometry.frontSides);
    sendTriangles(geometry.backSides);
  }
  glDisable(GL_LIGHTING);
}

// Where the volume takes a silhouette point: the first mode's finite extrusion,
// or the point at infinity away from the light.
Vec4 farVertex(const FrameGeometry& geometry, bool secondMode, const Vec3& p) {
  const Vec3& l = geometry.madeFrom.light;
  if (secondMode) return {p.x - l.x, p.y - l.y, p.z - l.z, 0.0f};
  Vec3 extruded;
  ShadowVolume::extrudePoint(l, p, extruded, geometry.madeFrom.extrusionLength);
  return {extruded.x, extruded.y, extruded.z, 1.0f};
}

void drawLines(const FrameGeometry& geometry, bool secondMode) {
  theOutlines.clear();
  for (size_t n = 0; n + 1 < theSilhouette.size(); n += 2) {
    const Vec3& a = theSilhouette[n];
    const Vec3& b = theSilhouette[n + 1];
    const Vec4 farA = farVertex(geometry, secondMode, a);
    const Vec4 farB = farVertex(geometry, secondMode, b);
    theOutlines.insert(theOutlines.end(),
                       {{a.x, a.y, a.z, 1.0f}, farA, {b.x, b.y, b.z, 1.0f}, farB, farA, farB});
  }
  glDepthRange(0.0, 1.0 - linesNearer);
  glColor3fv(outlineColour);
  sendLines(theOutlines);
  glLineWidth(2.0f);
  glColor3fv(silhouetteColour);
  sendLines(theSilhouette);
  glLineWidth(1.0f);
  glDepthRange(0.0, 1.0);
}

}  // namespace

void drawVolumeOverlay(const FrameGeometry& geometry, bool secondMode) {
  if (geometry.madeFrom.volume == nullptr) return;
  theSilhouette.clear();
  if (secondMode) {
    for (const ClosedSide& side : geometry.closed.sides)
      theSilhouette.insert(theSilhouette.end(), {side.p, side.q});
  } else {
    // Those of both passes: the edges whose plane misses the eye.
    const Vec3& eye = geometry.madeFrom.eye;
    for (const SilhouetteEdge& edge : geometry.silhouette) {
      const float side =
          edge.normal.x * eye.x + edge.normal.y * eye.y + edge.normal.z * eye.z - edge.planeAtLight;
      if (side > 0.0f || side < 0.0f) theSilhouette.insert(theSilhouette.end(), {edge.a, edge.b});
    }
  }

  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glDepthMask(GL_FALSE);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_CULL_FACE);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  drawFaces(geometry, secondMode);
  glDisable(GL_BLEND);
  drawLines(geometry, secondMode);
  glDepthFunc(GL_LESS);
}
