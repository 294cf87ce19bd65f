// Where start-up takes the scene and the texture from, on folders made for
// the test: given paths as they are, else both files from the first of the
// working folder, the program's own folder (where a system keeps data beside
// its programs) and the installed data folder that holds the scene. The
// programs' tests show the message naming every folder when none does.
#include "app/data_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/command_line.h"

namespace fs = std::filesystem;

TEST(DataFiles, GivenPathsStayAndOtherwiseTheFirstFolderHoldingTheSceneGivesBoth) {
  const fs::path base = fs::temp_directory_path() / "data_files_test";
  fs::remove_all(base);
  const fs::path work = base / "work", program = base / "bin";
  const fs::path installed = base / "share" / "shadow-volume-demo";
  struct Case {
    std::vector<fs::path> holdingTheScene;
    const char* commandLine;
    bool besideProgram;
    fs::path folder;  // empty: the names stay relative, to the working folder
  };
  const Case cases[] = {
      {{work, program, installed}, "", true, ""},
      {{program, installed}, "", true, program},
      {{program, installed}, "", false, installed},
      {{installed}, "shadow2.3DS", true, ""},
  };
  const fs::path started = fs::current_path();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder.string() + " " + c.commandLine);
    for (const fs::path& folder : {work, program, installed}) fs::create_directories(folder);
    for (const fs::path& folder : c.holdingTheScene) std::ofstream(folder / "shadow2.3DS");
    fs::current_path(work);
    const DataFiles files =
        findDataFiles(readCommandLine(c.commandLine), program.string(), c.besideProgram);
    fs::current_path(started);
    fs::remove_all(base);
    EXPECT_EQ(files.scenePath, (c.folder / "shadow2.3DS").string());
    EXPECT_EQ(files.texturePath, (c.folder / "txt.tif").string());
    EXPECT_EQ(files.notFound, "");
  }
}
