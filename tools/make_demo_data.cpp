// make_demo_data <output-folder>: writes the demo's bundled scene
// "shadow2.3DS" and its texture as "txt_uncompressed.tif", a plain
// little-endian 256x256 RGB TIFF in one strip. tools/make_demo_data.sh turns
// the latter into the LZW "txt.tif" with libtiff's tiffcp; this program does
// no compression itself.
//
// The scene is one mesh in front of the start view (eye at (0, 0, 200) looking
// down -Z, light at (20, 20, 70) with radius 210): a finely tessellated open
// wall facing +Z at z = -20 that fills the view, and four closed casters
// between it and the light: a sphere, a box turned about Z, an L-shaped block
// standing on the wall whose upright arm shadows its own base, and an upright
// cylinder. The block stands on the wall rather than above it: a gap would let
// the eye see wall through one part of the block's shadow volume into another,
// which a shadow test without a stencil count draws lit. Closed
// parts share their vertices along every edge, so an edge list that pairs
// faces finds each edge's two faces; every face runs counter-clockwise seen
// from outside. Around the mesh the file carries what an exported file
// carries: versions, master scale, a material with a texture map, the
// face-material binding, smoothing groups, a local matrix, a light, a camera
// and a keyframer section.
//
// The output depends on nothing but this source (no clock, no randomness and
// no library trigonometry, whose last bits differ between C libraries), so the
// committed files can be checked by regenerating them.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

// Fused multiply-adds would change the last bits of the geometry on machines
// that have them, and with them the file.
#if defined(__clang__)
#pragma STDC FP_CONTRACT OFF
#elif defined(__GNUC__)
#pragma GCC optimize("fp-contract=off")
#endif

