// Writes the seed corpora of the fuzz harnesses: small WAV files of every
// shape the reader knows (built with the tests' own WAV builder) and small
// MP3 streams encoded with LAME at each MPEG version, with and without the
// metadata that can surround the audio frames.
//
// Usage: kestrune-seedgen <folder>; writes <folder>/<harness>/<name>.

#include <lame/lame.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

namespace {

struct Seed {
  std::string name;
  Bytes bytes;
};

std::vector<Seed> WavSeeds() {
  std::vector<Seed> seeds;
  auto add = [&](const std::string& name, const kt::WavSpec& spec, std::size_t dataBytes) {
    seeds.push_back({name, kt::BuildWav(spec, kt::PatternData(dataBytes))});
  };
  kt::WavSpec stereo16;
  stereo16.sampleRate = 2000;  // 8000 bytes a second: a few seconds stay small
  add("pcm16-stereo", stereo16, 8000 * 3 + 4);
  kt::WavSpec mono8;
  mono8.channels = 1;
  mono8.bitsPerSample = 8;
  mono8.sampleRate = 8000;
  add("pcm8-mono", mono8, 8000 * 3 + 1);
  kt::WavSpec stereo8 = mono8;
  stereo8.channels = 2;
  stereo8.sampleRate = 4000;
  add("pcm8-stereo", stereo8, 8000 * 3);
  kt::WavSpec quad = stereo16;
  quad.channels = 4;
  quad.sampleRate = 1000;
  add("pcm16-4ch", quad, 8000 * 2);
  kt::WavSpec pcm24 = stereo16;
  pcm24.bitsPerSample = 24;
  pcm24.sampleRate = 1000;
  add("pcm24-stereo", pcm24, 6000 * 2);
  kt::WavSpec adpcm;  // compressed data with an extra-format count and a fact chunk
  adpcm.formatTag = 17;
  adpcm.channels = 1;
  adpcm.bitsPerSample = 4;
  adpcm.sampleRate = 8000;
  adpcm.blockAlignOverride = 256;
  adpcm.byteRateOverride = 4055;
  adpcm.fmtSize = 20;
  adpcm.fmtExtra = {2, 0, 0xF9, 0x01};
  adpcm.before.push_back({"fact", {0x40, 0x1F, 0, 0}});
  add("adpcm-fact", adpcm, 256 * 20);
  kt::WavSpec extensible = stereo16;  // WAVE_FORMAT_EXTENSIBLE with the PCM sub-format
  extensible.formatTag = 0xFFFE;
  extensible.fmtSize = 40;
  extensible.fmtExtra = {22, 0, 16,   0, 3,    0, 0, 0,    1, 0,    0,    0,
                         0,  0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
  add("extensible", extensible, 8000 * 2);
  kt::WavSpec listed = mono8;  // other chunks around the audio
  listed.before.push_back({"LIST", Bytes(60, 'L')});
  listed.after.push_back({"cue ", Bytes(28, 1)});
  add("list-and-cue", listed, 8000 * 2 + 1);
  kt::WavSpec longer = mono8;  // data size larger than the file holds
  longer.dataSizeOverride = 1000000;
  add("data-past-end", longer, 8000 * 2);
  kt::WavSpec zeroRate = mono8;
  zeroRate.byteRateOverride = 0;
  add("zero-byte-rate", zeroRate, 4000);
  kt::WavSpec fmt18 = stereo16;
  fmt18.fmtSize = 18;
  fmt18.fmtExtra = {0, 0};
  add("fmt18", fmt18, 8000 * 2);
  seeds.push_back({"header-only", kt::BuildWav(stereo16, {})});
  return seeds;
}

// Encodes seconds of a tone with LAME; vbrTag asks for the Xing/Info frame.
Bytes Encode(int rate, int channels, int kbps, double seconds, bool vbr, bool vbrTag) {
  lame_global_flags* gf = lame_init();
  lame_set_in_samplerate(gf, rate);
  lame_set_out_samplerate(gf, rate);
  lame_set_num_channels(gf, channels);
  lame_set_mode(gf, channels == 1 ? MONO : JOINT_STEREO);
  if (vbr) {
    lame_set_VBR(gf, vbr_default);
    lame_set_VBR_q(gf, 6);
  } else {
    lame_set_brate(gf, kbps);
  }
  lame_set_bWriteVbrTag(gf, vbrTag ? 1 : 0);
  lame_set_quality(gf, 7);
  if (lame_init_params(gf) < 0) {
    std::fprintf(stderr, "LAME refused %d Hz %d kbit/s\n", rate, kbps);
    std::exit(1);
  }
  const int frames = static_cast<int>(rate * seconds);
  std::vector<short> pcm(static_cast<std::size_t>(frames) * channels);
  for (int i = 0; i < frames; ++i)
    for (int ch = 0; ch < channels; ++ch)
      pcm[static_cast<std::size_t>(i) * channels + ch] =
          static_cast<short>(9000 * std::sin(2 * M_PI * (440 + 110 * ch) * i / rate));
  Bytes out(static_cast<std::size_t>(1.25 * frames + 7200) + 16384);
  int n = channels == 1 ? lame_encode_buffer(gf, pcm.data(), pcm.data(), frames, out.data(), out.size())
                        : lame_encode_buffer_interleaved(gf, pcm.data(), frames, out.data(), out.size());
  n += lame_encode_flush(gf, out.data() + n, out.size() - n);
  out.resize(static_cast<std::size_t>(n));
  if (vbrTag) {
    Bytes tag(4096);
    const std::size_t len = lame_get_lametag_frame(gf, tag.data(), tag.size());
    if (len > 0 && len <= out.size()) std::copy(tag.begin(), tag.begin() + len, out.begin());
  }
  lame_close(gf);
  return out;
}

Bytes Id3v2(std::size_t bodyBytes) {
  Bytes tag = {'I', 'D', '3', 3, 0, 0};
  for (int shift = 21; shift >= 0; shift -= 7)
    tag.push_back(static_cast<std::uint8_t>((bodyBytes >> shift) & 0x7F));
  Bytes frame = {'T', 'I', 'T', '2', 0, 0, 0, 6, 0, 0, 0, 'S', 'e', 'e', 'd', '!'};
  frame.resize(bodyBytes, 0);
  tag.insert(tag.end(), frame.begin(), frame.end());
  return tag;
}

Bytes Id3v1() {
  Bytes tag(128, 0);
  const std::string fields = "TAGSeed title";
  std::copy(fields.begin(), fields.end(), tag.begin());
  tag[127] = 13;
  return tag;
}

// Frames of a layer the encoder does not make: a header and a silent body.
Bytes Layer12(std::uint8_t byte1, std::uint8_t byte2, std::size_t frameLength, int count) {
  Bytes out;
  for (int i = 0; i < count; ++i) {
    const std::uint8_t header[4] = {0xFF, byte1, byte2, 0xC0};
    out.insert(out.end(), header, header + 4);
    out.resize(out.size() + frameLength - 4, 0);
  }
  return out;
}

// A CBR stream whose first frame carries a VBRI header where encoders put it.
Bytes WithVbri(Bytes stream) {
  const std::size_t at = 4 + 32;
  if (stream.size() < at + 26) return stream;
  const std::uint8_t vbri[26] = {'V', 'B', 'R', 'I', 0,  1, 0, 50, 0, 0, 0, 0, 0x10,
                                 0,   0,   0,   0,   60, 0, 0, 0,  1, 0, 2, 0, 1};
  std::copy(vbri, vbri + 26, stream.begin() + at);
  return stream;
}

std::vector<Seed> Mp3Seeds() {
  std::vector<Seed> seeds;
  const Bytes mpeg1 = Encode(44100, 2, 128, 1.2, false, true);
  const Bytes mpeg2 = Encode(22050, 1, 32, 3.0, false, false);
  const Bytes mpeg25 = Encode(8000, 1, 8, 4.0, false, false);
  seeds.push_back({"mpeg1-cbr-info", mpeg1});
  seeds.push_back({"mpeg2-mono", mpeg2});
  seeds.push_back({"mpeg25-mono", mpeg25});
  seeds.push_back({"mpeg1-vbr-xing", Encode(44100, 1, 0, 1.5, true, true)});
  Bytes tagged = Id3v2(300);
  tagged.insert(tagged.end(), mpeg2.begin(), mpeg2.end());
  const Bytes v1 = Id3v1();
  tagged.insert(tagged.end(), v1.begin(), v1.end());
  seeds.push_back({"id3v2-id3v1", tagged});
  Bytes junk(1000, 0);
  junk.insert(junk.end(), mpeg25.begin(), mpeg25.end());
  seeds.push_back({"junk-before", junk});
  seeds.push_back({"vbri", WithVbri(Encode(22050, 1, 32, 2.0, false, false))});
  Bytes truncated(mpeg2.begin(), mpeg2.begin() + static_cast<std::ptrdiff_t>(mpeg2.size() * 2 / 3));
  seeds.push_back({"truncated", truncated});
  seeds.push_back({"layer2", Layer12(0xFD, 0x90, 417, 40)});  // MPEG 1 Layer II 128 kbit/s 44.1 kHz
  seeds.push_back({"layer1", Layer12(0xFF, 0x10, 32, 100)});  // MPEG 1 Layer I 32 kbit/s 44.1 kHz
  return seeds;
}

void Write(const fs::path& path, const Bytes& bytes) {
  kt::WriteAll(path.string(), bytes);
}

// Writes the seeds of an operation harness: each file behind several
// choices of operation, arguments and cancel point.
void WriteWithControls(const fs::path& dir, const std::vector<Seed>& seeds, int operations) {
  fs::create_directories(dir);
  for (const Seed& seed : seeds) {
    for (int op = 0; op < operations; ++op) {
      for (std::uint8_t cancel : {std::uint8_t{0}, std::uint8_t{0x80}}) {
        Bytes bytes = {static_cast<std::uint8_t>(op | cancel), 3, 1, 2};
        bytes.insert(bytes.end(), seed.bytes.begin(), seed.bytes.end());
        Write(dir / (seed.name + "-op" + std::to_string(op) + (cancel ? "-cancel" : "")), bytes);
      }
    }
  }
}

void WritePlain(const fs::path& dir, const std::vector<Seed>& seeds) {
  fs::create_directories(dir);
  for (const Seed& seed : seeds) Write(dir / seed.name, seed.bytes);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
    return 2;
  }
  const fs::path root = argv[1];
  const auto wav = WavSeeds();
  const auto mp3 = Mp3Seeds();
  WritePlain(root / "WavOpen", wav);
  WriteWithControls(root / "WavOps", wav, 6);
  WritePlain(root / "Mp3Open", mp3);
  WritePlain(root / "Mp3Decode", mp3);
  WriteWithControls(root / "Mp3Ops", mp3, 3);
  return 0;
}
