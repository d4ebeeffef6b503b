#include "gui/app/InfoOptions.h"

#include <string_view>

#include "core/ProgramInfo.h"

namespace {

constexpr const char* kUsage =
    "Usage: kestrune [OPTION]... [FILE]\n"
    "Cuts and converts WAV and MP3 files.\n"
    "\n"
    "Options:\n"
    "  -h, --help     Displays help on commandline options.\n"
    "  --help-all     Displays help including Qt specific options.\n"
    "  -v, --version  Displays version information.\n"
    "\n"
    "Arguments:\n"
    "  FILE           The WAV or MP3 file to open.\n";

// The options QApplication itself reads.
constexpr const char* kQtOptions =
    "\n"
    "Qt options:\n"
    "  -platform NAME[:OPTIONS]  The window system to use (xcb, wayland, offscreen).\n"
    "  -display DISPLAY          The X display to use.\n"
    "  -style STYLE              The widget style.\n"
    "  -stylesheet FILE          A style sheet for the widgets.\n"
    "  -reverse                  Right-to-left layout.\n"
    "  -qwindowgeometry GEOMETRY The geometry of the first window.\n"
    "  -qwindowtitle TITLE       The title of the first window.\n"
    "  -session SESSION          Restore the given session.\n";

enum class Ask { Nothing, Help, HelpAll, Version };

Ask WhatIsAsked(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--") break;
    if (arg == "-h" || arg == "--help" || arg == "-help" || arg == "-?") return Ask::Help;
    if (arg == "--help-all") return Ask::HelpAll;
    if (arg == "-v" || arg == "--version") return Ask::Version;
  }
  return Ask::Nothing;
}

}  // namespace

std::optional<int> AnswerInfoOptions(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
  std::string text;
  switch (WhatIsAsked(argc, argv)) {
    case Ask::Nothing:
      return std::nullopt;
    case Ask::Help:
      text = std::string(kUsage) + "\n" + BugReportText();
      break;
    case Ask::HelpAll:
      text = std::string(kUsage) + kQtOptions + "\n" + BugReportText();
      break;
    case Ask::Version:
      text = VersionText("kestrune");
      break;
  }
  return PrintAll(text, out, err, "kestrune") ? 0 : 1;
}
