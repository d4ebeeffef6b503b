#pragma once
// The header frame in the LAME format: a Layer III frame that holds no audio
// but a "Xing" (variable bitrate) or "Info" (constant bitrate) block with the
// stream's frame and byte counts and a 100-entry seek table, followed by the
// LAME extension (encoder version, encoder delay and padding, music length,
// music CRC and the CRC of the tag itself). Writer and reader, pure functions
// on bytes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/mp3/Mp3Frame.h"

namespace mp3 {

// CRC-16 with the polynomial 0x8005, bit-reflected, as the LAME extension
// uses it for the music CRC and the tag CRC. Continues from crc.
std::uint16_t Crc16(const std::uint8_t* bytes, std::size_t count, std::uint16_t crc = 0);

// The fixed delay of the Layer III synthesis every decoder shares, samples:
// gapless decoders skip the encoder delay plus this many samples.
constexpr std::uint32_t kDecoderDelay = 529;
// The largest value the delay and padding fields hold (12 bits each).
constexpr std::uint32_t kMaxDelayOrPadding = 4095;
// Bytes of the Xing/Info block and of the LAME extension that follows it.
constexpr std::size_t kXingBytes = 120;
constexpr std::size_t kLameExtensionBytes = 36;

// What a header frame says; the fields a writer fills and a reader finds.
struct LameTag {
  bool constant = false;     // "Info" rather than "Xing"
  std::uint32_t frames = 0;  // audio frames after the header frame
  std::uint32_t bytes = 0;   // header frame and audio frames
  std::array<std::uint8_t, 100> toc{};
  std::uint32_t quality = 0;      // the encoder's quality indicator
  bool hasExtension = false;      // the LAME extension is there (reader)
  std::array<char, 9> version{};  // encoder version string, e.g. "LAME3.100"
  std::uint8_t revisionAndMethod = 0;
  std::uint8_t lowpass = 0;       // lowpass frequency / 100
  std::uint32_t delay = 0;        // encoder delay, samples
  std::uint32_t padding = 0;      // padding at the end, samples
  std::uint32_t musicLength = 0;  // bytes from the header frame to the last frame's end
  std::uint16_t musicCrc = 0;     // over the audio frames
  bool tagCrcValid = false;       // reader: the tag's own CRC-16 matched
};

// Where the Xing/Info block starts in a frame of this kind (after the header
// and the side information; a header frame carries no CRC).
std::size_t XingOffset(FrameHeader header);

// Bytes a header frame of this kind needs: header, side information, the
// Xing/Info block and the LAME extension.
std::size_t HeaderFrameNeeds(FrameHeader header);

// The header of a header frame for a stream whose frames look like like:
// same version, layer, sampling rate, channel mode and emphasis, no CRC, no
// padding; the bitrate of like when the frame fits, else the lowest that does.
FrameHeader HeaderFrameHeader(FrameHeader like);

// The whole header frame: header, zero side information, the block with all
// four fields (frames, bytes, seek table, quality), the LAME extension and
// its tag CRC; the rest of the frame is zero.
std::vector<std::uint8_t> BuildHeaderFrame(FrameHeader like, const LameTag& tag);

// Reads a Xing/Info block (and a LAME extension after it) from a frame that
// starts with its header; nothing when the frame holds none.
std::optional<LameTag> ReadLameTag(const std::uint8_t* frame, std::size_t length);

}  // namespace mp3
