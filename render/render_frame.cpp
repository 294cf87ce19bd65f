// One frame in seven passes, immediate mode, each pass setting the state it
// needs. The shadow is resolved in the colour buffer alone: after a depth-only
// pass, the shadow volume's quads that face the eye write 0.52 grey in front
// of the surface and those that face away saturate it back to white, so the
// surface keeps 0.52 exactly where the eye's ray enters the volume and does
// not leave it before reaching the surface. The lit and textured passes then
// multiply into that, finding the mesh's pixels again with GL_EQUAL, so they
// send exactly the vertices of the depth pass under the same matrices.
//
// F2 switches to a second way of finding the shadow (shadowPassesFromBehind),
// which stays right with the eye inside a volume and leaves no grey where a
// volume reaches past the far plane: it counts, in the colour buffer, how
// often the eye's ray leaves and enters the closed volume behind the surface,
// under a projection without a far plane. All passes of such a frame use
// that projection; the start-up projection is put back at the end.
//
// Without a mesh or shadow volume nothing of them is drawn; without
// mapping coordinates, or without a texture image that the GL took, the
// texture pass is left out, which leaves the mesh untextured (multiplying by
// white).
#include "render/render_frame.h"

#include <GL/gl.h>

#include "app/app.h"
#include "app/frame_rate_caption.h"
#include "app/navigation.h"
#include "assets/tiff_image.h"
#include "gl/gl_context.h"
#include "render/frame_steps.h"
#include "render/infinite_projection.h"
#include "render/point_light.h"
#include "render/volume_overlay.h"
#include "shadow/shadow_volume.h"

