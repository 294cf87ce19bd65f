// Screenshots: the window's picture as the frame leaves it, its last pass and
// the views of F3 and F4 included, saved as an uncompressed RGB TIFF
// (assets/rgb_tiff_writer.h). F12 saves it under the lowest free name
// shadow-volume-NNN.tif in the working folder, or in the user's home folder
// when the working folder cannot be written; --screenshot saves a benchmark
// run's last frame to the file it names. The saved file's name follows the
// rate in the caption for about two seconds. A folder or file that cannot be
// written gets one line on standard error, and the program goes on.
#pragma once

#include "platform/platform.h"

// Asks for the next frame's picture: into path, or with path null under the
// next free name.
void askForScreenshot(const char* path);
// Called by the frame after its last pass and before the swap, with the
// frame's GL context current: saves the picture when one was asked for, and
// takes the last saved name off the caption once its time there is over.
void saveScreenshotIfAsked(WindowHandle window);
// Whether the last picture asked for was saved.
bool lastScreenshotSaved();
