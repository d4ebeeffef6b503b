#include "cli/CliShred.h"

#include "cli/CliJson.h"
#include "cli/CliMessages.h"
#include "core/AudioFile.h"
#include "core/SplitEstimate.h"
#include "core/StringTable.h"

void PrintNotice(const OperationNotice& notice, const std::string& fileLabel, std::FILE* out,
                 std::FILE* err) {
  if (notice.icon == MessageIcon::Error && !fileLabel.empty())
    PrintFileError(err, fileLabel, notice.text);
  else if (notice.icon == MessageIcon::Error)
    std::fprintf(err, "kestrune-cli: %s\n", TerminalText(notice.text).c_str());
  else
    std::fprintf(out, "%s\n", TerminalText(notice.text, false, true).c_str());
  std::fflush(out);
}

ShredAnswer AnswerShred(const CAudioFile& file, const ShredOptions& options, const std::string& fileLabel,
                        std::FILE* out, std::FILE* err, ShredRequest& request) {
  const SplitEstimate estimate = file.EstimateSplit(options.splits);
  if (estimate.error != err::kNone) {
    PrintFileError(err, fileLabel.empty() ? file.GetFilePath() : fileLabel, LoadMessage(estimate.error));
    return ShredAnswer::Refused;
  }
  const std::uint32_t overlap = file.GetOverlapTime();
  // The command line cannot be asked twice: a high overlap is reported and
  // the cut goes ahead with it, as when the question is answered No.
  if (OverlapTooHigh(overlap, estimate.playtime) && !options.json)
    std::fprintf(out, "%s\n%s\n", OverlapQuestion(overlap, estimate.playtime).c_str(), kOverlapNotice);
  if (options.json) {
    std::fputs(
        EstimateJson(fileLabel, options.splits, overlap, estimate, OverlapTooHigh(overlap, estimate.playtime))
            .c_str(),
        out);
    std::fflush(out);
    return ShredAnswer::EstimateOnly;
  }
  for (const auto& line :
       EstimateLines(file.GetFileName(), options.splits, overlap, estimate.size, estimate.playtime))
    std::fprintf(out, "%s\n", TerminalText(line).c_str());
  std::fflush(out);
  if (options.estimateOnly) return ShredAnswer::EstimateOnly;
  request.numberOfSplits = options.splits;
  request.baseFilename = options.base;
  return ShredAnswer::Accepted;
}
