#include <gtest/gtest.h>

#include <filesystem>

#include "core/SampleConvert.h"
#include "core/wav/WaveFile.h"
#include "support/TestSupport.h"
#include "support/WaveExpect.h"

namespace {

using kt::WavSpec;

TEST(SampleConverters, WideningAndNarrowingKeepLevelAndCentre) {
  const std::uint8_t bytes[] = {0, 128, 255};
  std::int16_t wide[3];
  WidenSamples(bytes, wide, 3);
  EXPECT_EQ(wide[0], -32768);
  EXPECT_EQ(wide[1], 0);
  EXPECT_EQ(wide[2], 32512);
  const std::int16_t samples[] = {-32768, -385, -256, -1, 0, 255, 256, 32767};
  std::uint8_t narrow[8];
  NarrowSamples(samples, narrow, 8);
  EXPECT_EQ(std::vector<std::uint8_t>(narrow, narrow + 8),
            (std::vector<std::uint8_t>{0, 126, 127, 127, 128, 128, 129, 255}));
}

TEST(SampleConverters, NarrowingAWidenedSampleGivesTheByteBackForAllBytes) {
  std::uint8_t bytes[256], back[256];
  std::int16_t wide[256];
  for (int i = 0; i < 256; ++i) bytes[i] = static_cast<std::uint8_t>(i);
  WidenSamples(bytes, wide, 256);
  NarrowSamples(wide, back, 256);
  EXPECT_EQ(std::vector<std::uint8_t>(back, back + 256), std::vector<std::uint8_t>(bytes, bytes + 256));
}

TEST(SampleConverters, ByteLayoutVersionsAgreeWithTheSampleVersionsForEveryValue) {
  std::vector<std::int16_t> all(65536);
  std::vector<std::uint8_t> le;
  for (int v = 0; v < 65536; ++v) {
    all[v] = static_cast<std::int16_t>(v - 32768);
    kt::PutLe16(le, static_cast<std::uint16_t>(all[v]));
  }
  std::vector<std::uint8_t> a(65536), b(65536);
  NarrowSamples(all.data(), a.data(), all.size());
  NarrowFromLe16(le.data(), b.data(), all.size());
  EXPECT_EQ(a, b);
  std::vector<std::uint8_t> bytes(256), wideLe(512), expect;
  std::vector<std::int16_t> wide(256);
  for (int i = 0; i < 256; ++i) bytes[i] = static_cast<std::uint8_t>(i);
  WidenSamples(bytes.data(), wide.data(), 256);
  WidenToLe16(bytes.data(), wideLe.data(), 256);
  for (auto s : wide) kt::PutLe16(expect, static_cast<std::uint16_t>(s));
  EXPECT_EQ(wideLe, expect);
}

struct ConvertFixture : ::testing::Test {
  kt::TempDir dir;
  kt::RecordingProgress progress;
  std::vector<std::uint8_t> data;
  std::string Make(const WavSpec& layout, std::vector<std::uint8_t> audio,
                   const std::string& name = "in.wav") {
    data = std::move(audio);
    return kt::MakeWav(dir, name, layout, data);
  }
  std::string Out(const std::string& name = "out.wav") const { return dir.File(name); }
};

std::vector<std::uint8_t> Widened(const std::vector<std::uint8_t>& in) {
  std::vector<std::uint8_t> out;
  for (auto b : in) kt::PutLe16(out, static_cast<std::uint16_t>((b - 128) * 256));
  return out;
}

TEST_F(ConvertFixture, To16BitOfAn8BitStereoFileWritesTheNewHeaderAndWidenedAudioOnly) {
  WavSpec layout;
  layout.sampleRate = 22050;
  layout.bitsPerSample = 8;
  layout.after = {kt::Chunk{"LIST", std::vector<std::uint8_t>(200, 'L')}};
  CWaveFile wav(Make(layout, kt::PatternData(44100)));
  ASSERT_EQ(wav.ConvertTo16Bit(Out(), &progress), 0u);
  const auto bytes = kt::ReadAll(Out());
  EXPECT_EQ(kt::Slice(bytes, 0, 44), kt::CanonicalHeader(2, 22050, 16, 88200));
  EXPECT_EQ(kt::Slice(bytes, 44), Widened(data));  // and nothing of the LIST chunk
  const std::vector<std::string> want = {
      "Start",           "SetTitle Converting to 16 bit WAV file...", "SetFileCount 1",
      "SetFileNumber 1", "SetConvertingText in.wav out.wav",          "SetFileRange 44100 2000"};
  EXPECT_EQ(progress.calls, want);
  EXPECT_EQ(progress.fileSteps, 44100u / 2000 + 1);
}

TEST_F(ConvertFixture, To8BitOfAnOddSizedFileNarrowsWholeSamplesOnly) {
  WavSpec layout;
  layout.channels = 1;
  CWaveFile wav(Make(layout, kt::PatternData(1001)));
  ASSERT_EQ(wav.ConvertTo8Bit(Out(), &progress), 0u);
  const auto bytes = kt::ReadAll(Out());
  EXPECT_EQ(kt::Slice(bytes, 0, 44), kt::CanonicalHeader(1, 44100, 8, 500));
  ASSERT_EQ(bytes.size(), 544u);
  for (std::size_t i = 0; i < 500; ++i) ASSERT_EQ(bytes[44 + i], data[2 * i + 1] ^ 0x80) << i;
}

TEST_F(ConvertFixture, LargeFilesConvertAcrossManyBlocksWithOneStepPerBlock) {
  WavSpec layout;
  CWaveFile wav(Make(layout, kt::PatternData(3000002)));
  ASSERT_EQ(wav.ConvertTo8Bit(Out(), &progress), 0u);
  const auto bytes = kt::ReadAll(Out());
  // The half frame at the end of the source is left out.
  ASSERT_EQ(bytes.size(), 44u + 1500000);
  std::vector<std::uint8_t> expect(1500000);
  NarrowFromLe16(data.data(), expect.data(), expect.size());
  EXPECT_EQ(kt::Slice(bytes, 44), expect);
  EXPECT_EQ(progress.fileSteps, 3000002u / 4000 + 1);

  kt::RecordingProgress back;
  CWaveFile narrow(Out());
  ASSERT_EQ(narrow.ConvertTo16Bit(Out("wide.wav"), &back), 0u);
  EXPECT_EQ(kt::Slice(kt::ReadAll(Out("wide.wav")), 44), Widened(expect));
}

TEST_F(ConvertFixture, WrongDepthCompressedSourceAndOwnSourceAreRefusedBeforeAnyOutput) {
  WavSpec layout;
  const std::string s16 = Make(layout, kt::PatternData(400), "s16.wav");
  CWaveFile wide(s16);
  EXPECT_EQ(wide.ConvertTo16Bit(Out(), &progress), 125u);
  EXPECT_EQ(wide.ConvertTo8Bit(s16, &progress), 119u);
  EXPECT_EQ(wide.ConvertTo8Bit(Out("none/x.wav"), &progress), 103u);

  layout.bitsPerSample = 8;
  CWaveFile small(Make(layout, kt::PatternData(400), "s8.wav"));
  EXPECT_EQ(small.ConvertTo8Bit(Out(), &progress), 129u);

  WavSpec alaw;
  alaw.formatTag = 6;
  alaw.bitsPerSample = 8;
  alaw.fmtSize = 18;
  CWaveFile law(Make(alaw, kt::PatternData(400), "alaw.wav"));
  ASSERT_EQ(law.GetError(), 0u);
  EXPECT_EQ(law.ConvertTo16Bit(Out(), &progress), 117u);
  EXPECT_EQ(law.RipChannels(1, Out(), &progress), 117u);
  WavSpec mono;
  mono.channels = 1;
  CWaveFile one(Make(mono, kt::PatternData(400), "mono.wav"));
  EXPECT_EQ(one.RipChannels(1, Out(), &progress), 116u);
  EXPECT_EQ(one.GetError(), 116u);
  EXPECT_TRUE(progress.calls.empty());
  EXPECT_FALSE(std::filesystem::exists(Out()));
}

std::vector<std::uint8_t> Frames16(std::uint32_t frames, std::uint16_t channels) {
  std::vector<std::uint8_t> out;
  for (std::uint32_t f = 0; f < frames; ++f)
    for (std::uint16_t c = 0; c < channels; ++c) kt::PutLe16(out, static_cast<std::uint16_t>(f * 16 + c));
  return out;
}

std::vector<std::uint8_t> Pick16(std::uint32_t frames, std::vector<std::uint16_t> channels) {
  std::vector<std::uint8_t> out;
  for (std::uint32_t f = 0; f < frames; ++f)
    for (auto c : channels) kt::PutLe16(out, static_cast<std::uint16_t>(f * 16 + c));
  return out;
}

TEST_F(ConvertFixture, RipOfTheRightChannelAndOfBothChannels) {
  WavSpec layout;
  layout.after = {kt::Chunk{"LIST", std::vector<std::uint8_t>(64, 'L')}};
  CWaveFile wav(Make(layout, Frames16(3001, 2)));
  ASSERT_EQ(wav.RipChannels(0x02, Out(), &progress), 0u);
  auto bytes = kt::ReadAll(Out());
  EXPECT_EQ(kt::Slice(bytes, 0, 44), kt::CanonicalHeader(1, 44100, 16, 3001 * 2));
  EXPECT_EQ(kt::Slice(bytes, 44), Pick16(3001, {1}));
  EXPECT_EQ(progress.calls.at(1), "SetTitle Ripping Channels...");
  EXPECT_EQ(progress.calls.at(5), "SetFileRange 12004 4000");

  ASSERT_EQ(wav.RipChannels(0x03, Out("both.wav"), nullptr), 0u);
  bytes = kt::ReadAll(Out("both.wav"));
  EXPECT_EQ(kt::Slice(bytes, 0, 44), kt::CanonicalHeader(2, 44100, 16, 12004));
  EXPECT_EQ(kt::Slice(bytes, 44), data);
}

TEST_F(ConvertFixture, RipOfChannelsOneAndThreeOfAFourChannelFile) {
  WavSpec layout;
  layout.channels = 4;
  CWaveFile wav(Make(layout, Frames16(2500, 4)));
  ASSERT_EQ(wav.RipChannels(0x05, Out(), nullptr), 0u);
  const auto bytes = kt::ReadAll(Out());
  EXPECT_EQ(kt::Slice(bytes, 0, 44), kt::CanonicalHeader(2, 44100, 16, 2500 * 4));
  EXPECT_EQ(kt::GetLe16(bytes, 32), 4);
  EXPECT_EQ(kt::Slice(bytes, 44), Pick16(2500, {0, 2}));
}

TEST_F(ConvertFixture, RipOfTheEighthChannelAndMaskBitsOfMissingChannelsAreIgnored) {
  WavSpec layout;
  layout.channels = 8;
  CWaveFile wav(Make(layout, Frames16(1200, 8)));
  ASSERT_EQ(wav.RipChannels(0x80, Out(), nullptr), 0u);
  EXPECT_EQ(kt::Slice(kt::ReadAll(Out()), 44), Pick16(1200, {7}));

  WavSpec stereo;
  CWaveFile two(Make(stereo, Frames16(100, 2), "two.wav"));
  ASSERT_EQ(two.RipChannels(0x0D, Out("two-out.wav"), nullptr), 0u);  // left, plus channels 3 and 4 it lacks
  const auto bytes = kt::ReadAll(Out("two-out.wav"));
  EXPECT_EQ(kt::Slice(bytes, 0, 44), kt::CanonicalHeader(1, 44100, 16, 200));
  EXPECT_EQ(kt::Slice(bytes, 44), Pick16(100, {0}));
}

TEST_F(ConvertFixture, RipOfA24BitFileKeepsThreeByteSamplesAndDropsAPartialFrame) {
  WavSpec layout;
  layout.channels = 3;
  layout.bitsPerSample = 24;
  auto audio = kt::PatternData(9 * 1500 + 5);
  CWaveFile wav(Make(layout, audio));
  ASSERT_EQ(wav.RipChannels(0x06, Out(), nullptr), 0u);
  const auto bytes = kt::ReadAll(Out());
  EXPECT_EQ(kt::Slice(bytes, 0, 44), kt::CanonicalHeader(2, 44100, 24, 1500 * 6));
  std::vector<std::uint8_t> expect;
  for (std::size_t f = 0; f < 1500; ++f)
    expect.insert(expect.end(), audio.begin() + f * 9 + 3, audio.begin() + f * 9 + 9);
  EXPECT_EQ(kt::Slice(bytes, 44), expect);
}

std::vector<std::uint8_t> ExtensibleHeader(std::uint16_t channels, std::uint16_t bits, std::uint32_t rate,
                                           std::uint32_t mask, std::uint32_t dataSize) {
  std::vector<std::uint8_t> h;
  const std::uint16_t align = static_cast<std::uint16_t>(channels * bits / 8);
  kt::PutTag(h, "RIFF");
  kt::PutLe32(h, dataSize + 60);
  kt::PutTag(h, "WAVE");
  kt::PutTag(h, "fmt ");
  kt::PutLe32(h, 40);
  kt::PutLe16(h, 0xFFFE);
  kt::PutLe16(h, channels);
  kt::PutLe32(h, rate);
  kt::PutLe32(h, rate * align);
  kt::PutLe16(h, align);
  kt::PutLe16(h, bits);
  const auto extra = kt::ExtensibleExtra(bits, mask);
  h.insert(h.end(), extra.begin(), extra.end());
  kt::PutTag(h, "data");
  kt::PutLe32(h, dataSize);
  return h;
}

WavSpec Extensible(std::uint16_t channels, std::uint16_t bits, std::uint32_t mask) {
  WavSpec layout;
  layout.formatTag = 0xFFFE;
  layout.channels = channels;
  layout.bitsPerSample = bits;
  layout.fmtSize = 40;
  layout.fmtExtra = kt::ExtensibleExtra(bits, mask);
  return layout;
}

TEST_F(ConvertFixture, ExtensiblePcmSixChannelsRipsToPlainStereoPcm) {
  CWaveFile wav(Make(Extensible(6, 16, 0x3F), Frames16(1000, 6)));
  ASSERT_EQ(wav.GetError(), 0u);
  ASSERT_EQ(wav.RipChannels(0x05, Out(), nullptr), 0u);
  const auto bytes = kt::ReadAll(Out());
  EXPECT_EQ(kt::Slice(bytes, 0, 44), kt::CanonicalHeader(2, 44100, 16, 4000));
  EXPECT_EQ(kt::Slice(bytes, 44), Pick16(1000, {0, 2}));
}

TEST_F(ConvertFixture, ExtensibleRipToMoreChannelsKeepsOnlyTheChosenSpeakerBits) {
  // FL FR FC LFE SL SR: 0x60F; channels 1, 5 and 6 are FL, SL and SR.
  CWaveFile wav(Make(Extensible(6, 16, 0x60F), Frames16(900, 6)));
  ASSERT_EQ(wav.RipChannels(0x31, Out(), nullptr), 0u);
  const auto bytes = kt::ReadAll(Out());
  EXPECT_EQ(kt::Slice(bytes, 0, 68), ExtensibleHeader(3, 16, 44100, 0x601, 900 * 6));
  EXPECT_EQ(kt::Slice(bytes, 68), Pick16(900, {0, 4, 5}));
  CWaveFile reopened(Out());
  EXPECT_TRUE(reopened.IsPcm());
  EXPECT_EQ(reopened.GetChannelMask(), 0x601u);
}

TEST_F(ConvertFixture, ExtensibleStereo24BitRipStaysExtensible) {
  CWaveFile wav(Make(Extensible(4, 24, 0x33), kt::PatternData(12 * 100)));
  ASSERT_EQ(wav.RipChannels(0x0C, Out(), nullptr), 0u);
  EXPECT_EQ(kt::Slice(kt::ReadAll(Out()), 0, 68), ExtensibleHeader(2, 24, 44100, 0x30, 600));
}

TEST_F(ConvertFixture, ExtensibleBitDepthConversionUpdatesTheValidBits) {
  CWaveFile wav(Make(Extensible(2, 16, 0x3), kt::PatternData(4000)));
  ASSERT_EQ(wav.ConvertTo8Bit(Out(), nullptr), 0u);
  auto bytes = kt::ReadAll(Out());
  EXPECT_EQ(kt::Slice(bytes, 0, 68), ExtensibleHeader(2, 8, 44100, 0x3, 2000));
  CWaveFile narrow(Out());
  ASSERT_EQ(narrow.ConvertTo16Bit(Out("back.wav"), nullptr), 0u);
  EXPECT_EQ(kt::Slice(kt::ReadAll(Out("back.wav")), 0, 68), ExtensibleHeader(2, 16, 44100, 0x3, 4000));
}

TEST_F(ConvertFixture, ExtensibleFloatIsRefusedAsCompressed) {
  WavSpec layout = Extensible(6, 32, 0x3F);
  layout.fmtExtra = kt::ExtensibleExtra(32, 0x3F, false);
  CWaveFile wav(Make(layout, kt::PatternData(2400)));
  EXPECT_EQ(wav.RipChannels(0x01, Out(), nullptr), 117u);
}

TEST_F(ConvertFixture, CancelKeepsTheBlocksWrittenWithTheirOwnSizesInTheHeader) {
  WavSpec layout;
  layout.bitsPerSample = 8;
  CWaveFile wav(Make(layout, kt::PatternData(20000)));
  progress.cancelAfterFileSteps = 3;
  ASSERT_EQ(wav.ConvertTo16Bit(Out(), &progress), 0u);
  const auto bytes = kt::ReadAll(Out());
  EXPECT_EQ(kt::Slice(bytes, 0, 44), kt::CanonicalHeader(2, 44100, 16, 4 * 4000));
  // Three blocks stepped, the fourth transformed and written before the
  // cancel is seen.
  EXPECT_EQ(bytes.size(), 44u + 4 * 4000);
  EXPECT_EQ(kt::Slice(bytes, 44), Widened(kt::Slice(data, 0, 8000)));
}

TEST_F(ConvertFixture, DiskFullDuringAConversionRaisesTheFileFailureAndClosesTheOutput) {
  WavSpec layout;
  kt::DiskFullAfter disk(500000);
  CWaveFile wav(Make(layout, kt::PatternData(3000000)), &disk);
  EXPECT_THROW(wav.RipChannels(0x01, Out(), &progress), CFileException);
  EXPECT_EQ(wav.GetError(), 0u);
  // The seam fails the header's rewrite too: the output went.
  EXPECT_FALSE(std::filesystem::exists(Out()));
  disk.Clear();
  EXPECT_EQ(wav.ConvertTo8Bit(Out("next.wav"), nullptr), 0u);
}

}  // namespace
