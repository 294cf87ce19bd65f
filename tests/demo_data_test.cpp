// Checks the bundled demo data: the committed files are exactly what
// tools/make_demo_data.sh writes, and the scene, as our own reader reads it,
// has the shape the demo relies on. Shape means: the first mesh is the whole
// scene, its casters are closed and wound counter-clockwise seen from outside,
// and in the start view (found by casting rays on the CPU) a flat receiver
// fills the view, every caster shadows it, one caster shadows itself, and
// everything lies within the light's reach with the eye outside every shadow.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <numeric>
#include <string>
#include <vector>

#include "assets/byte_reader.h"
#include "assets/scene_reader.h"

namespace {

const char* const dataFiles[] = {"shadow2.3DS", "txt.tif"};

TEST(DemoData, CommittedFilesAreWhatTheScriptWrites) {
  const std::string generator = BINARY_DIR "/tools/make_demo_data";
  ASSERT_EQ(access(generator.c_str(), X_OK), 0) << "build the make_demo_data target first";
  std::string folder = testing::TempDir() + "demo_data_XXXXXX";
  ASSERT_NE(mkdtemp(folder.data()), nullptr);
  const std::string command =
      "sh '" SOURCE_DIR "/tools/make_demo_data.sh' '" + generator + "' '" + folder + "'";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;

  for (const char* name : dataFiles) {
    std::vector<uint8_t> written;
    std::vector<uint8_t> committed;
    ASSERT_TRUE(loadFile((folder + "/" + name).c_str(), written)) << name;
    ASSERT_TRUE(loadFile((std::string(DATA_DIR "/") + name).c_str(), committed)) << name;
    const auto mismatch = std::mismatch(written.begin(), written.end(), committed.begin(), committed.end());
    EXPECT_TRUE(written == committed)
        << "data/" << name << " is out of date (first difference at byte "
        << (mismatch.first - written.begin()) << "): run tools/make_demo_data.sh "
        << generator << " data";
  }
  EXPECT_NE(access((folder + "/txt_uncompressed.tif").c_str(), F_OK), 0)
      << "the script leaves its intermediate behind";

  for (const char* name : {"shadow2.3DS", "txt.tif", "txt_uncompressed.tif"})
    std::remove((folder + "/" + name).c_str());
  rmdir(folder.c_str());
}

// The start view and light of the demo.
constexpr double eyeZ = 200.0;
constexpr double nearPlane = 15.0;
constexpr double farPlane = 1000.0;
constexpr double verticalFieldOfView = 45.0;
constexpr double aspect = 4.0 / 3.0;
constexpr double lightRadius = 210.0;

struct Vector {
  double x;
  double y;
  double z;
};

Vector operator-(Vector a, Vector b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vector operator+(Vector a, Vector b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vector operator*(double s, Vector a) { return {s * a.x, s * a.y, s * a.z}; }
double dot(Vector a, Vector b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vector cross(Vector a, Vector b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double length(Vector a) { return std::sqrt(dot(a, a)); }

const Vector eye{0.0, 0.0, eyeZ};
const Vector light{20.0, 20.0, 70.0};

Vector position(const Mesh& mesh, int32_t vertex) {
  const Vec3& v = mesh.vertices[vertex];
  return {v.x, v.y, v.z};
}

Vector corner(const Mesh& mesh, int face, int which) {
  return position(mesh, mesh.faces[face].corner[which]);
}

// The normal by the right-hand rule over the stored corner order: outward for
// a face that runs counter-clockwise seen from outside.
Vector windingNormal(const Mesh& mesh, int face) {
  const Vector a = corner(mesh, face, 0);
  return cross(corner(mesh, face, 1) - a, corner(mesh, face, 2) - a);
}

// Faces meet where they share an edge by position, as the edge list pairs
// them; +0.0 stands for -0.0, which compares equal to it.
using EdgeKey = std::array<float, 6>;

struct EdgeUse {
  int face;
  bool fromLowEnd;  // the face runs along the edge from the lower position
};

struct Part {
  std::vector<int> faces;
  bool closed;
};

// Nearest ray hits over the mesh, with faces taken in runs of consecutive
// faces, each run inside a box; the generator lays faces out in space order.
struct RayCaster {
  struct Run {
    int first;
    int end;
    Vector low;
    Vector high;
  };
  const Mesh* mesh;
  std::vector<Run> runs;
};

RayCaster makeRayCaster(const Mesh& mesh) {
  RayCaster caster{&mesh, {}};
  const int runLength = 32;
  for (int first = 0; first < mesh.faceCount; first += runLength) {
    RayCaster::Run run{first, std::min(mesh.faceCount, first + runLength), {1e30, 1e30, 1e30},
                       {-1e30, -1e30, -1e30}};
    for (int f = run.first; f < run.end; ++f)
      for (int c = 0; c < 3; ++c) {
        const Vector p = corner(mesh, f, c);
        run.low = {std::min(run.low.x, p.x), std::min(run.low.y, p.y), std::min(run.low.z, p.z)};
        run.high = {std::max(run.high.x, p.x), std::max(run.high.y, p.y), std::max(run.high.z, p.z)};
      }
    caster.runs.push_back(run);
  }
  return caster;
}

bool rayMeetsBox(Vector origin, Vector direction, Vector low, Vector high, double tMax) {
  double enter = 0.0;
  double leave = tMax;
  const double o[3] = {origin.x, origin.y, origin.z};
  const double d[3] = {direction.x, direction.y, direction.z};
  const double lo[3] = {low.x, low.y, low.z};
  const double hi[3] = {high.x, high.y, high.z};
  for (int axis = 0; axis < 3; ++axis) {
    if (d[axis] == 0.0) {
      if (o[axis] < lo[axis] || o[axis] > hi[axis]) return false;
      continue;
    }
    double t0 = (lo[axis] - o[axis]) / d[axis];
    double t1 = (hi[axis] - o[axis]) / d[axis];
    if (t0 > t1) std::swap(t0, t1);
    enter = std::max(enter, t0);
    leave = std::min(leave, t1);
  }
  return enter <= leave + 1e-9;
}

// Both sides of a face count.
bool rayMeetsFace(const Mesh& mesh, int face, Vector origin, Vector direction, double& t) {
  const Vector a = corner(mesh, face, 0);
  const Vector e1 = corner(mesh, face, 1) - a;
  const Vector e2 = corner(mesh, face, 2) - a;
  const Vector p = cross(direction, e2);
  const double determinant = dot(e1, p);
  if (std::fabs(determinant) < 1e-12) return false;
  const Vector s = origin - a;
  const double u = dot(s, p) / determinant;
  if (u < 0.0 || u > 1.0) return false;
  const Vector q = cross(s, e1);
  const double v = dot(direction, q) / determinant;
  if (v < 0.0 || u + v > 1.0) return false;
  t = dot(e2, q) / determinant;
  return true;
}

// The nearest face met between tMin and tMax, or -1.
int nearestHit(const RayCaster& caster, Vector origin, Vector direction, double tMin, double tMax,
               double& tHit) {
  int best = -1;
  tHit = tMax;
  for (const RayCaster::Run& run : caster.runs) {
    if (!rayMeetsBox(origin, direction, run.low, run.high, tHit)) continue;
    for (int f = run.first; f < run.end; ++f) {
      double t = 0.0;
      if (rayMeetsFace(*caster.mesh, f, origin, direction, t) && t > tMin && t < tHit) {
        tHit = t;
        best = f;
      }
    }
  }
  return best;
}

class DemoScene : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    scene = readScene(DATA_DIR "/shadow2.3DS", 1);
    if (!scene || scene->meshCount < 1) return;
    const Mesh& mesh = *scene->meshes[0];
    for (int f = 0; f < mesh.faceCount; ++f)
      for (int c = 0; c < 3; ++c)
        if (mesh.faces[f].corner[c] < 0 || mesh.faces[f].corner[c] >= mesh.vertexCount) return;
    facesAreValid = true;
    findEdgesAndParts(mesh);
    caster = new RayCaster(makeRayCaster(mesh));
  }

  static void TearDownTestSuite() {
    releaseScene(scene);
    scene = nullptr;
    delete caster;
    caster = nullptr;
  }

  void SetUp() override {
    ASSERT_NE(scene, nullptr);
    ASSERT_GE(scene->meshCount, 1);
    ASSERT_TRUE(facesAreValid) << "a face names a vertex outside the first mesh";
  }

  static EdgeKey edgeKey(const Mesh& mesh, int32_t from, int32_t to, bool& fromLowEnd) {
    const Vec3& p = mesh.vertices[from];
    const Vec3& q = mesh.vertices[to];
    const std::array<float, 3> a{p.x + 0.0f, p.y + 0.0f, p.z + 0.0f};
    const std::array<float, 3> b{q.x + 0.0f, q.y + 0.0f, q.z + 0.0f};
    fromLowEnd = a < b;
    const auto& low = fromLowEnd ? a : b;
    const auto& high = fromLowEnd ? b : a;
    return {low[0], low[1], low[2], high[0], high[1], high[2]};
  }

  static void findEdgesAndParts(const Mesh& mesh) {
    edges.clear();
    for (int f = 0; f < mesh.faceCount; ++f)
      for (int c = 0; c < 3; ++c) {
        bool fromLowEnd = false;
        const EdgeKey key =
            edgeKey(mesh, mesh.faces[f].corner[c], mesh.faces[f].corner[(c + 1) % 3], fromLowEnd);
        edges[key].push_back({f, fromLowEnd});
      }
    std::vector<int> root(static_cast<size_t>(mesh.faceCount));
    std::iota(root.begin(), root.end(), 0);
    auto find = [&](int f) {
      while (root[f] != f) f = root[f] = root[root[f]];
      return f;
    };
    for (const auto& [key, uses] : edges)
      for (const EdgeUse& use : uses) root[find(use.face)] = find(uses.front().face);
    partOfFace.assign(static_cast<size_t>(mesh.faceCount), -1);
    parts.clear();
    std::map<int, int> partOfRoot;
    for (int f = 0; f < mesh.faceCount; ++f) {
      const auto found = partOfRoot.emplace(find(f), static_cast<int>(parts.size()));
      if (found.second) parts.push_back({{}, true});
      partOfFace[f] = found.first->second;
      parts[found.first->second].faces.push_back(f);
    }
    for (const auto& [key, uses] : edges)
      if (uses.size() != 2) parts[partOfFace[uses.front().face]].closed = false;
  }

  static Scene* scene;
  static bool facesAreValid;
  static std::map<EdgeKey, std::vector<EdgeUse>> edges;
  static std::vector<Part> parts;
  static std::vector<int> partOfFace;
  static RayCaster* caster;
};

Scene* DemoScene::scene = nullptr;
bool DemoScene::facesAreValid = false;
std::map<EdgeKey, std::vector<EdgeUse>> DemoScene::edges;
std::vector<Part> DemoScene::parts;
std::vector<int> DemoScene::partOfFace;
RayCaster* DemoScene::caster = nullptr;

// The reader keeps no count of mapping coordinates, so the counts of the first
// vertex list and the first mapping list are taken from the file itself.
void firstListCounts(const std::vector<uint8_t>& bytes, int& vertexCount, int& mappingCount) {
  ByteReader reader = makeByteReader(bytes);
  vertexCount = -1;
  mappingCount = -1;
  while (bytesLeft(reader) >= 6 && (vertexCount < 0 || mappingCount < 0)) {
    const size_t start = reader.position;
    const uint16_t id = readU16(reader);
    const uint32_t chunkLength = readU32(reader);
    if (id == 0x4D4D || id == 0x3D3D || id == 0x4100) continue;
    if (id == 0x4000) {
      while (bytesLeft(reader) > 0 && readU8(reader) != 0) {
      }
      continue;
    }
    if (id == 0x4110 && vertexCount < 0) vertexCount = readU16(reader);
    if (id == 0x4140 && mappingCount < 0) mappingCount = readU16(reader);
    if (chunkLength < 6) return;
    seekTo(reader, start + chunkLength);
  }
}

TEST_F(DemoScene, FirstMeshIsTheWholeSceneWithMappingForEveryVertexAndTheTexture) {
  const Mesh& mesh = *scene->meshes[0];
  EXPECT_EQ(scene->meshCount, 1);
  EXPECT_GE(mesh.faceCount, 3000);
  EXPECT_LE(mesh.faceCount, 15000);

  std::vector<uint8_t> bytes;
  ASSERT_TRUE(loadFile(DATA_DIR "/shadow2.3DS", bytes));
  int vertexCount = 0;
  int mappingCount = 0;
  firstListCounts(bytes, vertexCount, mappingCount);
  EXPECT_EQ(vertexCount, mesh.vertexCount);
  EXPECT_EQ(mappingCount, mesh.vertexCount);
  ASSERT_NE(mesh.texCoords, nullptr);
  for (int v = 0; v < mesh.vertexCount; ++v)
    ASSERT_TRUE(std::isfinite(mesh.texCoords[v].u) && std::isfinite(mesh.texCoords[v].v)) << v;

  ASSERT_NE(mesh.material, nullptr) << "the faces are bound to no material of the file";
  EXPECT_STREQ(mesh.material->textureMap.fileName, "txt.tif");
}

TEST_F(DemoScene, CastersAreClosedAndEveryPartFacesOutward) {
  const Mesh& mesh = *scene->meshes[0];
  int crowdedEdges = 0;
  int opposedEdges = 0;
  for (const auto& [key, uses] : edges) {
    if (uses.size() > 2) ++crowdedEdges;
    if (uses.size() == 2 && uses[0].fromLowEnd == uses[1].fromLowEnd) ++opposedEdges;
  }
  EXPECT_EQ(crowdedEdges, 0) << "edges with more than two faces";
  EXPECT_EQ(opposedEdges, 0) << "edges whose two faces are wound against each other";

  int openParts = 0;
  for (const Part& part : parts) {
    const int first = part.faces.front();
    int flatFaces = 0;
    for (int f : part.faces)
      if (!(length(windingNormal(mesh, f)) > 1e-9)) ++flatFaces;
    EXPECT_EQ(flatFaces, 0) << "faces without area in the part of face " << first;
    if (part.closed) {
      double volume6 = 0.0;
      int repeatedVertices = 0;
      std::map<std::array<float, 3>, int32_t> vertexAt;
      for (int f : part.faces) {
        volume6 += dot(corner(mesh, f, 0), cross(corner(mesh, f, 1), corner(mesh, f, 2)));
        for (int c = 0; c < 3; ++c) {
          const int32_t v = mesh.faces[f].corner[c];
          const Vec3& p = mesh.vertices[v];
          if (vertexAt.emplace(std::array<float, 3>{p.x, p.y, p.z}, v).first->second != v)
            ++repeatedVertices;
        }
      }
      EXPECT_GT(volume6, 0.0) << "the closed part of face " << first << " is inside out";
      EXPECT_EQ(repeatedVertices, 0) << "the closed part of face " << first
                                     << " has two vertices at one place";
      continue;
    }
    // An open part casts no shadow only while it is flat: then no inner edge
    // can be a silhouette edge. Its front must face the eye and the light.
    ++openParts;
    const Vector origin = corner(mesh, first, 0);
    const Vector normal = windingNormal(mesh, first);
    const Vector unit = (1.0 / length(normal)) * normal;
    int offPlane = 0;
    int turnedAway = 0;
    for (int f : part.faces) {
      for (int c = 0; c < 3; ++c)
        if (std::fabs(dot(corner(mesh, f, c) - origin, unit)) > 1e-3) ++offPlane;
      if (!(dot(windingNormal(mesh, f), unit) > 0.0)) ++turnedAway;
    }
    EXPECT_EQ(offPlane, 0) << "the open part of face " << first << " is not flat";
    EXPECT_EQ(turnedAway, 0) << "the open part of face " << first << " is not wound alike";
    EXPECT_GT(dot(eye - origin, unit), 0.0) << "the open part of face " << first << " shows its back";
    EXPECT_GT(dot(light - origin, unit), 0.0) << "the open part of face " << first << " turns from the light";
  }
  EXPECT_EQ(openParts, 1) << "one flat receiver";
  EXPECT_GE(parts.size(), 3u) << "a receiver and at least two casters";
}

TEST_F(DemoScene, EverythingIsInTheLightsReachAndTheEyeOutsideEveryShadow) {
  const Mesh& mesh = *scene->meshes[0];
  for (int v = 0; v < mesh.vertexCount; ++v) {
    const Vector p = position(mesh, v);
    EXPECT_LT(length(p - light), lightRadius) << v;
    EXPECT_GT(eyeZ - p.z, nearPlane) << v;
    EXPECT_LT(eyeZ - p.z, farPlane) << v;
  }
  // The volumes have no caps, so the picture is right only while the eye is in
  // no volume: nothing may stand between the light and the eye.
  double t = 0.0;
  EXPECT_EQ(nearestHit(*caster, light, eye - light, 1e-9, 1.0, t), -1);

  // Neither the light nor the eye inside a closed part: an even number of
  // crossings along a ray.
  const Vector outward{0.1234, 0.2345, 1.0};
  for (const Vector& point : {light, eye}) {
    std::vector<int> crossings(parts.size(), 0);
    for (int f = 0; f < mesh.faceCount; ++f)
      if (rayMeetsFace(mesh, f, point, outward, t) && t > 0.0) ++crossings[partOfFace[f]];
    for (size_t p = 0; p < parts.size(); ++p) {
      if (parts[p].closed) {
        EXPECT_EQ(crossings[p] % 2, 0) << "part of face " << parts[p].faces.front();
      }
    }
  }
}

TEST_F(DemoScene, StartViewShowsAFullReceiverShadowsOnItAndASelfShadow) {
  const Mesh& mesh = *scene->meshes[0];
  const int columns = 160;
  const int rows = 120;
  const double tanHalf = std::tan(verticalFieldOfView * 0.5 * std::acos(-1.0) / 180.0);

  int receiver = -1;
  for (size_t p = 0; p < parts.size(); ++p)
    if (!parts[p].closed) receiver = static_cast<int>(p);
  ASSERT_GE(receiver, 0);

  int misses = 0;
  int receiverSeen = 0;
  std::vector<int> shadowOnReceiver(parts.size(), 0);
  std::vector<int> selfShadow(parts.size(), 0);
  for (int row = 0; row < rows; ++row)
    for (int column = 0; column < columns; ++column) {
      const Vector direction{(2.0 * (column + 0.5) / columns - 1.0) * tanHalf * aspect,
                             (1.0 - 2.0 * (row + 0.5) / rows) * tanHalf, -1.0};
      double t = 0.0;
      const int face = nearestHit(*caster, eye, direction, nearPlane, farPlane, t);
      if (face < 0) {
        ++misses;
        continue;
      }
      const int part = partOfFace[face];
      if (part == receiver) ++receiverSeen;
      const Vector point = eye + t * direction;
      const Vector toLight = light - point;
      if (dot(windingNormal(mesh, face), toLight) <= 0.0) continue;  // turned from the light
      double tBlock = 0.0;
      const int blocker = nearestHit(*caster, point, toLight, 1e-5, 1.0, tBlock);
      if (blocker < 0) continue;
      const int blockingPart = partOfFace[blocker];
      if (part == receiver && blockingPart != receiver) ++shadowOnReceiver[blockingPart];
      if (part == blockingPart) ++selfShadow[part];
    }

  const int samples = columns * rows;
  EXPECT_EQ(misses, 0) << "the view shows background";
  EXPECT_GT(receiverSeen, samples * 6 / 10) << "the receiver fills too little of the view";
  const int visible = samples / 400;  // a patch of some 30 x 30 pixels in the 800 x 600 view
  for (size_t p = 0; p < parts.size(); ++p) {
    if (parts[p].closed) {
      EXPECT_GE(shadowOnReceiver[p], visible)
          << "the caster of face " << parts[p].faces.front() << " shadows too little of the receiver";
    }
  }
  EXPECT_EQ(selfShadow[static_cast<size_t>(receiver)], 0);
  EXPECT_GE(*std::max_element(selfShadow.begin(), selfShadow.end()), visible)
      << "no caster visibly shadows part of itself";
}

}  // namespace
