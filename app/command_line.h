// The programs' command line, `[--all-meshes] [--second-mode] [--benchmark
// [SECONDS] [--screenshot FILE]] [SCENE [TEXTURE]]`, and the usage text that
// --help and a mistake print. WinMain gets the command line as one text
// without the program's name, on every system; it is split into
// words here with Windows' rules, so quoting works the same on both (on Linux
// the platform layer quotes the words the shell gave).
#pragma once

#include <string>
#include <vector>

struct CommandLine {
  std::string scenePath = "shadow2.3DS";
  std::string texturePath = "txt.tif";
  // Without a scene on the command line, start-up looks for the default
  // files in more than the working folder (app/data_files.h).
  bool scenePathGiven = false;
  bool allMeshes = false;
  bool secondMode = false;  // start in the second shadow mode
  // --benchmark: how long the run lasts, 0 when none is asked for; with
  // --screenshot, the file its last frame goes to.
  double benchmarkSeconds = 0.0;
  std::string screenshotPath;
  bool helpAsked = false;
  std::string mistake;  // what was wrong with the command line; empty when nothing
};

// Windows' rules: words are separated by spaces and tabs outside double
// quotes; 2n backslashes before a quote give n and the quote opens or closes
// quoting, 2n + 1 give n and a literal quote; "" inside quotes is a literal
// quote; other backslashes are literal.
std::vector<std::string> splitCommandLine(const char* text);
CommandLine readCommandLine(const char* text);

// The usage line, the options and the keys.
std::string usageText(const char* programName);
// For --help or a mistake: prints the usage (and the mistake) on standard
// output or error, or shows it in a message box where those reach nobody,
// and gives the exit code: 0 for --help, 2 for a mistake.
int answerCommandLine(const CommandLine& commandLine);
