// The real frame's pixels, read back from an 800x600 window on a private
// 16-bit Xvfb, where Mesa gives exactly R5 G6 B5 with no alpha and no stencil:
// a synthetic box over a receiver against a CPU ray cast of the true shadow
// and of the shading formula, boxes meeting along an edge and faces of no
// area against a ray cast over the mesh's faces, an empty mesh with only the
// light marker, the bundled scene's first frame after the real start-up, and
// frames of two scenes bit for bit as recorded in tests/fixtures/frames/.
//
// renderFrame swaps, so pixels are read after the swap, from the back buffer:
// Mesa's software path copies it to the window and keeps it, while its front
// buffer reads back as zeros. OpenGL leaves the back buffer undefined after a
// swap, so one test checks against the X server that what is read is what the
// window shows; reading the window through X for every frame would instead
// race the swap, which travels on SDL's own connection. Pixels are read as
// GL_UNSIGNED_SHORT_5_6_5: each channel arrives as the integer the window
// holds, with no conversion in between.
#include <GL/gl.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/app.h"
#include "app/navigation.h"
#include "assets/tiff_image.h"
#include "gl/gl_context.h"
#include "render/closed_volume_passes.h"
#include "render/frame_steps.h"
#include "render/infinite_projection.h"
#include "render/point_light.h"
#include "render/render_frame.h"
#include "shadow/edge_list.h"
#include "shadow/normals.h"
#include "shadow/shadow_volume.h"
#include "support/box_scene.h"
#include "support/mesh_ray_cast.h"
#include "support/shadow_ray_cast.h"
#include "support/sphere_scene.h"
#include "support/test_mesh.h"
#include "support/tiff_writer.h"
#include "support/window_image.h"
#include "support/x11_client.h"
#include "support/xvfb.h"

static auto* const xvfb = useOwnXvfb();

// The library's start-up and window procedure call these; each program defines them.
void firstStartUpStep(WindowHandle) {}
void onClose(WindowHandle) {}

namespace {

constexpr int windowWidth = 800;
constexpr int windowHeight = 600;

// Channel steps of the 5-6-5 window.
constexpr int redMax = 31;
constexpr int greenMax = 63;
constexpr int blueMax = 31;

struct Rgb565 {
  int r;
  int g;
  int b;
};

struct Frame {
  std::vector<uint16_t> bits;  // rows bottom to top, as glReadPixels gives them
  Rgb565 at(int x, int yUp) const {
    uint16_t v = bits[static_cast<size_t>(yUp) * windowWidth + static_cast<size_t>(x)];
    return {v >> 11, (v >> 5) & 0x3f, v & 0x1f};
  }
  // Window coordinates with the origin top-left, as a screenshot has them.
  Rgb565 atTopLeft(int x, int yDown) const { return at(x, windowHeight - 1 - yDown); }
};

Frame drawFrame(WindowHandle window) {
  renderFrame(window);
  Frame frame;
  frame.bits.assign(static_cast<size_t>(windowWidth) * windowHeight, 0);
  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 2);
  glReadPixels(0, 0, windowWidth, windowHeight, GL_RGB, GL_UNSIGNED_SHORT_5_6_5,
               frame.bits.data());
  return frame;
}

// What the real start-up made, kept so that any test can put it back.
struct Bundled {
  WindowHandle window = nullptr;
  Mesh* mesh = nullptr;
  ShadowVolume* volume = nullptr;
  TiffImage* texture = nullptr;
  bool started = false;
};

intptr_t quietProcedure(WindowHandle, uint32_t, uintptr_t, intptr_t) { return 0; }

// One window for the whole program, started the way the program starts:
// from the data folder, through the real startUp.
const Bundled& bundled() {
  static const Bundled once = [] {
    Bundled made;
    registerClass(WindowClass{0, quietProcedure, currentInstance(), "Frame Test"});
    made.window = createWindow("Frame Test", "Shadow Volume", windowWidth, windowHeight,
                               currentInstance());
    if (made.window == nullptr) return made;
    showWindow(made.window, SW_SHOWNORMAL);
    updateWindow(made.window);
    // startUp's failure paths open a message box that waits for a button.
    if (chdir(DATA_DIR) != 0 || access("shadow2.3DS", R_OK) != 0) return made;
    startUp(made.window);
    made.mesh = theMesh;
    made.volume = theShadowVolume;
    made.texture = theTexture;
    made.started = GLContext.renderingContext != nullptr && theMesh != nullptr &&
                   theShadowVolume != nullptr;
    return made;
  }();
  return once;
}

void putBackBundled() {
  theMesh = bundled().mesh;
  theShadowVolume = bundled().volume;
  theTexture = bundled().texture;
  glBindTexture(GL_TEXTURE_2D, 0);
}

// The eye at (0, 0, distance) looking down -Z with no turn, as the start view
// has it at distance 200; no key held, so the frame's navigation step is idle.
void placeEye(float distance) {
  KeyState = KeyFlags{};
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  viewOrigin = Vec3{0.0f, 0.0f, 0.0f};
  translateView(0.0f, 0.0f, -distance);
}

// The view as OpenGL holds it, in model coordinates: the eye and the eye's
// axes, read off the modelview matrix (which holds turns and moves only).
Camera currentCamera() {
  GLdouble m[16];
  glGetDoublev(GL_MODELVIEW_MATRIX, m);
  Camera camera;
  camera.width = windowWidth;
  camera.height = windowHeight;
  camera.right = {m[0], m[4], m[8]};
  camera.up = {m[1], m[5], m[9]};
  camera.back = {m[2], m[6], m[10]};
  camera.eye = -1.0 * (m[12] * camera.right + m[13] * camera.up + m[14] * camera.back);
  return camera;
}

// ---------------------------------------------------------------------------
// The synthetic scene: a closed box floating over a finely tessellated
// receiver, the light above the box and beyond it, the eye on the near side,
// higher still, looking down at 45 degrees. The box's shadow falls towards
// the eye, and between the shadow and the box the eye sees lit receiver
// through the volume (in by a front quad, out by a back one), so both shadow
// passes decide pixels. The eye, above the light, is outside the volume,
// which lies below the box's top.
// (Why one floating box keeps the colour-buffer test exact: box_scene.h.)

