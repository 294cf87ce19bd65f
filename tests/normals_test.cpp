// Face normals: orientation, unit length, the exact zero of degenerate faces.
// Vertex normals: the plain mean over face corners, zero for unused vertices.
// Both: empty meshes, reruns and faces naming vertices outside the array.
#include "shadow/normals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/support/test_mesh.h"

namespace {

void expectVec(const Vec3& actual, float x, float y, float z) {
  EXPECT_EQ(actual.x, x);
  EXPECT_EQ(actual.y, y);
  EXPECT_EQ(actual.z, z);
}

TEST(FaceNormals, PointToTheSideWhereCornersRunClockwise) {
  TestMesh test({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 2}}, {{{0, 1, 2}}, {{0, 2, 1}}, {{0, 3, 1}}});
  computeFaceNormals(test.mesh);
  // Counter-clockwise seen from +z, so the normal looks down.
  expectVec(test.mesh.faceNormals[0], 0, 0, -1);
  expectVec(test.mesh.faceNormals[1], 0, 0, 1);
  expectVec(test.mesh.faceNormals[2], 0, -1, 0);
}

TEST(FaceNormals, AreUnitLengthForSlantedFaces) {
  TestMesh test({{1, 2, 3}, {4, -1, 0.5f}, {-2, 0.25f, 7}}, {{{0, 1, 2}}});
  computeFaceNormals(test.mesh);
  const Vec3& n = test.mesh.faceNormals[0];
  // Expected direction: (V2 - V0) x (V1 - V0).
  const Vec3 a{-3, -1.75f, 4};
  const Vec3 b{3, -3, -2.5f};
  const Vec3 cross{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
  const float length = std::sqrt(cross.x * cross.x + cross.y * cross.y + cross.z * cross.z);
  EXPECT_NEAR(n.x, cross.x / length, 1e-6f);
  EXPECT_NEAR(n.y, cross.y / length, 1e-6f);
  EXPECT_NEAR(n.z, cross.z / length, 1e-6f);
  EXPECT_NEAR(n.x * n.x + n.y * n.y + n.z * n.z, 1.0f, 1e-6f);
}

TEST(FaceNormals, DegenerateOrOutsideFacesGetExactZero) {
  TestMesh test({{0, 0, 0}, {1, 1, 1}, {2, 2, 2}, {5, 5, 5}},
                {{{0, 1, 2}}, {{3, 3, 3}}, {{0, 1, 1}}, {{0, 1, 4}}, {{-1, 1, 2}}});
  computeFaceNormals(test.mesh);
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    expectVec(test.mesh.faceNormals[i], 0, 0, 0);
  }
}

TEST(FaceNormals, RerunReplacesArrayWithSameValues) {
  TestMesh test({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{{0, 1, 2}}});
  computeFaceNormals(test.mesh);
  const Vec3 first = test.mesh.faceNormals[0];
  computeFaceNormals(test.mesh);
  expectVec(test.mesh.faceNormals[0], first.x, first.y, first.z);
}

TEST(VertexNormals, AreThePlainMeanOfTheFacesAtEachCorner) {
  // Vertex 0 is shared by a face looking +z and one looking +x.
  TestMesh test({{0, 0, 0}, {0, 1, 0}, {1, 0, 0}, {0, 0, 1}}, {{{0, 1, 2}}, {{0, 3, 1}}});
  computeFaceNormals(test.mesh);
  expectVec(test.mesh.faceNormals[0], 0, 0, 1);
  expectVec(test.mesh.faceNormals[1], 1, 0, 0);
  computeVertexNormals(test.mesh);
  expectVec(test.mesh.vertexNormals[0], 0.5f, 0, 0.5f);
  expectVec(test.mesh.vertexNormals[1], 0.5f, 0, 0.5f);
  expectVec(test.mesh.vertexNormals[2], 0, 0, 1);
  expectVec(test.mesh.vertexNormals[3], 1, 0, 0);
}

TEST(VertexNormals, CancelOrShortenWhereFacesDisagree) {
  // Faces 0 and 1 are one triangle wound both ways. Face 2 names vertex 4
  // twice and has no area; face 4 has no area either.
  TestMesh test({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 5}, {2, 0, 0}},
                {{{0, 1, 2}}, {{0, 2, 1}}, {{1, 4, 4}}, {{3, 4, 0}}, {{3, 0, 0}}});
  computeFaceNormals(test.mesh);
  computeVertexNormals(test.mesh);
  expectVec(test.mesh.vertexNormals[2], 0, 0, 0);
  expectVec(test.mesh.faceNormals[3], 0, -1, 0);
  expectVec(test.mesh.vertexNormals[3], 0, -0.5f, 0);
  // Two zero normals from face 2's repeated corner and one from face 3.
  expectVec(test.mesh.vertexNormals[4], 0, -1.0f / 3.0f, 0);
}

TEST(VertexNormals, UnusedVerticesAndEmptyMeshesGiveZero) {
  TestMesh unused({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {9, 9, 9}}, {{{0, 1, 2}}});
  computeFaceNormals(unused.mesh);
  computeVertexNormals(unused.mesh);
  expectVec(unused.mesh.vertexNormals[3], 0, 0, 0);

  TestMesh empty({{1, 2, 3}, {4, 5, 6}}, {});
  computeFaceNormals(empty.mesh);
  ASSERT_NE(empty.mesh.faceNormals, nullptr);
  computeVertexNormals(empty.mesh);
  expectVec(empty.mesh.vertexNormals[0], 0, 0, 0);
  expectVec(empty.mesh.vertexNormals[1], 0, 0, 0);
}

TEST(VertexNormals, CornersOutsideTheArrayAreNotCounted) {
  // Face 1 names vertex 7 of three; its other corners count its zero normal.
  TestMesh test({{0, 0, 0}, {0, 1, 0}, {1, 0, 0}}, {{{0, 1, 2}}, {{0, 7, 1}}, {{-3, 0, 2}}});
  computeFaceNormals(test.mesh);
  computeVertexNormals(test.mesh);
  expectVec(test.mesh.vertexNormals[0], 0, 0, 1.0f / 3.0f);
  expectVec(test.mesh.vertexNormals[1], 0, 0, 0.5f);
  expectVec(test.mesh.vertexNormals[2], 0, 0, 0.5f);
}

}  // namespace
