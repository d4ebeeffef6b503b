#include "core/wav/WaveHeader.h"

#include <gtest/gtest.h>

#include "core/File.h"
#include "support/TestSupport.h"

namespace {

std::vector<std::uint8_t> Expected(std::uint16_t channels, std::uint32_t rate, std::uint32_t length) {
  std::vector<std::uint8_t> h;
  kt::PutTag(h, "RIFF");
  kt::PutLe32(h, length - 8);
  kt::PutTag(h, "WAVE");
  kt::PutTag(h, "fmt ");
  kt::PutLe32(h, 16);
  kt::PutLe16(h, 1);
  kt::PutLe16(h, channels);
  kt::PutLe32(h, rate);
  kt::PutLe32(h, channels * rate * 2);
  kt::PutLe16(h, channels * 2);
  kt::PutLe16(h, 16);
  kt::PutTag(h, "data");
  kt::PutLe32(h, length - 44);
  return h;
}

TEST(FixedWaveHeader, LayoutIsByteExactForStereoAndMono) {
  for (std::uint16_t channels : {1, 2}) {
    const auto h = BuildFixedWaveHeader(channels, 44100, 44 + 17640);
    EXPECT_EQ(std::vector<std::uint8_t>(h.begin(), h.end()), Expected(channels, 44100, 44 + 17640))
        << channels;
  }
}

TEST(FixedWaveHeader, HeaderBeforeAnyAudioSaysNoAudioInsteadOfWrappedSize) {
  const auto h = BuildFixedWaveHeader(2, 48000, 0);
  EXPECT_EQ(std::vector<std::uint8_t>(h.begin(), h.end()), Expected(2, 48000, 44));
}

TEST(FixedWaveHeader, RewriteAfterAudioTakesSizesFromFileLengthAndKeepsPosition) {
  kt::TempDir dir;
  CFile out;
  ASSERT_TRUE(out.Open(dir.File("o.wav"), CFile::Mode::CreateReadWrite));
  WriteFixedWaveHeader(out, 2, 22050);
  EXPECT_EQ(out.GetPosition(), 44u);
  const std::vector<std::uint8_t> audio(1000, 7);
  out.Write(audio.data(), audio.size());
  WriteFixedWaveHeader(out, 2, 22050);
  EXPECT_EQ(out.GetPosition(), 1044u);
  out.Close();
  const auto bytes = kt::ReadAll(dir.File("o.wav"));
  ASSERT_EQ(bytes.size(), 1044u);
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 44), Expected(2, 22050, 1044));
  EXPECT_EQ(bytes[44], 7);
}

}  // namespace
