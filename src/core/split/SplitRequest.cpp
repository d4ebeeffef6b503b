#include "core/split/SplitRequest.h"

#include <algorithm>
#include <cmath>
#include <vector>
#include <cstdio>

#include "core/AudioFile.h"
#include "core/PcmSink.h"
#include "core/SampleConvert.h"
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
  naming.format = request.target ? request.target : &file.Format();
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

// The loudest sample of decoded PCM, full scale 1.0.
class CPeakSink : public CPcmSink {
 public:
  explicit CPeakSink(unsigned bytes) : bytes_(bytes) {}
  void Write(const std::uint8_t* p, std::size_t count) override {
    samples_.resize(count / bytes_);
    PcmToInt32(p, samples_.size(), bytes_, bytes_ * 8, samples_.data());
    const double scale = 1.0 / static_cast<double>(std::uint64_t{1} << (8 * bytes_ - 1));
    for (std::int32_t v : samples_) peak = std::max(peak, std::fabs(v * scale));
  }
  double peak = 0.0;

 private:
  unsigned bytes_;
  std::vector<std::int32_t> samples_;
};

// Audio before the first track's INDEX 01 (a hidden track before track 1)
// becomes piece 0 when it holds more than silence by the request's
// threshold; silence there (a plain pregap) is left out as before.
void KeepHiddenTrack(CAudioFile& file, const SplitRequest& request, SplitPlan& plan) {
  if (plan.start == 0) return;
  CPeakSink sink((file.GetBitsPerSample() + 7u) / 8u);
  file.DecodeSpan(0, plan.start, sink);
  if (sink.peak <= std::pow(10.0, request.silence.thresholdDb / 20.0)) return;
  CutPoint track1;
  track1.at = plan.start;
  track1.equalPoint = plan.start;
  track1.next = plan.first;
  plan.cuts.insert(plan.cuts.begin(), track1);
  plan.first = PieceFacts{"Hidden track", plan.first.performer, 0};
  plan.start = 0;
  plan.firstNumber = 0;
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
    KeepHiddenTrack(file, request, plan);
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
