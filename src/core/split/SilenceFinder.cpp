#include "core/split/SilenceFinder.h"

#include "core/TimeText.h"
#include "core/mp3/Mp3File.h"
#include "core/split/LevelScanError.h"
#include "core/split/Mp3Levels.h"
#include "core/split/WaveLevels.h"
#include "core/wav/WaveFile.h"

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
  const double threshold = AmplitudeOf(options.thresholdDb);
  if (auto* wave = dynamic_cast<CWaveFile*>(&file)) {
    const WindowLevels levels = ScanWaveLevels(*wave, threshold);
    return Evaluate(levels, timetext::SampleAt(options.minSilenceMicros, levels.sampleRate));
  }
  auto* mp3 = dynamic_cast<CMp3File*>(&file);
  if (!mp3)
    throw ScanError(file.GetFilePath(),
                    file.GetFilePath() + ": silence detection reads WAV and MP3 files only");
  Mp3ScanOptions o;
  o.threshold = threshold;
  o.minSamples = timetext::SampleAt(options.minSilenceMicros, mp3->GetSampleRate());
  Mp3ScanStats stats;
  WindowLevels levels = ScanMp3Levels(*mp3, o, &stats);
  SilenceScan scan = Evaluate(levels, o.minSamples);
  if (scan.silences.empty() && stats.framesDecoded < stats.frames) {
    // Nothing found among the frames that looked quiet: decode all of it, so
    // that the quietest stretch reported is measured, not assumed.
    o.decodeEverything = true;
    levels = ScanMp3Levels(*mp3, o, &stats);
    scan = Evaluate(levels, o.minSamples);
  }
  scan.frames = stats.frames;
  scan.framesDecoded = stats.framesDecoded;
  return scan;
}

}  // namespace split
