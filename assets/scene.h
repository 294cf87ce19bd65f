// The in-memory records of a 3D Studio scene: the scene with its mesh and
// material tables, each mesh with its arrays, each material with its colours
// and maps. Plain records without behaviour. The scene reader fills them; the
// shadow geometry attaches normals and the edge list to a mesh afterwards.
// While the program runs nothing is freed that it still reads: start-up lets
// go of the meshes' own arrays once they are joined into one, and of the
// face normals once the vertex normals are made. releaseScene exists for
// tools and tests that read many scenes.
#pragma once

#include <cstdint>

constexpr int nameSize = 64;          // every name field, terminator included
constexpr int meshCapacity = 1024;    // mesh table entries per scene
constexpr int materialCapacity = 256; // material table entries per scene

// A position, normal or colour; arrays of Vec3 are packed 12 bytes apart.
struct Vec3 {
  float x;
  float y;
  float z;
};

// One triangle: three indices into the owning mesh's vertices, in the file's
// corner order. Arrays of Face are packed 12 bytes apart.
struct Face {
  int32_t corner[3];
};

// One mapping coordinate pair per vertex, packed 8 bytes apart.
struct TexCoord {
  float u;
  float v;
};

// One record of a mesh's edge adjacency list (16 bytes). neighbourApex is -1
// for an edge that only one face has; all four fields are -2 in a removed
// record.
struct Edge {
  int32_t vertex0;
  int32_t vertex1;
  int32_t apex;
  int32_t neighbourApex;
};

constexpr int32_t noNeighbour = -1;
constexpr int32_t removedEdge = -2;

struct Material;

struct Mesh {
  char name[nameSize];
  int32_t vertexCount;
  int32_t faceCount;
  int32_t edgeCount;
  // The object's local axes and origin: a 3x3 matrix stored row by row whose
  // columns are the X, Y and Z axes, then the origin. Kept, never applied.
  float matrix[12];
  int32_t materialIndex; // -1 until a face-material chunk names a known material
  Vec3* vertices;
  Vec3* vertexNormals;
  Face* faces;
  Vec3* faceNormals;
  TexCoord* texCoords;   // null unless mapping coordinates were asked for and present
  Edge* edges;           // edgeCount records
  Material* material;    // null until a face-material chunk names a known material
};

struct MaterialMap {
  float strength;
  char fileName[nameSize];
};

struct Material {
  char name[nameSize];
  int32_t ambientColour;  // 0x00RRGGBB
  int32_t diffuseColour;
  int32_t specularColour;
  float shininess;
  float shininessStrength;
  float opacity;          // 1.0 is fully opaque, as is a material without a transparency
  float selfIllumination;
  MaterialMap textureMap;
  MaterialMap opacityMap;
  MaterialMap bumpMap;
};

struct Scene {
  char name[nameSize];
  int32_t meshCount;
  int32_t vertexTotal;
  int32_t faceTotal;
  int32_t materialCount;
  Mesh** meshes;         // table of meshCapacity entries
  Material** materials;  // table of materialCapacity entries
};

// Frees a mesh's arrays, normals and edge list included, and sets its counts
// to zero; the record keeps its name, matrix and material.
void releaseMeshArrays(Mesh& mesh);
// Frees a mesh with all its arrays, normals and edge list included. Null is allowed.
void releaseMesh(Mesh* mesh);
// Frees a scene returned by readScene with everything that hangs off it,
// normals and edge lists included. Null is allowed.
void releaseScene(Scene* scene);