namespace {

constexpr float lightRadius = 210.0f;
constexpr float lightColour = 0.7f;
constexpr float ambientTerm = 0.12f;
constexpr float markerHalfSize = 5.0f;

void sendPositions(const Mesh& mesh) {
  for (int32_t i = 0; i < mesh.faceCount; ++i)
    for (int32_t corner : mesh.faces[i].corner) glVertex3fv(&mesh.vertices[corner].x);
}

void depthPass(const Mesh* mesh) {
  glDepthFunc(GL_LESS);
  glEnable(GL_BLEND);
  glDisable(GL_TEXTURE_2D);
  glEnable(GL_CULL_FACE);
  glBlendFunc(GL_ZERO, GL_ONE);  // depth only: the colour buffer keeps its white
  glBegin(GL_TRIANGLES);
  if (mesh != nullptr) sendPositions(*mesh);
  glEnd();
}

void shadowPasses() {
  glDepthMask(GL_FALSE);
  glDisable(GL_CULL_FACE);
  // Destination alpha is always 1 (no alpha bits), so GL_DST_ALPHA acts as one.
  // Front quads replace the colour with the grey; overlapping ones do not darken further.
  glBlendFunc(GL_DST_ALPHA, GL_ZERO);
  glBegin(GL_TRIANGLES);
  if (theShadowVolume != nullptr)
    theShadowVolume->draw(lightPosition.x, lightPosition.y, lightPosition.z, eyeX(), eyeY(),
                          eyeZ(), true);
  glEnd();
  // Back quads add the grey, saturating any pixel they reach back to white.
  glBlendFunc(GL_DST_ALPHA, GL_SRC_ALPHA);
  glBegin(GL_TRIANGLES);
  if (theShadowVolume != nullptr)
    theShadowVolume->draw(lightPosition.x, lightPosition.y, lightPosition.z, eyeX(), eyeY(),
                          eyeZ(), false);
  glEnd();
}

// One quad over the whole window in the current colour and blending; both
// matrices are left as they were found.
void fillWindow(float width, float height) {
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0.0, width, 0.0, height, -1.0, 1.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glBegin(GL_QUADS);
  glVertex2f(0.0f, 0.0f);
  glVertex2f(width, 0.0f);
  glVertex2f(width, height);
  glVertex2f(0.0f, height);
  glEnd();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
}

// Each fragment of the closed volume behind the surface is one crossing of
// the eye's ray: a face seen from inside is a way out, one seen from outside a
// way in, and the surface is in shadow when the ray leaves more often than it
// enters. The first mode's "write the grey, then saturate" keeps only whether
// there was any way in, which cannot work here: a lit face is itself a way in
// (the ray goes on through its caster and out), so it would clear every
// shadow that falls on a lit face. So the blend keeps the count: each way out
// multiplies by exitFactor, each way in by 2 (GL_DST_COLOR, GL_ONE), outs
// first so that nothing saturates early; the pixel is back at 1.0 exactly
// when the ins make up for the outs (0.52 x 2 > 1 absorbs the rounding of
// each store) and at 0.52 or below otherwise. Overlapping volumes add up as a
// stencil count would, up to five outs behind one pixel; past that the 5-6-5
// buffer runs out of steps and the count is no longer exact.
constexpr float exitFactor = 0.52f;
constexpr float shadowGrey = 0.52f;

void shadowPassesFromBehind(const Mesh* mesh, float width, float height) {
  glDepthMask(GL_FALSE);
  glDepthFunc(GL_GREATER);
  if (theShadowVolume != nullptr && mesh != nullptr) {
    const ShadowVolume& volume = *theShadowVolume;
    const Vec3 l = lightPosition;
    const float ex = eyeX(), ey = eyeY(), ez = eyeZ();

    // Ways out: sides seen from inside, the cap at infinity (only ever seen
    // from inside), light-cap faces seen from behind.
    glBlendFunc(GL_ZERO, GL_SRC_COLOR);
    glColor3f(exitFactor, exitFactor, exitFactor);
    glDisable(GL_CULL_FACE);
    glBegin(GL_TRIANGLES);
    volume.drawClosedSides(l.x, l.y, l.z, ex, ey, ez, false);
    volume.drawDarkCap(l.x, l.y, l.z);
    glEnd();
    glEnable(GL_CULL_FACE);
    glCullFace(GL_FRONT);
    glBegin(GL_TRIANGLES);
    volume.drawLightCap(l.x, l.y, l.z);
    glEnd();

    // Ways in. A lit face seen from the front is the light cap itself, at the
    // very depth the depth pass stored (same vertices, same order, same
    // matrices, as the GL_EQUAL passes rely on): the ray enters the volume
    // there, so that cap counts at equal depth too. Culling picks the cap's
    // faces as the depth pass picked the visible ones.
    glBlendFunc(GL_DST_COLOR, GL_ONE);
    glColor3f(1.0f, 1.0f, 1.0f);
    glCullFace(GL_BACK);
    glDepthFunc(GL_GEQUAL);
    glBegin(GL_TRIANGLES);
    volume.drawLightCap(l.x, l.y, l.z);
    glEnd();
    glDepthFunc(GL_GREATER);
    glDisable(GL_CULL_FACE);
    glBegin(GL_TRIANGLES);
    volume.drawClosedSides(l.x, l.y, l.z, ex, ey, ez, true);
    glEnd();
  }

  // Down to the first mode's two values: 1 - v, doubled twice (any count that
  // left the pixel below 1 reaches 1, a pixel at 1.0 stays at 0), then
  // (1 - u) + 0.52 u: 1.0 outside the volume, the grey inside.
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glColor4f(1.0f, 1.0f, 1.0f, shadowGrey);
  glBlendFunc(GL_ONE_MINUS_DST_COLOR, GL_ZERO);
  fillWindow(width, height);
  glBlendFunc(GL_DST_COLOR, GL_ONE);
  fillWindow(width, height);
  fillWindow(width, height);
  glBlendFunc(GL_ONE_MINUS_DST_COLOR, GL_SRC_ALPHA);
  fillWindow(width, height);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
}

void litPass(const Mesh* mesh) {
  glDepthMask(GL_TRUE);
  glDepthFunc(GL_EQUAL);
  glBlendFunc(GL_ZERO, GL_SRC_COLOR);
  glEnable(GL_CULL_FACE);
  glBegin(GL_TRIANGLES);
  setLightPosition(lightPosition.x, lightPosition.y, lightPosition.z, lightRadius);
  setLightColour(lightColour, lightColour, lightColour);
  setLightAmbient(0.0f, 0.0f, 0.0f);
  if (mesh != nullptr && mesh->vertexNormals != nullptr) {
    for (int32_t i = 0; i < mesh->faceCount; ++i)
      for (int32_t corner : mesh->faces[i].corner) {
        const Vec3& normal = mesh->vertexNormals[corner];
        const Vec3& position = mesh->vertices[corner];
        float r, g, b;
        shadeVertex(normal.x, normal.y, normal.z, position.x, position.y, position.z, r, g, b);
        glColor3f(r, g, b);
        glVertex3fv(&position.x);
      }
  }
  glEnd();
}

void ambientPass(float width, float height) {
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  glDisable(GL_DEPTH_TEST);
  glDepthMask(GL_FALSE);
  glDisable(GL_TEXTURE_2D);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glDisable(GL_CULL_FACE);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0.0, width, 0.0, height, -1.0, 1.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glBegin(GL_QUADS);
  glColor3f(ambientTerm, ambientTerm, ambientTerm);
  glVertex2f(0.0f, 0.0f);
  glVertex2f(width, 0.0f);
  glVertex2f(width, height);
  glVertex2f(0.0f, height);
  glEnd();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
}

void texturePass(const Mesh* mesh) {
  glEnable(GL_DEPTH_TEST);
  glDepthMask(GL_TRUE);
  glEnable(GL_CULL_FACE);
  glDepthFunc(GL_EQUAL);
  glBlendFunc(GL_ZERO, GL_SRC_COLOR);
  bool textured = mesh != nullptr && mesh->texCoords != nullptr && theTexture != nullptr &&
                  theTexture->pixels != nullptr && theTextureUploaded;
  if (!textured) return;
  glEnable(GL_TEXTURE_2D);
  glBegin(GL_TRIANGLES);
  for (int32_t i = 0; i < mesh->faceCount; ++i)
    for (int32_t corner : mesh->faces[i].corner) {
      glTexCoord2fv(&mesh->texCoords[corner].u);
      glVertex3fv(&mesh->vertices[corner].x);
    }
  glEnd();
}

void markerPass() {
  glDepthFunc(GL_LESS);
  glDepthMask(GL_FALSE);
  glDisable(GL_BLEND);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_CULL_FACE);
  const Vec3& l = lightPosition;
  const float s = markerHalfSize;
  const Vec3 a{l.x - s, l.y - s, l.z - s};
  const Vec3 b{l.x + s, l.y - s, l.z - s};
  const Vec3 c{l.x + 0.0f, l.y + s, l.z - s};
  const Vec3 d{l.x + 0.0f, l.y + 0.0f, l.z + s};
  const Vec3* triangles[4][3] = {{&a, &b, &c}, {&d, &b, &c}, {&a, &d, &c}, {&a, &b, &d}};
  glBegin(GL_TRIANGLES);
  for (const auto& triangle : triangles) {
    glColor3f(1.0f, 0.0f, 0.0f);
    glVertex3f(triangle[0]->x, triangle[0]->y, triangle[0]->z);
    glColor3f(0.0f, 1.0f, 0.0f);
    glVertex3f(triangle[1]->x, triangle[1]->y, triangle[1]->z);
    glColor3f(0.0f, 0.0f, 1.0f);
    glVertex3f(triangle[2]->x, triangle[2]->y, triangle[2]->z);
  }
  glEnd();
}

