#include "support/WaveExpect.h"

#include <mad.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

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

WaveLayout ReadWaveLayout(const std::string& path) {
  WaveLayout w;
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> h(4096, 0);
  in.read(reinterpret_cast<char*>(h.data()), static_cast<std::streamsize>(h.size()));
  h.resize(static_cast<std::size_t>(in.gcount()));
  w.fileSize = std::filesystem::file_size(path);
  if (h.size() < 12) return w;
  auto le64 = [&](std::size_t at) { return GetLe32(h, at) | (std::uint64_t{GetLe32(h, at + 4)} << 32); };
  w.rf64 = std::equal(h.begin(), h.begin() + 4, "RF64");
  w.riffSize = GetLe32(h, 4);
  std::uint64_t ds64Data = 0;
  for (std::size_t at = 12; at + 8 <= h.size();) {
    const std::string tag(h.begin() + static_cast<std::ptrdiff_t>(at),
                          h.begin() + static_cast<std::ptrdiff_t>(at + 4));
    const std::uint32_t size = GetLe32(h, at + 4);
    if (tag == "ds64") {
      w.riffSize = le64(at + 8);
      ds64Data = le64(at + 16);
      w.ds64Samples = le64(at + 24);
    } else if (tag == "fmt ") {
      w.fmtSize = size;
      w.blockAlign = GetLe16(h, at + 20);
    } else if (tag == "fact") {
      w.hasFact = true;
      w.factCount = GetLe32(h, at + 8);
    } else if (tag == "data") {
      w.dataOffset = at + 8;
      w.dataSize = w.rf64 && size == 0xFFFFFFFFu ? ds64Data : size;
      break;
    }
    at += 8 + size + (size & 1u);
  }
  return w;
}

std::string HeaderMismatch(const std::string& path) {
  const WaveLayout w = ReadWaveLayout(path);
  if (w.dataOffset == 0) return "no data chunk";
  std::string out;
  if (w.riffSize + 8 != w.fileSize) out += "RIFF size " + std::to_string(w.riffSize) + "; ";
  if (w.dataOffset + w.dataSize + (w.dataSize & 1u) != w.fileSize)
    out += "data size " + std::to_string(w.dataSize) + " at " + std::to_string(w.dataOffset) + "; ";
  if (w.blockAlign == 0 || w.dataSize % w.blockAlign != 0) out += "a partial sample frame; ";
  return out.empty() ? out : out + "for a file of " + std::to_string(w.fileSize);
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
