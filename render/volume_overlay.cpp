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

Vec4 finite(const Vec3& v) { return {v.x, v.y, v.z, 1.0f}; }

// A silhouette edge a -> b with the points the volume takes them to.
void addEdge(const Vec3& a, const Vec3& b, const Vec4& farA, const Vec4& farB) {
  theSilhouette.insert(theSilhouette.end(), {a, b});
  theOutlines.insert(theOutlines.end(), {finite(a), farA, finite(b), farB, farA, farB});
}

// The edges the volume is built on, with their far ends: the first mode's
// quads (A, B, A', A', B', B) as the frame sends them, or the closed volume's
// sides reaching infinity away from the light.
void findEdges(const FrameGeometry& geometry, bool secondMode) {
  theSilhouette.clear();
  theOutlines.clear();
  if (secondMode) {
    const Vec3& l = geometry.madeFrom.light;
    for (const ClosedSide& side : geometry.closed.sides)
      addEdge(side.p, side.q, {side.p.x - l.x, side.p.y - l.y, side.p.z - l.z, 0.0f},
              {side.q.x - l.x, side.q.y - l.y, side.q.z - l.z, 0.0f});
    return;
  }
  for (const std::vector<Vec3>* quads : {&geometry.frontSides, &geometry.backSides})
    for (size_t n = 0; n + 6 <= quads->size(); n += 6) {
      const Vec3* quad = quads->data() + n;
      addEdge(quad[0], quad[1], finite(quad[2]), finite(quad[4]));
    }
}

void drawLines() {
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
  findEdges(geometry, secondMode);

  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glDepthMask(GL_FALSE);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_CULL_FACE);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  drawFaces(geometry, secondMode);
  glDisable(GL_BLEND);
  drawLines();
  glDepthFunc(GL_LESS);
}
