#include "core/split/SplitRequest.h"

#include <cstdio>

#include "core/AudioFile.h"
#include "core/TimeText.h"

namespace split {

namespace {

std::string Decibels(double db) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f dBFS", db);
  return text;
}

std::string NoSilenceMessage(const CAudioFile& file, const SilenceScan& scan, const SilenceOptions& options) {
  const auto clock = [&](std::uint64_t sample) {
    return timetext::FormatTime(timetext::MicrosOf(sample, scan.sampleRate));
  };
  std::string text = file.GetFilePath() + ": no silence of at least " +
                     timetext::FormatTime(options.minSilenceMicros) + " below " +
                     Decibels(options.thresholdDb) + " was found";
  if (scan.quietest.length == 0) return text + " (the file holds no audio)";
  return text + "; the quietest stretch of that length starts at " + clock(scan.quietest.start) +
         " and peaks at " + Decibels(DbfsOf(scan.quietest.peak));
}

PieceNaming NamingFor(const CAudioFile& file, const SplitRequest& request, const CueSheet* sheet) {
  PieceNaming naming;
  naming.format = &file.Format();
  if (request.mode == SplitMode::Cue) {
    naming.tracks = true;
    const std::string folder = !request.outDir.empty() ? request.outDir : FolderPart(sheet->path);
    naming.base = folder.empty() ? std::string("./") : folder;
    return naming;
  }
  naming.base = request.base.empty() ? file.GetFilePath() : request.base;
  naming.suffix = request.suffix;
  return naming;
}

}  // namespace

std::string CheckRequest(const SplitRequest& r) {
  char text[160];
  if (r.silence.thresholdDb < kMinThresholdDb || r.silence.thresholdDb > kMaxThresholdDb) {
    std::snprintf(text, sizeof text, "the threshold must lie between %.0f and %.0f dBFS", kMinThresholdDb,
                  kMaxThresholdDb);
    return text;
  }
  if (r.silence.minSilenceMicros < kMinSilenceMicros || r.silence.minSilenceMicros > kMaxSilenceMicros)
    return "the minimum silence must lie between " + timetext::FormatTime(kMinSilenceMicros) + " and " +
           timetext::FormatTime(kMaxSilenceMicros);
  if (r.minPieceMicros > timetext::kMaxMicros) return "the minimum piece length is too long";
  if (r.mode == SplitMode::Equal && (r.pieces < 2 || r.pieces > kMaxPieces))
    return "the number of pieces must lie between 2 and " + std::to_string(kMaxPieces);
  if (r.mode == SplitMode::Equal && r.snapMicros > kMaxSnapMicros)
    return "the snap window must be at most " + timetext::FormatTime(kMaxSnapMicros);
  return "";
}

SplitPlan BuildSplitPlan(CAudioFile& file, const SplitRequest& request, const CueSheet* sheet) {
  SplitPlan plan;
  if (request.mode == SplitMode::Cue) {
    plan = PlanFromCue(*sheet, file.GetSampleRate(), file.CountDecodedSamples());
  } else {
    const SilenceScan scan = FindSilences(file, request.silence);
    const std::uint32_t rate = scan.sampleRate;
    if (request.mode == SplitMode::Silence) {
      if (scan.silences.empty())
        throw NoSilenceError(file.GetFilePath(), NoSilenceMessage(file, scan, request.silence));
      plan = PlanAtSilences(scan, request.place, timetext::SampleAt(request.minPieceMicros, rate));
    } else {
      plan = PlanEqualAtSilences(scan, request.pieces, timetext::SampleAt(request.snapMicros, rate));
    }
  }
  plan.naming = NamingFor(file, request, sheet);
  return plan;
}

}  // namespace split
