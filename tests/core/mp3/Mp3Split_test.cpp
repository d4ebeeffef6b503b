#include <gtest/gtest.h>

#include <filesystem>

#include "core/mp3/Mp3File.h"
#include "support/Mp3Builder.h"
#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes Slice(const Bytes& b, std::size_t from, std::size_t to) {
  return Bytes(b.begin() + static_cast<long>(from), b.begin() + static_cast<long>(to));
}

// A piece without its appended tag, checked to be whole frames only.
Bytes FramesOf(const Bytes& piece, const Bytes& tag) {
  EXPECT_GE(piece.size(), tag.size());
  const Bytes body = Slice(piece, 0, piece.size() - tag.size());
  EXPECT_EQ(Slice(piece, body.size(), piece.size()), tag) << "the source's tag closes every piece";
  // Walking the frames from the first byte ends exactly at the piece's end:
  // it starts on a frame and holds no truncated frame.
  EXPECT_EQ(kt::WalkEnd(body, 0, body.size()), body.size()) << "piece of " << body.size() << " bytes";
  return body;
}

struct Source {
  Bytes leading;  // ID3v2 tag (and the VBR header frame, for VBR)
  Bytes audio;
  Bytes tag;
  Bytes All() const { return Concat({leading, audio, tag}); }
};

Source CbrSource(double seconds, bool tagged) {
  kt::LameSpec layout;
  Source s;
  s.leading = kt::Id3v2Tag(4000);
  s.audio = kt::EncodedSine(seconds, layout);
  if (tagged) {
    kt::Id3v1Spec tag;
    tag.title = "Piece";
    s.tag = kt::Id3v1Tag(tag);
  }
  return s;
}

class Mp3SplitTest : public ::testing::Test {
 protected:
  kt::TempDir dir;
  kt::ScriptedOwner owner;
  kt::RecordingProgress progress;

  std::string Write(const std::string& name, const Source& s) {
    kt::WriteAll(dir.File(name), s.All());
    return dir.File(name);
  }
  Bytes Piece(const std::string& base, unsigned i) {
    return kt::ReadAll(base + "-" + std::to_string(i) + ".mp3");
  }
};

TEST_F(Mp3SplitTest, PiecesAreWholeFramesAndConcatenateToTheSourceAudio) {
  const Source s = CbrSource(6.0, true);
  for (std::uint32_t n : {2u, 3u, 5u}) {
    kt::Owned<CMp3File> f(Write("song.mp3", s), &owner);
    f.SetGaplessPieces(false);
    ASSERT_EQ(f.GetError(), 0u);
    owner.shred.numberOfSplits = n;
    owner.shred.baseFilename = dir.File("out" + std::to_string(n));
    EXPECT_EQ(f.SplitEqually(&progress), 0u);
    Bytes joined;
    for (unsigned i = 1; i <= n; ++i) {
      const Bytes body = FramesOf(Piece(dir.File("OUT" + std::to_string(n)), i), s.tag);
      // Each piece ends at the first boundary at or after its share.
      if (i < n) {
        EXPECT_GE(joined.size() + body.size(), s.audio.size() / n * i);
        EXPECT_LT(joined.size() + body.size(), s.audio.size() / n * i + 420);
      }
      joined.insert(joined.end(), body.begin(), body.end());
    }
    EXPECT_EQ(joined, s.audio) << n << " pieces";
    EXPECT_FALSE(fs::exists(dir.File("OUT" + std::to_string(n) + "-" + std::to_string(n + 1) + ".mp3")));
  }
  EXPECT_EQ(progress.State().overall.position, 5u);
}

TEST_F(Mp3SplitTest, VbrPiecesNeverCarryTheHeaderFrame) {
  kt::LameSpec layout;
  layout.vbr = true;
  layout.headerFrame = true;
  const Bytes mp3 = kt::EncodedSine(6.0, layout);
  const auto frames = kt::WalkFrames(mp3, 0, mp3.size());
  Source s;
  s.leading = Slice(mp3, 0, frames[1]);
  s.audio = Slice(mp3, frames[1], mp3.size());
  kt::Owned<CMp3File> f(Write("vbr.mp3", s), &owner);
  f.SetGaplessPieces(false);
  ASSERT_EQ(f.GetError(), 0u);
  owner.shred.numberOfSplits = 4;
  owner.shred.baseFilename = dir.File("v");
  EXPECT_EQ(f.SplitEqually(&progress), 0u);
  Bytes joined;
  for (unsigned i = 1; i <= 4; ++i) {
    const Bytes body = FramesOf(Piece(dir.File("V"), i), {});
    const std::string text(body.begin(), body.end());
    EXPECT_EQ(text.find("Xing"), std::string::npos);
    EXPECT_EQ(text.find("Info"), std::string::npos);
    joined.insert(joined.end(), body.begin(), body.end());
  }
  EXPECT_EQ(joined, s.audio);
}

