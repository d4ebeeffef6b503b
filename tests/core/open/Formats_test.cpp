// Every registered format through the one format interface: a source made
// for it opens with the facts it was made with, the decode of any span is
// that span of the whole decode, and a span written as a new file of the
// format reopens and decodes to the same samples.

#include "core/open/Formats.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/AudioFile.h"
#include "core/PcmSink.h"
#include "support/GaplessCheck.h"
#include "support/TestSupport.h"

namespace {

constexpr std::uint32_t kRate = 44100;
constexpr std::uint16_t kChannels = 2;
constexpr double kSeconds = 3.0;

class CollectingSink : public CPcmSink {
 public:
  void Write(const std::uint8_t* bytes, std::size_t count) override {
    pcm.insert(pcm.end(), bytes, bytes + count);
  }
  std::vector<std::uint8_t> pcm;
};

// A source of each format, made from the same music.
using SourceMaker = std::function<std::string(const kt::TempDir& dir, const std::string& wav)>;
const std::map<std::string, SourceMaker>& Makers() {
  static const std::map<std::string, SourceMaker> makers{
      {"WAV", [](const kt::TempDir&, const std::string& wav) { return wav; }},
      {"MP3",
       [](const kt::TempDir& dir, const std::string& wav) {
         return kt::LameEncode(dir, "source.mp3", wav, {"-b", "128", "--silent"});
       }},
      {"FLAC", [](const kt::TempDir& dir, const std::string& wav) { return kt::FlacEncode(dir, "source.flac", wav); }},
  };
  return makers;
}

std::vector<std::uint8_t> Decode(CAudioFile& file, std::uint64_t first, std::uint64_t end) {
  CollectingSink sink;
  const std::uint64_t frames = file.DecodeSpan(first, end, sink);
  EXPECT_EQ(sink.pcm.size(), frames * file.GetChannels() * file.GetBitsPerSample() / 8);
  return sink.pcm;
}

std::vector<std::uint8_t> Slice(const std::vector<std::uint8_t>& pcm, std::uint64_t first, std::uint64_t end,
                                std::size_t frameBytes) {
  end = std::min<std::uint64_t>(end, pcm.size() / frameBytes);
  if (first >= end) return {};
  return {pcm.begin() + static_cast<std::ptrdiff_t>(first * frameBytes),
          pcm.begin() + static_cast<std::ptrdiff_t>(end * frameBytes)};
}

TEST(Formats, EveryRegisteredFormatHasASourceHere) {
  for (const CAudioFormat* format : AudioFormats())
    EXPECT_TRUE(Makers().count(format->Name())) << format->Name() << " has no source in this test";
}

TEST(Formats, PathsChooseTheirFormatAsTheProgramAlwaysDid) {
  const struct {
    const char* path;
    const char* format;  // nullptr: none
  } cases[] = {
      {"song.wav", "WAV"},    {"SONG.WAV", "WAV"}, {"song.mp3", "MP3"},    {"x.wav.mp3", "MP3"},
      {"x.mp3.wav", "MP3"},   {".wav", nullptr},   {"song.flac", "FLAC"}, {"a.Mp3.bak", "MP3"},
      {"notes.txt", nullptr}, {"w", nullptr},   {"x.FLAC", "FLAC"},   {"x.flac.mp3", "MP3"},
  };
  for (const auto& c : cases) {
    const CAudioFormat* format = FormatOfPath(c.path);
    EXPECT_EQ(format ? std::string(format->Name()) : std::string("none"), c.format ? c.format : "none")
        << c.path;
  }
  EXPECT_EQ(FormatNamed("wav"), FormatOfPath("a.wav"));
  EXPECT_EQ(FormatNamed("ogg"), nullptr);
}

class EachFormat : public ::testing::TestWithParam<const CAudioFormat*> {};

TEST_P(EachFormat, OpensDecodesSpansAndWritesThemAsItsOwnFiles) {
  const CAudioFormat& format = *GetParam();
  kt::TempDir dir;
  const std::string wav = dir.File("music.wav");
  kt::WriteAll(wav, kt::MusicWav(kSeconds, kChannels, kRate));
  const std::string path = Makers().at(format.Name())(dir, wav);
  ASSERT_FALSE(path.empty()) << "no " << format.Name() << " source";

  std::unique_ptr<CAudioFile> file = format.Open(path, nullptr);
  ASSERT_EQ(file->GetError(), 0u);
  EXPECT_EQ(&file->Format(), &format);
  EXPECT_EQ(FormatOfPath(path), &format);
  EXPECT_EQ(file->GetSampleRate(), kRate);
  EXPECT_EQ(file->GetChannels(), kChannels);
  const std::uint64_t total = file->CountDecodedSamples();
  EXPECT_EQ(total, static_cast<std::uint64_t>(kSeconds * kRate));
  EXPECT_EQ(file->GetSampleCount(), total);

  const std::size_t frameBytes = file->GetChannels() * file->GetBitsPerSample() / 8u;
  const std::vector<std::uint8_t> whole = Decode(*file, 0, UINT64_MAX);
  ASSERT_EQ(whole.size(), total * frameBytes);

  const struct {
    std::uint64_t first, end;
  } spans[] = {
      {0, 1},  {1, 1153}, {1151, 1153}, {kRate, 2 * kRate + 17}, {total - 5, total + 100}, {total, total + 1},
      {10, 10}};
  for (const auto& span : spans) {
    SCOPED_TRACE(std::to_string(span.first) + ".." + std::to_string(span.end));
    EXPECT_EQ(Decode(*file, span.first, span.end), Slice(whole, span.first, span.end, frameBytes));
  }

  // A written span reopens as a file of the same format holding that span.
  const std::uint64_t first = kRate / 2 + 3, end = 2 * kRate - 7;
  const std::string piece = dir.File(std::string("piece") + format.Extension());
  const OperationResult saved = file->SaveSelectionSamples(piece, first, end, nullptr);
  ASSERT_EQ(saved.error, 0u);
  ASSERT_TRUE(saved.notice);
  std::unique_ptr<CAudioFile> reopened = OpenAudioFile(piece);
  ASSERT_EQ(reopened->GetError(), 0u);
  EXPECT_EQ(&reopened->Format(), &format);
  EXPECT_EQ(Decode(*reopened, 0, UINT64_MAX), Slice(whole, first, end, frameBytes));
}

INSTANTIATE_TEST_SUITE_P(Registered, EachFormat, ::testing::ValuesIn(AudioFormats()),
                         [](const auto& info) { return std::string(info.param->Name()); });

TEST(Formats, ConversionsAFileDoesNotOfferChangeNothing) {
  kt::TempDir dir;
  const std::string wav = kt::MakeWav(dir, "a.wav", kt::WavSpec{}, kt::Sine16(4410, 2, kRate, 440));
  std::unique_ptr<CAudioFile> file = OpenAudioFile(wav);
  ASSERT_FALSE(file->Offers(Conversion::ToWav));
  EXPECT_EQ(file->ConvertToWav(dir.File("b.wav"), nullptr), err::kNotOffered);
  EXPECT_EQ(file->GetError(), 0u);
  EXPECT_FALSE(std::filesystem::exists(dir.File("b.wav")));
}

}  // namespace
