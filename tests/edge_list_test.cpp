// The edge adjacency list: the worked meshes record for record, the rules by
// which the neighbour across an edge is chosen, faces naming vertices outside
// the array, and the indexed build against the plain quadratic one on many
// random meshes.
#include "shadow/edge_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "tests/support/edge_list_oracle.h"
#include "tests/support/test_mesh.h"

bool operator==(const Edge& a, const Edge& b) {
  return a.vertex0 == b.vertex0 && a.vertex1 == b.vertex1 && a.apex == b.apex &&
         a.neighbourApex == b.neighbourApex;
}

void PrintTo(const Edge& e, std::ostream* out) {
  *out << "(" << e.vertex0 << ", " << e.vertex1 << ", " << e.apex << ", " << e.neighbourApex
       << ")";
}

namespace {

// The list holds the survivors only, with nothing behind them.
std::vector<Edge> allRecords(const Mesh& mesh) {
  return std::vector<Edge>(mesh.edges, mesh.edges + mesh.edgeCount);
}

int32_t oppositeOf(const Mesh& mesh, const Vec3& p, const Vec3& q, int32_t ignoredFace) {
  const float pp[3] = {p.x, p.y, p.z};
  const float qq[3] = {q.x, q.y, q.z};
  return findOppositeVertex(pp, qq, ignoredFace, mesh.faceCount, mesh.vertices, mesh.vertexCount,
                            mesh.faces);
}

const std::vector<Vec3> square = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}};

TEST(EdgeList, SingleTriangleGivesThreeOpenEdges) {
  TestMesh test({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{{0, 1, 2}}});
  buildEdgeList(test.mesh);
  EXPECT_EQ(test.mesh.edgeCount, 3);
  EXPECT_EQ(allRecords(test.mesh), (std::vector<Edge>{{0, 1, 2, -1}, {1, 2, 0, -1}, {2, 0, 1, -1}}));
}

TEST(EdgeList, SharedEdgeKeepsOneRecordAndTheLastFillsTheHole) {
  TestMesh test(square, {{{0, 1, 2}}, {{2, 1, 3}}});
  buildEdgeList(test.mesh);
  EXPECT_EQ(test.mesh.edgeCount, 5);
  EXPECT_EQ(allRecords(test.mesh), (std::vector<Edge>{{0, 1, 2, -1},
                                                      {1, 2, 0, 3},
                                                      {2, 0, 1, -1},
                                                      {3, 2, 1, -1},
                                                      {1, 3, 2, -1}}));
}

TEST(EdgeList, CopiedPositionsFindTheNeighbourButKeepBothRecords) {
  std::vector<Vec3> vertices = square;
  vertices.push_back(square[1]);
  vertices.push_back(square[2]);
  TestMesh test(vertices, {{{0, 1, 2}}, {{5, 4, 3}}});
  buildEdgeList(test.mesh);
  EXPECT_EQ(test.mesh.edgeCount, 6);
  EXPECT_EQ(allRecords(test.mesh), (std::vector<Edge>{{0, 1, 2, -1},
                                                      {1, 2, 0, 3},
                                                      {2, 0, 1, -1},
                                                      {5, 4, 3, 0},
                                                      {4, 3, 5, -1},
                                                      {3, 5, 4, -1}}));
}

