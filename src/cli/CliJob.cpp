#include "cli/CliJob.h"

#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstring>
#include <memory>
#include <sstream>

#include "Version.h"
#include "cli/CliBatch.h"
#include "cli/CliOwner.h"
#include "cli/CliProgress.h"
#include "cli/CliWaveform.h"
#include "cli/CliSplit.h"
#include "core/open/AudioFileFactory.h"
#include "core/StringTable.h"
#include "core/TimeText.h"
#include "core/mp3/Mp3File.h"
#include "core/wav/WaveFile.h"
#include "settings/RegistrySettings.h"
#include "cli/CliMessages.h"
#include "cli/CliCompletion.h"
#include "cli/CliJson.h"
#include "core/ProgramInfo.h"

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

// Reads the time typed for option; the reason when it is none.
std::optional<std::string> ReadTimeOption(const std::string& option, const std::string& text,
                                          std::uint64_t& micros) {
  const timetext::ParsedTime parsed = timetext::ParseTime(text);
  if (parsed.micros) {
    micros = *parsed.micros;
    return std::nullopt;
  }
  return option + " " + text + ": " + parsed.reason;
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
  CCliOwner owner(out_, err_, options_.input);
  if (KindFromPath(options_.input) == AudioKind::Unsupported) return Fail(msg::kTypeNotSupported);
  std::unique_ptr<CAudioFile> file = OpenAudioFile(options_.input, &owner);
  if (file->GetError() != err::kNone) return FailWithFileError(*file);

  if (options_.overlap)
    file->SetOverlapMicros(*options_.overlap);
  else
    file->SetOverlapTime(ReadOverlapTime());
  file->SetSuffix(options_.suffix ? *options_.suffix : ReadSuffix());

  auto* wave = dynamic_cast<CWaveFile*>(file.get());
  auto* mp3 = dynamic_cast<CMp3File*>(file.get());
  if (mp3) mp3->SetGaplessPieces(options_.framesOnly ? !*options_.framesOnly : ReadGaplessMp3());
  const bool showBar = !options_.quiet && ::isatty(STDERR_FILENO);
  CCliProgress bar(showBar, err_);
  CProgress progress(&bar);
  CCliProgress::InstallInterruptHandler();

  try {
    switch (options_.verb) {
      case CliVerb::Info:
        if (options_.json) {
          std::fputs(InfoJson(*file, options_.input).c_str(), out_);
          return cliexit::kOk;
        }
        for (const auto& line : file->GetInformationLines()) std::fprintf(out_, "%s\n", line.c_str());
        if (mp3) {
          const Mp3TagFields tag = mp3->GetTagFields();
          const std::pair<const char*, const std::string*> fields[] = {
              {"File name", &tag.fileName}, {"Title", &tag.title}, {"Artist", &tag.artist},
              {"Album", &tag.album},        {"Year", &tag.year},   {"Comments", &tag.comment},
              {"Genre", &tag.genre}};
          for (const auto& [label, value] : fields) std::fprintf(out_, "%s - %s\n", label, value->c_str());
        }
        return cliexit::kOk;
      case CliVerb::Shred: {
        owner.SetShredOptions({options_.splits, options_.base, options_.estimateOnly, options_.json});
        file->SplitEqually(&progress);
        if (owner.LastShredOutcome() == CCliOwner::ShredOutcome::Refused) return cliexit::kFailed;
        break;
      }
      case CliVerb::Cut: {
        // Like the slider's marks, the two times are taken in either order.
        const std::uint64_t from = std::min(options_.from, options_.to);
        const std::uint64_t to = std::max(options_.from, options_.to);
        // Nothing to cut from there: an empty output would pass for a cut.
        // An end past the end is clipped by the cut itself.
        if (static_cast<double>(from) / timetext::kMicrosPerSecond >= file->GetDuration())
          return UsageError(err_, StartPastEndMessage(from, file->GetDuration()));
        const std::uint32_t rate = file->GetSampleRate();
        file->SaveSelectionSamples(options_.output, timetext::SampleAt(from, rate),
                                   timetext::SampleAt(to, rate), &progress);
        break;
      }
      case CliVerb::ToMp3:
        if (!wave) return Fail("to-mp3 converts WAV files; " + file->GetFileName() + " is an MP3 file");
        file->ConvertToMp3(options_.output, &progress, options_.mp3);
        break;
      case CliVerb::ToWav:
        if (!mp3) return Fail("to-wav converts MP3 files; " + file->GetFileName() + " is a WAV file");
        file->ConvertToWav(options_.output, &progress);
        break;
      case CliVerb::To16Bit:
        if (!wave) return Fail("to-16bit converts WAV files");
        wave->ConvertTo16Bit(options_.output, &progress);
        break;
      case CliVerb::To8Bit:
        if (!wave) return Fail("to-8bit converts WAV files");
        wave->ConvertTo8Bit(options_.output, &progress);
        break;
      case CliVerb::Rip:
        if (!wave) return Fail("rip works on WAV files");
        if (wave->GetChannels() < 2) return Fail(msg::kSingleChannelFile);
        for (unsigned c : options_.channels)
          if (c > wave->GetChannels()) return Fail("the file has no channel " + std::to_string(c));
        wave->RipChannels(ChannelMask(options_.channels), options_.output, &progress);
        break;
    }
  } catch (const CFileException& e) {
    progress.Close();
    return FailOn(e.Path(), e.Message(), e.OsError());
  }
  progress.Close();
  if (file->GetError() != err::kNone) return FailWithFileError(*file);
  if (CCliProgress::Interrupted()) {
    std::fprintf(err_, "kestrune-cli: cancelled\n");
    return cliexit::kCancelled;
  }
  return cliexit::kOk;
}

