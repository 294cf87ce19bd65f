// Reads a 3D Studio (.3DS) chunk file into a Scene.
//
// Takes: the main (0x4D4D), editor (0x3D3D), named-object (0x4000), triangle-mesh
// (0x4100) and material (0xAFFF) containers; vertex lists (0x4110), face lists
// (0x4120) with their face-material chunks (0x4130), mapping coordinates (0x4140,
// only when asked for) and local matrices (0x4160); material names (0xA000), the
// ambient, diffuse and specular colours as 24-bit colours (0x0011), shininess,
// shininess strength, transparency and self-illumination as integer percentages
// (0x0030), and the texture, opacity and bump maps with their strength and file
// name (0xA300).
// Passes over by their length: everything else, among it float and linear colours,
// float percentages, smoothing groups, lights, cameras, map tiling and the whole
// keyframer section (0xB000). Local matrices are stored, never applied.
//
// The walk is one flat run of chunk headers with no stack of open chunks: a data
// chunk belongs to the mesh or material created last. A colour, percentage or map
// block only aims the next value chunk of its kind at a field, so a block whose
// value comes in a form passed over (a float colour, say) leaves its flag set for
// whichever value chunk of that kind comes next.
//
// Only what the main chunk's length reaches is read, through a bounded reader over
// the open file, so whatever follows the main chunk costs neither time nor memory.
// A main chunk whose length cannot hold even its own header gives no length (some
// writers leave it 0); the walk then runs to the end of the file.
// A material starts opaque (opacity 1.0): a material without a transparency chunk
// is meant to be seen, as exporters that leave the chunk out intend.
//
// Damaged and hostile files:
// - Counts and corner indices are the unsigned 16-bit values the format stores (up
//   to 65535); none is negative. A count that needs more bytes than the file has
//   left is cut to the entries present, so no array outgrows the file.
// - A name is consumed up to its zero byte or the end of the file; 63 characters
//   at most are kept, so every name field ends in a zero byte. A face-material name
//   is taken from the first 64 bytes of its chunk's data (fewer if the chunk is
//   shorter) and cut the same way, so a long material name still finds its material.
// - Past 1024 meshes or 256 materials, further vertex lists and material names are
//   consumed and dropped; the chunks that would apply to the dropped record are
//   consumed without touching any other.
// - A chunk for a mesh before any vertex list, or a value in a material block
//   before any material name, is consumed and dropped.
// - A chunk that is passed over, or a face-material chunk, whose length is shorter
//   than its own header ends the walk, as nothing after it can be found; one whose
//   length runs past the end of the main chunk or of the file ends it there.
// - A second face list or mapping-coordinate list for one mesh replaces the first.
// - When the walk is over, each mesh is made safe for everything that indexes by a
//   face corner, in one place (keepMeshInBounds): faces naming a vertex at or past
//   vertexCount are dropped, the rest keeping their order, and mapping coordinates,
//   when the mesh has any, are extended to vertexCount entries with (0, 0). The
//   scene's totals are then summed from the meshes.
#include "assets/scene_reader.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "assets/byte_reader.h"
#include "assets/file_access.h"