TEST(EdgeList, ClosedTetrahedronKeepsOneRecordPerEdge) {
  TestMesh test({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
                {{{0, 1, 2}}, {{0, 3, 1}}, {{1, 3, 2}}, {{2, 3, 0}}});
  buildEdgeList(test.mesh);
  ASSERT_EQ(test.mesh.edgeCount, 6);
  bool seen[4][4] = {};
  for (int i = 0; i < 6; ++i) {
    const Edge& e = test.mesh.edges[i];
    EXPECT_GE(e.neighbourApex, 0);
    const int low = std::min(e.vertex0, e.vertex1);
    const int high = std::max(e.vertex0, e.vertex1);
    EXPECT_FALSE(seen[low][high]) << "edge " << low << "-" << high << " twice";
    seen[low][high] = true;
    // The two third vertices are the tetrahedron's other two corners.
    EXPECT_EQ(e.apex + e.neighbourApex + low + high, 6);
  }
}

TEST(EdgeList, CoincidentFacesNameEachOthersCorners) {
  std::vector<Vec3> vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  vertices.insert(vertices.end(), vertices.begin(), vertices.end());
  TestMesh test(vertices, {{{0, 1, 2}}, {{3, 4, 5}}});
  buildEdgeList(test.mesh);
  EXPECT_EQ(test.mesh.edgeCount, 6);
  EXPECT_EQ(allRecords(test.mesh), (std::vector<Edge>{{0, 1, 2, 5},
                                                      {1, 2, 0, 3},
                                                      {2, 0, 1, 4},
                                                      {3, 4, 5, 2},
                                                      {4, 5, 3, 0},
                                                      {5, 3, 4, 1}}));
}

TEST(EdgeList, NoFacesGiveAnEmptyList) {
  TestMesh test({{1, 2, 3}}, {});
  buildEdgeList(test.mesh);
  EXPECT_EQ(test.mesh.edgeCount, 0);
  EXPECT_NE(test.mesh.edges, nullptr);
}

TEST(EdgeList, ThreeFacesOnOneEdgeTakeTheLowestOtherFace) {
  TestMesh test({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}},
                {{{0, 1, 2}}, {{1, 0, 3}}, {{0, 1, 4}}});
  buildEdgeList(test.mesh);
  const std::vector<Edge> records = allRecords(test.mesh);
  auto has = [&records](const Edge& e) {
    return std::find(records.begin(), records.end(), e) != records.end();
  };
  EXPECT_TRUE(has({0, 1, 2, 3}));   // face 0 sees face 1
  EXPECT_FALSE(has({1, 0, 3, 2}));  // face 1 sees face 0: a duplicate of the above
  EXPECT_TRUE(has({0, 1, 4, 2}));   // face 2 sees face 0, not face 1
  EXPECT_EQ(test.mesh.edgeCount, 8);
}

TEST(EdgeList, FacesOutsideTheVertexArrayGiveNoRecordsAndNoNeighbour) {
  // Face 1 names vertex 7 of four; face 3 names -2, which must not pass for a
  // removed record's mark.
  TestMesh test(square, {{{0, 1, 2}}, {{1, 0, 7}}, {{1, 0, 3}}, {{-2, 1, 0}}});
  buildEdgeList(test.mesh);
  EXPECT_EQ(test.mesh.edgeCount, 5);
  EXPECT_EQ(allRecords(test.mesh), (std::vector<Edge>{{0, 1, 2, 3},
                                                      {1, 2, 0, -1},
                                                      {2, 0, 1, -1},
                                                      {3, 1, 0, -1},
                                                      {0, 3, 1, -1}}));
}

TEST(EdgeList, RebuildGivesTheSameList) {
  TestMesh test(square, {{{0, 1, 2}}, {{2, 1, 3}}});
  buildEdgeList(test.mesh);
  const std::vector<Edge> first = allRecords(test.mesh);
  buildEdgeList(test.mesh);
  EXPECT_EQ(allRecords(test.mesh), first);
  EXPECT_EQ(test.mesh.edgeCount, 5);
}

TEST(FindOppositeVertex, LowestOtherFaceWithBothPositionsDecides) {
  TestMesh test({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {1, 0, 0}},
                {{{0, 1, 2}}, {{3, 0, 5}}, {{0, 1, 4}}});
  const Vec3* v = test.mesh.vertices;
  EXPECT_EQ(oppositeOf(test.mesh, v[0], v[1], 0), 3);  // face 1 reaches position 1 by a copy
  EXPECT_EQ(oppositeOf(test.mesh, v[1], v[0], 1), 2);
  EXPECT_EQ(oppositeOf(test.mesh, v[0], v[1], 2), 2);
  EXPECT_EQ(oppositeOf(test.mesh, v[0], v[1], -1), 2);  // nothing ignored: face 0 itself
  EXPECT_EQ(oppositeOf(test.mesh, v[2], v[3], 0), -1);
}

