// Real mouse drags and wheel notches, each with what the keys do for the same
// turn or move; the Linux program and the Windows one under Wine are held to it.
#pragma once

#include "assets/scene.h"
#include "support/x11_client.h"

// What the keys make of a case, in eye space: a turn about the eye's x (0) or
// y (1) axis through the eye, then the scene brought nearer and the light moved.
struct MouseCase {
  const char* what;
  unsigned button;  // 1 left, 3 right; 4 and 5 the wheel, turned dx notches
  int dx, dy;       // the drag, from 100 pixels left of the window's right edge
  int axis;
  double degrees, nearer, lightRight, lightUp;
};
extern const MouseCase mouseCases[6];

struct ViewAndLight {
  float m[16];  // the modelview matrix
  Vec3 light;
};

// The case's drag or notches, then the pointer back with no button held.
void makeMouseCase(X11Client& client, Window window, const MouseCase& c);
// The largest difference, in eye-space units, from what the keys make of before.
double distanceFromKeys(const MouseCase& c, const ViewAndLight& before, const ViewAndLight& after);
