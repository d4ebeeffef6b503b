#pragma once
// The walk of the index pass: the frames of a stream that follow one another
// from a position, a chunk at a time. The headers are read from the file
// mapped into memory, which costs a fraction of reading every byte; where
// the file cannot be mapped, or shrinks while it is walked, from large
// blocks read from the file.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/MappedFile.h"
#include "core/mp3/Mp3FrameScan.h"

namespace mp3 {

// Frames walked in one go; a walk stops early where no frame of the stream starts.
struct FrameChunk {
  static constexpr std::size_t kFrames = 1024;
  std::size_t count = 0;
  std::uint64_t end = 0;  // where the walk stopped
  std::uint64_t offsets[kFrames];
  std::uint8_t bitrates[kFrames];  // each frame's bitrate index
};

class FrameChainReader {
 public:
  // The frames of stream in the audio [audioStart, audioEnd) of file.
  FrameChainReader(const CFile& file, FrameHeader stream, std::uint64_t audioStart, std::uint64_t audioEnd);
  ~FrameChainReader();
  // The whole frames that follow one another from at: none when at holds
  // none; fewer than a full chunk when the chain ends.
  const FrameChunk& Walk(std::uint64_t at);
  // True while the headers come from the map (for tests).
  bool ReadsMap() const { return map_.IsMapped() && !shrunk_; }

 private:
  void WalkBlocks(std::uint64_t at);

  const CFile& file_;
  std::uint64_t audioEnd_;
  CStreamFrameCheck check_;
  CMappedFile map_;
  bool shrunk_ = false;  // a read of the map failed: the file is read from then on
  std::unique_ptr<FrameChunk> chunk_;
  std::vector<std::uint8_t> block_;
  std::uint64_t blockAt_ = 0, blockEnd_ = 0;
};

}  // namespace mp3
