// Where MP3 cuts fall in time: variable-bitrate streams cut at the frame
// that holds the second asked for, constant-bitrate streams exactly as
// bitrate arithmetic puts them, and APE tags at the end left out of the audio.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "audio/Mp3File.h"
#include "ops/SplitEstimate.h"
#include "res/StringTable.h"
#include "support/Mp3Builder.h"
#include "support/TestSupport.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Slice(const Bytes& b, std::size_t from, std::size_t to) {
  return Bytes(b.begin() + static_cast<long>(from), b.begin() + static_cast<long>(to));
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// 12 s of stereo whose loudness and spectrum change every 2 s (quiet tone,
// noise, a sweep), so a VBR encoder really varies its bitrate.
std::string VariedWav(const kt::TempDir& dir) {
  constexpr std::uint32_t kRate = 44100;
  Bytes pcm;
  std::uint32_t x = 7;
  for (std::uint32_t i = 0; i < 12 * kRate; ++i) {
    const double t = static_cast<double>(i) / kRate;
    x = x * 1664525u + 1013904223u;
    const double noise = static_cast<double>(x >> 8) / (1u << 24) - 0.5;
    double v;
    switch (static_cast<int>(t / 2) % 3) {
      case 0:
        v = 0.01 * std::sin(2 * M_PI * 220 * t);
        break;
      case 1:
        v = 0.8 * noise;
        break;
      default:
        v = 0.5 * std::sin(2 * M_PI * (200 + 900 * t) * t);
    }
    const auto s = static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(v * 32767)));
    kt::PutLe16(pcm, s);
    kt::PutLe16(pcm, static_cast<std::uint16_t>(s ^ 0x15));
  }
  return kt::MakeWav(dir, "varied.wav", kt::WavSpec{}, pcm);
}

// The `lame` command-line encoder, a reference independent of the engine.
Bytes Lame(const kt::TempDir& dir, const std::string& options) {
  const std::string wav = VariedWav(dir), mp3 = dir.File("lame.mp3");
  const std::string command = "lame --quiet " + options + " '" + wav + "' '" + mp3 + "'";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  return kt::ReadAll(mp3);
}

// Audio frames as ffprobe counts them (it reads a Xing/Info frame as metadata).
std::uint64_t FfprobeFrames(const std::string& path) {
  const std::string command =
      "ffprobe -v error -count_packets -select_streams a:0 -show_entries "
      "stream=nb_read_packets -of csv=p=0 '" +
      path + "'";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return 0;
  unsigned long long frames = 0;
  if (std::fscanf(pipe, "%llu", &frames) != 1) frames = 0;
  pclose(pipe);
  return frames;
}

// A source whose frames all lie between audioStart and audioEnd.
struct Stream {
  Bytes bytes;
  std::vector<std::size_t> frames;  // starts of the audio frames
  std::size_t end = 0;              // end of the audio
  std::size_t At(std::uint64_t k) const { return k < frames.size() ? frames[k] : end; }
};

Stream Frames(const Bytes& bytes, bool headerFrame, std::size_t tail = 0) {
  Stream s{bytes, kt::WalkFrames(bytes, 0, bytes.size() - tail), bytes.size() - tail};
  if (headerFrame) s.frames.erase(s.frames.begin());
  return s;
}

class Mp3TimingTest : public ::testing::Test {
 protected:
  kt::TempDir dir;
  kt::ScriptedOwner owner;
  kt::RecordingProgress progress;

  std::string Write(const Bytes& bytes) {
    kt::WriteAll(dir.File("src.mp3"), bytes);
    return dir.File("src.mp3");
  }
  // Plain frame copies show where the cuts fall.
  Bytes Select(CMp3File& f, std::uint32_t from, std::uint32_t to) {
    f.SetGaplessPieces(false);
    EXPECT_EQ(f.SaveSelection(dir.File("sel.mp3"), from, to, &progress), 0u);
    return kt::ReadAll(dir.File("sel.mp3"));
  }
  std::vector<Bytes> Split(CMp3File& f, std::uint32_t pieces, std::uint32_t overlap) {
    f.SetGaplessPieces(false);
    f.SetOverlapTime(overlap);
    owner.shred.numberOfSplits = pieces;
    owner.shred.baseFilename = dir.File("p");
    EXPECT_EQ(f.SplitEqually(&progress), 0u);
    std::vector<Bytes> out;
    for (std::uint32_t i = 1; i <= pieces; ++i)
      out.push_back(kt::ReadAll(dir.File("P-" + std::to_string(i) + ".mp3")));
    return out;
  }
  std::string LastMessage() const { return owner.messages.empty() ? "" : owner.messages.back().text; }

