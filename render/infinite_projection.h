// The perspective projection without a far plane that the mode counting from
// behind the surface draws with: the start-up projection's field of view,
// aspect and near plane, with the far plane taken to infinity, so that points
// sent with w = 0 land on the far end of the depth range instead of being
// clipped. Arithmetic only; no OpenGL calls.
#pragma once

// perspective: a matrix as gluPerspective makes it, column-major as
// glGetFloatv gives it. out: the same projection with the far plane at
// infinity, for glLoadMatrixf.
void infiniteProjection(const float perspective[16], float out[16]);
