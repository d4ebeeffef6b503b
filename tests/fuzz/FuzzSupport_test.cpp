// The fuzz harnesses' support, built by the product's compiler: its cancel
// point still stops an engine operation (else the harnesses would never
// reach the cancelled paths), and the operation driver takes valid WAV and
// MP3 files through every operation and cancel choice without a finding,
// leaving nothing but the input in a scratch folder where it was told.
#include "FuzzSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "core/wav/WaveFile.h"
#include "support/Mp3Builder.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

TEST(FuzzSupport, TheCancelPointStopsAnOperationAtThatFileStep) {
  kt::TempDir dir;
  const std::string source = kt::PatternWav(dir, "in.wav", 3);
  CWaveFile whole(source);
  fz::FuzzProgress uncancelled(0);
  whole.ConvertTo8Bit(dir.File("whole.wav"), &uncancelled);
  ASSERT_GT(uncancelled.Steps(), 5u);

  CWaveFile wav(source);
  fz::FuzzProgress progress(3);
  wav.ConvertTo8Bit(dir.File("cut.wav"), &progress);
  EXPECT_EQ(progress.Steps(), 3u);
  EXPECT_TRUE(progress.IsCancelled());
}

TEST(FuzzSupport, EveryOperationRunsInTheGivenScratchFolderAndLeavesOnlyTheInput) {
  kt::TempDir dir;
  ASSERT_EQ(setenv("KESTRUNE_FUZZ_SCRATCH", dir.Path().c_str(), 1), 0);
  ASSERT_EQ(fs::path(fz::Scratch()).parent_path(), dir.Path());

  kt::WavSpec mono8;
  mono8.channels = 1;
  mono8.bitsPerSample = 8;
  mono8.sampleRate = 8000;
  kt::LameSpec lame;
  lame.sampleRate = 22050;
  lame.channels = 1;
  lame.bitrate = 32;
  const struct {
    const char* extension;
    std::vector<std::uint8_t> file;
  } inputs[] = {{".wav", kt::BuildWav(mono8, kt::PatternData(8000 * 3))},
                {".mp3", kt::EncodedSine(2.0, lame)}};
  for (const auto& input : inputs) {
    for (int op = 0; op < fz::kMostOperations; ++op) {
      for (std::uint8_t cancel : {0x00, 0x80}) {
        SCOPED_TRACE(std::string(input.extension) + " operation " + std::to_string(op | cancel));
        std::vector<std::uint8_t> bytes = {static_cast<std::uint8_t>(op | cancel), 3, 1, 6};
        bytes.insert(bytes.end(), input.file.begin(), input.file.end());
        EXPECT_EQ(fz::RunOperations(input.extension, bytes.data(), bytes.size()), 0);
        std::vector<std::string> left;
        for (const auto& entry : fs::directory_iterator(fz::Scratch()))
          left.push_back(entry.path().filename().string());
        EXPECT_EQ(left, std::vector<std::string>{std::string("input") + input.extension});
      }
    }
  }
}
