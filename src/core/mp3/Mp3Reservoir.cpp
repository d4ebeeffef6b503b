#include "core/mp3/Mp3Reservoir.h"

#include <algorithm>
#include <cstring>

namespace mp3 {
namespace {

constexpr unsigned kHighestBitrateIndex = 14;

}  // namespace

std::size_t SideInfoLength(FrameHeader header) {
  const bool mono = header.ChannelMode() == 3;
  if (header.Version() == 3) return mono ? 17 : 32;
  return mono ? 9 : 17;
}

std::size_t MainDataOffset(FrameHeader header) {
  return 4 + (header.Protected() ? 2 : 0) + SideInfoLength(header);
}

std::uint32_t MaxMainDataBegin(FrameHeader header) {
  return header.Version() == 3 ? 511 : 255;
}

std::uint32_t MainDataBegin(const std::uint8_t* frame, std::size_t length) {
  if (length < 4) return 0;
  const FrameHeader header = FrameHeader::FromBytes(frame);
  const std::size_t at = 4 + (header.Protected() ? 2 : 0);
  if (length < at + 2) return 0;
  if (header.Version() == 3) return (std::uint32_t{frame[at]} << 1) | (frame[at + 1] >> 7);
  return frame[at];
}

std::uint32_t ReservoirNeeded(const std::vector<FrameReach>& frames) {
  // Each frame reaches back its main_data_begin from the main data stream
  // position at its header; the main data areas of the frames in between
  // shorten what is needed before the first one.
  std::uint64_t before = 0;
  std::uint64_t needed = 0;
  for (const FrameReach& f : frames) {
    if (f.mainDataBegin > before) needed = std::max<std::uint64_t>(needed, f.mainDataBegin - before);
    before += f.mainDataBytes;
  }
  return static_cast<std::uint32_t>(needed);
}

FrameHeader ReservoirFrameHeader(FrameHeader like) {
  // Bytes 0-1: sync, version, layer, protection bit set (no CRC). Byte 2: the
  // highest bitrate, the sampling rate, no padding, no private bit. Byte 3
  // (channel mode, mode extension, copyright, original, emphasis) as like.
  std::uint32_t raw = like.raw & 0xFF000000u;
  raw |= 0xFFu | (0xE0u << 8) | ((like.Version() & 3u) << 11) | ((like.Layer() & 3u) << 9) | (1u << 8);
  raw |= (kHighestBitrateIndex << 20) | ((like.SampleRateIndex() & 3u) << 18);
  return FrameHeader{raw};
}

std::uint32_t ReservoirCapacity(FrameHeader like) {
  const FrameHeader header = ReservoirFrameHeader(like);
  return header.FrameLength() - static_cast<std::uint32_t>(MainDataOffset(header));
}

namespace {

std::vector<std::uint8_t> ZeroFrame(FrameHeader header) {
  std::vector<std::uint8_t> frame(header.FrameLength(), 0);
  for (int i = 0; i < 4; ++i)
    frame[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(header.raw >> (8 * i));
  return frame;
}

}  // namespace

std::vector<std::uint8_t> BuildSilentFrame(FrameHeader like) {
  const FrameHeader header{(ReservoirFrameHeader(like).raw & ~(15u << 20)) | (1u << 20)};
  return ZeroFrame(header);
}

std::vector<std::uint8_t> BuildReservoirFrame(FrameHeader like, const std::uint8_t* tail, std::size_t count) {
  std::vector<std::uint8_t> frame = ZeroFrame(ReservoirFrameHeader(like));
  const std::size_t capacity = ReservoirCapacity(like);
  if (count > capacity) {
    tail += count - capacity;
    count = capacity;
  }
  if (count > 0) std::memcpy(frame.data() + frame.size() - count, tail, count);
  return frame;
}

}  // namespace mp3