TEST(FindOppositeVertex, LastCornerAtAPositionCountsAndTheFirstOtherIsTaken) {
  // Face 1 has corners 0 and 2 both at position A.
  const Vec3 a{2, 0, 0};
  const Vec3 b{0, 2, 0};
  TestMesh test({a, b, {5, 5, 5}, a, b, a}, {{{0, 1, 2}}, {{3, 4, 5}}});
  EXPECT_EQ(oppositeOf(test.mesh, a, b, 0), 3);  // A at corner 2, B at 1: corner 0 left
  // Both ends at one position: the first corner other than the last one there.
  EXPECT_EQ(oppositeOf(test.mesh, a, a, 0), 3);
  EXPECT_EQ(oppositeOf(test.mesh, b, b, 0), 3);
  EXPECT_EQ(oppositeOf(test.mesh, b, b, 1), 0);
}

TEST(FindOppositeVertex, ComparesPositionsExactlyWithSignedZerosEqual) {
  TestMesh test({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {-0.0f, -0.0f, 0}, {1, -0.0f, -0.0f},
                 {5, 5, 5}, {1, 1e-7f, 0}},
                {{{0, 1, 2}}, {{3, 4, 5}}, {{0, 6, 5}}});
  const Vec3* v = test.mesh.vertices;
  EXPECT_EQ(oppositeOf(test.mesh, v[0], v[1], 0), 5);
  EXPECT_EQ(oppositeOf(test.mesh, v[0], v[6], 2), -1);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  TestMesh withNan({{nan, 0, 0}, {1, 0, 0}, {0, 1, 0}, {nan, 0, 0}, {1, 0, 0}, {9, 9, 9}},
                   {{{0, 1, 2}}, {{3, 4, 5}}});
  EXPECT_EQ(oppositeOf(withNan.mesh, withNan.mesh.vertices[0], withNan.mesh.vertices[1], 0), -1);
}

TEST(FindOppositeVertex, PassesOverFacesOutsideTheArrayAndEmptyFaceLists) {
  TestMesh test(square, {{{0, 1, 2}}, {{1, 0, 9}}, {{1, 0, 3}}});
  EXPECT_EQ(oppositeOf(test.mesh, square[0], square[1], 0), 3);
  test.mesh.faceCount = 0;
  EXPECT_EQ(oppositeOf(test.mesh, square[0], square[1], 0), -1);
}

// Random meshes for the comparison with the quadratic build.
struct MeshData {
  std::vector<Vec3> vertices;
  std::vector<Face> faces;
};

float withRandomZeroSign(float value, std::mt19937& random) {
  return value == 0.0f && random() % 2 == 0 ? -0.0f : value;
}

// Few places, so positions repeat a lot: copied vertices, edges on many
// faces, faces with two or three corners at one place or on one vertex,
// the odd NaN and the odd corner outside the array.
MeshData makeSoup(std::mt19937& random) {
  const float coordinates[] = {0.0f, 1.0f, -1.0f, 0.5f};
  std::vector<Vec3> places(1 + random() % 6);
  for (Vec3& place : places) {
    place = {coordinates[random() % 4], coordinates[random() % 4], coordinates[random() % 4]};
  }
  MeshData mesh;
  const int vertexCount = static_cast<int>(random() % 13);
  for (int v = 0; v < vertexCount; ++v) {
    const Vec3& place = places[random() % places.size()];
    Vec3 vertex{withRandomZeroSign(place.x, random), withRandomZeroSign(place.y, random),
                withRandomZeroSign(place.z, random)};
    if (random() % 40 == 0) {
      vertex.y = std::numeric_limits<float>::quiet_NaN();
    }
    mesh.vertices.push_back(vertex);
  }
  const int faceCount = static_cast<int>(random() % 41);
  for (int f = 0; f < faceCount; ++f) {
    Face face{};
    for (int32_t& corner : face.corner) {
      if (vertexCount == 0 || random() % 60 == 0) {
        const int32_t outside[] = {-2, -1, vertexCount, vertexCount + 3};
        corner = outside[random() % 4];
      } else {
        corner = static_cast<int32_t>(random() % static_cast<unsigned>(vertexCount));
      }
    }
    if (random() % 8 == 0) {
      face.corner[random() % 3] = face.corner[random() % 3];
    }
    mesh.faces.push_back(face);
  }
  return mesh;
}

