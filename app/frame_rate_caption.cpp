// Every tenth call measures how long the last ten frames took and writes the
// rate, formatted with "%f", into the caption. Ordinary frames read no clock.
// While F4 shows a part of the frame, that part's name follows the rate, from
// the frame it is named in and through every refresh, so the caption never
// shows the rate alone while a part is on view. A saved screenshot's name
// follows the same way, for as long as the screenshot's code leaves it there.
#include "app/frame_rate_caption.h"

#include <cmath>
#include <cstdio>
#include <string>

float frameCounter = 0.0f;
uint32_t startTime = 0;
float framesPerSecond = 0.0f;

namespace {

// The caption as the rate alone would have it; empty until it is first needed.
char rateText[20] = "";
const char* stepName = nullptr;

std::string savedFileName;  // empty when none is shown

void writeCaption(WindowHandle window) {
  if (stepName == nullptr && savedFileName.empty()) {
    setWindowText(window, rateText);
    return;
  }
  std::string text = rateText;
  if (stepName != nullptr) text = text + " - " + stepName;
  if (!savedFileName.empty()) text += " - " + savedFileName;
  setWindowText(window, text.c_str());
}

// Before the first rate the caption is still the one the window was made with.
void keepFirstCaption(WindowHandle window) {
  if (rateText[0] == '\0') std::snprintf(rateText, sizeof rateText, "%s", windowText(window));
}

}  // namespace

void updateFrameRateCaption(WindowHandle window) {
  if (startTime == 0) startTime = timeGetTime();
  frameCounter = frameCounter + 1.0f;
  if (frameCounter != 10.0f) return;

  uint32_t elapsed = timeGetTime() - startTime;  // unsigned: right across the wrap-around
  framesPerSecond = elapsed == 0 ? INFINITY : static_cast<float>(10000.0 / elapsed);
  startTime = timeGetTime();
  frameCounter = 0.0f;

  if (elapsed == 0) {
    // Ten frames inside one millisecond: all that is known is a lower bound.
    std::snprintf(rateText, sizeof rateText, ">%f", 10000.0);
  } else {
    std::snprintf(rateText, sizeof rateText, "%f", static_cast<double>(framesPerSecond));
  }
  writeCaption(window);
}

void nameFrameStepInCaption(WindowHandle window, const char* name) {
  keepFirstCaption(window);
  stepName = name;
  writeCaption(window);
}

void nameSavedFileInCaption(WindowHandle window, const char* name) {
  keepFirstCaption(window);
  savedFileName = name != nullptr ? name : "";
  writeCaption(window);
}
