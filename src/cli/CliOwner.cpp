#include "cli/CliOwner.h"

#include "cli/CliJson.h"
#include "cli/CliMessages.h"
#include "core/SplitEstimate.h"
#include "core/StringTable.h"
#include "core/open/Formats.h"

void CCliOwner::ShowMessage(const std::string&, const std::string& text, MessageIcon icon) {
  if (icon == MessageIcon::Error && !fileLabel_.empty())
    PrintFileError(err_, fileLabel_, text);
  else if (icon == MessageIcon::Error)
    std::fprintf(err_, "kestrune-cli: %s\n", text.c_str());
  else
    std::fprintf(out_, "%s\n", text.c_str());
  std::fflush(out_);
}

bool CCliOwner::RunShredEqually(CAudioFile& file, ShredRequest& request) {
  const SplitEstimate estimate = EstimateSplit(file, shred_.splits);
  if (estimate.error != err::kNone) {
    PrintFileError(err_, fileLabel_.empty() ? file.GetFilePath() : fileLabel_, LoadMessage(estimate.error));
    outcome_ = ShredOutcome::Refused;
    return false;
  }
  // The command line cannot be asked twice: a high overlap is reported and
  // the cut goes ahead with it, as when the question is answered No.
  if (OverlapTooHigh(file.GetOverlapTime(), estimate.playtime) && !shred_.json) {
    std::fprintf(out_, "%s\n%s\n", OverlapQuestion(file.GetOverlapTime(), estimate.playtime).c_str(),
                 kOverlapNotice);
  }
  if (shred_.json) {
    std::fputs(EstimateJson(fileLabel_, shred_.splits, file.GetOverlapTime(), estimate,
                            OverlapTooHigh(file.GetOverlapTime(), estimate.playtime))
                   .c_str(),
               out_);
    std::fflush(out_);
    outcome_ = ShredOutcome::EstimateOnly;
    return false;
  }
  for (const auto& line : EstimateLines(file.GetFileName(), shred_.splits, file.GetOverlapTime(),
                                        estimate.size, estimate.playtime))
    std::fprintf(out_, "%s\n", line.c_str());
  std::fflush(out_);
  if (shred_.estimateOnly) {
    outcome_ = ShredOutcome::EstimateOnly;
    return false;
  }
  request.numberOfSplits = shred_.splits;
  request.baseFilename = shred_.base;
  outcome_ = ShredOutcome::Accepted;
  return true;
}
