// What the shadow volume hands the frame to send: the silhouette test, the
// choice of pass by the eye's side, the extruded corners and their order, the
// records it passes over, the strides it reads at, and the silhouette of a
// closed mesh split between the two passes; and that the closed volume's
// pieces close up, with every face that has an area casting.
#include "shadow/shadow_volume.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <ostream>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "shadow/closed_volume.h"
#include "shadow/edge_list.h"
#include "tests/support/test_mesh.h"

bool operator==(const Vec3& p, const Vec3& q) { return p.x == q.x && p.y == q.y && p.z == q.z; }

void PrintTo(const Vec3& v, std::ostream* out) {
  *out << "(" << v.x << ", " << v.y << ", " << v.z << ")";
}

namespace {

// One pass's triangles, found as the frame finds them.
std::vector<Vec3> sidesOf(const ShadowVolume& volume, const Vec3& lamp, const Vec3& eye,
                          bool frontFaces) {
  std::vector<SilhouetteEdge> silhouette;
  volume.findSilhouette(lamp.x, lamp.y, lamp.z, silhouette);
  std::vector<Vec3> triangles;
  EXPECT_TRUE(volume.draw(lamp.x, lamp.y, lamp.z, eye.x, eye.y, eye.z, frontFaces, silhouette,
                          triangles));
  return triangles;
}

std::vector<Vec3> quad(const Vec3& a, const Vec3& b, const Vec3& farA, const Vec3& farB) {
  return {a, b, farA, farA, farB, b};
}

// The silhouette edge of the worked example: light above, both third
// vertices below and on the same side of the plane y = 0.
const Vec3 light{0, 0, 10};
const Vec3 a{-1, 0, 0};
const Vec3 b{1, 0, 0};
const Vec3 eyeAbove{0, 5, 0};
const Vec3 eyeBelow{0, -5, 0};

struct Edges {
  std::vector<Vec3> vertices{a, b, {0, 1, -1}, {0, 2, -1}};
  std::vector<Edge> edges{{0, 1, 2, 3}};
  ShadowVolume volume;