namespace {

constexpr uint16_t mainChunk = 0x4D4D;
constexpr uint16_t editorChunk = 0x3D3D;
constexpr uint16_t namedObjectChunk = 0x4000;
constexpr uint16_t triangleMeshChunk = 0x4100;
constexpr uint16_t vertexListChunk = 0x4110;
constexpr uint16_t faceListChunk = 0x4120;
constexpr uint16_t faceMaterialChunk = 0x4130;
constexpr uint16_t mappingCoordinatesChunk = 0x4140;
constexpr uint16_t localMatrixChunk = 0x4160;
constexpr uint16_t materialBlockChunk = 0xAFFF;
constexpr uint16_t materialNameChunk = 0xA000;
constexpr uint16_t ambientColourChunk = 0xA010;
constexpr uint16_t diffuseColourChunk = 0xA020;
constexpr uint16_t specularColourChunk = 0xA030;
constexpr uint16_t shininessChunk = 0xA040;
constexpr uint16_t shininessStrengthChunk = 0xA041;
constexpr uint16_t transparencyChunk = 0xA050;
constexpr uint16_t selfIlluminationChunk = 0xA084;
constexpr uint16_t textureMapChunk = 0xA200;
constexpr uint16_t opacityMapChunk = 0xA210;
constexpr uint16_t bumpMapChunk = 0xA230;
constexpr uint16_t mapFileNameChunk = 0xA300;
constexpr uint16_t colour24Chunk = 0x0011;
constexpr uint16_t percentageChunk = 0x0030;

constexpr uint32_t chunkHeaderSize = 6;
constexpr size_t vertexFileSize = 12;  // three floats
constexpr size_t faceFileSize = 8;     // three corners and a flag word
constexpr size_t texCoordFileSize = 8; // two floats
constexpr int32_t noTexCoords = -1;

// The working state of one call.
struct Walk {
  ByteReader reader;
  bool keepTexCoords;
  Scene* scene;
  int32_t meshesCreated;
  int32_t materialsCreated;
  Mesh* lastMesh;          // null before the first vertex list, and after one that was dropped
  Material* lastMaterial;  // likewise for material names
  int32_t texCoordsRead[meshCapacity];  // per mesh; noTexCoords until a list is read
  char currentName[nameSize];
  char mapName[nameSize];
  char faceMaterialName[nameSize];
  int32_t* colourTarget;   // null when the block has no material to go to
  float* percentageTarget;
  char* mapNameTarget;
  bool colourPending;
  bool percentagePending;
  bool mapNamePending;
  bool invertPercentage;
};

void readName(ByteReader& reader, char* destination) {
  size_t kept = 0;
  while (bytesLeft(reader) > 0) {
    uint8_t byte = readU8(reader);
    if (byte == 0) break;
    if (kept < nameSize - 1) destination[kept++] = static_cast<char>(byte);
  }
  std::memset(destination + kept, 0, nameSize - kept);
}

// Reads count little-endian floats into the bytes at destination, which are the
// storage of records made only of floats.
void readFloats(ByteReader& reader, void* destination, size_t count) {
  uint8_t* bytes = static_cast<uint8_t*>(destination);
  size_t got = readBytes(reader, bytes, count * 4);
  for (size_t at = 0; at + 4 <= got; at += 4) {
    uint32_t bits = static_cast<uint32_t>(bytes[at]) | (static_cast<uint32_t>(bytes[at + 1]) << 8) |
                    (static_cast<uint32_t>(bytes[at + 2]) << 16) |
                    (static_cast<uint32_t>(bytes[at + 3]) << 24);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    std::memcpy(bytes + at, &value, sizeof value);
  }
}

// How many of count entries of entrySize bytes the rest of the file holds.
size_t entriesPresent(const ByteReader& reader, size_t count, size_t entrySize) {
  return static_cast<size_t>(std::min<uint64_t>(count, bytesLeft(reader) / entrySize));
}

bool skipChunk(ByteReader& reader, uint32_t length) {
  if (length < chunkHeaderSize) return false;
  skipBytes(reader, length - chunkHeaderSize);
  return true;
}

void readVertexList(Walk& walk) {
  size_t count = readU16(walk.reader);
  size_t present = entriesPresent(walk.reader, count, vertexFileSize);
  if (walk.meshesCreated >= meshCapacity) {
    walk.lastMesh = nullptr;
    skipBytes(walk.reader, count * vertexFileSize);
    return;
  }
  Mesh* mesh = new Mesh();
  walk.scene->meshes[walk.meshesCreated] = mesh;
  walk.texCoordsRead[walk.meshesCreated] = noTexCoords;
  ++walk.meshesCreated;
  walk.lastMesh = mesh;

  std::memcpy(mesh->name, walk.currentName, nameSize);
  mesh->faceCount = 0;
  mesh->edgeCount = 0;
  const float identity[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
  std::memcpy(mesh->matrix, identity, sizeof identity);
  mesh->materialIndex = -1;
  mesh->material = nullptr;
  mesh->vertexNormals = nullptr;
  mesh->faces = nullptr;
  mesh->faceNormals = nullptr;
  mesh->texCoords = nullptr;
  mesh->edges = nullptr;
  mesh->vertexCount = static_cast<int32_t>(present);
  mesh->vertices = present > 0 ? new Vec3[present] : nullptr;
  readFloats(walk.reader, mesh->vertices, present * 3);
  skipBytes(walk.reader, (count - present) * vertexFileSize);
}

void readFaceList(Walk& walk) {
  size_t count = readU16(walk.reader);
  size_t present = entriesPresent(walk.reader, count, faceFileSize);
  Mesh* mesh = walk.lastMesh;
  if (mesh == nullptr) {
    skipBytes(walk.reader, count * faceFileSize);
    return;
  }
  delete[] mesh->faces;
  mesh->faces = nullptr;
  mesh->faceCount = static_cast<int32_t>(present);
  if (present > 0) {
    Face* faces = new Face[present];
    uint8_t* bytes = reinterpret_cast<uint8_t*>(faces);
    readBytes(walk.reader, bytes, present * faceFileSize);
    // The file's 8-byte faces fill the front of the 12-byte array; widening from the
    // last face down reads each face's bytes before any wider face is written over them.
    for (size_t i = present; i-- > 0;) {
      const uint8_t* from = bytes + i * faceFileSize;
      int32_t corner0 = from[0] | (from[1] << 8);
      int32_t corner1 = from[2] | (from[3] << 8);
      int32_t corner2 = from[4] | (from[5] << 8);
      faces[i].corner[0] = corner0;
      faces[i].corner[1] = corner1;
      faces[i].corner[2] = corner2;
    }
    mesh->faces = faces;
  }
  skipBytes(walk.reader, (count - present) * faceFileSize);
}

bool readFaceMaterial(Walk& walk, uint32_t length) {
  if (length < chunkHeaderSize) return false;
  size_t dataSize = length - chunkHeaderSize;
  size_t nameBytes = static_cast<size_t>(
      std::min<uint64_t>({static_cast<uint64_t>(nameSize), dataSize, bytesLeft(walk.reader)}));
  char* name = walk.faceMaterialName;
  std::memset(name, 0, nameSize);
  readBytes(walk.reader, name, nameBytes);
  name[nameSize - 1] = 0;
  // The list of faces that follows the name is not used.
  skipBytes(walk.reader, dataSize - nameBytes);

  Mesh* mesh = walk.lastMesh;
  if (mesh == nullptr) return true;
  for (int32_t i = 0; i < walk.materialsCreated; ++i) {
    Material* material = walk.scene->materials[i];
    if (std::strncmp(material->name, name, nameSize) == 0) {
      mesh->materialIndex = i;
      mesh->material = material;
      break;
    }
  }
  return true;
}

void readMappingCoordinates(Walk& walk) {
  size_t count = readU16(walk.reader);
  size_t present = entriesPresent(walk.reader, count, texCoordFileSize);
  Mesh* mesh = walk.lastMesh;
  if (mesh == nullptr) {
    skipBytes(walk.reader, count * texCoordFileSize);
    return;
  }
  delete[] mesh->texCoords;
  mesh->texCoords = present > 0 ? new TexCoord[present] : nullptr;
  readFloats(walk.reader, mesh->texCoords, present * 2);
  walk.texCoordsRead[walk.meshesCreated - 1] = static_cast<int32_t>(present);
  skipBytes(walk.reader, (count - present) * texCoordFileSize);
}

void readLocalMatrix(Walk& walk) {
  float file[12];
  for (float& value : file) value = readF32(walk.reader);
  Mesh* mesh = walk.lastMesh;
  if (mesh == nullptr) return;
  // The file gives the X, Y and Z axes and the origin, three values each; the axes
  // become the columns of a matrix stored row by row.
  const int order[12] = {0, 3, 6, 1, 4, 7, 2, 5, 8, 9, 10, 11};
  for (int i = 0; i < 12; ++i) mesh->matrix[i] = file[order[i]];
}

void readMaterialName(Walk& walk) {
  if (walk.materialsCreated >= materialCapacity) {
    char dropped[nameSize];
    readName(walk.reader, dropped);
    walk.lastMaterial = nullptr;
    return;
  }
  Material* material = new Material();
  material->opacity = 1.0f;
  walk.scene->materials[walk.materialsCreated++] = material;
  walk.lastMaterial = material;
  readName(walk.reader, material->name);
}

void aimColour(Walk& walk, int32_t Material::*field) {
  walk.colourTarget = walk.lastMaterial != nullptr ? &(walk.lastMaterial->*field) : nullptr;
  walk.colourPending = true;
}

void aimPercentage(Walk& walk, float Material::*field) {
  walk.percentageTarget = walk.lastMaterial != nullptr ? &(walk.lastMaterial->*field) : nullptr;
  walk.percentagePending = true;
}

void aimMap(Walk& walk, MaterialMap Material::*map) {
  MaterialMap* target = walk.lastMaterial != nullptr ? &(walk.lastMaterial->*map) : nullptr;
  walk.percentageTarget = target != nullptr ? &target->strength : nullptr;
  walk.mapNameTarget = target != nullptr ? target->fileName : nullptr;
  walk.percentagePending = true;
  walk.mapNamePending = true;
}

void readColour24(Walk& walk) {
  int32_t red = readU8(walk.reader);
  int32_t green = readU8(walk.reader);
  int32_t blue = readU8(walk.reader);
  if (walk.colourPending && walk.colourTarget != nullptr) {
    *walk.colourTarget = red * 65536 + green * 256 + blue;
  }
  walk.colourPending = false;
}

void readPercentage(Walk& walk) {
  int32_t stored = readU16(walk.reader);
  int32_t percent = stored >= 0x8000 ? stored - 0x10000 : stored;
  if (walk.invertPercentage) percent = 100 - percent;
  if (walk.percentagePending && walk.percentageTarget != nullptr) {
    // The product is formed in double and rounded once, so 30 gives 0.29999998f
    // and 100 gives exactly 1.0f.
    *walk.percentageTarget =
        static_cast<float>(static_cast<double>(percent) * static_cast<double>(0.01f));
  }
  walk.percentagePending = false;
  walk.invertPercentage = false;
}

void readMapFileName(Walk& walk) {
  readName(walk.reader, walk.mapName);
  if (walk.mapName[0] == 0x04) std::memset(walk.mapName, 0, nameSize);
  if (walk.mapNamePending && walk.mapNameTarget != nullptr) {
    std::memcpy(walk.mapNameTarget, walk.mapName, nameSize);
  }
  walk.mapNamePending = false;
}

// Consumes one chunk's data, or steps into its sub-chunks; false when the walk
// cannot go on.
bool actOnChunk(Walk& walk, uint16_t id, uint32_t length) {
  switch (id) {
    case mainChunk:
    case editorChunk:
    case triangleMeshChunk:
    case materialBlockChunk:
      return true;
    case namedObjectChunk:
      readName(walk.reader, walk.currentName);
      return true;
    case vertexListChunk:
      readVertexList(walk);
      return true;
    case faceListChunk:
      readFaceList(walk);
      return true;
    case faceMaterialChunk:
      return readFaceMaterial(walk, length);
    case mappingCoordinatesChunk:
      if (!walk.keepTexCoords) return skipChunk(walk.reader, length);
      readMappingCoordinates(walk);
      return true;
    case localMatrixChunk:
      readLocalMatrix(walk);
      return true;
    case materialNameChunk:
      readMaterialName(walk);
      return true;
    case ambientColourChunk:
      aimColour(walk, &Material::ambientColour);
      return true;
    case diffuseColourChunk:
      aimColour(walk, &Material::diffuseColour);
      return true;
    case specularColourChunk:
      aimColour(walk, &Material::specularColour);
      return true;
    case shininessChunk:
      aimPercentage(walk, &Material::shininess);
      return true;
    case shininessStrengthChunk:
      aimPercentage(walk, &Material::shininessStrength);
      return true;
    case transparencyChunk:
      aimPercentage(walk, &Material::opacity);
      walk.invertPercentage = true;
      return true;
    case selfIlluminationChunk:
      aimPercentage(walk, &Material::selfIllumination);
      return true;
    case textureMapChunk:
      aimMap(walk, &Material::textureMap);
      return true;
    case opacityMapChunk:
      aimMap(walk, &Material::opacityMap);
      return true;
    case bumpMapChunk:
      aimMap(walk, &Material::bumpMap);
      return true;
    case mapFileNameChunk:
      readMapFileName(walk);
      return true;
    case colour24Chunk:
      readColour24(walk);
      return true;
    case percentageChunk:
      readPercentage(walk);
      return true;
    default:
      return skipChunk(walk.reader, length);
  }
}

// Normals, edges, the shadow volume and the frame all index a mesh's vertices and
// mapping coordinates by face corners; this is the one place that makes every
// corner a valid index into both.
void keepMeshInBounds(Mesh& mesh, int32_t texCoordsRead) {
  int32_t kept = 0;
  for (int32_t i = 0; i < mesh.faceCount; ++i) {
    const Face face = mesh.faces[i];
    bool inside = true;
    for (int32_t corner : face.corner) inside = inside && corner >= 0 && corner < mesh.vertexCount;
    if (inside) mesh.faces[kept++] = face;
  }
  mesh.faceCount = kept;
  if (kept == 0) {
    delete[] mesh.faces;
    mesh.faces = nullptr;
  }

  if (texCoordsRead != noTexCoords && texCoordsRead < mesh.vertexCount) {
    TexCoord* extended = new TexCoord[mesh.vertexCount];
    for (int32_t i = 0; i < mesh.vertexCount; ++i) {
      extended[i] = i < texCoordsRead ? mesh.texCoords[i] : TexCoord{0.0f, 0.0f};
    }
    delete[] mesh.texCoords;
    mesh.texCoords = extended;
  }
}

}  // namespace

Scene* readScene(const char* path, uint8_t readTexCoords) {
  InputFile* file = openInputFile(path);
  if (file == nullptr) return nullptr;
  ByteReader reader = makeFileReader(file, inputFileSize(file));
  bool isMain = bytesLeft(reader) >= chunkHeaderSize && readU16(reader) == mainChunk;
  if (!isMain) {
    closeInputFile(file);
    return nullptr;
  }
  uint32_t mainLength = readU32(reader);
  if (mainLength >= chunkHeaderSize) limitReader(reader, mainLength);

  Walk walk{};
  walk.reader = std::move(reader);
  walk.keepTexCoords = readTexCoords == 1;
  std::strncpy(walk.currentName, "Untitled", nameSize);

  Scene* scene = new Scene();
  std::memcpy(scene->name, walk.currentName, nameSize);
  scene->meshes = new Mesh*[meshCapacity]();
  scene->materials = new Material*[materialCapacity]();
  walk.scene = scene;

  // Every pass consumes at least a header, so the walk ends.
  for (;;) {
    if (bytesLeft(walk.reader) < 2) break;
    uint16_t id = readU16(walk.reader);
    if (bytesLeft(walk.reader) < 4) break;
    uint32_t length = readU32(walk.reader);
    if (!actOnChunk(walk, id, length)) break;
  }

  // A file the system could not read to the end gives no scene, whatever arrived.
  bool failed = inputFileFailed(file);
  closeInputFile(file);
  walk.reader = ByteReader{};

  scene->meshCount = walk.meshesCreated;
  scene->materialCount = walk.materialsCreated;
  scene->vertexTotal = 0;
  scene->faceTotal = 0;
  for (int32_t i = 0; i < walk.meshesCreated; ++i) {
    Mesh& mesh = *scene->meshes[i];
    keepMeshInBounds(mesh, walk.texCoordsRead[i]);
    scene->vertexTotal += mesh.vertexCount;
    scene->faceTotal += mesh.faceCount;
  }
  if (failed) {
    releaseScene(scene);
    return nullptr;
  }
  return scene;
}
