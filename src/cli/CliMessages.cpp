#include "cli/CliMessages.h"

#include <cerrno>
#include <cstring>

#include "cli/CliJob.h"

const char* SystemReason(int cause) {
  if (cause == 0) return "";
  // The output's lock (flock) is held by another writer.
  if (cause == EWOULDBLOCK || cause == EAGAIN) return "locked by another program";
  return std::strerror(cause);
}

std::string TerminalText(const std::string& text, bool latin1, bool keepLineEnds) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string shown;
  shown.reserve(text.size());
  const auto escape = [&shown](unsigned char byte) {
    shown += "\\x";
    shown += kHex[byte >> 4];
    shown += kHex[byte & 15];
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if ((c < 0x20 && !(keepLineEnds && c == '\n')) || c == 0x7f) {
      escape(c);
    } else if (latin1 && c >= 0x80) {
      if (c < 0xa0) {
        escape(c);
      } else {
        shown += static_cast<char>(0xc0 | (c >> 6));
        shown += static_cast<char>(0x80 | (c & 0x3f));
      }
    } else if (!latin1 && c == 0xc2 && i + 1 < text.size() &&
               static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(text[i + 1]) < 0xa0) {
      escape(c);
      escape(static_cast<unsigned char>(text[++i]));
    } else {
      shown += static_cast<char>(c);
    }
  }
  return shown;
}

std::string FileErrorLine(const std::string& file, const std::string& message, int cause) {
  std::string line = "kestrune-cli: " + TerminalText(file) + ": " + TerminalText(message);
  if (cause != 0) line += std::string(" (") + SystemReason(cause) + ")";
  return line;
}

void PrintFileError(std::FILE* err, const std::string& file, const std::string& message, int cause) {
  std::fprintf(err, "%s\n", FileErrorLine(file, message, cause).c_str());
}

void PrintUsageError(std::FILE* err, const std::string& message) {
  std::fprintf(err, "kestrune-cli: %s\n%s\n", message.c_str(), kTryHelpLine);
}

std::string OperationFailureLine(const OperationOutcome& outcome, FailureForm form) {
  if ((form == FailureForm::OwnText && outcome.ending == OperationOutcome::Ending::Failed) ||
      outcome.path.empty())
    return "kestrune-cli: " + TerminalText(outcome.text);
  return FileErrorLine(outcome.path, outcome.text, outcome.osError);
}

int RunVerb(std::FILE* err, FailureForm form, const std::string& path, const std::function<int()>& verb) {
  int code = cliexit::kOk;
  const OperationOutcome outcome = RunAndCatch(path, [&] { code = verb(); });
  if (outcome.Finished()) return code;
  std::fprintf(err, "%s\n", OperationFailureLine(outcome, form).c_str());
  return cliexit::kFailed;
}
