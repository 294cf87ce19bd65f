// make_concave_scene <file.3DS>: writes a scene where the first shadow mode
// goes wrong, for the README's pictures of it (tools/mode_screenshots.sh):
// one mesh, in front of the start view (eye at (0, 0, 200) looking down -Z,
// light at (20, 20, 70)), of a flat receiver at z = -20 that fills the view
// and, above it, a closed lumpy ball of 4,680 faces, a sphere whose radius
// rises and falls by a tenth in broad lumps, round like a scanned stone but
// with hollows between the lumps. Its silhouette seen from the light folds
// into those hollows, so its shadow volume folds too: an eye ray may leave
// one fold and enter another before it reaches the receiver, and the first
// mode, which does not count, draws that pixel lit.
// Only the chunks the demo reads: no material, mapping, camera or keyframes.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

struct Point {
  float x, y, z;
};

struct Mesh {
  std::vector<Point> vertices;
  std::vector<uint16_t> corners;  // three per face, counter-clockwise seen from outside
};

constexpr double pi = 3.14159265358979323846;

uint16_t addVertex(Mesh& mesh, double x, double y, double z) {
  mesh.vertices.push_back({static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)});
  return static_cast<uint16_t>(mesh.vertices.size() - 1);
}

void addFace(Mesh& mesh, uint16_t a, uint16_t b, uint16_t c) {
  mesh.corners.insert(mesh.corners.end(), {a, b, c});
}

// The receiver: a grid facing +Z, so its vertex shading has points to vary over.
void addReceiver(Mesh& mesh) {
  constexpr int columns = 40, rows = 30;
  const uint16_t first = static_cast<uint16_t>(mesh.vertices.size());
  for (int j = 0; j <= rows; ++j)
    for (int i = 0; i <= columns; ++i) addVertex(mesh, -200.0 + 10.0 * i, -150.0 + 10.0 * j, -20.0);
  for (int j = 0; j < rows; ++j)
    for (int i = 0; i < columns; ++i) {
      const auto at = [&](int di, int dj) {
        return static_cast<uint16_t>(first + (j + dj) * (columns + 1) + i + di);
      };
      addFace(mesh, at(0, 0), at(1, 0), at(1, 1));
      addFace(mesh, at(0, 0), at(1, 1), at(0, 1));
    }
}

// A sphere about the Z axis, rings from the top pole down, its radius
// scaled by lumps that run round it and across it.
void addBlob(Mesh& mesh) {
  constexpr int rings = 40, segments = 60;
  constexpr double cx = -10.0, cy = -8.0, cz = 5.0, radius = 20.0, depth = 0.1;
  const auto point = [&](int ring, int segment) {
    const double polar = pi * ring / rings, around = 2.0 * pi * segment / segments;
    const double r = radius * (1.0 + depth * std::sin(3.0 * around) * std::sin(2.0 * polar));
    return addVertex(mesh, cx + r * std::sin(polar) * std::cos(around),
                     cy + r * std::sin(polar) * std::sin(around), cz + r * std::cos(polar));
  };
  const uint16_t top = addVertex(mesh, cx, cy, cz + radius);
  const uint16_t first = static_cast<uint16_t>(mesh.vertices.size());
  for (int ring = 1; ring < rings; ++ring)
    for (int segment = 0; segment < segments; ++segment) point(ring, segment);
  const uint16_t bottom = addVertex(mesh, cx, cy, cz - radius);
  const auto at = [&](int ring, int segment) {
    return static_cast<uint16_t>(first + (ring - 1) * segments + segment % segments);
  };
  for (int segment = 0; segment < segments; ++segment) {
    addFace(mesh, top, at(1, segment), at(1, segment + 1));
    addFace(mesh, bottom, at(rings - 1, segment + 1), at(rings - 1, segment));
    for (int ring = 1; ring < rings - 1; ++ring) {
      addFace(mesh, at(ring, segment), at(ring + 1, segment), at(ring + 1, segment + 1));
      addFace(mesh, at(ring, segment), at(ring + 1, segment + 1), at(ring, segment + 1));
    }
  }
}

void put16(std::vector<uint8_t>& out, unsigned value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t value) {
  put16(out, value & 0xFFFFu);
  put16(out, value >> 16);
}

void putFloat(std::vector<uint8_t>& out, float value) {
  uint32_t bits = 0;
  static_assert(sizeof bits == sizeof value);
  std::memcpy(&bits, &value, sizeof bits);
  put32(out, bits);
}

size_t beginChunk(std::vector<uint8_t>& out, unsigned id) {
  put16(out, id);
  put32(out, 0);
  return out.size() - 6;
}

void endChunk(std::vector<uint8_t>& out, size_t start) {
  const uint32_t length = static_cast<uint32_t>(out.size() - start);
  for (int i = 0; i < 4; ++i) out[start + 2 + i] = static_cast<uint8_t>(length >> (8 * i));
}

std::vector<uint8_t> sceneBytes(const Mesh& mesh) {
  std::vector<uint8_t> out;
  const size_t main = beginChunk(out, 0x4D4D);
  const size_t editor = beginChunk(out, 0x3D3D);
  const size_t object = beginChunk(out, 0x4000);
  for (const char* c = "Blob";; ++c) {
    out.push_back(static_cast<uint8_t>(*c));
    if (*c == '\0') break;
  }
  const size_t triangles = beginChunk(out, 0x4100);
  const size_t vertices = beginChunk(out, 0x4110);
  put16(out, static_cast<unsigned>(mesh.vertices.size()));
  for (const Point& p : mesh.vertices) {
    putFloat(out, p.x);
    putFloat(out, p.y);
    putFloat(out, p.z);
  }
  endChunk(out, vertices);
  const size_t faces = beginChunk(out, 0x4120);
  put16(out, static_cast<unsigned>(mesh.corners.size() / 3));
  for (size_t i = 0; i < mesh.corners.size(); i += 3) {
    for (size_t corner = 0; corner < 3; ++corner) put16(out, mesh.corners[i + corner]);
    put16(out, 7);  // every edge visible
  }
  endChunk(out, faces);
  endChunk(out, triangles);
  endChunk(out, object);
  endChunk(out, editor);
  endChunk(out, main);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <file.3DS>\n", argv[0]);
    return 2;
  }
  Mesh mesh;
  addReceiver(mesh);
  addBlob(mesh);
  const std::vector<uint8_t> bytes = sceneBytes(mesh);
  std::FILE* file = std::fopen(argv[1], "wb");
  const bool written = file != nullptr &&
                       std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() &&
                       std::fclose(file) == 0;
  if (!written) {
    std::fprintf(stderr, "%s: could not be written\n", argv[1]);
    return 1;
  }
  std::printf("%s: %zu faces, %zu vertices\n", argv[1], mesh.corners.size() / 3,
              mesh.vertices.size());
  return 0;
}
