#include "cli/CliSplit.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <memory>

#include "cli/CliJob.h"
#include "cli/CliMessages.h"
#include "cli/CliProgress.h"
#include "core/File.h"
#include "core/Progress.h"
#include "core/StringTable.h"
#include "core/TimeText.h"
#include "core/batch/BatchOutputRules.h"
#include "core/open/Formats.h"
#include "core/split/CutListExport.h"
#include "core/split/SplitRequest.h"
#include "core/split/SplitWriter.h"

namespace {

bool IsCueSheet(const std::string& path) {
  return path.size() > 4 && ToUpperAscii(path.substr(path.size() - 4)) == ".CUE";
}

// A time option read as the sample-exact cut reads times; a usage error
// names the option and why.
std::optional<std::string> ReadTime(const std::string& option, const std::string& text,
                                    std::uint64_t& micros) {
  const timetext::ParsedTime parsed = timetext::ParseTime(text);
  if (!parsed.micros) return option + " " + text + ": " + parsed.reason;
  micros = *parsed.micros;
  return std::nullopt;
}

std::optional<std::string> ReadDecibels(const std::string& text, double& db) {
  char* end = nullptr;
  db = std::strtod(text.c_str(), &end);
  if (text.empty() || end == nullptr || *end != '\0' || db != db)
    return "--threshold " + text + ": not a number of dBFS";
  return std::nullopt;
}

// The request the options ask for; a usage message when they do not fit.
std::optional<std::string> ReadRequest(const CliSplitOptions& o, split::SplitRequest& r) {
  bool cue = IsCueSheet(o.input);
  const int modes = (o.silence ? 1 : 0) + (o.equal != 0 ? 1 : 0) + (cue ? 1 : 0);
  // Without a mode, a file that carries its own cue sheet (an album image)
  // is split by it.
  if (modes == 0) {
    const std::unique_ptr<CAudioFile> file = FormatOfPath(o.input) ? OpenAudioFile(o.input) : nullptr;
    cue = file && file->GetError() == err::kNone && !file->GetEmbeddedCue().empty();
    if (!cue) return "split needs --silence, --equal N, or a cue sheet";
  }
  if (modes > 1)
    return cue ? "a cue sheet gives the cuts; --silence and --equal do not go with it"
               : "--silence and --equal do not go together";
  r.mode = cue ? split::SplitMode::Cue : o.silence ? split::SplitMode::Silence : split::SplitMode::Equal;
  if (!cue && !o.outDir.empty())
    return "--out-dir is for cue sheets; pieces of other splits are named by --base";
  if (cue && (!o.base.empty() || o.suffix))
    return "pieces of a cue sheet are named by their tracks; use --out-dir";
  if (auto e = ReadDecibels(o.threshold, r.silence.thresholdDb)) return e;
  if (auto e = ReadTime("--min-silence", o.minSilence, r.silence.minSilenceMicros)) return e;
  if (auto e = ReadTime("--min-piece", o.minPiece, r.minPieceMicros)) return e;
  if (auto e = ReadTime("--snap", o.snap, r.snapMicros)) return e;
  r.place = o.cutAt == "start" ? split::CutPlace::Start
            : o.cutAt == "end" ? split::CutPlace::End
                               : split::CutPlace::Middle;
  r.pieces = o.equal;
  r.base = o.base;
  r.suffix = o.suffix ? *o.suffix : o.storedSuffix;
  r.outDir = o.outDir;
  r.target = o.to.empty() ? nullptr : FormatNamed(o.to);
  const std::string problem = split::CheckRequest(r);
  if (!problem.empty()) return problem;
  return std::nullopt;
}

int Failure(std::FILE* err, const std::string& message) {
  std::fprintf(err, "kestrune-cli: %s\n", TerminalText(message).c_str());
  return cliexit::kFailed;
}

void Export(const CliSplitOptions& o, const split::SplitPlan& plan, const std::string& audioPath) {
  const std::vector<std::string> keep = {audioPath, o.input};
  if (!o.cueOut.empty()) split::WriteTextFile(o.cueOut, split::CueSheetText(plan, audioPath), keep);
  if (!o.labelsOut.empty()) split::WriteTextFile(o.labelsOut, split::LabelsText(plan), keep);
}

// Refuses an export that would land on a piece of the split or on the other
// export, by any name (links followed, also to files not made yet; device
// and inode): the piece or the export would be lost without a word.
std::optional<std::string> CheckExportsAgainstPieces(const CliSplitOptions& o, const split::SplitPlan& plan) {
  const std::vector<split::PlannedPiece> pieces = plan.Pieces();
  for (const std::string* path : {&o.cueOut, &o.labelsOut}) {
    if (path->empty()) continue;
    for (const split::PlannedPiece& piece : pieces)
      if (CSameFileSet({piece.path}).Contains(*path))
        return *path + ": the export would replace piece " + std::to_string(piece.number) +
               " of the split (" + piece.path + "); nothing was written";
  }
  if (!o.cueOut.empty() && !o.labelsOut.empty() && CSameFileSet({o.cueOut}).Contains(o.labelsOut))
    return o.labelsOut + ": --cue-out and --labels-out name the same file; nothing was written";
  return std::nullopt;
}

// Refuses exports that would land on the source or the sheet.
std::optional<std::string> CheckExports(const CliSplitOptions& o, const std::string& audioPath) {
  for (const std::string* path : {&o.cueOut, &o.labelsOut}) {
    if (path->empty()) continue;
    if (AbsolutePath(*path) == AbsolutePath(audioPath) || AbsolutePath(*path) == AbsolutePath(o.input))
      return *path + ": the export would replace the source";
  }
  return std::nullopt;
}

int WritePieces(std::FILE* out, std::FILE* err, const CliSplitOptions& o, CAudioFile& file,
                const split::SplitPlan& plan) {
  const bool quiet = o.quiet || o.json;
  CCliProgress bar(!quiet && ::isatty(STDERR_FILENO), err);
  CProgress progress(&bar);
  const split::WriteOutcome outcome = split::WriteSplit(file, plan, &progress, o.keepPartial);
  progress.Close();
  if (outcome.cancelled || CCliProgress::Interrupted()) {
    std::fprintf(err, "kestrune-cli: %s after %zu pieces\n", CCliProgress::StopWords(),
                 outcome.written.size());
    return CCliProgress::StopExitCode();
  }
  if (!quiet) std::fprintf(out, "%zu pieces written\n", outcome.written.size());
  return cliexit::kOk;
}

}  // namespace

