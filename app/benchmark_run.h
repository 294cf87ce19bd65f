// The benchmark run (--benchmark [SECONDS]): from the start view, with the
// light going round a fixed circle, half the time in the shadow mode the
// program started in and half in the other, every frame timed; then one
// table a person can paste into a bug report: the program, the scene, the
// window and the GL's renderer and version strings, and a line per shadow
// mode with its frames, mean frame rate, and median and 95th-percentile frame
// time. The loop draws the run's frames in place of its own while the run
// lasts; a close ends it early, with the table of what was drawn. The keys
// keep working, and what they change is measured.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/platform.h"

struct FrameTimes {
  int64_t frames = 0;
  double meanRate = 0.0;  // frames per second of drawing
  double medianMs = 0.0;
  double slowestTwentiethMs = 0.0;  // the 95th percentile: 95% of the frames took no longer
};

// The median, and the 95th percentile as the nearest rank; all zero for no frames.
FrameTimes summarizeFrameTimes(std::vector<double> frameMs);

// Starts the run after start-up; when start-up failed it starts nothing.
void startBenchmarkRun(WindowHandle window, double seconds, const char* screenshotPath);
bool benchmarkRunning();
// One frame of the run, in place of renderFrame. When the run's time is
// over, it finishes the run and closes the window.
void drawBenchmarkFrame(WindowHandle window);
// Ends the run where it stands, once: no frame counts after it, and with
// --screenshot the last frame is drawn again, uncounted, into the file. For
// the end of the time and for a close during the run.
void finishBenchmarkRun(WindowHandle window);
// After the loop has taken the quit message: prints the table and gives the
// exit code, quitCode, or 1 when the screenshot asked for was not saved.
// Without a run, or when the quit code says start-up failed, it prints
// nothing and gives quitCode back.
int reportBenchmarkRun(int quitCode);
