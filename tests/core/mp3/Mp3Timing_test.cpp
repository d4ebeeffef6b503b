// Where MP3 cuts fall in time: variable-bitrate streams cut at the frame
// that holds the second asked for, constant-bitrate streams exactly as
// bitrate arithmetic puts them, and APE tags at the end left out of the audio.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "core/SplitEstimate.h"
#include "core/StringTable.h"
#include "core/mp3/ApeTag.h"
#include "core/mp3/Mp3File.h"
#include "support/GaplessCheck.h"
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

// 12 s of the shared music signal, whose beat makes loud and quiet frames
// so a VBR encoder varies its bitrate; encoded by the `lame` command, a
// reference independent of the engine.
Bytes Lame(const kt::TempDir& dir, const std::vector<std::string>& options) {
  kt::WriteAll(dir.File("music.wav"), kt::MusicWav(12.0, 2, 44100));
  return kt::ReadAll(kt::LameEncode(dir, "lame.mp3", dir.File("music.wav"), options));
}

// A source's audio frames and where its audio ends.
struct Stream {
  Bytes bytes;
  std::vector<std::size_t> frames;
  std::size_t end = 0;
  std::size_t At(std::uint64_t k) const { return k < frames.size() ? frames[k] : end; }
};

Stream Frames(const Bytes& bytes, bool headerFrame) {
  Stream s{bytes, kt::WalkFrames(bytes, 0, bytes.size()), bytes.size()};
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
  // Plain frame copies show where the cuts fall; a selection of no frame
  // fails with 108 and writes nothing.
  Bytes Select(kt::Owned<CMp3File>& f, std::uint32_t from, std::uint32_t to) {
    f.SetGaplessPieces(false);
    std::filesystem::remove(dir.File("sel.mp3"));
    owner.messages.clear();
    const AudioError result = f.SaveSelection(dir.File("sel.mp3"), from, to, &progress);
    if (result == err::kZeroLength && !std::filesystem::exists(dir.File("sel.mp3"))) return {};
    EXPECT_EQ(result, 0u);
    return kt::ReadAll(dir.File("sel.mp3"));
  }
  std::vector<Bytes> Split(kt::Owned<CMp3File>& f, std::uint32_t pieces, std::uint32_t overlap) {
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
  void ExpectTimeExactCuts(const Stream& s, std::uint64_t samplesPerFrame, std::uint64_t rate) {
    kt::Owned<CMp3File> f(Write(s.bytes), &owner);
    ASSERT_EQ(f.GetError(), 0u);
    ASSERT_TRUE(f.HasFrameIndex()) << "the bitrate varies, so the frames are indexed";
    const std::uint64_t n = s.frames.size();
    // A LAME header frame whose count matches tells the length: its delay
    // and padding are not music.
    const std::optional<mp3::LameTag>& tag = f.GetTrustedLameTag();
    const std::uint64_t dropped = tag ? tag->delay + tag->padding : 0;
    const double duration = static_cast<double>(n * samplesPerFrame - dropped) / rate;
    EXPECT_DOUBLE_EQ(f.GetDuration(), duration);
    EXPECT_EQ(f.GetInformationLines()[8], FormatText("Play Duration - %.2lf Sec(s)", duration));
    for (const auto& [from, to] : std::vector<std::pair<std::uint64_t, std::uint64_t>>{
             {3, 10}, {0, 1}, {1, 2}, {3, 9999}, {5, 5}, {9999, 10000}}) {
      const std::uint64_t first = std::min(n, from * rate / samplesPerFrame);
      const std::uint64_t last =
          to > from ? std::min(n, (to * rate + samplesPerFrame - 1) / samplesPerFrame) : first;
      EXPECT_EQ(Select(f, from, to), Slice(s.bytes, s.At(first), s.At(last))) << from << "-" << to;
      // The message tells what the whole frames play; no frame, no message (108).
      const double seconds = static_cast<double>((last - first) * samplesPerFrame) / rate;
      EXPECT_EQ(LastMessage(),
                first == last ? "" : FormatText("This selection will last for %.2lf seconds", seconds));
    }
    for (const std::uint64_t overlap : {0u, 2u}) {
      const auto pieces = Split(f, 3, overlap);
      for (std::uint64_t i = 1; i <= 3; ++i) {
        const std::uint64_t start = (i - 1) * n / 3 * samplesPerFrame, back = overlap * rate;
        const std::uint64_t from =
            overlap && start > back ? (start - back) / samplesPerFrame : start / samplesPerFrame;
        EXPECT_EQ(pieces[i - 1], Slice(s.bytes, s.At(overlap && start <= back ? 0 : from), s.At(i * n / 3)))
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

// Variable-bitrate streams are cut at the frame holding the second asked
// for; constant-bitrate ones keep the byte arithmetic (the first frame at or
// after byte rate × seconds, counted after the Info frame, no pass over the
// file; Mp3Split checks their pieces). A hand-built mix of bitrates without
// a header frame is cut through the command line in CliMp3Time.
TEST_F(Mp3TimingTest, CutsFallOnTheFrameHoldingTheSecondOrByByteArithmetic) {
  const struct {
    const char* what;
    std::vector<std::string> options;
    bool headerFrame;
    std::uint32_t samplesPerFrame, rate, byteRate;  // byteRate 0: variable
  } sources[] = {
      {"lame -V2 (Xing frame)", {"-V2"}, true, 1152, 44100, 0},
      {"lame -V5 -t, MPEG-2 mono", {"-V5", "-t", "-m", "m", "--resample", "22.05"}, false, 576, 22050, 0},
      {"lame -b 128 (Info frame)", {"-b", "128"}, true, 1152, 44100, 16000},
      {"lame -b 64 -t, MPEG-2 mono",
       {"-b", "64", "-t", "-m", "m", "--resample", "22.05"},
       false,
       576,
       22050,
       8000},
  };
  for (const auto& source : sources) {
    SCOPED_TRACE(source.what);
    const Stream s = Frames(Lame(dir, source.options), source.headerFrame);
    ASSERT_GT(s.frames.size(), 100u);
    if (source.byteRate == 0) {
      ExpectTimeExactCuts(s, source.samplesPerFrame, source.rate);
      continue;
    }
    kt::Owned<CMp3File> f(Write(s.bytes), &owner);
    EXPECT_FALSE(f.HasFrameIndex());
    auto boundary = [&s](std::uint64_t at) {
      return *std::lower_bound(s.frames.begin(), s.frames.end(), at);
    };
    const std::uint64_t from = s.At(0) + source.byteRate * 3;
    EXPECT_EQ(Select(f, 3, 10), Slice(s.bytes, boundary(from), boundary(from + source.byteRate * 7)));
    const auto frameAt = [&s, &boundary](std::uint64_t at) {
      return std::lower_bound(s.frames.begin(), s.frames.end(), boundary(at)) - s.frames.begin();
    };
    const auto frames = static_cast<std::uint64_t>(frameAt(from + source.byteRate * 7) - frameAt(from));
    EXPECT_EQ(LastMessage(), FormatText("This selection will last for %.2lf seconds",
                                        static_cast<double>(frames * source.samplesPerFrame) / source.rate));
  }
}

constexpr std::uint32_t kHasHeader = 1u << 31, kIsHeader = 1u << 29;

// A 32-byte APE tag header or footer.
Bytes ApeBlock(std::uint32_t version, std::uint32_t size, std::uint32_t flags,
               const char* preamble = "APETAGEX") {
  Bytes b(preamble, preamble + 8);
  for (const std::uint32_t v : {version, size, 1u, flags}) kt::PutLe32(b, v);
  b.resize(32, 0);
  return b;
}

TEST(ApeTag, OnlyAWellFormedFooterWhoseTagFitsIsATag) {
  const struct {
    const char* what;
    Bytes footer;
    std::uint64_t before, length;
  } cases[] = {
      {"v2 with header", ApeBlock(2000, 100, kHasHeader), 1000, 132},
      {"v2 without header", ApeBlock(2000, 100, 0), 1000, 100},
      {"v1 never has a header", ApeBlock(1000, 100, kHasHeader), 1000, 100},
      {"footer only", ApeBlock(2000, 32, 0), 0, 32},
      {"fits exactly", ApeBlock(2000, 100, kHasHeader), 100, 132},
      {"one byte too long", ApeBlock(2000, 100, kHasHeader), 99, 0},
      {"size beyond the file", ApeBlock(2000, 0xFFFFFFFFu, 0), 1000, 0},
      {"size below a footer", ApeBlock(2000, 31, 0), 1000, 0},
      {"unknown version", ApeBlock(3000, 100, 0), 1000, 0},
      {"a header, not a footer", ApeBlock(2000, 100, kHasHeader | kIsHeader), 1000, 0},
      {"other preamble", ApeBlock(2000, 100, 0, "APETAGEY"), 1000, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(ape::TagLength(c.footer.data(), 32, c.before), c.length) << c.what;
  EXPECT_EQ(ape::TagLength(cases[1].footer.data(), 31, 1000), 0u) << "truncated";
}

// An APE tag (with a copy of the first ten audio frames among its items, as
// a cover picture may hold frame syncs) that ends the file or stands before
// the ID3v1 tag; sizeChange damages its size field.
Bytes ApeTag(const Bytes& item, std::uint32_t version, bool header, std::int64_t sizeChange = 0) {
  Bytes items;
  kt::PutLe32(items, static_cast<std::uint32_t>(item.size()));
  kt::PutLe32(items, 0);
  items.insert(items.end(), {'C', 'o', 'v', 'e', 'r', 0});
  items.insert(items.end(), item.begin(), item.end());
  const auto size = static_cast<std::uint32_t>(static_cast<std::int64_t>(items.size()) + 32 + sizeChange);
  const std::uint32_t flags = header ? kHasHeader : 0;
  return Concat(
      {header ? ApeBlock(version, size, flags | kIsHeader) : Bytes{}, items, ApeBlock(version, size, flags)});
}

TEST_F(Mp3TimingTest, ApeTagAtTheEndIsNotAudio) {
  const Bytes audio = kt::EncodedSine(3.0, kt::LameSpec{});
  const auto frames = kt::WalkFrames(audio, 0, audio.size());
  ASSERT_EQ(kt::WalkEnd(audio, 0, audio.size()), audio.size());
  const Bytes leading = Slice(audio, frames[0], frames[10]), id3v1 = kt::Id3v1Tag({});
  // The reference: the same audio and ID3v1 tag without the APE tag.
  kt::Owned<CMp3File> plain(Write(Concat({audio, id3v1})), &owner);
  ASSERT_EQ(plain.ConvertToWav(dir.File("plain.wav"), &progress), 0);
  const auto plainWav = kt::ReadDecodedWav(kt::ReadAll(dir.File("plain.wav")));
  const struct {
    const char* what;
    Bytes tail;
    bool id3v1, recognised;
  } cases[] = {
      {"APEv2 with header before ID3v1", ApeTag(leading, 2000, true), true, true},
      {"APEv1 last", ApeTag(leading, 1000, false), false, true},
      {"size beyond the file", ApeTag(leading, 2000, true, 0x7FFFFFFF), true, false},
      {"claims the whole file", ApeTag(leading, 2000, false, static_cast<std::int64_t>(audio.size())), false,
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Bytes bytes = Concat({audio, c.tail, c.id3v1 ? id3v1 : Bytes{}});
    const std::size_t tagBytes = c.id3v1 ? id3v1.size() : 0;
    kt::Owned<CMp3File> f(Write(bytes), &owner);
    ASSERT_EQ(f.GetError(), 0u);
    EXPECT_EQ(f.HasTag(), c.id3v1);
    // A damaged tag is taken as the audio it would be without the check.
    EXPECT_EQ(f.GetAudioEnd(), c.recognised ? audio.size() : bytes.size() - tagBytes);
    const auto pieces = Split(f, 2, 0);
    if (!c.recognised) continue;
    EXPECT_DOUBLE_EQ(f.GetDuration(), plain.GetDuration());
    EXPECT_EQ(Slice(pieces[1], pieces[1].size() - tagBytes, pieces[1].size()), c.id3v1 ? id3v1 : Bytes{});
    const Bytes last = Slice(pieces[1], 0, pieces[1].size() - tagBytes);
    EXPECT_EQ(last, Slice(audio, audio.size() - last.size(), audio.size()))
        << "the last piece ends with the last frame";
    ASSERT_EQ(f.ConvertToWav(dir.File("o.wav"), &progress), 0);
    EXPECT_EQ(kt::ReadDecodedWav(kt::ReadAll(dir.File("o.wav"))).samples, plainWav.samples)
        << "the frame inside the tag is not decoded";
  }
}

}  // namespace
