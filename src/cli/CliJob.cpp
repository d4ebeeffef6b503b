#include "cli/CliJob.h"

#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstring>
#include <memory>
#include <sstream>

#include "cli/CliBatch.h"
#include "cli/CliCommandLine.h"
#include "cli/CliCompletion.h"
#include "cli/CliJson.h"
#include "cli/CliMessages.h"
#include "cli/CliProgress.h"
#include "cli/CliServices.h"
#include "cli/CliShred.h"
#include "cli/CliSplit.h"
#include "cli/CliWaveform.h"
#include "core/ProgramInfo.h"
#include "core/StringTable.h"
#include "core/TimeText.h"
#include "core/open/Formats.h"
#include "settings/SettingsStore.h"

namespace {

int UsageError(std::FILE* err, const std::string& message) {
  PrintUsageError(err, message);
  return cliexit::kUsage;
}

// True when path is "-" or names the file behind standard output or error:
// the tool prints its notices and messages there, and the audio would mix
// with them.
bool NamesAStandardStream(const std::string& path) {
  if (path == "-") return true;
  const std::string full = AbsolutePath(path);
  for (const char* name :
       {"/dev/stdout", "/dev/stderr", "/dev/fd/1", "/dev/fd/2", "/proc/self/fd/1", "/proc/self/fd/2"})
    if (full == name) return true;
  struct stat target {};
  if (::stat(path.c_str(), &target) != 0) return false;
  for (int fd : {STDOUT_FILENO, STDERR_FILENO}) {
    struct stat stream {};
    if (::fstat(fd, &stream) == 0 && stream.st_dev == target.st_dev && stream.st_ino == target.st_ino)
      return true;
  }
  return false;
}

// A notice or an information line that could not be printed is a failure
// too (a full disk behind a redirection, a closed pipe): the run ends with 1.
int FinishStandardOutput(int code, std::FILE* out, std::FILE* err) {
  errno = 0;
  const bool flushed = std::fflush(out) == 0;
  if (flushed && !std::ferror(out)) return code;
  const int cause = errno;
  std::fprintf(err, "kestrune-cli: cannot write to standard output%s%s\n", cause != 0 ? ": " : "",
               cause != 0 ? std::strerror(cause) : "");
  return code == cliexit::kOk ? cliexit::kFailed : code;
}

// Seconds as typed: "12" for whole seconds, "3.3" with a fraction.
std::string SecondsText(std::uint64_t micros) {
  std::string text = std::to_string(micros / timetext::kMicrosPerSecond);
  if (const std::uint64_t fraction = micros % timetext::kMicrosPerSecond) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%06llu", static_cast<unsigned long long>(fraction));
    std::string decimals = digits;
    decimals.erase(decimals.find_last_not_of('0') + 1);
    text += "." + decimals;
  }
  return text;
}

// The first word that is not an option: the verb, or empty when none is given.
std::string VerbWord(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (argv[i][0] != '-') return argv[i];
  return {};
}

std::string VerbList(const CLI::App& app) {
  std::string list;
  for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; }))
    list += (list.empty() ? "" : ", ") + sub->get_name();
  return list;
}

bool IsVerb(const CLI::App& app, const std::string& word) {
  return !app.get_subcommands([&word](const CLI::App* sub) { return sub->get_name() == word; }).empty();
}

// Help and the version go to standard output (a failed write is exit 1);
// any other parse error is a usage error (exit 2).
int AnswerParseError(const CLI::App& app, const CLI::ParseError& e, const std::string& verb) {
  if (e.get_exit_code() == 0) {
    std::ostringstream text, ignored;
    app.exit(e, text, ignored);
    return PrintAll(text.str(), stdout, stderr, "kestrune-cli") ? cliexit::kOk : cliexit::kFailed;
  }
  if (verb.empty()) return UsageError(stderr, "no verb given; the verbs are " + VerbList(app));
  return UsageError(stderr, e.what());
}

std::string StartPastEndMessage(std::uint64_t from, double duration) {
  char text[200];
  std::snprintf(text, sizeof text,
                "the cut starts at %s s, at or after the end of the audio, which lasts %.2f seconds",
                SecondsText(from).c_str(), duration);
  return text;
}

std::uint8_t ChannelMask(const std::vector<unsigned>& channels) {
  std::uint8_t mask = 0;
  for (unsigned c : channels) mask = static_cast<std::uint8_t>(mask | (1u << (c - 1)));
  return mask;
}

}  // namespace

int CCliJob::Fail(const std::string& message) {
  return FailOn(options_.input, message);
}

int CCliJob::FailOn(const std::string& path, const std::string& message, int cause) {
  PrintFileError(err_, path, message, cause);
  return cliexit::kFailed;
}

