// Joining a scene's meshes into one: vertices in table order, corners moved
// with them, mapping coordinates (0, 0) for a mesh without any, faces naming
// a vertex outside their own mesh left out; and past a 3DS mesh's 65535
// vertices the joined edge list is each mesh's own, moved up.
#include "assets/join_meshes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <vector>

#include "shadow/edge_list.h"
#include "tests/support/test_mesh.h"

namespace {

Scene sceneOf(std::vector<Mesh*>& table) {
  Scene scene{};
  scene.meshCount = static_cast<int32_t>(table.size());
  scene.meshes = table.data();
  return scene;
}

// The valid records, moved up by offset and sorted.
std::vector<std::tuple<int32_t, int32_t, int32_t, int32_t>> edgesOf(const Mesh& mesh,
                                                                   int32_t offset) {
  std::vector<std::tuple<int32_t, int32_t, int32_t, int32_t>> edges;
  auto moved = [offset](int32_t v) { return v < 0 ? v : v + offset; };
  for (int32_t i = 0; i < mesh.edgeCount; ++i) {
    const Edge& e = mesh.edges[i];
    edges.emplace_back(moved(e.vertex0), moved(e.vertex1), moved(e.apex), moved(e.neighbourApex));
  }
  std::sort(edges.begin(), edges.end());
  return edges;
}

}  // namespace

TEST(JoinMeshes, KeepsEachMeshsFacesOnItsOwnVertices) {
  TestMesh mapped({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{{0, 1, 2}}});
  mapped.mesh.texCoords = new TexCoord[3]{{0.1f, 0.2f}, {0.3f, 0.4f}, {0.5f, 0.6f}};
  TestMesh pointsOnly({{5, 5, 5}, {6, 6, 6}}, {});
  // 3 and -1 lie outside this mesh; joined, 3 would name the next mesh's first vertex.
  TestMesh stray({{0, 0, 9}, {1, 0, 9}, {0, 1, 9}}, {{{2, 1, 0}}, {{0, 1, 3}}, {{-1, 0, 1}}, {{0, 2, 1}}});
  std::vector<Mesh*> table{&mapped.mesh, &stray.mesh, &pointsOnly.mesh};
  Mesh* joined = joinMeshes(sceneOf(table));

  ASSERT_EQ(joined->vertexCount, 8);
  const float z[8] = {0, 0, 0, 9, 9, 9, 5, 6};
  for (int v = 0; v < 8; ++v) EXPECT_EQ(joined->vertices[v].z, z[v]) << v;
  ASSERT_EQ(joined->faceCount, 3);
  const int32_t corners[3][3] = {{0, 1, 2}, {5, 4, 3}, {3, 5, 4}};
  for (int f = 0; f < 3; ++f)
    for (int c = 0; c < 3; ++c) EXPECT_EQ(joined->faces[f].corner[c], corners[f][c]) << f;
  ASSERT_NE(joined->texCoords, nullptr);
  EXPECT_EQ(joined->texCoords[2].v, 0.6f);
  for (int v = 3; v < 8; ++v) EXPECT_TRUE(joined->texCoords[v].u == 0.0f && joined->texCoords[v].v == 0.0f);
  releaseMesh(joined);
}

TEST(JoinMeshes, PastA3dsMeshsVertexLimitTheEdgeListIsEachMeshsOwnMovedUp) {
  constexpr int cells = 199;  // 200 x 200 vertices a grid
  auto grid = [](float height) {
    std::vector<Vec3> vertices;
    std::vector<Face> faces;
    for (int j = 0; j <= cells; ++j)
      for (int i = 0; i <= cells; ++i) vertices.push_back({float(i), float(j), height + float(i % 3)});
    for (int j = 0; j < cells; ++j)
      for (int i = 0; i < cells; ++i) {
        const int32_t v = j * (cells + 1) + i;
        faces.push_back({{v, v + 1, v + cells + 2}});
        faces.push_back({{v, v + cells + 2, v + cells + 1}});
      }
    return TestMesh(vertices, faces);
  };
  TestMesh first = grid(0.0f), second = grid(10.0f);
  std::vector<Mesh*> table{&first.mesh, &second.mesh};
  Mesh* joined = joinMeshes(sceneOf(table));
  ASSERT_GT(joined->vertexCount, 65535);
  for (Mesh* mesh : {&first.mesh, &second.mesh, joined}) buildEdgeList(*mesh);

  auto expected = edgesOf(first.mesh, 0);
  const auto moved = edgesOf(second.mesh, first.mesh.vertexCount);
  expected.insert(expected.end(), moved.begin(), moved.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(edgesOf(*joined, 0), expected);
  releaseMesh(joined);
}
