// The start-up sequence, once, before the first frame: texture file, OpenGL
// context, scene file, the drawn mesh's normals and edge list, the shadow
// volume over it, fixed render state, the texture upload and the start view.
// The files are those the command line names, or else the bundled ones
// found in the working folder or the installed data folder. The drawn mesh
// is the scene's first, with a note on standard error when the scene holds
// more, or with --all-meshes every mesh joined into one.
//
// The program cannot go on without an OpenGL context or without a scene that
// has a mesh: it then says what was wrong in a message box and quits with a
// non-zero code. A texture that is missing, unreadable or of a form the
// reader declines, or one the GL refuses even scaled, only leaves the mesh
// untextured, and one line on standard error names the file and the reason;
// when start-up stops, that line is left out. --second-mode starts the
// frame in the second shadow mode.
#include <GL/gl.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "app/app.h"
#include "app/command_line.h"
#include "app/data_files.h"
#include "app/navigation.h"
#include "app/texture_upload.h"
#include "assets/join_meshes.h"
#include "assets/scene_reader.h"
#include "assets/tiff_image.h"
#include "gl/gl_context.h"
#include "shadow/edge_list.h"
#include "shadow/normals.h"
#include "shadow/shadow_volume.h"

namespace {

constexpr int startUpFailed = 1;

void sayUntextured(const char* path, const std::string& why) {
  std::fprintf(stderr, "%s: %s; the mesh is drawn untextured.\n", path, why.c_str());
}

void stopStartUp(const std::string& why) {
  showMessageBox("Shadow Volume", why.c_str());
  postQuitMessage(startUpFailed);
}

// What the path names when it is there but no regular file, in the words of
// a message; null otherwise.
const char* whatIsThereInstead(const char* path) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (error || !std::filesystem::exists(status)) return nullptr;
  if (std::filesystem::is_directory(status)) return "is a folder";
  if (!std::filesystem::is_regular_file(status)) return "is not a regular file";
  return nullptr;
}

// Why the reader gave no scene, in the words of the message. Only a regular
// file is opened to tell: opening a FIFO would wait for a writer.
std::string whatIsWrongWith(const char* path) {
  if (const char* instead = whatIsThereInstead(path)) return std::string(instead) + ".";
  // A path from the root is looked for there, any other from the working folder.
  const char* const notOpened = std::filesystem::path(path).has_root_directory()
                                    ? "could not be opened."
                                    : "could not be opened in the working folder.";
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return notOpened;
  std::fclose(file);
  return "is not a 3D Studio file.";
}

// The first mesh, or all joined; the note says what a scene of several
// meshes shows without --all-meshes.
Mesh* meshToDraw(Scene& scene, const char* scenePath, bool allMeshes) {
  if (allMeshes) return joinMeshes(scene);
  if (scene.meshCount > 1) {
    std::fprintf(stderr, "%s: %d meshes; the first, \"%s\", is drawn (--all-meshes draws all).\n",
                 scenePath, scene.meshCount, scene.meshes[0]->name);
  }
  return scene.meshes[0];
}

}  // namespace

void startUp(WindowHandle window) {
  const DataFiles files = findDataFiles(theCommandLine, programFolder(), dataBesideProgram);
  const char* const sceneFile = files.scenePath.c_str();
  const char* const textureFile = files.texturePath.c_str();
  firstStartUpStep(window);
  theTexture = new TiffImage();
  theTexture->read(textureFile);
  if (!setupGLContext(window)) {
    stopStartUp("OpenGL could not be set up on the window.");
    return;
  }
  theScene = readScene(sceneFile, 1);
  if (theScene == nullptr) {
    stopStartUp(!files.notFound.empty()
                    ? files.notFound
                    : std::string("\"") + sceneFile + "\" " + whatIsWrongWith(sceneFile));
    return;
  }
  if (theScene->meshCount < 1) {
    stopStartUp(std::string("\"") + sceneFile + "\" holds no mesh.");
    return;
  }
  // Only once the program goes on does the texture matter enough to mention.
  if (theTexture->pixels == nullptr) {
    const char* const instead = whatIsThereInstead(textureFile);
    sayUntextured(textureFile, instead != nullptr ? instead : theTexture->declined);
  }
  theMesh = meshToDraw(*theScene, sceneFile, theCommandLine.allMeshes);
  Mesh& mesh = *theMesh;
  computeFaceNormals(mesh);
  computeVertexNormals(mesh);
  // The face normals serve only to make the vertex normals.
  delete[] mesh.faceNormals;
  mesh.faceNormals = nullptr;
  buildEdgeList(mesh);

  theShadowVolume = new ShadowVolume();
  theShadowVolume->setVertexArray(mesh.vertices, mesh.vertexCount, 12, 0);
  theShadowVolume->setEdgeArray(mesh.edges, mesh.edgeCount, 16, 0);
  // The closed volume of the second shadow mode caps itself with the faces.
  theShadowVolume->setFaceArray(mesh.faces, mesh.faceCount, 12, 0);
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
  theTextureUploaded = uploadTexture(*theTexture, currentTextureLimits());
  if (!theTextureUploaded && theTexture->pixels != nullptr) {
    sayUntextured(textureFile, "the OpenGL driver refused its " +
                                   std::to_string(theTexture->width) + " x " +
                                   std::to_string(theTexture->height) + " pixels, even scaled");
  }

  translateView(0.0f, 0.0f, -200.0f);
  if (theCommandLine.secondMode) secondShadowMode = 1;
}
