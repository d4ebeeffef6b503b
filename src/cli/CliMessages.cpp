#include "cli/CliMessages.h"

#include <cerrno>
#include <cstring>

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
