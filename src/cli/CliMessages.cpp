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

std::string FileErrorLine(const std::string& file, const std::string& message, int cause) {
  std::string line = "kestrune-cli: " + file + ": " + message;
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
    return "kestrune-cli: " + outcome.text;
  return FileErrorLine(outcome.path, outcome.text, outcome.osError);
}

int RunVerb(std::FILE* err, FailureForm form, const std::string& path, const std::function<int()>& verb) {
  int code = cliexit::kOk;
  const OperationOutcome outcome = RunAndCatch(path, [&] { code = verb(); });
  if (outcome.Finished()) return code;
  std::fprintf(err, "%s\n", OperationFailureLine(outcome, form).c_str());
  return cliexit::kFailed;
}
