// Joining a scene's meshes into one: vertices in table order, corners moved
// with them, mapping coordinates (0, 0) for a mesh without any, and faces
// naming a vertex outside their own mesh left out; the scene keeps its
// meshes' records but not their geometry. (The programs' test of
// --all-meshes draws a joined mesh past 65535 vertices.)
#include "assets/join_meshes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/support/test_mesh.h"

TEST(JoinMeshes, KeepsEachMeshsFacesOnItsOwnVertices) {
  TestMesh mapped({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{{0, 1, 2}}});
  mapped.mesh.texCoords = new TexCoord[3]{{0.1f, 0.2f}, {0.3f, 0.4f}, {0.5f, 0.6f}};
  // 3 and -1 lie outside this mesh; joined, 3 would name the next mesh's first vertex.
  TestMesh stray({{0, 0, 9}, {1, 0, 9}, {0, 1, 9}},
                 {{{2, 1, 0}}, {{0, 1, 3}}, {{-1, 0, 1}}, {{0, 2, 1}}});
  TestMesh pointsOnly({{5, 5, 5}, {6, 6, 6}}, {});
  Mesh* table[] = {&mapped.mesh, &stray.mesh, &pointsOnly.mesh};
  Scene scene{};
  scene.meshCount = 3;
  scene.meshes = table;
  Mesh* joined = joinMeshes(scene);

  ASSERT_EQ(joined->vertexCount, 8);
  EXPECT_EQ(joined->vertices[6].z, 5.0f);
  ASSERT_EQ(joined->faceCount, 3);
  const int32_t corners[3][3] = {{0, 1, 2}, {5, 4, 3}, {3, 5, 4}};
  for (int f = 0; f < 3; ++f)
    for (int c = 0; c < 3; ++c) EXPECT_EQ(joined->faces[f].corner[c], corners[f][c]) << f;
  ASSERT_NE(joined->texCoords, nullptr);
  EXPECT_EQ(joined->texCoords[2].v, 0.6f);
  for (int v = 3; v < 8; ++v)
    EXPECT_TRUE(joined->texCoords[v].u == 0 && joined->texCoords[v].v == 0);
  releaseMesh(joined);
}

TEST(JoinMeshes, LeavesTheSceneItsMeshRecordsWithoutGeometry) {
  TestMesh first({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{{0, 1, 2}}});
  first.mesh.texCoords = new TexCoord[3]{};
  first.mesh.faceNormals = new Vec3[1]{};
  TestMesh second({{0, 0, 9}, {1, 0, 9}, {0, 1, 9}}, {{{2, 1, 0}}});
  std::strcpy(second.mesh.name, "Second");
  Mesh* table[] = {&first.mesh, &second.mesh};
  Scene scene{};
  scene.meshCount = 2;
  scene.vertexTotal = 6;
  scene.faceTotal = 2;
  scene.meshes = table;
  Mesh* joined = joinMeshes(scene);

  EXPECT_EQ(joined->faceCount, 2);
  EXPECT_EQ(joined->vertices[5].z, 9.0f);
  EXPECT_EQ(scene.meshCount, 2);
  EXPECT_EQ(scene.vertexTotal, 0);
  EXPECT_EQ(scene.faceTotal, 0);
  for (const Mesh* mesh : table) {
    EXPECT_EQ(mesh->vertexCount, 0);
    EXPECT_EQ(mesh->faceCount, 0);
    EXPECT_TRUE(mesh->vertices == nullptr && mesh->faces == nullptr &&
                mesh->texCoords == nullptr && mesh->faceNormals == nullptr);
  }
  EXPECT_EQ(std::string(second.mesh.name), "Second");
  releaseMesh(joined);
}
