// Whether a closed shadow volume reaches the near plane's rectangle: the
// triangle-against-pyramid test on its own, case by case and against points
// the two shapes share at random, and over a mesh, where only the faces that
// face the light count.
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
      {"small, inside", {{0, 0, 5}, {0.1, 0, 5}, {0, 0.1, 5}}, 0, true},
      {"large, cutting through with every corner outside", {{-9, -9, 5}, {9, -9, 5}, {0, 9, 5}}, 0, true},
      {"beside it", {{3, 0, 1}, {4, 0, 1}, {3, 1, 1}}, 0, false},
      {"under the square, past the rectangle", {{0, 0, -0.5}, {0.5, 0, -0.5}, {0, 0.5, -0.5}}, 0, false},
      {"over the light", {{0, 0, 11}, {0.5, 0, 11}, {0, 0.5, 11}}, 0, false},
      {"a corner on the square's corner", {{1, 1, 0}, {2, 1, -1}, {1, 2, -1}}, 0, true},
      {"an edge across the light", {{-1, 0, 10}, {1, 0, 10}, {0, 1, 12}}, 0, true},
      // Beside the edge from the light to (1, 1, 0), apart only across it: no
      // face plane of either shape parts them, only an edge-by-edge axis.
      {"beside a slanted edge", {{0.75, 0.35, 5.5}, {0.35, 0.75, 5.5}, {0.9, 0.9, 4.0}}, 0, false},
      {"0.01 beside a side", {{0.61, 0, 4}, {0.8, 0, 4}, {0.61, 0.2, 4.3}}, 0, false},
      {"0.01 beside a side, within the margin", {{0.61, 0, 4}, {0.8, 0, 4}, {0.61, 0.2, 4.3}}, 0.02, true},
  };
  for (const auto& test : cases)
    EXPECT_EQ(triangleMeetsPyramid(test.triangle, apex, square, test.margin), test.meets)
        << test.name;
}

bool insidePyramid(const double p[3], const double top[3], const double base[4][3]) {
  // Inside every face plane, each face's normal taken towards the fifth point.
  const double* corners[5] = {top, base[0], base[1], base[2], base[3]};
  const int faces[5][3] = {{1, 2, 3}, {0, 1, 2}, {0, 2, 3}, {0, 3, 4}, {0, 4, 1}};
  const int other[5] = {0, 3, 4, 1, 2};
  for (int f = 0; f < 5; ++f) {
    const double* a = corners[faces[f][0]];
    const double* b = corners[faces[f][1]];
    const double* c = corners[faces[f][2]];
    const double u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const double v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    const double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2],
                         u[0] * v[1] - u[1] * v[0]};
    const auto side = [&](const double* q) {
      return n[0] * (q[0] - a[0]) + n[1] * (q[1] - a[1]) + n[2] * (q[2] - a[2]);
    };
    if (side(p) * side(corners[other[f]]) < 0.0) return false;
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
    double top[3], base[4][3], triangle[3][3];
    for (double& x : top) x = place(random);
    // A rectangle round a centre, tilted at random: corners c +- a +- b.
    double centre[3], a[3], b[3];
    for (int n = 0; n < 3; ++n) centre[n] = place(random), a[n] = place(random) / 2;
    const double bRaw[3] = {place(random), place(random), place(random)};
    const double along = (bRaw[0] * a[0] + bRaw[1] * a[1] + bRaw[2] * a[2]) /
                         (a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
    for (int n = 0; n < 3; ++n) b[n] = (bRaw[n] - along * a[n]) / 2;
    const double signs[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    for (int c = 0; c < 4; ++c)
      for (int n = 0; n < 3; ++n) base[c][n] = centre[n] + signs[c][0] * a[n] + signs[c][1] * b[n];
    for (auto& corner : triangle)
      for (double& x : corner) x = place(random);
    bool shares = false;
    for (int sample = 0; sample < 400 && !shares; ++sample) {
      double w[3] = {weight(random), weight(random), weight(random)};
      const double sum = w[0] + w[1] + w[2];
      double p[3];
      for (int n = 0; n < 3; ++n)
        p[n] = (w[0] * triangle[0][n] + w[1] * triangle[1][n] + w[2] * triangle[2][n]) / sum;
      shares = insidePyramid(p, top, base);
    }
    const bool meets = triangleMeetsPyramid(triangle, top, base, 0.0);
    if (shares) {
      ++sharing;
      ASSERT_TRUE(meets) << "trial " << trial;
    } else if (!meets) {
      ++parted;
    }
  }
  EXPECT_GT(sharing, 500);
  EXPECT_GT(parted, 1800);
}

// A face counts only while it faces the light, and a light behind the near
// plane puts the faces between it and the rectangle in its way.
TEST(VolumeReach, OnlyFacesThatFaceTheLightReachTheRectangle) {
  // The near rectangle of an eye at z = 200 looking down -z: z = 185.
  const double rectangle[4][3] = {
      {-8, -6, 185}, {8, -6, 185}, {8, 6, 185}, {-8, 6, 185}};
  const struct {
    const char* name;
    Vec3 light;
    float z;  // where a small face lies, counter-clockwise seen from +z
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
    EXPECT_EQ(volumeReachesRectangle(volume, test.light, rectangle, 0.0), test.reaches)
        << test.name;
  }
}

}  // namespace
