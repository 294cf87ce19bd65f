// Keyboard navigation: key messages only record which keys are held (Tab, F2,
// F3 and F4 switch, and F12 asks for a screenshot, on a key's first key-down,
// not on its auto-repeats); once per frame the held keys move the viewer,
// move the light or turn the view about the eye, all on OpenGL's modelview
// matrix. Needs the current OpenGL context.
#pragma once

#include <cstdint>

#include "assets/scene.h"

struct KeyFlags {
  uint8_t up;
  uint8_t down;
  uint8_t left;
  uint8_t right;
  uint8_t home;
  uint8_t end;
  uint8_t del;
  uint8_t pageDown;
  uint8_t pageUp;
  uint8_t insert;
};

extern KeyFlags KeyState;
extern uint8_t moveLight;  // 1: the editing keys move the light; 0: they turn the view
extern Vec3 viewOrigin;    // sum of every model-space translation of the view
// 0 at start, the first shadow mode: the frame counts the shadow from the eye
// forward over open volumes. 1, the second mode: over closed volumes, from
// the eye where no volume reaches the near plane and from behind the surface
// otherwise (render/closed_volume_passes.h). F2 flips it.
extern uint8_t secondShadowMode;
// 1 while F3 shows the shadow volume over the frame; 0 at start.
extern uint8_t showVolume;
// The part of the frame on view, a FrameStep (render/frame_steps.h): the
// whole frame at start; each F4 steps on to the next, then back.
extern uint8_t frameStep;

// repeated: an auto-repeat of a key already down. A held key that switches
// something would otherwise switch at the repeat rate.
void keyDown(uint32_t code, bool repeated);
void keyUp(uint32_t code);
// Lets go of every held key, for when their key-ups will go to another window.
void releaseKeys();

// The transpose of m's upper-left 3x3 applied to (x, y, z): an eye-space
// direction in model space, for a modelview matrix of rotations and translations.
void viewToModel(const float m[16], float x, float y, float z, float& outX, float& outY,
                 float& outZ);
void translateView(float x, float y, float z);
void turnViewX(float angle);
void turnViewY(float angle);
void turnViewZ(float angle);

// The eye's position in model coordinates: minus viewOrigin.
float eyeX();
float eyeY();
float eyeZ();

// Once a frame: the held keys' steps, then what the mouse did since the last
// frame (mouse_navigation.h).
void stepNavigation();
