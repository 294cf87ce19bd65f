// The point light's vertex shading: the figures the frame's values give, every
// way a vertex falls back to exactly the ambient colour, the thresholds where
// single precision decides, and bounds that hold for any input.
// No display: the shading is arithmetic only.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "render/point_light.h"

namespace {

struct Colour {
  float r, g, b;
};

Colour shade(float nx, float ny, float nz, float px, float py, float pz) {
  Colour c{-1.0f, -1.0f, -1.0f};
  shadeVertex(nx, ny, nz, px, py, pz, c.r, c.g, c.b);
  return c;
}

// What the frame sets: radius 210, grey 0.7 light, black ambient.
void useFrameLight(float x, float y, float z) {
  setLightPosition(x, y, z, 210.0f);
  setLightColour(0.7f, 0.7f, 0.7f);
  setLightAmbient(0.0f, 0.0f, 0.0f);
}

// A light whose ambient colour is not black, so that "ambient" cannot be
// mistaken for "nothing written" or "zero".
const Colour ambient{0.25f, 0.5f, 0.125f};

void useColouredLight(float radius) {
  setLightPosition(10.0f, -20.0f, 30.0f, radius);
  setLightColour(1.0f, 0.875f, 0.75f);
  setLightAmbient(ambient.r, ambient.g, ambient.b);
}

void expectAmbient(const Colour& c, const char* what) {
  EXPECT_EQ(c.r, ambient.r) << what;
  EXPECT_EQ(c.g, ambient.g) << what;
  EXPECT_EQ(c.b, ambient.b) << what;
}

// One channel at full facing (k = 1), straight from the rules: 0.1 as a
// single, 1.1 as a double, arithmetic in double, the result as a single.
float fullFacing(float colour, double attenuation) {
  const double shaded = (1.0 - double{0.1f}) * 1.1;
  return static_cast<float>(double{colour} * shaded * attenuation);
}

}  // namespace

TEST(PointLightFigures, FacingAwayAtHalfTheRadiusGivesThreeQuartersOfTheFullShade) {
  useFrameLight(20.0f, 20.0f, 70.0f);
  // The vertex 105 straight above the light along +z, its normal pointing on
  // along +z (away from the light), and of no particular length.
  Colour c = shade(0.0f, 0.0f, 5.0f, 20.0f, 20.0f, 175.0f);
  const float expected = fullFacing(0.7f, 0.75);
  EXPECT_EQ(c.r, expected);
  EXPECT_EQ(c.g, expected);
  EXPECT_EQ(c.b, expected);
  EXPECT_NEAR(c.r, 0.5197f, 1e-4f);
}

TEST(PointLightFigures, FallOffIsQuadraticInTheDistance) {
  useFrameLight(0.0f, 0.0f, 0.0f);
  // Along -x, with the normal along -x too: k = 1 at every distance.
  EXPECT_EQ(shade(-1.0f, 0.0f, 0.0f, -52.5f, 0.0f, 0.0f).r, fullFacing(0.7f, 1.0 - 0.0625));
  EXPECT_EQ(shade(-1.0f, 0.0f, 0.0f, -105.0f, 0.0f, 0.0f).r, fullFacing(0.7f, 0.75));
  EXPECT_EQ(shade(-1.0f, 0.0f, 0.0f, -157.5f, 0.0f, 0.0f).r, fullFacing(0.7f, 1.0 - 0.5625));
  // Next to the light the shade approaches 0.99 of the colour.
  EXPECT_NEAR(shade(-1.0f, 0.0f, 0.0f, -0.001f, 0.0f, 0.0f).r, 0.7f * 0.99f, 1e-6f);
}

TEST(PointLightFigures, FacingTermIsTheCosineBetweenNormalAndLightToVertex) {
  useFrameLight(0.0f, 0.0f, 0.0f);
  // Vertex on +y at half the radius; the normal turned 60 degrees off +y: k = 0.5.
  const float s = std::sqrt(3.0f);
  Colour c = shade(s, 1.0f, 0.0f, 0.0f, 105.0f, 0.0f);
  EXPECT_NEAR(c.g, 0.7 * (0.5 - 0.1) * 1.1 * 0.75, 1e-6);
}

