// Releasing a scene: every mesh with all its arrays (the reader's and those the
// normals and the edge list attach), every material, both tables, the scene.
// Records are taken with new and arrays with new[], so they go back the same way.
#include "assets/scene.h"

void releaseMeshArrays(Mesh& mesh) {
  delete[] mesh.vertices;
  delete[] mesh.vertexNormals;
  delete[] mesh.faces;
  delete[] mesh.faceNormals;
  delete[] mesh.texCoords;
  delete[] mesh.edges;
  mesh.vertices = mesh.vertexNormals = mesh.faceNormals = nullptr;
  mesh.faces = nullptr;
  mesh.texCoords = nullptr;
  mesh.edges = nullptr;
  mesh.vertexCount = mesh.faceCount = mesh.edgeCount = 0;
}

void releaseMesh(Mesh* mesh) {
  if (mesh == nullptr) return;
  releaseMeshArrays(*mesh);
  delete mesh;
}

void releaseScene(Scene* scene) {
  if (scene == nullptr) return;
  if (scene->meshes != nullptr) {
    for (int32_t i = 0; i < scene->meshCount && i < meshCapacity; ++i) releaseMesh(scene->meshes[i]);
    delete[] scene->meshes;
  }
  if (scene->materials != nullptr) {
    for (int32_t i = 0; i < scene->materialCount && i < materialCapacity; ++i) {
      delete scene->materials[i];
    }
    delete[] scene->materials;
  }
  delete scene;
}
