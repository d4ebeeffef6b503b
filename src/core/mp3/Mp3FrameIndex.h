#pragma once
// Where each frame of an MP3 stream starts, for streams whose frames differ
// in length (variable bitrate): frame k holds the samples from
// k × samples per frame on, so seconds become bytes exactly.

#include <algorithm>
#include <cstdint>
#include <vector>

namespace mp3 {

class FrameIndex {
 public:
  // Four bytes a frame: 8 Mi frames (about 61 hours at 44.1 kHz) take 32 MiB.
  // Longer streams, and hostile files of tiny frames, are not indexed.
  static constexpr std::size_t kMaxFrames = std::size_t{1} << 23;

  FrameIndex() = default;
  // A stream whose audio runs from audioStart to audioEnd.
  FrameIndex(std::uint32_t samplesPerFrame, std::uint32_t sampleRate, std::uint64_t audioStart,
             std::uint64_t audioEnd);

  // Records the next frame, which starts at offset (rising, inside the
  // audio); false when the index is full or cannot hold the offset.
  bool Add(std::uint64_t offset);
  void Clear() { *this = FrameIndex(); }
  // Makes room for frames frames (at most kMaxFrames).
  void Reserve(std::uint64_t frames) {
    offsets_.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(frames, kMaxFrames)));
  }

  bool Empty() const { return offsets_.empty(); }
  std::uint64_t Frames() const { return offsets_.size(); }
  double Seconds() const { return SecondsOf(Frames()); }
  double SecondsOf(std::uint64_t frames) const;

  // The frame whose bytes (up to the next frame's start) hold offset.
  std::uint64_t FrameAtByte(std::uint64_t offset) const;
  // Where frame starts; the end of the audio for Frames() and beyond.
  std::uint64_t Offset(std::uint64_t frame) const;

 private:
  std::uint32_t samplesPerFrame_ = 0;
  std::uint32_t sampleRate_ = 0;
  std::uint64_t audioStart_ = 0;
  std::uint64_t audioEnd_ = 0;
  std::vector<std::uint32_t> offsets_;  // from the audio start
};

}  // namespace mp3