// What follows the passes, whole or cut short (F4): the volume over the
// frame (F3) under the projection the frame drew with, the start-up
// projection back, swap, caption and navigation.
void endFrame(WindowHandle window, bool fromBehind, const float startUpProjection[16]) {
  if (frameStep != wholeFrame) endCutFrame();
  if (showVolume != 0) {
    drawVolumeOverlay(fromBehind);
    markerPass();  // over the volume, which may lie between it and the eye
  }
  if (fromBehind) {
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(startUpProjection);
  }

  swapBuffers(GLContext.deviceContext);
  updateFrameRateCaption(window);
  captionFrameStep(window);
  stepNavigation();
}

}  // namespace

void renderFrame(WindowHandle window) {
  Rect client;
  getClientRect(window, client);
  float width = static_cast<float>(client.right - client.left);
  float height = static_cast<float>(client.bottom - client.top);

  glDepthMask(GL_TRUE);  // before the clear, so that the clear reaches the depth buffer
  glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

  // Read back rather than pushed: the ambient pass pushes the projection too,
  // and OpenGL 1.1 promises a projection stack of two.
  const bool fromBehind = shadowFromBehind != 0;
  float startUpProjection[16] = {};
  if (fromBehind) {
    float farless[16];
    glMatrixMode(GL_PROJECTION);
    glGetFloatv(GL_PROJECTION_MATRIX, startUpProjection);
    infiniteProjection(startUpProjection, farless);
    glLoadMatrixf(farless);
  }

  // F4 cuts the frame short after one of its passes, and the end follows at once.
  const auto cutHere = [&] { endFrame(window, fromBehind, startUpProjection); };
  const Mesh* mesh = theMesh;
  depthPass(mesh);
  if (frameStep == afterDepthPass) {
    showDepthBuffer(client.right - client.left, client.bottom - client.top);
    return cutHere();
  }
  if (fromBehind)
    shadowPassesFromBehind(mesh, width, height);
  else
    shadowPasses();
  if (frameStep == afterShadowPasses) return cutHere();
  litPass(mesh);
  if (frameStep == afterLitPass) return cutHere();
  ambientPass(width, height);
  if (frameStep == afterAmbientPass) return cutHere();
  texturePass(mesh);
  if (frameStep == afterTexturePass) return cutHere();
  markerPass();
  endFrame(window, fromBehind, startUpProjection);
}
