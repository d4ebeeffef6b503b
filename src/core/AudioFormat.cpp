#include "core/AudioFormat.h"

#include <algorithm>
#include <cctype>

bool CAudioFormat::ClaimsPath(const std::string& path) const {
  // The path itself keeps its case (it names the file); only the choice of
  // kind ignores letter case. The extension counts anywhere after the first
  // character, as the program always took it.
  std::string lower = path;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower.find(Extension(), 1) != std::string::npos;
}
