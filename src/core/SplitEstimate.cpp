#include "core/SplitEstimate.h"

#include <algorithm>
#include <cstdio>

#include "core/Progress.h"
#include "core/StringTable.h"

namespace {
// The checks common to both formats; per and rate decide the 3000 refusal.
bool RefuseSplits(std::uint32_t splits, SplitEstimate& result) {
  if (splits == 0)
    result.error = err::kNoSplits;
  else if (splits == 1)
    result.error = err::kSplitsNotAboveOne;
  return result.error != err::kNone;
}
}  // namespace

SplitEstimate EstimateWaveSplit(const WaveSplitFacts& facts, std::uint32_t splits) {
  SplitEstimate result;
  if (RefuseSplits(splits, result)) return result;
  std::uint64_t per = facts.dataSize / splits;
  if (per < facts.avgBytesPerSec || facts.avgBytesPerSec == 0 || facts.blockAlign == 0) {
    result.error = err::kTooManySplits;
    return result;
  }
  if (per % facts.blockAlign) per += facts.blockAlign - per % facts.blockAlign;
  std::uint64_t size = per + 44;
  if (facts.extraFormatBytes) size += 2u + facts.extraFormatBytes;
  if (facts.factSize) size += 8u + facts.factSize;
  result.size = static_cast<std::uint32_t>(std::min<std::uint64_t>(size, UINT32_MAX));
  result.playtime = static_cast<double>(per) / facts.avgBytesPerSec;
  return result;
}

SplitEstimate EstimateMp3Split(const Mp3SplitFacts& facts, std::uint32_t splits) {
  SplitEstimate result;
  if (RefuseSplits(splits, result)) return result;
  const std::uint32_t per = facts.audioBytes / splits;
  // Counted frames split by time; otherwise bytes stand for time.
  const bool timed = facts.seconds > 0.0;
  if (timed ? facts.seconds / splits < 1.0 : per < facts.byteRate || facts.byteRate == 0) {
    result.error = err::kTooManySplits;
    return result;
  }
  result.playtime = timed ? facts.seconds / splits : static_cast<double>(per) / facts.byteRate;
  result.size = per + (facts.hasTag ? 128u : 0u);
  return result;
}

std::uint32_t OverlapLimit(double playtime) {
  return static_cast<std::uint32_t>(playtime * 0.5);
}

bool OverlapTooHigh(std::uint32_t overlapTime, double playtime) {
  return overlapTime > OverlapLimit(playtime);
}

std::string OverlapQuestion(std::uint32_t overlapTime, double playtime) {
  return FormatText(
      "Overlap time is %u Second(s), is high for the split of playtime %u Second(s). Set the overlap time "
      "about %u Second(s). Do you wish to change the overlap time?",
      overlapTime, static_cast<std::uint32_t>(playtime), OverlapLimit(playtime));
}

std::vector<std::string> EstimateLines(const std::string& sourceName, std::uint32_t splits,
                                       std::uint32_t overlapTime, std::uint32_t size, double playtime) {
  const std::string name = ToUpperAscii(sourceName);
  return {
      FormatText(
          "%s will be split into %u file(s). A predictive estimate is given below. However, if overlap "
          "time is set, then the file split size and playtime may change.",
          name.c_str(), splits),
      FormatText("Source filename - %s", name.c_str()),
      FormatText("Number of splits - %u", splits),
      size ? FormatText("File splits' size - %lu bytes", static_cast<unsigned long>(size))
           : std::string("File splits' size - Not estimated"),
      FormatText("File splits' playtime - %.2lf Second(s)", playtime),
      FormatText("Overlaping time - %u Second(s)", overlapTime),
  };
}
