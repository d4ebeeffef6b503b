#include "core/wav/WaveFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "core/SplitEstimate.h"
#include "support/TestSupport.h"
#include "support/WaveExpect.h"

namespace fs = std::filesystem;

namespace {

using kt::Chunk;
using kt::WavSpec;

std::vector<std::uint8_t> Body(std::size_t n, std::uint8_t fill) {
  return std::vector<std::uint8_t>(n, fill);
}

TEST(WaveOpen, CanonicalPcmFileGivesHeaderFactsAndDataAt44) {
  kt::TempDir dir;
  const auto data = kt::PatternData(1000);
  CWaveFile wav(kt::MakeWav(dir, "a.wav", WavSpec{}, data));
  ASSERT_EQ(wav.GetError(), 0u);
  EXPECT_EQ(wav.GetDataOffset(), 44u);
  EXPECT_EQ(wav.GetDataSize(), 1000u);
  EXPECT_EQ(wav.GetChannels(), 2);
  EXPECT_EQ(wav.GetSampleRate(), 44100u);
  EXPECT_EQ(wav.GetBitsPerSample(), 16);
  EXPECT_EQ(wav.GetBlockAlign(), 4);
  EXPECT_EQ(wav.GetAvgBytesPerSec(), 176400u);
  EXPECT_EQ(wav.GetFormat().extraCount, 0);
  EXPECT_FALSE(wav.HasFactChunk());
  EXPECT_TRUE(wav.IsPcm());
  EXPECT_TRUE(wav.FoundByChunkWalk());
  EXPECT_STREQ(wav.Format().Name(), "WAV");
  EXPECT_EQ(wav.GetDefaultExtension(), "*.WAV");
  EXPECT_EQ(wav.GetFileFilter(), "WAV files (*.wav)|*.wav|All files (*.*)|*.*||");
  EXPECT_EQ(wav.ConvertToWav(dir.File("x.wav"), nullptr), err::kNotOffered);
  EXPECT_EQ(wav.GetError(), 0u);
  EXPECT_DOUBLE_EQ(wav.GetDuration(), 1000.0 / 176400.0);
  // The derived header of a PCM source without fact chunk is the canonical one.
  EXPECT_EQ(wav.BuildDerivedHeader(wav.GetFormat(), {}, 1000), kt::CanonicalHeader(2, 44100, 16, 1000));
}

TEST(WaveOpen, PcmFormatChunkOf18BytesForcesExtraCountToZero) {
  kt::TempDir dir;
  WavSpec layout;
  layout.fmtSize = 18;
  layout.fmtExtra = {5, 0};  // a count that PCM must ignore
  CWaveFile wav(kt::MakeWav(dir, "a.wav", layout, kt::PatternData(400)));
  ASSERT_EQ(wav.GetError(), 0u);
  EXPECT_EQ(wav.GetFormat().extraCount, 0);
  EXPECT_TRUE(wav.GetExtraFormatBytes().empty());
  EXPECT_EQ(wav.GetDataOffset(), 46u);
  EXPECT_EQ(wav.BuildDerivedHeader(wav.GetFormat(), {}, 400), kt::CanonicalHeader(2, 44100, 16, 400));
}

TEST(WaveOpen, NonPcmWithExtraBytesAndFactChunkDerivesThe60ByteHeader) {
  kt::TempDir dir;
  const WavSpec layout = kt::ImaAdpcmSpec(10000);  // IMA ADPCM, c = 2, samples per block 505
  CWaveFile wav(kt::MakeWav(dir, "adpcm.wav", layout, Body(512, 0x33)));
  ASSERT_EQ(wav.GetError(), 0u);
  EXPECT_FALSE(wav.IsPcm());
  EXPECT_EQ(wav.GetFormat().extraCount, 2);
  EXPECT_EQ(wav.GetExtraFormatBytes(), (std::vector<std::uint8_t>{0xF9, 0x01}));
  EXPECT_EQ(wav.GetFactSize(), 4u);

  const auto h = wav.BuildDerivedHeader(wav.GetFormat(), wav.GetExtraFormatBytes(), 512);
  std::vector<std::uint8_t> want;
  kt::PutTag(want, "RIFF");
  kt::PutLe32(want, 512 + 26 + 2 + 12 + 12);
  kt::PutTag(want, "WAVE");
  kt::PutTag(want, "fmt ");
  kt::PutLe32(want, 20);
  kt::PutLe16(want, 17);
  kt::PutLe16(want, 1);
  kt::PutLe32(want, 8000);
  kt::PutLe32(want, 4055);
  kt::PutLe16(want, 256);
  kt::PutLe16(want, 4);
  kt::PutLe16(want, 2);
  want.insert(want.end(), {0xF9, 0x01});
  kt::PutTag(want, "fact");
  kt::PutLe32(want, 4);
  kt::PutLe32(want, 2 * 505);  // two blocks of 505 samples, not the source's 10000
  kt::PutTag(want, "data");
  kt::PutLe32(want, 512);
  EXPECT_EQ(h.size(), 60u);
  EXPECT_EQ(h, want);
}

TEST(WaveChunkWalk, LargeChunksBeforeTheAudioDoNotHideIt) {
  kt::TempDir dir;
  WavSpec layout;
  layout.before = {Chunk{"bext", Body(602, 1)}, Chunk{"JUNK", Body(4096, 0)}, Chunk{"LIST", Body(1000, 'x')}};
  const auto data = kt::PatternData(800);
  CWaveFile wav(kt::MakeWav(dir, "rec.wav", layout, data));
  ASSERT_EQ(wav.GetError(), 0u);
  EXPECT_TRUE(wav.FoundByChunkWalk());
  EXPECT_EQ(wav.GetDataOffset(), 44u + 3 * 8 + 602 + 4096 + 1000);
  EXPECT_EQ(wav.GetDataSize(), 800u);
}

TEST(WaveChunkWalk, OddSizedChunkIsFollowedByItsPadByte) {
  kt::TempDir dir;
  WavSpec layout;
  layout.before = {Chunk{"note", Body(7, 'n')}};
  CWaveFile wav(kt::MakeWav(dir, "odd.wav", layout, kt::PatternData(100)));
  ASSERT_EQ(wav.GetError(), 0u);
  EXPECT_EQ(wav.GetDataOffset(), 36u + 8 + 8 + 8);  // 7 bytes + pad
}

TEST(WaveChunkWalk, DataTextInsideAListChunkIsNotTheDataChunk) {
  kt::TempDir dir;
  WavSpec layout;
  std::vector<std::uint8_t> list = {'I', 'N', 'F', 'O', 'd', 'a', 't', 'a', 0x10, 0, 0, 0};
  list.resize(40, 'z');
  layout.before = {Chunk{"LIST", list}};
  const auto data = kt::PatternData(200);
  CWaveFile wav(kt::MakeWav(dir, "list.wav", layout, data));
  ASSERT_EQ(wav.GetError(), 0u);
  EXPECT_EQ(wav.GetDataOffset(), 36u + 8 + 40 + 8);
  EXPECT_EQ(wav.GetDataSize(), 200u);
}

TEST(WaveChunkWalk, FormatAndFactAfterTheDataAreFound) {
  kt::TempDir dir;
  // RIFF, data, fact, fmt: chunks in any order.
  std::vector<std::uint8_t> b;
  kt::PutTag(b, "RIFF");
  kt::PutLe32(b, 0);
  kt::PutTag(b, "WAVE");
  kt::PutTag(b, "data");
  kt::PutLe32(b, 6);
  b.insert(b.end(), {1, 2, 3, 4, 5, 6});
  kt::PutTag(b, "fact");
  kt::PutLe32(b, 4);
  kt::PutLe32(b, 3);
  kt::PutTag(b, "fmt ");
  kt::PutLe32(b, 16);
  kt::PutLe16(b, 1);
  kt::PutLe16(b, 1);
  kt::PutLe32(b, 8000);
  kt::PutLe32(b, 16000);
  kt::PutLe16(b, 2);
  kt::PutLe16(b, 16);
  kt::WriteAll(dir.File("order.wav"), b);
  CWaveFile wav(dir.File("order.wav"));
  ASSERT_EQ(wav.GetError(), 0u);
  EXPECT_EQ(wav.GetDataOffset(), 20u);
  EXPECT_EQ(wav.GetDataSize(), 6u);
  EXPECT_EQ(wav.GetSampleRate(), 8000u);
  EXPECT_EQ(wav.GetFactSize(), 4u);
}

TEST(WaveChunkWalk, BrokenChunkListFallsBackToTheTagSearch) {
  kt::TempDir dir;
  WavSpec layout;
  // A chunk whose size points past the file: the walk cannot reach "data",
  // the tag search of the first 1000 bytes still does.
  layout.before = {Chunk{"JUNK", Body(10, 0), 0x7FFFFFF0u}};
  CWaveFile wav(kt::MakeWav(dir, "broken.wav", layout, kt::PatternData(100)));
  ASSERT_EQ(wav.GetError(), 0u);
  EXPECT_FALSE(wav.FoundByChunkWalk());
  EXPECT_EQ(wav.GetDataOffset(), 36u + 18 + 8);
  EXPECT_EQ(wav.GetDataSize(), 100u);
}

// A "fmt " size below the 16-byte record: when the chunk list still leads to
// the data chunk the record really is short (107); when it does not, the
// walk's verdict must not outlive it and the tag search opens the file.
TEST(WaveChunkWalk, ShortFormatSizeIsRefusedOnlyWhenTheWalkTrustsIt) {
  kt::TempDir dir;
  WavSpec layout;
  layout.fmtSize = 14;  // the builder still writes the whole 16-byte record
  auto bytes = kt::BuildWav(layout, kt::PatternData(100));
  kt::WriteAll(dir.File("whole record.wav"), bytes);
  bytes.erase(bytes.begin() + 34, bytes.begin() + 36);  // bits per sample gone
  kt::WriteAll(dir.File("short record.wav"), bytes);
  EXPECT_EQ(CWaveFile(dir.File("short record.wav")).GetError(), err::kFormatDamaged);
  CWaveFile wav(dir.File("whole record.wav"));
  EXPECT_EQ(wav.GetError(), 0u);
  EXPECT_FALSE(wav.FoundByChunkWalk());
  EXPECT_EQ(wav.GetDataOffset(), 44u);
  EXPECT_EQ(wav.GetDataSize(), 100u);
  EXPECT_EQ(wav.GetBitsPerSample(), 16);
}

TEST(WaveChunkWalk, TagSearchFallbackStillGives106BeyondTheFirst1000Bytes) {
  kt::TempDir dir;
  WavSpec layout;
  layout.before = {Chunk{"JUNK", Body(1200, 0)}};
  auto bytes = kt::BuildWav(layout, kt::PatternData(100));
  bytes[0] = 'X';  // no RIFF at byte 0: no walk
  // RIFF at byte 4, after four bytes of padding, with a size of 0.
  std::vector<std::uint8_t> shifted(4 + bytes.size(), ' ');
  std::copy(bytes.begin(), bytes.end(), shifted.begin() + 4);
  for (int i = 0; i < 8; ++i) shifted[4 + i] = static_cast<std::uint8_t>("RIFF\0\0\0\0"[i]);
  kt::WriteAll(dir.File("far.wav"), shifted);
  CWaveFile wav(dir.File("far.wav"));
  EXPECT_EQ(wav.GetError(), 106u);
}

TEST(WaveOpenErrors, MissingTagsGive104Then105Then106) {
  kt::TempDir dir;
  kt::WriteAll(dir.File("a.wav"), Body(100, 'q'));
  EXPECT_EQ(CWaveFile(dir.File("a.wav")).GetError(), 104u);

  std::vector<std::uint8_t> riffOnly;
  kt::PutTag(riffOnly, "RIFF");
  kt::PutLe32(riffOnly, 4);
  kt::PutTag(riffOnly, "WAVE");
  riffOnly.resize(64, 0);
  kt::WriteAll(dir.File("b.wav"), riffOnly);
  EXPECT_EQ(CWaveFile(dir.File("b.wav")).GetError(), 105u);

  auto noData = kt::BuildWav(WavSpec{}, {});
  noData.resize(36);
  kt::WriteAll(dir.File("c.wav"), noData);
  EXPECT_EQ(CWaveFile(dir.File("c.wav")).GetError(), 106u);

  kt::WriteAll(dir.File("d.wav"), {});
  EXPECT_EQ(CWaveFile(dir.File("d.wav")).GetError(), 108u);
  EXPECT_EQ(CWaveFile(dir.File("none.wav")).GetError(), 102u);
}

TEST(WaveOpenErrors, DamagedFormatRecordsAreRefusedWith107) {
  kt::TempDir dir;
  auto check = [&](auto change, const char* what) {
    WavSpec layout;
    change(layout);
    CWaveFile wav(kt::MakeWav(dir, "f.wav", layout, kt::PatternData(400)));
    EXPECT_EQ(wav.GetError(), 107u) << what;
  };
  check([](WavSpec& s) { s.channels = 0, s.blockAlignOverride = 4, s.byteRateOverride = 1; }, "no channels");
  check([](WavSpec& s) { s.byteRateOverride = 0, s.sampleRate = 0; }, "no byte rate");
  check([](WavSpec& s) { s.sampleRate = 0, s.byteRateOverride = 176400; }, "no sample rate");
  check([](WavSpec& s) { s.bitsPerSample = 0, s.blockAlignOverride = 4; }, "PCM without bits");
  check([](WavSpec& s) { s.channels = 4, s.bitsPerSample = 8, s.blockAlignOverride = 2; },
        "frame below one byte a channel");
  // Block align 0: the builder computes it from bits, so write it by hand.
  auto bytes = kt::BuildWav(WavSpec{}, kt::PatternData(400));
  bytes[32] = bytes[33] = 0;
  kt::WriteAll(dir.File("g.wav"), bytes);
  EXPECT_EQ(CWaveFile(dir.File("g.wav")).GetError(), 107u) << "no block align";
}

TEST(WaveDataSize, StreamingAndTruncatedSizesAreCappedAtTheFileButShownAsStored) {
  kt::TempDir dir;
  for (std::uint32_t stored : {0xFFFFFFFFu - 1, 5000u}) {
    WavSpec layout;
    layout.dataSizeOverride = stored;
    CWaveFile wav(kt::MakeWav(dir, "s.wav", layout, kt::PatternData(1000)));
    ASSERT_EQ(wav.GetError(), 0u) << stored;
    EXPECT_EQ(wav.GetDataSize(), 1000u);
    EXPECT_EQ(wav.GetHeaderDataSize(), stored);
    EXPECT_DOUBLE_EQ(wav.GetDuration(), 1000.0 / 176400.0);
    EXPECT_EQ(wav.GetSplitFacts().dataSize, 1000u);
    EXPECT_EQ(wav.GetInformationLines()[7], "Data bytes size - " + std::to_string(stored) + " bytes");
  }
}

TEST(WaveDataSize, HugeFactAndExtraSizesAllocateOnlyWhatTheFileHolds) {
  kt::TempDir dir;
  WavSpec layout;
  layout.formatTag = 2;
  layout.fmtSize = 18;
  layout.fmtExtra = {0xFF, 0xFF};  // claims 65535 extra bytes inside an 18-byte chunk
  layout.before = {Chunk{"fact", {1, 2, 3, 4}, 0x7FFFFFFFu}};
  auto bytes = kt::BuildWav(layout, kt::PatternData(64));
  kt::WriteAll(dir.File("h.wav"), bytes);
  CWaveFile wav(dir.File("h.wav"));
  // The fact size breaks the walk; the tag search reads what the file holds.
  EXPECT_EQ(wav.GetError(), 0u);
  EXPECT_LE(wav.GetFactSize(), bytes.size());
  EXPECT_LE(wav.GetExtraFormatBytes().size(), bytes.size());
}

TEST(WaveInformation, NineLinesOfA10SecondStereoFile) {
  kt::TempDir dir;
  WavSpec layout;
  layout.dataSizeOverride = 1764000;
  // A header claiming 1764000 bytes over a file that holds them.
  const auto path = kt::MakeWav(dir, "ten.wav", layout, std::vector<std::uint8_t>(1764000, 0));
  CWaveFile wav(path);
  ASSERT_EQ(wav.GetError(), 0u);
  EXPECT_EQ(wav.GetInformationLines(), (std::vector<std::string>{
                                           "Filename - ten.wav",
                                           "File size (As in Header) - 1764044 bytes",
                                           "Number of Channels - 2",
                                           "Samples per second - 44100",
                                           "Average bytes per second - 176400 bytes",
                                           "Bits per sample - 16 bits",
                                           "Sample frame size - 4 bytes",
                                           "Data bytes size - 1764000 bytes",
                                           "Playing duration - 10.00 seconds",
                                       }));
}

TEST(WaveExtensible, PcmSubFormatCountsAsPcmAndFloatDoesNot) {
  kt::TempDir dir;
  WavSpec layout;
  layout.formatTag = 0xFFFE;
  layout.channels = 6;
  layout.fmtSize = 40;
  layout.fmtExtra = kt::ExtensibleExtra(16, 0x3F);
  CWaveFile pcm(kt::MakeWav(dir, "x.wav", layout, kt::PatternData(1200)));
  ASSERT_EQ(pcm.GetError(), 0u);
  EXPECT_TRUE(pcm.IsPcm());
  EXPECT_TRUE(pcm.IsExtensible());
  EXPECT_EQ(pcm.GetChannelMask(), 0x3Fu);
  EXPECT_EQ(pcm.GetFormat().extraCount, 22);

  layout.bitsPerSample = 32;
  layout.fmtExtra = kt::ExtensibleExtra(32, 0x3F, false);
  CWaveFile flt(kt::MakeWav(dir, "f.wav", layout, kt::PatternData(2400)));
  ASSERT_EQ(flt.GetError(), 0u);
  EXPECT_FALSE(flt.IsPcm());
}

TEST(WaveEstimate, SplitFactsFeedTheEstimate) {
  kt::TempDir dir;
  WavSpec layout;
  layout.before = {Chunk{"fact", {1, 0, 0, 0}}};
  CWaveFile wav(kt::MakeWav(dir, "e.wav", layout, std::vector<std::uint8_t>(176400 * 4 + 4, 0)));
  ASSERT_EQ(wav.GetError(), 0u);
  const WaveSplitFacts facts = wav.GetSplitFacts();
  EXPECT_EQ(facts.factSize, 4u);
  EXPECT_EQ(facts.blockAlign, 4);
  // 705604 / 2 = 352802, rounded up to 352804; fact chunk: + 56 in all.
  const SplitEstimate e = EstimateWaveSplit(facts, 2);
  EXPECT_EQ(e.error, 0u);
  EXPECT_EQ(e.size, 352804u + 56u);
  EXPECT_DOUBLE_EQ(e.playtime, 352804.0 / 176400.0);
}

TEST(WaveEstimate, OneByteShortOfASecondIs3000AndExactlyOneSecondPasses) {
  WaveSplitFacts facts;
  facts.avgBytesPerSec = 176400;
  facts.blockAlign = 4;
  facts.dataSize = 176400 * 3 - 3;
  EXPECT_EQ(EstimateWaveSplit(facts, 3).error, 3000u);
  facts.dataSize = 176400 * 3;
  EXPECT_EQ(EstimateWaveSplit(facts, 3).error, 0u);
  EXPECT_EQ(EstimateWaveSplit(facts, 3).size, 176400u + 44u);
  EXPECT_EQ(EstimateWaveSplit(facts, 1).error, 3001u);
  EXPECT_EQ(EstimateWaveSplit(facts, 0).error, 3002u);
}

TEST(WaveEstimate, PieceNotOnAFrameIsRoundedUpBeforeSizeAndPlaytime) {
  WaveSplitFacts facts;
  facts.avgBytesPerSec = 100;
  facts.blockAlign = 4;
  facts.dataSize = 1001;
  facts.extraFormatBytes = 2;
  const SplitEstimate e = EstimateWaveSplit(facts, 2);  // per 500 -> 500; 1001/2 = 500
  EXPECT_EQ(e.size, 500u + 44u + 4u);
  facts.dataSize = 1003;  // per 501 -> 504
  EXPECT_EQ(EstimateWaveSplit(facts, 2).size, 504u + 48u);
  EXPECT_DOUBLE_EQ(EstimateWaveSplit(facts, 2).playtime, 5.04);
}

}  // namespace

