#include "support/WaveExpect.h"

#include <mad.h>

#include <algorithm>
#include <cmath>

#include "support/TestSupport.h"

namespace kt {

std::vector<std::uint8_t> ExtensibleExtra(std::uint16_t validBits, std::uint32_t channelMask, bool pcm) {
  std::vector<std::uint8_t> out;
  PutLe16(out, 22);
  PutLe16(out, validBits);
  PutLe32(out, channelMask);
  const std::uint8_t guid[16] = {static_cast<std::uint8_t>(pcm ? 0x01 : 0x03),
                                 0x00,
                                 0x00,
                                 0x00,
                                 0x00,
                                 0x00,
                                 0x10,
                                 0x00,
                                 0x80,
                                 0x00,
                                 0x00,
                                 0xAA,
                                 0x00,
                                 0x38,
                                 0x9B,
                                 0x71};
  out.insert(out.end(), guid, guid + 16);
  return out;
}

std::vector<std::uint8_t> CanonicalHeader(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
                                          std::uint32_t dataSize) {
  std::vector<std::uint8_t> h;
  const std::uint16_t align = static_cast<std::uint16_t>(channels * (bits / 8));
  PutTag(h, "RIFF");
  PutLe32(h, dataSize + 36);
  PutTag(h, "WAVE");
  PutTag(h, "fmt ");
  PutLe32(h, 16);
  PutLe16(h, 1);
  PutLe16(h, channels);
  PutLe32(h, rate);
  PutLe32(h, rate * align);
  PutLe16(h, align);
  PutLe16(h, bits);
  PutTag(h, "data");
  PutLe32(h, dataSize);
  return h;
}

std::vector<std::uint8_t> Slice(const std::vector<std::uint8_t>& bytes, std::size_t from, std::size_t count) {
  if (from >= bytes.size()) return {};
  const std::size_t end = count > bytes.size() - from ? bytes.size() : from + count;
  return {bytes.begin() + static_cast<std::ptrdiff_t>(from),
          bytes.begin() + static_cast<std::ptrdiff_t>(end)};
}

DecodedMp3 DecodeMp3(const std::string& path) {
  std::vector<std::uint8_t> bytes = ReadAll(path);
  bytes.resize(bytes.size() + MAD_BUFFER_GUARD, 0);
  DecodedMp3 result;
  mad_stream stream;
  mad_frame frame;
  mad_synth synth;
  mad_stream_init(&stream);
  mad_frame_init(&frame);
  mad_synth_init(&synth);
  mad_stream_buffer(&stream, bytes.data(), bytes.size());
  for (;;) {
    if (mad_frame_decode(&frame, &stream) != 0) {
      if (stream.error == MAD_ERROR_BUFLEN) break;
      if (MAD_RECOVERABLE(stream.error)) {
        if (stream.error != MAD_ERROR_LOSTSYNC) ++result.badFrames;
        continue;
      }
      break;
    }
    mad_synth_frame(&synth, &frame);
    ++result.frames;
    result.channels = std::max<unsigned>(result.channels, synth.pcm.channels);
    result.sampleRate = synth.pcm.samplerate;
    result.samplesPerChannel += synth.pcm.length;
    result.bitrates.push_back(static_cast<unsigned>(frame.header.bitrate / 1000));
    for (unsigned c = 0; c < synth.pcm.channels; ++c) {
      for (unsigned i = 0; i < synth.pcm.length; ++i) {
        result.peak = std::max(result.peak, std::fabs(mad_f_todouble(synth.pcm.samples[c][i])));
      }
    }
  }
  mad_synth_finish(&synth);
  mad_frame_finish(&frame);
  mad_stream_finish(&stream);
  return result;
}

}  // namespace kt
