// The shadow volume as the mode in force builds it, drawn over the frame: its
// faces translucent, its edges along the extrusion and at its far end as
// outlines, and the silhouette edges it is built on as strong lines. Faces
// and lines are hidden where the frame's surfaces lie in front of them and
// drawn where they lie in front of the surfaces; depth is neither written
// nor cleared, so the frame's own state is what the next frame finds.
//
// The faces come from the shadow volume's own calls, as the frame gets them.
// The open sides set their own grey with glColor3f, so the colour is given
// by lighting instead: with no light on and no ambient, a lit vertex takes
// the material's emission as its colour and its diffuse alpha as its alpha,
// whatever glColor says.
//
// The lines lie on the mesh where they start. Drawn into a depth range a
// hair nearer, they win against the faces they lie on and still lose
// against any surface really in front of them.
#include "render/volume_overlay.h"

#include <GL/gl.h>

#include <vector>

#include "app/app.h"
#include "app/navigation.h"
#include "render/point_light.h"
#include "shadow/shadow_volume.h"

namespace {

const GLfloat faceColour[4] = {0.0f, 0.55f, 1.0f, 0.0f};
const GLfloat faceAlpha[4] = {0.0f, 0.0f, 0.0f, 0.3f};
const GLfloat noAmbient[4] = {0.0f, 0.0f, 0.0f, 1.0f};
const GLfloat outlineColour[3] = {0.0f, 0.3f, 0.7f};
const GLfloat silhouetteColour[3] = {1.0f, 0.35f, 0.0f};
constexpr GLclampd linesNearer = 1.0 / 8192.0;

std::vector<Vec3> theSilhouette;  // pairs of ends, kept to spare allocations

void drawFaces(const ShadowVolume& volume, bool fromBehind, const Vec3& l, const Vec3& eye) {
  glEnable(GL_LIGHTING);
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, noAmbient);
  glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, faceColour);
  glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, faceAlpha);
  glBegin(GL_TRIANGLES);
  if (fromBehind) {
    volume.drawClosedSides(l.x, l.y, l.z, eye.x, eye.y, eye.z, true);
    volume.drawClosedSides(l.x, l.y, l.z, eye.x, eye.y, eye.z, false);
    volume.drawLightCap(l.x, l.y, l.z);
    volume.drawDarkCap(l.x, l.y, l.z);
  } else {
    volume.draw(l.x, l.y, l.z, eye.x, eye.y, eye.z, true);
    volume.draw(l.x, l.y, l.z, eye.x, eye.y, eye.z, false);
  }
  glEnd();
  glDisable(GL_LIGHTING);
}

// Where the volume takes a silhouette point: the first mode's finite extrusion,
// or the point at infinity away from the light.
void farVertex(const ShadowVolume& volume, bool fromBehind, const Vec3& l, const Vec3& p) {
  if (fromBehind) {
    glVertex4f(p.x - l.x, p.y - l.y, p.z - l.z, 0.0f);
    return;
  }
  Vec3 extruded;
  ShadowVolume::extrudePoint(l, p, extruded, volume.extrusionLength);
  glVertex3f(extruded.x, extruded.y, extruded.z);
}

void drawLines(const ShadowVolume& volume, bool fromBehind, const Vec3& l) {
  glDepthRange(0.0, 1.0 - linesNearer);
  glColor3fv(outlineColour);
  glBegin(GL_LINES);
  for (size_t n = 0; n + 1 < theSilhouette.size(); n += 2) {
    const Vec3& a = theSilhouette[n];
    const Vec3& b = theSilhouette[n + 1];
    glVertex3f(a.x, a.y, a.z);
    farVertex(volume, fromBehind, l, a);
    glVertex3f(b.x, b.y, b.z);
    farVertex(volume, fromBehind, l, b);
    farVertex(volume, fromBehind, l, a);
    farVertex(volume, fromBehind, l, b);
  }
  glEnd();
  glLineWidth(2.0f);
  glColor3fv(silhouetteColour);
  glBegin(GL_LINES);
  for (const Vec3& end : theSilhouette) glVertex3f(end.x, end.y, end.z);
  glEnd();
  glLineWidth(1.0f);
  glDepthRange(0.0, 1.0);
}

}  // namespace

void drawVolumeOverlay(bool fromBehind) {
  if (theShadowVolume == nullptr) return;
  const ShadowVolume& volume = *theShadowVolume;
  const Vec3 l = lightPosition;
  const Vec3 eye{eyeX(), eyeY(), eyeZ()};
  if (fromBehind) {
    theSilhouette.clear();
    for (const ShadowVolume::ClosedSide& side : volume.closedSides(l.x, l.y, l.z)) {
      theSilhouette.push_back(side.p);
      theSilhouette.push_back(side.q);
    }
  } else {
    volume.silhouette(l.x, l.y, l.z, eye.x, eye.y, eye.z, theSilhouette);
  }

  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glDepthMask(GL_FALSE);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_CULL_FACE);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  drawFaces(volume, fromBehind, l, eye);
  glDisable(GL_BLEND);
  drawLines(volume, fromBehind, l);
  glDepthFunc(GL_LESS);
}