  // Every seconds-to-bytes conversion of a variable-bitrate stream counts
  // frames: frame k holds the samples from k × samplesPerFrame on.
  void ExpectTimeExactCuts(const Stream& s, std::uint32_t samplesPerFrame, std::uint32_t rate,
                           const std::string& what) {
    SCOPED_TRACE(what);
    const std::string path = Write(s.bytes);
    CMp3File f(path, &owner);
    ASSERT_EQ(f.GetError(), 0u);
    EXPECT_TRUE(f.HasFrameIndex());
    const std::uint64_t n = s.frames.size();
    const double duration = static_cast<double>(n * samplesPerFrame) / rate;
    EXPECT_DOUBLE_EQ(f.GetDuration(), duration);
    EXPECT_EQ(f.GetInformationLines()[8], FormatText("Play Duration - %.2lf Sec(s)", duration));

    const struct {
      std::uint32_t from, to;
    } selections[] = {{3, 10}, {0, 1}, {1, 2}, {3, 9999}, {5, 5}, {9999, 10000}};
    for (const auto& sel : selections) {
      const std::uint64_t first =
          std::min<std::uint64_t>(n, std::uint64_t{sel.from} * rate / samplesPerFrame);
      const std::uint64_t last =
          sel.to > sel.from ? std::min<std::uint64_t>(
                                  n, (std::uint64_t{sel.to} * rate + samplesPerFrame - 1) / samplesPerFrame)
                            : first;
      EXPECT_EQ(Select(f, sel.from, sel.to), Slice(s.bytes, s.At(first), s.At(last)))
          << sel.from << "-" << sel.to;
      const double seconds =
          sel.to > sel.from ? std::max(0.0, std::min<double>(sel.to, duration) - sel.from) : 0.0;
      EXPECT_EQ(LastMessage(), FormatText("This selection will last for %.2lf seconds", seconds));
    }

    for (const std::uint32_t overlap : {0u, 2u}) {
      const auto pieces = Split(f, 3, overlap);
      for (std::uint64_t i = 1; i <= 3; ++i) {
        const std::uint64_t start = (i - 1) * n / 3, end = i * n / 3;
        const std::uint64_t back = std::uint64_t{overlap} * rate;
        const std::uint64_t from =
            i > 1 && start * samplesPerFrame > back ? (start * samplesPerFrame - back) / samplesPerFrame : 0;
        EXPECT_EQ(pieces[i - 1], Slice(s.bytes, s.At(i > 1 && overlap ? from : start), s.At(end)))
            << "piece " << i << " overlap " << overlap;
      }
    }
    const SplitEstimate estimate = EstimateMp3Split(f.GetSplitFacts(), 3);
    EXPECT_EQ(estimate.error, 0u);
    EXPECT_DOUBLE_EQ(estimate.playtime, duration / 3);
    EXPECT_EQ(estimate.size, (s.end - s.At(0)) / 3);
    EXPECT_EQ(EstimateMp3Split(f.GetSplitFacts(), static_cast<std::uint32_t>(duration) + 1).error,
              err::kTooManySplits);
  }
};

TEST_F(Mp3TimingTest, VariableBitrateCutsFallOnTheFrameHoldingTheSecond) {
  const struct {
    const char* what;
    const char* options;
    bool headerFrame;
    std::uint32_t samplesPerFrame, rate;
  } sources[] = {
      {"lame -V2 (Xing frame)", "-V2", true, 1152, 44100},
      {"lame -V2 -t (no Xing frame)", "-V2 -t", false, 1152, 44100},
      {"lame --abr 160", "--abr 160", true, 1152, 44100},
      {"lame -V5 -t, MPEG-2 mono 22.05 kHz", "-V5 -t -m m --resample 22.05", false, 576, 22050},
  };
  for (const auto& source : sources) {
    const Stream s = Frames(Lame(dir, source.options), source.headerFrame);
    ASSERT_GT(s.frames.size(), 100u) << source.what;
    ExpectTimeExactCuts(s, source.samplesPerFrame, source.rate, source.what);
    EXPECT_EQ(FfprobeFrames(dir.File("src.mp3")), s.frames.size()) << source.what;
  }
}