  Edges() {
    volume.setExtrusionLength(3000.0f);
    bind();
  }
  void bind() {
    volume.setVertexArray(vertices.data(), static_cast<int32_t>(vertices.size()), 12, 0);
    volume.setEdgeArray(edges.data(), static_cast<int32_t>(edges.size()), 16, 0);
  }
  std::vector<Vec3> draw(const Vec3& eye, bool frontFaces) const {
    return sidesOf(volume, light, eye, frontFaces);
  }
};

TEST(ShadowVolumeDraw, SilhouetteEdgeGoesToThePassTheEyeSees) {
  const Edges example;
  const std::vector<Vec3> expected = quad(a, b, {-3000, 0, -29990}, {3000, 0, -29990});
  EXPECT_EQ(example.draw(eyeAbove, false), expected);
  EXPECT_TRUE(example.draw(eyeAbove, true).empty());
  EXPECT_EQ(example.draw(eyeBelow, true), expected);
  EXPECT_TRUE(example.draw(eyeBelow, false).empty());
}

TEST(ShadowVolumeDraw, SwappedEndsKeepThePassAndTurnTheWinding) {
  Edges example;
  example.edges[0] = {1, 0, 2, 3};
  example.bind();
  EXPECT_EQ(example.draw(eyeAbove, false), quad(b, a, {3000, 0, -29990}, {-3000, 0, -29990}));
  EXPECT_TRUE(example.draw(eyeAbove, true).empty());
}

TEST(ShadowVolumeDraw, NonSilhouetteOrInPlaneEdgesEmitNothing) {
  Edges across;  // the two third vertices on opposite sides
  across.vertices[3] = {0, -1, -1};
  Edges apexInPlane;
  apexInPlane.vertices[2] = {0, 0, -1};
  Edges bothInPlane;  // a flat fold: equal signs, but zero
  bothInPlane.vertices[2] = {0, 0, -1};
  bothInPlane.vertices[3] = {0.5f, 0, -2};
  for (const Edges* example : {&across, &apexInPlane, &bothInPlane}) {
    EXPECT_TRUE(example->draw(eyeAbove, false).empty());
    EXPECT_TRUE(example->draw(eyeAbove, true).empty());
    EXPECT_TRUE(example->draw(eyeBelow, false).empty());
    EXPECT_TRUE(example->draw(eyeBelow, true).empty());
  }
  const Edges example;
  const Vec3 eyeInPlane{0, 0, 5};
  EXPECT_TRUE(example.draw(eyeInPlane, false).empty());
  EXPECT_TRUE(example.draw(eyeInPlane, true).empty());
}

TEST(ShadowVolumeDraw, ExtrusionLengthSetsTheFarCorners) {
  Edges example;
  example.volume.setExtrusionLength(1.0f);
  EXPECT_EQ(example.draw(eyeAbove, false), quad(a, b, a, b));
  ShadowVolume fresh;
  example.volume.extrusionLength = fresh.extrusionLength;
  EXPECT_EQ(example.draw(eyeAbove, false), quad(a, b, {-10000, 0, -99990}, {10000, 0, -99990}));
}

TEST(ShadowVolumeDraw, PassesOverOpenRemovedAndOutOfRangeRecords) {
  Edges example;
  example.edges = {{0, 1, 2, -1}, {-2, -2, -2, -2}, {4, 1, 2, 3}, {0, 4, 2, 3},
                   {0, 1, 9, 3},  {0, 1, 2, 4},     {0, -3, 2, 3}, {-1, 1, 2, 3},
                   {0, 1, 2, 3}};
  example.bind();
  EXPECT_EQ(example.draw(eyeAbove, false), quad(a, b, {-3000, 0, -29990}, {3000, 0, -29990}));
}

TEST(ShadowVolumeDraw, EmptyOrUnsetArraysEmitNothing) {
  Edges example;
  example.volume.setEdgeArray(example.edges.data(), 0, 16, 0);
  EXPECT_TRUE(example.draw(eyeAbove, false).empty());
  example.volume.setEdgeArray(example.edges.data(), -4, 16, 0);
  EXPECT_TRUE(example.draw(eyeAbove, false).empty());

  const ShadowVolume unset;
  EXPECT_TRUE(sidesOf(unset, light, eyeAbove, false).empty());
  ShadowVolume edgesOnly;
  edgesOnly.setEdgeArray(example.edges.data(), 1, 16, 0);
  EXPECT_TRUE(sidesOf(edgesOnly, light, eyeAbove, false).empty());
}

TEST(ShadowVolumeDraw, ReadsVerticesAndRecordsAtTheGivenStrides) {
  const Edges packed;
  // Each vertex behind a 12-byte normal; each record behind a 4-byte tag.
  std::vector<uint8_t> vertexBytes(24 * packed.vertices.size(), 0xEE);
  for (size_t v = 0; v < packed.vertices.size(); ++v) {
    std::memcpy(vertexBytes.data() + 24 * v + 12, &packed.vertices[v], sizeof(Vec3));
  }
  const std::vector<Edge> records{{0, 1, 2, -1}, {0, 1, 2, 3}};
  std::vector<uint8_t> edgeBytes(20 * records.size(), 0xEE);
  for (size_t k = 0; k < records.size(); ++k) {
    std::memcpy(edgeBytes.data() + 20 * k + 4, &records[k], sizeof(Edge));
  }
  ShadowVolume strided;
  strided.setExtrusionLength(3000.0f);
  strided.setVertexArray(vertexBytes.data(), 4, 24, 12);
  strided.setEdgeArray(edgeBytes.data(), 2, 20, 4);

  const std::vector<Vec3> fromStrided = sidesOf(strided, light, eyeAbove, false);
  EXPECT_EQ(fromStrided, packed.draw(eyeAbove, false));
  EXPECT_EQ(fromStrided.size(), 6u);
}

// The quads' near edges as pairs of vertex indices, found by position.
std::set<std::pair<int, int>> nearEdges(const std::vector<Vec3>& triangles,
                                        const std::vector<Vec3>& vertices) {
  auto indexOf = [&vertices](const Vec3& corner) {
    for (size_t v = 0; v < vertices.size(); ++v) {
      if (vertices[v] == corner) {
        return static_cast<int>(v);
      }
    }
    return -1;
  };
  std::set<std::pair<int, int>> edges;
  EXPECT_EQ(triangles.size() % 6, 0u);
  for (size_t q = 0; q + 6 <= triangles.size(); q += 6) {
    const int first = indexOf(triangles[q]);
    const int second = indexOf(triangles[q + 1]);
    EXPECT_TRUE(edges.insert(std::minmax(first, second)).second) << "edge sent twice";
  }
  return edges;
}

TEST(ShadowVolumeDraw, ClosedCubeSilhouetteIsSplitBetweenThePasses) {
  // Vertex i is at (bit 2, bit 1, bit 0) of i mapped to -1 / +1.
  std::vector<Vec3> vertices;
  for (int i = 0; i < 8; ++i) {
    vertices.push_back({i & 4 ? 1.0f : -1.0f, i & 2 ? 1.0f : -1.0f, i & 1 ? 1.0f : -1.0f});
  }
  const int sides[6][4] = {{1, 5, 7, 3}, {0, 2, 6, 4}, {4, 6, 7, 5},
                           {0, 1, 3, 2}, {2, 3, 7, 6}, {0, 4, 5, 1}};
  std::vector<Face> faces;
  for (const auto& s : sides) {
    faces.push_back({{s[0], s[1], s[2]}});
    faces.push_back({{s[0], s[2], s[3]}});
  }
  TestMesh cube(vertices, faces);
  buildEdgeList(cube.mesh);
  ASSERT_EQ(cube.mesh.edgeCount, 18);

  ShadowVolume volume;
  volume.setVertexArray(cube.mesh.vertices, cube.mesh.vertexCount, 12, 0);
  volume.setEdgeArray(cube.mesh.edges, cube.mesh.edgeCount, 16, 0);
  volume.setExtrusionLength(3000.0f);
  // Light high above the top face: only the top face is lit, so its rim is
  // the silhouette.
  const Vec3 lamp{0.3f, 0.2f, 10.0f};
  const Vec3 eye{5.0f, 4.0f, 3.0f};
  const std::set<std::pair<int, int>> front = nearEdges(sidesOf(volume, lamp, eye, true), vertices);
  const std::set<std::pair<int, int>> back = nearEdges(sidesOf(volume, lamp, eye, false), vertices);

  std::set<std::pair<int, int>> both = front;
  both.insert(back.begin(), back.end());
  EXPECT_EQ(both.size(), front.size() + back.size()) << "an edge in both passes";
  EXPECT_EQ(both, (std::set<std::pair<int, int>>{{1, 3}, {1, 5}, {3, 7}, {5, 7}}));
  EXPECT_FALSE(front.empty());
  EXPECT_FALSE(back.empty());
}

// A mesh of random triangles over the points {0, 1, 2} x {0, 1} x {0, 1}
// (scaled): edges with one face, two, or several, run either way; each corner
// shared with earlier faces at its point or a vertex of its own there; and,
// one face in five or more, corners in a line (along a row of three points,
// two of them at one point or not), which hides nothing.
TestMesh* randomMesh(std::mt19937& random) {
  std::vector<Vec3> points;
  for (int i = 0; i < 12; ++i)
    points.push_back({1.5f * static_cast<float>(i % 3) - 1.5f,
                      1.5f * static_cast<float>(i / 3 % 2) - 0.75f,
                      1.5f * static_cast<float>(i / 6) - 0.75f});
  std::uniform_int_distribution<int> point(0, 11);
  std::uniform_int_distribution<int> die(0, 9);
  std::vector<Vec3> vertices;
  std::vector<int> shared(points.size(), -1);
  std::vector<Face> faces;
  for (int f = 0; f < 30; ++f) {
    int corner[3] = {point(random), point(random), point(random)};
    if (die(random) < 2) {
      const int row = corner[0] / 3 * 3;
      corner[0] = row;
      corner[1] = row + die(random) % 3;
      corner[2] = row + 2;
    }
    Face face{};
    for (int n = 0; n < 3; ++n) {
      int& at = shared[static_cast<size_t>(corner[n])];
      if (at < 0 || die(random) < 4) {
        vertices.push_back(points[static_cast<size_t>(corner[n])]);
        at = static_cast<int>(vertices.size()) - 1;
      }
      face.corner[n] = at;
    }
    faces.push_back(face);
  }
  return new TestMesh(vertices, faces);
}

// The light cap, the sides in both passes and the dark cap together make a
// closed surface, each piece wound so that its neighbours run the shared edge
// the other way: every directed edge of the triangles sent has its reverse
// sent as often. A side missing, sent twice or sent in both passes, a cap
// face missing or a winding turned, and the count from behind the surface
// goes wrong. Checked for lights and eyes all round on a closed cube; on the
// same cube with four vertices of its own for every side (as flat-shaded
// exports have it); on an open, bent sheet (whose border edges have one face
// each); on faces flat in planes y = const; on random meshes with edges of
// one to four faces and more, shared and separate vertices and faces with
// their corners in a line; and, sending nothing at all, on a mesh of such
// faces only. Every face with an area casts: a face left out would leave the
// volume closed but the shadow missing.
TEST(ShadowVolumeClosed, CapsAndSidesCloseUpForAnyTriangleMesh) {
  std::vector<Vec3> cubeVertices;
  for (int i = 0; i < 8; ++i)
    cubeVertices.push_back({i & 4 ? 1.0f : -1.0f, i & 2 ? 1.0f : -1.0f, i & 1 ? 1.0f : -1.0f});
  std::vector<Face> cubeFaces;
  const int sides[6][4] = {{1, 5, 7, 3}, {0, 2, 6, 4}, {4, 6, 7, 5},
                           {0, 1, 3, 2}, {2, 3, 7, 6}, {0, 4, 5, 1}};
  for (const auto& q : sides) {
    cubeFaces.push_back({{q[0], q[1], q[2]}});
    cubeFaces.push_back({{q[0], q[2], q[3]}});
  }
  // A 3 x 3 grid with its middle raised and one corner lowered, counter-clockwise from +z.
  std::vector<Vec3> sheetVertices;
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 3; ++i)
      sheetVertices.push_back({static_cast<float>(i) - 1.0f, static_cast<float>(j) - 1.0f,
                               i == 1 && j == 1 ? 0.8f : (i == 0 && j == 0 ? -0.5f : 0.0f)});
  std::vector<Face> sheetFaces;
  for (int j = 0; j < 2; ++j)
    for (int i = 0; i < 2; ++i) {
      const int v = j * 3 + i;
      sheetFaces.push_back({{v, v + 1, v + 4}});
      sheetFaces.push_back({{v, v + 4, v + 3}});
    }
  std::vector<Vec3> flatVertices;
  std::vector<Face> flatFaces;
  for (const auto& q : sides) {
    const int first = static_cast<int>(flatVertices.size());
    for (int n = 0; n < 4; ++n) flatVertices.push_back(cubeVertices[static_cast<size_t>(q[n])]);
    flatFaces.push_back({{first, first + 1, first + 2}});
    flatFaces.push_back({{first, first + 2, first + 3}});
  }
  // Corners in a line: two at one place, three along an axis, three along a slant.
  const std::vector<Vec3> lineVertices{{-1, 0, 0},        {1, 0, 0},         {0, 0, 0},
                                       {0.1f, 0.7f, 0.3f}, {0.2f, 1.4f, 0.6f}, {0.4f, 2.8f, 1.2f}};
  const std::vector<Face> lineFaces{{{0, 1, 0}}, {{0, 2, 1}}, {{1, 2, 0}}, {{3, 4, 5}}};
  // Faces whose normals have no x and no z: one facing +y, one -y.
  const std::vector<Vec3> floorVertices{{-1, 0.5f, -1}, {1, 0.5f, -1}, {0, 0.5f, 1},
                                        {-2, -1, -1},   {0, -1, 2},    {2, -1, -1}};
  const std::vector<Face> floorFaces{{{0, 2, 1}}, {{3, 5, 4}}};

