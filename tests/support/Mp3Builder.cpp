#include "support/Mp3Builder.h"

#include <lame/lame.h>

#include <cmath>
#include <stdexcept>

namespace kt {
namespace {

// kbit/s; rows by bitrate index; MPEG 1 L1, L2, L3, then MPEG 2/2.5 L1, L2/L3.
constexpr int kRates[16][5] = {{0, 0, 0, 0, 0},           {32, 32, 32, 32, 8},
                               {64, 48, 40, 48, 16},      {96, 56, 48, 56, 24},
                               {128, 64, 56, 64, 32},     {160, 80, 64, 80, 40},
                               {192, 96, 80, 96, 48},     {224, 112, 96, 112, 56},
                               {256, 128, 112, 128, 64},  {288, 160, 128, 144, 80},
                               {320, 192, 160, 160, 96},  {352, 224, 192, 176, 112},
                               {384, 256, 224, 192, 128}, {416, 320, 256, 224, 144},
                               {448, 384, 320, 256, 160}, {0, 0, 0, 0, 0}};

int SampleRateOf(unsigned version, unsigned index) {
  static const int base[3] = {44100, 48000, 32000};
  if (index > 2 || version == 1) return 0;
  return base[index] / (version == 3 ? 1 : version == 2 ? 2 : 4);
}

int BitrateOf(unsigned version, unsigned layer, unsigned index) {
  if (layer == 0 || version == 1) return 0;
  int column = version == 3 ? (layer == 3 ? 0 : layer == 2 ? 1 : 2) : (layer == 3 ? 3 : 4);
  return kRates[index][column] * 1000;
}

FrameSpec SpecOf(const std::uint8_t* b) {
  FrameSpec s;
  s.version = (b[1] >> 3) & 3;
  s.layer = (b[1] >> 1) & 3;
  s.bitrateIndex = b[2] >> 4;
  s.sampleRateIndex = (b[2] >> 2) & 3;
  s.padding = (b[2] >> 1) & 1;
  s.mono = (b[3] >> 6) == 3;
  return s;
}

}  // namespace

std::array<std::uint8_t, 4> HeaderBytes(const FrameSpec& s) {
  return {0xFF, static_cast<std::uint8_t>(0xE0 | (s.version << 3) | (s.layer << 1) | 1),
          static_cast<std::uint8_t>((s.bitrateIndex << 4) | (s.sampleRateIndex << 2) | (s.padding ? 2 : 0)),
          static_cast<std::uint8_t>((s.mono ? 0xC0 : 0x40) | (s.copyright ? 8 : 0) | (s.original ? 4 : 0))};
}

std::uint32_t FrameBytes(const FrameSpec& s) {
  const int rate = SampleRateOf(s.version, s.sampleRateIndex);
  if (rate == 0) return 0;
  const int bitrate = BitrateOf(s.version, s.layer, s.bitrateIndex);
  const int pad = s.padding ? 1 : 0;
  if (s.layer == 3) return static_cast<std::uint32_t>((12 * bitrate / rate + pad) * 4);
  const int factor = (s.layer == 1 && s.version != 3) ? 72 : 144;
  return static_cast<std::uint32_t>(factor * bitrate / rate + pad);
}

std::vector<std::uint8_t> SyntheticFrames(const FrameSpec& layout, std::size_t count, std::uint32_t seed) {
  const std::uint32_t length = FrameBytes(layout);
  if (length < 4) throw std::invalid_argument("frame layout without a length");
  std::vector<std::uint8_t> out;
  out.reserve(count * length);
  std::uint32_t x = seed * 2654435761u + 7u;
  for (std::size_t f = 0; f < count; ++f) {
    const auto header = HeaderBytes(layout);
    out.insert(out.end(), header.begin(), header.end());
    for (std::uint32_t i = 4; i < length; ++i) {
      x = x * 1664525u + 1013904223u;
      out.push_back(static_cast<std::uint8_t>((x >> 24) % 0xFF));  // never 0xFF
    }
  }
  return out;
}

std::vector<std::uint8_t> Id3v2Tag(std::size_t bodyBytes, bool footer) {
  std::vector<std::uint8_t> out = {'I', 'D',
                                   '3', static_cast<std::uint8_t>(footer ? 4 : 3),
                                   0,   static_cast<std::uint8_t>(footer ? 0x10 : 0)};
  for (int shift = 21; shift >= 0; shift -= 7)
    out.push_back(static_cast<std::uint8_t>((bodyBytes >> shift) & 0x7F));
  // A picture frame's worth of bytes, full of 0xFF 0xFB pairs that would
  // look like frame syncs to a search that did not skip the tag.
  for (std::size_t i = 0; i < bodyBytes; ++i) out.push_back(i % 2 ? 0xFB : 0xFF);
  if (footer) {
    out.insert(out.end(), {'3', 'D', 'I', 4, 0, 0x10});
    for (int shift = 21; shift >= 0; shift -= 7)
      out.push_back(static_cast<std::uint8_t>((bodyBytes >> shift) & 0x7F));
  }
  return out;
}

std::vector<std::uint8_t> Id3v1Tag(const Id3v1Spec& layout) {
  std::vector<std::uint8_t> out(128, 0);
  out[0] = 'T', out[1] = 'A', out[2] = 'G';
  auto put = [&out](std::size_t at, std::size_t length, const std::string& text) {
    for (std::size_t i = 0; i < length && i < text.size(); ++i)
      out[at + i] = static_cast<std::uint8_t>(text[i]);
  };
  put(3, 30, layout.title);
  put(33, 30, layout.artist);
  put(63, 30, layout.album);
  put(93, 4, layout.year);
  put(97, 30, layout.comment);
  out[127] = layout.genre;
  return out;
}

std::vector<std::uint8_t> EncodeMp3(const std::vector<std::int16_t>& pcm, const LameSpec& layout) {
  lame_global_flags* gf = lame_init();
  if (!gf) throw std::runtime_error("lame_init failed");
  lame_set_num_channels(gf, layout.channels);
  lame_set_in_samplerate(gf, layout.sampleRate);
  lame_set_out_samplerate(gf, layout.sampleRate);
  lame_set_mode(gf, layout.channels == 1 ? MONO : JOINT_STEREO);
  lame_set_quality(gf, 7);
  if (layout.vbr) {
    lame_set_VBR(gf, vbr_default);
    lame_set_VBR_q(gf, layout.vbrQuality);
  } else {
    lame_set_VBR(gf, vbr_off);
    lame_set_brate(gf, layout.bitrate);
  }
  lame_set_bWriteVbrTag(gf, layout.headerFrame ? 1 : 0);
  lame_set_write_id3tag_automatic(gf, 0);
  if (lame_init_params(gf) < 0) {
    lame_close(gf);
    throw std::runtime_error("lame_init_params failed");
  }
  const int frames = static_cast<int>(pcm.size() / layout.channels);
  std::vector<unsigned char> out(static_cast<std::size_t>(1.25 * frames + 7200 + 16384));
  int n;
  if (layout.channels == 1) {
    n = lame_encode_buffer(gf, pcm.data(), nullptr, frames, out.data(), static_cast<int>(out.size()));
  } else {
    n = lame_encode_buffer_interleaved(gf, const_cast<short*>(pcm.data()), frames, out.data(),
                                       static_cast<int>(out.size()));
  }
  if (n < 0) throw std::runtime_error("lame_encode_buffer failed");
  const int m = lame_encode_flush(gf, out.data() + n, static_cast<int>(out.size()) - n);
  if (m < 0) throw std::runtime_error("lame_encode_flush failed");
  out.resize(static_cast<std::size_t>(n + m));
  if (layout.headerFrame) {
    unsigned char tagFrame[8192];
    const std::size_t tagBytes = lame_get_lametag_frame(gf, tagFrame, sizeof tagFrame);
    for (std::size_t i = 0; i < tagBytes && i < out.size(); ++i) out[i] = tagFrame[i];
  }
  lame_close(gf);
  return {out.begin(), out.end()};
}

std::vector<std::int16_t> SinePcm(std::uint32_t frames, int channels, int sampleRate, double frequency,
                                  double amplitude) {
  std::vector<std::int16_t> out;
  out.reserve(static_cast<std::size_t>(frames) * channels);
  for (std::uint32_t i = 0; i < frames; ++i) {
    for (int c = 0; c < channels; ++c) {
      // Each channel a little apart in frequency, so swapped channels show.
      const double f = frequency * (1.0 + 0.25 * c);
      out.push_back(static_cast<std::int16_t>(
          std::lround(amplitude * 32767.0 * std::sin(2.0 * M_PI * f * i / sampleRate))));
    }
  }
  return out;
}

std::vector<std::uint8_t> EncodedSine(double seconds, const LameSpec& layout, double frequency) {
  const auto frames = static_cast<std::uint32_t>(seconds * layout.sampleRate);
  return EncodeMp3(SinePcm(frames, layout.channels, layout.sampleRate, frequency, 0.5), layout);
}

namespace {
std::size_t Walk(const std::vector<std::uint8_t>& bytes, std::size_t from, std::size_t to,
                 std::vector<std::size_t>& frames) {
  std::size_t at = from;
  while (at + 4 <= to) {
    const std::uint8_t* b = bytes.data() + at;
    if (b[0] != 0xFF || (b[1] & 0xE0) != 0xE0) break;
    const FrameSpec layout = SpecOf(b);
    if (layout.bitrateIndex == 0 || layout.bitrateIndex == 15 || layout.layer == 0) break;
    const std::uint32_t length = FrameBytes(layout);
    if (length == 0 || at + length > to) break;
    frames.push_back(at);
    at += length;
  }
  return at;
}
}  // namespace

std::vector<std::size_t> WalkFrames(const std::vector<std::uint8_t>& bytes, std::size_t from,
                                    std::size_t to) {
  std::vector<std::size_t> frames;
  Walk(bytes, from, to, frames);
  return frames;
}

std::size_t WalkEnd(const std::vector<std::uint8_t>& bytes, std::size_t from, std::size_t to) {
  std::vector<std::size_t> frames;
  return Walk(bytes, from, to, frames);
}

DecodedWav ReadDecodedWav(const std::vector<std::uint8_t>& b) {
  if (b.size() < 44) throw std::runtime_error("WAV shorter than its header");
  auto le16 = [&b](std::size_t at) { return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8)); };
  auto le32 = [&b](std::size_t at) {
    return static_cast<std::uint32_t>(b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) |
                                      (std::uint32_t{b[at + 3]} << 24));
  };
  DecodedWav wav;
  wav.riffSize = le32(4);
  wav.channels = le16(22);
  wav.sampleRate = le32(24);
  wav.dataSize = le32(40);
  for (std::size_t at = 44; at + 1 < b.size(); at += 2)
    wav.samples.push_back(static_cast<std::int16_t>(le16(at)));
  return wav;
}

}  // namespace kt