// A closed grid wrapped both ways, then roughed up: corners moved to copied
// vertices (zeros possibly flipped in sign), faces dropped to open edges,
// faces repeated to put three or more on an edge, face order shuffled.
MeshData makeRoughTorus(std::mt19937& random, int rows, int columns) {
  MeshData mesh;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      mesh.vertices.push_back(
          {static_cast<float>(r % 3) - 1.0f, static_cast<float>(c), static_cast<float>(r)});
    }
  }
  auto at = [columns, rows](int r, int c) { return (r % rows) * columns + c % columns; };
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      mesh.faces.push_back({{at(r, c), at(r + 1, c), at(r + 1, c + 1)}});
      mesh.faces.push_back({{at(r, c), at(r + 1, c + 1), at(r, c + 1)}});
    }
  }
  std::vector<Face> roughened;
  for (Face face : mesh.faces) {
    if (random() % 20 == 0) {
      continue;
    }
    for (int32_t& corner : face.corner) {
      if (random() % 5 == 0) {
        const Vec3 original = mesh.vertices[static_cast<size_t>(corner)];
        mesh.vertices.push_back({withRandomZeroSign(original.x, random),
                                 withRandomZeroSign(original.y, random),
                                 withRandomZeroSign(original.z, random)});
        corner = static_cast<int32_t>(mesh.vertices.size() - 1);
      }
    }
    roughened.push_back(face);
    if (random() % 25 == 0) {
      roughened.push_back({{face.corner[1], face.corner[0], face.corner[2]}});
    }
  }
  std::shuffle(roughened.begin(), roughened.end(), random);
  mesh.faces = roughened;
  return mesh;
}

void expectSameAsScanning(const MeshData& data, const std::string& what) {
  SCOPED_TRACE(what);
  TestMesh test(data.vertices, data.faces);
  const ScannedEdgeList expected = buildEdgeListByScanning(test.mesh);
  buildEdgeList(test.mesh);
  ASSERT_EQ(test.mesh.edgeCount, expected.edgeCount);
  ASSERT_EQ(allRecords(test.mesh), std::vector<Edge>(expected.records.begin(),
                                                     expected.records.begin() + expected.edgeCount));
}

TEST(EdgeList, MatchesTheQuadraticBuildOnRandomSoups) {
  std::mt19937 random(20240607);
  for (int round = 0; round < 4000; ++round) {
    const MeshData data = makeSoup(random);
    expectSameAsScanning(data, "soup " + std::to_string(round));
    if (HasFatalFailure()) {
      return;
    }
  }
}

TEST(EdgeList, MatchesTheQuadraticBuildOnRoughClosedMeshes) {
  std::mt19937 random(7);
  for (int round = 0; round < 300; ++round) {
    const int rows = 3 + static_cast<int>(random() % 6);
    const int columns = 3 + static_cast<int>(random() % 6);
    expectSameAsScanning(makeRoughTorus(random, rows, columns), "torus " + std::to_string(round));
    if (HasFatalFailure()) {
      return;
    }
  }
  expectSameAsScanning(makeRoughTorus(random, 30, 34), "large torus");
}

}  // namespace
