// The view keys of a running program, pressed for real, on either system.
#pragma once

#include "support/x11_client.h"

// F3 shows the volume over the picture and F3 again gives the first picture
// back to the pixel; F4 steps through the five parts of the frame, each named
// after the rate in the caption and each another picture, and the sixth press
// gives back the plain caption and the first picture. captioned: the window
// whose name is the caption; drawn: the one the width x height picture is
// read from. The program's window has the keyboard focus.
void expectViewKeys(X11Client& client, Window captioned, Window drawn, int width, int height);
