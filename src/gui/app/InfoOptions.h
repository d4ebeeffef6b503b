#pragma once
// --help and --version of the desktop program, answered before the toolkit
// starts: they print and exit without a display, and fail (exit 1) when
// standard output cannot be written.

#include <cstdio>
#include <optional>

// The exit code when argv asks for help or the version (after printing
// it), or nothing when the program should start. "--" ends the options.
std::optional<int> AnswerInfoOptions(int argc, const char* const* argv, std::FILE* out, std::FILE* err);
