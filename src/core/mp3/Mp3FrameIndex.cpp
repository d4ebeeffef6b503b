#include "core/mp3/Mp3FrameIndex.h"

#include <algorithm>

namespace mp3 {

FrameIndex::FrameIndex(std::uint32_t samplesPerFrame, std::uint32_t sampleRate, std::uint64_t audioStart,
                       std::uint64_t audioEnd)
    : samplesPerFrame_(samplesPerFrame),
      sampleRate_(sampleRate),
      audioStart_(audioStart),
      audioEnd_(audioEnd) {}

bool FrameIndex::Add(std::uint64_t offset) {
  if (offsets_.size() >= kMaxFrames || offset < audioStart_ || offset - audioStart_ > UINT32_MAX)
    return false;
  offsets_.push_back(static_cast<std::uint32_t>(offset - audioStart_));
  return true;
}

double FrameIndex::SecondsOf(std::uint64_t frames) const {
  if (sampleRate_ == 0) return 0.0;
  return static_cast<double>(frames * samplesPerFrame_) / sampleRate_;
}

std::uint64_t FrameIndex::FrameAtByte(std::uint64_t offset) const {
  if (offsets_.empty() || offset < audioStart_) return 0;
  const std::uint64_t relative = offset - audioStart_;
  if (relative > UINT32_MAX) return Frames() - 1;
  // The last frame starting at or before offset.
  const auto after = std::upper_bound(offsets_.begin(), offsets_.end(), static_cast<std::uint32_t>(relative));
  return static_cast<std::uint64_t>(after - offsets_.begin()) - 1;
}

std::uint64_t FrameIndex::Offset(std::uint64_t frame) const {
  if (frame >= offsets_.size()) return audioEnd_;
  return audioStart_ + offsets_[frame];
}

}  // namespace mp3
