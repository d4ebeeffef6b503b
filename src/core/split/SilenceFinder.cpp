#include "core/split/SilenceFinder.h"

#include "core/AudioFile.h"
#include "core/LevelScanError.h"
#include "core/TimeText.h"

namespace split {

namespace {

SilenceScan Evaluate(const WindowLevels& levels, std::uint64_t minSamples) {
  SilenceScan scan;
  scan.sampleRate = levels.sampleRate;
  scan.totalSamples = levels.totalSamples;
  scan.silences = FindSilenceRuns(levels, minSamples);
  if (scan.silences.empty()) scan.quietest = FindQuietestStretch(levels, minSamples);
  return scan;
}

}  // namespace

SilenceScan FindSilences(CAudioFile& file, const SilenceOptions& options) {
  if (file.GetError() != err::kNone)
    throw ScanError(file.GetFilePath(), file.GetFilePath() + ": the file could not be opened");
  LevelScanOptions o;
  o.threshold = AmplitudeOf(options.thresholdDb);
  o.minSamples = timetext::SampleAt(options.minSilenceMicros, file.GetSampleRate());
  LevelScanStats stats;
  WindowLevels levels = file.ScanLevels(o, &stats);
  SilenceScan scan = Evaluate(levels, o.minSamples);
  if (scan.silences.empty() && stats.framesDecoded < stats.frames) {
    // Nothing found among the frames that looked quiet: decode all of it, so
    // that the quietest stretch reported is measured, not assumed.
    o.decodeEverything = true;
    levels = file.ScanLevels(o, &stats);
    scan = Evaluate(levels, o.minSamples);
  }
  scan.frames = stats.frames;
  scan.framesDecoded = stats.framesDecoded;
  return scan;
}

}  // namespace split