TEST(PointLightAmbient, VerticesTheLightDoesNotReachGetExactlyTheAmbientColour) {
  useColouredLight(210.0f);
  // The light is at (10, -20, 30).
  expectAmbient(shade(0.0f, 0.0f, -1.0f, 10.0f, -20.0f, 130.0f), "normal towards the light (k = -1)");
  expectAmbient(shade(1.0f, 0.0f, 0.0f, 10.0f, -20.0f, 130.0f), "normal across the light direction (k = 0)");
  expectAmbient(shade(10.0f, 0.0f, 1.0f, 10.0f, -20.0f, 130.0f), "k just under 0.1 (0.0995)");
  expectAmbient(shade(0.0f, 0.0f, 1.0f, 10.0f, -20.0f, 240.0f), "d equal to the radius");
  expectAmbient(shade(0.0f, 0.0f, 1.0f, 10.0f, -20.0f, 1.0e6f), "d beyond the radius");
  expectAmbient(shade(0.0f, 0.0f, 1.0f, 10.0f, -20.0f, 30.0f), "vertex at the light (d = 0)");
  expectAmbient(shade(0.0f, 0.0f, 0.0f, 10.0f, -20.0f, 130.0f), "zero normal");
}

TEST(PointLightAmbient, NotANumberAnywhereTakesTheAmbientBranch) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  useColouredLight(210.0f);
  expectAmbient(shade(nan, 0.0f, 1.0f, 10.0f, -20.0f, 130.0f), "not-a-number normal");
  expectAmbient(shade(0.0f, 0.0f, 1.0f, 10.0f, nan, 130.0f), "not-a-number position");
  setLightPosition(nan, -20.0f, 30.0f, 210.0f);
  expectAmbient(shade(0.0f, 0.0f, 1.0f, 10.0f, -20.0f, 130.0f), "not-a-number light position");
  setLightPosition(10.0f, -20.0f, 30.0f, nan);
  expectAmbient(shade(0.0f, 0.0f, 1.0f, 10.0f, -20.0f, 130.0f), "not-a-number radius");
}

TEST(PointLightAmbient, NoRadiusOrANegativeOneMakesEveryVertexAmbient) {
  for (float radius : {0.0f, -0.0f, -50.0f}) {
    useColouredLight(radius);
    expectAmbient(shade(0.0f, 0.0f, 1.0f, 10.0f, -20.0f, 30.001f), "next to the light");
    expectAmbient(shade(0.0f, 0.0f, 1.0f, 10.0f, -20.0f, 30.0f), "at the light");
    expectAmbient(shade(0.0f, 0.0f, 1.0f, 10.0f, -20.0f, 130.0f), "away from the light");
  }
}

TEST(PointLightChannels, AChannelBelowItsAmbientKeepsTheAmbientWhileTheOthersAreShaded) {
  setLightPosition(0.0f, 0.0f, 0.0f, 210.0f);
  setLightColour(0.2f, 0.7f, 0.9f);
  setLightAmbient(0.3f, 0.1f, 0.1f);
  Colour c = shade(0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 105.0f);
  EXPECT_EQ(c.r, 0.3f);
  EXPECT_EQ(c.g, static_cast<float>((double{0.7f} - double{0.1f}) * (1.0 - double{0.1f}) * 1.1 * 0.75 +
                                    double{0.1f}));
  EXPECT_GT(c.b, c.g);
  // A channel equal to its ambient has nothing to add either.
  setLightColour(0.3f, 0.7f, 0.9f);
  EXPECT_EQ(shade(0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 105.0f).r, 0.3f);
}

// Where the rules' precision decides the outcome, results computed with more
// or less of it would differ.
TEST(PointLightPrecision, TheFacingThresholdIsOneTenthInSinglePrecision) {
  setLightPosition(0.0f, 0.0f, 0.0f, 210.0f);
  setLightColour(1.0f, 1.0f, 1.0f);
  setLightAmbient(0.0f, 0.0f, 0.0f);
  // Vertex along +x, so k = nx / |n|.
  // k = 0.100000001067: above one tenth, below the single 0.1000000015.
  Colour between = shade(0.100503549f, 0.999997675f, 0.0f, 1.0f, 0.0f, 0.0f);
  EXPECT_EQ(between.r, 0.0f);
  EXPECT_EQ(between.g, 0.0f);
  // k = 0.100000001766: just above the single; shaded by a tiny, non-zero amount.
  Colour above = shade(0.100503705f, 0.999999225f, 0.0f, 1.0f, 0.0f, 0.0f);
  EXPECT_GT(above.r, 0.0f);
  EXPECT_LT(above.r, 1e-9f);
}

