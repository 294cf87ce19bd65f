// Screenshots (see screenshot.h). The picture is read back from the back
// buffer before the swap, where the frame has just finished it; reading the
// front buffer after the swap would give whatever covers the window there.
// A free name is one that names nothing, not even a dangling link, which
// writing would follow. A file cut short by a failed write is removed.
#include "app/screenshot.h"

#include <GL/gl.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "app/frame_rate_caption.h"
#include "assets/rgb_tiff_writer.h"

namespace {

constexpr uint32_t nameShownMs = 2000;
constexpr int highestNumber = 9999;

bool theAsked = false;
std::string theAskedPath;  // empty: the next free name
bool theLastSaved = true;
bool theNameShown = false;
uint32_t theNameShownAt = 0;

// The width x height pixels from the bottom-left corner, top row first.
std::vector<uint8_t> readPicture(int width, int height) {
  const size_t rowBytes = 3 * static_cast<size_t>(width);
  const size_t rows = static_cast<size_t>(height);
  std::vector<uint8_t> bottomUp(rowBytes * rows);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
  std::vector<uint8_t> topDown(bottomUp.size());
  for (size_t y = 0; y < rows; ++y)
    std::memcpy(&topDown[y * rowBytes], &bottomUp[(rows - 1 - y) * rowBytes], rowBytes);
  return topDown;
}

// Empty when the bytes are in the file; otherwise the system's reason.
std::string writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return std::strerror(errno);
  if (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
    const int error = errno;
    std::fclose(file);
    std::remove(path.c_str());
    return std::strerror(error);
  }
  if (std::fclose(file) != 0) {
    const int error = errno;
    std::remove(path.c_str());
    return std::strerror(error);
  }
  return "";
}

// The lowest free shadow-volume-NNN.tif in folder (empty: the working
// folder); empty when every number is taken.
std::string freeName(const std::string& folder) {
  for (int number = 1; number <= highestNumber; ++number) {
    char name[32];
    std::snprintf(name, sizeof name, "shadow-volume-%03d.tif", number);
    const std::string path =
        folder.empty() ? std::string(name) : (std::filesystem::path(folder) / name).string();
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::symlink_status(path, error))) return path;
  }
  return "";
}

std::string workingFolder() {
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::current_path(error);
  return error ? std::string(".") : folder.string();
}

// The working folder first, then the home folder unless it is the same one.
// The path saved to, or empty.
std::string saveUnderFreeName(const std::vector<uint8_t>& tiff) {
  std::vector<std::string> folders{""};
  const std::string home = userHomeFolder();
  std::error_code error;
  if (!home.empty() && !std::filesystem::equivalent(home, ".", error)) folders.push_back(home);
  for (const std::string& folder : folders) {
    const std::string named = folder.empty() ? workingFolder() : folder;
    const std::string path = freeName(folder);
    const std::string failed =
        path.empty() ? "every name up to shadow-volume-9999.tif is taken" : writeFile(path, tiff);
    if (failed.empty()) return path;
    std::fprintf(stderr, "%s: the screenshot could not be saved in this folder (%s).\n",
                 named.c_str(), failed.c_str());
  }
  return "";
}

}  // namespace

void askForScreenshot(const char* path) {
  theAsked = true;
  theAskedPath = path != nullptr ? path : "";
}

void saveScreenshotIfAsked(WindowHandle window) {
  if (theNameShown && timeGetTime() - theNameShownAt >= nameShownMs) {
    theNameShown = false;
    nameSavedFileInCaption(window, nullptr);
  }
  if (!theAsked) return;
  theAsked = false;
  theLastSaved = false;
  Rect client;
  getClientRect(window, client);
  const int width = static_cast<int>(client.right - client.left);
  const int height = static_cast<int>(client.bottom - client.top);
  const std::vector<uint8_t> tiff =
      width > 0 && height > 0 ? rgbTiffBytes(width, height, readPicture(width, height).data())
                              : std::vector<uint8_t>();
  if (tiff.empty()) {
    std::fprintf(stderr, "The window's %d x %d pixels make no picture to save.\n", width, height);
    return;
  }
  std::string saved;
  if (theAskedPath.empty()) {
    saved = saveUnderFreeName(tiff);
  } else {
    const std::string failed = writeFile(theAskedPath, tiff);
    if (failed.empty())
      saved = theAskedPath;
    else
      std::fprintf(stderr, "%s: could not be written (%s).\n", theAskedPath.c_str(),
                   failed.c_str());
  }
  if (saved.empty()) return;
  theLastSaved = true;
  nameSavedFileInCaption(window, saved.c_str());
  theNameShown = true;
  theNameShownAt = timeGetTime();
}

bool lastScreenshotSaved() { return theLastSaved; }