namespace {

constexpr double pi = 3.14159265358979323846;

// Taylor series on [-pi, pi]: plain IEEE double arithmetic in a fixed order,
// so every machine gets the same bits.
double stableSin(double x) {
  while (x > pi) x -= 2.0 * pi;
  while (x < -pi) x += 2.0 * pi;
  double term = x;
  double sum = x;
  for (int n = 1; n < 20; ++n) {
    term *= -x * x / ((2.0 * n) * (2.0 * n + 1.0));
    sum += term;
  }
  return sum;
}

double stableCos(double x) { return stableSin(x + pi / 2.0); }

struct Point {
  double x;
  double y;
  double z;
};

// Edge visibility flags of the 3DS face record: a quad split into two
// triangles hides its diagonal.
constexpr uint16_t firstHalfOfQuad = 0x3;   // edges AB and BC shown, CA hidden
constexpr uint16_t secondHalfOfQuad = 0x6;  // edges BC and CA shown, AB hidden
constexpr uint16_t wholeTriangle = 0x7;

struct Triangle {
  int corner[3];
  uint16_t flags;
  uint32_t smoothing;
};

struct SceneMesh {
  std::vector<Point> vertices;
  std::vector<Triangle> faces;
};

// Which faces make up one object, for the self-check.
struct Part {
  const char* name;
  size_t firstFace;
  size_t faceEnd;
  bool closed;
};

int addVertex(SceneMesh& mesh, Point p) {
  mesh.vertices.push_back(p);
  return static_cast<int>(mesh.vertices.size() - 1);
}

void addTriangle(SceneMesh& mesh, int a, int b, int c, uint32_t smoothing) {
  mesh.faces.push_back({{a, b, c}, wholeTriangle, smoothing});
}

// a, b, c, d counter-clockwise seen from the side the quad faces.
void addQuad(SceneMesh& mesh, int a, int b, int c, int d, uint32_t smoothing) {
  mesh.faces.push_back({{a, b, c}, firstHalfOfQuad, smoothing});
  mesh.faces.push_back({{a, c, d}, secondHalfOfQuad, smoothing});
}

// The receiver: an open grid, which casts nothing, since its border edges have
// one face each and its inner edges lie in one plane with both their faces.
void addWall(SceneMesh& mesh) {
  const int columns = 50;
  const int rows = 38;
  const double cell = 5.0;
  const int first = static_cast<int>(mesh.vertices.size());
  for (int j = 0; j <= rows; ++j)
    for (int i = 0; i <= columns; ++i)
      addVertex(mesh, {-125.0 + cell * i, -95.0 + cell * j, -20.0});
  for (int j = 0; j < rows; ++j)
    for (int i = 0; i < columns; ++i) {
      const int a = first + j * (columns + 1) + i;
      addQuad(mesh, a, a + 1, a + columns + 2, a + columns + 1, 1u);
    }
}

// Sphere about the Y axis: one vertex at each pole, and each ring closes on
// its own first vertex instead of repeating it.
void addSphere(SceneMesh& mesh, Point centre, double radius, int rings, int segments) {
  const uint32_t smoothing = 2u;
  const int north = addVertex(mesh, {centre.x, centre.y + radius, centre.z});
  const int firstRing = static_cast<int>(mesh.vertices.size());
  for (int i = 1; i < rings; ++i) {
    const double theta = pi * i / rings;
    for (int j = 0; j < segments; ++j) {
      const double phi = 2.0 * pi * j / segments;
      addVertex(mesh, {centre.x + radius * stableSin(theta) * stableCos(phi),
                       centre.y + radius * stableCos(theta),
                       centre.z + radius * stableSin(theta) * stableSin(phi)});
    }
  }
  const int south = addVertex(mesh, {centre.x, centre.y - radius, centre.z});
  auto ring = [&](int i, int j) { return firstRing + (i - 1) * segments + j % segments; };
  for (int j = 0; j < segments; ++j) {
    addTriangle(mesh, north, ring(1, j + 1), ring(1, j), smoothing);
    for (int i = 1; i + 1 < rings; ++i)
      addQuad(mesh, ring(i, j), ring(i, j + 1), ring(i + 1, j + 1), ring(i + 1, j), smoothing);
    addTriangle(mesh, south, ring(rings - 1, j), ring(rings - 1, j + 1), smoothing);
  }
}

// Upright cylinder whose caps are rings of quads around a centre fan, so the
// caps are as finely lit as the side. Caps and side share their rim rings.
void addCylinder(SceneMesh& mesh, Point baseCentre, double radius, double height, int segments,
                 int sideLevels, int capRings) {
  const uint32_t sideSmoothing = 4u;
  const uint32_t topSmoothing = 8u;
  const uint32_t bottomSmoothing = 16u;
  auto addRing = [&](double ringRadius, double z) {
    const int first = static_cast<int>(mesh.vertices.size());
    for (int j = 0; j < segments; ++j) {
      const double phi = 2.0 * pi * j / segments;
      addVertex(mesh, {baseCentre.x + ringRadius * stableCos(phi),
                       baseCentre.y + ringRadius * stableSin(phi), z});
    }
    return first;
  };
  std::vector<int> side;
  for (int k = 0; k <= sideLevels; ++k)
    side.push_back(addRing(radius, baseCentre.z + height * k / sideLevels));
  auto at = [&](int ringStart, int j) { return ringStart + j % segments; };
  for (size_t k = 0; k + 1 < side.size(); ++k)
    for (int j = 0; j < segments; ++j)
      addQuad(mesh, at(side[k], j), at(side[k], j + 1), at(side[k + 1], j + 1),
              at(side[k + 1], j), sideSmoothing);

  for (int top = 0; top < 2; ++top) {
    const double z = top ? baseCentre.z + height : baseCentre.z;
    const uint32_t smoothing = top ? topSmoothing : bottomSmoothing;
    int outer = top ? side.back() : side.front();
    for (int m = 1; m < capRings; ++m) {
      const int inner = addRing(radius * (capRings - m) / capRings, z);
      for (int j = 0; j < segments; ++j) {
        if (top)
          addQuad(mesh, at(outer, j), at(outer, j + 1), at(inner, j + 1), at(inner, j), smoothing);
        else
          addQuad(mesh, at(outer, j + 1), at(outer, j), at(inner, j), at(inner, j + 1), smoothing);
      }
      outer = inner;
    }
    const int centre = addVertex(mesh, {baseCentre.x, baseCentre.y, z});
    for (int j = 0; j < segments; ++j) {
      if (top)
        addTriangle(mesh, at(outer, j), at(outer, j + 1), centre, smoothing);
      else
        addTriangle(mesh, at(outer, j + 1), at(outer, j), centre, smoothing);
    }
  }
}

// A box of cells in a solid's lattice, lower corner included, upper excluded.
struct CellBox {
  int low[3];
  int high[3];
};

// A solid made of cubic cells, turned about the vertical line through pivot.
struct CellSolid {
  std::vector<CellBox> boxes;
  int size[3];
  Point origin;
  double cell;
  double turnCos;
  double turnSin;
  Point pivot;
};

bool cellInside(const CellSolid& solid, int i, int j, int k) {
  for (const CellBox& box : solid.boxes)
    if (i >= box.low[0] && i < box.high[0] && j >= box.low[1] && j < box.high[1] &&
        k >= box.low[2] && k < box.high[2])
      return true;
  return false;
}

// The boundary of the cells, each cell face split into two triangles. Lattice
// points are made once and shared, which keeps the surface closed and its
// edges paired. The cells must not meet along an edge alone (that edge would
// have four faces).
void addCellSolid(SceneMesh& mesh, const CellSolid& solid) {
  const int nx = solid.size[0] + 1;
  const int ny = solid.size[1] + 1;
  const int nz = solid.size[2] + 1;
  std::vector<int> lattice(static_cast<size_t>(nx * ny * nz), -1);
  auto latticeVertex = [&](const int p[3]) {
    int& index = lattice[static_cast<size_t>((p[2] * ny + p[1]) * nx + p[0])];
    if (index < 0) {
      const double x = solid.origin.x + solid.cell * p[0] - solid.pivot.x;
      const double y = solid.origin.y + solid.cell * p[1] - solid.pivot.y;
      index = addVertex(mesh, {solid.pivot.x + x * solid.turnCos - y * solid.turnSin,
                               solid.pivot.y + x * solid.turnSin + y * solid.turnCos,
                               solid.origin.z + solid.cell * p[2]});
    }
    return index;
  };
  for (int k = 0; k < solid.size[2]; ++k)
    for (int j = 0; j < solid.size[1]; ++j)
      for (int i = 0; i < solid.size[0]; ++i) {
        if (!cellInside(solid, i, j, k)) continue;
        for (int axis = 0; axis < 3; ++axis)
          for (int sign = -1; sign <= 1; sign += 2) {
            int neighbour[3] = {i, j, k};
            neighbour[axis] += sign;
            if (cellInside(solid, neighbour[0], neighbour[1], neighbour[2])) continue;
            // b and c with e_b x e_c = e_axis, so stepping b then c turns
            // counter-clockwise seen from the +axis side.
            const int b = (axis + 1) % 3;
            const int c = (axis + 2) % 3;
            int corner[4][3];
            for (int n = 0; n < 4; ++n) {
              corner[n][0] = i;
              corner[n][1] = j;
              corner[n][2] = k;
              corner[n][axis] += sign > 0 ? 1 : 0;
            }
            const int first = sign > 0 ? b : c;
            const int second = sign > 0 ? c : b;
            corner[1][first] += 1;
            corner[2][first] += 1;
            corner[2][second] += 1;
            corner[3][second] += 1;
            const uint32_t smoothing = 32u << (2 * axis + (sign > 0 ? 1 : 0));
            // One statement each: the order in which arguments are worked out
            // is the compiler's, and it would decide the vertex order.
            int quad[4];
            for (int n = 0; n < 4; ++n) quad[n] = latticeVertex(corner[n]);
            addQuad(mesh, quad[0], quad[1], quad[2], quad[3], smoothing);
          }
      }
}

// Six times the signed volume enclosed by the faces; positive when they run
// counter-clockwise seen from outside.
double signedVolume6(const SceneMesh& mesh, const Part& part) {
  double sum = 0.0;
  for (size_t f = part.firstFace; f < part.faceEnd; ++f) {
    const Point& a = mesh.vertices[static_cast<size_t>(mesh.faces[f].corner[0])];
    const Point& b = mesh.vertices[static_cast<size_t>(mesh.faces[f].corner[1])];
    const Point& c = mesh.vertices[static_cast<size_t>(mesh.faces[f].corner[2])];
    sum += a.x * (b.y * c.z - b.z * c.y) - a.y * (b.x * c.z - b.z * c.x) +
           a.z * (b.x * c.y - b.y * c.x);
  }
  return sum;
}

SceneMesh buildScene(std::vector<Part>& parts) {
  SceneMesh mesh;
  auto addPart = [&](const char* name, bool closed, auto&& build) {
    const size_t first = mesh.faces.size();
    build();
    parts.push_back({name, first, mesh.faces.size(), closed});
  };
  addPart("wall", false, [&] { addWall(mesh); });
  addPart("sphere", true, [&] { addSphere(mesh, {-38.0, 36.0, 14.0}, 14.0, 16, 32); });

  const double turn = pi / 6.0;
  CellSolid box{{{{0, 0, 0}, {6, 6, 6}}},
                {6, 6, 6},
                {43.0, -44.0, -8.0},
                4.0,
                stableCos(turn),
                stableSin(turn),
                {55.0, -32.0, 0.0}};
  addPart("box", true, [&] { addCellSolid(mesh, box); });

  // A slab with an upright arm along its end nearest the light: the arm's
  // shadow falls across the slab's top. The slab's bottom lies in the wall's
  // plane, turned away from the eye; its 4-unit lattice never puts both ends of
  // one of its edges on the ends of a wall edge (5 units), so faces of the two
  // parts are never taken for neighbours.
  CellSolid block{{{{0, 0, 0}, {10, 8, 2}}, {{8, 0, 2}, {10, 8, 9}}},
                  {10, 8, 9},
                  {-68.0, -58.0, -20.0},
                  4.0,
                  1.0,
                  0.0,
                  {0.0, 0.0, 0.0}};
  addPart("L-block", true, [&] { addCellSolid(mesh, block); });

  addPart("cylinder", true, [&] { addCylinder(mesh, {60.0, 48.0, -12.0}, 9.0, 24.0, 32, 6, 3); });
  return mesh;
}

// One repeat of the texture every 64 units, projected along a slant so that
// no face of the boxes gets a constant coordinate; sphere and cylinder need
// no seam, since the projection is planar.
void mappingCoordinates(const Point& p, float& u, float& v) {
  const double unitsPerRepeat = 64.0;
  const float x = static_cast<float>(p.x);
  const float y = static_cast<float>(p.y);
  const float z = static_cast<float>(p.z);
  // The offset keeps a grout line from grazing the sphere's front, where it
  // would draw a small ring.
  u = static_cast<float>((x + 0.5 * z + 8.0) / unitsPerRepeat);
  v = static_cast<float>((y + 0.25 * z) / unitsPerRepeat);
}

void putU8(std::vector<uint8_t>& out, unsigned value) { out.push_back(static_cast<uint8_t>(value)); }

void putU16(std::vector<uint8_t>& out, unsigned value) {
  out.push_back(static_cast<uint8_t>(value & 0xFFu));
  out.push_back(static_cast<uint8_t>((value >> 8) & 0xFFu));
}

void putU32(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>((value >> shift) & 0xFFu));
}

