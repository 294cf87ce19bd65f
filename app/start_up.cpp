// The start-up sequence, once, before the first frame: texture file, OpenGL
// context, scene file, the first mesh's normals and edge list, the shadow
// volume over it, fixed render state, the texture upload and the start view.
//
// The program cannot go on without an OpenGL context or without a scene that
// has a mesh: it then says what was wrong in a message box and quits with a
// non-zero code. A missing or unreadable texture only leaves the mesh
// untextured.
#include <GL/gl.h>

#include <cstdio>
#include <string>

#include "app/app.h"
#include "app/navigation.h"
#include "assets/scene_reader.h"
#include "assets/tiff_image.h"
#include "gl/gl_context.h"
#include "shadow/edge_list.h"
#include "shadow/normals.h"
#include "shadow/shadow_volume.h"

namespace {

const char* const sceneFile = "shadow2.3DS";
const char* const textureFile = "txt.tif";
constexpr int startUpFailed = 1;

void stopStartUp(const std::string& why) {
  showMessageBox("Shadow Volume", why.c_str());
  postQuitMessage(startUpFailed);
}

bool fileOpens(const char* path) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

void uploadTexture(const TiffImage& image) {
  if (image.pixels == nullptr || image.width <= 0 || image.height <= 0) return;
  // Rows are packed; a four-sample image is declared as RGBA so that its rows
  // are not read out of step (the alpha is dropped: three components stored).
  bool rgba = image.samplesPerPixel == 4;
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, 3, image.width, image.height, 0,
               rgba ? GL_RGBA : GL_RGB, GL_UNSIGNED_BYTE, image.pixels);
}

}  // namespace

void startUp(WindowHandle window) {
  firstStartUpStep(window);
  theTexture = new TiffImage();
  theTexture->read(textureFile);
  if (!setupGLContext(window)) {
    stopStartUp("OpenGL could not be set up on the window.");
    return;
  }
  theScene = readScene(sceneFile, 1);
  if (theScene == nullptr) {
    stopStartUp(std::string("\"") + sceneFile + "\" " +
                (fileOpens(sceneFile) ? "is not a 3D Studio file."
                                      : "could not be opened in the working folder."));
    return;
  }
  if (theScene->meshCount < 1) {
    stopStartUp(std::string("\"") + sceneFile + "\" holds no mesh.");
    return;
  }
  Mesh& mesh = *theScene->meshes[0];
  computeFaceNormals(mesh);
  computeVertexNormals(mesh);
  buildEdgeList(mesh);

  theShadowVolume = new ShadowVolume();
  theShadowVolume->setVertexArray(mesh.vertices, mesh.vertexCount, 12, 0);
  theShadowVolume->setEdgeArray(mesh.edges, mesh.edgeCount, 16, 0);
  theShadowVolume->setExtrusionLength(3000.0f);

  glEnable(GL_DEPTH_TEST);
  glDisable(GL_LIGHTING);
  glEnable(GL_TEXTURE_2D);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  // With an RGB texture, decal hands the texel on unchanged; the frame
  // multiplies it in by blending.
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
  uploadTexture(*theTexture);

  translateView(0.0f, 0.0f, -200.0f);
}
