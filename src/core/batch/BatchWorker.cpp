#include "core/batch/BatchWorker.h"

#include <cerrno>
#include <cstring>
#include <memory>

#include "core/OperationRunner.h"
#include "core/Progress.h"
#include "core/StringTable.h"
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

// A file that could not be opened or created: the catalogue's text and the
// system's reason, as the command line prints them ("Cannot open audio file.
// (No such file or directory)"), so the log says which of the many it was.
void RecordFileError(BatchJob& job, const CAudioFile& file) {
  job.result = file.GetError();
  const int cause = file.GetErrorCause();
  if (cause == 0 || (job.result != err::kCannotOpen && job.result != err::kCannotCreateOutput)) return;
  const char* reason = cause == EWOULDBLOCK ? "locked by another program" : std::strerror(cause);
  job.failureText = LoadMessage(job.result) + " (" + reason + ")";
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
  if (file->GetError() != err::kNone) return RecordFileError(job, *file);
  const OperationOutcome converted = RunAndCatch(job.sourcePath, [&] {
    // A reporter of its own per job: each job's file range counts afresh.
    CProgress progress(job.sink);
    const AudioError result = file->ConvertTo(*conversion, job.outputPath, &progress, BatchMp3Settings());
    // A source that does not convert to the target has no type the batch reads.
    if (result == err::kNotOffered)
      job.result = err::kBatchUnknownType;
    else
      RecordFileError(job, *file);
  });
  if (!converted.Finished()) RecordFailure(job, err::kCannotCreateOutput, converted);
}