void putF32(std::vector<uint8_t>& out, float value) {
  uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  putU32(out, bits);
}

void putString(std::vector<uint8_t>& out, const char* text) {
  for (const char* c = text; *c; ++c) putU8(out, static_cast<unsigned char>(*c));
  putU8(out, 0);
}

// Returns the chunk's start; endChunk fills in its length once the contents,
// sub-chunks included, are written.
size_t beginChunk(std::vector<uint8_t>& out, unsigned id) {
  const size_t start = out.size();
  putU16(out, id);
  putU32(out, 0);
  return start;
}

void endChunk(std::vector<uint8_t>& out, size_t start) {
  const uint32_t length = static_cast<uint32_t>(out.size() - start);
  for (int n = 0; n < 4; ++n) out[start + 2 + static_cast<size_t>(n)] = static_cast<uint8_t>(length >> (8 * n));
}

void putColourBlock(std::vector<uint8_t>& out, unsigned id, unsigned r, unsigned g, unsigned b) {
  const size_t block = beginChunk(out, id);
  for (unsigned colourId : {0x0011u, 0x0012u}) {  // 24-bit colour, then its linear twin
    const size_t colour = beginChunk(out, colourId);
    putU8(out, r);
    putU8(out, g);
    putU8(out, b);
    endChunk(out, colour);
  }
  endChunk(out, block);
}

