// Speed of the edge-list build, indexed against the plain quadratic scan, on
// closed meshes of about 1,000, 8,000 and 32,767 faces; and of the shadow
// volume over the bundled scene's first mesh for a light that moves every
// frame, open (the silhouette and both passes' quads) and closed (lit faces,
// sides, both caps, and the sides of both facings). When the bundled scene
// cannot be read, a generated closed mesh of 8,000 faces stands in and the
// label says so. Measures only; nothing is asserted.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "assets/scene_reader.h"
#include "shadow/edge_list.h"
#include "shadow/normals.h"
#include "shadow/closed_volume.h"
#include "shadow/shadow_volume.h"
#include "tests/support/edge_list_oracle.h"
#include "tests/support/test_mesh.h"

namespace {

struct MeshData {
  std::vector<Vec3> vertices;
  std::vector<Face> faces;
};

// A torus of rows x columns quads split in two, cut off after faceCount faces
// (an odd count leaves one hole). Like a file exported with a texture seam,
// the last column repeats the first column's positions with vertices of its
// own, so the edges along the seam pair up by position only.
MeshData makeTorus(int faceCount) {
  const int rows = static_cast<int>(std::lround(std::sqrt(faceCount / 2.0)));
  const int columns = (faceCount + 2 * rows - 1) / (2 * rows);
  MeshData mesh;
  for (int r = 0; r < rows; ++r) {
    const double theta = 2.0 * 3.14159265358979 * r / rows;
    for (int c = 0; c < columns; ++c) {
      const double phi = 2.0 * 3.14159265358979 * c / columns;
      const double ring = 50.0 + 15.0 * std::cos(theta);
      mesh.vertices.push_back({static_cast<float>(ring * std::cos(phi)),
                               static_cast<float>(ring * std::sin(phi)),
                               static_cast<float>(15.0 * std::sin(theta))});
    }
    mesh.vertices.push_back(mesh.vertices[static_cast<size_t>(r * (columns + 1))]);
  }
  auto at = [rows, columns](int r, int c) { return (r % rows) * (columns + 1) + c; };
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      mesh.faces.push_back({{at(r, c), at(r, c + 1), at(r + 1, c + 1)}});
      mesh.faces.push_back({{at(r, c), at(r + 1, c + 1), at(r + 1, c)}});
    }
  }
  mesh.faces.resize(static_cast<size_t>(faceCount));
  return mesh;
}

void BM_BuildEdgeListIndexed(benchmark::State& state) {
  const MeshData data = makeTorus(static_cast<int>(state.range(0)));
  TestMesh test(data.vertices, data.faces);
  for (auto _ : state) {
    buildEdgeList(test.mesh);
    benchmark::DoNotOptimize(test.mesh.edges);
  }
  state.counters["faces"] = static_cast<double>(test.mesh.faceCount);
  state.counters["edges"] = static_cast<double>(test.mesh.edgeCount);
}
BENCHMARK(BM_BuildEdgeListIndexed)->Arg(1000)->Arg(8000)->Arg(32767)->Unit(benchmark::kMillisecond);

void BM_BuildEdgeListScanning(benchmark::State& state) {
  const MeshData data = makeTorus(static_cast<int>(state.range(0)));
  TestMesh test(data.vertices, data.faces);
  int32_t edgeCount = 0;
  for (auto _ : state) {
    const ScannedEdgeList list = buildEdgeListByScanning(test.mesh);
    edgeCount = list.edgeCount;
    benchmark::DoNotOptimize(list.records.data());
  }
  state.counters["faces"] = static_cast<double>(test.mesh.faceCount);
  state.counters["edges"] = static_cast<double>(edgeCount);
}
BENCHMARK(BM_BuildEdgeListScanning)->Arg(1000)->Arg(8000)->Unit(benchmark::kMillisecond);
// Some seconds per build: once is enough for the ratio.
BENCHMARK(BM_BuildEdgeListScanning)->Arg(32767)->Iterations(1)->Unit(benchmark::kMillisecond);

// The start-up light and eye of the demo.
const Vec3 startLight{20.0f, 20.0f, 70.0f};
const Vec3 startEye{0.0f, 0.0f, 200.0f};

// The bundled scene's first mesh with its normals, edge list and shadow
// volume, or the generated torus when the scene cannot be read; the label
// says which.
struct BenchMesh {
  Scene* scene = readScene(DATA_DIR "/shadow2.3DS", 1);
  MeshData standIn = makeTorus(8000);
  TestMesh stand{standIn.vertices, standIn.faces};
  Mesh* mesh = &stand.mesh;
  std::string label = "generated torus (bundled scene not readable)";
  ShadowVolume volume;
  BenchMesh() {
    if (scene != nullptr && scene->meshCount > 0 && scene->meshes[0]->faceCount > 0) {
      mesh = scene->meshes[0];
      label = "bundled shadow2.3DS";
    }
    computeFaceNormals(*mesh);
    computeVertexNormals(*mesh);
    buildEdgeList(*mesh);
    volume.setVertexArray(mesh->vertices, mesh->vertexCount, 12, 0);
    volume.setEdgeArray(mesh->edges, mesh->edgeCount, 16, 0);
    volume.setFaceArray(mesh->faces, mesh->faceCount, 12, 0);
    volume.setExtrusionLength(3000.0f);
  }
  ~BenchMesh() { releaseScene(scene); }
  BenchMesh(const BenchMesh&) = delete;
  BenchMesh& operator=(const BenchMesh&) = delete;
};

// One frame's open volume with the light moving a little every frame, as
// while a light key is held: the silhouette found and both passes' quads.
void BM_OpenVolumeForALight(benchmark::State& state) {
  const BenchMesh bench;
  std::vector<SilhouetteEdge> silhouette;
  std::vector<Vec3> front, back;
  Vec3 l = startLight;
  const Vec3& e = startEye;
  for (auto _ : state) {
    l.x += 0.01f;
    bench.volume.findSilhouette(l.x, l.y, l.z, silhouette);
    front.clear();
    back.clear();
    bench.volume.draw(l.x, l.y, l.z, e.x, e.y, e.z, true, silhouette, front);
    bench.volume.draw(l.x, l.y, l.z, e.x, e.y, e.z, false, silhouette, back);
  }
  state.SetLabel(bench.label);
  state.counters["faces"] = static_cast<double>(bench.mesh->faceCount);
  state.counters["edges"] = static_cast<double>(bench.mesh->edgeCount);
  state.counters["quads"] = static_cast<double>(front.size() + back.size()) / 6.0;
}
BENCHMARK(BM_OpenVolumeForALight)->Unit(benchmark::kMicrosecond);

// The same for the closed volume: which faces face the light, the sides they
// leave, both caps, and the sides of both facings.
void BM_ClosedVolumeForALight(benchmark::State& state) {
  const BenchMesh bench;
  ClosedVolume closed;
  std::vector<Vec4> front, back;
  Vec3 l = startLight;
  const Vec3& e = startEye;
  for (auto _ : state) {
    l.x += 0.01f;
    findClosedVolume(bench.volume, l, closed);
    front.clear();
    back.clear();
    closedSideTriangles(closed, e, true, front);
    closedSideTriangles(closed, e, false, back);
  }
  state.SetLabel(bench.label);
  state.counters["faces"] = static_cast<double>(bench.mesh->faceCount);
  state.counters["lit faces"] = static_cast<double>(closed.lightCap.size()) / 3.0;
  state.counters["sides"] = static_cast<double>(closed.sides.size());
}
BENCHMARK(BM_ClosedVolumeForALight)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