TEST_F(Mp3SplitTest, EveryPieceOpensAndDecodesOnItsOwn) {
  const Source s = CbrSource(6.0, true);
  kt::Owned<CMp3File> f(Write("own.mp3", s), &owner);
  f.SetGaplessPieces(false);
  owner.shred.numberOfSplits = 3;
  owner.shred.baseFilename = dir.File("own");
  ASSERT_EQ(f.SplitEqually(&progress), 0u);
  for (unsigned i = 1; i <= 3; ++i) {
    const std::string path = dir.File("OWN-" + std::to_string(i) + ".mp3");
    const Bytes body = FramesOf(kt::ReadAll(path), s.tag);
    CMp3File piece(path);
    ASSERT_EQ(piece.GetError(), 0u) << i;
    EXPECT_TRUE(piece.HasTag());
    EXPECT_DOUBLE_EQ(piece.GetDuration(), body.size() / 16000.0);
    kt::RecordingProgress decoding;
    EXPECT_EQ(piece.ConvertToWav(dir.File("own.wav"), &decoding), 0) << i;
    const auto wav = kt::ReadDecodedWav(kt::ReadAll(dir.File("own.wav")));
    // A piece starting mid-stream may lose its first frames to the bit
    // reservoir (at most 511 bytes back: two 417-byte frames), never more.
    const std::size_t frames = kt::WalkFrames(body, 0, body.size()).size();
    EXPECT_GE(wav.samples.size(), (frames - 2) * 1152 * 2) << i;
    EXPECT_LE(wav.samples.size(), frames * 1152 * 2) << i;
  }
}

TEST_F(Mp3SplitTest, OverlapRepeatsWholeFramesBeforeEachLaterPiece) {
  const Source s = CbrSource(8.0, false);
  kt::Owned<CMp3File> f(Write("o.mp3", s), &owner);
  f.SetGaplessPieces(false);
  f.SetOverlapTime(2);
  owner.shred.numberOfSplits = 3;
  owner.shred.baseFilename = dir.File("o");
  ASSERT_EQ(f.SplitEqually(&progress), 0u);
  // Without overlap the same split gives the pieces' own parts.
  kt::Owned<CMp3File> g(Write("p.mp3", s), &owner);
  g.SetGaplessPieces(false);
  owner.shred.baseFilename = dir.File("p");
  ASSERT_EQ(g.SplitEqually(&progress), 0u);

  std::size_t ownStart = 0;
  for (unsigned i = 1; i <= 3; ++i) {
    const Bytes own = FramesOf(Piece(dir.File("P"), i), {});
    const Bytes piece = FramesOf(Piece(dir.File("O"), i), {});
    if (i == 1) {
      EXPECT_EQ(piece, own) << "the first piece has no overlap";
    } else {
      ASSERT_GT(piece.size(), own.size());
      const std::size_t overlap = piece.size() - own.size();
      EXPECT_GE(overlap, 32000u - 420);
      EXPECT_LE(overlap, 32000u);
      EXPECT_EQ(Slice(piece, overlap, piece.size()), own);
      EXPECT_EQ(Slice(piece, 0, overlap), Slice(s.audio, ownStart - overlap, ownStart));
    }
    ownStart += own.size();
  }
}

TEST_F(Mp3SplitTest, OverlapNeverReachesBeforeTheFirstFrame) {
  const Source s = CbrSource(3.0, true);
  kt::Owned<CMp3File> f(Write("short.mp3", s), &owner);
  f.SetGaplessPieces(false);
  f.SetOverlapTime(60);
  owner.shred.numberOfSplits = 2;
  owner.shred.baseFilename = dir.File("s");
  ASSERT_EQ(f.SplitEqually(&progress), 0u);
  const Bytes first = FramesOf(Piece(dir.File("S"), 1), s.tag);
  const Bytes second = FramesOf(Piece(dir.File("S"), 2), s.tag);
  // The second piece's overlap is all of the first piece, without the ID3v2 tag.
  EXPECT_EQ(Slice(second, 0, first.size()), first);
  EXPECT_EQ(Concat({first, Slice(second, first.size(), second.size())}), s.audio);
}

