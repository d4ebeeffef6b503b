#include "core/mp3/Mp3File.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "support/Mp3Builder.h"
#include "support/TestSupport.h"

namespace {

std::vector<std::uint8_t> Concat(std::initializer_list<std::vector<std::uint8_t>> parts) {
  std::vector<std::uint8_t> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

kt::FrameSpec Frame(unsigned version, unsigned layer, unsigned bitrateIndex, unsigned sampleRateIndex) {
  kt::FrameSpec s;
  s.version = version;
  s.layer = layer;
  s.bitrateIndex = bitrateIndex;
  s.sampleRateIndex = sampleRateIndex;
  return s;
}

TEST(Mp3Information, NineLinesOfALameStream) {
  kt::TempDir dir;
  kt::LameSpec layout;
  const auto mp3 = kt::EncodedSine(2.0, layout);
  kt::WriteAll(dir.File("song.mp3"), mp3);
  CMp3File f(dir.File("song.mp3"));
  ASSERT_EQ(f.GetError(), 0u);
  const auto lines = f.GetInformationLines();
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[0], "File size - " + std::to_string(mp3.size()) + " bytes");
  EXPECT_EQ(lines[1], "Sampling Rate - 44100 Smp/sec");
  EXPECT_EQ(lines[2], "Bitrate - 128 Kbits/sec");
  EXPECT_TRUE(lines[3] == "Frame length - 417 bytes" || lines[3] == "Frame length - 418 bytes") << lines[3];
  EXPECT_EQ(lines[4], "MPEG version - 1.0");
  EXPECT_EQ(lines[5], "MPEG Layer - 3");
  EXPECT_EQ(lines[6], "Copyrighted - No");
  EXPECT_EQ(lines[7], "Orignal - Yes");  // LAME marks its output original
  char duration[64];
  std::snprintf(duration, sizeof duration, "Play Duration - %.2f Sec(s)", mp3.size() / 16000.0);
  EXPECT_EQ(lines[8], duration);
  EXPECT_STREQ(f.Format().Name(), "MP3");
  EXPECT_EQ(f.GetDefaultExtension(), "*.MP3");
  EXPECT_EQ(f.GetFileFilter(), "MP3 files (*.mp3)|*.mp3|All files (*.*)|*.*||");
}

TEST(Mp3Information, VersionLayerAndFlagLinesFollowTheHeader) {
  kt::TempDir dir;
  struct Case {
    kt::FrameSpec layout;
    const char* version;
    const char* layer;
  };
  kt::FrameSpec flagged = Frame(3, 2, 10, 1);
  flagged.copyright = true;
  const Case cases[] = {{Frame(0, 1, 1, 2), "MPEG version - 2.5", "MPEG Layer - 3"},
                        {Frame(2, 3, 14, 2), "MPEG version - 2.0", "MPEG Layer - 1"},
                        {flagged, "MPEG version - 1.0", "MPEG Layer - 2"}};
  for (const auto& c : cases) {
    kt::WriteAll(dir.File("h.mp3"), kt::SyntheticFrames(c.layout, 6));
    CMp3File f(dir.File("h.mp3"));
    ASSERT_EQ(f.GetError(), 0u);
    const auto lines = f.GetInformationLines();
    EXPECT_EQ(lines[4], c.version);
    EXPECT_EQ(lines[5], c.layer);
    EXPECT_EQ(lines[6], c.layout.copyright ? "Copyrighted - Yes" : "Copyrighted - No");
    EXPECT_EQ(lines[7], "Orignal - No");
  }
}

TEST(Mp3Tag, FieldsEndAtTheirFirstZeroOrTheirLength) {
  kt::TempDir dir;
  kt::Id3v1Spec tag;
  tag.title = "abcdefghijklmnopqrstuvwxyz0123";  // exactly 30 characters, no zero
  tag.artist = "Band";
  tag.album = "Record";
  tag.year = "1999";
  tag.comment = "nice";
  tag.genre = 17;
  kt::WriteAll(dir.File("t.mp3"), Concat({kt::SyntheticFrames(Frame(3, 1, 9, 0), 4), kt::Id3v1Tag(tag)}));
  CMp3File f(dir.File("t.mp3"));
  ASSERT_EQ(f.GetError(), 0u);
  const Mp3TagFields fields = f.GetId3v1Fields();
  EXPECT_EQ(fields.fileName, "t.mp3");
  EXPECT_EQ(fields.title, tag.title);
  EXPECT_EQ(fields.artist, "Band");
  EXPECT_EQ(fields.album, "Record");
  EXPECT_EQ(fields.year, "1999");
  EXPECT_EQ(fields.comment, "nice");
  EXPECT_EQ(fields.genre, "Rock");
}

TEST(Mp3Tag, GenresOutsideTheNamedOnesShowNothing) {
  kt::TempDir dir;
  for (std::uint8_t genre : {0, 79, 80, 100, 127, 128, 255}) {
    kt::Id3v1Spec tag;
    tag.genre = genre;
    kt::WriteAll(dir.File("g.mp3"), Concat({kt::SyntheticFrames(Frame(3, 1, 9, 0), 4), kt::Id3v1Tag(tag)}));
    CMp3File f(dir.File("g.mp3"));
    const std::string expected = genre == 0 ? "Blues" : genre == 79 ? "Hard Rock" : "";
    EXPECT_EQ(f.GetId3v1Fields().genre, expected) << int{genre};
  }
}

TEST(Mp3Tag, FileWithoutTagShowsUnknownWhileMpegLinesAreFilled) {
  kt::TempDir dir;
  kt::WriteAll(dir.File("n.mp3"), kt::SyntheticFrames(Frame(3, 1, 9, 0), 4));
  CMp3File f(dir.File("n.mp3"));
  const Mp3TagFields fields = f.GetId3v1Fields();
  EXPECT_EQ(fields.fileName, "n.mp3");
  for (const auto* field :
       {&fields.title, &fields.artist, &fields.album, &fields.year, &fields.comment, &fields.genre})
    EXPECT_EQ(*field, "Unknown");
  EXPECT_EQ(f.GetInformationLines()[1], "Sampling Rate - 44100 Smp/sec");
}

TEST(Mp3Vbr, DurationAndByteRateComeFromTheXingFrameCount) {
  kt::TempDir dir;
  kt::LameSpec layout;
  layout.vbr = true;
  layout.headerFrame = true;
  const auto mp3 = kt::EncodedSine(4.0, layout);
  const auto frames = kt::WalkFrames(mp3, 0, mp3.size());
  ASSERT_GT(frames.size(), 10u);
  kt::WriteAll(dir.File("v.mp3"), Concat({kt::Id3v2Tag(2000), mp3, kt::Id3v1Tag({})}));
  CMp3File f(dir.File("v.mp3"));
  ASSERT_EQ(f.GetError(), 0u);
  EXPECT_TRUE(f.HasFrameCount());
  const std::size_t audioFrames = frames.size() - 1;  // without the header frame
  EXPECT_EQ(f.GetAudioStart(), 2010u + frames[1]);
  EXPECT_EQ(f.GetAudioBytes(), mp3.size() - frames[1]);
  const double seconds = audioFrames * 1152.0 / 44100.0;
  // The header frame's count matches: its length leaves out the encoder's delay and padding.
  const std::optional<mp3::LameTag> tag = mp3::ReadLameTag(mp3.data(), frames[1]);
  ASSERT_TRUE(tag && tag->hasExtension);
  EXPECT_DOUBLE_EQ(f.GetDuration(), (audioFrames * 1152.0 - tag->delay - tag->padding) / 44100.0);
  EXPECT_EQ(f.GetSampleCount(), audioFrames * 1152 - tag->delay - tag->padding);
  EXPECT_EQ(f.GetByteRate(), static_cast<std::uint32_t>(std::lround((mp3.size() - frames[1]) / seconds)));
  char bitrate[64];
  std::snprintf(bitrate, sizeof bitrate, "Bitrate - %u Kbits/sec",
                static_cast<unsigned>(std::lround((mp3.size() - frames[1]) * 8 / seconds) / 1000));
  EXPECT_EQ(f.GetInformationLines()[2], bitrate);
  // The header frame's own length is not what the window shows.
  EXPECT_EQ(f.GetFrameLength(), frames[2] - frames[1]);
}

TEST(Mp3Vbr, InfoFrameOfAConstantStreamIsNotAudio) {
  kt::TempDir dir;
  kt::LameSpec layout;
  layout.headerFrame = true;
  const auto mp3 = kt::EncodedSine(2.0, layout);
  const auto frames = kt::WalkFrames(mp3, 0, mp3.size());
  kt::WriteAll(dir.File("i.mp3"), mp3);
  CMp3File f(dir.File("i.mp3"));
  ASSERT_EQ(f.GetError(), 0u);
  EXPECT_EQ(f.GetAudioStart(), frames[1]);
  EXPECT_EQ(f.GetByteRate(), 16000u);
  EXPECT_EQ(f.GetInformationLines()[2], "Bitrate - 128 Kbits/sec");
  const std::optional<mp3::LameTag> tag = mp3::ReadLameTag(mp3.data(), frames[1]);
  ASSERT_TRUE(tag && tag->hasExtension);
  EXPECT_NEAR(f.GetDuration(), ((frames.size() - 1) * 1152.0 - tag->delay - tag->padding) / 44100.0, 1e-9);
}

TEST(Mp3Vbr, ImplausibleFrameCountFallsBackToTheFirstFrameBitrate) {
  kt::TempDir dir;
  auto frames = kt::SyntheticFrames(Frame(3, 1, 9, 0), 50);
  // A Xing block claiming a single frame for 49 frames of audio.
  const char marker[] = "Xing";
  std::copy(marker, marker + 4, frames.begin() + 36);
  std::fill(frames.begin() + 40, frames.begin() + 48, 0);
  frames[43] = 1;
  frames[47] = 1;
  kt::WriteAll(dir.File("x.mp3"), frames);
  CMp3File f(dir.File("x.mp3"));
  ASSERT_EQ(f.GetError(), 0u);
  EXPECT_FALSE(f.HasFrameCount());
  EXPECT_FALSE(f.HasFrameIndex());     // one bitrate: "Xing" or not, no pass over the frames
  EXPECT_EQ(f.GetAudioStart(), 417u);  // still metadata, not audio
  EXPECT_EQ(f.GetByteRate(), 16000u);
  EXPECT_DOUBLE_EQ(f.GetDuration(), 49 * 417 / 16000.0);
}

TEST(Mp3SplitFacts, AudioBytesLeaveOutBothTagsAndTheEstimateAddsTheTag) {
  kt::TempDir dir;
  const auto frames = kt::SyntheticFrames(Frame(3, 1, 9, 0), 400);  // 166800 bytes, 10.4 s
  kt::WriteAll(dir.File("tagged.mp3"), Concat({kt::Id3v2Tag(20000), frames, kt::Id3v1Tag({})}));
  kt::WriteAll(dir.File("plain.mp3"), frames);
  CMp3File tagged(dir.File("tagged.mp3"));
  CMp3File plain(dir.File("plain.mp3"));
  const Mp3SplitFacts t = tagged.GetSplitFacts();
  const Mp3SplitFacts p = plain.GetSplitFacts();
  EXPECT_EQ(t.audioBytes, frames.size());
  EXPECT_EQ(p.audioBytes, frames.size());
  EXPECT_EQ(t.byteRate, 16000u);
  EXPECT_TRUE(t.hasTag);
  EXPECT_FALSE(p.hasTag);
  EXPECT_DOUBLE_EQ(tagged.GetDuration(), plain.GetDuration());

  const SplitEstimate a = EstimateMp3Split(t, 4);
  const SplitEstimate b = EstimateMp3Split(p, 4);
  EXPECT_EQ(a.error, 0u);
  EXPECT_EQ(a.size, frames.size() / 4 + 128);
  EXPECT_EQ(b.size, frames.size() / 4);
  EXPECT_DOUBLE_EQ(a.playtime, b.playtime);
  EXPECT_DOUBLE_EQ(a.playtime, (frames.size() / 4) / 16000.0);
  // Pieces shorter than a second: 11 pieces of 15163 bytes at 16000 bytes/s.
  EXPECT_EQ(EstimateMp3Split(t, 11).error, 3000u);
  EXPECT_EQ(EstimateMp3Split(t, 10).error, 0u);
}

TEST(Mp3Unsupported, ConvertToMp3IsNotOfferedAndLeavesTheCode) {
  kt::TempDir dir;
  kt::WriteAll(dir.File("c.mp3"), kt::SyntheticFrames(Frame(3, 1, 9, 0), 4));
  CMp3File f(dir.File("c.mp3"));
  kt::RecordingProgress progress;
  EXPECT_EQ(f.SaveSelection(dir.File("missing/x.mp3"), 0, 1, &progress).error, 103u);
  EXPECT_FALSE(f.Offers(Conversion::ToMp3));
  EXPECT_EQ(f.ConvertToMp3(dir.File("out.mp3"), &progress, {}), err::kNotOffered);
  EXPECT_EQ(f.GetError(), 103u);
  EXPECT_FALSE(std::filesystem::exists(dir.File("out.mp3")));
}

TEST(Mp3Unsupported, OperationsOnAFileThatDidNotOpenDoNothing) {
  kt::TempDir dir;
  kt::WriteAll(dir.File("bad.mp3"), std::vector<std::uint8_t>(5000, 0));
  CMp3File f(dir.File("bad.mp3"));
  ASSERT_EQ(f.GetError(), 109u);
  kt::RecordingProgress progress;
  EXPECT_EQ(f.SaveSelection(dir.File("o.mp3"), 0, 1, &progress).error, 109u);
  EXPECT_EQ(f.ConvertToWav(dir.File("o.wav"), &progress), 109u);
  EXPECT_EQ(f.SplitEqually(ShredRequest{}, &progress).error, 109u);
  EXPECT_TRUE(progress.calls.empty());
  EXPECT_FALSE(std::filesystem::exists(dir.File("o.mp3")));
  EXPECT_FALSE(std::filesystem::exists(dir.File("o.wav")));
}

}  // namespace
