// The benchmark run (see benchmark_run.h). A frame's time is that of
// renderFrame, the passes, the swap and the caption, read on the standard
// library's steady clock, which is finer than the platform's milliseconds on
// both systems; the messages handled between frames and a wait while the
// window is minimized are not in it. SECONDS are drawing time, so a run left
// minimized goes on where it stood.
// The light goes round the circle the start light lies on about the start
// view's line of sight, once in each half: both modes draw the same light
// positions, and the run's first frame is the start picture.
#include "app/benchmark_run.h"

#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>

#include "app/app.h"
#include "app/command_line.h"
#include "app/navigation.h"
#include "app/screenshot.h"
#include "assets/scene.h"
#include "assets/tiff_image.h"
#include "render/point_light.h"
#include "render/render_frame.h"

namespace {

constexpr double fullTurn = 6.283185307179586;
const char* const modeNames[2] = {"first (open volumes)", "second (closed volumes)"};

struct BenchmarkRun {
  bool started = false;
  bool running = false;
  double seconds = 0.0;
  std::string screenshotPath;
  uint8_t startMode = 0;
  double lightRadius = 0.0;
  double lightStartAngle = 0.0;
  float lightZ = 0.0f;
  double drawnSeconds = 0.0;
  std::vector<double> frameMs[2];  // each half's, in the order drawn
  int width = 0;
  int height = 0;
  GLint colourBits[3] = {};
  GLint depthBits = 0;
  std::string renderer;
  std::string version;
};

BenchmarkRun theRun;

std::string glText(GLenum name) {
  const GLubyte* text = glGetString(name);
  return text != nullptr ? reinterpret_cast<const char*>(text) : "(not told)";
}

std::string sceneLine() {
  const int meshes = theScene->meshCount;
  const char* const drawn = meshes == 1                ? ""
                            : theCommandLine.allMeshes ? ", all drawn joined,"
                                                       : "; the first drawn,";
  char line[600];
  std::snprintf(line, sizeof line, "scene     %s: %d mesh%s%s %d faces and %d vertices\n",
                theCommandLine.scenePath.c_str(), meshes, meshes == 1 ? " of" : "es", drawn,
                theMesh->faceCount, theMesh->vertexCount);
  return line;
}

std::string textureLine() {
  if (!theTextureUploaded) return "texture   none\n";
  char line[600];
  std::snprintf(line, sizeof line, "texture   %s, %d x %d\n", theCommandLine.texturePath.c_str(),
                theTexture->width, theTexture->height);
  return line;
}

std::string benchmarkTable() {
  const BenchmarkRun& run = theRun;
  char line[600];
  std::snprintf(line, sizeof line, "%s --benchmark %g: %.1f s drawn%s\n", programName(),
                run.seconds, run.drawnSeconds,
                run.drawnSeconds < run.seconds ? ", ended early by a close" : "");
  std::string table = line + sceneLine() + textureLine();
  std::snprintf(line, sizeof line,
                "window    %d x %d pixels, %d-bit colour (%d-%d-%d), %d-bit depth\n", run.width,
                run.height, run.colourBits[0] + run.colourBits[1] + run.colourBits[2],
                run.colourBits[0], run.colourBits[1], run.colourBits[2], run.depthBits);
  table += line;
  table += "renderer  " + run.renderer + "\nversion   " + run.version + "\n\n";
  table += "shadow mode               frames   mean fps  median ms  95th pct ms\n";
  for (int half = 0; half < 2; ++half) {
    const FrameTimes times = summarizeFrameTimes(run.frameMs[half]);
    const int mode = half == 0 ? run.startMode : 1 - run.startMode;
    std::snprintf(line, sizeof line, "%-24s %7d %10.1f %10.2f %12.2f\n", modeNames[mode],
                  static_cast<int>(times.frames), times.meanRate, times.medianMs,
                  times.slowestTwentiethMs);
    table += line;
  }
  return table;
}

}  // namespace

