#pragma once
// The MPEG audio frame header as the MP3 scanner reads it, its value tables,
// and the metadata that may precede or open an MP3 stream (ID3v2 tags, the
// Xing/Info and VBRI header frames). Pure functions on bytes, no file access.

#include <cstddef>
#include <cstdint>

#include "core/AudioError.h"

namespace mp3 {

// The four header bytes loaded little-endian: file byte 0 in bits 0-7,
// byte 1 in bits 8-15, byte 2 in bits 16-23, byte 3 in bits 24-31.
struct FrameHeader {
  std::uint32_t raw = 0;

  static FrameHeader FromBytes(const std::uint8_t* bytes);

  bool HasSync() const { return (raw & 0xFFu) == 0xFFu && (raw & 0xE000u) == 0xE000u; }
  unsigned Version() const { return (raw >> 11) & 3u; }      // 0 MPEG 2.5, 1 reserved, 2 MPEG 2, 3 MPEG 1
  unsigned Layer() const { return (raw >> 9) & 3u; }         // 0 reserved, 1 III, 2 II, 3 I
  bool Protected() const { return ((raw >> 8) & 1u) == 0; }  // a CRC follows the header
  unsigned BitrateIndex() const { return (raw >> 20) & 15u; }
  unsigned SampleRateIndex() const { return (raw >> 18) & 3u; }
  unsigned Padding() const { return (raw >> 17) & 1u; }
  unsigned ChannelMode() const { return (raw >> 30) & 3u; }  // 3 is mono
  unsigned Copyright() const { return (raw >> 27) & 1u; }
  unsigned Original() const { return (raw >> 26) & 1u; }

  std::uint32_t Bitrate() const;      // bits per second; 0 for free format, index 15 or reserved fields
  std::uint32_t SampleRate() const;   // Hz; 0 for a reserved index or version
  std::uint32_t FrameLength() const;  // bytes; 0 when the sampling rate is 0
  std::uint32_t SamplesPerFrame() const;
  // The MPEG layer number 1..3 (3 for layer value 1), as the information window shows it.
  unsigned LayerNumber() const;
  // Version, layer and sampling rate: the fields every frame of one stream shares.
  bool SameStreamAs(FrameHeader other) const { return ((raw ^ other.raw) & 0x000C1E00u) == 0; }
};

// Checks the header's own fields in order: 111 reserved version, 112 reserved
// layer, 113 reserved sampling rate, 114 free format or bitrate index 15.
AudioError CheckFields(FrameHeader header);

// The check applied to the bytes where the next frame must begin: a full
// four bytes with the sync bits, a sampling-rate index other than 3 and a
// version other than 1. Layer and bitrate are not looked at.
bool IsFollowingHeader(const std::uint8_t* bytes, std::size_t available);

// The header a stream's first frame must be followed by, one frame length
// on: a following header (above) that also shares version, layer and
// sampling rate with first. A false sync inside frame data rarely fakes that.
bool ContinuesStream(FrameHeader first, const std::uint8_t* bytes, std::size_t available);

// A header of a free-format stream: bitrate index 0, every other field valid.
// Its frame length is not in the header but the distance to the next one.
bool IsFreeFormat(FrameHeader header);
// The longest free-format frame looked for: 640 kbit/s at 8000 Hz (MPEG 2.5
// Layer III) is 5760 bytes.
inline constexpr std::uint32_t kMaxFreeFormatFrame = 5761;

// A Xing/Info or VBRI header in the first frame of a stream.
struct VbrHeader {
  bool present = false;      // the frame carries one of the markers: it holds no audio
  std::uint32_t frames = 0;  // audio frames of the whole stream; 0 when not given
  bool constant = false;     // "Info": the encoder wrote a constant-bitrate stream
};

// Looks for the markers at the places encoders put them; frame holds the
// whole frame starting with its header, length its available bytes.
VbrHeader ParseVbrHeader(FrameHeader header, const std::uint8_t* frame, std::size_t length);

// The bytes an ID3v2 tag occupies (header, body and optional footer) when
// bytes begin with a well-formed ID3v2 header, else 0.
std::uint64_t Id3v2TagLength(const std::uint8_t* bytes, std::size_t available);

}  // namespace mp3