const Vec3 boxLow{-12.0f, 0.0f, 18.0f};
const Vec3 boxHigh{12.0f, 16.0f, 28.0f};
const Vec3 synthLight{0.0f, 30.0f, 90.0f};
const BoxAndLight synthetic{boxLow, boxHigh, synthLight};

// The eye at (0, -100, 100), turned about its own X axis to look at the
// receiver's origin.
void placeSyntheticEye() {
  KeyState = KeyFlags{};
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  viewOrigin = Vec3{0.0f, 0.0f, 0.0f};
  translateView(0.0f, 100.0f, -100.0f);
  turnViewX(-45.0f);
}

std::vector<uint8_t> whiteTiff() {
  TiffLayout layout;
  layout.width = 2;
  layout.height = 2;
  return writeTiff(layout, std::vector<uint8_t>(2 * 2 * 3, 255));
}

// A mesh set up as start-up sets up the bundled one (normals, edge list, the
// shadow volume over it, mapping coordinates and a white texture), installed
// as the process's scene for as long as it lives.
class InstalledMesh {
 public:
  InstalledMesh(const std::vector<Vec3>& vertices, const std::vector<Face>& faces)
      : test_(vertices, faces) {
    Mesh& mesh = test_.mesh;
    mesh.texCoords = new TexCoord[vertices.size()];
    for (size_t i = 0; i < vertices.size(); ++i)
      mesh.texCoords[i] = {vertices[i].x / 64.0f, vertices[i].y / 64.0f};
    computeFaceNormals(mesh);
    computeVertexNormals(mesh);
    buildEdgeList(mesh);
    volume_.setVertexArray(mesh.vertices, mesh.vertexCount, 12, 0);
    volume_.setEdgeArray(mesh.edges, mesh.edgeCount, 16, 0);
    volume_.setFaceArray(mesh.faces, mesh.faceCount, 12, 0);
    volume_.setExtrusionLength(3000.0f);
    image_.readFromMemory(whiteTiff());

    // A texture object of its own, so the bundled texture stays uploaded.
    glGenTextures(1, &textureName_);
    glBindTexture(GL_TEXTURE_2D, textureName_);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, 3, image_.width, image_.height, 0, GL_RGB, GL_UNSIGNED_BYTE,
                 image_.pixels);

    theMesh = &mesh;
    theShadowVolume = &volume_;
    theTexture = &image_;
  }
  ~InstalledMesh() {
    putBackBundled();
    glDeleteTextures(1, &textureName_);
  }
  InstalledMesh(const InstalledMesh&) = delete;
  InstalledMesh& operator=(const InstalledMesh&) = delete;

  const Mesh& mesh() const { return test_.mesh; }
  bool textureReady() const { return image_.pixels != nullptr; }
  void dropShadowVolume() { theShadowVolume = nullptr; }

 private:
  TestMesh test_;
  ShadowVolume volume_;
  TiffImage image_;
  GLuint textureName_ = 0;
};

InstalledMesh* makeSyntheticScene(const BoxAndLight& box = synthetic) {
  std::vector<Vec3> vertices;
  std::vector<Face> faces;
  addReceiver(vertices, faces);
  addBox(vertices, faces, box.low, box.high);
  return new InstalledMesh(vertices, faces);
}

class FramePixels : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(bundled().started) << "no window, context or bundled scene from " << DATA_DIR;
    putBackBundled();
    lightPosition = Vec3{20.0f, 20.0f, 70.0f};
    secondShadowMode = 0;
    placeEye(200.0f);
  }
  void TearDown() override {
    secondShadowMode = 0;
    showVolume = 0;
    frameStep = wholeFrame;
    putBackBundled();
  }
};

