// The far plane taken to infinity (see infinite_projection.h). The field of
// view and aspect are the matrix's own scale terms, and the near plane is read
// back from its depth terms, so the two projections agree on everything but
// the far plane.
#include "render/infinite_projection.h"

void infiniteProjection(const float perspective[16], float out[16]) {
  for (int i = 0; i < 16; ++i) out[i] = perspective[i];
  // gluPerspective's depth terms are (f + n) / (n - f) and 2 f n / (n - f);
  // their quotient gives the near plane n back.
  const double depthScale = perspective[10];
  const double depthOffset = perspective[14];
  const double nearPlane = depthOffset / (depthScale - 1.0);
  out[10] = -1.0f;
  out[14] = static_cast<float>(-2.0 * nearPlane);
}
