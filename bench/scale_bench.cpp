// How the frame scales with the mesh: scenes of about ten thousand, a hundred
// thousand and a million faces, written at run time (closed spheres over a
// receiver, one mesh each, joined as --all-meshes joins them), and the
// bundled scene for reference. Each scene runs in a process of its own, as
// the program would: start-up from the file to the end of the first frame,
// then in each shadow mode whole frames on the GL with the light going round
// a circle over the scene, and the frame's CPU work alone, with the light
// moving and with nothing moving: the same frames with every call that sends
// a vertex, colour or mapping coordinate (and every array draw) counted
// instead of drawn, and no buffer swap. Last, the process's peak resident
// memory. One table on standard output; `scale_bench 10k 1M` runs only the
// scenes of those labels (bundled, 10k, 100k, 1M).
// Measures only; nothing is asserted.
//
// It uses nothing of the frame but renderFrame, the light's position, F2
// and the command line, so the same source measures an older tree too.
#include <GL/gl.h>
#include <SDL2/SDL.h>
#include <dlfcn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/command_line.h"
#include "app/navigation.h"
#include "assets/scene.h"
#include "render/point_light.h"
#include "render/render_frame.h"
#include "tests/support/own_xvfb.h"
#include "tests/support/sphere_scene.h"

// The library's start-up calls these; each program defines them.
void firstStartUpStep(WindowHandle) {}
void onClose(WindowHandle) {}

