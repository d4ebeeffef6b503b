#pragma once
// The bytes of a FLAC stream as Kestrune reads and rewrites them: the
// STREAMINFO block, frame headers (parsed, checked by their CRC-8, and
// renumbered) and the CRC-16 that closes every frame. The codec itself is
// libFLAC's; these are the parts a lossless cut needs without decoding.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace flac {

constexpr std::size_t kStreamInfoSize = 34;
// The longest frame header: sync and codes (4), a 7-byte sample number, a
// 16-bit block size and a 16-bit rate, the CRC-8.
constexpr std::size_t kMaxFrameHeader = 16;

std::uint8_t Crc8(const std::uint8_t* bytes, std::size_t count, std::uint8_t crc = 0);
std::uint16_t Crc16(const std::uint8_t* bytes, std::size_t count, std::uint16_t crc = 0);
// The CRC-16 of a message followed by count zero bytes, from the message's.
std::uint16_t Crc16ZeroExtend(std::uint16_t crc, std::uint64_t count);

struct StreamInfo {
  std::uint16_t minBlock = 0, maxBlock = 0;
  std::uint32_t minFrame = 0, maxFrame = 0;  // bytes; 0 unknown
  std::uint32_t sampleRate = 0;
  std::uint8_t channels = 0;
  std::uint8_t bitsPerSample = 0;
  std::uint64_t totalSamples = 0;  // 0 unknown
  std::array<std::uint8_t, 16> md5{};
  bool HasMd5() const;
};
// The 34 bytes of a STREAMINFO block; nullopt when they cannot describe a
// stream (no channels, a rate of 0, bits outside 4..32).
std::optional<StreamInfo> ParseStreamInfo(const std::uint8_t* bytes);
std::array<std::uint8_t, kStreamInfoSize> WriteStreamInfo(const StreamInfo& info);

struct FrameHeader {
  bool variableBlocks = false;  // the number counts samples, not frames
  std::uint32_t blockSize = 0;
  std::uint32_t sampleRate = 0;
  std::uint8_t channelCode = 0;  // 0-7 independent channels, 8-10 stereo decorrelation
  std::uint8_t bitsPerSample = 0;
  std::uint64_t number = 0;
  std::size_t length = 0;  // header bytes, CRC-8 included
  unsigned Channels() const { return channelCode < 8 ? channelCode + 1u : 2u; }
};
// The header at bytes (avail readable) when it is a whole, valid header of a
// frame of this stream: sync, codes, number and CRC-8; nullopt otherwise.
std::optional<FrameHeader> ParseFrameHeader(const std::uint8_t* bytes, std::size_t avail,
                                            const StreamInfo& info);
// The header with its number replaced (a sample number when variableBlocks,
// else a frame number) and its CRC-8 made anew; the other codes and their
// extra bytes are kept. The number may change its length.
std::vector<std::uint8_t> RenumberHeader(const std::uint8_t* header, const FrameHeader& parsed,
                                         std::uint64_t number, bool variableBlocks);
// The CRC-16 of a frame whose header was replaced: from the old frame's
// CRC-16 (over its header and body, footer excluded), the two headers and
// the body's length; the body is not read again.
std::uint16_t RenumberedFrameCrc(std::uint16_t oldCrc, const std::vector<std::uint8_t>& oldHeader,
                                 const std::vector<std::uint8_t>& newHeader, std::uint64_t bodyLength);

// The largest frame a header can start, in bytes: verbatim subframes of its
// block and channels plus the headers' room. A frame that runs longer is
// damaged.
std::uint64_t FrameBound(const FrameHeader& header, const StreamInfo& info);

}  // namespace flac
