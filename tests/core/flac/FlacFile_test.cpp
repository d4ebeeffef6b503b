// FLAC pieces against independent decoders: sources of several shapes made
// by sox and the flac tool, cut at the places a lossless cut can go wrong
// (inside the first frame, on frame edges, inside one frame, the last
// frame), each piece tested by `flac -t` and decoded by `flac -d` and ffmpeg
// to exactly its span of the whole source's decode. Then damaged and lying
// files: a damaged frame is named and leaves no output.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/AudioFailure.h"
#include "core/AudioFile.h"
#include "core/open/Formats.h"
#include "support/CliRunner.h"
#include "support/GaplessCheck.h"
#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

struct Shape {
  const char* name;
  unsigned rate, channels, bits;
  std::vector<std::string> flacOptions;
};

// A source of the shape: three seconds of tones and noise.
std::string MakeSource(const kt::TempDir& dir, const Shape& shape) {
  const std::string wav = dir.File(std::string(shape.name) + ".wav");
  const kt::CliResult made = kt::RunProgram(
      dir.Path().string(), "sox",
      {"-n", "-r", std::to_string(shape.rate), "-c", std::to_string(shape.channels), "-b",
       std::to_string(shape.bits), wav, "synth", "3", "sine", "300-900", "pinknoise", "vol", "0.4"});
  if (made.exitCode != 0) return "";
  return kt::FlacEncode(dir, std::string(shape.name) + ".flac", wav, shape.flacOptions);
}

// A decoder's output of a whole file as bytes: `flac -d` raw (signed, little
// endian, the stream's own bytes) or ffmpeg's 32-bit samples.
std::vector<std::uint8_t> FlacTool(const kt::TempDir& dir, const std::string& path) {
  const std::string raw = dir.File("flac.raw");
  fs::remove(raw);
  kt::RunProgram(
      dir.Path().string(), "flac",
      {"--silent", "-d", "-f", "--force-raw-format", "--endian=little", "--sign=signed", "-o", raw, path});
  return fs::exists(raw) ? kt::ReadAll(raw) : std::vector<std::uint8_t>{};
}
std::vector<std::uint8_t> Ffmpeg(const kt::TempDir& dir, const std::string& path) {
  const std::string raw = dir.File("ffmpeg.raw");
  fs::remove(raw);
  kt::RunProgram(dir.Path().string(), "ffmpeg", {"-v", "error", "-y", "-i", path, "-f", "s32le", raw});
  return fs::exists(raw) ? kt::ReadAll(raw) : std::vector<std::uint8_t>{};
}
std::vector<std::uint8_t> Slice(const std::vector<std::uint8_t>& whole, std::uint64_t first,
                                std::uint64_t end, std::size_t frameBytes) {
  const std::uint64_t from = std::min<std::uint64_t>(first * frameBytes, whole.size());
  const std::uint64_t to = std::clamp<std::uint64_t>(end * frameBytes, from, whole.size());
  return {whole.begin() + static_cast<std::ptrdiff_t>(from), whole.begin() + static_cast<std::ptrdiff_t>(to)};
}

