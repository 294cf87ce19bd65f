// Where start-up takes the scene and the texture from, on folders made for
// the test: given paths as they are; else both files from the first folder
// holding the scene, the working folder before the program's own (where a
// system keeps data beside its programs) before the installed data folder.
#include "app/data_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/command_line.h"

namespace fs = std::filesystem;

TEST(DataFiles, GivenPathsStayAndOtherwiseTheFirstFolderHoldingTheSceneGivesBoth) {
  const fs::path base = fs::temp_directory_path() / "data_files_test";
  const fs::path work = base / "work", program = base / "bin";
  const fs::path installed = base / "share" / "shadow-volume-demo";
  struct Case {
    const char* commandLine;
    bool besideProgram;
    bool sceneInWorkingFolder;  // the other two folders always hold one
    fs::path folder;            // where both come from; empty: the working folder
  };
  const Case cases[] = {{"", true, true, ""},
                        {"", true, false, program},
                        {"", false, false, installed},
                        {"shadow2.3DS", true, false, ""}};
  const fs::path started = fs::current_path();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder.string() + " " + c.commandLine);
    for (const fs::path& folder : {work, program, installed}) {
      fs::create_directories(folder);
      if (folder != work || c.sceneInWorkingFolder) std::ofstream(folder / "shadow2.3DS");
    }
    fs::current_path(work);
    const DataFiles files =
        findDataFiles(readCommandLine(c.commandLine), program.string(), c.besideProgram);
    fs::current_path(started);
    fs::remove_all(base);
    EXPECT_EQ(files.scenePath, (c.folder / "shadow2.3DS").string());
    EXPECT_EQ(files.texturePath, (c.folder / "txt.tif").string());
  }
}