CLI::App* AddSplitCommand(CLI::App& app, CliSplitOptions& o) {
  auto* sub = app.add_subcommand(
      "split", "Cut a file at its silences, into equal pieces at silences, or by a cue sheet");
  sub->add_option("FILE", o.input,
                  "The WAV, MP3 or FLAC file, or a .cue sheet naming one (a FLAC album image with a cue "
                  "sheet inside is split by it)")
      ->required();
  sub->add_flag("--silence", o.silence, "Cut in the silences");
  sub->add_option("--threshold", o.threshold, "Silence is below this level, dBFS (default -48)");
  sub->add_option("--min-silence", o.minSilence,
                  "Shortest silence, a time such as 0.5 or 0:01.5 (default 0.5)");
  sub->add_option("--min-piece", o.minPiece,
                  "Shortest piece; silences that make shorter ones are skipped (default 10)");
  sub->add_option("--cut-at", o.cutAt, "Where in a silence to cut (default middle)")
      ->check(CLI::IsMember({"start", "middle", "end"}));
  sub->add_option("--equal", o.equal, "Cut into N equal pieces, each cut moved to a silence near it");
  sub->add_option("--snap", o.snap, "With --equal: look for a silence this far either side (default 10)");
  sub->add_option("--base", o.base, "Base file name of the pieces (default: the source's own path)");
  sub->add_option("--suffix", o.suffix, "Text between base name and piece number (default: stored setting)");
  sub->add_option("--out-dir", o.outDir, "Cue sheets: folder of the pieces (default: beside the sheet)");
  sub->add_option("--to", o.to,
                  "Write the pieces as wav, mp3 or flac (default: the source's own format, cut losslessly)")
      ->check(CLI::IsMember({"wav", "mp3", "flac"}, CLI::ignore_case));
  sub->add_flag("--dry-run", o.dryRun, "Print the cut list and write nothing");
  sub->add_flag("--json", o.json, "Print the cut list as JSON");
  sub->add_option("--cue-out", o.cueOut, "Also write the cut points as a cue sheet");
  sub->add_option("--labels-out", o.labelsOut,
                  "Also write the cut points as a labels file (start, end, label)");
  return sub;
}

namespace {

// Reads the sheet (for a cue split), opens the audio, plans and writes.
int SplitFile(const CliSplitOptions& o, const split::SplitRequest& request, std::FILE* out, std::FILE* err) {
  std::optional<split::CueSheet> sheet;
  std::string audioPath = o.input;
  if (request.mode == split::SplitMode::Cue && IsCueSheet(o.input)) {
    sheet = split::ReadCueSheet(o.input);
    audioPath = split::CueAudioPath(*sheet);
  }
  if (!FormatOfPath(audioPath)) return Failure(err, audioPath + ": split works on WAV, MP3 and FLAC files");
  // The pieces are reported here, once, not one notice each.
  std::unique_ptr<CAudioFile> file = OpenAudioFile(audioPath);
  if (file->GetError() != err::kNone) return Failure(err, audioPath + ": " + LoadMessage(file->GetError()));
  if (request.mode == split::SplitMode::Cue && !sheet) sheet = split::EmbeddedCueSheet(*file);
  if (auto problem = CheckExports(o, audioPath)) return Failure(err, *problem);

  const split::SplitPlan plan = split::BuildSplitPlan(*file, request, sheet ? &*sheet : nullptr);
  // No piece would pass for a split that worked.
  const std::size_t pieces = plan.Pieces().size();
  if (pieces == 0) return Failure(err, audioPath + ": the audio is too short to split; no piece was written");
  if (auto problem = CheckExportsAgainstPieces(o, plan)) return Failure(err, *problem);
  if (request.mode == split::SplitMode::Equal && pieces < request.pieces && !o.json)
    std::fprintf(out, "%u pieces asked; the audio is too short for more than %zu\n", request.pieces, pieces);
  if (o.json)
    std::fputs(split::CutListJson(plan).c_str(), out);
  else if (!o.quiet || o.dryRun)
    std::fputs(TerminalText(split::CutListText(plan), false, true).c_str(), out);
  Export(o, plan, audioPath);
  if (o.dryRun) return cliexit::kOk;
  return WritePieces(out, err, o, *file, plan);
}

}  // namespace

int RunCliSplit(const CliSplitOptions& o, std::FILE* out, std::FILE* err) {
  split::SplitRequest request;
  if (auto problem = ReadRequest(o, request)) {
    std::fprintf(err, "kestrune-cli: %s\n", TerminalText(*problem).c_str());
    return cliexit::kUsage;
  }
  // A split's failures name their file in their own words.
  return RunVerb(err, FailureForm::OwnText, o.input, [&] { return SplitFile(o, request, out, err); });
}