TEST(FlacCut, EveryPieceIsItsSpanOfTheWholeInTwoIndependentDecoders) {
  const Shape shapes[] = {
      {"cd", 44100, 2, 16, {}},
      {"hires6", 96000, 6, 24, {"-8"}},
      {"mono8", 8000, 1, 8, {"--blocksize=1152"}},
      {"deep32", 48000, 2, 32, {"-0", "--blocksize=576"}},
  };
  for (const Shape& shape : shapes) {
    SCOPED_TRACE(shape.name);
    kt::TempDir dir;
    std::string source = MakeSource(dir, shape);
    ASSERT_FALSE(source.empty());
    std::unique_ptr<CAudioFile> file = OpenAudioFile(source);
    ASSERT_EQ(file->GetError(), 0u);
    const std::uint64_t total = file->CountDecodedSamples();
    ASSERT_EQ(total, 3u * shape.rate);
    const std::uint64_t block = shape.name == std::string("mono8")    ? 1152
                                : shape.name == std::string("deep32") ? 576
                                                                      : 4096;
    const std::vector<std::uint8_t> wholeFlac = FlacTool(dir, source), wholeFfmpeg = Ffmpeg(dir, source);
    // ffmpeg 5.1 decodes no 32-bit FLAC at all: that row is flac's alone.
    const bool ffmpegReads = shape.bits < 32;
    ASSERT_EQ(wholeFlac.size(), total * shape.channels * ((shape.bits + 7) / 8));
    ASSERT_EQ(wholeFfmpeg.size(), ffmpegReads ? total * shape.channels * 4 : 0);
    const std::size_t flacFrame = shape.channels * ((shape.bits + 7) / 8), ffmpegFrame = shape.channels * 4u;
    const struct {
      const char* what;
      std::uint64_t first, end;
    } cuts[] = {
        {"inside the first frame", 0, 100},
        {"one sample", 777, 778},
        {"inside one frame", block + 5, block + 50},
        {"frame edges", block, 3 * block},
        {"across many frames", block / 2 + 3, total - block - 7},
        {"the last frame", total - 10, total},
        {"all", 0, total},
    };
    for (const auto& cut : cuts) {
      SCOPED_TRACE(cut.what);
      const std::string piece = dir.File("piece.flac");
      // A file opened afresh finds the span by halving the file on frame
      // numbers; the one scanned whole finds it in its index: both alike.
      ASSERT_EQ(OpenAudioFile(source)->SaveSelectionSamples(piece, cut.first, cut.end, nullptr).error, 0u);
      const std::vector<std::uint8_t> fromSpan = kt::ReadAll(piece);
      ASSERT_EQ(file->SaveSelectionSamples(piece, cut.first, cut.end, nullptr).error, 0u);
      EXPECT_EQ(kt::ReadAll(piece), fromSpan);
      EXPECT_EQ(kt::RunProgram(dir.Path().string(), "flac", {"--silent", "-t", piece}).exitCode, 0);
      EXPECT_EQ(FlacTool(dir, piece), Slice(wholeFlac, cut.first, cut.end, flacFrame));
      EXPECT_EQ(Ffmpeg(dir, piece), Slice(wholeFfmpeg, cut.first, cut.end, ffmpegFrame));
      // A piece is a source again: a cut of a piece starting inside a frame
      // counts samples, not frames (variable block size).
      if (cut.end - cut.first > 3 * block) {
        std::unique_ptr<CAudioFile> again = OpenAudioFile(piece);
        const std::string inner = dir.File("inner.flac");
        ASSERT_EQ(again->SaveSelectionSamples(inner, block + 1, 2 * block + 9, nullptr).error, 0u);
        EXPECT_EQ(Ffmpeg(dir, inner),
                  Slice(wholeFfmpeg, cut.first + block + 1, cut.first + 2 * block + 9, ffmpegFrame));
      }
    }
    // The WAV conversion keeps the depth: its samples are flac -d's bytes.
    const std::string wav = dir.File("out.wav");
    ASSERT_EQ(file->ConvertToWav(wav, nullptr), 0u);
    if (shape.bits % 8 == 0 && shape.bits > 8) {
      const std::vector<std::uint8_t> bytes = kt::ReadAll(wav);
      ASSERT_GE(bytes.size(), wholeFlac.size());
      EXPECT_TRUE(std::equal(wholeFlac.begin(), wholeFlac.end(),
                             bytes.end() - static_cast<std::ptrdiff_t>(wholeFlac.size())));
    }
  }
}

