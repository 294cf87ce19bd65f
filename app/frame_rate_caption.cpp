// Every tenth call measures how long the last ten frames took and writes the
// rate, formatted with "%f", into the caption. Ordinary frames read no clock.
#include "app/frame_rate_caption.h"

#include <cmath>
#include <cstdio>

float frameCounter = 0.0f;
uint32_t startTime = 0;
float framesPerSecond = 0.0f;

void updateFrameRateCaption(WindowHandle window) {
  if (startTime == 0) startTime = timeGetTime();
  frameCounter = frameCounter + 1.0f;
  if (frameCounter != 10.0f) return;

  uint32_t elapsed = timeGetTime() - startTime;  // unsigned: right across the wrap-around
  framesPerSecond = elapsed == 0 ? INFINITY : static_cast<float>(10000.0 / elapsed);
  startTime = timeGetTime();
  frameCounter = 0.0f;

  char text[20];
  if (elapsed == 0) {
    // Ten frames inside one millisecond: all that is known is a lower bound.
    std::snprintf(text, sizeof text, ">%f", 10000.0);
  } else {
    std::snprintf(text, sizeof text, "%f", static_cast<double>(framesPerSecond));
  }
  setWindowText(window, text);
}
