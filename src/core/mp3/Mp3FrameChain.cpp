#include "core/mp3/Mp3FrameChain.h"

#include "core/File.h"

namespace mp3 {

namespace {

// The block of the reads where the file is not mapped.
constexpr std::size_t kBlock = 256 << 10;
// How far ahead of the walk the map is fetched: about five frames of 128 kbit/s.
constexpr std::uint64_t kFetchAhead = 2048;

// Walks the chain from chunk.end into chunk: headerAt(at) gives the four
// bytes at at, or null where the source holds none. Makes nothing that
// needs destroying, so a guarded read may leave it by a jump.
template <class HeaderAt>
void WalkChain(FrameChunk& chunk, std::uint64_t audioEnd, CStreamFrameCheck& check, HeaderAt headerAt) {
  std::uint64_t at = chunk.end;
  std::size_t count = 0;
  // A frame is whole before the end of the audio, so its header is too.
  while (count < FrameChunk::kFrames && at + 4 <= audioEnd) {
    const std::uint8_t* bytes = headerAt(at);
    if (!bytes) break;
    const FrameHeader header = FrameHeader::FromBytes(bytes);
    const std::uint32_t length = check.LengthOf(header);
    if (length == 0 || at + length > audioEnd) break;
    chunk.offsets[count] = at;
    chunk.bitrates[count++] = static_cast<std::uint8_t>(header.BitrateIndex());
    at += length;
  }
  chunk.count = count;
  chunk.end = at;
}

// What the guarded walk of the map needs and finds, in plain data.
struct MapWalk {
  const CMappedFile* map;
  CStreamFrameCheck* check;
  std::uint64_t audioEnd;
  FrameChunk* chunk;
};

void WalkMap(void* context) {
  const MapWalk& walk = *static_cast<const MapWalk*>(context);
  WalkChain(*walk.chunk, walk.audioEnd, *walk.check, [&walk](std::uint64_t at) {
    // Where a header lies depends on the one before, which leaves the
    // memory idle between reads: the line some frames ahead is asked for now.
    if (at + kFetchAhead < walk.audioEnd) __builtin_prefetch(walk.map->At(at + kFetchAhead));
    return walk.map->At(at);
  });
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
  chunk_->end = at;
  WalkChain(*chunk_, audioEnd_, check_, [this](std::uint64_t from) -> const std::uint8_t* {
    if (from < blockAt_ || from + 4 > blockEnd_) {
      blockAt_ = from;
      blockEnd_ = from + file_.ReadAt(block_.data(), block_.size(), from);
    }
    return from + 4 <= blockEnd_ ? block_.data() + (from - blockAt_) : nullptr;
  });
}

}  // namespace mp3