void putPercentageBlock(std::vector<uint8_t>& out, unsigned id, unsigned percent) {
  const size_t block = beginChunk(out, id);
  const size_t value = beginChunk(out, 0x0030);
  putU16(out, percent);
  endChunk(out, value);
  endChunk(out, block);
}

void putTrackHeader(std::vector<uint8_t>& out, uint32_t keys) {
  putU16(out, 0);  // flags
  putU32(out, 0);
  putU32(out, 0);
  putU32(out, keys);
}

void putKeyHeader(std::vector<uint8_t>& out, uint32_t frame) {
  putU32(out, frame);
  putU16(out, 0);  // no tension, continuity, bias or ease values follow
}

void putNodeHeader(std::vector<uint8_t>& out, unsigned nodeId, const char* name) {
  const size_t id = beginChunk(out, 0xB030);
  putU16(out, nodeId);
  endChunk(out, id);
  const size_t header = beginChunk(out, 0xB010);
  putString(out, name);
  putU16(out, 0x4000);
  putU16(out, 0);
  putU16(out, 0xFFFF);  // no parent
  endChunk(out, header);
}

void putPositionTrack(std::vector<uint8_t>& out, float x, float y, float z) {
  const size_t track = beginChunk(out, 0xB020);
  putTrackHeader(out, 1);
  putKeyHeader(out, 0);
  putF32(out, x);
  putF32(out, y);
  putF32(out, z);
  endChunk(out, track);
}

