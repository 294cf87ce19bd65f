// Window pixels off the X server (see window_image.h).
#include "support/window_image.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

// XGetImage on a window that is not viewable is a protocol error, which the
// default handler turns into an exit; here it is just an empty result.
int ignoreErrors(Display*, XErrorEvent*) { return 0; }

}  // namespace

std::vector<uint32_t> readWindowPixels(X11Client& client, Window window, int width, int height) {
  std::vector<uint32_t> pixels;
  if (client.display == nullptr || width <= 0 || height <= 0) return pixels;
  auto previous = XSetErrorHandler(ignoreErrors);
  XSync(client.display, False);
  XImage* image = XGetImage(client.display, window, 0, 0, static_cast<unsigned>(width),
                            static_cast<unsigned>(height), AllPlanes, ZPixmap);
  XSync(client.display, False);
  XSetErrorHandler(previous);
  if (image == nullptr) return pixels;
  pixels.reserve(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) pixels.push_back(static_cast<uint32_t>(XGetPixel(image, x, y)));
  XDestroyImage(image);
  return pixels;
}
