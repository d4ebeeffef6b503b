#pragma once
// The command-line tool: one job per run, parsed from the arguments and run
// on the same engine as the desktop program.

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "core/AudioFormat.h"
#include "core/FlacEncoder.h"
#include "core/Mp3EncodeSettings.h"

class CAudioFile;
class CProgress;
struct OperationResult;

enum class CliVerb { Info, Shred, Cut, ToMp3, ToWav, To16Bit, To8Bit, Rip, ToFlac };

struct CliOptions {
  CliVerb verb = CliVerb::Info;
  std::string input;
  std::string output;
  bool quiet = false;
  bool json = false;  // info, shred --estimate: one JSON object instead of the text
  // shred
  std::uint32_t splits = 0;
  std::string base;
  std::optional<std::uint64_t> overlap;  // microseconds; default: the stored setting
  std::optional<std::string> suffix;     // default: the stored setting
  bool estimateOnly = false;
  // shred and cut of MP3 files: plain frame copies instead of gapless pieces
  std::optional<bool> framesOnly;  // default: the stored setting
  // cut: microseconds
  std::uint64_t from = 0, to = 0;
  // to-mp3
  Mp3EncodeSettings mp3;
  // to-flac
  FlacEncodeSettings flac;
  // rip
  std::vector<unsigned> channels;
};

// Exit codes of the tool.
namespace cliexit {
constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;
constexpr int kCancelled = 130;
}  // namespace cliexit

class CSettingsStore;
struct CliServices;

class CCliJob {
 public:
  // settings gives the overlap, suffix and gapless pieces not given as options.
  CCliJob(CliOptions options, const CSettingsStore& settings, std::FILE* out, std::FILE* err)
      : options_(std::move(options)), settings_(settings), out_(out), err_(err) {}
  // Runs the job and returns the process exit code.
  int Run();

 private:
  // Print "kestrune-cli: FILE: message (reason)" and return 1; Fail names
  // the input.
  int Fail(const std::string& message);
  int FailOn(const std::string& path, const std::string& message, int cause = 0);
  int FailWithFileError(const CAudioFile& file);
  // Opens the input and runs the verb on it.
  int OpenAndRun();
  // The overlap, suffix and gapless pieces: given, or the stored settings.
  void ApplySettings(CAudioFile& file) const;
  int PrintInfo(CAudioFile& file);
  // Runs the verb's operation on the open file: an exit code when that ends
  // the run at once (refused, a usage error), nothing when it ran.
  std::optional<int> Operate(CAudioFile& file, CProgress& progress);
  // One of the conversions, refused with a line naming the formats that
  // convert so (and, for a change of format, what the file is).
  std::optional<int> Convert(CAudioFile& file, CProgress& progress, const char* verb, Conversion conversion,
                             bool changesFormat);
  std::optional<int> Shred(CAudioFile& file, CProgress& progress);
  std::optional<int> Cut(CAudioFile& file, CProgress& progress);
  std::optional<int> Rip(CAudioFile& file, CProgress& progress);
  // Prints the notice of a finished operation.
  void Show(const OperationResult& result);
  std::FILE* ProgressStream() const;

  CliOptions options_;
  const CSettingsStore& settings_;
  std::FILE* out_;
  std::FILE* err_;
};

// Parses argv and runs the verb with what main() found around the tool.
int RunCli(int argc, char** argv, CliServices& services);
