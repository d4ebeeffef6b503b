#pragma once
// The conversion of one batch job, and the short-lived thread that runs it.

#include <functional>
#include <memory>
#include <thread>

#include "core/AudioFile.h"
#include "core/Mp3EncodeSettings.h"
#include "core/batch/BatchTypes.h"

// The encoder settings of every batch encoding: the encoder chooses the
// bitrate, constant bitrate, the original bit set.
Mp3EncodeSettings BatchMp3Settings();

// Creates the file object of a job's source: a CWaveFile or a CMp3File by
// source type, nullptr for any other type. May throw std::bad_alloc.
using BatchFileMaker =
    std::function<std::unique_ptr<CAudioFile>(const std::string& path, std::int32_t sourceType)>;
std::unique_ptr<CAudioFile> MakeBatchFile(const std::string& path, std::int32_t sourceType);

// Opens the job's source as its type and converts it to the job's target
// through job.sink, leaving the outcome in job.result (and a file-system
// failure's message in job.failureText). Returns 0 when a conversion ran and
// 1 when the job failed before converting.
int BatchConvertWorker(BatchJob& job, const BatchFileMaker& make = MakeBatchFile);

// Runs BatchConvertWorker on its own thread, then calls finished on that
// thread (after the job's result is written). One job at a time; the thread
// is joined before the next starts and on destruction.
class CBatchWorkerThread {
 public:
  CBatchWorkerThread() = default;
  ~CBatchWorkerThread() { Join(); }
  CBatchWorkerThread(const CBatchWorkerThread&) = delete;
  CBatchWorkerThread& operator=(const CBatchWorkerThread&) = delete;

  void Start(BatchJob& job, BatchFileMaker make, std::function<void()> finished);
  // Waits for the thread of the last job to end.
  void Join();

 private:
  std::thread thread_;
};
