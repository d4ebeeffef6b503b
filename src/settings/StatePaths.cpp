#include "settings/StatePaths.h"

#include <cstdlib>
#include <filesystem>

std::string DefaultBatchLogPath() {
  namespace fs = std::filesystem;
  fs::path folder;
  if (const char* state = std::getenv("KESTRUNE_STATE_DIR"); state && *state) {
    folder = state;
  } else if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg && fs::path(xdg).is_absolute()) {
    // A relative XDG_STATE_HOME is ignored, as the XDG base directory rules say.
    folder = fs::path(xdg) / "Kestrune";
  } else {
    const char* home = std::getenv("HOME");
    folder = fs::path(home && *home ? home : ".") / ".local" / "state" / "Kestrune";
  }
  return (folder / "batchconvert.log").string();
}
