// The demo as a user installs it: `cmake --install` of this build into a
// prefix that is then moved, and the .deb and .tar.gz that cpack makes of
// it. Each holds the two programs, the bundled scene and texture, the desktop
// entry and its icon, and nothing else; demo_windowed from the moved prefix
// and from the extracted .deb, started in an empty folder, draws the start
// picture the build's draws from data/; the .deb depends on the packages of
// the libraries the programs link, on the GLX library, and on no -dev package.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
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

// The packages that hold the libraries the program names, resolved as the
// loader resolves them here (dpkg may know the file under /usr only).
std::set<std::string> packagesLinkedBy(const fs::path& program) {
  std::string dynamic, resolved;
  EXPECT_EQ(runCommand({"objdump", "-p", program.string()}, dynamic), 0) << dynamic;
  EXPECT_EQ(runCommand({"ldd", program.string()}, resolved), 0) << resolved;
  const auto merged = [](const std::string& path) {
    return path.rfind("/usr/", 0) == 0 ? path.substr(4) : path;
  };
  std::set<std::string> packages;
  std::istringstream entries(dynamic);
  for (std::string word, library; entries >> word;) {
    if (word != "NEEDED" || !(entries >> library)) continue;
    const size_t start = resolved.find(library + " => ");
    EXPECT_NE(start, std::string::npos) << library << " is not resolved:\n" << resolved;
    if (start == std::string::npos) continue;
    const size_t pathStart = start + library.size() + 4;
    const std::string path = resolved.substr(pathStart, resolved.find(' ', pathStart) - pathStart);
    std::string owners;
    runCommand({"dpkg", "-S", "*/" + library}, owners);
    std::istringstream lines(owners);
    bool owned = false;
    for (std::string line; std::getline(lines, line);) {
      const size_t colon = line.find(": /");
      if (colon == std::string::npos || merged(line.substr(colon + 2)) != merged(path)) continue;
      packages.insert(line.substr(0, std::min(colon, line.find(':'))));
      owned = true;
    }
    EXPECT_TRUE(owned) << path << " is in no package:\n" << owners;
  }
  return packages;
}

// The first alternative of each dependency; every alternative is checked
// not to be a -dev package.
std::set<std::string> dependsOf(const fs::path& deb) {
  std::string field;
  EXPECT_EQ(runCommand({"dpkg-deb", "-f", deb.string(), "Depends"}, field), 0) << field;
  std::set<std::string> packages;
  std::istringstream clauses(field);
  for (std::string clause; std::getline(clauses, clause, ',');) {
    std::istringstream words(clause);
    bool first = true;
    for (std::string word; words >> word;) {
      if (word == "|" || word.front() == '(' || word.back() == ')') continue;
      EXPECT_EQ(word.find("-dev"), std::string::npos) << field;
      if (first) packages.insert(word);
      first = false;
    }
  }
  return packages;
}

// A sanitized build links its runtimes; a package of it serves these tests
// only, so they count on neither side.
std::set<std::string> withoutSanitizerRuntimes(const std::set<std::string>& packages) {
  std::set<std::string> kept;
  for (const std::string& package : packages)
    if (package.rfind("libasan", 0) != 0 && package.rfind("libubsan", 0) != 0) kept.insert(package);
  return kept;
}

class Installed : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    fromData_ = startPicture(fs::path(BINARY_DIR) / "demo_windowed", DATA_DIR);
  }
  void SetUp() override {
    char made[] = "/tmp/install_test_XXXXXX";
    ASSERT_NE(mkdtemp(made), nullptr);
    folder_ = made;
    fs::create_directory(folder_ / "empty");
  }
  void TearDown() override { fs::remove_all(folder_); }

  // Every pixel of the installed program's start picture, drawn from an
  // empty folder, is the one the build's draws from data/.
  void expectThePictureFromData(const fs::path& program) {
    ASSERT_FALSE(fromData_.empty());
    const std::vector<uint32_t> picture = startPicture(program, folder_ / "empty");
    ASSERT_EQ(picture.size(), fromData_.size());
    size_t differing = 0;
    for (size_t i = 0; i < picture.size(); ++i) differing += picture[i] != fromData_[i] ? 1 : 0;
    EXPECT_EQ(differing, 0u) << "pixels differ from the picture drawn from data/";
  }

  static std::vector<uint32_t> fromData_;
  fs::path folder_;
};

std::vector<uint32_t> Installed::fromData_;

TEST_F(Installed, MovedPrefixHoldsOnlyTheDemoAndDrawsTheBundledSceneFromAnEmptyFolder) {
  std::string output;
  ASSERT_EQ(runCommand({CMAKE_COMMAND, "--install", BINARY_DIR, "--prefix",
                        (folder_ / "prefix").string()}, output), 0)
      << output;
  const fs::path moved = folder_ / "moved" / "prefix";
  fs::create_directory(folder_ / "moved");
  fs::rename(folder_ / "prefix", moved);
  EXPECT_EQ(filesUnder(moved), installedFiles);
  // The desktop entry starts the installed program and shows the installed icon.
  std::ifstream entry(moved / "share/applications/shadow-volume-demo.desktop");
  std::set<std::string> lines;
  for (std::string line; std::getline(entry, line);) lines.insert(line);
  EXPECT_EQ(lines.count("Exec=demo_windowed"), 1u);
  EXPECT_EQ(lines.count("Icon=shadow-volume-demo"), 1u);
  expectThePictureFromData(moved / "bin/demo_windowed");
}

TEST_F(Installed, PackagesHoldOnlyTheDemoTheDebDependsOnWhatItLinksAndRunsWhereExtracted) {
  std::string output;
  const fs::path packages = folder_ / "packages";
  ASSERT_EQ(runCommand({CPACK_COMMAND, "-B", packages.string()}, output, 120000, BINARY_DIR), 0)
      << output;
  fs::path deb, tarball;
  for (const fs::directory_entry& entry : fs::directory_iterator(packages)) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() == ".deb") deb = entry.path();
    if (name.size() > 7 && name.substr(name.size() - 7) == ".tar.gz") tarball = entry.path();
  }
  ASSERT_FALSE(deb.empty()) << output;
  ASSERT_FALSE(tarball.empty()) << output;

  const fs::path extracted = folder_ / "deb";
  ASSERT_EQ(runCommand({"dpkg-deb", "-x", deb.string(), extracted.string()}, output), 0) << output;
  std::vector<std::string> expected;
  for (const std::string& file : installedFiles) expected.push_back("usr/" + file);
  EXPECT_EQ(filesUnder(extracted), expected);
  fs::create_directory(folder_ / "tar");
  ASSERT_EQ(runCommand({"tar", "xzf", tarball.string(), "-C", (folder_ / "tar").string()}, output),
            0)
      << output;
  // One folder, named as the tarball.
  EXPECT_EQ(filesUnder(fs::directory_iterator(folder_ / "tar")->path()), installedFiles);

  // SDL loads the GLX library itself.
  std::set<std::string> linked{"libgl1"};
  for (const char* program : {"demo_windowed", "demo_fullscreen"})
    for (const std::string& package : packagesLinkedBy(extracted / "usr/bin" / program))
      linked.insert(package);
  EXPECT_EQ(withoutSanitizerRuntimes(dependsOf(deb)), withoutSanitizerRuntimes(linked));
  EXPECT_EQ(linked.count("libsdl2-2.0-0"), 1u) << "the libraries were not found";

  expectThePictureFromData(extracted / "usr/bin/demo_windowed");
}

}  // namespace
