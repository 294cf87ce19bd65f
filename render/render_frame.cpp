// One frame in seven passes, each setting the state it needs. The shadow is
// resolved in the colour buffer alone: after a depth-only pass, the shadow
// volume's quads that face the eye write 0.52 grey in front of the surface
// and those that face away saturate it back to white, so the surface keeps
// 0.52 exactly where the eye's ray enters the volume and does not leave it
// before reaching the surface. The lit and textured passes then multiply into
// that, finding the mesh's pixels again with GL_EQUAL, so they send exactly
// the vertices of the depth pass under the same matrices.
//
// Each pass sends its mesh or volume in one draw call from arrays
// (send_arrays.h), worked out on the CPU before the first pass and kept
// while nothing they depend on moves (frame_geometry.h): the same triangles,
// corners, colours and mapping coordinates in the same order as one call per
// vertex would send, but for mesh faces that could not have put a fragment
// in the window, so the same picture, at a cost that does not grow with the
// number of calls.
//
// F2 switches to a second way of finding the shadow (closedVolumeShadowPasses),
// which stays right with the eye inside a volume and leaves no grey where a
// volume reaches past the far plane: it counts, in the colour buffer, how
// often the eye's ray enters and leaves the closed volume, under a projection
// without a far plane. All passes of such a frame use that projection; the
// start-up projection is put back at the end.
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
#include "app/screenshot.h"
#include "assets/tiff_image.h"
#include "gl/gl_context.h"
#include "render/closed_volume_passes.h"
#include "render/frame_geometry.h"
#include "render/frame_steps.h"
#include "render/infinite_projection.h"
#include "render/point_light.h"
#include "render/send_arrays.h"
#include "render/volume_overlay.h"
#include "shadow/shadow_volume.h"

namespace {

constexpr float ambientTerm = 0.12f;
constexpr float markerHalfSize = 5.0f;
// The volume's grey: the shadow passes' blend factors turn it into the
// darkening of a shadowed pixel.
constexpr float shadowGrey = 0.52f;

// A software renderer queues the triangles it is sent and draws them behind
// the caller: with nothing to stop it, several passes of a large mesh wait at
// once (at a million faces, a hundred megabytes more). A large pass after
// the first therefore waits until the passes before it are drawn, which
// keeps about one pass's worth queued for a little of the overlap.
constexpr size_t facesWorthWaitingFor = 16384;

void waitWhenLarge(const FrameGeometry& geometry) {
  if (geometry.facesInView.size() / 3 > facesWorthWaitingFor) glFinish();
}

void sendMesh(const Mesh* mesh, const FrameGeometry& geometry, const Vec3* colours,
              const TexCoord* texCoords) {
  if (mesh == nullptr) return;
  sendIndexedTriangles(mesh->vertices, 0, geometry.facesInView.data(),
                       static_cast<int32_t>(geometry.facesInView.size()), colours, texCoords);
}

void depthPass(const Mesh* mesh, const FrameGeometry& geometry) {
  glDepthFunc(GL_LESS);
  glEnable(GL_BLEND);
  glDisable(GL_TEXTURE_2D);
  glEnable(GL_CULL_FACE);
  glBlendFunc(GL_ZERO, GL_ONE);  // depth only: the colour buffer keeps its white
  sendMesh(mesh, geometry, nullptr, nullptr);
}

void shadowPasses(const FrameGeometry& geometry) {
  glDepthMask(GL_FALSE);
  glDisable(GL_CULL_FACE);
  glColor3f(shadowGrey, shadowGrey, shadowGrey);
  // Destination alpha is always 1 (no alpha bits), so GL_DST_ALPHA acts as one.
  // Front quads replace the colour with the grey; overlapping ones do not darken further.
  glBlendFunc(GL_DST_ALPHA, GL_ZERO);
  sendTriangles(geometry.frontSides);
  // Back quads add the grey, saturating any pixel they reach back to white.
  glBlendFunc(GL_DST_ALPHA, GL_SRC_ALPHA);
  sendTriangles(geometry.backSides);
}

void litPass(const Mesh* mesh, const FrameGeometry& geometry) {
  glDepthMask(GL_TRUE);
  glDepthFunc(GL_EQUAL);
  glBlendFunc(GL_ZERO, GL_SRC_COLOR);
  glEnable(GL_CULL_FACE);
  if (geometry.colours.empty()) return;
  waitWhenLarge(geometry);
  sendMesh(mesh, geometry, geometry.colours.data(), nullptr);
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

void texturePass(const Mesh* mesh, const FrameGeometry& geometry) {
  glEnable(GL_DEPTH_TEST);
  glDepthMask(GL_TRUE);
  glEnable(GL_CULL_FACE);
  glDepthFunc(GL_EQUAL);
  glBlendFunc(GL_ZERO, GL_SRC_COLOR);
  bool textured = mesh != nullptr && mesh->texCoords != nullptr && theTexture != nullptr &&
                  theTexture->pixels != nullptr && theTextureUploaded;
  if (!textured) return;
  glEnable(GL_TEXTURE_2D);
  waitWhenLarge(geometry);
  sendMesh(mesh, geometry, nullptr, mesh->texCoords);
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
void endFrame(WindowHandle window, bool secondMode, const float startUpProjection[16]) {
  if (frameStep != wholeFrame) endCutFrame();
  if (showVolume != 0) {
    drawVolumeOverlay(theFrameGeometry, secondMode);
    markerPass();  // over the volume, which may lie between it and the eye
  }
  if (secondMode) {
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(startUpProjection);
  }

  saveScreenshotIfAsked(window);
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
  const bool secondMode = secondShadowMode != 0;
  float startUpProjection[16] = {};
  if (secondMode) {
    float farless[16];
    glMatrixMode(GL_PROJECTION);
    glGetFloatv(GL_PROJECTION_MATRIX, startUpProjection);
    infiniteProjection(startUpProjection, farless);
    glLoadMatrixf(farless);
  }
  const Mesh* mesh = theMesh;
  FrameGeometry& geometry = theFrameGeometry;
  prepareFrameGeometry(geometry, mesh, theShadowVolume, secondMode);

  // F4 cuts the frame short after one of its passes, and the end follows at once.
  const auto cutHere = [&] { endFrame(window, secondMode, startUpProjection); };
  depthPass(mesh, geometry);
  if (frameStep == afterDepthPass) {
    showDepthBuffer(client.right - client.left, client.bottom - client.top);
    return cutHere();
  }
  if (secondMode)
    closedVolumeShadowPasses(geometry, theShadowVolume);
  else
    shadowPasses(geometry);
  if (frameStep == afterShadowPasses) return cutHere();
  litPass(mesh, geometry);
  if (frameStep == afterLitPass) return cutHere();
  ambientPass(width, height);
  if (frameStep == afterAmbientPass) return cutHere();
  texturePass(mesh, geometry);
  if (frameStep == afterTexturePass) return cutHere();
  markerPass();
  endFrame(window, secondMode, startUpProjection);
}
