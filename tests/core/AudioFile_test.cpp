#include "core/AudioFile.h"

#include <gtest/gtest.h>

#include "core/PeakSource.h"
#include "core/TimeText.h"
#include "core/open/Formats.h"
#include "support/TestSupport.h"

namespace {

// The smallest concrete audio file: exposes the shared helpers.
class ProbeFile : public CAudioFile {
 public:
  using CAudioFile::CAudioFile;
  ProbeFile(const std::string& path, std::nullptr_t) : CAudioFile(path) {}
  const CAudioFormat& Format() const override { return *FormatNamed("WAV"); }
  std::uint32_t GetSampleRate() const override { return 22050; }
  std::uint16_t GetChannels() const override { return 1; }
  std::uint16_t GetBitsPerSample() const override { return 16; }
  std::uint64_t GetSampleCount() const override { return 0; }
  std::uint64_t CountDecodedSamples() override { return 0; }
  std::vector<std::string> GetInformationLines() const override { return {}; }
  FactObject DescribeFacts() override { return {}; }
  SplitEstimate EstimateSplit(std::uint32_t) const override { return {}; }
  OperationResult SplitEqually(const ShredRequest&, CProgress*) override { return {error}; }
  OperationResult SaveSelectionSamples(const std::string&, std::uint64_t first, std::uint64_t end,
                                       CProgress*) override {
    asked = {first, end};
    return {error};
  }
  std::uint64_t DecodeSpan(std::uint64_t, std::uint64_t, CPcmSink&) override { return 0; }
  split::WindowLevels ScanLevels(const split::LevelScanOptions&, split::LevelScanStats*) override {
    return {};
  }
  std::unique_ptr<peaks::CPeakSource> MakePeakSource(std::string&) override { return nullptr; }
  bool Offers(Conversion) const override { return false; }
  std::pair<std::uint64_t, std::uint64_t> asked;
  bool Find(const char* tag) { return FindChunk(tag); }
  std::uint64_t Copy(CFile& out, std::uint32_t n, CProgress* p, const CFile::CopyObserver* seen = nullptr) {
    return CopyData(out, n, p, seen);
  }
  CFile& Source() { return file; }
};

TEST(AudioFileSelection, WholeSecondsAreSamplesAtTheFilesRateAndOverlapKeepsBothForms) {
  kt::TempDir dir;
  ProbeFile f(dir.File("missing.wav"), nullptr);
  f.SaveSelection("x", 3, 4294967295u, nullptr);
  EXPECT_EQ(f.asked.first, 66150u);
  EXPECT_EQ(f.asked.second, 4294967295ull * 22050) << "no 32-bit overflow";
  f.SetOverlapTime(7);
  EXPECT_EQ(f.GetOverlapMicros(), 7000000u);
  f.SetOverlapMicros(2499999);
  EXPECT_EQ(f.GetOverlapTime(), 2u);
  f.SetOverlapMicros(2500000);
  EXPECT_EQ(f.GetOverlapTime(), 3u);
  f.SetOverlapMicros(UINT64_MAX);
  EXPECT_EQ(f.GetOverlapMicros(), timetext::kMaxMicros);
  EXPECT_EQ(f.GetOverlapTime(), 360000000u);
}

TEST(AudioFileOpen, MissingPathGives102AndNothingElse) {
  kt::TempDir dir;
  ProbeFile f(dir.File("missing.wav"), nullptr);
  EXPECT_EQ(f.GetError(), 102u);
}

TEST(AudioFileOpen, EmptyFileGives108) {
  kt::TempDir dir;
  kt::WriteAll(dir.File("empty.wav"), {});
  ProbeFile f(dir.File("empty.wav"), nullptr);
  EXPECT_EQ(f.GetError(), 108u);
}

TEST(AudioFileFindChunk, FindsTagStartingAtByte996ButNot997) {
  kt::TempDir dir;
  for (std::size_t at : {996u, 997u}) {
    std::vector<std::uint8_t> bytes(at, 'x');
    kt::PutTag(bytes, "data");
    bytes.resize(2000, 'y');
    kt::WriteAll(dir.File("f.wav"), bytes);
    ProbeFile f(dir.File("f.wav"), nullptr);
    f.Source().Seek(1500, CFile::From::Begin);
    const bool found = f.Find("data");
    EXPECT_EQ(found, at == 996) << at;
    EXPECT_EQ(f.Source().GetPosition(), found ? at : 1500u) << at;
  }
}

TEST(AudioFileFindChunk, BreakingByteIsNotComparedAgain) {
  kt::TempDir dir;
  kt::WriteAll(dir.File("f.wav"), {'R', 'R', 'I', 'F', 'F', 0, 0, 0});
  ProbeFile f(dir.File("f.wav"), nullptr);
  EXPECT_FALSE(f.Find("RIFF"));
}

TEST(AudioFileCopyData, CopiesPartialBlockFirstAndStepsPerFullBlock) {
  kt::TempDir dir;
  const auto data = kt::PatternData(30000);
  kt::WriteAll(dir.File("src.bin"), data);
  ProbeFile f(dir.File("src.bin"), nullptr);
  CFile out;
  ASSERT_TRUE(out.Open(dir.File("out.bin"), CFile::Mode::CreateReadWrite));
  kt::RecordingProgress progress;
  progress.SetFileCount(1);
  progress.SetFileRange(25000, 10000);
  f.Source().Seek(100, CFile::From::Begin);
  EXPECT_EQ(f.Copy(out, 25000, &progress), 25000u);
  out.Close();
  EXPECT_EQ(progress.fileSteps, 2u);
  EXPECT_EQ(kt::ReadAll(dir.File("out.bin")),
            std::vector<std::uint8_t>(data.begin() + 100, data.begin() + 25100));
}

TEST(AudioFileCopyData, StopsAtEndOfSourceWithoutError) {
  kt::TempDir dir;
  kt::WriteAll(dir.File("src.bin"), kt::PatternData(12345));
  ProbeFile f(dir.File("src.bin"), nullptr);
  CFile out;
  ASSERT_TRUE(out.Open(dir.File("out.bin"), CFile::Mode::CreateReadWrite));
  EXPECT_EQ(f.Copy(out, 50000, nullptr), 12345u);
  out.Close();
  EXPECT_EQ(kt::ReadAll(dir.File("out.bin")).size(), 12345u);
}

TEST(AudioFileCopyData, CancelStopsAfterTheCurrentBlock) {
  kt::TempDir dir;
  kt::WriteAll(dir.File("src.bin"), kt::PatternData(100000));
  ProbeFile f(dir.File("src.bin"), nullptr);
  CFile out;
  ASSERT_TRUE(out.Open(dir.File("out.bin"), CFile::Mode::CreateReadWrite));
  kt::RecordingProgress progress;
  progress.SetFileCount(1);
  progress.SetFileRange(100000, 10000);
  progress.cancelAfterFileSteps = 3;
  f.Copy(out, 100000, &progress);
  out.Close();
  // The 10000-byte first "partial" block is empty, then three full blocks.
  EXPECT_EQ(kt::ReadAll(dir.File("out.bin")).size(), 30000u);
}

TEST(AudioFileCopyData, LargeCopyIsByteExact) {
  kt::TempDir dir;
  const auto data = kt::PatternData(20'000'003);
  kt::WriteAll(dir.File("src.bin"), data);
  ProbeFile f(dir.File("src.bin"), nullptr);
  CFile out;
  ASSERT_TRUE(out.Open(dir.File("out.bin"), CFile::Mode::CreateReadWrite));
  out.Write("HEAD", 4);
  f.Source().Seek(3, CFile::From::Begin);
  EXPECT_EQ(f.Copy(out, 20'000'000, nullptr), 20'000'000u);
  out.Close();
  const auto got = kt::ReadAll(dir.File("out.bin"));
  ASSERT_EQ(got.size(), 20'000'004u);
  EXPECT_TRUE(std::equal(got.begin() + 4, got.end(), data.begin() + 3));
}

// A watched copy (the MP3 pieces' frame walk) sees every byte written, in
// order, whether it came from the read buffer, a small remainder or the
// large transfers; the bytes written are those of a plain copy.
TEST(AudioFileCopyData, AWatchedCopySeesExactlyTheBytesItWrites) {
  kt::TempDir dir;
  const auto data = kt::PatternData(3'000'007);
  kt::WriteAll(dir.File("src.bin"), data);
  struct Case {
    const char* name;
    std::size_t readFirst;  // bytes read before the copy, so some come from the read buffer
    std::size_t from, count;
  };
  const Case cases[] = {
      {"small", 0, 100, 25000},
      {"large, after the read buffer", 10, 13, 2'900'000},
      {"past the end", 0, 2'999'000, 20000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ProbeFile f(dir.File("src.bin"), nullptr);
    CFile out;
    ASSERT_TRUE(out.Open(dir.File("out.bin"), CFile::Mode::CreateReadWrite));
    out.Write("HEAD", 4);
    std::vector<std::uint8_t> seen, first(c.readFirst);
    const CFile::CopyObserver watch = [&seen](const std::uint8_t* bytes, std::size_t n) {
      seen.insert(seen.end(), bytes, bytes + n);
    };
    f.Source().Seek(static_cast<std::int64_t>(c.from - c.readFirst), CFile::From::Begin);
    f.Source().Read(first.data(), first.size());
    const std::uint64_t copied = f.Copy(out, static_cast<std::uint32_t>(c.count), nullptr, &watch);
    out.Close();
    const std::size_t expected = std::min(c.count, data.size() - c.from);
    EXPECT_EQ(copied, expected);
    const std::vector<std::uint8_t> slice(data.begin() + c.from, data.begin() + c.from + expected);
    EXPECT_EQ(seen, slice);
    const auto got = kt::ReadAll(dir.File("out.bin"));
    EXPECT_EQ(std::vector<std::uint8_t>(got.begin() + 4, got.end()), slice);
  }
}

}  // namespace
