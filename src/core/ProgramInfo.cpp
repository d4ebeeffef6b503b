#include "core/ProgramInfo.h"

#include <cerrno>
#include <cstring>

#include "Version.h"

std::string VersionText(const std::string& program) {
  return program +
         " (Kestrune) " KESTRUNE_VERSION
         "\n"
         "Copyright (C) " KESTRUNE_COPYRIGHT_YEAR " " KESTRUNE_AUTHORS
         "\n"
         "License GPL-3.0-or-later: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"
         "This is free software: you are free to change and redistribute it.\n"
         "There is NO WARRANTY, to the extent permitted by law.\n";
}

std::string BugReportText() {
  return "Report bugs to: <" KESTRUNE_CONTACT
         ">\n"
         "Kestrune home page: <" KESTRUNE_HOMEPAGE ">\n";
}

bool PrintAll(const std::string& text, std::FILE* out, std::FILE* err, const std::string& program) {
  errno = 0;
  const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
  if (std::fflush(out) == 0 && written && !std::ferror(out)) return true;
  const int cause = errno;
  std::fprintf(err, "%s: write error%s%s\n", program.c_str(), cause ? ": " : "",
               cause ? std::strerror(cause) : "");
  return false;
}
