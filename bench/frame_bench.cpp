// Speed of the frame on the bundled scene at 800x600 in a 16-bit window on
// Mesa's software renderer: whole frames (all passes and the swap) in each of
// the two shadow modes, in the same run, with how many of the second mode's
// frames counted the shadow from the eye and how many from behind; and, for
// scale, the mesh drawn once into the depth buffer only, as the frame's first
// pass draws it. (The frame's CPU work alone, and how it all grows with the
// mesh: scale_bench.) Starts its own Xvfb, so it needs no
// desktop; run from anywhere, it reads the scene from the source tree's data
// folder. Measures only; nothing is asserted.
#include <GL/gl.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/app.h"
#include "app/navigation.h"
#include "assets/scene.h"
#include "gl/gl_context.h"
#include "render/closed_volume_passes.h"
#include "render/point_light.h"
#include "render/render_frame.h"
#include "render/send_arrays.h"
#include "shadow/shadow_volume.h"
#include "tests/support/own_xvfb.h"

// The library's start-up calls these; each program defines them.
void firstStartUpStep(WindowHandle) {}
void onClose(WindowHandle) {}

namespace {

constexpr int windowWidth = 800;
constexpr int windowHeight = 600;

intptr_t quietProcedure(WindowHandle, uint32_t, uintptr_t, intptr_t) { return 0; }

WindowHandle theWindow = nullptr;

// Argument 0: the first mode's shadow, counted from the eye over open volumes;
// 1: the second mode (F2), over closed volumes, counted from the eye where
// no volume reaches the near plane and from behind the surface otherwise,
// then turned into the mask over the part of the window the count reached.
void BM_BundledFrame(benchmark::State& state) {
  const Mesh* mesh = theMesh;
  if (mesh == nullptr) {
    state.SkipWithError("the bundled scene did not start");
    return;
  }
  secondShadowMode = static_cast<uint8_t>(state.range(0));
  const ClosedVolumeCounts before = theClosedVolumeCounts;
  for (auto _ : state) renderFrame(theWindow);
  secondShadowMode = 0;
  state.counters["frames_per_second"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  if (state.range(0) != 0) {
    // Which way this run's frames counted the shadow.
    state.counters["counted_from_the_eye"] =
        static_cast<double>(theClosedVolumeCounts.fromTheEye - before.fromTheEye);
    state.counters["counted_from_behind"] =
        static_cast<double>(theClosedVolumeCounts.fromBehind - before.fromBehind);
  }
  state.SetLabel(std::string(state.range(0) == 0 ? "first mode, " : "second mode, ") +
                 std::to_string(mesh->faceCount) + " faces, " +
                 reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
}
BENCHMARK(BM_BundledFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The frame's first pass on its own, with the depth buffer cleared first so
// that every fragment is tested and written as in a frame; glFinish waits for
// the rasteriser.
void BM_DepthOnlyMesh(benchmark::State& state) {
  const Mesh* mesh = theMesh;
  if (mesh == nullptr) {
    state.SkipWithError("the bundled scene did not start");
    return;
  }
  for (auto _ : state) {
    glDepthMask(GL_TRUE);
    glClear(GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glEnable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_CULL_FACE);
    glBlendFunc(GL_ZERO, GL_ONE);
    sendIndexedTriangles(mesh->vertices, 0, reinterpret_cast<const uint32_t*>(mesh->faces),
                         3 * mesh->faceCount);
    glFinish();
  }
  state.counters["faces"] = mesh->faceCount;
}
BENCHMARK(BM_DepthOnlyMesh)->Unit(benchmark::kMillisecond)->UseRealTime();

// The depth clear that BM_DepthOnlyMesh includes, to take off its figure.
void BM_DepthClear(benchmark::State& state) {
  for (auto _ : state) {
    glDepthMask(GL_TRUE);
    glClear(GL_DEPTH_BUFFER_BIT);
    glFinish();
  }
}
BENCHMARK(BM_DepthClear)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  pid_t xvfb = startOwnXvfb();
  if (xvfb < 0) std::fprintf(stderr, "frame_bench: Xvfb did not start\n");
  registerClass(WindowClass{0, quietProcedure, currentInstance(), "Frame Bench"});
  theWindow = createWindow("Frame Bench", "Shadow Volume", windowWidth, windowHeight,
                           currentInstance());
  if (theWindow != nullptr && chdir(DATA_DIR) == 0 && access("shadow2.3DS", R_OK) == 0) {
    showWindow(theWindow, SW_SHOWNORMAL);
    updateWindow(theWindow);
    startUp(theWindow);
  } else {
    std::fprintf(stderr, "frame_bench: no window or no scene in %s\n", DATA_DIR);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  stopOwnXvfb(xvfb);
  return 0;
}
