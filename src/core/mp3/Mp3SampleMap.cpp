#include "core/mp3/Mp3SampleMap.h"

#include <algorithm>

#include "core/mp3/Mp3LameTag.h"

namespace mp3 {

SampleMap SampleMap::Trusted(std::uint32_t samplesPerFrame, std::uint64_t frames, std::uint32_t delay,
                             std::uint32_t padding) {
  SampleMap map = Plain(samplesPerFrame, frames);
  map.skip = std::uint64_t{delay} + kDecoderDelay;
  const std::uint64_t dropped = std::uint64_t{delay} + padding;
  map.samples = map.samples > dropped ? map.samples - dropped : 0;
  return map;
}

SampleMap SampleMap::Plain(std::uint32_t samplesPerFrame, std::uint64_t frames) {
  SampleMap map;
  map.samplesPerFrame = samplesPerFrame ? samplesPerFrame : 1152;
  map.frames = frames;
  map.samples = frames * map.samplesPerFrame;
  return map;
}

std::uint64_t SampleMap::FrameHolding(std::uint64_t sample) const {
  return std::min(frames, (sample + skip) / samplesPerFrame);
}

std::uint64_t SampleMap::FrameStarting(std::uint64_t sample) const {
  const std::uint64_t position = sample + skip;
  return std::min(frames, position < kDecoderDelay ? 0 : (position - kDecoderDelay) / samplesPerFrame);
}

std::uint64_t SampleMap::FrameEnding(std::uint64_t sample) const {
  return std::min(frames, (sample + skip + samplesPerFrame - 1) / samplesPerFrame);
}

std::uint64_t SampleMap::FirstMusicFrame() const {
  return frames ? std::min(frames - 1, FrameHolding(0)) : 0;
}

std::uint64_t SampleMap::LastMusicFrame() const {
  if (frames == 0) return 0;
  if (samples == 0) return FirstMusicFrame();
  return std::max(FirstMusicFrame(), std::min(frames - 1, FrameHolding(samples - 1)));
}

PieceCut PlanPieceCut(const SampleMap& map, std::uint64_t first, std::uint64_t end) {
  end = std::min(end, map.samples);
  first = std::min(first, end);
  const std::uint64_t spf = map.samplesPerFrame;
  const std::uint64_t from = first + map.skip, to = end + map.skip;  // stream positions
  PieceCut cut;
  cut.firstFrame = map.FrameStarting(first);
  cut.headTrim = static_cast<std::uint32_t>(from - cut.firstFrame * spf);
  cut.endFrame = std::max(cut.firstFrame, map.FrameEnding(end));
  // The decoder plays the last slot up to 529 samples before the padding
  // starts: what lies after `to` in the copied slots, plus those 529.
  const std::uint64_t slotsEnd = cut.endFrame * spf + kDecoderDelay;
  cut.padding = static_cast<std::uint32_t>(slotsEnd > to ? slotsEnd - to : 0);
  return cut;
}

std::uint64_t PieceDelay(std::uint64_t slotStart, std::uint32_t headTrim) {
  const std::uint64_t played = slotStart + headTrim;
  return played > kDecoderDelay ? played - kDecoderDelay : 0;
}

bool FitsDelayField(std::uint64_t value) {
  return value <= kMaxDelayOrPadding;
}

}  // namespace mp3
