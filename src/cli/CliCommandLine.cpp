#include "cli/CliCommandLine.h"

#include "Version.h"
#include "core/ProgramInfo.h"
#include "core/TimeText.h"

namespace {

void AddInput(CLI::App* sub, CliOptions& options) {
  sub->add_option("FILE", options.input, "The WAV, MP3 or FLAC file to work on")->required();
}

void AddOutput(CLI::App* sub, CliOptions& options) {
  sub->add_option("-o,--output", options.output, "The file to write")->required();
}

const char* const kFramesOnlyHelp =
    "MP3: write plain copies of the source's frames (no ID3v2 tag, header frame or lead-in; default: "
    "the stored setting)";

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

}  // namespace

void AddCompressionOption(CLI::App& sub, FlacEncodeSettings& settings) {
  sub.add_option("--compression", settings.compression, "FLAC: compression level, 0 fastest to 8 smallest")
      ->check(CLI::Range(0, 8))
      ->capture_default_str();
}

CliCommandLine::CliCommandLine() {
  std::string version = VersionText("kestrune-cli");
  version.pop_back();  // CLI11 ends the text with its own newline
  app.set_version_flag("--version", version);
  // Set before the verbs are added: each verb's help inherits it.
  std::string bugReport = BugReportText();
  bugReport.pop_back();  // the help ends with a newline of its own
  app.footer(bugReport);
  app.require_subcommand(1, 1);
  app.add_flag("-q,--quiet", options.quiet, "Do not show a progress bar");
  app.add_flag(
      "--keep-partial", keepPartial,
      "On SIGINT, SIGTERM or SIGHUP keep what the output holds, ended honestly, instead of removing it");
  // --quiet may also follow the verb.
  app.fallthrough();
  AddInfoAndShred();
  AddCut();
  AddToMp3();
  AddWavConversions();
  AddBatchAndWaveform();
  split = AddSplitCommand(app, splitOptions);
}

void CliCommandLine::AddInfoAndShred() {
  info = app.add_subcommand("info", "Show the file's header facts (and the MP3 tag)");
  AddInput(info, options);
  info->add_flag("--json", options.json, "Print the facts as one JSON object (see the man page)");

  shred = app.add_subcommand("shred", "Cut the file into N equal pieces");
  AddInput(shred, options);
  shred->add_option("-n,--splits", options.splits, "Number of pieces")->required();
  shred->add_option("--base", options.base, "Base file name of the pieces (default: the source's own path)");
  overlapOption = shred->add_option(
      "--overlap", overlapText,
      "Time each piece repeats of the one before, as S, S.fff, M:SS.fff or H:MM:SS.fff (default: stored "
      "setting)");
  shred->add_option("--suffix", options.suffix,
                    "Text between base name and piece number (default: stored setting)");
  auto* estimate = shred->add_flag("--estimate", options.estimateOnly, "Only print the estimate");
  shred->add_flag("--json", options.json, "With --estimate: print it as one JSON object")->needs(estimate);
  shred->add_flag("--frames-only", framesOnly, kFramesOnlyHelp);
}

void CliCommandLine::AddCut() {
  cut = app.add_subcommand("cut", "Save the stretch between two times");
  AddInput(cut, options);
  cut->add_option("--from", fromText, "Start time: S, S.fff, M:SS.fff or H:MM:SS.fff")->required();
  cut->add_option("--to", toText, "End time, in the same forms")->required();
  AddOutput(cut, options);
  cut->add_flag("--frames-only", framesOnly, kFramesOnlyHelp);
}

void CliCommandLine::AddToMp3() {
  toMp3 = app.add_subcommand("to-mp3", "Encode a WAV or FLAC file as MP3");
  AddInput(toMp3, options);
  AddOutput(toMp3, options);
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
}

void CliCommandLine::AddWavConversions() {
  toWav = app.add_subcommand(
      "to-wav", "Decode an MP3 file to a 16-bit WAV file, or a FLAC file to a WAV file of its depth");
  AddInput(toWav, options);
  AddOutput(toWav, options);
  toFlac = app.add_subcommand("to-flac", "Encode a WAV or MP3 file as FLAC (lossless)");
  AddInput(toFlac, options);
  AddOutput(toFlac, options);
  AddCompressionOption(*toFlac, options.flac);
  to16 = app.add_subcommand("to-16bit", "Widen an 8-bit WAV file to 16 bits");
  AddInput(to16, options);
  AddOutput(to16, options);
  to8 = app.add_subcommand("to-8bit", "Narrow a 16-bit WAV file to 8 bits");
  AddInput(to8, options);
  AddOutput(to8, options);
  rip = app.add_subcommand("rip", "Write chosen channels of a WAV file to a new file");
  AddInput(rip, options);
  rip->add_option("--channels", options.channels, "Channels to keep, 1-based, e.g. 1,3")
      ->required()
      ->delimiter(',')
      ->check(CLI::Range(1, 8));
  AddOutput(rip, options);
}

void CliCommandLine::AddBatchAndWaveform() {
  batch = app.add_subcommand("batch", "Convert WAV files to MP3 and MP3 files to WAV, several at once");
  batch->add_option("FILE", batchOptions.inputs, "Files, or folders whose WAV and MP3 files are converted");
  batch->add_option("--out-dir", batchOptions.outDir, "Folder of the outputs (default: beside each source)");
  batch->add_flag("--overwrite", batchOptions.overwrite, "Replace outputs that exist");
  batch->add_option("--jobs", batchOptions.jobs, "Files converted at once (default: one per CPU core)")
      ->check(CLI::Range(1, 256));
  batch->add_option("--log", batchOptions.logPath, "Log file (default: the batch window's log)");
  AddBatchScriptOptions(*batch, batchOptions);

  waveform = app.add_subcommand("waveform", "Draw the waveform as a PNG picture, or give its peaks as JSON");
  waveform->add_option("FILE", waveformOptions.input, "The WAV, MP3 or FLAC file to draw")->required();
  waveform
      ->add_option("-o,--output", waveformOptions.output, "The picture (.png) or the peaks (.json) to write")
      ->required();
  waveform->add_option("--width", waveformOptions.width, "Picture width in pixels (default 1800)");
  waveform->add_option("--height", waveformOptions.height, "Picture height in pixels (default 280)");
  // A range, not only the type: "-1" would wrap round to the largest count.
  waveform
      ->add_option("--points", waveformOptions.points,
                   "JSON: at most this many points a channel (default 1800)")
      ->check(CLI::Range(std::uint64_t{1}, std::uint64_t{1} << 32));
}

std::optional<std::string> CliCommandLine::ReadJobOptions() {
  const std::pair<CLI::App*, CliVerb> verbs[] = {
      {info, CliVerb::Info},   {shred, CliVerb::Shred}, {cut, CliVerb::Cut},
      {toMp3, CliVerb::ToMp3}, {toWav, CliVerb::ToWav}, {to16, CliVerb::To16Bit},
      {to8, CliVerb::To8Bit},  {rip, CliVerb::Rip},     {toFlac, CliVerb::ToFlac}};
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
      if (auto why = ReadTimeOption(option, *target.first, *target.second)) return why;
  if (shred->parsed() && overlapOption->count() > 0) {
    std::uint64_t overlap = 0;
    if (auto why = ReadTimeOption("--overlap", overlapText, overlap)) return why;
    options.overlap = overlap;
  }
  return std::nullopt;
}
