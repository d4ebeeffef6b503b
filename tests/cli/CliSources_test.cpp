// Every verb only reads its source: the tool never opens it to write
// (which a watcher of the source sees as a change, IN_CLOSE_WRITE), also
// where it copies the source's tag onto pieces.

#include <gtest/gtest.h>
#include <sys/inotify.h>

#include "support/CliRunner.h"
#include "support/Mp3Builder.h"
#include "support/TestSupport.h"

namespace {

TEST(CliSources, NoVerbOpensItsSourceToWrite) {
  kt::TempDir dir;
  setenv("KESTRUNE_CONFIG_DIR", dir.File("config").c_str(), 1);
  const std::string wav = kt::PatternWav(dir, "w.wav", 4);
  kt::Id3v1Spec tag;
  std::vector<std::uint8_t> bytes = kt::EncodedSine(4.0, kt::LameSpec{});
  const std::vector<std::uint8_t> id3 = kt::Id3v1Tag(tag);
  bytes.insert(bytes.end(), id3.begin(), id3.end());
  const std::string mp3 = dir.File("m.mp3");
  kt::WriteAll(mp3, bytes);
  const struct {
    std::string source;
    std::vector<std::string> args;
  } cases[] = {
      {wav, {"info", wav}},
      {wav, {"cut", wav, "--from", "0", "--to", "1", "-o", dir.File("c.wav")}},
      {wav, {"shred", wav, "-n", "2", "--overlap", "0", "--suffix", "_s"}},
      {wav, {"split", wav, "--equal", "2", "--snap", "0"}},
      {wav, {"to-mp3", wav, "-o", dir.File("t.mp3")}},
      {wav, {"waveform", wav, "-o", dir.File("w.png")}},
      {wav, {"batch", wav, "--log", dir.File("b.log"), "--overwrite"}},
      {mp3, {"split", mp3, "--equal", "2", "--snap", "0"}},
      {mp3, {"cut", mp3, "--from", "0", "--to", "1", "-o", dir.File("c.mp3")}},
      {mp3, {"to-wav", mp3, "-o", dir.File("t.wav")}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.source);
    std::vector<std::string> args = c.args;
    args.insert(args.begin(), "-q");
    kt::CliChild child(dir.Path().string(), args, {c.source, IN_CLOSE_WRITE | IN_MODIFY, false});
    EXPECT_FALSE(child.WaitForEvents(1));  // the tool ends without one
    const kt::CliResult r = child.Wait();
    EXPECT_EQ(r.exitCode, 0) << r.err;
  }
}

}  // namespace