int RunCli(int argc, char** argv) {
  CLI::App app{"Cuts and converts WAV and MP3 files.", "kestrune-cli"};
  std::string version = VersionText("kestrune-cli");
  version.pop_back();  // CLI11 ends the text with its own newline
  app.set_version_flag("--version", version);
  // Set before the verbs are added: each verb's help inherits it.
  std::string bugReport = BugReportText();
  bugReport.pop_back();  // the help ends with a newline of its own
  app.footer(bugReport);
  app.require_subcommand(1, 1);
  CliOptions options;
  app.add_flag("-q,--quiet", options.quiet, "Do not show a progress bar");
  // --quiet may also follow the verb.
  app.fallthrough();

  auto addInput = [&](CLI::App* sub) {
    sub->add_option("FILE", options.input, "The WAV or MP3 file to work on")->required();
  };
  auto addOutput = [&](CLI::App* sub) {
    sub->add_option("-o,--output", options.output, "The file to write")->required();
  };

  auto* info = app.add_subcommand("info", "Show the file's header facts (and the MP3 tag)");
  addInput(info);
  info->add_flag("--json", options.json, "Print the facts as one JSON object (see the man page)");

  auto* shred = app.add_subcommand("shred", "Cut the file into N equal pieces");
  addInput(shred);
  shred->add_option("-n,--splits", options.splits, "Number of pieces")->required();
  shred->add_option("--base", options.base, "Base file name of the pieces (default: the source's own path)");
  std::string overlapText;
  auto* overlapOption = shred->add_option(
      "--overlap", overlapText,
      "Time each piece repeats of the one before, as S, S.fff, M:SS.fff or H:MM:SS.fff (default: stored "
      "setting)");
  shred->add_option("--suffix", options.suffix,
                    "Text between base name and piece number (default: stored setting)");
  auto* estimate = shred->add_flag("--estimate", options.estimateOnly, "Only print the estimate");
  shred->add_flag("--json", options.json, "With --estimate: print it as one JSON object")->needs(estimate);
  const char* framesOnlyHelp =
      "MP3: write plain copies of the source's frames (no ID3v2 tag, header frame or lead-in; default: "
      "the stored setting)";
  bool framesOnly = false;
  shred->add_flag("--frames-only", framesOnly, framesOnlyHelp);

  auto* cut = app.add_subcommand("cut", "Save the stretch between two times");
  addInput(cut);
  std::string fromText, toText;
  cut->add_option("--from", fromText, "Start time: S, S.fff, M:SS.fff or H:MM:SS.fff")->required();
  cut->add_option("--to", toText, "End time, in the same forms")->required();
  addOutput(cut);
  cut->add_flag("--frames-only", framesOnly, framesOnlyHelp);

  std::string bitrate = "auto", mode = "cbr";
  unsigned quality = 5;
  bool noOriginal = false;
  auto* toMp3 = app.add_subcommand("to-mp3", "Encode a WAV file as MP3");
  addInput(toMp3);
  addOutput(toMp3);
  toMp3->add_option("--bitrate", bitrate, "auto, or kbit/s")
      ->check(CLI::IsMember({"auto", "32", "40", "48", "56", "64", "80", "96", "112", "128", "160", "192",
                             "224", "256", "320"}))
      ->capture_default_str();
  toMp3->add_option("--mode", mode, "Bitrate encoding")
      ->check(CLI::IsMember({"cbr", "vbr", "abr"}))
      ->capture_default_str();
  toMp3->add_option("--quality", quality, "VBR quality, 0 best to 9 worst")
      ->check(CLI::Range(0, 9))
      ->capture_default_str();
  toMp3->add_flag("--mono", options.mp3.monoFlag, "Generate mono output");
  toMp3->add_flag("--copyright", options.mp3.copyrightFlag, "Set the copyright bit");
  toMp3->add_flag("--crc", options.mp3.crcFlag, "Protect frames with a CRC");
  toMp3->add_flag("--no-original", noOriginal, "Do not set the original bit");

  auto* toWav = app.add_subcommand("to-wav", "Decode an MP3 file to a 16-bit WAV file");
  addInput(toWav);
  addOutput(toWav);
  auto* to16 = app.add_subcommand("to-16bit", "Widen an 8-bit WAV file to 16 bits");
  addInput(to16);
  addOutput(to16);
  auto* to8 = app.add_subcommand("to-8bit", "Narrow a 16-bit WAV file to 8 bits");
  addInput(to8);
  addOutput(to8);
  auto* rip = app.add_subcommand("rip", "Write chosen channels of a WAV file to a new file");
  addInput(rip);
  rip->add_option("--channels", options.channels, "Channels to keep, 1-based, e.g. 1,3")
      ->required()
      ->delimiter(',')
      ->check(CLI::Range(1, 8));
  addOutput(rip);

  CliBatchOptions batchOptions;
  auto* batch = app.add_subcommand("batch", "Convert WAV files to MP3 and MP3 files to WAV, several at once");
  batch->add_option("FILE", batchOptions.inputs, "Files, or folders whose WAV and MP3 files are converted");
  batch->add_option("--out-dir", batchOptions.outDir, "Folder of the outputs (default: beside each source)");
  batch->add_flag("--overwrite", batchOptions.overwrite, "Replace outputs that exist");
  batch->add_option("--jobs", batchOptions.jobs, "Files converted at once (default: one per CPU core)")
      ->check(CLI::Range(1, 256));
  batch->add_option("--log", batchOptions.logPath, "Log file (default: the batch window's log)");
  AddBatchScriptOptions(*batch, batchOptions);

  CliWaveformOptions waveformOptions;
  auto* waveform =
      app.add_subcommand("waveform", "Draw the waveform as a PNG picture, or give its peaks as JSON");
  waveform->add_option("FILE", waveformOptions.input, "The WAV or MP3 file to draw")->required();
  waveform
      ->add_option("-o,--output", waveformOptions.output, "The picture (.png) or the peaks (.json) to write")
      ->required();
  waveform->add_option("--width", waveformOptions.width, "Picture width in pixels (default 1800)");
  waveform->add_option("--height", waveformOptions.height, "Picture height in pixels (default 280)");
  waveform->add_option("--points", waveformOptions.points,
                       "JSON: at most this many points a channel (default 1800)");
  CliSplitOptions splitOptions;
  auto* split = AddSplitCommand(app, splitOptions);

  // Hidden: the build writes the shell completions with it.
  if (argc == 3 && std::string(argv[1]) == "--completion") {
    const auto script = CompletionScript(app, argv[2]);
    if (!script) return UsageError(stderr, "--completion takes bash, zsh or fish");
    return PrintAll(*script, stdout, stderr, "kestrune-cli") ? cliexit::kOk : cliexit::kFailed;
  }
  const std::string verb = VerbWord(argc, argv);
  if (!verb.empty() && !IsVerb(app, verb))
    return UsageError(stderr, "unknown verb '" + verb + "'; the verbs are " + VerbList(app));
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return AnswerParseError(app, e, verb);
  }

  if (split->parsed()) {
    splitOptions.quiet = options.quiet;
    return FinishStandardOutput(RunCliSplit(splitOptions, stdout, stderr), stdout, stderr);
  }
  if (batch->parsed()) {
    batchOptions.quiet = options.quiet;
    return RunCliBatch(batchOptions, stdout, stderr);
  }

  if (waveform->parsed()) {
    if (NamesAStandardStream(waveformOptions.output))
      return UsageError(stderr, "-o " + waveformOptions.output + ": the output must be a file");
    return FinishStandardOutput(RunCliWaveform(waveformOptions, stdout, stderr), stdout, stderr);
  }

  const std::pair<CLI::App*, CliVerb> verbs[] = {
      {info, CliVerb::Info},   {shred, CliVerb::Shred},  {cut, CliVerb::Cut},    {toMp3, CliVerb::ToMp3},
      {toWav, CliVerb::ToWav}, {to16, CliVerb::To16Bit}, {to8, CliVerb::To8Bit}, {rip, CliVerb::Rip}};
  for (const auto& [sub, verb] : verbs)
    if (sub->parsed()) options.verb = verb;
  options.mp3.bitrate = bitrate == "auto" ? 0 : static_cast<std::uint16_t>(std::stoi(bitrate));
  options.mp3.encodingMode = mode == "vbr" ? 2 : mode == "abr" ? 3 : 0;
  options.mp3.vbrQuality = static_cast<std::uint16_t>(quality);
  options.mp3.originalFlag = !noOriginal;
  if (framesOnly) options.framesOnly = true;
  // Times are read here, so that a bad one is a usage error naming its option.
  const std::pair<const char*, std::pair<const std::string*, std::uint64_t*>> times[] = {
      {"--from", {&fromText, &options.from}}, {"--to", {&toText, &options.to}}};
  if (cut->parsed())
    for (const auto& [option, target] : times)
      if (const auto why = ReadTimeOption(option, *target.first, *target.second))
        return UsageError(stderr, *why);
  if (shred->parsed() && overlapOption->count() > 0) {
    std::uint64_t overlap = 0;
    if (const auto why = ReadTimeOption("--overlap", overlapText, overlap)) return UsageError(stderr, *why);
    options.overlap = overlap;
  }

  if (!options.output.empty() && NamesAStandardStream(options.output))
    return UsageError(stderr, "-o " + options.output +
                                  ": the output must be a file; standard output carries the tool's notices");

  return FinishStandardOutput(CCliJob(std::move(options), stdout, stderr).Run(), stdout, stderr);
}
