#include "core/batch/BatchWorker.h"

#include <memory>

#include "core/OperationRunner.h"
#include "core/Progress.h"
#include "core/open/Formats.h"

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

std::unique_ptr<CAudioFile> MakeBatchFile(const std::string& path, BatchFormat source) {
  return source ? source->Open(path, nullptr) : nullptr;
}

namespace {

// A job ended by a failure while its file was opened (fileFault
// kCannotOpen) or converted (kCannotCreateOutput): a failed allocation is
// "no memory"; a file fault, or a fault of no known kind, the fileFault code
// with the failure's own message as the log's reason.
void RecordFailure(BatchJob& job, AudioError fileFault, const OperationOutcome& outcome) {
  if (outcome.ending == OperationOutcome::Ending::OutOfMemory) {
    job.result = err::kNoMemory;
    return;
  }
  job.result = fileFault;
  job.failureText = outcome.text;
}

}  // namespace

void BatchConvertWorker(BatchJob& job, const BatchFileMaker& make) {
  job.result = err::kNone;
  job.failureText.clear();
  const std::optional<Conversion> conversion = job.target ? job.target->MadeBy() : std::nullopt;
  if (!job.source || !conversion) {
    job.result = err::kBatchUnknownType;
    return;
  }
  std::unique_ptr<CAudioFile> file;
  const OperationOutcome opened =
      RunAndCatch(job.sourcePath, [&] { file = make(job.sourcePath, job.source); });
  if (!opened.Finished()) return RecordFailure(job, err::kCannotOpen, opened);
  if (!file) {
    job.result = err::kNoMemory;
    return;
  }
  if (file->GetError() != err::kNone) {
    job.result = file->GetError();
    return;
  }
  const OperationOutcome converted = RunAndCatch(job.sourcePath, [&] {
    // A reporter of its own per job: each job's file range counts afresh.
    CProgress progress(job.sink);
    const AudioError result = file->ConvertTo(*conversion, job.outputPath, &progress, BatchMp3Settings());
    // A source that does not convert to the target has no type the batch reads.
    job.result = result == err::kNotOffered ? err::kBatchUnknownType : file->GetError();
  });
  if (!converted.Finished()) RecordFailure(job, err::kCannotCreateOutput, converted);
}