TEST(PointLightPrecision, TheDistanceIsRoundedToSinglePrecisionBeforeTheRadiusTest) {
  useFrameLight(0.0f, 0.0f, 0.0f);
  // Exactly, d = 209.99999998; rounded to a single it is the radius itself,
  // so the vertex lies at the edge of the light and gets nothing.
  const float x = std::nextafter(210.0f, 0.0f);
  const float y = 0.08f;
  ASSERT_LT(std::sqrt(double{x} * x + double{y} * y), 210.0);
  Colour edge = shade(x, y, 0.0f, x, y, 0.0f);
  EXPECT_EQ(edge.r, 0.0f);
  EXPECT_EQ(edge.g, 0.0f);
  EXPECT_EQ(edge.b, 0.0f);
  // One step of x nearer and the light reaches it.
  const float nearer = std::nextafter(x, 0.0f);
  EXPECT_GT(shade(nearer, y, 0.0f, nearer, y, 0.0f).r, 0.0f);
}

TEST(PointLightBounds, RandomVerticesStayBetweenAmbientAndTheirShadeLimit) {
  std::mt19937 random(20240605);
  std::uniform_real_distribution<float> position(-300.0f, 300.0f);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  for (int i = 0; i < 20000; ++i) {
    const Vec3 light{position(random), position(random), position(random)};
    const float radius = 400.0f * unit(random);
    const Colour colour{unit(random), unit(random), unit(random)};
    const Colour ambientColour{unit(random), unit(random), unit(random)};
    setLightPosition(light.x, light.y, light.z, radius);
    setLightColour(colour.r, colour.g, colour.b);
    setLightAmbient(ambientColour.r, ambientColour.g, ambientColour.b);
    const Vec3 p{position(random), position(random), position(random)};
    const Vec3 n{position(random), position(random), position(random)};
    const Colour c = shade(n.x, n.y, n.z, p.x, p.y, p.z);

    const float channels[3][3] = {{c.r, colour.r, ambientColour.r},
                                  {c.g, colour.g, ambientColour.g},
                                  {c.b, colour.b, ambientColour.b}};
    for (const auto& channel : channels) {
      const float out = channel[0], lightColour = channel[1], ambientValue = channel[2];
      ASSERT_GE(out, ambientValue) << "vertex " << i;
      const float base = lightColour >= ambientValue ? lightColour - ambientValue : 0.0f;
      ASSERT_LE(out, ambientValue + 0.99f * base + 1e-6f) << "vertex " << i;
      if (lightColour >= ambientValue) {
        ASSERT_LE(out, lightColour) << "vertex " << i;
      }
    }
  }
}

TEST(PointLightBounds, WithTheFrameLightEveryVertexFollowsTheClosedForm) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> coordinate(-250.0f, 250.0f);
  const Vec3 light{20.0f, 20.0f, 70.0f};
  useFrameLight(light.x, light.y, light.z);
  int lit = 0;
  for (int i = 0; i < 20000; ++i) {
    const Vec3 p{coordinate(random), coordinate(random), coordinate(random)};
    const Vec3 n{coordinate(random), coordinate(random), coordinate(random)};
    const long double vx = static_cast<long double>(p.x) - light.x;
    const long double vy = static_cast<long double>(p.y) - light.y;
    const long double vz = static_cast<long double>(p.z) - light.z;
    const long double nx = n.x, ny = n.y, nz = n.z;
    const long double d = std::sqrt(vx * vx + vy * vy + vz * vz);
    const long double k = (nx * vx + ny * vy + nz * vz) / (d * std::sqrt(nx * nx + ny * ny + nz * nz));
    // Stay clear of the two thresholds, where rounding decides.
    if (std::fabs(k - 0.1L) < 1e-5L || std::fabs(d - 210.0L) < 1e-3L) continue;
    const long double expected =
        (k > 0.1L && d < 210.0L) ? 0.7L * (k - 0.1L) * 1.1L * (1.0L - d * d / (210.0L * 210.0L)) : 0.0L;
    const Colour c = shade(n.x, n.y, n.z, p.x, p.y, p.z);
    ASSERT_NEAR(c.r, static_cast<double>(expected), 1e-6) << "vertex " << i;
    ASSERT_EQ(c.r, c.g);
    ASSERT_EQ(c.r, c.b);
    if (expected > 0.0L) ++lit;
  }
  EXPECT_GT(lit, 1000);  // the sample reaches the lit branch often enough to mean something
}
