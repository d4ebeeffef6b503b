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

namespace {

bool HasControl(const std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if ((c < 0x20 && c != '\n') || c == 0x7f) return true;
    if (c == 0xc2 && i + 1 < text.size() && (static_cast<unsigned char>(text[i + 1]) & 0xe0) == 0x80)
      return true;
  }
  return false;
}

// Names and tags from files never drive the terminal: their control
// characters are printed as \xHH, and a Latin-1 tag reaches it as UTF-8.
TEST(CliSources, HostileNamesAndTagsArePrintedWithTheirControlsShown) {
  kt::TempDir dir;
  setenv("KESTRUNE_CONFIG_DIR", dir.File("config").c_str(), 1);
  const std::string hostile = "\x1b]0;owned\x07\x1b[2J";
  kt::Id3v1Spec tag;
  tag.title = hostile;
  tag.artist =
      "Caf\xe9 \x9b"
      "1m";  // Latin-1: é and the one-byte CSI
  std::vector<std::uint8_t> bytes = kt::EncodedSine(2.0, kt::LameSpec{});
  const std::vector<std::uint8_t> id3 = kt::Id3v1Tag(tag);
  bytes.insert(bytes.end(), id3.begin(), id3.end());
  const std::string tagged = dir.File("tagged.mp3");
  kt::WriteAll(tagged, bytes);
  const std::string named = kt::PatternWav(dir,
                                           "n" + hostile +
                                               "\xc2\x9b"
                                               "x.wav",
                                           2);
  const struct {
    std::vector<std::string> args;
    std::string shows;  // on standard output
  } cases[] = {
      {{"info", tagged}, "Title - \\x1b]0;owned\\x07\\x1b[2J\n"},
      {{"info", tagged}, "Artist - Caf\xc3\xa9 \\x9b1m\n"},
      {{"info", named}, "\\x1b]0;owned\\x07\\x1b[2J\\xc2\\x9bx.wav"},
      {{"batch", named, "--log", dir.File("b.log")}, "\\x1b]0;owned\\x07\\x1b[2J\\xc2\\x9bx.wav: Done\n"},
      {{"split", named, "--equal", "2", "--snap", "0"}, "N\\x1b]0;OWNED\\x07\\x1b[2J\\xc2\\x9bX-1.wav"},
      {{"shred", named, "-n", "2", "--estimate"}, "N\\x1b]0;OWNED\\x07\\x1b[2J\\xc2\\x9bX.WAV"},
      {{"cut", named, "--from", "9", "--to", "10", "-o", dir.File("c.wav")}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0]);
    const kt::CliResult r = kt::RunCli(dir.Path().string(), c.args);
    EXPECT_FALSE(HasControl(r.out)) << r.out;
    EXPECT_FALSE(HasControl(r.err)) << r.err;
    EXPECT_NE(r.out.find(c.shows), std::string::npos) << r.out;
  }
}

}  // namespace
