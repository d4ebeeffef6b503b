#include "core/mp3/Mp3Frame.h"

#include <cstring>
#include <optional>

#include "core/ByteOrder.h"
#include "core/mp3/Mp3LameTag.h"

namespace mp3 {
namespace {

// kbit/s by bitrate index; columns MPEG 1 Layer I, II, III, MPEG 2 Layer I,
// MPEG 2 Layers II and III (MPEG 2.5 uses the MPEG 2 columns).
constexpr std::uint16_t kBitrates[16][5] = {
    {0, 0, 0, 0, 0},           {32, 32, 32, 32, 8},       {64, 48, 40, 48, 16},
    {96, 56, 48, 56, 24},      {128, 64, 56, 64, 32},     {160, 80, 64, 80, 40},
    {192, 96, 80, 96, 48},     {224, 112, 96, 112, 56},   {256, 128, 112, 128, 64},
    {288, 160, 128, 144, 80},  {320, 192, 160, 160, 96},  {352, 224, 192, 176, 112},
    {384, 256, 224, 192, 128}, {416, 320, 256, 224, 144}, {448, 384, 320, 256, 160},
    {0, 0, 0, 0, 0},
};

// Hz by sampling-rate index; columns MPEG 1, MPEG 2, MPEG 2.5.
constexpr std::uint32_t kSampleRates[4][3] = {
    {44100, 22050, 11025}, {48000, 24000, 12000}, {32000, 16000, 8000}, {0, 0, 0}};

}  // namespace

FrameHeader FrameHeader::FromBytes(const std::uint8_t* b) {
  return FrameHeader{std::uint32_t{b[0]} | (std::uint32_t{b[1]} << 8) | (std::uint32_t{b[2]} << 16) |
                     (std::uint32_t{b[3]} << 24)};
}

std::uint32_t FrameHeader::Bitrate() const {
  const unsigned layer = Layer();
  const unsigned version = Version();
  if (layer == 0 || version == 1) return 0;
  unsigned column;
  if (version == 3)
    column = 3 - layer;  // Layer I → 0, II → 1, III → 2
  else
    column = layer == 3 ? 3 : 4;
  return kBitrates[BitrateIndex()][column] * 1000u;
}

std::uint32_t FrameHeader::SampleRate() const {
  switch (Version()) {
    case 3:
      return kSampleRates[SampleRateIndex()][0];
    case 2:
      return kSampleRates[SampleRateIndex()][1];
    case 0:
      return kSampleRates[SampleRateIndex()][2];
    default:
      return 0;
  }
}

std::uint32_t FrameHeader::FrameLength() const {
  const std::uint32_t rate = SampleRate();
  if (rate == 0) return 0;
  const std::uint32_t bitrate = Bitrate();
  const std::uint32_t padding = Padding();
  if (Layer() == 3) return (12 * bitrate / rate + padding) * 4;
  if (Layer() == 2 || Version() == 3) return 144 * bitrate / rate + padding;
  return 72 * bitrate / rate + padding;
}

std::uint32_t FrameHeader::SamplesPerFrame() const {
  if (Layer() == 3) return 384;
  if (Layer() == 2 || Version() == 3) return 1152;
  return 576;
}

unsigned FrameHeader::LayerNumber() const {
  if (Layer() == 1) return 3;
  if (Layer() == 2) return 2;
  return 1;
}

AudioError CheckFields(FrameHeader header) {
  if (header.Version() == 1) return err::kBadMpegVersion;
  if (header.Layer() == 0) return err::kBadLayer;
  if (header.SampleRateIndex() == 3) return err::kBadSamplingRate;
  if (header.BitrateIndex() == 15 || header.BitrateIndex() == 0) return err::kBadBitrate;
  return err::kNone;
}

bool IsFollowingHeader(const std::uint8_t* bytes, std::size_t available) {
  if (available < 4) return false;
  const FrameHeader next = FrameHeader::FromBytes(bytes);
  return next.HasSync() && next.SampleRateIndex() != 3 && next.Version() != 1;
}

bool ContinuesStream(FrameHeader first, const std::uint8_t* bytes, std::size_t available) {
  return IsFollowingHeader(bytes, available) && FrameHeader::FromBytes(bytes).SameStreamAs(first);
}

bool IsFreeFormat(FrameHeader header) {
  return header.HasSync() && header.BitrateIndex() == 0 && header.Version() != 1 && header.Layer() != 0 &&
         header.SampleRateIndex() != 3;
}

VbrHeader ParseVbrHeader(FrameHeader header, const std::uint8_t* frame, std::size_t length) {
  VbrHeader result;
  if (header.Layer() != 1) return result;  // only Layer III streams carry these frames
  if (const std::optional<LameTag> tag = ReadLameTag(frame, length)) {
    result.present = true;
    result.constant = tag->constant;
    result.frames = tag->frames;
    return result;
  }
  // The VBRI block stands 32 bytes after the header whatever the channel mode.
  constexpr std::size_t kVbri = 36;
  if (kVbri + 18 <= length && std::memcmp(frame + kVbri, "VBRI", 4) == 0) {
    result.present = true;
    result.frames = bytes::Be32(frame + kVbri + 14);
  }
  return result;
}

std::uint64_t Id3v2TagLength(const std::uint8_t* b, std::size_t available) {
  if (available < 10 || std::memcmp(b, "ID3", 3) != 0) return 0;
  if (b[3] == 0xFF || b[4] == 0xFF) return 0;
  if ((b[6] | b[7] | b[8] | b[9]) & 0x80u) return 0;  // size bytes are synch-safe: 7 bits each
  const std::uint64_t body =
      (std::uint64_t{b[6]} << 21) | (std::uint64_t{b[7]} << 14) | (std::uint64_t{b[8]} << 7) | b[9];
  const bool footer = b[3] >= 4 && (b[5] & 0x10u);
  return 10 + body + (footer ? 10 : 0);
}

}  // namespace mp3
