// OpenGL on a window through WGL: the window's device context, the pixel
// format (ChoosePixelFormat gives the closest the driver has), rendering
// contexts and the buffer swap.
#include "platform/platform.h"

namespace {

PIXELFORMATDESCRIPTOR windowsDescriptor(const PixelFormatDescriptor& ours) {
  PIXELFORMATDESCRIPTOR theirs{};
  theirs.nSize = ours.size;
  theirs.nVersion = ours.version;
  theirs.dwFlags = ours.flags;
  theirs.iPixelType = ours.pixelType;
  theirs.cColorBits = ours.colorBits;
  theirs.cRedBits = ours.redBits;
  theirs.cRedShift = ours.redShift;
  theirs.cGreenBits = ours.greenBits;
  theirs.cGreenShift = ours.greenShift;
  theirs.cBlueBits = ours.blueBits;
  theirs.cBlueShift = ours.blueShift;
  theirs.cAlphaBits = ours.alphaBits;
  theirs.cAlphaShift = ours.alphaShift;
  theirs.cAccumBits = ours.accumBits;
  theirs.cAccumRedBits = ours.accumRedBits;
  theirs.cAccumGreenBits = ours.accumGreenBits;
  theirs.cAccumBlueBits = ours.accumBlueBits;
  theirs.cAccumAlphaBits = ours.accumAlphaBits;
  theirs.cDepthBits = ours.depthBits;
  theirs.cStencilBits = ours.stencilBits;
  theirs.cAuxBuffers = ours.auxBuffers;
  theirs.iLayerType = ours.layerType;
  theirs.bReserved = ours.reserved;
  theirs.dwLayerMask = ours.layerMask;
  theirs.dwVisibleMask = ours.visibleMask;
  theirs.dwDamageMask = ours.damageMask;
  return theirs;
}

}  // namespace

DeviceContext getDC(WindowHandle window) { return GetDC(window); }

bool releaseDC(WindowHandle window, DeviceContext deviceContext) {
  return ReleaseDC(window, deviceContext) == 1;
}

int choosePixelFormat(DeviceContext deviceContext, const PixelFormatDescriptor& descriptor) {
  PIXELFORMATDESCRIPTOR theirs = windowsDescriptor(descriptor);
  return ChoosePixelFormat(deviceContext, &theirs);
}

bool setPixelFormat(DeviceContext deviceContext, int index,
                    const PixelFormatDescriptor& descriptor) {
  PIXELFORMATDESCRIPTOR theirs = windowsDescriptor(descriptor);
  return SetPixelFormat(deviceContext, index, &theirs) != 0;
}

RenderingContext createContext(DeviceContext deviceContext) {
  return wglCreateContext(deviceContext);
}

bool makeCurrent(DeviceContext deviceContext, RenderingContext renderingContext) {
  return wglMakeCurrent(deviceContext, renderingContext) != 0;
}

bool deleteContext(RenderingContext renderingContext) {
  return wglDeleteContext(renderingContext) != 0;
}

bool swapBuffers(DeviceContext deviceContext) { return SwapBuffers(deviceContext) != 0; }
