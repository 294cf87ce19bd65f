// The programs' command line: split by Windows' rules, the shell's words
// surviving the quoting the Linux platform layer gives them, and what the
// words mean.
#include <gtest/gtest.h>

#include "app/command_line.h"
#include "platform/platform.h"

TEST(CommandLine, SplitsByWindowsRules) {
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"", {}},
      {" \ta\t b ", {"a", "b"}},
      {R"("a b c" d e)", {"a b c", "d", "e"}},
      {R"("ab\"c" "\\" d)", {"ab\"c", "\\", "d"}},
      {R"(a\\\b d"e f"g h)", {R"(a\\\b)", "de fg", "h"}},
      {R"(a\\\"b c d)", {R"(a\"b)", "c", "d"}},
      {R"(a\\\\"b c" d e)", {R"(a\\b c)", "d", "e"}},
      {R"(a"b"" c d)", {"ab\" c d"}},
      {R"("" "C:\my scenes\\")", {"", R"(C:\my scenes\)"}},
  };
  for (const auto& [text, words] : cases) EXPECT_EQ(splitCommandLine(text), words) << text;
}

TEST(CommandLine, WordsFromTheShellComeBackUnchanged) {
  std::vector<std::string> words{"plain", "with space", "", "tab\there", "quote\"in",
                                 R"(back\slash)", R"(ends\)", R"(ends space\)", R"(\")",
                                 R"(C:\my scenes\)", "--all-meshes"};
  std::vector<char*> argv{const_cast<char*>("demo_windowed")};
  for (std::string& word : words) argv.push_back(word.data());
  EXPECT_EQ(splitCommandLine(programCommandLine(static_cast<int>(argv.size()), argv.data())),
            words);
}

TEST(CommandLine, OptionsAndPaths) {
  struct Case {
    const char* text;
    const char* scene;
    const char* texture;
    bool allMeshes;
    bool help;
    const char* mistake;
  };
  const Case cases[] = {
      {"", "shadow2.3DS", "txt.tif", false, false, ""},
      {R"(--all-meshes "my scene.3DS")", "my scene.3DS", "txt.tif", true, false, ""},
      {"a.3DS --all-meshes b.tif", "a.3DS", "b.tif", true, false, ""},
      {"-- --help -", "--help", "-", false, false, ""},
      {"a.3DS --help", "a.3DS", "txt.tif", false, true, ""},
      {"--all-meshes --bogus", "shadow2.3DS", "txt.tif", true, false, R"(unknown option "--bogus")"},
      {"a b c", "a", "b", false, false, R"(a scene and a texture at most; "c" is one too many)"},
  };
  for (const Case& c : cases) {
    const CommandLine read = readCommandLine(c.text);
    EXPECT_EQ(read.scenePath, c.scene) << c.text;
    EXPECT_EQ(read.texturePath, c.texture) << c.text;
    EXPECT_EQ(read.allMeshes, c.allMeshes) << c.text;
    EXPECT_EQ(read.helpAsked, c.help) << c.text;
    EXPECT_EQ(read.mistake, c.mistake) << c.text;
  }
}
