// The programs' command line and their usage text (see command_line.h).
// Options may stand anywhere; a file whose name starts with '-' is given as
// ./-name. --benchmark's SECONDS may be left out, --screenshot's FILE not.
#include "app/command_line.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"

namespace {

constexpr double defaultBenchmarkSeconds = 10.0;
constexpr int longestBenchmarkSeconds = 86400;

bool separates(char c) { return c == ' ' || c == '\t'; }

bool isOption(const std::string& word) { return word.size() >= 2 && word[0] == '-'; }

// The word after --benchmark is its SECONDS when it starts like a number, so
// a scene named like a number is given as ./NAME after it.
bool startsLikeANumber(const std::string& word) {
  return !word.empty() && (std::isdigit(static_cast<unsigned char>(word[0])) || word[0] == '.');
}

bool readSeconds(const std::string& word, double& seconds) {
  char* end = nullptr;
  const double value = std::strtod(word.c_str(), &end);
  if (end == word.c_str() || *end != '\0' || !(value > 0.0) || value > longestBenchmarkSeconds)
    return false;
  seconds = value;
  return true;
}

}  // namespace

std::vector<std::string> splitCommandLine(const char* text) {
  std::vector<std::string> words;
  const char* at = text == nullptr ? "" : text;
  for (;;) {
    while (separates(*at)) ++at;
    if (*at == '\0') return words;
    std::string word;
    bool quoted = false;
    while (*at != '\0' && (quoted || !separates(*at))) {
      size_t backslashes = 0;
      for (; *at == '\\'; ++at) ++backslashes;
      if (*at == '"') {
        word.append(backslashes / 2, '\\');
        if (backslashes % 2 == 1) {
          word += '"';
          ++at;
        } else if (quoted && at[1] == '"') {
          word += '"';
          at += 2;
        } else {
          quoted = !quoted;
          ++at;
        }
      } else if (backslashes > 0) {
        word.append(backslashes, '\\');
      } else {
        word += *at++;
      }
    }
    words.push_back(word);
  }
}

CommandLine readCommandLine(const char* text) {
  CommandLine commandLine;
  std::vector<std::string> paths;
  const std::vector<std::string> words = splitCommandLine(text);
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (!isOption(word)) {
      paths.push_back(word);
    } else if (word == "--all-meshes") {
      commandLine.allMeshes = true;
    } else if (word == "--second-mode") {
      commandLine.secondMode = true;
    } else if (word == "--benchmark") {
      commandLine.benchmarkSeconds = defaultBenchmarkSeconds;
      if (i + 1 < words.size() && startsLikeANumber(words[i + 1]) &&
          !readSeconds(words[++i], commandLine.benchmarkSeconds)) {
        commandLine.mistake = "--benchmark takes a number of seconds above 0 and up to " +
                              std::to_string(longestBenchmarkSeconds) + ", not \"" + words[i] +
                              "\"";
        return commandLine;
      }
    } else if (word == "--screenshot") {
      if (i + 1 >= words.size() || words[i + 1].empty() || isOption(words[i + 1])) {
        commandLine.mistake = "--screenshot needs the file to save the picture to";
        return commandLine;
      }
      commandLine.screenshotPath = words[++i];
    } else if (word == "--help") {
      commandLine.helpAsked = true;
    } else {
      commandLine.mistake = "unknown option \"" + word + "\"";
      return commandLine;
    }
  }
  if (paths.size() > 2) {
    commandLine.mistake = "a scene and a texture at most; \"" + paths[2] + "\" is one too many";
  }
  // Without a run there is no last frame to save; F12 saves the window's
  // picture at any time.
  if (!commandLine.screenshotPath.empty() && commandLine.benchmarkSeconds == 0.0) {
    commandLine.mistake = "--screenshot saves the last frame of a --benchmark run; F12 saves the "
                          "window's picture at any time";
  }
  commandLine.scenePathGiven = paths.size() > 0;
  if (commandLine.scenePathGiven) commandLine.scenePath = paths[0];
  if (paths.size() > 1) commandLine.texturePath = paths[1];
  return commandLine;
}

std::string usageText(const char* programName) {
  return std::string("Usage: ") + programName + " [OPTION]... [SCENE [TEXTURE]]\n" +
         "Draws the 3D Studio scene SCENE with the TIFF image TEXTURE (\"txt.tif\" when\n"
         "not given) on it, both from the working folder unless the path says otherwise.\n"
         "Without SCENE they are \"shadow2.3DS\" and \"txt.tif\" from the working folder\n"
         "when it holds that scene, else from the demo's installed data folder.\n"
         "\n"
         "  --all-meshes  draw every mesh of the scene, joined into one, so that they\n"
         "                shadow each other; without it only the first is drawn\n"
         "  --second-mode start in the second shadow mode (F2), right on any mesh\n"
         "  --benchmark [SECONDS]\n"
         "                draw for SECONDS (10 when not given) with the light going\n"
         "                round, half the time in each shadow mode, then print each\n"
         "                mode's frame rate and frame times and exit; a close ends\n"
         "                it early\n"
         "  --screenshot FILE\n"
         "                with --benchmark, save the run's last frame to FILE (TIFF)\n"
         "  --help        show this text and exit\n"
         "\n"
         "Keys (a fixed step per frame):\n"
         "  Up / Down           move forward / back\n"
         "  Left / Right        step left / right\n"
         "  Tab                 switch the six keys below between moving the light\n"
         "                      (at start) and turning the view\n"
         "  Home / End          light up / down, or turn about the eye's X axis\n"
         "  Delete / Page Down  light left / right, or turn about the eye's Y axis\n"
         "  Page Up / Insert    light away / nearer, or turn about the eye's Z axis\n"
         "  F2                  switch between the two shadow modes (the first at start)\n"
         "  F3                  show the shadow volume and its silhouette over the frame,\n"
         "                      or not (not at start)\n"
         "  F4                  show the frame after its next pass (depth, shadow mask,\n"
         "                      lit, ambient, textured), then the whole frame again\n"
         "  F12                 save the window's picture as shadow-volume-NNN.tif in\n"
         "                      the working folder (else the home folder)\n"
         "  Escape              close the program, as the close button does\n"
         "\n"
         "Mouse (in proportion to the drag, with either use of Tab):\n"
         "  left drag           turn the view about the eye's X and Y axes, 0.2 degree\n"
         "                      a pixel; the scene follows the pointer\n"
         "  right drag          move the light in the plane facing the eye, 0.2 unit\n"
         "                      a pixel\n"
         "  wheel               move forward / back, 10 units a notch\n";
}

int answerCommandLine(const CommandLine& commandLine) {
  const bool mistaken = !commandLine.mistake.empty();
  const std::string name = programName();
  std::string text = usageText(name.c_str());
  if (mistaken) {
    // The mistake and the usage line; the rest is --help's.
    text = name + ": " + commandLine.mistake + "\n" + text.substr(0, text.find('\n') + 1) + "\"" +
           name + " --help\" tells more.\n";
  }
  if (standardStreamsReachUser()) {
    std::fputs(text.c_str(), mistaken ? stderr : stdout);
  } else {
    showMessageBox("Shadow Volume", text.c_str());
  }
  return mistaken ? 2 : 0;
}
