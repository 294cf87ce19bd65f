// Point-light shading. The facing term is positive where the normal points
// away from the light, which matches normals that point to the back of
// counter-clockwise front faces. Intermediate arithmetic is double; the
// distance is rounded to single precision once and used as such.
#include "render/point_light.h"

#include <cmath>

Vec3 lightPosition{20.0f, 20.0f, 70.0f};
PointLightRecord PointLight{};

void setLightPosition(float x, float y, float z, float radius) {
  PointLight.position = Vec3{x, y, z};
  PointLight.radius = radius;
}

void setLightColour(float r, float g, float b) { PointLight.colour = Vec3{r, g, b}; }

void setLightAmbient(float r, float g, float b) { PointLight.ambient = Vec3{r, g, b}; }

namespace {

float shadeChannel(float colour, float ambient, double shaded, double attenuation) {
  double base = colour >= ambient ? static_cast<double>(colour) - ambient : 0.0;
  return static_cast<float>(base * shaded * attenuation + ambient);
}

}  // namespace

void shadeVertex(float nx, float ny, float nz, float px, float py, float pz, float& outR,
                 float& outG, float& outB) {
  const PointLightRecord& light = PointLight;
  double m = std::sqrt(double{nx} * nx + double{ny} * ny + double{nz} * nz);
  double unitX = nx / m, unitY = ny / m, unitZ = nz / m;

  double vx = double{px} - light.position.x;
  double vy = double{py} - light.position.y;
  double vz = double{pz} - light.position.z;
  float d = static_cast<float>(std::sqrt(vx * vx + vy * vy + vz * vz));

  double k = unitX * (vx / d) + unitY * (vy / d) + unitZ * (vz / d);
  double shaded = (k - double{0.1f}) * 1.1;

  double r = light.radius;
  double attenuation = (r - d > 0.0) ? (r * r - double{d} * d) / (r * r) : 0.0;

  if (!(shaded > 0.0)) {  // also takes not-a-number: a zero normal or d = 0
    outR = light.ambient.x;
    outG = light.ambient.y;
    outB = light.ambient.z;
    return;
  }
  outR = shadeChannel(light.colour.x, light.ambient.x, shaded, attenuation);
  outG = shadeChannel(light.colour.y, light.ambient.y, shaded, attenuation);
  outB = shadeChannel(light.colour.z, light.ambient.z, shaded, attenuation);
}
