#pragma once
// Where the frames of a FLAC stream lie: found by their sync codes, each
// header checked by its CRC-8 and each frame by its CRC-16, numbered by the
// samples of the frames before it. A frame whose CRC-16 fails, or that runs
// past what its header allows, is kept as damaged so a cut or decode that
// needs it can name it.

#include <cstdint>
#include <optional>
#include <vector>

#include "core/flac/FlacMetadata.h"

class CFile;

namespace flac {

struct Frame {
  std::uint64_t offset = 0;
  std::uint64_t firstSample = 0;
  std::uint32_t length = 0;     // bytes, CRC-16 included
  std::uint32_t blockSize = 0;  // samples
  bool damaged = false;
};

struct FrameIndex {
  std::vector<Frame> frames;
  std::uint64_t samples = 0;  // of all frames
  std::uint32_t minFrame = 0, maxFrame = 0;
  std::uint32_t minBlock = 0, maxBlock = 0;
  // The frame holding sample; frames.size() at or past the end.
  std::size_t FrameAt(std::uint64_t sample) const;
  // The first damaged frame of [first, end); end when none.
  std::size_t FirstDamaged(std::size_t first, std::size_t end) const;
};

// The most frames an index holds: 24 bytes each, 48 MiB. A longer stream
// (over 100 hours of CD audio in 4096-sample frames) is refused.
constexpr std::size_t kMaxFrames = 2'000'000;

// Scans the frames of the stream from meta.audioStart to the end of file
// (an ID3v1 tag at the end excluded). Throws CFileException when the file
// cannot be read, and CAudioFailure when it holds more than kMaxFrames.
FrameIndex ScanFrames(const CFile& file, const Metadata& meta);

// The frames that hold the samples [first, end) and no more than a little
// around them, found by halving the file on frame numbers (a header counts
// only when the next one follows on), then scanned as ScanFrames does: a cut
// from the middle of a long file reads its own span. Sample positions come
// from the frame numbers. Nothing when the stream's numbers cannot place a
// frame (a fixed-block stream of several block sizes, damage at the
// start): the whole scan then serves.
std::optional<FrameIndex> ScanFrameSpan(const CFile& file, const Metadata& meta, std::uint64_t first,
                                        std::uint64_t end);

}  // namespace flac