TEST_F(Mp3TimingTest, HandBuiltMixOfBitratesIsIndexed) {
  // 400 frames cycling through 32, 128, 320 and 64 kbit/s, some padded.
  Bytes bytes;
  const unsigned indices[] = {1, 9, 14, 5};
  for (std::uint32_t k = 0; k < 400; ++k) {
    kt::FrameSpec frame;
    frame.bitrateIndex = indices[k % 4];
    frame.padding = k % 3 == 0;
    const Bytes one = kt::SyntheticFrames(frame, 1, k + 1);
    bytes.insert(bytes.end(), one.begin(), one.end());
  }
  ExpectTimeExactCuts(Frames(bytes, false), 1152, 44100, "hand-built mix");
}

// Constant-bitrate streams keep the byte arithmetic: the first frame at or
// after byte rate × seconds, with no pass over the file.
TEST_F(Mp3TimingTest, ConstantBitrateCutsKeepTheByteArithmetic) {
  const struct {
    const char* what;
    const char* options;
    bool headerFrame;
    std::uint64_t byteRate;
  } sources[] = {
      {"lame -b 128 (Info frame)", "-b 128", true, 16000},
      {"lame -b 128 -t", "-b 128 -t", false, 16000},
      {"lame -b 64 -t, MPEG-2 mono 22.05 kHz", "-b 64 -t -m m --resample 22.05", false, 8000},
  };
  kt::Id3v1Spec spec;
  spec.title = "Constant";
  const Bytes tag = kt::Id3v1Tag(spec);
  for (const auto& source : sources) {
    SCOPED_TRACE(source.what);
    const Stream s = Frames(Concat({Lame(dir, source.options), tag}), source.headerFrame, tag.size());
    CMp3File f(Write(s.bytes), &owner);
    ASSERT_EQ(f.GetError(), 0u);
    EXPECT_FALSE(f.HasFrameIndex());
    const std::uint64_t start = s.At(0), rate = source.byteRate;
    auto boundary = [&s](std::uint64_t at) {
      const auto k = std::lower_bound(s.frames.begin(), s.frames.end(), at);
      return k == s.frames.end() ? s.end : *k;
    };

    const std::uint64_t startByte = std::min<std::uint64_t>(s.end, start + rate * 3);
    const std::uint64_t begin = boundary(startByte);
    const std::uint64_t end = std::max(begin, boundary(std::min<std::uint64_t>(s.end, startByte + rate * 7)));
    EXPECT_EQ(Select(f, 3, 10), Concat({Slice(s.bytes, begin, end), tag}));
    EXPECT_EQ(LastMessage(), "This selection will last for 7.00 seconds");

    const auto pieces = Split(f, 3, 2);
    const std::uint64_t pieceSize = (s.end - start) / 3;
    std::uint64_t pieceStart = start;
    for (std::uint64_t i = 1; i <= 3; ++i) {
      const std::uint64_t pieceEnd = i == 3 ? s.end : boundary(std::max(pieceStart, start + pieceSize * i));
      const std::uint64_t from = i == 1 ? pieceStart
                                 : pieceStart > start + rate * 2
                                     ? std::min(boundary(pieceStart - rate * 2), pieceStart)
                                     : start;
      EXPECT_EQ(pieces[i - 1], Concat({Slice(s.bytes, from, pieceEnd), tag})) << "piece " << i;
      pieceStart = pieceEnd;
    }
  }
}

