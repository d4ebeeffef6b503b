#include "core/batch/BatchWorker.h"

#include <memory>
#include <new>

#include "core/File.h"
#include "core/Progress.h"
#include "core/mp3/Mp3File.h"
#include "core/wav/WaveFile.h"

Mp3EncodeSettings BatchMp3Settings() {
  Mp3EncodeSettings settings;
  settings.bitrate = 0;
  settings.encodingMode = 0;
  settings.vbrQuality = 0;
  settings.monoFlag = false;
  settings.copyrightFlag = false;
  settings.crcFlag = false;
  settings.originalFlag = true;
  return settings;
}

std::unique_ptr<CAudioFile> MakeBatchFile(const std::string& path, std::int32_t sourceType) {
  // No owner: a worker thread shows nothing; failures go to the log.
  if (sourceType == sourcetype::kWav) return std::make_unique<CWaveFile>(path, nullptr);
  if (sourceType == sourcetype::kMp3) return std::make_unique<CMp3File>(path, nullptr);
  return nullptr;
}

int BatchConvertWorker(BatchJob& job, const BatchFileMaker& make) {
  job.result = err::kNone;
  job.failureText.clear();
  if (job.sourceType != sourcetype::kWav && job.sourceType != sourcetype::kMp3) {
    job.result = err::kBatchUnknownType;
    return 1;
  }
  std::unique_ptr<CAudioFile> file;
  try {
    file = make(job.sourcePath, job.sourceType);
  } catch (const std::bad_alloc&) {
    job.result = err::kNoMemory;
    return 1;
  } catch (const CFileException& e) {
    job.result = err::kCannotOpen;
    job.failureText = e.Message();
    return 1;
  } catch (...) {
    // Whatever keeps the object from being created ends this job only.
    job.result = err::kNoMemory;
    return 1;
  }
  if (!file) {
    job.result = err::kNoMemory;
    return 1;
  }
  if (file->GetError() != err::kNone) {
    job.result = file->GetError();
    return 1;
  }
  try {
    // A reporter of its own per job: each job's file range counts afresh.
    CProgress progress(job.sink);
    if (job.targetType == targettype::kWav)
      file->ConvertToWav(job.outputPath, &progress);
    else
      file->ConvertToMp3(job.outputPath, &progress, BatchMp3Settings());
    job.result = file->GetError();
  } catch (const CFileException& e) {
    job.result = err::kCannotCreateOutput;
    job.failureText = e.Message();
  } catch (...) {
    job.result = err::kNoMemory;
  }
  return 0;
}

void CBatchWorkerThread::Start(BatchJob& job, BatchFileMaker make, std::function<void()> finished) {
  Join();
  thread_ = std::thread([&job, make = std::move(make), finished = std::move(finished)] {
    BatchConvertWorker(job, make);
    finished();
  });
}

void CBatchWorkerThread::Join() {
  if (thread_.joinable()) thread_.join();
}