namespace {

// Damaged headers must open with a code or work, never crash or run away.
TEST(WaveDamagedInput, MutatedHeadersNeverCrashAnyOperation) {
  kt::TempDir dir;
  WavSpec layout;
  layout.before = {kt::Chunk{"fact", {4, 0, 0, 0}}, kt::Chunk{"LIST", std::vector<std::uint8_t>(21, 'i')}};
  const auto good = kt::BuildWav(layout, kt::PatternData(4000));
  std::uint32_t x = 7;
  auto next = [&] { return x = x * 1664525u + 1013904223u; };
  kt::ScriptedOwner owner;
  owner.shred.numberOfSplits = 3;
  owner.shred.baseFilename = dir.File("p");
  int opened = 0;
  for (int round = 0; round < 250; ++round) {
    auto bytes = good;
    for (int k = 0; k < 1 + round % 4; ++k) bytes[next() % 110] = static_cast<std::uint8_t>(next() >> 24);
    if (round % 7 == 0) bytes.resize(next() % bytes.size());
    kt::WriteAll(dir.File("m.wav"), bytes);
    kt::Owned<CWaveFile> wav(dir.File("m.wav"), &owner);
    if (wav.GetError() != 0) continue;
    ++opened;
    EXPECT_LE(wav.GetDataOffset() + wav.GetDataSize(), bytes.size());
    wav.ConvertTo8Bit(dir.File("a.wav"), nullptr);
    wav.ConvertTo16Bit(dir.File("b.wav"), nullptr);
    wav.RipChannels(0x03, dir.File("c.wav"), nullptr);
    wav.SaveSelection(dir.File("d.wav"), 0, 1, nullptr);
    wav.SplitEqually(nullptr);
    EXPECT_FALSE(wav.GetInformationLines().empty());
  }
  EXPECT_GT(opened, 30);
}

// An operation on a source without a whole sample frame would write no
// audio: it fails with 108 and creates nothing, as does a selection that
// starts at the end.
TEST(WaveNoAudio, OperationsThatWouldWriteNoAudioFailWith108AndCreateNothing) {
  kt::TempDir dir;
  using Run = std::function<AudioError(kt::Owned<CWaveFile>&, const std::string&)>;
  const std::pair<const char*, Run> operations[] = {
      {"selection",
       [](kt::Owned<CWaveFile>& w, const std::string& o) { return w.SaveSelection(o, 0, 1, nullptr); }},
      {"to 8 bit", [](kt::Owned<CWaveFile>& w, const std::string& o) { return w.ConvertTo8Bit(o, nullptr); }},
      {"rip", [](kt::Owned<CWaveFile>& w, const std::string& o) { return w.RipChannels(1, o, nullptr); }},
      {"to mp3",
       [](kt::Owned<CWaveFile>& w, const std::string& o) {
         w.ConvertToMp3(o, nullptr, Mp3EncodeSettings{});
         return w.GetError();
       }},
      {"split",
       [](kt::Owned<CWaveFile>& w, const std::string& o) {
         w.Owner()->shred.baseFilename = o;
         return w.SplitEqually(nullptr);
       }},
  };
  for (const std::size_t audio : {std::size_t{0}, std::size_t{3}}) {  // less than one 4-byte frame
    for (const auto& [what, run] : operations) {
      SCOPED_TRACE(std::string(what) + " " + std::to_string(audio));
      kt::ScriptedOwner owner;
      owner.shred.numberOfSplits = 2;
      kt::Owned<CWaveFile> wav(kt::MakeWav(dir, "empty.wav", WavSpec{}, kt::PatternData(audio)), &owner);
      ASSERT_EQ(wav.GetError(), 0u);
      EXPECT_EQ(run(wav, dir.File("out")), err::kZeroLength);
      EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);
      EXPECT_TRUE(owner.messages.empty());
    }
  }
  CWaveFile wav(kt::MakeWav(dir, "one.wav", WavSpec{}, kt::PatternData(176400)));
  EXPECT_EQ(wav.SaveSelection(dir.File("late.wav"), 1, 2, nullptr).error, err::kZeroLength);
  EXPECT_FALSE(fs::exists(dir.File("late.wav")));
}

}  // namespace
