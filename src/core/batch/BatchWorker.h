#pragma once
// The conversion of one batch job; CBatchScheduler (core/batch/BatchScheduler.h)
// runs it on its worker threads, and CBatchWorkerThread is the batch window's
// one-at-a-time use of that scheduler.

#include <functional>
#include <memory>
#include <string>

#include "core/AudioFile.h"
#include "core/Mp3EncodeSettings.h"
#include "core/batch/BatchTypes.h"

// The encoder settings of every batch encoding: the encoder chooses the
// bitrate, constant bitrate, the original bit set.
Mp3EncodeSettings BatchMp3Settings();

// Opens a job's source as its format; nullptr for a source of no format.
// May throw std::bad_alloc.
using BatchFileMaker =
    std::function<std::unique_ptr<CAudioFile>(const std::string& path, BatchFormat source)>;
std::unique_ptr<CAudioFile> MakeBatchFile(const std::string& path, BatchFormat source);

// Opens the job's source as its type and converts it to the job's target
// through job.sink, leaving the outcome in job.result (and the message of a
// failure that carries its own, such as a file fault, in job.failureText).
// Nothing it meets escapes: a failed allocation is err::kNoMemory, any other
// fault err::kCannotOpen or err::kCannotCreateOutput with its message.
void BatchConvertWorker(BatchJob& job, const BatchFileMaker& make = MakeBatchFile);

class CBatchScheduler;

// The batch window's worker: the one scheduler with one worker thread. Start
// hands over a job and calls finished on the worker thread once the job's
// result is written; the window's next-job step (CBatchRun) then hands over
// the next. Destruction waits for a running job.
class CBatchWorkerThread {
 public:
  CBatchWorkerThread();
  ~CBatchWorkerThread();
  CBatchWorkerThread(const CBatchWorkerThread&) = delete;
  CBatchWorkerThread& operator=(const CBatchWorkerThread&) = delete;

  void Start(BatchJob& job, BatchFileMaker make, std::function<void()> finished);
  // Waits for the job handed over last to end.
  void Join();

 private:
  std::unique_ptr<CBatchScheduler> scheduler_;
};
