// OpenGL on a window through SDL2: the device context, the choice of the
// closest available pixel format, setting it, rendering contexts and buffer
// swap. A format is "available" when the driver can make a window with it;
// candidates run from the one asked for through smaller depth buffers
// (32, 24, 16) and, last, any colour sizes at all. Accumulation, auxiliary
// buffers and layers are not offered.
#include <algorithm>
#include <vector>

#include "platform/sdl/window_table.h"

struct PlatformRenderingContext {
  SDL_GLContext context;
  PlatformWindow* window;
};

namespace {

struct FormatCandidate {
  int red, green, blue, alpha, depth, stencil;
  bool doubleBuffer;
};

std::vector<FormatCandidate> chosenFormats;  // index - 1 is what choosePixelFormat returned

void applyAttributes(const FormatCandidate& format) {
  SDL_GL_ResetAttributes();
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, format.red);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, format.green);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, format.blue);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, format.alpha);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, format.depth);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, format.stencil);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, format.doubleBuffer ? 1 : 0);
  SDL_GL_SetAttribute(SDL_GL_ACCUM_RED_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_ACCUM_GREEN_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_ACCUM_BLUE_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_ACCUM_ALPHA_SIZE, 0);
}

bool driverHas(const FormatCandidate& format) {
  applyAttributes(format);
  SDL_Window* probe = SDL_CreateWindow("", 0, 0, 1, 1, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (probe == nullptr) return false;
  SDL_DestroyWindow(probe);
  return true;
}

}  // namespace

DeviceContext getDC(WindowHandle window) {
  if (window == nullptr || window->sdlWindow == nullptr) return nullptr;
  return &window->deviceContext;
}

// The device context is part of the window record; there is nothing to give back.
bool releaseDC(WindowHandle window, DeviceContext deviceContext) {
  return window != nullptr && deviceContext == &window->deviceContext;
}

int choosePixelFormat(DeviceContext deviceContext, const PixelFormatDescriptor& descriptor) {
  if (deviceContext == nullptr || !startVideo()) return 0;
  if ((descriptor.flags & PFD_SUPPORT_OPENGL) == 0 || descriptor.pixelType != PFD_TYPE_RGBA)
    return 0;
  FormatCandidate wanted{descriptor.redBits, descriptor.greenBits, descriptor.blueBits,
                         descriptor.alphaBits, descriptor.depthBits, descriptor.stencilBits,
                         (descriptor.flags & PFD_DOUBLEBUFFER) != 0};
  std::vector<FormatCandidate> candidates{wanted};
  for (int depth : {32, 24, 16})
    if (depth < wanted.depth) {
      FormatCandidate smaller = wanted;
      smaller.depth = depth;
      candidates.push_back(smaller);
    }
  FormatCandidate anyColour = candidates.back();
  anyColour.red = anyColour.green = anyColour.blue = 0;
  candidates.push_back(anyColour);

  for (const FormatCandidate& candidate : candidates)
    if (driverHas(candidate)) {
      chosenFormats.push_back(candidate);
      return static_cast<int>(chosenFormats.size());
    }
  return 0;
}

bool setPixelFormat(DeviceContext deviceContext, int index, const PixelFormatDescriptor&) {
  if (deviceContext == nullptr || index < 1 || index > static_cast<int>(chosenFormats.size()))
    return false;
  applyAttributes(chosenFormats[static_cast<size_t>(index - 1)]);
  return remakeWindow(deviceContext->window, SDL_WINDOW_OPENGL);
}

RenderingContext createContext(DeviceContext deviceContext) {
  if (deviceContext == nullptr || deviceContext->window->sdlWindow == nullptr) return nullptr;
  SDL_Window* window = deviceContext->window->sdlWindow;
  if ((SDL_GetWindowFlags(window) & SDL_WINDOW_OPENGL) == 0) return nullptr;
  SDL_Window* previousWindow = SDL_GL_GetCurrentWindow();
  SDL_GLContext previousContext = SDL_GL_GetCurrentContext();
  SDL_GLContext context = SDL_GL_CreateContext(window);  // also makes it current
  SDL_GL_MakeCurrent(previousWindow, previousContext);
  if (context == nullptr) return nullptr;
  return new PlatformRenderingContext{context, deviceContext->window};
}

bool makeCurrent(DeviceContext deviceContext, RenderingContext renderingContext) {
  if (renderingContext == nullptr) {
    SDL_GL_MakeCurrent(SDL_GL_GetCurrentWindow(), nullptr);
    return true;
  }
  if (deviceContext == nullptr || deviceContext->window->sdlWindow == nullptr) return false;
  return SDL_GL_MakeCurrent(deviceContext->window->sdlWindow, renderingContext->context) == 0;
}

bool deleteContext(RenderingContext renderingContext) {
  if (renderingContext == nullptr) return false;
  if (SDL_GL_GetCurrentContext() == renderingContext->context)
    SDL_GL_MakeCurrent(SDL_GL_GetCurrentWindow(), nullptr);
  SDL_GL_DeleteContext(renderingContext->context);
  delete renderingContext;
  return true;
}

bool swapBuffers(DeviceContext deviceContext) {
  if (deviceContext == nullptr || deviceContext->window->sdlWindow == nullptr) return false;
  SDL_GL_SwapWindow(deviceContext->window->sdlWindow);
  return true;
}