namespace {

bool theCallsAreCounted = false;
int64_t theSendingCalls = 0;

template <typename Function>
Function realGl(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

}  // namespace

// Each call that sends geometry is counted, and while counting goes no
// further; otherwise it goes on to the real one.
#define COUNTED(name, parameters, arguments)                    \
  extern "C" void name parameters {                             \
    static const auto real = realGl<void(*) parameters>(#name); \
    if (theCallsAreCounted) {                                   \
      ++theSendingCalls;                                        \
      return;                                                   \
    }                                                           \
    real arguments;                                             \
  }
COUNTED(glVertex2f, (GLfloat x, GLfloat y), (x, y))
COUNTED(glVertex3f, (GLfloat x, GLfloat y, GLfloat z), (x, y, z))
COUNTED(glVertex3fv, (const GLfloat* v), (v))
COUNTED(glVertex4f, (GLfloat x, GLfloat y, GLfloat z, GLfloat w), (x, y, z, w))
COUNTED(glColor3f, (GLfloat r, GLfloat g, GLfloat b), (r, g, b))
COUNTED(glColor3fv, (const GLfloat* v), (v))
COUNTED(glColor4f, (GLfloat r, GLfloat g, GLfloat b, GLfloat a), (r, g, b, a))
COUNTED(glTexCoord2fv, (const GLfloat* v), (v))
COUNTED(glArrayElement, (GLint i), (i))
COUNTED(glDrawArrays, (GLenum mode, GLint first, GLsizei count), (mode, first, count))
COUNTED(glDrawElements, (GLenum mode, GLsizei count, GLenum type, const void* indices),
        (mode, count, type, indices))
#undef COUNTED

// No swap while counting: there is nothing drawn to show.
extern "C" void SDL_GL_SwapWindow(SDL_Window* window) {
  static const auto real = realGl<void (*)(SDL_Window*)>("SDL_GL_SwapWindow");
  if (!theCallsAreCounted) real(window);
}

namespace {

using Clock = std::chrono::steady_clock;

constexpr int framesPerCase = 12;

struct Mode {
  double wholeMs;
  double cpuMovingMs;
  double cpuStillMs;
  double sendingCalls;
};

struct Result {
  int faces;
  int vertices;
  int meshes;
  double startUpMs;
  Mode modes[2];
  long peakKb;
  bool started;
};

double since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0.0 : values[values.size() / 2];
}

intptr_t quietProcedure(WindowHandle, uint32_t, uintptr_t, intptr_t) { return 0; }

// The light on a circle over the scene's middle, a step per frame.
void placeLight(int frame) {
  const double turn = 0.05 * frame;
  lightPosition = Vec3{static_cast<float>(40.0 * std::cos(turn)),
                       static_cast<float>(40.0 * std::sin(turn)), 70.0f};
}

// Median milliseconds of renderFrame over the frames, the light moving or not.
double timeFrames(WindowHandle window, bool lightMoves, int& frame) {
  std::vector<double> times;
  for (int n = 0; n < framesPerCase; ++n) {
    if (lightMoves) placeLight(++frame);
    const Clock::time_point start = Clock::now();
    renderFrame(window);
    times.push_back(since(start));
  }
  return median(times);
}

Mode measureMode(WindowHandle window, int& frame) {
  Mode mode{};
  renderFrame(window);  // the mode's first frame, after the switch
  mode.wholeMs = timeFrames(window, true, frame);
  theCallsAreCounted = true;
  mode.cpuMovingMs = timeFrames(window, true, frame);
  theSendingCalls = 0;
  mode.cpuStillMs = timeFrames(window, false, frame);
  mode.sendingCalls = static_cast<double>(theSendingCalls) / framesPerCase;
  theCallsAreCounted = false;
  return mode;
}

// In the child: the program's run on one scene, from its start.
Result runScene(const std::string& commandLine) {
  const Clock::time_point start = Clock::now();
  Result result{};
  registerClass(WindowClass{0, quietProcedure, currentInstance(), "Scale Bench"});
  WindowHandle window = createWindow("Scale Bench", "Shadow Volume", 800, 600, currentInstance());
  if (window == nullptr) return result;
  showWindow(window, SW_SHOWNORMAL);
  updateWindow(window);
  theCommandLine = readCommandLine(commandLine.c_str());
  placeLight(0);
  startUp(window);
  if (theMesh == nullptr) return result;
  renderFrame(window);
  result.startUpMs = since(start);
  result.started = true;
  result.faces = theMesh->faceCount;
  result.vertices = theMesh->vertexCount;
  result.meshes = theScene->meshCount;

  int frame = 0;
  for (Mode& mode : result.modes) {
    mode = measureMode(window, frame);
    keyDown(VK_F1 + 1, false);  // F2: the other mode
    keyUp(VK_F1 + 1);
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  result.peakKb = usage.ru_maxrss;
  return result;
}

// Runs fn in a child process and hands back what it returned.
template <typename Fn>
bool inChild(Fn fn, Result& result) {
  int fds[2];
  if (pipe(fds) != 0) return false;
  std::fflush(stdout);  // or the child prints it again
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    const Result made = fn();
    if (write(fds[1], &made, sizeof made) != static_cast<ssize_t>(sizeof made)) _exit(1);
    _exit(0);
  }
  close(fds[1]);
  const bool read =
      pid > 0 && ::read(fds[0], &result, sizeof result) == static_cast<ssize_t>(sizeof result);
  close(fds[0]);
  if (pid > 0) waitpid(pid, nullptr, 0);
  return read;
}

struct Case {
  const char* label;
  SphereScene spheres;  // perSide 0: the bundled scene
};

const Case theCases[] = {{"bundled", {0, 0}}, {"10k", {2, 14}}, {"100k", {4, 23}}, {"1M", {4, 69}}};

bool wanted(const Case& c, int argc, char** argv) {
  if (argc < 2) return true;
  for (int n = 1; n < argc; ++n)
    if (std::string(c.label) == argv[n]) return true;
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  char folder[] = "/tmp/scale_bench_XXXXXX";
  if (mkdtemp(folder) == nullptr) return 1;
  const pid_t xvfb = startOwnXvfb();
  if (xvfb < 0) std::fprintf(stderr, "scale_bench: Xvfb did not start\n");

  std::printf("%-8s %8s %8s %6s | %10s | %-7s %9s %9s %9s %9s | %9s %9s\n", "scene", "faces",
              "vertices", "meshes", "start-up", "mode", "frame", "cpu moving", "cpu still",
              "gl calls", "peak MB", "B/face");
  std::printf("%s\n", std::string(138, '-').c_str());
  double smallPeakKb = 0.0;
  for (const Case& c : theCases) {
    if (!wanted(c, argc, argv)) continue;
    std::string commandLine;
    if (c.spheres.perSide == 0) {
      commandLine = std::string("\"") + DATA_DIR + "/shadow2.3DS\" \"" + DATA_DIR + "/txt.tif\"";
    } else {
      const std::string scene = std::string(folder) + "/spheres.3DS";
      Result written{};
      // Written in a child of its own, so that this process stays small.
      inChild(
          [&] {
            Result r{};
            r.started = writeSphereScene(scene, c.spheres);
            return r;
          },
          written);
      if (!written.started) {
        std::fprintf(stderr, "scale_bench: could not write %s\n", scene.c_str());
        continue;
      }
      commandLine = "--all-meshes \"" + scene + "\" \"" + DATA_DIR + "/txt.tif\"";
    }
    Result r{};
    if (!inChild([&] { return runScene(commandLine); }, r) || !r.started) {
      std::printf("%-8s did not start\n", c.label);
      continue;
    }
    if (smallPeakKb == 0.0) smallPeakKb = static_cast<double>(r.peakKb);
    const double perFace =
        (static_cast<double>(r.peakKb) - smallPeakKb) * 1024.0 / std::max(r.faces, 1);
    for (int m = 0; m < 2; ++m) {
      const Mode& mode = r.modes[m];
      if (m == 0)
        std::printf("%-8s %8d %8d %6d | %7.0f ms | ", c.label, r.faces, r.vertices, r.meshes,
                    r.startUpMs);
      else
        std::printf("%-8s %8s %8s %6s | %10s | ", "", "", "", "", "");
      std::printf("%-7s %6.1f ms %6.2f ms %6.2f ms %9.0f | ", m == 0 ? "first" : "second",
                  mode.wholeMs, mode.cpuMovingMs, mode.cpuStillMs, mode.sendingCalls);
      if (m == 0)
        std::printf("%9.1f %9.0f\n", static_cast<double>(r.peakKb) / 1024.0, perFace);
      else
        std::printf("\n");
    }
    std::fflush(stdout);
  }
  std::printf(
      "frame: whole frames on the GL, median of %d, the light moving; cpu: the same "
      "frames with geometry counted, not drawn; B/face: peak memory over the first "
      "scene's, per face\n",
      framesPerCase);
  stopOwnXvfb(xvfb);
  std::string remove = std::string("rm -rf ") + folder;
  return std::system(remove.c_str()) == 0 ? 0 : 1;
}
