// Whether a closed shadow volume reaches the near plane's rectangle: the
// triangle-against-pyramid test on its own, case by case and against points
// the two shapes share at random, and over a mesh, where only the faces that
// face the light count, whether the runs of faces it passes over whole lie
// near the pyramid or far from it.
#include "shadow/volume_reach.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "tests/support/test_mesh.h"

namespace {

// The light at (0, 0, 10) over the square |x|, |y| <= 1 in z = 0.
const double apex[3] = {0, 0, 10};
const double square[4][3] = {{-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, 1, 0}};

TEST(TriangleMeetsPyramid, MeetsWhatTouchesAndPartsWhatDoesNot) {
  const struct {
    const char* name;
    double triangle[3][3];
    double margin;
    bool meets;
  } cases[] = {
      {"inside", {{0, 0, 5}, {0.1, 0, 5}, {0, 0.1, 5}}, 0, true},
      {"through it, no corner inside", {{-9, -9, 5}, {9, -9, 5}, {0, 9, 5}}, 0, true},
      {"beside it", {{3, 0, 1}, {4, 0, 1}, {3, 1, 1}}, 0, false},
      {"past the rectangle", {{0, 0, -0.5}, {0.5, 0, -0.5}, {0, 0.5, -0.5}}, 0, false},
      {"behind the light", {{0, 0, 11}, {0.5, 0, 11}, {0, 0.5, 11}}, 0, false},
      {"on the rectangle's corner", {{1, 1, 0}, {2, 1, -1}, {1, 2, -1}}, 0, true},
      {"an edge through the light", {{-1, 0, 10}, {1, 0, 10}, {0, 1, 12}}, 0, true},
      // Beside the edge from the light to (1, 1, 0), apart only across it: no
      // face plane of either shape parts them, only an edge-by-edge axis.
      {"beside a slanted edge", {{0.75, 0.35, 5.5}, {0.35, 0.75, 5.5}, {0.9, 0.9, 4}}, 0, false},
      {"0.01 beside a side", {{0.61, 0, 4}, {0.8, 0, 4}, {0.61, 0.2, 4.3}}, 0, false},
      {"the same, within the margin", {{0.61, 0, 4}, {0.8, 0, 4}, {0.61, 0.2, 4.3}}, 0.02, true},
  };
  for (const auto& test : cases)
    EXPECT_EQ(triangleMeetsPyramid(test.triangle, apex, square, test.margin), test.meets)
        << test.name;
}

// Inside every face plane of the pyramid (apex, then base corners in order),
// each plane's inside told by the point not on it.
bool insidePyramid(const double p[3], const double* corners[5]) {
  const int faces[5][4] = {{1, 2, 3, 0}, {0, 1, 2, 3}, {0, 2, 3, 4}, {0, 3, 4, 1}, {0, 4, 1, 2}};
  for (const auto& f : faces) {
    const double *a = corners[f[0]], *b = corners[f[1]], *c = corners[f[2]];
    const auto side = [&](const double* q) {
      double m[3][3];
      for (int k = 0; k < 3; ++k)
        m[0][k] = b[k] - a[k], m[1][k] = c[k] - a[k], m[2][k] = q[k] - a[k];
      return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
             m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
             m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    };
    if (side(p) * side(corners[f[3]]) < 0.0) return false;
  }
  return true;
}

// Whatever point of a random triangle lies in a random pyramid, the test
// must not part the two; and it parts most pairs that share none.
TEST(TriangleMeetsPyramid, NeverPartsAPairThatSharesAPoint) {
  std::mt19937 random(5);
  std::uniform_real_distribution<double> place(-3.0, 3.0), weight(0.0, 1.0);
  int sharing = 0, parted = 0;
  for (int trial = 0; trial < 3000; ++trial) {
    // The base: a rectangle c +- a +- b, b square to a, in any plane.
    double top[3], base[4][3], triangle[3][3], c[3], a[3], r[3];
    for (int k = 0; k < 3; ++k)
      top[k] = place(random), c[k] = place(random), a[k] = place(random) / 2;
    for (double& x : r) x = place(random) / 6;
    const double b[3] = {a[1] * r[2] - a[2] * r[1], a[2] * r[0] - a[0] * r[2],
                         a[0] * r[1] - a[1] * r[0]};
    const double signs[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    for (int n = 0; n < 4; ++n)
      for (int k = 0; k < 3; ++k) base[n][k] = c[k] + signs[n][0] * a[k] + signs[n][1] * b[k];
    for (auto& corner : triangle)
      for (double& x : corner) x = place(random);
    const double* corners[5] = {top, base[0], base[1], base[2], base[3]};
    bool shares = false;
    for (int sample = 0; sample < 400 && !shares; ++sample) {
      const double w[3] = {weight(random), weight(random), weight(random)};
      double p[3];
      for (int k = 0; k < 3; ++k)
        p[k] = (w[0] * triangle[0][k] + w[1] * triangle[1][k] + w[2] * triangle[2][k]) /
               (w[0] + w[1] + w[2]);
      shares = insidePyramid(p, corners);
    }
    const bool meets = triangleMeetsPyramid(triangle, top, base, 0.0);
    ASSERT_TRUE(meets || !shares) << "trial " << trial;
    sharing += shares;
    parted += !meets;
  }
  EXPECT_GT(sharing, 500);
  EXPECT_GT(parted, 1800);
}

// A face counts only while it faces the light, and a light behind the near
// plane puts the faces between it and the rectangle in its way.
TEST(VolumeReach, OnlyFacesThatFaceTheLightReachTheRectangle) {
  // The near rectangle of an eye at z = 200 looking down -z: z = 185.
  const double rectangle[4][3] = {{-8, -6, 185}, {8, -6, 185}, {8, 6, 185}, {-8, 6, 185}};
  const struct {
    const char* name;
    Vec3 light;
    float z;      // where a small face lies, counter-clockwise seen from +z
    bool turned;  // wound the other way round
    bool reaches;
  } cases[] = {
      {"between the light and the rectangle, facing the light", {0, 0, 70}, 120, true, true},
      {"the same face, facing the rectangle", {0, 0, 70}, 120, false, false},
      {"behind the light", {0, 0, 70}, 20, false, false},
      {"light behind the eye, face behind the eye", {0, 0, 260}, 220, false, true},
      {"light behind the eye, face before the rectangle", {0, 0, 260}, 100, false, false},
  };
  for (const auto& test : cases) {
    const std::vector<Vec3> vertices{{-1, -1, test.z}, {1, -1, test.z}, {0, 1, test.z}};
    TestMesh mesh(vertices, {test.turned ? Face{{0, 2, 1}} : Face{{0, 1, 2}}});
    ShadowVolume volume;
    volume.setVertexArray(mesh.mesh.vertices, 3, 12, 0);
    volume.setFaceArray(mesh.mesh.faces, 1, 12, 0);
    ClosedVolume closed;
    findClosedVolume(volume, test.light, closed);
    EXPECT_EQ(volumeReachesRectangle(volume, closed, rectangle, 0.0), test.reaches)
        << test.name;
  }
}

// Over meshes of a few thousand small faces in clusters, some clusters near
// the pyramid and most far from it, the answer is the one a look at every
// lit face on its own gives.
TEST(VolumeReach, AMeshReachesJustWhenOneOfItsLitFacesMeetsThePyramid) {
  const double rectangle[4][3] = {{-8, -6, 185}, {8, -6, 185}, {8, 6, 185}, {-8, 6, 185}};
  std::mt19937 random(11);
  std::uniform_real_distribution<float> around(-60.0f, 60.0f), near(-1.5f, 1.5f);
  int reaching = 0;
  for (int trial = 0; trial < 40; ++trial) {
    std::vector<Vec3> vertices;
    std::vector<Face> faces;
    for (int cluster = 0; cluster < 50; ++cluster) {
      const Vec3 centre{around(random), around(random), 100.0f + around(random)};
      for (int f = 0; f < 70; ++f) {
        const int32_t first = static_cast<int32_t>(vertices.size());
        for (int n = 0; n < 3; ++n)
          vertices.push_back({centre.x + near(random), centre.y + near(random),
                              centre.z + near(random)});
        faces.push_back({{first, first + 1, first + 2}});
      }
    }
    TestMesh mesh(vertices, faces);
    ShadowVolume volume;
    volume.setVertexArray(mesh.mesh.vertices, mesh.mesh.vertexCount, 12, 0);
    volume.setFaceArray(mesh.mesh.faces, mesh.mesh.faceCount, 12, 0);
    const Vec3 light{around(random) / 4.0f, around(random) / 4.0f, 30.0f};
    ClosedVolume closed;
    findClosedVolume(volume, light, closed);
    const double apexAtLight[3] = {light.x, light.y, light.z};
    bool anyMeets = false;
    for (size_t k = 0; k < faces.size() && !anyMeets; ++k) {
      if (closed.litFaces[k] == 0) continue;
      double triangle[3][3];
      for (int n = 0; n < 3; ++n) {
        const Vec3& v = vertices[static_cast<size_t>(faces[k].corner[n])];
        triangle[n][0] = v.x;
        triangle[n][1] = v.y;
        triangle[n][2] = v.z;
      }
      anyMeets = triangleMeetsPyramid(triangle, apexAtLight, rectangle, 0.05);
    }
    EXPECT_EQ(volumeReachesRectangle(volume, closed, rectangle, 0.05), anyMeets)
        << "trial " << trial;
    reaching += anyMeets;
  }
  EXPECT_GT(reaching, 5);
  EXPECT_LT(reaching, 35);
}

}  // namespace
