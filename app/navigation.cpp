// Keyboard navigation (see navigation.h). Movement is a fixed step per frame,
// not per unit of time, and the modelview matrix accumulates every move and
// turn without being rebuilt.
#include "app/navigation.h"

#include <GL/gl.h>

#include "app/mouse_navigation.h"
#include "app/screenshot.h"
#include "platform/platform.h"
#include "render/frame_steps.h"
#include "render/point_light.h"

KeyFlags KeyState{};
uint8_t moveLight = 1;
Vec3 viewOrigin{0.0f, 0.0f, 0.0f};
uint8_t secondShadowMode = 0;
uint8_t showVolume = 0;
uint8_t frameStep = wholeFrame;

namespace {

uint8_t* flagFor(uint32_t code) {
  switch (code) {
    case VK_UP: return &KeyState.up;
    case VK_DOWN: return &KeyState.down;
    case VK_LEFT: return &KeyState.left;
    case VK_RIGHT: return &KeyState.right;
    case VK_HOME: return &KeyState.home;
    case VK_END: return &KeyState.end;
    case VK_DELETE: return &KeyState.del;
    case VK_NEXT: return &KeyState.pageDown;
    case VK_PRIOR: return &KeyState.pageUp;
    case VK_INSERT: return &KeyState.insert;
    default: return nullptr;
  }
}

void readModelview(float m[16]) {
  glMatrixMode(GL_MODELVIEW);
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
}

// Turns the view about the line through the eye along one of the eye's axes;
// column picks the axis (0: X, 1: Y, 2: Z) out of the matrix read before the turn.
void turnView(float angle, int column) {
  float m[16];
  readModelview(m);
  glTranslatef(-viewOrigin.x, -viewOrigin.y, -viewOrigin.z);
  glRotatef(angle, m[column], m[column + 4], m[column + 8]);
  glTranslatef(viewOrigin.x, viewOrigin.y, viewOrigin.z);
}

// Moves the light along the eye's axes, by the matrix as it is now.
void shiftLight(float x, float y, float z) {
  float m[16];
  readModelview(m);
  float wx, wy, wz;
  viewToModel(m, x, y, z, wx, wy, wz);
  lightPosition.x += wx;
  lightPosition.y += wy;
  lightPosition.z += wz;
}

// What the mouse did since the last frame, as the keys would do it: dragged
// right or down, the scene follows the hand (the turns of Delete and Home),
// and so does the light.
void applyMouseMotion() {
  const MouseMotion motion = theMouseMotion;
  theMouseMotion = MouseMotion{};
  if (motion.turnRight != 0.0f) turnViewY(-turnDegreesPerPixel * motion.turnRight);
  if (motion.turnDown != 0.0f) turnViewX(-turnDegreesPerPixel * motion.turnDown);
  if (motion.wheelNotches != 0.0f)
    translateView(0.0f, 0.0f, unitsPerWheelNotch * motion.wheelNotches);
  if (motion.lightRight != 0.0f || motion.lightDown != 0.0f)
    shiftLight(lightUnitsPerPixel * motion.lightRight, -lightUnitsPerPixel * motion.lightDown,
               0.0f);
}

}  // namespace

void keyDown(uint32_t code, bool repeated) {
  if (uint8_t* flag = flagFor(code)) {
    *flag = 1;
    return;
  }
  if (repeated) return;
  if (code == VK_TAB) moveLight = moveLight == 0 ? 1 : 0;
  if (code == VK_F1 + 1) secondShadowMode = secondShadowMode == 0 ? 1 : 0;
  if (code == VK_F1 + 2) showVolume = showVolume == 0 ? 1 : 0;
  if (code == VK_F1 + 3) frameStep = static_cast<uint8_t>((frameStep + 1) % frameStepCount);
  if (code == VK_F1 + 11) askForScreenshot(nullptr);
}

void keyUp(uint32_t code) {
  if (uint8_t* flag = flagFor(code)) *flag = 0;
}

void releaseKeys() { KeyState = KeyFlags{}; }

void viewToModel(const float m[16], float x, float y, float z, float& outX, float& outY,
                 float& outZ) {
  outX = x * m[0] + y * m[1] + z * m[2];
  outY = x * m[4] + y * m[5] + z * m[6];
  outZ = x * m[8] + y * m[9] + z * m[10];
}

void translateView(float x, float y, float z) {
  float m[16];
  readModelview(m);
  float dx, dy, dz;
  viewToModel(m, x, y, z, dx, dy, dz);
  viewOrigin.x += dx;
  viewOrigin.y += dy;
  viewOrigin.z += dz;
  glTranslatef(dx, dy, dz);
}

void turnViewX(float angle) { turnView(angle, 0); }
void turnViewY(float angle) { turnView(angle, 1); }
void turnViewZ(float angle) { turnView(angle, 2); }

float eyeX() { return -viewOrigin.x; }
float eyeY() { return -viewOrigin.y; }
float eyeZ() { return -viewOrigin.z; }

void stepNavigation() {
  if (KeyState.up) translateView(0.0f, 0.0f, 1.0f);
  if (KeyState.down) translateView(0.0f, 0.0f, -1.0f);
  if (KeyState.left) translateView(1.0f, 0.0f, 0.0f);
  if (KeyState.right) translateView(-1.0f, 0.0f, 0.0f);
  if (moveLight != 0) {
    float dx = 0.0f, dy = 0.0f, dz = 0.0f;
    if (KeyState.home) dy = 2.0f;
    if (KeyState.end) dy = dy - 2.0f;
    if (KeyState.del) dx = -2.0f;
    if (KeyState.pageDown) dx = dx + 2.0f;
    if (KeyState.pageUp) dz = -2.0f;
    if (KeyState.insert) dz = dz + 2.0f;
    shiftLight(dx, dy, dz);
  } else {
    if (KeyState.home) turnViewX(-1.0f);
    if (KeyState.end) turnViewX(1.0f);
    if (KeyState.del) turnViewY(-1.0f);
    if (KeyState.pageDown) turnViewY(1.0f);
    if (KeyState.pageUp) turnViewZ(-1.0f);
    if (KeyState.insert) turnViewZ(1.0f);
  }
  applyMouseMotion();
}