FrameTimes summarizeFrameTimes(std::vector<double> frameMs) {
  FrameTimes times;
  const size_t count = frameMs.size();
  if (count == 0) return times;
  std::sort(frameMs.begin(), frameMs.end());
  double totalMs = 0.0;
  for (double ms : frameMs) totalMs += ms;
  times.frames = static_cast<int64_t>(count);
  times.meanRate = totalMs > 0.0 ? 1000.0 * static_cast<double>(count) / totalMs : 0.0;
  times.medianMs =
      count % 2 == 1 ? frameMs[count / 2] : (frameMs[count / 2 - 1] + frameMs[count / 2]) / 2.0;
  // Nearest rank: the smallest time that at least 95% of the frames do not pass.
  const size_t rank = (95 * count + 99) / 100;
  times.slowestTwentiethMs = frameMs[rank - 1];
  return times;
}

void startBenchmarkRun(WindowHandle window, double seconds, const char* screenshotPath) {
  if (theShadowVolume == nullptr) return;  // start-up failed and is quitting
  BenchmarkRun& run = theRun;
  run.started = run.running = true;
  run.seconds = seconds;
  run.screenshotPath = screenshotPath != nullptr ? screenshotPath : "";
  run.startMode = secondShadowMode;
  run.lightRadius = std::hypot(lightPosition.x, lightPosition.y);
  run.lightStartAngle = std::atan2(lightPosition.y, lightPosition.x);
  run.lightZ = lightPosition.z;
  for (std::vector<double>& times : run.frameMs) times.reserve(4096);
  Rect client;
  getClientRect(window, client);
  run.width = static_cast<int>(client.right - client.left);
  run.height = static_cast<int>(client.bottom - client.top);
  glGetIntegerv(GL_RED_BITS, &run.colourBits[0]);
  glGetIntegerv(GL_GREEN_BITS, &run.colourBits[1]);
  glGetIntegerv(GL_BLUE_BITS, &run.colourBits[2]);
  glGetIntegerv(GL_DEPTH_BITS, &run.depthBits);
  run.renderer = glText(GL_RENDERER);
  run.version = glText(GL_VERSION);
}

bool benchmarkRunning() { return theRun.running; }

void drawBenchmarkFrame(WindowHandle window) {
  BenchmarkRun& run = theRun;
  const double half = run.seconds / 2.0;
  const int part = run.drawnSeconds < half ? 0 : 1;
  secondShadowMode = static_cast<uint8_t>(part == 0 ? run.startMode : 1 - run.startMode);
  const double angle = run.lightStartAngle + fullTurn * (run.drawnSeconds - part * half) / half;
  lightPosition = Vec3{static_cast<float>(run.lightRadius * std::cos(angle)),
                       static_cast<float>(run.lightRadius * std::sin(angle)), run.lightZ};

  const auto begun = std::chrono::steady_clock::now();
  renderFrame(window);
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begun).count();
  run.frameMs[part].push_back(ms);
  run.drawnSeconds += ms / 1000.0;
  if (run.drawnSeconds >= run.seconds) {
    finishBenchmarkRun(window);
    postMessage(window, WM_CLOSE, 0, 0);
  }
}

void finishBenchmarkRun(WindowHandle window) {
  if (!theRun.running) return;
  theRun.running = false;
  if (theRun.screenshotPath.empty()) return;
  askForScreenshot(theRun.screenshotPath.c_str());
  renderFrame(window);
}

int reportBenchmarkRun(int quitCode) {
  if (!theRun.started || quitCode != 0) return quitCode;
  const std::string table = benchmarkTable();
  if (standardStreamsReachUser()) {
    std::fputs(table.c_str(), stdout);
    std::fflush(stdout);
  } else {
    showMessageBox("Shadow Volume", table.c_str());
  }
  return !theRun.screenshotPath.empty() && !lastScreenshotSaved() ? 1 : quitCode;
}
