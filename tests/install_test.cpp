// The demo as a user installs it: `cmake --install` of this build into a
// prefix that is then moved, and the .deb and .tar.gz that cpack makes of
// it, hold the two programs, the bundled data, the desktop entry and its
// icon and nothing else; the .deb depends on the runtime packages of what the
// programs link; demo_windowed from the moved prefix and from the extracted
// .deb, started in an empty folder, draws what the build's draws from data/.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/file_tree.h"
#include "support/process.h"
#include "support/window_image.h"
#include "support/x11_client.h"
#include "support/xvfb.h"

static auto* const xvfb = useOwnXvfb();

namespace {

namespace fs = std::filesystem;

const std::vector<std::string> installedFiles{
    "bin/demo_fullscreen",
    "bin/demo_windowed",
    "share/applications/shadow-volume-demo.desktop",
    "share/icons/hicolor/scalable/apps/shadow-volume-demo.svg",
    "share/shadow-volume-demo/shadow2.3DS",
    "share/shadow-volume-demo/txt.tif",
};

// demo_windowed's window once it runs, started from folder, then closed.
std::vector<uint32_t> startPicture(const fs::path& program, const fs::path& folder) {
  X11Client client;
  EXPECT_TRUE(openX11Client(client));
  ChildProcess child;
  EXPECT_TRUE(startProgram(child, program.string(), folder.string()));
  const Window window = waitForRunningWindow(client);
  int width = 0, height = 0;
  std::vector<uint32_t> picture;
  if (window != 0 && windowSize(client, window, width, height)) {
    picture = readWindowPixels(client, window, width, height);
    sendDeleteWindow(client, window);
  }
  EXPECT_EQ(waitForExit(child, 20000), 0) << program << ": " << child.output;
  // The server lets the window go a little after the program: the next run
  // must not find this one.
  for (int waited = 0; window != 0 && windowExists(client, window) && waited < 5000; waited += 20)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  closeX11Client(client);
  return picture;
}

void expectThePictureFromData(const fs::path& program, const fs::path& folder) {
  static const std::vector<uint32_t> fromData =
      startPicture(fs::path(BINARY_DIR) / "demo_windowed", DATA_DIR);
  ASSERT_FALSE(fromData.empty());
  EXPECT_TRUE(startPicture(program, folder) == fromData) << "not the picture drawn from data/";
}

// The first package of each dependency in a Depends field or a list, without
// versions or the sanitizer runtimes: a sanitized build links them, and a
// package of it serves these tests only.
std::set<std::string> packageNames(std::string text) {
  std::replace(text.begin(), text.end(), ',', ' ');
  std::istringstream words(text);
  std::set<std::string> names;
  for (std::string word; words >> word;) {
    if (word == "|") {
      words >> word;  // an alternative
      continue;
    }
    const bool sanitizer = word.rfind("libasan", 0) == 0 || word.rfind("libubsan", 0) == 0;
    if (word.front() != '(' && word.back() != ')' && !sanitizer) names.insert(word);
  }
  return names;
}

fs::path makeFolder() {
  char made[] = "/tmp/install_test_XXXXXX";
  EXPECT_NE(mkdtemp(made), nullptr);
  fs::create_directory(fs::path(made) / "empty");
  return made;
}

TEST(Install, MovedPrefixHoldsOnlyTheDemoAndDrawsTheBundledSceneFromAnEmptyFolder) {
  const fs::path folder = makeFolder();
  std::string output;
  ASSERT_EQ(
      runCommand({CMAKE_COMMAND, "--install", BINARY_DIR, "--prefix", (folder / "prefix").string()},
                 output),
      0)
      << output;
  const fs::path moved = folder / "moved" / "prefix";
  fs::create_directory(folder / "moved");
  fs::rename(folder / "prefix", moved);
  EXPECT_EQ(filesUnder(moved), installedFiles);
  expectThePictureFromData(moved / "bin/demo_windowed", folder / "empty");
  fs::remove_all(folder);
}

TEST(Install, PackagesHoldOnlyTheDemoTheDebDependsOnRuntimesAndRunsWhereExtracted) {
  const fs::path folder = makeFolder();
  std::string output;
  ASSERT_EQ(
      runCommand({CPACK_COMMAND, "-B", (folder / "packages").string()}, output, 120000, BINARY_DIR),
      0)
      << output;
  fs::path deb, tarball;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder / "packages")) {
    if (entry.path().extension() == ".deb") deb = entry.path();
    if (entry.path().extension() == ".gz") tarball = entry.path();
  }
  fs::create_directory(folder / "tar");
  ASSERT_EQ(runCommand({"tar", "xzf", tarball.string(), "-C", (folder / "tar").string()}, output),
            0)
      << output;
  // It unpacks into one folder of its own.
  EXPECT_EQ(filesUnder(fs::directory_iterator(folder / "tar")->path()), installedFiles);
  ASSERT_EQ(runCommand({"dpkg-deb", "-x", deb.string(), (folder / "deb").string()}, output), 0)
      << output;
  std::vector<std::string> expected;
  for (const std::string& file : installedFiles) expected.push_back("usr/" + file);
  EXPECT_EQ(filesUnder(folder / "deb"), expected);

  // The packages of the libraries the programs name, and the GLX library,
  // which SDL loads itself.
  const std::string packagesLinked =
      "for program in usr/bin/*; do objdump -p $program; done | awk '/NEEDED/ {print $2}' |"
      "sort -u | while read library; do dpkg -S \"*/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/"
      "$library\"; done | cut -d: -f1";
  std::string linked, depends;
  ASSERT_EQ(runCommand({"sh", "-c", packagesLinked}, linked, 60000, (folder / "deb").string()), 0)
      << linked;
  ASSERT_EQ(runCommand({"dpkg-deb", "-f", deb.string(), "Depends"}, depends), 0) << depends;
  EXPECT_EQ(packageNames(depends), packageNames(linked + " libgl1")) << depends;

  expectThePictureFromData(folder / "deb/usr/bin/demo_windowed", folder / "empty");
  fs::remove_all(folder);
}

}  // namespace
