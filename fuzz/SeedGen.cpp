// Writes the seed corpora of the fuzz harnesses with the tests' own
// generators: small WAV files of every shape the reader knows, and small MP3
// streams (encoded by LAME at each MPEG version, and hand-built frames of the
// other layers) with and without the metadata that can surround the frames.
//
// Usage: kestrune-seedgen KIND <folder>; writes <folder>/<name>. Each
// harness names its kind where fuzz/CMakeLists.txt lists it.

#include <cstdio>
#include <exception>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include <unistd.h>

#include <memory>

#include "FuzzSupport.h"
#include "core/AudioFile.h"
#include "core/Progress.h"
#include "core/open/Formats.h"
#include "support/Mp3Builder.h"
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
  auto add = [&](const std::string& name, const kt::WavSpec& layout, std::size_t dataBytes) {
    seeds.push_back({name, kt::BuildWav(layout, kt::PatternData(dataBytes))});
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
  // compressed data with an extra-format count and a fact chunk
  const kt::WavSpec adpcm = kt::ImaAdpcmSpec(8000);
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

// A CBR stream whose first frame carries a VBRI header where encoders put it.
Bytes WithVbri(Bytes stream) {
  const std::size_t at = 4 + 32;
  if (stream.size() < at + 26) return stream;
  const std::uint8_t vbri[26] = {'V', 'B', 'R', 'I', 0,  1, 0, 50, 0, 0, 0, 0, 0x10,
                                 0,   0,   0,   0,   60, 0, 0, 0,  1, 0, 2, 0, 1};
  std::copy(vbri, vbri + 26, stream.begin() + at);
  return stream;
}

kt::LameSpec Lame(int rate, int channels, int kbps, bool headerFrame) {
  kt::LameSpec layout;
  layout.sampleRate = rate;
  layout.channels = channels;
  layout.bitrate = kbps;
  layout.headerFrame = headerFrame;
  return layout;
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

std::vector<Seed> Mp3Seeds() {
  std::vector<Seed> seeds;
  const Bytes mpeg1 = kt::EncodedSine(1.2, Lame(44100, 2, 128, true));
  const Bytes mpeg2 = kt::EncodedSine(3.0, Lame(22050, 1, 32, false));
  const Bytes mpeg25 = kt::EncodedSine(4.0, Lame(8000, 1, 8, false));
  kt::LameSpec vbr = Lame(44100, 1, 0, true);
  vbr.vbr = true;
  vbr.vbrQuality = 6;
  seeds.push_back({"mpeg1-cbr-info", mpeg1});
  seeds.push_back({"mpeg2-mono", mpeg2});
  seeds.push_back({"mpeg25-mono", mpeg25});
  seeds.push_back({"mpeg1-vbr-xing", kt::EncodedSine(1.5, vbr)});
  kt::Id3v1Spec v1;
  v1.title = "Seed title";
  v1.genre = 13;
  seeds.push_back({"id3v2-id3v1", Join({kt::Id3v2Tag(300), mpeg2, kt::Id3v1Tag(v1)})});
  seeds.push_back({"id3v24-footer", Join({kt::Id3v2Tag(100, true), mpeg25})});
  seeds.push_back({"junk-before", Join({Bytes(1000, 0), mpeg25})});
  seeds.push_back({"vbri", WithVbri(kt::EncodedSine(2.0, Lame(22050, 1, 32, false)))});
  seeds.push_back(
      {"truncated", Bytes(mpeg2.begin(), mpeg2.begin() + static_cast<std::ptrdiff_t>(mpeg2.size() * 2 / 3))});
  kt::FrameSpec layer2;  // MPEG 1 Layer II 128 kbit/s 44.1 kHz: frames the encoder does not make
  layer2.layer = 2;
  layer2.bitrateIndex = 8;
  seeds.push_back({"layer2", kt::SyntheticFrames(layer2, 40)});
  kt::FrameSpec layer1;  // MPEG 1 Layer I 32 kbit/s
  layer1.layer = 3;
  layer1.bitrateIndex = 1;
  seeds.push_back({"layer1", kt::SyntheticFrames(layer1, 100)});
  kt::FrameSpec mpeg2l3;
  mpeg2l3.version = 2;
  mpeg2l3.bitrateIndex = 8;
  mpeg2l3.mono = true;
  seeds.push_back({"synthetic-mpeg2", kt::SyntheticFrames(mpeg2l3, 60)});
  // Frames of differing bitrates without a Xing frame: indexed at open.
  Bytes mix;
  for (unsigned k = 0; k < 60; ++k) {
    kt::FrameSpec frame;
    frame.bitrateIndex = k % 2 ? 5 : 11;
    mix = Join({mix, kt::SyntheticFrames(frame, 1, k + 1)});
  }
  seeds.push_back({"bitrate-mix", mix});
  // An APEv2 tag with header and one item, before the ID3v1 tag and last.
  Bytes ape = {'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X', 0xD0, 0x07, 0, 0,
               60,  0,   0,   0,   1,   0,   0,   0,   0,    0,    0, 0xA0};
  ape.resize(32, 0);
  Bytes item = {14, 0, 0, 0, 0, 0, 0, 0, 'T', 'i', 't', 'l', 'e', 0};
  item.resize(28, 'a');
  Bytes footer(ape.begin(), ape.end());
  footer[23] = 0x80;
  seeds.push_back({"ape-id3v1", Join({mix, ape, item, footer, kt::Id3v1Tag(v1)})});
  seeds.push_back({"ape-last", Join({mpeg2, ape, item, footer})});
  return seeds;
}

// FLAC streams encoded from the PCM seeds by the engine itself, and one
// with its own cue sheet block and tags, so the seeds need no tool.
std::vector<Seed> FlacSeeds() {
  std::vector<Seed> seeds;
  const fs::path scratch = fs::temp_directory_path() / ("kestrune-seedgen-" + std::to_string(::getpid()));
  fs::create_directories(scratch);
  for (const Seed& wav : WavSeeds()) {
    const std::string in = (scratch / (wav.name + ".wav")).string(), out = (scratch / (wav.name + ".flac")).string();
    kt::WriteAll(in, wav.bytes);
    const std::unique_ptr<CAudioFile> file = OpenAudioFile(in);
    if (!file || !file->Offers(Conversion::ToFlac)) continue;
    CProgress quiet;
    if (file->ConvertToFlac(out, &quiet, FlacEncodeSettings{static_cast<unsigned>(wav.name.size() % 9)}) == err::kNone)
      seeds.push_back({wav.name, kt::ReadAll(out)});
  }
  fs::remove_all(scratch);
  if (!seeds.empty()) {
    // A CUESHEET block (two tracks, lead-out) and a comment block appended
    // to the metadata of the first stream, before its padding.
    Bytes tagged = seeds.front().bytes;
    Bytes comment = {4, 0, 0, 25, 4, 0, 0, 0, 'k', 'e', 's', 't', 1, 0, 0, 0, 13, 0, 0, 0};
    for (char ch : std::string("TITLE=Seeded!")) comment.push_back(static_cast<std::uint8_t>(ch));
    Bytes cue(4 + 396 + 3 * 36 + 2 * 12, 0);
    cue[0] = 5;
    const std::size_t body = cue.size() - 4;
    cue[1] = static_cast<std::uint8_t>(body >> 16), cue[2] = static_cast<std::uint8_t>(body >> 8),
    cue[3] = static_cast<std::uint8_t>(body);
    cue[4 + 395] = 3;  // tracks
    std::size_t at = 4 + 396;
    const std::uint8_t numbers[] = {1, 2, 170};
    for (int t = 0; t < 3; ++t, at += 36) {
      cue[at + 7] = static_cast<std::uint8_t>(t * 100);  // offset in samples
      cue[at + 8] = numbers[t];
      cue[at + 35] = t < 2 ? 1 : 0;
      if (t < 2) {
        cue[at + 36 + 8] = 1;  // INDEX 01 at the track's offset
        at += 12;
      }
    }
    // After the 42 bytes of "fLaC" and STREAMINFO.
    tagged.insert(tagged.begin() + 42, cue.begin(), cue.end());
    tagged.insert(tagged.begin() + 42, comment.begin(), comment.end());
    seeds.push_back({"cue-and-tags", tagged});
  }
  return seeds;
}

void Write(const fs::path& path, const Bytes& bytes) {
  kt::WriteAll(path.string(), bytes);
}

// Writes the seeds of an operation harness: each file behind every choice of
// operation, with and without a cancel point.
void WriteWithControls(const fs::path& dir, const std::vector<Seed>& seeds) {
  fs::create_directories(dir);
  for (const Seed& seed : seeds) {
    for (int op = 0; op < fz::kMostOperations; ++op) {
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
  // The kinds of seed corpus: the files of a format as they are, or behind
  // the control bytes of an operation harness (fz::RunOperations).
  struct Kind {
    const char* name;
    std::vector<Seed> (*seeds)();
    bool withControls;
  };
  static const Kind kKinds[] = {
      {"wav", WavSeeds, false},
      {"wav-ops", WavSeeds, true},
      {"mp3", Mp3Seeds, false},
      {"mp3-ops", Mp3Seeds, true},
      {"flac", FlacSeeds, false},
      {"flac-ops", FlacSeeds, true},
  };
  const Kind* kind = nullptr;
  if (argc == 3)
    for (const Kind& k : kKinds)
      if (std::string(argv[1]) == k.name) kind = &k;
  if (!kind) {
    std::fprintf(stderr, "usage: %s wav|wav-ops|mp3|mp3-ops|flac|flac-ops <folder>\n", argv[0]);
    return 2;
  }
  try {
    if (kind->withControls)
      WriteWithControls(argv[2], kind->seeds());
    else
      WritePlain(argv[2], kind->seeds());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
    return 1;
  }
  return 0;
}
