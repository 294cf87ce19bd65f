// The scene of separate objects (see separate_objects.h).
#include "support/separate_objects.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>

#include "shadow/normals.h"
#include "support/box_scene.h"
#include "support/chunk_writer.h"
#include "support/mesh_ray_cast.h"
#include "support/test_mesh.h"
#include "support/tiff_writer.h"

namespace {

std::vector<SceneObject> separateObjects() {
  std::vector<SceneObject> objects{{"Far points", {}, {}, false},
                                   {"Receiver", {}, {}, true},
                                   {"Box", {}, {}, false},
                                   {"Second box", {}, {}, false}};
  for (int i = 0; i < 65535; ++i)
    objects[0].vertices.push_back({1000.0f + static_cast<float>(i), 0.0f, 0.0f});
  addReceiver(objects[1].vertices, objects[1].faces);
  addBox(objects[2].vertices, objects[2].faces, {-12.0f, 0.0f, 18.0f}, {12.0f, 16.0f, 28.0f});
  addBox(objects[3].vertices, objects[3].faces, {-44.0f, -34.0f, 10.0f}, {-30.0f, -20.0f, 24.0f});
  return objects;
}

}  // namespace

bool makeSeparateObjectsFolders(const std::string& base) {
  std::vector<uint8_t> yellow;
  for (int i = 0; i < 16; ++i) yellow.insert(yellow.end(), {255, 255, 0});
  for (const char* folder : {"/empty folder", "/my scenes", "/my textures"})
    if (mkdir((base + folder).c_str(), 0700) != 0) return false;
  return writeBytesToFile(base + "/my scenes/separate objects.3DS",
                          sceneFileBytes(separateObjects())) &&
         writeBytesToFile(base + "/my textures/yellow one.tif",
                          writeTiff(TiffLayout{4, 4}, yellow));
}

void expectPictureOfSeparateObjects(const std::vector<uint32_t>& picture, int width, int height) {
  ASSERT_EQ(picture.size(), static_cast<size_t>(width) * static_cast<size_t>(height));
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
  const PictureJudgement judgement =
      judgePicture(castMeshGrid(all.mesh, startCamera(width, height), {20.0, 20.0, 70.0}, 4),
                   picture, width, height);
  std::printf("client %dx%d: %ld samples judged (%ld in shadow), %.3f%% agree with the ray cast\n",
              width, height, judgement.judged, judgement.inShadow, judgement.agreementPercent());
  EXPECT_GT(judgement.judged, 10000);
  EXPECT_GT(judgement.inShadow, 1000) << "shadows should be in view";
  EXPECT_EQ(judgement.withBlue, 0) << "the yellow texture should take the blue";
  EXPECT_GE(judgement.agreementPercent(), 99.0);
}
