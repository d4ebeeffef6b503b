#include "core/AudioFormat.h"

#include "core/Progress.h"

bool CAudioFormat::ClaimsPath(const std::string& path) const {
  // The path itself keeps its case (it names the file); only the choice of
  // kind ignores letter case. The extension counts anywhere after the first
  // character, as the program always took it.
  return ToUpperAscii(path).find(ToUpperAscii(Extension()), 1) != std::string::npos;
}
