#include "core/mp3/Mp3FrameChain.h"

#include "core/File.h"

namespace mp3 {

namespace {

// The block of the reads where the file is not mapped.
constexpr std::size_t kBlock = 256 << 10;
// How far ahead of the walk the map is fetched: about five frames of 128 kbit/s.
constexpr std::uint64_t kFetchAhead = 2048;

// What the guarded walk of the map needs and finds, in plain data: a read
// of a lost page leaves the walk by a jump.
struct MapWalk {
  const CMappedFile* map;
  CStreamFrameCheck* check;
  std::uint64_t audioEnd;
  FrameChunk* chunk;
};

void WalkMap(void* context) {
  const MapWalk& walk = *static_cast<const MapWalk*>(context);
  FrameChunk& chunk = *walk.chunk;
  std::uint64_t at = chunk.end;
  std::size_t count = 0;
  // A frame is whole before the end of the audio, so its header is too.
  while (count < FrameChunk::kFrames && at + 4 <= walk.audioEnd) {
    // Where a header lies depends on the one before, which leaves the
    // memory idle between reads: the line some frames ahead is asked for now.
    if (at + kFetchAhead < walk.audioEnd) __builtin_prefetch(walk.map->At(at + kFetchAhead));
    const FrameHeader header = FrameHeader::FromBytes(walk.map->At(at));
    const std::uint32_t length = walk.check->LengthOf(header);
    if (length == 0 || at + length > walk.audioEnd) break;
    chunk.offsets[count] = at;
    chunk.bitrates[count++] = static_cast<std::uint8_t>(header.BitrateIndex());
    at += length;
  }
  chunk.count = count;
  chunk.end = at;
}

}  // namespace

FrameChainReader::FrameChainReader(const CFile& file, FrameHeader stream, std::uint64_t audioStart,
                                   std::uint64_t audioEnd)
    : file_(file),
      audioEnd_(audioEnd),
      check_(stream),
      map_(file, audioStart, audioEnd > audioStart ? audioEnd - audioStart : 0),
      chunk_(std::make_unique<FrameChunk>()) {}

FrameChainReader::~FrameChainReader() = default;

const FrameChunk& FrameChainReader::Walk(std::uint64_t at) {
  if (ReadsMap() && at >= map_.Offset()) {
    chunk_->end = at;
    MapWalk walk{&map_, &check_, audioEnd_, chunk_.get()};
    if (map_.Guarded(WalkMap, &walk)) {
      // Walks go forward: the pages this chunk was read from are not read again.
      map_.Release(chunk_->end);
      return *chunk_;
    }
    shrunk_ = true;  // the file shrank: what is left of it is read
  }
  WalkBlocks(at);
  return *chunk_;
}

void FrameChainReader::WalkBlocks(std::uint64_t at) {
  if (block_.empty()) block_.resize(kBlock);
  FrameChunk& chunk = *chunk_;
  chunk.count = 0;
  while (chunk.count < FrameChunk::kFrames) {
    if (at < blockAt_ || at + 4 > blockEnd_) {
      blockAt_ = at;
      blockEnd_ = at + file_.ReadAt(block_.data(), block_.size(), at);
    }
    if (at + 4 > blockEnd_) break;
    const FrameHeader header = FrameHeader::FromBytes(block_.data() + (at - blockAt_));
    const std::uint32_t length = check_.LengthOf(header);
    if (length == 0 || at + length > audioEnd_) break;
    chunk.offsets[chunk.count] = at;
    chunk.bitrates[chunk.count++] = static_cast<std::uint8_t>(header.BitrateIndex());
    at += length;
  }
  chunk.end = at;
}

}  // namespace mp3
