// The process itself: entry, the window procedure, start-up, and the
// process-wide objects that start-up makes and the frame reads.
#pragma once

#include <cstdint>

#include "platform/platform.h"

class TiffImage;
class ShadowVolume;
struct CommandLine;
struct Mesh;
struct Scene;

extern WindowHandle mainWindow;
extern TiffImage* theTexture;
// Whether the GL took theTexture's image; the frame leaves its texture pass
// out when it did not.
extern bool theTextureUploaded;
extern Scene* theScene;
// The mesh the frame draws: the scene's first, or all its meshes joined
// into one (--all-meshes).
extern Mesh* theMesh;
// What WinMain read from the command line; start-up reads the paths from it.
extern CommandLine theCommandLine;
extern ShadowVolume* theShadowVolume;

int WinMain(InstanceHandle instance, InstanceHandle previousInstance, char* commandLine,
            int showCommand);
intptr_t windowProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);
void startUp(WindowHandle window);

// Defined by each program: the full-screen program takes the display here,
// the windowed one does nothing.
void firstStartUpStep(WindowHandle window);
void onClose(WindowHandle window);
