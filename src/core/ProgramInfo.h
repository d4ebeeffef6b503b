#pragma once
// The texts both programs print for --version and at the end of --help, in
// the words GNU programs use, and the check that they reached standard
// output.

#include <cstdio>
#include <string>

// "NAME (Kestrune) VERSION", the copyright line, the licence and the
// warranty disclaimer, each on its own line.
std::string VersionText(const std::string& program);
// Where to report bugs and the home page, for the end of --help.
std::string BugReportText();
// Writes text to out and flushes it; false (with "PROGRAM: write error:
// REASON" on err) when it could not be written, as into a full disk or a
// closed pipe.
bool PrintAll(const std::string& text, std::FILE* out, std::FILE* err, const std::string& program);
