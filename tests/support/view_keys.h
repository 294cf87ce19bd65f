// F3 and F4 pressed for real in a running program, on either system.
#pragma once

#include "support/x11_client.h"

// F3 shows the volume and F3 again gives back the first picture exactly; F4
// steps through five parts of the frame, each named in the caption after the
// rate and each another picture, and the sixth press gives back the plain
// caption and the first picture. All of it in the first shadow mode, then
// again after F2 in the second, whose picture must be the first mode's to
// within 0.1% of its pixels (a view no volume takes past the eye or the far
// plane). The caption is `captioned`'s name, the
// width x height picture `drawn`'s; the program has the keyboard focus.
void expectViewKeys(X11Client& client, Window captioned, Window drawn, int width, int height);
