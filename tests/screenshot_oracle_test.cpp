// F12 pressed for real in the running program under Xvfb: the window's
// picture, F3's view included, saved as a TIFF under the lowest free name in
// the working folder, or in the home folder when the working folder cannot
// be written (which one line on standard error says); named in the caption
// after the rate, and only for a while; read by libtiff and by our reader as
// the very pixels the window shows, at the start size and at an odd one; and
// taken back by the program as its texture.
#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <tiffio.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "assets/tiff_image.h"
#include "support/process.h"
#include "support/window_image.h"
#include "support/x11_client.h"
#include "support/xvfb.h"

static auto* const xvfb = useOwnXvfb();

namespace {

const std::string program = std::string(BINARY_DIR) + "/demo_windowed";
const std::string scene = std::string(DATA_DIR) + "/shadow2.3DS";

// Polls the caption until it holds `name` (or, not wanted, no longer does),
// twenty seconds at most; the caption last seen.
std::string waitForCaptionNaming(X11Client& client, Window window, const std::string& name,
                                 bool wanted) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  for (;;) {
    const std::string caption = windowName(client, window);
    if ((caption.find(name) != std::string::npos) == wanted ||
        std::chrono::steady_clock::now() > deadline)
      return caption;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

// libtiff's RGBA reading, top row first; empty when it cannot read the file.
std::vector<uint32_t> readWithLibtiff(const std::string& path, int width, int height) {
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  std::vector<uint32_t> rgba(static_cast<size_t>(width) * static_cast<size_t>(height));
  if (tif == nullptr || TIFFReadRGBAImageOriented(tif, static_cast<uint32_t>(width),
                                                  static_cast<uint32_t>(height), rgba.data(),
                                                  ORIENTATION_TOPLEFT, 0) != 1)
    rgba.clear();
  if (tif != nullptr) TIFFClose(tif);
  return rgba;
}

}  // namespace

TEST(Screenshot, F12SavesTheWindowsPixelsAsATiffThatLibtiffOurReaderAndTheProgramRead) {
  char made[] = "/tmp/screenshot_test_XXXXXX";
  ASSERT_NE(mkdtemp(made), nullptr);
  const std::string base = made, working = base + "/working", home = base + "/home";
  ASSERT_TRUE(std::filesystem::create_directory(working) &&
              std::filesystem::create_directory(home));
  // Taken names, a dangling link among them: writing through it would make its target.
  ASSERT_EQ(symlink("nowhere.tif", (working + "/shadow-volume-001.tif").c_str()), 0);
  std::ofstream(working + "/shadow-volume-003.tif") << "taken";
  const std::string ownHome = getenv("HOME") != nullptr ? getenv("HOME") : "";
  setenv("HOME", home.c_str(), 1);

  struct Case {
    std::string folder, texture;  // the second case takes the first one's picture as its texture
    int width, height;
    bool volume;  // F3 on before F12; F5 does nothing
    std::string saved, named, said;
  };
  const std::string first = working + "/shadow-volume-002.tif";
  const Case cases[] = {
      {working, "none.tif", 800, 600, true, first, "shadow-volume-002.tif", "none.tif: could"},
      // /proc takes no new file, not even from root.
      {"/proc", first, 333, 257, false, home + "/shadow-volume-001.tif",
       home + "/shadow-volume-001.tif", "/proc: the screenshot could not be saved in this folder"},
  };
  X11Client client;
  ASSERT_TRUE(openX11Client(client));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder);
    ChildProcess child;
    ASSERT_TRUE(startCommand(child, {program, scene, c.texture}, c.folder));
    const Window window = waitForRunningWindow(client);
    ASSERT_NE(window, 0u) << child.output;
    resizeWindow(client, window, c.width, c.height);
    waitForFrames(client, window);
    moveFocus(client, window);
    for (unsigned long key : {c.volume ? XK_F3 : XK_F5, XK_F12}) {
      pressKey(client, key);
      releaseKey(client, key);
    }
    // Named as F4 names its part: after the rate; and gone again a while later.
    const std::string named = " - " + c.named;
    EXPECT_NE(waitForCaptionNaming(client, window, named, true).find(named), std::string::npos);
    waitForFrames(client, window);  // the name comes before the saved frame's swap
    const std::vector<uint32_t> shown = readWindowPixels(client, window, c.width, c.height);
    EXPECT_EQ(waitForCaptionNaming(client, window, named, false).find(named), std::string::npos);
    sendDeleteWindow(client, window);
    EXPECT_EQ(waitForExit(child, 20000), 0) << child.output;
    EXPECT_NE(child.output.find(c.said), std::string::npos) << child.output;
    // Only a texture the program could not use is named on standard error.
    EXPECT_EQ(child.output.find("untextured") != std::string::npos, c.texture == "none.tif");

    TiffImage ours;
    ours.read(c.saved.c_str());
    ASSERT_EQ(ours.pixelBytes, c.width * c.height * 3) << ours.declined;
    const std::vector<uint32_t> theirs = readWithLibtiff(c.saved, c.width, c.height);
    ASSERT_EQ(theirs.size(), shown.size());
    // The screen holds 5-6-5; a window pixel is the high bits of the file's samples.
    size_t differing = 0;
    for (size_t i = 0; i < shown.size(); ++i) {
      const uint8_t* rgb = &ours.pixels[3 * i];
      const uint32_t packed =
          (uint32_t{rgb[0]} >> 3) << 11 | (uint32_t{rgb[1]} >> 2) << 5 | uint32_t{rgb[2]} >> 3;
      differing += packed != shown[i] || TIFFGetR(theirs[i]) != rgb[0] ||
                   TIFFGetG(theirs[i]) != rgb[1] || TIFFGetB(theirs[i]) != rgb[2];
    }
    EXPECT_EQ(differing, 0u) << "of " << shown.size() << " pixels";
  }
  closeX11Client(client);
  setenv("HOME", ownHome.c_str(), 1);
  std::filesystem::remove_all(base);
}
