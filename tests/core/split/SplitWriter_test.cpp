// Writing a confirmed split: pieces joined give back the whole (WAV data
// byte for byte, MP3 decoded by ffmpeg sample for sample), each piece carries
// its tag (read back by TagLib), and a piece never replaces the source.

#include "core/split/SplitWriter.h"

#include <gtest/gtest.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mpegfile.h>
#include <taglib/wavfile.h>

#include <filesystem>

#include "core/mp3/Mp3File.h"
#include "core/open/Formats.h"
#include "core/split/CueSheet.h"
#include "core/split/CutListExport.h"
#include "core/split/SilenceFinder.h"
#include "core/split/SplitRequest.h"
#include "core/wav/WaveFile.h"
#include "support/GaplessCheck.h"
#include "support/SilenceRecording.h"

namespace {

namespace fs = std::filesystem;
using kt::Stretch;

const std::vector<Stretch> kTake = {{3, false}, {1, true}, {3.5, false}, {0.8, true, -60}, {2.7, false}};

class SplitWriterTest : public ::testing::Test {
 protected:
  // The data chunk of a WAV file (the bytes after "data" and its size).
  std::vector<std::uint8_t> WaveData(const std::string& path) {
    CWaveFile wave(path);
    const auto bytes = kt::ReadAll(path);
    return {bytes.begin() + static_cast<std::ptrdiff_t>(wave.GetDataOffset()),
            bytes.begin() + static_cast<std::ptrdiff_t>(wave.GetDataOffset() + wave.GetDataSize())};
  }
  kt::TempDir dir;
};

TEST_F(SplitWriterTest, WavePiecesJoinedAreTheSourceDataAndCarryInfoTags) {
  const kt::Recording rec = kt::MakeRecording(kTake);
  // The source's own INFO chunk: its genre stays, its title gives way.
  std::vector<std::uint8_t> info = {'I', 'N', 'F', 'O', 'I', 'G', 'N', 'R', 5, 0, 0, 0,   'J', 'a', 'z',
                                    'z', 0,   0,   'I', 'N', 'A', 'M', 4,   0, 0, 0, 'O', 'l', 'd', 0};
  kt::WavSpec format;
  format.after.push_back({"LIST", info});
  const auto headerless = std::vector<std::uint8_t>(rec.wav.begin() + 44, rec.wav.end());
  const std::string source = kt::MakeWav(dir, "take.wav", format, headerless);
  CWaveFile wave(source);
  split::SplitPlan plan =
      split::PlanAtSilences(split::FindSilences(wave, {}), split::CutPlace::Middle, 44100);
  ASSERT_EQ(plan.cuts.size(), 2u);
  plan.naming = {false, dir.File("piece.wav"), "_x", FormatNamed("WAV")};

  const split::WriteOutcome outcome = split::WriteSplit(wave, plan, nullptr);
  ASSERT_EQ(outcome.written.size(), 3u);
  std::vector<std::uint8_t> joined;
  for (const std::string& piece : outcome.written) {
    const auto data = WaveData(piece);
    joined.insert(joined.end(), data.begin(), data.end());
  }
  EXPECT_EQ(joined, WaveData(source));
  EXPECT_EQ(outcome.written[1], dir.File("PIECE_x-2.wav"));

  TagLib::RIFF::WAV::File second(outcome.written[1].c_str());
  ASSERT_TRUE(second.hasInfoTag());
  EXPECT_EQ(second.InfoTag()->fieldText("ITRK").to8Bit(), "2/3");
  EXPECT_EQ(second.InfoTag()->fieldText("IGNR").to8Bit(), "Jazz");
  EXPECT_EQ(second.InfoTag()->fieldText("INAM").to8Bit(), "Old");
}

TEST_F(SplitWriterTest, CueTracksGetTitlePerformerAlbumAndNumberInTheirInfoChunk) {
  const kt::Recording rec = kt::MakeRecording({{10, false}});
  kt::WriteAll(dir.File("album.wav"), rec.wav);
  const std::string text =
      "PERFORMER \"Band\"\nTITLE \"Album\"\nFILE \"album.wav\" WAVE\n  TRACK 01 AUDIO\n    TITLE \"One\"\n"
      "    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    TITLE \"Two\"\n    INDEX 00 00:03:00\n    INDEX 01 "
      "00:04:37\n";
  kt::WriteAll(dir.File("album.cue"), std::vector<std::uint8_t>(text.begin(), text.end()));
  const split::CueSheet sheet = split::ReadCueSheet(dir.File("album.cue"));
  CWaveFile wave(split::CueAudioPath(sheet));
  split::SplitPlan plan = split::PlanFromCue(sheet, 44100, rec.samples);
  plan.naming = {true, dir.Path().string(), "", FormatNamed("WAV")};
  const auto outcome = split::WriteSplit(wave, plan, nullptr);
  ASSERT_EQ(outcome.written.size(), 2u);
  // Each piece is exactly its INDEX span: 4 s 37 frames, and the rest.
  const std::uint64_t cut = (4 * 75 + 37) * 588;
  EXPECT_EQ(WaveData(outcome.written[0]).size(), cut * 4);
  EXPECT_EQ(WaveData(outcome.written[1]).size(), (rec.samples - cut) * 4);
  TagLib::RIFF::WAV::File two(dir.File("02 - Two.wav").c_str());
  ASSERT_TRUE(two.hasInfoTag());
  EXPECT_EQ(two.InfoTag()->fieldText("INAM").to8Bit(), "Two");
  EXPECT_EQ(two.InfoTag()->fieldText("IART").to8Bit(), "Band");
  EXPECT_EQ(two.InfoTag()->fieldText("IPRD").to8Bit(), "Album");
  EXPECT_EQ(two.InfoTag()->fieldText("ITRK").to8Bit(), "2/2");
}

TEST_F(SplitWriterTest, Mp3PiecesDecodeJoinedToTheWholeAndKeepTheSourcesTagAndPicture) {
  const kt::Recording rec = kt::MakeRecording(kTake);
  kt::WriteAll(dir.File("take.wav"), rec.wav);
  const std::string source = kt::LameEncode(
      dir, "take.mp3", dir.File("take.wav"),
      {"-b", "128", "--tt", "Whole", "--ta", "Artist", "--tl", "Record", "--ty", "1987", "--tg", "Jazz"});
  ASSERT_FALSE(source.empty());
  {  // A cover picture in the source's tag.
    TagLib::MPEG::File f(source.c_str());
    auto* picture = new TagLib::ID3v2::AttachedPictureFrame;
    picture->setMimeType("image/png");
    picture->setPicture(TagLib::ByteVector("\x89PNG fake picture", 17));
    f.ID3v2Tag(true)->addFrame(picture);
    ASSERT_TRUE(f.save());
  }
  CMp3File mp3(source);
  split::SplitPlan plan = split::PlanAtSilences(split::FindSilences(mp3, {}), split::CutPlace::Middle, 44100);
  ASSERT_EQ(plan.cuts.size(), 2u);
  plan.naming = {false, source, "", FormatNamed("MP3")};
  const auto outcome = split::WriteSplit(mp3, plan, nullptr);
  ASSERT_EQ(outcome.written.size(), 3u);

  const auto whole = kt::Decode(dir, kt::RefDecoder::Ffmpeg, source);
  std::vector<std::int16_t> joined;
  for (const std::string& piece : outcome.written) {
    const auto samples = kt::Decode(dir, kt::RefDecoder::Ffmpeg, piece);
    joined.insert(joined.end(), samples.begin(), samples.end());
  }
  EXPECT_EQ(kt::PcmDiff(whole, 0, joined, true), "");

  TagLib::MPEG::File second(outcome.written[1].c_str());
  ASSERT_TRUE(second.hasID3v2Tag());
  TagLib::ID3v2::Tag* tag = second.ID3v2Tag();
  EXPECT_EQ(tag->header()->majorVersion(), 4u);
  EXPECT_EQ(tag->title().to8Bit(), "Whole");
  EXPECT_EQ(tag->artist().to8Bit(), "Artist");
  EXPECT_EQ(tag->album().to8Bit(), "Record");
  EXPECT_EQ(tag->year(), 1987u);
  EXPECT_EQ(tag->genre().to8Bit(), "Jazz");
  EXPECT_EQ(tag->frameList("TRCK").front()->toString().to8Bit(), "2/3");
  ASSERT_EQ(tag->frameList("APIC").size(), 1u);
  const auto* picture = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame*>(tag->frameList("APIC").front());
  EXPECT_EQ(picture->picture(), TagLib::ByteVector("\x89PNG fake picture", 17));
  EXPECT_TRUE(tag->frameList("TLEN").isEmpty());  // the source's length is not the piece's
  EXPECT_FALSE(second.hasID3v1Tag());
}

TEST_F(SplitWriterTest, Mp3CueTracksDecodeToExactlyTheirIndexSpans) {
  const kt::Recording rec = kt::MakeRecording({{9, false}});
  kt::WriteAll(dir.File("mix.wav"), rec.wav);
  ASSERT_FALSE(kt::LameEncode(dir, "mix.mp3", dir.File("mix.wav"), {"-b", "160"}).empty());
  // Tracks at odd frame times; the first starts after a lead of 1.5 s that no piece holds.
  const std::string text =
      "FILE \"mix.mp3\" MP3\n  TRACK 01 AUDIO\n    INDEX 01 00:01:38\n  TRACK 02 AUDIO\n"
      "    INDEX 00 00:03:00\n    INDEX 01 00:03:71\n  TRACK 03 AUDIO\n    INDEX 01 00:07:01\n";
  kt::WriteAll(dir.File("mix.cue"), std::vector<std::uint8_t>(text.begin(), text.end()));
  const split::CueSheet sheet = split::ReadCueSheet(dir.File("mix.cue"));
  CMp3File mp3(split::CueAudioPath(sheet));
  split::SplitPlan plan = split::PlanFromCue(sheet, 44100, mp3.CountDecodedSamples());
  plan.naming = {true, dir.Path().string(), "", FormatNamed("MP3")};
  const auto outcome = split::WriteSplit(mp3, plan, nullptr);
  ASSERT_EQ(outcome.written.size(), 3u);
  const auto whole = kt::Decode(dir, kt::RefDecoder::Ffmpeg, dir.File("mix.mp3"));
  const std::uint64_t starts[] = {(1 * 75 + 38) * 588, (3 * 75 + 71) * 588, (7 * 75 + 1) * 588, rec.samples};
  for (std::size_t i = 0; i < 3; ++i) {
    const auto piece = kt::Decode(dir, kt::RefDecoder::Ffmpeg, outcome.written[i]);
    EXPECT_EQ(piece.size(), (starts[i + 1] - starts[i]) * 2) << outcome.written[i];
    EXPECT_EQ(kt::PcmDiff(whole, starts[i] * 2, piece, false), "") << outcome.written[i];
  }
}

TEST_F(SplitWriterTest, APieceThatWouldReplaceTheSourceStopsTheSplitBeforeAnythingIsWritten) {
  const kt::Recording rec = kt::MakeRecording(kTake);
  // The second piece of base "take.wav" is TAKE-2.wav: the source itself.
  kt::WriteAll(dir.File("TAKE-2.wav"), rec.wav);
  CWaveFile wave(dir.File("TAKE-2.wav"));
  split::SplitPlan plan =
      split::PlanAtSilences(split::FindSilences(wave, {}), split::CutPlace::Middle, 44100);
  plan.naming = {false, dir.File("take.wav"), "", FormatNamed("WAV")};
  try {
    split::WriteSplit(wave, plan, nullptr);
    ADD_FAILURE() << "no refusal";
  } catch (const split::WriteError& e) {
    EXPECT_NE(std::string(e.what()).find("would replace the source"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(fs::exists(dir.File("TAKE-1.wav")));
  EXPECT_EQ(kt::ReadAll(dir.File("TAKE-2.wav")), rec.wav);
  // A folder that is not there is named too.
  plan.naming = {true, dir.File("missing"), "", FormatNamed("WAV")};
  EXPECT_THROW(split::WriteSplit(wave, plan, nullptr), split::WriteError);
}

TEST_F(SplitWriterTest, ACancelledSplitKeepsTheWholePiecesAndRemovesThePartOne) {
  const kt::Recording rec = kt::MakeRecording(kTake);
  kt::WriteAll(dir.File("take.wav"), rec.wav);
  CWaveFile wave(dir.File("take.wav"));
  split::SplitPlan plan =
      split::PlanAtSilences(split::FindSilences(wave, {}), split::CutPlace::Middle, 44100);
  plan.naming = {false, dir.File("take.wav"), "", FormatNamed("WAV")};
  kt::RecordingProgress progress;
  // Piece 1 is 3.5 s of 4-byte frames in 10000-byte steps: cancel inside piece 2.
  progress.cancelAfterFileSteps = 80;
  const auto outcome = split::WriteSplit(wave, plan, &progress);
  EXPECT_TRUE(outcome.cancelled);
  ASSERT_EQ(outcome.written.size(), 1u);
  EXPECT_TRUE(fs::exists(dir.File("TAKE-1.wav")));
  EXPECT_FALSE(fs::exists(dir.File("TAKE-2.wav")));
}

TEST(CutListExport, LabelsJsonAndTextShowTheTickedCuts) {
  split::SplitPlan plan;
  plan.sampleRate = 1000;
  plan.totalSamples = 10000;
  plan.naming = {false, "/m/a \"b\".wav", "", FormatNamed("WAV")};
  split::CutPoint first;
  first.at = 2500;
  first.silence = split::Silence{2000, 3000, 0.001f};
  split::CutPoint second;
  second.at = 7000;
  second.noSilenceNear = true;
  plan.cuts = {first, second};
  EXPECT_EQ(split::LabelsText(plan),
            "0.000000\t2.500000\tA \"B\"-1\n2.500000\t7.000000\tA \"B\"-2\n7.000000\t10.000000\tA \"B\"-3\n");
  EXPECT_EQ(split::CutListJson(plan),
            "{\"cuts\": [{\"at\": 2.500000, \"silence\": [2.000000, 3.000000]}, {\"at\": 7.000000, "
            "\"silence\": null}], "
            "\"pieces\": [{\"file\": \"/m/A \\\"B\\\"-1.wav\", \"start\": 0.000000, \"end\": 2.500000}, "
            "{\"file\": \"/m/A \\\"B\\\"-2.wav\", \"start\": 2.500000, \"end\": 7.000000}, "
            "{\"file\": \"/m/A \\\"B\\\"-3.wav\", \"start\": 7.000000, \"end\": 10.000000}]}\n");
  EXPECT_EQ(split::CutListText(plan),
            "cut 1 at 0:00:02.500, in silence 0:00:02.000 - 0:00:03.000 (0:00:01.000 long, peak -60.0 dBFS)\n"
            "cut 2 at 0:00:07.000, no silence near, stays at its equal point\n"
            "piece 1: 0:00:00.000 - 0:00:02.500 (0:00:02.500) /m/A \"B\"-1.wav\n"
            "piece 2: 0:00:02.500 - 0:00:07.000 (0:00:04.500) /m/A \"B\"-2.wav\n"
            "piece 3: 0:00:07.000 - 0:00:10.000 (0:00:03.000) /m/A \"B\"-3.wav\n");
  plan.cuts[0].enabled = false;
  EXPECT_EQ(split::LabelsText(plan), "0.000000\t7.000000\tA \"B\"-1\n7.000000\t10.000000\tA \"B\"-2\n");
}

}  // namespace
