#include "cli/CliBatchPrinter.h"

#include "cli/CliJson.h"
#include "cli/CliMessages.h"
#include "core/StringTable.h"

namespace {

std::string MiB(double bytes) {
  return FormatText("%.1f", bytes / (1024.0 * 1024.0));
}

}  // namespace

void CCliBatchPrinter::Report(const BatchQueueJob& job, double seconds) {
  bar_.Erase();
  const std::string status = BatchStatusText(job.status);
  if (json_) {
    std::fputs(BatchJson({job.sourcePath, job.OutputPath(), status,
                          job.status == JobStatus::Done ? std::string() : job.reason, seconds})
                   .c_str(),
               out_);
  } else if (job.status == JobStatus::Failed) {
    std::fprintf(out_, "%s: %s: %s\n", TerminalText(job.sourcePath).c_str(), status.c_str(),
                 TerminalText(job.reason).c_str());
  } else {
    std::fprintf(out_, "%s: %s\n", TerminalText(job.sourcePath).c_str(), status.c_str());
  }
  std::fflush(out_);
}

void CCliBatchPrinter::Summary(const std::string& text) {
  bar_.Erase();
  std::fprintf(json_ ? err_ : out_, "%s\n", text.c_str());
}

void CCliBatchPrinter::DrawBar(std::size_t settled, std::size_t files, double doneBytes,
                               double runningBytes) {
  if (!showBar_) return;
  constexpr int kWidth = 30;
  const int filled = files ? static_cast<int>(settled * kWidth / files) : kWidth;
  char counts[128];
  std::snprintf(counts, sizeof counts, " %zu/%zu files  %s of %s MiB", settled, files, MiB(doneBytes).c_str(),
                MiB(runningBytes).c_str());
  bar_.Draw(CTerminalLine::Bar(filled, kWidth) + counts);
}