  struct Case {
    std::string name;
    std::unique_ptr<TestMesh> mesh;
    int casting;  // faces that cast, or -1 for any number
  };
  std::vector<Case> cases;
  cases.push_back({"cube", std::make_unique<TestMesh>(cubeVertices, cubeFaces), 12});
  cases.push_back({"flat cube", std::make_unique<TestMesh>(flatVertices, flatFaces), 12});
  cases.push_back({"sheet", std::make_unique<TestMesh>(sheetVertices, sheetFaces), 8});
  cases.push_back({"faces flat in y", std::make_unique<TestMesh>(floorVertices, floorFaces), 2});
  cases.push_back({"corners in a line", std::make_unique<TestMesh>(lineVertices, lineFaces), 0});
  std::mt19937 random(7);
  for (int n = 0; n < 8; ++n)
    cases.push_back({"random mesh " + std::to_string(n),
                     std::unique_ptr<TestMesh>(randomMesh(random)), -1});

  using Corner = std::tuple<int, float, float, float>;
  std::uniform_real_distribution<float> place(-6.0f, 6.0f);
  for (const Case& test : cases) {
    Mesh& mesh = test.mesh->mesh;
    buildEdgeList(mesh);
    ShadowVolume volume;
    volume.setVertexArray(mesh.vertices, mesh.vertexCount, 12, 0);
    volume.setEdgeArray(mesh.edges, mesh.edgeCount, 16, 0);
    volume.setFaceArray(mesh.faces, mesh.faceCount, 12, 0);
    const std::vector<uint8_t>& casting = volume.closedTable.casting;
    if (test.casting >= 0) {
      EXPECT_EQ(std::count(casting.begin(), casting.end(), uint8_t{1}), test.casting) << test.name;
    }
    int sidesSent = 0;
    for (int trial = 0; trial < 200; ++trial) {
      const Vec3 lamp{place(random), place(random), place(random)};
      const Vec3 eye{place(random), place(random), place(random)};
      ClosedVolume closed;
      findClosedVolume(volume, lamp, closed);
      findDarkCap(volume, closed);
      // Every triangle as its corners, each finite or at infinity.
      std::vector<Corner> corners;
      for (uint32_t v : closed.lightCap) {
        const Vec3& p = mesh.vertices[v];
        corners.push_back({1, p.x, p.y, p.z});
      }
      std::vector<Vec4> sideTriangles;
      closedSideTriangles(closed, eye, true, sideTriangles);
      closedSideTriangles(closed, eye, false, sideTriangles);
      sidesSent += static_cast<int>(sideTriangles.size() / 6);
      for (const Vec4& p : sideTriangles) corners.push_back({p.w == 0.0f ? 0 : 1, p.x, p.y, p.z});
      for (uint32_t v : closed.darkCap) {
        const Vec4& p = closed.atInfinity[v];
        corners.push_back({0, p.x, p.y, p.z});
      }
      ASSERT_EQ(corners.size() % 3, 0u);
      if (test.casting == 0) {
        ASSERT_TRUE(corners.empty()) << test.name;
      }

      std::map<std::pair<Corner, Corner>, int> directed;
      for (size_t t = 0; t < corners.size(); t += 3)
        for (int n = 0; n < 3; ++n)
          ++directed[{corners[t + static_cast<size_t>(n)],
                      corners[t + static_cast<size_t>((n + 1) % 3)]}];
      for (const auto& [edge, count] : directed) {
        auto reverse = directed.find({edge.second, edge.first});
        const int reverseCount = reverse == directed.end() ? 0 : reverse->second;
        ASSERT_EQ(count, reverseCount) << test.name << ", light (" << lamp.x << ", " << lamp.y
                                       << ", " << lamp.z << "): the volume is not closed";
      }
    }
    if (test.casting != 0) {
      EXPECT_GT(sidesSent, 200) << test.name << ": the lights should put edges on the silhouette";
    }
  }
}

}  // namespace
