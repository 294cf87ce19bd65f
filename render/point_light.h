// The one point light: where the user has put it, the parameters the shading
// uses, and the per-vertex colour it gives. The shading runs on the CPU and
// reaches OpenGL as vertex colours.
#pragma once

#include "assets/scene.h"

struct PointLightRecord {
  Vec3 position;
  float radius;   // at this distance and beyond the light adds nothing
  Vec3 colour;
  Vec3 ambient;   // the colour of a vertex the light does not reach
};

extern Vec3 lightPosition;          // model coordinates; the keyboard moves it
extern PointLightRecord PointLight;  // what shadeVertex reads; the frame sets it

void setLightPosition(float x, float y, float z, float radius);
void setLightColour(float r, float g, float b);
void setLightAmbient(float r, float g, float b);

// The colour of a vertex with normal (nx, ny, nz) (any length) at (px, py, pz).
void shadeVertex(float nx, float ny, float nz, float px, float py, float pz, float& outR,
                 float& outG, float& outB);
