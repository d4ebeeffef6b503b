// The index pass's walk: from the map and from read blocks alike, the frames
// that follow one another are exactly those an independent walker finds, a
// chunk at a time; and a file that shrinks under the map is walked on from
// what is left of it.

#include "core/mp3/Mp3FrameChain.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "core/File.h"
#include "support/Mp3Builder.h"
#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

kt::FrameSpec Layout(unsigned bitrateIndex, bool padding = false) {
  kt::FrameSpec s;
  s.bitrateIndex = bitrateIndex;
  s.padding = padding;
  return s;
}

void Append(Bytes& to, const Bytes& more) {
  to.insert(to.end(), more.begin(), more.end());
}

// Every chain the reader finds from start to end, stepping over what is not
// a frame one byte at a time, as offsets.
std::vector<std::size_t> ChainsOf(mp3::FrameChainReader& chains, std::uint64_t start, std::uint64_t end) {
  std::vector<std::size_t> frames;
  for (std::uint64_t at = start; at < end;) {
    const mp3::FrameChunk& chunk = chains.Walk(at);
    EXPECT_LE(chunk.count, mp3::FrameChunk::kFrames);
    frames.insert(frames.end(), chunk.offsets, chunk.offsets + chunk.count);
    at = chunk.count > 0 ? chunk.end : at + 1;
  }
  return frames;
}

// The independent walker's frames over the same stretch, stepping over junk alike.
std::vector<std::size_t> ExpectedFrames(const Bytes& bytes, std::size_t start, std::size_t end) {
  std::vector<std::size_t> frames;
  for (std::size_t at = start; at < end;) {
    const std::vector<std::size_t> run = kt::WalkFrames(bytes, at, end);
    frames.insert(frames.end(), run.begin(), run.end());
    at = run.empty() ? at + 1 : kt::WalkEnd(bytes, at, end);
  }
  return frames;
}

TEST(Mp3FrameChain, MapAndBlocksFindTheFramesAnIndependentWalkerFinds) {
  kt::TempDir dir;
  const struct {
    const char* name;
    Bytes bytes;
  } streams[] = {
      {"one bitrate, past a chunk", kt::SyntheticFrames(Layout(9), 5000)},
      {"bitrates and padding mixed",
       [] {
         Bytes b = kt::SyntheticFrames(Layout(9), 300);
         Append(b, kt::SyntheticFrames(Layout(14, true), 200));
         Append(b, kt::SyntheticFrames(Layout(1), 300));
         return b;
       }()},
      {"junk between frames",
       [] {
         Bytes b = kt::SyntheticFrames(Layout(9), 1000);
         b.insert(b.end(), 777, 0x00);
         Append(b, kt::SyntheticFrames(Layout(9), 1000));
         return b;
       }()},
  };
  for (const auto& s : streams) {
    SCOPED_TRACE(s.name);
    Bytes bytes = s.bytes;
    bytes.insert(bytes.begin(), 333, 0x00);  // stands in for a tag: the audio starts off the page grid
    bytes.resize(bytes.size() + 100, 0x00);
    const std::string path = dir.File("stream.mp3");
    kt::WriteAll(path, bytes);
    CFile file;
    ASSERT_TRUE(file.Open(path, CFile::Mode::ReadShared));
    const std::uint64_t start = 333, end = bytes.size() - 100;
    const auto stream = mp3::FrameHeader::FromBytes(bytes.data() + start);
    mp3::FrameChainReader chains(file, stream, start, end);
    EXPECT_TRUE(chains.ReadsMap());
    const std::vector<std::size_t> expected = ExpectedFrames(bytes, start, end);
    EXPECT_EQ(ChainsOf(chains, start, end), expected);
  }
}

TEST(Mp3FrameChain, AFileThatShrinksUnderTheMapIsWalkedOnFromWhatIsLeft) {
  kt::TempDir dir;
  const Bytes bytes = kt::SyntheticFrames(Layout(9), 3000);  // about 1.2 MB
  const std::string path = dir.File("shrinking.mp3");
  kt::WriteAll(path, bytes);
  CFile file;
  ASSERT_TRUE(file.Open(path, CFile::Mode::ReadShared));
  const auto stream = mp3::FrameHeader::FromBytes(bytes.data());
  mp3::FrameChainReader chains(file, stream, 0, bytes.size());
  ASSERT_TRUE(chains.ReadsMap());
  // Cut on a page boundary inside a frame: the walk runs on into lost pages.
  const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  const std::size_t left = bytes.size() / 2 / page * page;
  fs::resize_file(path, left);
  // As a walk that reads the file finds them: each frame whose header is
  // still there (the length of the audio was taken before the file shrank).
  std::vector<std::size_t> expected = kt::WalkFrames(bytes, 0, bytes.size());
  std::erase_if(expected, [&](std::size_t at) { return at + 4 > left; });
  EXPECT_EQ(ChainsOf(chains, 0, bytes.size()), expected);
  EXPECT_FALSE(chains.ReadsMap()) << "the lost pages were read from the map";
}

}  // namespace
