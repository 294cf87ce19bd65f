// The scene of separate objects (see separate_objects.h).
#include "support/separate_objects.h"

#include "shadow/normals.h"
#include "support/box_scene.h"
#include "support/test_mesh.h"
#include "support/tiff_writer.h"

namespace {

std::vector<SceneObject> separateObjects() {
  std::vector<SceneObject> objects{{firstObjectName, {}, {}, false},
                                   {"Receiver", {}, {}, true},
                                   {"Box", {}, {}, false},
                                   {"Second box", {}, {}, false}};
  for (int i = 0; i < 65000; ++i) objects[0].vertices.push_back({1000.0f + static_cast<float>(i), 0.0f, 0.0f});
  addReceiver(objects[1].vertices, objects[1].faces);
  addBox(objects[2].vertices, objects[2].faces, {-12.0f, 0.0f, 18.0f}, {12.0f, 16.0f, 28.0f});
  addBox(objects[3].vertices, objects[3].faces, {-44.0f, -34.0f, 10.0f}, {-30.0f, -20.0f, 24.0f});
  return objects;
}

}  // namespace

std::vector<uint8_t> separateObjectsFile() { return sceneFileBytes(separateObjects()); }

std::vector<uint8_t> yellowTextureFile() {
  std::vector<uint8_t> pixels;
  for (int i = 0; i < 16; ++i) pixels.insert(pixels.end(), {255, 255, 0});
  return writeTiff(TiffLayout{4, 4}, pixels);
}

PictureJudgement judgeSeparateObjectsPicture(const std::vector<uint32_t>& picture, int width,
                                             int height) {
  std::vector<Vec3> vertices;
  std::vector<Face> faces;
  for (const SceneObject& object : separateObjects()) {
    const int32_t first = static_cast<int32_t>(vertices.size());
    vertices.insert(vertices.end(), object.vertices.begin(), object.vertices.end());
    for (const Face& face : object.faces)
      faces.push_back({{face.corner[0] + first, face.corner[1] + first, face.corner[2] + first}});
  }
  TestMesh all(vertices, faces);
  computeFaceNormals(all.mesh);
  computeVertexNormals(all.mesh);
  return judgePicture(castMeshGrid(all.mesh, startCamera(width, height), {20.0, 20.0, 70.0}, 4),
                      picture, width, height);
}