TEST(FlacCut, EqualPiecesJoinToTheWholeAndCarryTheTags) {
  kt::TempDir dir;
  const std::string source =
      MakeSource(dir, {"tagged", 44100, 2, 16, {"-T", "ARTIST=Åsa Ærø", "-T", "ALBUM=Live"}});
  std::unique_ptr<CAudioFile> file = OpenAudioFile(source);
  file->SetOverlapMicros(0);
  ASSERT_EQ(file->SplitEqually({3, ""}, nullptr).error, 0u);
  std::vector<std::uint8_t> joined;
  for (int i = 1; i <= 3; ++i) {
    const std::string piece = dir.File("tagged-" + std::to_string(i) + ".flac");
    const std::vector<std::uint8_t> part = Ffmpeg(dir, piece);
    joined.insert(joined.end(), part.begin(), part.end());
    file->TagPiece(piece, {"Part " + std::to_string(i), "", "", static_cast<unsigned>(i), 3, "", ""});
    const kt::CliResult tags = kt::RunProgram(dir.Path().string(), "metaflac", {"--export-tags-to=-", piece});
    EXPECT_NE(tags.out.find("ARTIST=Åsa Ærø"), std::string::npos) << tags.out;
    EXPECT_NE(tags.out.find("TITLE=Part " + std::to_string(i)), std::string::npos);
    EXPECT_NE(tags.out.find("TRACKNUMBER=" + std::to_string(i)), std::string::npos);
    EXPECT_NE(tags.out.find("TRACKTOTAL=3"), std::string::npos);
  }
  EXPECT_EQ(joined, Ffmpeg(dir, source));
}

TEST(FlacDamage, DamagedAndLyingFilesAreNamedAndLeaveNoOutput) {
  kt::TempDir dir;
  const std::string good = MakeSource(dir, {"good", 44100, 2, 16, {}});
  const std::vector<std::uint8_t> bytes = kt::ReadAll(good);
  std::unique_ptr<CAudioFile> clean = OpenAudioFile(good);
  const std::uint64_t total = clean->CountDecodedSamples();
  struct Case {
    const char* what;
    std::function<void(std::vector<std::uint8_t>&)> damage;
    AudioError openError;  // the code the open gives
    bool middleCutFails;   // a cut over the middle fails with a named frame
  };
  const Case cases[] = {
      {"a flipped byte mid-stream", [](auto& b) { b[b.size() / 2] ^= 0x5A; }, 0, true},
      {"truncated", [](auto& b) { b.resize(b.size() * 2 / 3); }, 0, true},
      {"STREAMINFO claims twice the samples",
       [](auto& b) { b[8 + 4 + 17] = static_cast<std::uint8_t>(b[8 + 4 + 17] + 1); }, 0, false},
      {"a block longer than the file", [](auto& b) { b[5] = 0x7F; }, err::kInvalidFlac, false},
      {"Ogg", [](auto& b) { std::copy_n("OggS", 4, b.begin()); }, err::kOggFlac, false},
      {"no stream at all", [](auto& b) { b.assign(100, 0); }, err::kInvalidFlac, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::uint8_t> damaged = bytes;
    c.damage(damaged);
    const std::string path = dir.File("damaged.flac");
    kt::WriteAll(path, damaged);
    std::unique_ptr<CAudioFile> file = OpenAudioFile(path);
    ASSERT_EQ(file->GetError(), c.openError);
    if (c.openError != 0) continue;
    EXPECT_LE(file->CountDecodedSamples(), total);
    const std::string out = dir.File("out.flac");
    try {
      file->SaveSelectionSamples(out, total / 4, total * 3 / 4, nullptr);
      EXPECT_FALSE(c.middleCutFails);
      EXPECT_EQ(kt::RunProgram(dir.Path().string(), "flac", {"--silent", "-t", out}).exitCode, 0);
    } catch (const CAudioFailure& failure) {
      EXPECT_TRUE(c.middleCutFails) << failure.Text();
      EXPECT_EQ(failure.Code(), err::kDamagedAudio);
      EXPECT_NE(failure.Text().find("frame "), std::string::npos) << failure.Text();
      EXPECT_FALSE(fs::exists(out));
      // The stretch before the damage still cuts.
      EXPECT_EQ(file->SaveSelectionSamples(out, 0, total / 10, nullptr).error, 0u);
    }
    fs::remove(out);
  }
}

}  // namespace
