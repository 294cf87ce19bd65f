// A Mesh built from plain vectors for tests and benchmarks, with every array
// it holds (including normals and edges attached later) released with it.
// Not a scene: nothing here reads files.
#pragma once

#include <algorithm>
#include <cstring>
#include <vector>

#include "assets/scene.h"

class TestMesh {
 public:
  TestMesh(const std::vector<Vec3>& vertices, const std::vector<Face>& faces) : mesh() {
    std::strcpy(mesh.name, "Test");
    mesh.vertexCount = static_cast<int32_t>(vertices.size());
    mesh.faceCount = static_cast<int32_t>(faces.size());
    mesh.materialIndex = -1;
    mesh.vertices = new Vec3[vertices.size()];
    std::copy(vertices.begin(), vertices.end(), mesh.vertices);
    mesh.faces = new Face[faces.size()];
    std::copy(faces.begin(), faces.end(), mesh.faces);
  }
  ~TestMesh() { releaseMeshArrays(mesh); }
  TestMesh(const TestMesh&) = delete;
  TestMesh& operator=(const TestMesh&) = delete;

  Mesh mesh;
};