TEST_F(Mp3SplitTest, NamesUpperCaseTheFileNameOnlyAndDropMp3) {
  const Source s = CbrSource(3.0, false);
  fs::create_directory(dir.File("music.mp3.d"));
  kt::Owned<CMp3File> f(Write("music.mp3.d/Track.Mp3", s), &owner);
  f.SetGaplessPieces(false);
  f.SetSuffix("_Part");
  owner.shred.numberOfSplits = 2;
  owner.shred.baseFilename.clear();  // the source's own path
  ASSERT_EQ(f.SplitEqually(&progress), 0u);
  EXPECT_TRUE(fs::exists(dir.File("music.mp3.d/TRACK_Part-1.mp3")));
  EXPECT_TRUE(fs::exists(dir.File("music.mp3.d/TRACK_Part-2.mp3")));
  EXPECT_EQ(progress.State().action.Text(), "Shredding TRACK.MP3 to TRACK_PART-2.MP3");
  EXPECT_EQ(Mp3PieceName("/a/B", "", 65536), "/a/B-65536.mp3");
  EXPECT_EQ(Mp3PieceName("/a/B", "x", 4294967295u), "/a/Bx-4294967295.mp3");
}

TEST_F(Mp3SplitTest, CancelDuringThePieceTwoOfFiveStopsThere) {
  const Source s = CbrSource(20.0, true);  // about 320000 bytes, 64000 per piece
  kt::Owned<CMp3File> f(Write("c.mp3", s), &owner);
  f.SetGaplessPieces(false);
  owner.shred.numberOfSplits = 5;
  owner.shred.baseFilename = dir.File("c");
  progress.cancelAfterFileSteps = 9;  // six steps in piece 1, cancel inside piece 2
  EXPECT_EQ(f.SplitEqually(&progress), 0u);
  EXPECT_EQ(f.GetError(), 0u);
  const Bytes first = kt::ReadAll(dir.File("C-1.mp3"));
  const Bytes second = kt::ReadAll(dir.File("C-2.mp3"));
  EXPECT_LT(second.size(), first.size() - 10000);
  FramesOf(second, s.tag);  // cut back to its last whole frame, the tag after it
  EXPECT_FALSE(fs::exists(dir.File("C-3.mp3")));
  EXPECT_TRUE(owner.messages.empty());
}

TEST_F(Mp3SplitTest, RefusalsCreateNothing) {
  const Source s = CbrSource(3.0, false);
  // A declined request writes nothing.
  kt::Owned<CMp3File> f(Write("d.mp3", s), &owner);
  f.SetGaplessPieces(false);
  owner.acceptShred = false;
  EXPECT_EQ(f.SplitEqually(&progress), 0u);
  EXPECT_TRUE(progress.calls.empty());

  // A piece that would be the source itself: 119 before anything is written.
  owner.acceptShred = true;
  kt::Owned<CMp3File> self(Write("SELF-2.mp3", s), &owner);
  owner.shred.numberOfSplits = 2;
  owner.shred.baseFilename = dir.File("self");
  EXPECT_EQ(self.SplitEqually(&progress), 119u);
  EXPECT_FALSE(fs::exists(dir.File("SELF-1.mp3")));
  EXPECT_EQ(kt::ReadAll(dir.File("SELF-2.mp3")), s.All());

  // An output that cannot be created.
  owner.shred.baseFilename = dir.File("missing/x");
  EXPECT_EQ(self.SplitEqually(&progress), 103u);
  // The next operation starts with a clean code.
  owner.shred.baseFilename = dir.File("ok");
  EXPECT_EQ(self.SplitEqually(&progress), 0u);
  EXPECT_TRUE(fs::exists(dir.File("OK-2.mp3")));
}

TEST_F(Mp3SplitTest, SelectionIsWholeFramesFromTheStartSecondWithTheTag) {
  const Source s = CbrSource(30.0, true);
  kt::Owned<CMp3File> f(Write("sel.mp3", s), &owner);
  f.SetGaplessPieces(false);
  ASSERT_EQ(f.SaveSelection(dir.File("sel-out.mp3"), 10, 20, &progress), 0u);
  const Bytes body = FramesOf(kt::ReadAll(dir.File("sel-out.mp3")), s.tag);
  const auto frames = kt::WalkFrames(s.audio, 0, s.audio.size());
  // Starts on the first frame at or after 160000 bytes of audio.
  const auto start = *std::lower_bound(frames.begin(), frames.end(), 160000u);
  const auto end = *std::lower_bound(frames.begin(), frames.end(), 320000u);
  EXPECT_EQ(body, Slice(s.audio, start, end));
  ASSERT_EQ(owner.messages.size(), 1u);
  EXPECT_EQ(owner.messages[0].caption, "MP3 Split Saved");
  EXPECT_EQ(owner.messages[0].text, "This selection will last for 10.00 seconds");
  EXPECT_EQ(owner.messages[0].icon, MessageIcon::Information);
  // The window is closed before the message.
  EXPECT_EQ(progress.calls.back(), "Close");
}