int CCliJob::FailWithFileError(const CAudioFile& file) {
  // A file that could not be opened or created names itself and the
  // system's reason; every other fault is the source's.
  if (!file.GetErrorPath().empty())
    return FailOn(file.GetErrorPath(), LoadMessage(file.GetError()), file.GetErrorCause());
  return Fail(LoadMessage(file.GetError()));
}

int CCliJob::Run() {
  if (!FormatOfPath(options_.input)) return Fail(msg::kTypeNotSupported);
  return RunVerb(err_, FailureForm::FileLine, options_.input, [this] { return OpenAndRun(); });
}

int CCliJob::OpenAndRun() {
  std::unique_ptr<CAudioFile> file = OpenAudioFile(options_.input);
  if (file->GetError() != err::kNone) return FailWithFileError(*file);
  ApplySettings(*file);
  if (options_.verb == CliVerb::Info) return PrintInfo(*file);

  // Erased before any message, also when a failure unwinds through here.
  CCliProgress bar(!options_.quiet && ::isatty(STDERR_FILENO), err_);
  CProgress progress(&bar);
  if (const std::optional<int> code = Operate(*file, progress)) return *code;
  progress.Close();
  if (file->GetError() != err::kNone) return FailWithFileError(*file);
  if (CCliProgress::Interrupted()) {
    std::fprintf(err_, "kestrune-cli: %s; the partial output was kept\n", CCliProgress::StopWords());
    return CCliProgress::StopExitCode();
  }
  return cliexit::kOk;
}

void CCliJob::ApplySettings(CAudioFile& file) const {
  if (options_.overlap)
    file.SetOverlapMicros(*options_.overlap);
  else
    file.SetOverlapTime(settings_.OverlapTime());
  file.SetSuffix(options_.suffix ? *options_.suffix : settings_.Suffix());
  file.SetGaplessPieces(options_.framesOnly ? !*options_.framesOnly : settings_.GaplessMp3());
}

int CCliJob::PrintInfo(CAudioFile& file) {
  if (options_.json) {
    std::fputs(InfoJson(file, options_.input).c_str(), out_);
    return cliexit::kOk;
  }
  for (const auto& line : file.GetInformationLines()) std::fprintf(out_, "%s\n", TerminalText(line).c_str());
  for (const CAudioFile::TagField& field : file.GetTagFields())
    std::fprintf(out_, "%s - %s\n", field.label.c_str(), TerminalText(field.text, field.latin1).c_str());
  return cliexit::kOk;
}

std::optional<int> CCliJob::Operate(CAudioFile& file, CProgress& progress) {
  switch (options_.verb) {
    case CliVerb::Info:
      break;
    case CliVerb::Shred:
      return Shred(file, progress);
    case CliVerb::Cut:
      return Cut(file, progress);
    case CliVerb::ToMp3:
      return Convert(file, progress, "to-mp3", Conversion::ToMp3, true);
    case CliVerb::ToWav:
      return Convert(file, progress, "to-wav", Conversion::ToWav, true);
    case CliVerb::ToFlac:
      return Convert(file, progress, "to-flac", Conversion::ToFlac, true);
    case CliVerb::To16Bit:
      return Convert(file, progress, "to-16bit", Conversion::To16Bit, false);
    case CliVerb::To8Bit:
      return Convert(file, progress, "to-8bit", Conversion::To8Bit, false);
    case CliVerb::Rip:
      return Rip(file, progress);
  }
  return std::nullopt;
}

std::optional<int> CCliJob::Convert(CAudioFile& file, CProgress& progress, const char* verb,
                                    Conversion conversion, bool changesFormat) {
  // A conversion to another format is refused by what the file is; a
  // sample-size change by its format, and the engine says what the file's
  // samples lack.
  const bool offered = changesFormat ? file.Offers(conversion) : file.Format().Converts(conversion);
  if (!offered) {
    std::string message = std::string(verb) + " converts " + FormatsConverting(conversion) + " files";
    if (changesFormat) message += "; " + file.GetFileName() + " is " + file.Format().FileNoun();
    return Fail(message);
  }
  file.ConvertTo(conversion, options_.output, &progress, options_.mp3, options_.flac);
  return std::nullopt;
}

std::optional<int> CCliJob::Shred(CAudioFile& file, CProgress& progress) {
  ShredRequest request;
  const ShredOptions asked{options_.splits, options_.base, options_.estimateOnly, options_.json};
  switch (AnswerShred(file, asked, options_.input, out_, err_, request)) {
    case ShredAnswer::Refused:
      return cliexit::kFailed;
    case ShredAnswer::EstimateOnly:
      return std::nullopt;
    case ShredAnswer::Accepted:
      break;
  }
  Show(file.SplitEqually(request, &progress));
  return std::nullopt;
}

