#include "core/mp3/Mp3FrameScan.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "core/File.h"
#include "core/mp3/Mp3LameTag.h"

namespace {

constexpr std::size_t kScanBlock = 128 << 10;
// Seek-table samples kept per scan; beyond, every other one is dropped.
constexpr std::size_t kMaxSamples = 2048;

}  // namespace

bool IsStreamFrame(mp3::FrameHeader header, mp3::FrameHeader stream) {
  return header.HasSync() && header.SameStreamAs(stream) && mp3::CheckFields(header) == err::kNone &&
         header.FrameLength() > 0;
}

void CStreamFrameCheck::Learn(Verdict& verdict, std::uint32_t key) const {
  verdict.known = true;
  const mp3::FrameHeader bare{key};
  verdict.length = IsStreamFrame(bare, stream_) ? bare.FrameLength() : 0;
  verdict.paddingSlot =
      verdict.length > 0 ? mp3::FrameHeader{key | kPadding}.FrameLength() - verdict.length : 0;
}

CMp3FrameWalker::CMp3FrameWalker(std::uint64_t from, std::uint64_t to, mp3::FrameHeader stream, bool crc,
                                 std::uint16_t crcSeed)
    : from_(from), to_(std::max(from, to)), check_(stream), crc_(crc), fedEnd_(from), next_(from) {
  scan_.crc = crcSeed;
  scan_.wholeEnd = from;
  ended_ = next_ + 4 > to_;
}

mp3::FrameHeader CMp3FrameWalker::HeaderAt(const std::uint8_t* block, std::uint64_t blockAt) const {
  if (next_ >= blockAt) return mp3::FrameHeader::FromBytes(block + (next_ - blockAt));
  std::uint8_t bytes[4];
  for (std::uint64_t k = 0; k < 4; ++k) {
    const std::uint64_t at = next_ + k;
    bytes[k] = at >= blockAt ? block[at - blockAt] : tail_[3 - (blockAt - at)];
  }
  return mp3::FrameHeader::FromBytes(bytes);
}

void CMp3FrameWalker::Count(mp3::FrameHeader header) {
  if (scan_.frames % scan_.stride == 0) {
    if (scan_.samples.size() == kMaxSamples) {
      for (std::size_t k = 0; k < kMaxSamples / 2; ++k) scan_.samples[k] = scan_.samples[2 * k];
      scan_.samples.resize(kMaxSamples / 2);
      scan_.stride *= 2;
    }
    if (scan_.frames % scan_.stride == 0) scan_.samples.push_back(next_ - from_);
  }
  if (bitrate_ != 16 && bitrate_ != header.BitrateIndex()) scan_.oneBitrate = false;
  if (bitrate_ == 16) scan_.bitrateIndex = header.BitrateIndex();
  bitrate_ = header.BitrateIndex();
  ++scan_.frames;
}

void CMp3FrameWalker::KeepTail(const std::uint8_t* bytes, std::size_t count) {
  if (count >= sizeof tail_) {
    std::memcpy(tail_, bytes + count - sizeof tail_, sizeof tail_);
    return;
  }
  const std::size_t keep = sizeof tail_ - count;
  std::memmove(tail_, tail_ + count, keep);
  std::memcpy(tail_ + keep, bytes, count);
}

void CMp3FrameWalker::Feed(const std::uint8_t* bytes, std::size_t count) {
  count = static_cast<std::size_t>(std::min<std::uint64_t>(count, to_ - fedEnd_));
  if (count == 0) return;
  if (crc_) scan_.crc = mp3::Crc16(bytes, count, scan_.crc);
  const std::uint64_t blockAt = fedEnd_;
  fedEnd_ += count;
  // A header is looked at once its four bytes are all here.
  while (!ended_ && next_ + 4 <= fedEnd_) {
    const mp3::FrameHeader header = HeaderAt(bytes, blockAt);
    const std::uint32_t length = check_.LengthOf(header);
    if (length == 0) {
      ++next_;  // not a frame: look at the next byte
    } else if (const std::uint64_t end = next_ + length; end > to_) {
      ended_ = true;  // a frame cut off at the end
    } else {
      Count(header);
      scan_.wholeEnd = end;
      next_ = end;
    }
    if (next_ + 4 > to_) ended_ = true;  // fewer than four bytes left before the end: no frame
  }
  KeepTail(bytes, count);
}

Mp3FrameScan ScanMp3Frames(const CFile& source, std::uint64_t from, std::uint64_t to, mp3::FrameHeader stream,
                           bool crc, std::uint16_t crcSeed) {
  CMp3FrameWalker walker(from, to, stream, crc, crcSeed);
  auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(kScanBlock);
  for (std::uint64_t block = from; block < to; block += kScanBlock) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(to - block, kScanBlock));
    const std::size_t got = source.ReadAt(buffer.get(), want, block);
    if (got < want) throw CFileException(FileCause::EndOfFile, source.GetFilePath());
    walker.Feed(buffer.get(), got);
  }
  return walker.Result();
}
