// The programs' command line: split by Windows' rules, and the shell's words
// coming back unchanged through the quoting the Linux platform layer gives
// them. What the words mean is the programs' tests' part.
#include "app/command_line.h"

#include <gtest/gtest.h>

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

TEST(CommandLine, TheShellsWordsComeBackUnchanged) {
  std::vector<std::string> words{"--all-meshes", "my \"best\" scene.3DS", "C:\\my\ttextures\\", "",
                                 R"(a\\\" b\)"};
  std::vector<char*> argv{const_cast<char*>("demo_windowed")};
  for (std::string& word : words) argv.push_back(word.data());
  EXPECT_EQ(splitCommandLine(programCommandLine(static_cast<int>(argv.size()), argv.data())),
            words);
}