std::optional<int> CCliJob::Cut(CAudioFile& file, CProgress& progress) {
  // Like the slider's marks, the two times are taken in either order.
  const std::uint64_t from = std::min(options_.from, options_.to);
  const std::uint64_t to = std::max(options_.from, options_.to);
  // Nothing to cut from there: an empty output would pass for a cut.
  // An end past the end is clipped by the cut itself.
  if (static_cast<double>(from) / timetext::kMicrosPerSecond >= file.GetDuration())
    return UsageError(err_, StartPastEndMessage(from, file.GetDuration()));
  const std::uint32_t rate = file.GetSampleRate();
  Show(file.SaveSelectionSamples(options_.output, timetext::SampleAt(from, rate),
                                 timetext::SampleAt(to, rate), &progress));
  return std::nullopt;
}

std::optional<int> CCliJob::Rip(CAudioFile& file, CProgress& progress) {
  if (!file.Format().Converts(Conversion::RipChannels)) return Fail("rip works on WAV files");
  if (file.GetChannels() < 2) return Fail(msg::kSingleChannelFile);
  for (unsigned c : options_.channels)
    if (c > file.GetChannels()) return Fail("the file has no channel " + std::to_string(c));
  file.RipChannels(ChannelMask(options_.channels), options_.output, &progress);
  return std::nullopt;
}

void CCliJob::Show(const OperationResult& result) {
  if (result.notice) PrintNotice(*result.notice, options_.input, out_, err_);
}

namespace {

// The verbs with a runner of their own; nothing when the verb is a job's.
std::optional<int> RunOwnVerb(CliCommandLine& line, const CliServices& services) {
  if (line.split->parsed()) {
    line.splitOptions.quiet = line.options.quiet;
    line.splitOptions.storedSuffix = services.settings.Suffix();
    return RunCliSplit(line.splitOptions, stdout, stderr);
  }
  if (line.batch->parsed()) {
    line.batchOptions.quiet = line.options.quiet;
    if (line.batchOptions.logPath.empty()) line.batchOptions.logPath = services.defaultBatchLogPath;
    // Each job's failure is its own line; this catches what ends the run.
    return RunVerb(stderr, FailureForm::OwnText, {},
                   [&] { return RunCliBatch(line.batchOptions, stdout, stderr); });
  }
  if (line.waveform->parsed())
    return RunVerb(stderr, FailureForm::OwnText, line.waveformOptions.input,
                   [&] { return RunCliWaveform(line.waveformOptions, stdout, stderr); });
  return std::nullopt;
}

// Parses the arguments; the exit code when the run ends there (help,
// version, completion script, usage error).
std::optional<int> Parse(CliCommandLine& line, int argc, char** argv) {
  // Hidden: the build writes the shell completions with it.
  if (argc == 3 && std::string(argv[1]) == "--completion") {
    const auto script = CompletionScript(line.app, argv[2]);
    if (!script) return UsageError(stderr, "--completion takes bash, zsh or fish");
    return PrintAll(*script, stdout, stderr, "kestrune-cli") ? cliexit::kOk : cliexit::kFailed;
  }
  const std::string verb = VerbWord(argc, argv);
  if (!verb.empty() && !IsVerb(line.app, verb))
    return UsageError(stderr, "unknown verb '" + verb + "'; the verbs are " + VerbList(line.app));
  try {
    line.app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return AnswerParseError(line.app, e, verb);
  }
  return std::nullopt;
}

}  // namespace

int RunCli(int argc, char** argv, CliServices& services) {
  CliCommandLine line;
  if (const std::optional<int> code = Parse(line, argc, argv)) return *code;
  // From here on a stop signal is handled alike whatever the run is doing
  // (opening, analysing, writing); the lines printed so far are out of the
  // buffer by then, a run that ends at a signal does not flush it.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  line.splitOptions.keepPartial = line.keepPartial;
  CCliProgress::InstallInterruptHandler(line.keepPartial);
  const std::string& picture = line.waveformOptions.output;
  if (line.waveform->parsed() && NamesAStandardStream(picture))
    return UsageError(stderr, "-o " + picture + ": the output must be a file");
  // Every verb's notices and lines are checked to have reached standard output.
  if (const std::optional<int> code = RunOwnVerb(line, services))
    return FinishStandardOutput(*code, stdout, stderr);
  if (const auto why = line.ReadJobOptions()) return UsageError(stderr, *why);
  const CliOptions& options = line.options;
  if (!options.output.empty() && NamesAStandardStream(options.output))
    return UsageError(stderr, "-o " + options.output +
                                  ": the output must be a file; standard output carries the tool's notices");
  return FinishStandardOutput(CCliJob(options, services.settings, stdout, stderr).Run(), stdout, stderr);
}
