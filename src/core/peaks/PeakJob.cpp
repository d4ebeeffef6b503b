#include "core/peaks/PeakJob.h"

#include <algorithm>

#include "core/OperationRunner.h"
#include "core/mp3/Mp3File.h"
#include "core/wav/WaveFile.h"

namespace peaks {

std::unique_ptr<CPeakJob> CPeakJob::For(CAudioFile& file, std::string& whyNot) {
  std::unique_ptr<CPeakJob> job(new CPeakJob);
  if (auto* wave = dynamic_cast<CWaveFile*>(&file)) {
    job->wave_ = WaveSourceOf(*wave, whyNot);
    if (!job->wave_) return nullptr;
    job->model_ = std::make_shared<CPeakModel>(job->wave_->Shape());
  } else if (auto* mp3 = dynamic_cast<CMp3File*>(&file)) {
    job->mp3_ = Mp3SourceOf(*mp3, whyNot);
    if (!job->mp3_) return nullptr;
  } else {
    whyNot = "The waveform of this file cannot be drawn.";
    return nullptr;
  }
  if (!job->file_.Open(file.GetFilePath(), CFile::Mode::ReadShared)) {
    whyNot =
        "The waveform cannot be drawn: " + CFileException(FileCause::Generic, file.GetFilePath()).Message();
    return nullptr;
  }
  return job;
}

CPeakJob::~CPeakJob() = default;

bool CPeakJob::Run(const std::atomic<bool>& cancel, unsigned threads, bool exact) {
  // Through the engine's runner: nothing may escape the drawing thread.
  bool done = false;
  const OperationOutcome outcome = RunAndCatch(
      file_.GetFilePath(), [&] { done = wave_ ? RunWave(cancel, threads) : RunMp3(cancel, threads, exact); });
  if (!outcome.Finished()) {
    failure_ = outcome.text;
    stage_ = Stage::Failed;
    return false;
  }
  stage_ = done ? Stage::Done : Stage::Cancelled;
  return done;
}

bool CPeakJob::RunWave(const std::atomic<bool>& cancel, unsigned threads) {
  stage_ = Stage::Exact;
  if (modelReady_) modelReady_();
  return ComputeWavePeaks(*wave_, *model_, cancel, threads);
}

bool CPeakJob::RunMp3(const std::atomic<bool>& cancel, unsigned threads, bool exact) {
  stage_ = Stage::Envelope;
  scan_ = ScanMp3(file_, *mp3_, cancel);
  if (!scan_) return false;
  auto model = std::make_shared<CPeakModel>(scan_->Shape(*mp3_));
  StoreEnvelope(*scan_, *mp3_, *model);
  std::atomic_store(&model_, model);
  if (modelReady_) modelReady_();
  if (!exact) return true;
  stage_ = Stage::Exact;
  return DecodeMp3Peaks(*mp3_, *scan_, *model, cancel, threads);
}

CPeakJob::Detail CPeakJob::ReadDetail(std::uint64_t first, std::uint64_t last, std::uint32_t samplesPerPoint,
                                      const std::atomic<bool>& cancel) const {
  Detail detail;
  detail.samplesPerPoint = std::max<std::uint32_t>(samplesPerPoint, 1);
  if (wave_) {
    detail.firstSample = first - first % detail.samplesPerPoint;
    detail.points = ReadWavePoints(file_, *wave_, detail.firstSample, last, detail.samplesPerPoint, cancel);
    return detail;
  }
  // The scan is written by Run until the exact stage begins.
  if (!mp3_ || stage_.load() < Stage::Exact || !scan_ || mp3_->samplesPerFrame == 0) return detail;
  // Decoding starts where the range holding first starts.
  const std::uint64_t range = first / mp3_->samplesPerFrame / Mp3Scan::kChunkFrames;
  const std::uint64_t endFrame = (last + mp3_->samplesPerFrame - 1) / mp3_->samplesPerFrame;
  detail.firstSample = range * Mp3Scan::kChunkFrames * mp3_->samplesPerFrame;
  detail.points = DecodeMp3Points(file_, *mp3_, *scan_, range, endFrame, detail.samplesPerPoint, cancel);
  return detail;
}

}  // namespace peaks