TEST_F(Mp3SplitTest, SelectionPastTheEndIsClippedToTheAudio) {
  const Source s = CbrSource(15.0, true);
  kt::Owned<CMp3File> f(Write("end.mp3", s), &owner);
  f.SetGaplessPieces(false);
  ASSERT_EQ(f.SaveSelection(dir.File("end-out.mp3"), 10, 20, &progress), 0u);
  const Bytes body = FramesOf(kt::ReadAll(dir.File("end-out.mp3")), s.tag);
  EXPECT_EQ(body, Slice(s.audio, s.audio.size() - body.size(), s.audio.size()));
  // The message tells what the whole frames written play.
  char expected[80];
  std::snprintf(expected, sizeof expected, "This selection will last for %.2f seconds",
                kt::WalkFrames(body, 0, body.size()).size() * 1152 / 44100.0);
  ASSERT_EQ(owner.messages.size(), 1u);
  EXPECT_EQ(owner.messages[0].text, expected);

  // A start beyond the end and an end before the start select no frame:
  // 108, and nothing is written.
  EXPECT_EQ(f.SaveSelection(dir.File("none.mp3"), 100, 200, &progress), err::kZeroLength);
  EXPECT_FALSE(std::filesystem::exists(dir.File("none.mp3")));
  EXPECT_EQ(f.SaveSelection(dir.File("back.mp3"), 5, 2, &progress), err::kZeroLength);
  EXPECT_FALSE(std::filesystem::exists(dir.File("back.mp3")));
  EXPECT_EQ(owner.messages.size(), 1u);
}

TEST_F(Mp3SplitTest, SelectionCancelledOrRefusedShowsNoMessage) {
  const Source s = CbrSource(30.0, false);
  kt::Owned<CMp3File> f(Write("x.mp3", s), &owner);
  f.SetGaplessPieces(false);
  progress.cancelAfterFileSteps = 3;
  EXPECT_EQ(f.SaveSelection(dir.File("x-out.mp3"), 0, 25, &progress), 0u);
  EXPECT_LT(kt::ReadAll(dir.File("x-out.mp3")).size(), 50000u);
  EXPECT_TRUE(owner.messages.empty());

  kt::RecordingProgress fresh;
  EXPECT_EQ(f.SaveSelection(dir.File("x.mp3"), 0, 5, &fresh), 119u);
  EXPECT_EQ(kt::ReadAll(dir.File("x.mp3")), s.All());
  EXPECT_EQ(f.SaveSelection(dir.File("missing/y.mp3"), 0, 5, &fresh), 103u);
  EXPECT_TRUE(fresh.calls.empty());
  EXPECT_TRUE(owner.messages.empty());
}

// A VBRI frame followed by an Info frame opens the stream: both describe it
// and neither is audio, so no piece, plain or gapless, carries either (a
// gapless piece's only header frame is its own, at its start).
TEST_F(Mp3SplitTest, NoHeaderFrameOfTheSourceIsCopiedAsAudio) {
  kt::LameSpec layout;
  layout.headerFrame = true;
  Bytes vbri = kt::SyntheticFrames(kt::FrameSpec{}, 1);
  const char marker[] = "VBRI";
  std::copy(marker, marker + 4, vbri.begin() + 36);
  vbri[50 + 3] = 116;  // a frame count
  const Bytes source = Concat({vbri, kt::EncodedSine(3.0, layout)});
  kt::WriteAll(dir.File("two headers.mp3"), source);
  const auto headerFrames = [](const Bytes& piece) {
    int count = 0;
    for (const std::size_t at : kt::WalkFrames(piece, 0, piece.size())) {
      const auto header = mp3::FrameHeader::FromBytes(&piece[at]);
      count += mp3::ParseVbrHeader(header, &piece[at], std::min<std::size_t>(200, piece.size() - at)).present;
    }
    return count;
  };
  for (const bool gapless : {false, true}) {
    SCOPED_TRACE(gapless);
    kt::Owned<CMp3File> f(dir.File("two headers.mp3"), &owner);
    ASSERT_EQ(f.GetError(), 0u);
    f.SetGaplessPieces(gapless);
    ASSERT_EQ(f.SaveSelection(dir.File("cut.mp3"), 0, 1, &progress), 0u);
    const Bytes piece = kt::ReadAll(dir.File("cut.mp3"));
    EXPECT_EQ(headerFrames(piece), gapless ? 1 : 0);
    if (gapless) {
      EXPECT_TRUE(mp3::ParseVbrHeader(mp3::FrameHeader::FromBytes(piece.data()), piece.data(), 200).present);
    }
  }
}

}  // namespace
