#pragma once
// The tool's error lines, one each on standard error, in the form GNU tools
// use:
//   kestrune-cli: FILE: MESSAGE (REASON)    a file could not be worked on
//   kestrune-cli: MESSAGE                   anything else
//   Try 'kestrune-cli --help' for more information.   after a usage error
// MESSAGE is the program's own message text; REASON is the system's, where
// there is one.

#include <cstdio>
#include <functional>
#include <string>

#include "core/OperationRunner.h"

inline constexpr const char* kTryHelpLine = "Try 'kestrune-cli --help' for more information.";

// The system's words for errno: strerror's, except for a lock another
// process holds, which strerror calls "Resource temporarily unavailable".
// Empty for 0. (A pointer to the text, not a copy: the text then stays whole
// in the binary, where lintian's spelling check reads it.)
const char* SystemReason(int cause);

// Text from files (names, tags, cue sheets) as it may reach a terminal: the
// control characters that would drive it (C0, DEL, and C1, which UTF-8
// writes as C2 80..9F) shown as \xHH, line ends kept only when asked.
// latin1: the text is Latin-1 (ID3v1), turned into UTF-8 on the way.
std::string TerminalText(const std::string& text, bool latin1 = false, bool keepLineEnds = false);

// "kestrune-cli: FILE: MESSAGE (REASON)", the reason left out when cause is
// 0; FILE and MESSAGE as TerminalText shows them.
std::string FileErrorLine(const std::string& file, const std::string& message, int cause = 0);

// Prints the line of FileErrorLine to err.
void PrintFileError(std::FILE* err, const std::string& file, const std::string& message, int cause = 0);

// Prints "kestrune-cli: MESSAGE" and the line that points to --help.
void PrintUsageError(std::FILE* err, const std::string& message);

// How a verb prints the failure that ended it.
enum class FailureForm {
  FileLine,  // "kestrune-cli: FILE: MESSAGE (REASON)"
  OwnText,   // "kestrune-cli: MESSAGE": a failure's own message names its file
};

// The line of the failure that ended an operation. A failed allocation or a
// fault of no known kind is always a file line naming the outcome's path
// (when there is one).
std::string OperationFailureLine(const OperationOutcome& outcome, FailureForm form);

// Runs a verb through the engine's runner: the verb's own exit code, or 1
// after the failure that ended it, printed to err in form. path names the
// file of a failure that has none of its own. Nothing escapes.
int RunVerb(std::FILE* err, FailureForm form, const std::string& path, const std::function<int()>& verb);