TEST_F(FramePixels, ReadBackAfterTheSwapIsWhatTheWindowShows) {
  X11Client client;
  ASSERT_TRUE(openX11Client(client));
  Window shown = waitForWindow(client, "Frame Test", 10000);
  ASSERT_NE(shown, 0u);
  Frame frame = drawFrame(bundled().window);
  long differing = -1;
  for (int attempt = 0; attempt < 100 && differing != 0; ++attempt) {
    Message message;
    while (peekMessage(message)) {
    }  // pumping SDL's events flushes its connection, which carried the swap
    std::vector<uint32_t> screen = readWindowPixels(client, shown, windowWidth, windowHeight);
    ASSERT_EQ(screen.size(), frame.bits.size());
    differing = 0;
    for (int y = 0; y < windowHeight; ++y)
      for (int x = 0; x < windowWidth; ++x)
        if (screen[static_cast<size_t>(y) * windowWidth + static_cast<size_t>(x)] !=
            frame.bits[static_cast<size_t>(windowHeight - 1 - y) * windowWidth +
                       static_cast<size_t>(x)])
          ++differing;
    if (differing != 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_EQ(differing, 0);
  closeX11Client(client);
}

TEST_F(FramePixels, SyntheticBoxDarkensWhereTheRayCastFindsShadow) {
  std::unique_ptr<InstalledMesh> scene(makeSyntheticScene());
  ASSERT_TRUE(scene->textureReady());
  ASSERT_EQ(scene->mesh().faceCount, receiverFaceCount + 12);
  lightPosition = synthLight;
  placeSyntheticEye();
  const Camera camera = currentCamera();
  ASSERT_NEAR(camera.back.y, -std::sqrt(0.5), 1e-6) << "the eye should look at the receiver";
  ASSERT_NEAR(camera.back.z, std::sqrt(0.5), 1e-6) << "the eye should look at the receiver";
  Frame shadowed = drawFrame(bundled().window);
  scene->dropShadowVolume();
  Frame unshadowed = drawFrame(bundled().window);
  std::vector<PixelTruth> truth = castEveryPixel(scene->mesh(), camera, synthetic);

  long counted = 0, agreeing = 0, trulyShadowed = 0, leftOut = 0;
  long litThroughVolume = 0, keptLitThroughVolume = 0;
  double leastShade = 1.0;
  const Vec3d light = widen(synthLight);
  for (int y = 0; y < windowHeight; ++y)
    for (int x = 0; x < windowWidth; ++x) {
      const PixelTruth& pixel =
          truth[static_cast<size_t>(y) * windowWidth + static_cast<size_t>(x)];
      if (pixel.sight.surface != 0) continue;
      if (pixel.nearBoundary) {
        ++leftOut;
        continue;
      }
      // Both frames send the same commands but the shadow quads, so a pixel
      // outside the shadow comes out bit for bit the same; a shadow takes
      // 0.48 x shade off, at least three green steps here (checked below).
      bool darkened = unshadowed.at(x, y).g - shadowed.at(x, y).g >= 2;
      ++counted;
      leastShade = std::min(leastShade, pixel.sight.shade);
      if (pixel.sight.shadowed) ++trulyShadowed;
      if (darkened == pixel.sight.shadowed) ++agreeing;
      if (!pixel.sight.shadowed) {
        // Lit receiver whose eye ray runs through the volume on its way: only
        // the back quads' pass keeps it lit. The volume lies below the box's top.
        Vec3d direction = rayDirection(camera, x + 0.5, y + 0.5);
        double reach = -camera.eye.z / direction.z;
        double from = (camera.eye.z - boxHigh.z) / -direction.z;
        bool through = false;
        for (int n = 1; n < 32 && !through; ++n)
          through = boxBlocksLight(camera.eye + (from + (reach - from) * n / 32.0) * direction,
                                   light, synthetic);
        if (through) {
          ++litThroughVolume;
          if (!darkened) ++keptLitThroughVolume;
        }
      }
    }
  double agreement = 100.0 * static_cast<double>(agreeing) / static_cast<double>(counted);
  std::printf("receiver pixels compared %ld (in shadow %ld, lit seen through the volume %ld, "
              "left out at boundaries %ld): %.3f%% agree\n",
              counted, trulyShadowed, litThroughVolume, leftOut, agreement);
  RecordProperty("shadow_agreement_percent", std::to_string(agreement));
  EXPECT_GT(counted, 300000);
  EXPECT_GT(trulyShadowed, 5000) << "the shadow should be in view";
  EXPECT_GT(litThroughVolume, 2000) << "lit receiver should be seen through the volume";
  EXPECT_GE(static_cast<double>(keptLitThroughVolume), 0.99 * static_cast<double>(litThroughVolume))
      << "lit receiver seen through the volume should stay lit";
  EXPECT_GE(leastShade * 0.48 * greenMax, 3.0) << "a shadow should show on all of the receiver";
  EXPECT_GE(agreement, 99.0);
}

// Every pass that reaches a mesh pixel stores its result in the 5-6-5 window
// and the next pass blends with what was stored: the lit pass and the ambient
// quad, and in shadow the volume's grey before them (the texture pass
// multiplies by a white texel, which stores the value unchanged). OpenGL lets
// each store round either way (Mesa narrows through 8 bits and truncates), so
// a pixel may drift by up to one step per store; beyond that, the formula.
TEST_F(FramePixels, SyntheticMeshPixelsFollowTheShadingFormula) {
  std::unique_ptr<InstalledMesh> scene(makeSyntheticScene());
  lightPosition = synthLight;
  placeSyntheticEye();
  const Camera camera = currentCamera();
  Frame frame = drawFrame(bundled().window);
  std::vector<PixelTruth> truth = castEveryPixel(scene->mesh(), camera, synthetic);

  const double steps[3] = {1.0 / redMax, 1.0 / greenMax, 1.0 / blueMax};
  long counted = 0, matching = 0, withinOneStep = 0, boxPixels = 0;
  double worstSteps[3] = {0.0, 0.0, 0.0};
  for (int y = 0; y < windowHeight; ++y)
    for (int x = 0; x < windowWidth; ++x) {
      const PixelTruth& pixel =
          truth[static_cast<size_t>(y) * windowWidth + static_cast<size_t>(x)];
      if (pixel.sight.surface < 0 || pixel.sight.surface == markerSurface || pixel.nearBoundary)
        continue;
      double m = pixel.sight.shadowed ? 0.52 : 1.0;
      double expected = (m * pixel.sight.shade + 0.12) * 1.0;  // white texel
      double interpolation = m * pixel.spread;
      int stores = pixel.sight.shadowed ? 3 : 2;
      Rgb565 got = frame.at(x, y);
      const double values[3] = {double(got.r) / redMax, double(got.g) / greenMax,
                                double(got.b) / blueMax};
      bool ok = true;
      bool tight = true;
      for (int c = 0; c < 3; ++c) {
        double off = std::fabs(values[c] - expected) - interpolation;
        if (off > stores * steps[c]) ok = false;
        if (off > steps[c]) tight = false;
        worstSteps[c] = std::max(worstSteps[c], off / steps[c]);
      }
      ++counted;
      if (pixel.sight.surface > 0) ++boxPixels;
      if (ok) ++matching;
      if (tight) ++withinOneStep;
      if (!ok && counted - matching <= 5)
        ADD_FAILURE() << "pixel (" << x << ", " << y << ") on surface " << pixel.sight.surface
                      << (pixel.sight.shadowed ? " in shadow" : " lit") << ", shade "
                      << pixel.sight.shade << ": got " << got.r << " " << got.g << " " << got.b
                      << ", expected " << expected;
    }
  double share = 100.0 * static_cast<double>(withinOneStep) / static_cast<double>(counted);
  std::printf("mesh pixels compared %ld (box %ld): %.3f%% within one step plus interpolation, "
              "all within one step per store: %s; worst r %.2f g %.2f b %.2f steps\n",
              counted, boxPixels, share, matching == counted ? "yes" : "no", worstSteps[0],
              worstSteps[1], worstSteps[2]);
  RecordProperty("shading_within_one_step_percent", std::to_string(share));
  EXPECT_GT(boxPixels, 10000);
  EXPECT_EQ(matching, counted);
}

TEST_F(FramePixels, EmptyMeshLeavesAWhiteWindowWithTheMarker) {
  InstalledMesh empty({}, {});
  lightPosition = Vec3{0.0f, 0.0f, 0.0f};
  const float eyeDistance = 60.0f;
  placeEye(eyeDistance);
  const Camera camera = currentCamera();
  Frame frame = drawFrame(bundled().window);

  // The marker's base A, B, C lies behind its apex D, which projects inside
  // it, so the triangle A B C is its outline; A is red, B green, C blue in
  // every one of its triangles that reaches them.
  const Vec3d corners[3] = {{-5, -5, -5}, {5, -5, -5}, {0, 5, -5}};
  double px[3], py[3];
  for (int n = 0; n < 3; ++n) projectPoint(camera, corners[n], px[n], py[n]);
  double cx = (px[0] + px[1] + px[2]) / 3.0;
  double cy = (py[0] + py[1] + py[2]) / 3.0;
  const char* names[3] = {"red", "green", "blue"};
  for (int n = 0; n < 3; ++n) {
    int x = static_cast<int>(px[n] + 0.1 * (cx - px[n]));
    int y = static_cast<int>(py[n] + 0.1 * (cy - py[n]));
    Rgb565 got = frame.at(x, y);
    const double values[3] = {double(got.r) / redMax, double(got.g) / greenMax,
                              double(got.b) / blueMax};
    for (int c = 0; c < 3; ++c) {
      if (c == n)
        EXPECT_GE(values[c], 0.75) << names[n] << " corner at (" << x << ", " << y << ")";
      else
        EXPECT_LE(values[c], 0.25) << names[n] << " corner at (" << x << ", " << y << ")";
    }
  }

  // Signed distance in pixels from the outline, positive inside.
  auto inside = [&](double x, double y) {
    double least = std::numeric_limits<double>::infinity();
    for (int n = 0; n < 3; ++n) {
      double ex = px[(n + 1) % 3] - px[n];
      double ey = py[(n + 1) % 3] - py[n];
      double distance = (ex * (y - py[n]) - ey * (x - px[n])) / std::hypot(ex, ey);
      least = std::min(least, distance);
    }
    return least;
  };
  long whiteOutside = 0, outside = 0, colouredInside = 0, insideCount = 0;
  for (int y = 0; y < windowHeight; ++y)
    for (int x = 0; x < windowWidth; ++x) {
      double distance = inside(x + 0.5, y + 0.5);
      Rgb565 got = frame.at(x, y);
      bool white = got.r == redMax && got.g == greenMax && got.b == blueMax;
      if (distance < -2.0) {
        ++outside;
        if (white) ++whiteOutside;
      } else if (distance > 2.0) {
        ++insideCount;
        if (!white) ++colouredInside;
      }
    }
  EXPECT_EQ(whiteOutside, outside);
  EXPECT_EQ(colouredInside, insideCount);
  EXPECT_GT(insideCount, 3000);
}

TEST_F(FramePixels, TextureTheGLRefusedLeavesTheMeshAsAWhiteTextureWould) {
  GLuint names[2];
  glGenTextures(2, names);
  const uint8_t white[3] = {255, 255, 255};
  glBindTexture(GL_TEXTURE_2D, names[0]);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexImage2D(GL_TEXTURE_2D, 0, 3, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, white);
  Frame whiteTexture = drawFrame(bundled().window);
  // As a refused upload leaves it: a texture without an image.
  glBindTexture(GL_TEXTURE_2D, names[1]);
  theTextureUploaded = false;
  Frame refused = drawFrame(bundled().window);
  theTextureUploaded = true;
  glDeleteTextures(2, names);
  size_t differing = 0;
  for (size_t i = 0; i < refused.bits.size(); ++i) differing += refused.bits[i] != whiteTexture.bits[i];
  EXPECT_EQ(differing, 0u);
}

TEST_F(FramePixels, BundledFirstFrameShadowsTheWallAndTheLBlockItself) {
  Frame frame = drawFrame(bundled().window);
  theShadowVolume = nullptr;
  Frame unshadowed = drawFrame(bundled().window);

  struct Point {
    const char* what;
    int x;
    int y;  // from the top
  };
  const Point lit[] = {{"wall", 400, 300},
                       {"slab top", 190, 410},
                       {"sphere front", 265, 150},
                       {"box top", 600, 420}};
  const Point inShadow[] = {{"sphere's shadow on the wall", 100, 150},
                            {"cylinder's shadow on the wall", 690, 80},
                            {"box's shadow on the wall", 680, 520},
                            {"arm's shadow on the slab", 225, 470}};
  for (const Point& p : lit) {
    Rgb565 got = frame.atTopLeft(p.x, p.y);
    Rgb565 without = unshadowed.atTopLeft(p.x, p.y);
    EXPECT_EQ(got.g, without.g) << p.what << " should be lit";
    EXPECT_GT(got.g, 0.2 * greenMax) << p.what << " should be lit";
  }
  for (const Point& p : inShadow) {
    Rgb565 got = frame.atTopLeft(p.x, p.y);
    Rgb565 without = unshadowed.atTopLeft(p.x, p.y);
    EXPECT_LE(got.g, without.g - 4) << p.what << ": " << got.g << " against " << without.g
                                   << " without the shadow volume";
  }
}

// ---------------------------------------------------------------------------
// The second mode (F2): counted from behind the surface over closed volumes,
// under a projection without a far plane.

Frame drawFrameCountingFromBehind(WindowHandle window) {
  secondShadowMode = 1;
  Frame frame = drawFrame(window);
  secondShadowMode = 0;
  return frame;
}

double percentAlike(const Frame& a, const Frame& b) {
  long alike = 0;
  for (size_t i = 0; i < a.bits.size(); ++i)
    if (a.bits[i] == b.bits[i]) ++alike;
  return 100.0 * static_cast<double>(alike) / static_cast<double>(a.bits.size());
}

// Where nothing puts the eye inside a volume and every volume ends behind
// surfaces, the two modes find the same shadow; a frame in the second mode
// leaves the first mode exactly as it was, projection included.
TEST_F(FramePixels, BothModesAgreeFromTheStartViews) {
  float projectionBefore[16], projectionAfter[16];
  glGetFloatv(GL_PROJECTION_MATRIX, projectionBefore);
  Frame fromEye = drawFrame(bundled().window);
  Frame behind = drawFrameCountingFromBehind(bundled().window);
  glGetFloatv(GL_PROJECTION_MATRIX, projectionAfter);
  Frame fromEyeAgain = drawFrame(bundled().window);
  EXPECT_EQ(std::memcmp(projectionBefore, projectionAfter, sizeof projectionBefore), 0);
  // The second mode's projection: the near plane (z = -15 in eye space) still
  // at the near end of the depth range, and points at infinity at the far end.
  float farless[16];
  infiniteProjection(projectionBefore, farless);
  EXPECT_NEAR((farless[10] * -15.0f + farless[14]) / (farless[11] * -15.0f), -1.0, 1e-5);
  EXPECT_EQ(farless[10] / farless[11], 1.0f);
  EXPECT_EQ(farless[0], projectionBefore[0]);
  EXPECT_EQ(farless[5], projectionBefore[5]);
  EXPECT_TRUE(fromEyeAgain.bits == fromEye.bits) << "the first mode changed after the second";
  const double bundledAlike = percentAlike(fromEye, behind);

  std::unique_ptr<InstalledMesh> scene(makeSyntheticScene());
  lightPosition = synthLight;
  placeSyntheticEye();
  const double syntheticAlike =
      percentAlike(drawFrame(bundled().window), drawFrameCountingFromBehind(bundled().window));
  std::printf("pixels alike in both modes: bundled start view %.3f%%, synthetic %.3f%%\n",
              bundledAlike, syntheticAlike);
  RecordProperty("bundled_alike_percent", std::to_string(bundledAlike));
  RecordProperty("synthetic_alike_percent", std::to_string(syntheticAlike));
  EXPECT_GE(bundledAlike, 99.9);
  EXPECT_GE(syntheticAlike, 99.9);
}

// A box high over the receiver, the light above it, and the eye between box
// and receiver, looking straight down at the box's shadow and the lit
// receiver around it (further than the near plane). Inside the box's volume,
// only the second mode finds the shadow. Beside the volume the second mode
// counts from the eye only where no volume reaches the near plane's
// rectangle: a little further out, the rectangle clears the volume; a little
// further in, the rectangle's edge lies in it while the eye stays outside,
// so counting from the eye would draw the rectangle's side of the shadow lit.
// Each way the frame agrees with the ray cast, and counted as it should have.
TEST_F(FramePixels, SecondModeFindsTheShadowWithTheEyeInOrBesideAVolume) {
  const BoxAndLight overhead{{-8.0f, -8.0f, 60.0f}, {8.0f, 8.0f, 70.0f}, {0.0f, 0.0f, 150.0f}};
  // At z = 25, where the rectangle lies, the volume reaches out to x = 12.5;
  // the rectangle reaches 8.28 either side of the eye.
  const struct {
    const char* name;
    float eyeX;
    bool eyeInside;
    bool fromTheEye;
    long leastEach;  // of shadowed and of lit receiver pixels in view
  } places[] = {{"eye inside the volume", 0.0f, true, false, 50000},
                {"eye at x = 21.3", 21.3f, false, true, 100000},
                {"eye at x = 19.5", 19.5f, false, false, 100000}};
  for (const auto& place : places) {
    SCOPED_TRACE(place.name);
    std::unique_ptr<InstalledMesh> scene(makeSyntheticScene(overhead));
    lightPosition = overhead.light;
    placeEye(40.0f);
    translateView(-place.eyeX, 0.0f, 0.0f);
    const Camera camera = currentCamera();
    ASSERT_EQ(boxBlocksLight(camera.eye, widen(overhead.light), overhead), place.eyeInside);
    Frame fromEye = drawFrame(bundled().window);
    const ClosedVolumeCounts before = theClosedVolumeCounts;
    Frame behind = drawFrameCountingFromBehind(bundled().window);
    EXPECT_EQ(theClosedVolumeCounts.fromTheEye - before.fromTheEye, place.fromTheEye ? 1 : 0);
    EXPECT_EQ(theClosedVolumeCounts.fromBehind - before.fromBehind, place.fromTheEye ? 0 : 1);
    scene->dropShadowVolume();
    Frame unshadowed = drawFrame(bundled().window);
    std::vector<PixelTruth> truth = castEveryPixel(scene->mesh(), camera, overhead);

    long judged = 0, inShadow = 0, fromEyeAgrees = 0, behindAgrees = 0;
    for (int y = 0; y < windowHeight; ++y)
      for (int x = 0; x < windowWidth; ++x) {
        const PixelTruth& pixel =
            truth[static_cast<size_t>(y) * windowWidth + static_cast<size_t>(x)];
        if (pixel.sight.surface != 0 || pixel.nearBoundary) continue;
        ++judged;
        if (pixel.sight.shadowed) ++inShadow;
        const int lit = unshadowed.at(x, y).g;
        if ((lit - fromEye.at(x, y).g >= 2) == pixel.sight.shadowed) ++fromEyeAgrees;
        if ((lit - behind.at(x, y).g >= 2) == pixel.sight.shadowed) ++behindAgrees;
      }
    const double fromEyeShare =
        100.0 * static_cast<double>(fromEyeAgrees) / static_cast<double>(judged);
    const double behindShare =
        100.0 * static_cast<double>(behindAgrees) / static_cast<double>(judged);
    std::printf("%s: %ld receiver pixels judged, %ld in shadow; agree with the ray cast: first "
                "mode %.3f%%, second mode (counted %s) %.3f%%\n",
                place.name, judged, inShadow, fromEyeShare,
                place.fromTheEye ? "from the eye" : "from behind", behindShare);
    EXPECT_GT(inShadow, place.leastEach) << "the shadow should be in view";
    EXPECT_GT(judged - inShadow, place.leastEach) << "lit receiver should be in view";
    EXPECT_GE(behindShare, 99.0);
    if (place.eyeInside) {
      RecordProperty("from_the_eye_agreement_percent", std::to_string(fromEyeShare));
      RecordProperty("second_mode_agreement_percent", std::to_string(behindShare));
      EXPECT_LT(fromEyeShare, 99.0);
    }
  }
}

// A cube alone, the light between it and the eye: its volume opens away from
// the eye with nothing behind it to fall on.
TEST_F(FramePixels, CubeAloneLeavesTheBackgroundWhiteOnlyInTheSecondMode) {
  std::vector<Vec3> vertices;
  std::vector<Face> faces;
  addBox(vertices, faces, {-10.0f, -10.0f, -10.0f}, {10.0f, 10.0f, 10.0f});
  InstalledMesh cube(vertices, faces);
  lightPosition = Vec3{0.0f, 0.0f, 60.0f};
  placeEye(200.0f);
  Frame fromEye = drawFrame(bundled().window);
  Frame behind = drawFrameCountingFromBehind(bundled().window);
  cube.dropShadowVolume();
  Frame plain = drawFrame(bundled().window);

  auto white = [](const Rgb565& c) { return c.r == redMax && c.g == greenMax && c.b == blueMax; };
  long background = 0, greyFromEye = 0, notWhiteInSecond = 0;
  for (int y = 0; y < windowHeight; ++y)
    for (int x = 0; x < windowWidth; ++x) {
      if (!white(plain.at(x, y))) continue;  // the cube or the marker
      ++background;
      if (!white(fromEye.at(x, y))) ++greyFromEye;
      if (!white(behind.at(x, y))) ++notWhiteInSecond;
    }
  std::printf("cube alone: %ld background pixels; grey counted from the eye %ld, not white in "
              "the second mode %ld\n",
              background, greyFromEye, notWhiteInSecond);
  RecordProperty("phantom_grey_pixels_from_the_eye", std::to_string(greyFromEye));
  EXPECT_GT(background, 400000);
  EXPECT_GT(greyFromEye, 20000) << "counting from the eye should show the phantom";
  EXPECT_EQ(notWhiteInSecond, 0);
}

// Where the faces at an edge are not simply two: two boxes meeting along one
// edge (four faces there, its two vertices shared), in either order, and a
// box with faces of no area lying on its edges after its own faces (two
// corners at one end, or one at the edge's middle). Over the receiver, the
// second mode finds the shadow that a ray cast over the mesh's faces finds.
TEST_F(FramePixels, SecondModeShadowsEdgesOfManyFacesAndFacesOfNoArea) {
  const Vec3 light{3.0f, 30.0f, 90.0f};
  // They meet along y = 0, z = 22: the first box below it, the second above.
  const Vec3 lowA{-12.0f, 0.0f, 14.0f}, highA{12.0f, 16.0f, 22.0f};
  const Vec3 lowB{-12.0f, -16.0f, 22.0f}, highB{12.0f, 0.0f, 30.0f};
  struct Case {
    const char* name;
    std::vector<std::pair<Vec3, Vec3>> boxes;
    bool facesOfNoArea;
  };
  const Case cases[] = {
      {"two boxes meeting along an edge", {{lowA, highA}, {lowB, highB}}, false},
      {"the same boxes, the other first", {{lowB, highB}, {lowA, highA}}, false},
      {"a box with faces of no area on its edges", {{boxLow, boxHigh}}, true},
  };
  for (const Case& test : cases) {
    std::vector<Vec3> vertices;
    std::vector<Face> faces;
    addReceiver(vertices, faces);
    const int32_t first = static_cast<int32_t>(vertices.size());
    const size_t firstFace = faces.size();
    for (const auto& box : test.boxes) addBox(vertices, faces, box.first, box.second);
    // A later box's corners onto an earlier one's where they are at the same place.
    for (size_t f = firstFace; f < faces.size(); ++f)
      for (int32_t& corner : faces[f].corner)
        for (int32_t v = first; v < corner; ++v)
          if (std::memcmp(&vertices[static_cast<size_t>(v)], &vertices[static_cast<size_t>(corner)],
                          sizeof(Vec3)) == 0) {
            corner = v;
            break;
          }
    // Along each of the first box's edges from a to b: (a, b, a) or (b, middle, a).
    for (int32_t corner = 0; corner < 8 && test.facesOfNoArea; ++corner)
      for (int32_t bit = 1; bit < 8; bit <<= 1) {
        if ((corner & bit) != 0) continue;
        const int32_t a = first + corner, b = first + (corner | bit);
        const Vec3 p = vertices[static_cast<size_t>(a)], q = vertices[static_cast<size_t>(b)];
        vertices.push_back({(p.x + q.x) / 2, (p.y + q.y) / 2, (p.z + q.z) / 2});
        const int32_t middle = static_cast<int32_t>(vertices.size()) - 1;
        faces.push_back(bit == 2 ? Face{{a, b, a}} : Face{{b, middle, a}});
      }
    InstalledMesh scene(vertices, faces);
    lightPosition = light;
    placeSyntheticEye();
    const Camera camera = currentCamera();
    Frame behind = drawFrameCountingFromBehind(bundled().window);
    scene.dropShadowVolume();
    Frame unshadowed = drawFrame(bundled().window);

    long judged = 0, inShadow = 0, agreeing = 0;
    for (const MeshSample& sample : castMeshGrid(scene.mesh(), camera, widen(light), 3)) {
      if (sample.sight.group != 0 || sample.sight.marker || sample.nearBoundary) continue;
      ++judged;
      if (sample.sight.shadowed) ++inShadow;
      const int lit = unshadowed.at(sample.x, sample.y).g;
      const bool darkened = lit - behind.at(sample.x, sample.y).g >= 2;
      if (darkened == sample.sight.shadowed) ++agreeing;
    }
    const double share = 100.0 * static_cast<double>(agreeing) / static_cast<double>(judged);
    std::printf("%s: %ld receiver pixels judged, %ld in shadow; the second mode agrees with the "
                "ray cast on %.3f%%\n",
                test.name, judged, inShadow, share);
    EXPECT_GT(judged, 20000) << test.name;
    EXPECT_GT(inShadow, 1000) << test.name << ": the shadow should be in view";
    EXPECT_GE(share, 99.0) << test.name;
  }
}

// ---------------------------------------------------------------------------
// F4's depth and mask steps and F3's volume, on the synthetic scene in both
// modes. With the light as one corner and a stretch of the eye's ray as the
// others, the triangle meets the box just when the stretch passes through
// what the box hides from the light: an edge of one crosses the other.
bool triangleMeetsBox(const Vec3d& a, const Vec3d& b, const Vec3d& c, const BoxAndLight& box) {
  const auto corner = [&box](int bits) {
    return widen({bits & 1 ? box.high.x : box.low.x, bits & 2 ? box.high.y : box.low.y,
                  bits & 4 ? box.high.z : box.low.z});
  };
  if (boxBlocksLight(a, b, box) || boxBlocksLight(b, c, box) || boxBlocksLight(c, a, box))
    return true;
  for (int from = 0; from < 8; ++from)
    for (int bit = 1; bit < 8; bit <<= 1) {
      double t, weights[3];
      if ((from & bit) == 0 && hitTriangle(corner(from), corner(from | bit) - corner(from), a, b,
                                           c, t, weights, false) && t <= 1.0)
        return true;
    }
  return false;
}

TEST_F(FramePixels, StepsShowDepthAndMaskAndTheVolumeCoversWhatItReachesInBothModes) {
  std::unique_ptr<InstalledMesh> scene(makeSyntheticScene());
  lightPosition = synthLight;
  placeSyntheticEye();
  const Camera camera = currentCamera();
  const std::vector<PixelTruth> truth = castEveryPixel(scene->mesh(), camera, synthetic);
  // The second mode also draws what the receiver hides, and caps the volume
  // with the faces that face the light: the receiver's and the box's +y, +z.
  const BoxAndLight underReceiver{{receiverLeft, receiverNear, -0.01f}, {80, 80, 0}, synthLight};
  auto at = [](int x, int y) { return static_cast<size_t>(y) * windowWidth + x; };
  for (const bool behind : {false, true}) {
    SCOPED_TRACE(behind ? "counted from behind" : "counted from the eye");
    secondShadowMode = behind;
    const Frame plain = drawFrame(bundled().window);
    frameStep = afterShadowPasses;
    const Frame mask = drawFrame(bundled().window);
    frameStep = afterDepthPass;
    const Frame depth = drawFrame(bundled().window);
    frameStep = wholeFrame;
    showVolume = 1;
    const Frame volume = drawFrame(bundled().window);
    showVolume = 0;
    EXPECT_TRUE(drawFrame(bundled().window).bits == plain.bits) << "F3 off, another picture";

    // The ray from the near plane to the surface seen, to the far plane, or to infinity.
    std::vector<uint8_t> reaches(truth.size());
    for (size_t i = 0; i < truth.size(); ++i) {
      const Sight& sight = truth[i].sight;
      const Vec3d d = rayDirection(camera, static_cast<double>(i % windowWidth) + 0.5,
                                   static_cast<double>(i / windowWidth) + 0.5);
      const double far = behind ? 1e7 : 1000.0;
      const double end = std::min(sight.surface >= 0 ? sight.distance - 1e-3 : far, far);
      const Vec3d from = camera.eye + 15.0 * d, to = camera.eye + end * d;
      reaches[i] = (behind && (sight.surface == 0 || sight.surface == 4 || sight.surface == 6)) ||
                   triangleMeetsBox(widen(synthLight), from, to, synthetic) ||
                   (behind && triangleMeetsBox(widen(synthLight), from, to, underReceiver));
    }
    long masked = 0, maskRight = 0, reached = 0, covered = 0, others = 0, othersChanged = 0;
    int grey = 0;
    for (int y = 2; y < windowHeight - 2; ++y)
      for (int x = 2; x < windowWidth - 2; ++x) {
        const PixelTruth& pixel = truth[at(x, y)];
        const Rgb565 m = mask.at(x, y);
        if (pixel.sight.surface == 0 && !pixel.nearBoundary) {
          ++masked;
          maskRight += pixel.sight.shadowed ? std::abs(m.g - 33) <= 1 && m.r == m.b && m.r == 16
                                            : m.r == redMax && m.g == greenMax && m.b == blueMax;
          if (x == windowWidth / 2) {  // up the middle, the receiver ever further away
            EXPECT_GE(depth.at(x, y).g, grey) << "row " << y;
            grey = depth.at(x, y).g;
          }
        }
        bool judged = !pixel.nearBoundary && pixel.sight.surface != markerSurface;
        for (int n = 0; n < 25; ++n)
          judged = judged && reaches[at(x + n % 5 - 2, y + n / 5 - 2)] == reaches[at(x, y)];
        const bool changed = volume.bits[at(x, y)] != plain.bits[at(x, y)];
        reached += judged && reaches[at(x, y)];
        covered += judged && reaches[at(x, y)] && changed;
        others += judged && !reaches[at(x, y)];
        othersChanged += judged && !reaches[at(x, y)] && changed;
      }
    EXPECT_GE(100.0 * static_cast<double>(maskRight) / static_cast<double>(masked), 99.0);
    EXPECT_GT(grey, greenMax / 2) << "the receiver's depths should span the greys";
    EXPECT_GT(reached, 20000);
    EXPECT_GT(others, 50000);
    EXPECT_GE(100.0 * static_cast<double>(covered) / static_cast<double>(reached), 99.0);
    EXPECT_EQ(othersChanged, 0);
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// Whole frames and the views of how they are made, bit for bit as recorded
// in tests/fixtures/frames/ when the frame still sent every vertex on its
// own (glBegin, glVertex, glColor, glTexCoord): sending the same triangles
// from arrays must not change a pixel. The bundled scene and spheres over a
// receiver, in both modes, from several views: the start view, stepped back
// so the volumes reach past the far plane, moved and turned with the light
// elsewhere, the eye inside a volume, and the start view with F3's volume
// and with F4's shadow mask. SHADOW_RECORD_FRAMES=1 records them anew.
// A frame is 800 x 600 5-6-5 values, rows from the bottom, zlib-compressed.
struct RecordedView {
  const char* name;
  Vec3 light;
  Vec3 move;  // translateView from the origin
  float turnX;
  float turnY;
  uint8_t volume;
  FrameStep step;
};

std::string recordedFramePath(const std::string& name) {
  return std::string(FIXTURE_DIR) + "/frames/" + name + ".565.z";
}

bool readRecordedFrame(const std::string& name, std::vector<uint16_t>& bits) {
  std::FILE* file = std::fopen(recordedFramePath(name).c_str(), "rb");
  if (file == nullptr) return false;
  std::vector<uint8_t> packed;
  uint8_t buffer[65536];
  for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
    packed.insert(packed.end(), buffer, buffer + got);
  std::fclose(file);
  bits.assign(static_cast<size_t>(windowWidth) * windowHeight, 0);
  uLongf size = static_cast<uLongf>(bits.size() * sizeof(uint16_t));
  return uncompress(reinterpret_cast<Bytef*>(bits.data()), &size, packed.data(),
                    static_cast<uLong>(packed.size())) == Z_OK &&
         size == bits.size() * sizeof(uint16_t);
}

void recordFrame(const std::string& name, const std::vector<uint16_t>& bits) {
  const uLong plainSize = static_cast<uLong>(bits.size() * sizeof(uint16_t));
  std::vector<uint8_t> packed(compressBound(plainSize));
  uLongf size = static_cast<uLongf>(packed.size());
  ASSERT_EQ(compress2(packed.data(), &size, reinterpret_cast<const Bytef*>(bits.data()),
                      plainSize, 9),
            Z_OK);
  std::FILE* file = std::fopen(recordedFramePath(name).c_str(), "wb");
  ASSERT_NE(file, nullptr) << recordedFramePath(name);
  EXPECT_EQ(std::fwrite(packed.data(), 1, size, file), size);
  std::fclose(file);
}

// Where the frame differs from the recorded one: how many pixels, the box
// round them and the first of them.
std::string frameDifference(const std::vector<uint16_t>& recorded, const Frame& frame) {
  long count = 0;
  int left = windowWidth, right = -1, bottom = windowHeight, top = -1;
  std::string first;
  for (int y = 0; y < windowHeight; ++y)
    for (int x = 0; x < windowWidth; ++x) {
      const size_t i = static_cast<size_t>(y) * windowWidth + static_cast<size_t>(x);
      if (recorded[i] == frame.bits[i]) continue;
      if (count++ == 0)
        first = " first at (" + std::to_string(x) + ", " + std::to_string(y) + " from the bottom): " +
                std::to_string(recorded[i]) + " recorded, " + std::to_string(frame.bits[i]) +
                " drawn;";
      left = std::min(left, x);
      right = std::max(right, x);
      bottom = std::min(bottom, y);
      top = std::max(top, y);
    }
  if (count == 0) return "";
  return std::to_string(count) + " pixels differ;" + first + " all within x " +
         std::to_string(left) + ".." + std::to_string(right) + ", y " + std::to_string(bottom) +
         ".." + std::to_string(top);
}

TEST_F(FramePixels, FramesEqualTheRecordedOnesBitForBit) {
  const bool recording = std::getenv("SHADOW_RECORD_FRAMES") != nullptr;
  const RecordedView views[] = {
      {"start", {20, 20, 70}, {0, 0, -200}, 0, 0, 0, wholeFrame},
      {"stepped-back", {20, 20, 70}, {0, 0, -340}, 0, 0, 0, wholeFrame},
      {"turned", {-30, 10, 60}, {-30, 40, -150}, -25, 15, 0, wholeFrame},
      // Under the bundled scene's sphere, and under one of the spheres.
      {"eye-in-volume", {-38, 36, 70}, {38, -36, 2}, -70, 0, 0, wholeFrame},
      {"eye-in-volume", {-60, 45, 70}, {60, -45, -3}, -70, 0, 0, wholeFrame},
      {"volume", {20, 20, 70}, {0, 0, -200}, 0, 0, 1, wholeFrame},
      {"mask", {-30, 10, 60}, {0, 0, -200}, 0, 0, 0, afterShadowPasses},
  };
  std::vector<Vec3> vertices;
  std::vector<Face> faces;
  for (const SceneObject& object : sphereSceneObjects({2, 40})) {
    const int32_t first = static_cast<int32_t>(vertices.size());
    vertices.insert(vertices.end(), object.vertices.begin(), object.vertices.end());
    for (Face face : object.faces) {
      for (int32_t& corner : face.corner) corner += first;
      faces.push_back(face);
    }
  }
  long compared = 0;
  for (const char* scene : {"bundled", "spheres"}) {
    std::unique_ptr<InstalledMesh> spheres;
    if (scene == std::string("spheres")) {
      spheres.reset(new InstalledMesh(vertices, faces));
    }
    for (const uint8_t mode : {uint8_t{0}, uint8_t{1}})
      for (const RecordedView& view : views) {
        if (std::string(view.name) == "eye-in-volume" &&
            (&view == &views[3]) != (spheres == nullptr))
          continue;
        const std::string name =
            std::string(scene) + "-" + (mode == 0 ? "first-" : "second-") + view.name;
        SCOPED_TRACE(name);
        secondShadowMode = mode;
        showVolume = view.volume;
        frameStep = view.step;
        lightPosition = view.light;
        placeEye(0.0f);
        translateView(view.move.x, view.move.y, view.move.z);
        turnViewX(view.turnX);
        turnViewY(view.turnY);
        const Frame frame = drawFrame(bundled().window);
        if (recording) {
          recordFrame(name, frame.bits);
          continue;
        }
        std::vector<uint16_t> recorded;
        ASSERT_TRUE(readRecordedFrame(name, recorded)) << recordedFramePath(name);
        EXPECT_EQ(frameDifference(recorded, frame), "");
        ++compared;
      }
  }
  showVolume = 0;
  frameStep = wholeFrame;
  if (!recording) {
    EXPECT_EQ(compared, 2 * 2 * 6);
  }
}