const char* const meshName = "DemoScene";
const char* const materialName = "Tiles";
const char* const lightName = "Light01";
const char* const cameraName = "Camera01";
const float lightStart[3] = {20.0f, 20.0f, 70.0f};

std::vector<uint8_t> writeScene(const SceneMesh& mesh) {
  std::vector<uint8_t> out;
  const size_t main = beginChunk(out, 0x4D4D);
  const size_t version = beginChunk(out, 0x0002);
  putU32(out, 3);
  endChunk(out, version);

  const size_t editor = beginChunk(out, 0x3D3D);
  const size_t meshVersion = beginChunk(out, 0x3D3E);
  putU32(out, 3);
  endChunk(out, meshVersion);

  const size_t material = beginChunk(out, 0xAFFF);
  const size_t name = beginChunk(out, 0xA000);
  putString(out, materialName);
  endChunk(out, name);
  putColourBlock(out, 0xA010, 64, 64, 64);
  putColourBlock(out, 0xA020, 230, 230, 230);
  putColourBlock(out, 0xA030, 229, 229, 229);
  putPercentageBlock(out, 0xA040, 20);
  putPercentageBlock(out, 0xA041, 5);
  putPercentageBlock(out, 0xA050, 0);
  const size_t shading = beginChunk(out, 0xA100);
  putU16(out, 3);  // Phong
  endChunk(out, shading);
  const size_t map = beginChunk(out, 0xA200);
  const size_t strength = beginChunk(out, 0x0030);
  putU16(out, 100);
  endChunk(out, strength);
  const size_t mapName = beginChunk(out, 0xA300);
  putString(out, "txt.tif");
  endChunk(out, mapName);
  const size_t tiling = beginChunk(out, 0xA351);
  putU16(out, 0);
  endChunk(out, tiling);
  endChunk(out, map);
  endChunk(out, material);

  const size_t scale = beginChunk(out, 0x0100);
  putF32(out, 1.0f);
  endChunk(out, scale);

  const size_t object = beginChunk(out, 0x4000);
  putString(out, meshName);
  const size_t triMesh = beginChunk(out, 0x4100);
  const size_t vertexList = beginChunk(out, 0x4110);
  putU16(out, static_cast<unsigned>(mesh.vertices.size()));
  for (const Point& p : mesh.vertices) {
    putF32(out, static_cast<float>(p.x));
    putF32(out, static_cast<float>(p.y));
    putF32(out, static_cast<float>(p.z));
  }
  endChunk(out, vertexList);
  const size_t mapping = beginChunk(out, 0x4140);
  putU16(out, static_cast<unsigned>(mesh.vertices.size()));
  for (const Point& p : mesh.vertices) {
    float u = 0.0f;
    float v = 0.0f;
    mappingCoordinates(p, u, v);
    putF32(out, u);
    putF32(out, v);
  }
  endChunk(out, mapping);
  const size_t matrix = beginChunk(out, 0x4160);
  const float identity[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
  for (float m : identity) putF32(out, m);
  endChunk(out, matrix);
  const size_t faceList = beginChunk(out, 0x4120);
  putU16(out, static_cast<unsigned>(mesh.faces.size()));
  for (const Triangle& t : mesh.faces) {
    for (int corner : t.corner) putU16(out, static_cast<unsigned>(corner));
    putU16(out, t.flags);
  }
  const size_t binding = beginChunk(out, 0x4130);
  putString(out, materialName);
  putU16(out, static_cast<unsigned>(mesh.faces.size()));
  for (size_t f = 0; f < mesh.faces.size(); ++f) putU16(out, static_cast<unsigned>(f));
  endChunk(out, binding);
  const size_t smoothing = beginChunk(out, 0x4150);
  for (const Triangle& t : mesh.faces) putU32(out, t.smoothing);
  endChunk(out, smoothing);
  endChunk(out, faceList);
  endChunk(out, triMesh);
  endChunk(out, object);

  const size_t lightObject = beginChunk(out, 0x4000);
  putString(out, lightName);
  const size_t light = beginChunk(out, 0x4600);
  for (float c : lightStart) putF32(out, c);
  const size_t lightColour = beginChunk(out, 0x0010);
  for (int n = 0; n < 3; ++n) putF32(out, 0.7f);
  endChunk(out, lightColour);
  endChunk(out, light);
  endChunk(out, lightObject);

  // The start view: 45 degrees vertical at 4:3 is about 57.8 degrees across,
  // which a 36 mm wide film frame gets from a 32.6 mm lens.
  const size_t cameraObject = beginChunk(out, 0x4000);
  putString(out, cameraName);
  const size_t camera = beginChunk(out, 0x4700);
  for (float c : {0.0f, 0.0f, 200.0f, 0.0f, 0.0f, 0.0f, 0.0f, 32.59f}) putF32(out, c);
  const size_t ranges = beginChunk(out, 0x4720);
  putF32(out, 15.0f);
  putF32(out, 1000.0f);
  endChunk(out, ranges);
  endChunk(out, camera);
  endChunk(out, cameraObject);
  endChunk(out, editor);

  const size_t keyframer = beginChunk(out, 0xB000);
  const size_t header = beginChunk(out, 0xB00A);
  putU16(out, 5);
  putString(out, "shadow2");
  putU32(out, 100);
  endChunk(out, header);
  const size_t segment = beginChunk(out, 0xB008);
  putU32(out, 0);
  putU32(out, 100);
  endChunk(out, segment);
  const size_t currentFrame = beginChunk(out, 0xB009);
  putU32(out, 0);
  endChunk(out, currentFrame);

  const size_t objectNode = beginChunk(out, 0xB002);
  putNodeHeader(out, 0, meshName);
  const size_t pivot = beginChunk(out, 0xB013);
  for (int n = 0; n < 3; ++n) putF32(out, 0.0f);
  endChunk(out, pivot);
  putPositionTrack(out, 0.0f, 0.0f, 0.0f);
  const size_t rotation = beginChunk(out, 0xB021);
  putTrackHeader(out, 1);
  putKeyHeader(out, 0);
  for (float c : {0.0f, 0.0f, 0.0f, 1.0f}) putF32(out, c);  // angle, then axis
  endChunk(out, rotation);
  const size_t scaling = beginChunk(out, 0xB022);
  putTrackHeader(out, 1);
  putKeyHeader(out, 0);
  for (int n = 0; n < 3; ++n) putF32(out, 1.0f);
  endChunk(out, scaling);
  endChunk(out, objectNode);

  const size_t lightNode = beginChunk(out, 0xB005);
  putNodeHeader(out, 1, lightName);
  putPositionTrack(out, lightStart[0], lightStart[1], lightStart[2]);
  endChunk(out, lightNode);

  // A camera has two nodes, the eye and its target, under the one name.
  const size_t cameraNode = beginChunk(out, 0xB003);
  putNodeHeader(out, 2, cameraName);
  putPositionTrack(out, 0.0f, 0.0f, 200.0f);
  endChunk(out, cameraNode);
  const size_t targetNode = beginChunk(out, 0xB004);
  putNodeHeader(out, 3, cameraName);
  putPositionTrack(out, 0.0f, 0.0f, 0.0f);
  endChunk(out, targetNode);
  endChunk(out, keyframer);
  endChunk(out, main);
  return out;
}

constexpr int textureSize = 256;
constexpr int tileSize = 64;

unsigned pixelNoise(int x, int y) {
  uint32_t h = static_cast<uint32_t>(x) * 73856093u ^ static_cast<uint32_t>(y) * 19349663u;
  h ^= h >> 13;
  h *= 0x5BD1E995u;
  h ^= h >> 15;
  return h % 9u;  // 0 .. 8
}

// Light tiles in four gentle tints with a soft bevel and narrow grout, so the
// texture tints the lighting without hiding it: no channel goes below 180.
// The pattern repeats seamlessly, as the texture is drawn with wrapping.
std::vector<uint8_t> texturePixels() {
  static const int tints[4][3] = {{244, 236, 218}, {220, 230, 244}, {226, 240, 220}, {242, 224, 228}};
  const int grout[3] = {196, 192, 186};
  std::vector<uint8_t> pixels;
  pixels.reserve(textureSize * textureSize * 3);
  for (int y = 0; y < textureSize; ++y)
    for (int x = 0; x < textureSize; ++x) {
      const int tx = x / tileSize;
      const int ty = y / tileSize;
      const int px = x % tileSize;
      const int py = y % tileSize;
      const bool inGrout = px < 2 || py < 2 || px == tileSize - 1 || py == tileSize - 1;
      const int* tint = tints[(tx + 2 * ty) % 4];
      int shade = 0;
      if (!inGrout) {
        const int bevel = 6;
        if (px < 2 + bevel || py < 2 + bevel) shade += 8;
        if (px >= tileSize - 1 - bevel || py >= tileSize - 1 - bevel) shade -= 10;
      }
      const int grain = static_cast<int>(pixelNoise(x, y)) - 4;
      for (int c = 0; c < 3; ++c) {
        int value = (inGrout ? grout[c] : tint[c]) + shade + grain;
        if (value > 255) value = 255;
        if (value < 180) value = 180;
        pixels.push_back(static_cast<uint8_t>(value));
      }
    }
  return pixels;
}

// Little-endian, one strip, no compression: the tags a baseline RGB reader
// needs and nothing else.
std::vector<uint8_t> writeTiff(const std::vector<uint8_t>& pixels) {
  std::vector<uint8_t> out;
  out.push_back('I');
  out.push_back('I');
  putU16(out, 42);
  const uint32_t pixelOffset = 8;
  const uint32_t pixelBytes = static_cast<uint32_t>(pixels.size());
  const uint32_t bitsOffset = pixelOffset + pixelBytes;
  const uint32_t xResolutionOffset = bitsOffset + 6;
  const uint32_t yResolutionOffset = xResolutionOffset + 8;
  const uint32_t directoryOffset = yResolutionOffset + 8;
  putU32(out, directoryOffset);
  out.insert(out.end(), pixels.begin(), pixels.end());
  for (int n = 0; n < 3; ++n) putU16(out, 8);
  for (int n = 0; n < 2; ++n) {
    putU32(out, 72);
    putU32(out, 1);
  }
  const unsigned shortType = 3;
  const unsigned longType = 4;
  const unsigned rationalType = 5;
  struct Entry {
    unsigned tag;
    unsigned type;
    uint32_t count;
    uint32_t value;
  };
  const Entry entries[] = {
      {256, shortType, 1, textureSize},          // ImageWidth
      {257, shortType, 1, textureSize},          // ImageLength
      {258, shortType, 3, bitsOffset},           // BitsPerSample
      {259, shortType, 1, 1},                    // Compression: none
      {262, shortType, 1, 2},                    // PhotometricInterpretation: RGB
      {273, longType, 1, pixelOffset},           // StripOffsets
      {277, shortType, 1, 3},                    // SamplesPerPixel
      {278, shortType, 1, textureSize},          // RowsPerStrip
      {279, longType, 1, pixelBytes},            // StripByteCounts
      {282, rationalType, 1, xResolutionOffset}, // XResolution
      {283, rationalType, 1, yResolutionOffset}, // YResolution
      {284, shortType, 1, 1},                    // PlanarConfiguration: chunky
      {296, shortType, 1, 2},                    // ResolutionUnit: inch
  };
  putU16(out, static_cast<unsigned>(sizeof entries / sizeof entries[0]));
  for (const Entry& e : entries) {
    putU16(out, e.tag);
    putU16(out, e.type);
    putU32(out, e.count);
    if (e.type == shortType && e.count == 1) {
      putU16(out, e.value);  // a single SHORT sits in the first half of the field
      putU16(out, 0);
    } else {
      putU32(out, e.value);
    }
  }
  putU32(out, 0);  // no further directory
  return out;
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

// Catches a mistake in the builders above before it reaches a committed file.
bool sceneIsSound(const SceneMesh& mesh, const std::vector<Part>& parts) {
  const size_t vertexLimit = 32767;  // counts and corners are read as signed 16-bit
  if (mesh.vertices.size() > vertexLimit || mesh.faces.size() > vertexLimit) return false;
  for (const Part& part : parts)
    if (part.closed && !(signedVolume6(mesh, part) > 0.0)) {
      std::fprintf(stderr, "make_demo_data: %s is wound inside out\n", part.name);
      return false;
    }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_demo_data <output-folder>\n");
    return 2;
  }
  std::vector<Part> parts;
  const SceneMesh mesh = buildScene(parts);
  if (!sceneIsSound(mesh, parts)) return 1;
  const std::string folder = argv[1];
  const std::string scenePath = folder + "/shadow2.3DS";
  const std::string texturePath = folder + "/txt_uncompressed.tif";
  if (!writeFile(scenePath, writeScene(mesh))) {
    std::fprintf(stderr, "make_demo_data: cannot write %s\n", scenePath.c_str());
    return 1;
  }
  if (!writeFile(texturePath, writeTiff(texturePixels()))) {
    std::fprintf(stderr, "make_demo_data: cannot write %s\n", texturePath.c_str());
    return 1;
  }
  return 0;
}