// An APEv2 tag (here with a copy of the first ten audio frames among its items,
// as a cover picture may hold frame syncs) that ends the file or stands
// before the ID3v1 tag.
Bytes ApeTag(const Bytes& item, std::uint32_t version, bool header, std::int64_t sizeChange = 0) {
  Bytes items;
  kt::PutLe32(items, static_cast<std::uint32_t>(item.size()));
  kt::PutLe32(items, 0);
  items.insert(items.end(), {'C', 'o', 'v', 'e', 'r', 0});
  items.insert(items.end(), item.begin(), item.end());
  const auto size = static_cast<std::uint32_t>(static_cast<std::int64_t>(items.size()) + 32 + sizeChange);
  auto block = [&](bool isHeader) {
    Bytes b = {'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X'};
    kt::PutLe32(b, version);
    kt::PutLe32(b, size);
    kt::PutLe32(b, 1);
    kt::PutLe32(b, (header ? 1u << 31 : 0u) | (isHeader ? 1u << 29 : 0u));
    b.resize(32, 0);
    return b;
  };
  return Concat({header ? block(true) : Bytes{}, items, block(false)});
}

TEST_F(Mp3TimingTest, ApeTagAtTheEndIsNotAudio) {
  const Bytes audio = kt::EncodedSine(3.0, kt::LameSpec{});
  const auto frames = kt::WalkFrames(audio, 0, audio.size());
  ASSERT_EQ(kt::WalkEnd(audio, 0, audio.size()), audio.size());
  const Bytes leadingFrames = Slice(audio, frames[0], frames[10]);
  const Bytes id3v1 = kt::Id3v1Tag({});

  // The reference: the same audio and ID3v1 tag without the APE tag.
  CMp3File plain(Write(Concat({audio, id3v1})), &owner);
  ASSERT_EQ(plain.ConvertToWav(dir.File("plain.wav"), &progress), 0);
  const auto plainWav = kt::ReadDecodedWav(kt::ReadAll(dir.File("plain.wav")));

  const Bytes v2 = ApeTag(leadingFrames, 2000, true);
  const struct {
    const char* what;
    Bytes tail;
    bool id3v1;
    bool recognised;
  } cases[] = {
      {"APEv2 with header before ID3v1", v2, true, true},
      {"APEv2 without header, last", ApeTag(leadingFrames, 2000, false), false, true},
      {"APEv1 last", ApeTag(leadingFrames, 1000, false), false, true},
      {"size beyond the file", ApeTag(leadingFrames, 2000, true, 0x7FFFFFFF), true, false},
      {"size below a footer", ApeTag(leadingFrames, 2000, false, -static_cast<std::int64_t>(v2.size())),
       false, false},
      {"claims the whole file", ApeTag(leadingFrames, 2000, false, static_cast<std::int64_t>(audio.size())),
       false, false},
      {"footer cut short", Slice(v2, 0, v2.size() - 10), false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Bytes bytes = Concat({audio, c.tail, c.id3v1 ? id3v1 : Bytes{}});
    CMp3File f(Write(bytes), &owner);
    ASSERT_EQ(f.GetError(), 0u);
    EXPECT_EQ(f.HasTag(), c.id3v1);
    if (!c.recognised) {
      // A damaged tag is taken as the audio it would be without the check.
      EXPECT_EQ(f.GetAudioEnd(), bytes.size() - (c.id3v1 ? id3v1.size() : 0));
      EXPECT_EQ(Split(f, 2, 0).size(), 2u);
      continue;
    }
    EXPECT_EQ(f.GetAudioEnd(), audio.size());
    EXPECT_DOUBLE_EQ(f.GetDuration(), plain.GetDuration());
    const auto pieces = Split(f, 2, 0);
    const std::size_t tagBytes = c.id3v1 ? id3v1.size() : 0;
    const Bytes last = Slice(pieces[1], 0, pieces[1].size() - tagBytes);
    EXPECT_EQ(Slice(pieces[1], last.size(), pieces[1].size()), c.id3v1 ? id3v1 : Bytes{});
    EXPECT_EQ(last, Slice(audio, audio.size() - last.size(), audio.size()))
        << "the last piece ends with the last frame";
    ASSERT_EQ(f.ConvertToWav(dir.File("o.wav"), &progress), 0);
    EXPECT_EQ(kt::ReadDecodedWav(kt::ReadAll(dir.File("o.wav"))).samples, plainWav.samples)
        << "the frame inside the tag is not decoded";
  }
}

}  // namespace
