// kestrune-cli under faults and bad input: a full disk (a real file-size
// limit on the child process), outputs that cannot be written, damaged and
// truncated sources. Every failure must exit non-zero with a message of the
// catalogue, every success must exit 0 with its output on disk, and the
// source must never change.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "cli/CliJob.h"
#include "core/AudioError.h"
#include "core/File.h"
#include "core/StringTable.h"
#include "core/mp3/Mp3LameTag.h"
#include "support/CliRunner.h"
#include "support/GaplessCheck.h"
#include "support/Mp3Builder.h"
#include "support/TestSupport.h"
#include "support/WaveExpect.h"

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

namespace {

using Result = kt::CliResult;

// The texts of the string table, the file-failure texts for the paths given,
// and the fixed texts the tool prints itself.
class Catalogue {
 public:
  explicit Catalogue(const std::vector<std::string>& paths) : paths_(paths) {
    for (std::uint32_t id = 1; id < 20000; ++id) {
      const std::string text = LoadMessage(id);
      if (!text.empty()) texts_.insert(text);
    }
    for (int cause = static_cast<int>(FileCause::Generic); cause <= static_cast<int>(FileCause::EndOfFile);
         ++cause)
      for (const std::string& path : paths)
        texts_.insert(FileFailureMessage(static_cast<FileCause>(cause), path));
    texts_.insert(msg::kTypeNotSupported);
    texts_.insert(msg::kSingleChannelFile);
  }
  // True when every line of stderr is "kestrune-cli: FILE: " and a
  // catalogue text, with the system's reason in brackets or without.
  bool Holds(const std::string& err) const {
    std::istringstream lines(err);
    std::string line;
    bool any = false;
    static const std::regex reason(R"( \([A-Za-z ]+\)$)");
    while (std::getline(lines, line)) {
      bool known = false;
      for (const std::string& path : paths_) {
        const std::string prefix = "kestrune-cli: " + path + ": ";
        if (line.rfind(prefix, 0) != 0) continue;
        const std::string text = line.substr(prefix.size());
        known = texts_.count(text) || texts_.count(std::regex_replace(text, reason, ""));
      }
      if (!known) return false;
      any = true;
    }
    return any;
  }

 private:
  std::vector<std::string> paths_;
  std::set<std::string> texts_;
};

// True when path is a WAV file with audio or an MP3 file libmad decodes
// samples from.
bool HoldsAudio(const std::string& path) {
  const Bytes bytes = kt::ReadAll(path);
  if (bytes.size() >= 4 && std::equal(bytes.begin(), bytes.begin() + 4, "RIFF"))
    return kt::ReadWaveLayout(path).dataSize > 0;
  return !bytes.empty() && kt::DecodeMp3(path).samplesPerChannel > 0;
}

class CliFaults : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("KESTRUNE_CONFIG_DIR", dir_.File("config").c_str(), 1); }

  Result Run(const std::vector<std::string>& args, rlim_t fileLimit = RLIM_INFINITY) {
    return kt::RunCli(dir_.Path().string(), args, fileLimit);
  }

  std::string Wav(const std::string& name, std::uint32_t seconds, std::uint16_t bits = 16) {
    return kt::PatternWav(dir_, name, seconds, bits);
  }

  std::string Mp3(const std::string& name, double seconds) {
    kt::LameSpec layout;
    const std::string path = dir_.File(name);
    kt::WriteAll(path, kt::EncodedSine(seconds, layout));
    return path;
  }

  std::vector<std::string> Cut(const std::string& source, const char* from, const char* to,
                               const std::string& out) {
    return {"-q", "cut", source, "--from", from, "--to", to, "-o", out};
  }

  kt::TempDir dir_;
};

// A full disk under each verb that writes: exit 1, the catalogue's message,
// the source as it was, and the partial output on disk, or, where it could
// not be made a valid file (a WAV whose header did not fit, an encoding cut
// short), removed with a message that says so. (The limit holds for the
// messages too: the WAV header that does not fit is the engine test's.)
TEST_F(CliFaults, FullDiskUnderEveryWritingVerbFailsWithTheMessageAndKeepsTheSource) {
  const std::string wav = Wav("source.wav", 6);
  const std::string wav8 = Wav("eight.wav", 6, 8);
  const std::string mp3 = Mp3("song.mp3", 6);
  const std::string out = dir_.File("out put");
  // The file limit makes the write fail with EFBIG, the system's reason.
  const std::string diskFull =
      "kestrune-cli: " + out + ": Disk full while accessing " + out + ". (File too large)\n";
  const std::string removed = "kestrune-cli: " + out + ": Disk full while accessing " + out + ". " +
                              msg::kOutputRemoved + " (File too large)\n";
  struct Case {
    std::vector<std::string> args;
    rlim_t limit;
    std::string expected;
    std::string source;
  };
  const Case cases[] = {
      {{"cut", wav, "--from", "0", "--to", "5", "-o", out}, 100000, diskFull, wav},
      {{"shred", wav, "-n", "2", "--base", out, "--overlap", "0", "--suffix", ""},
       100000,
       "kestrune-cli: " + dir_.File("OUT PUT-1.wav") + ": Disk full while accessing " +
           dir_.File("OUT PUT-1.wav") + ". (File too large)\n",
       wav},
      {{"to-8bit", wav, "-o", out}, 50000, diskFull, wav},
      {{"to-16bit", wav8, "-o", out}, 50000, diskFull, wav8},
      {{"rip", wav, "--channels", "2", "-o", out}, 50000, diskFull, wav},
      {{"to-mp3", wav, "-o", out, "--bitrate", "128"}, 20000, removed, wav},
      {{"to-mp3", wav, "-o", out, "--mode", "vbr"}, 300, removed, wav},
      {{"to-wav", mp3, "-o", out}, 100000, diskFull, mp3},
      {{"cut", mp3, "--from", "0", "--to", "5", "-o", out}, 20000, diskFull, mp3},
      {{"cut", mp3, "--from", "0", "--to", "5", "-o", out, "--frames-only"}, 20000, diskFull, mp3},
      // Not even the header frame fits: no file a reader could trust.
      {{"cut", mp3, "--from", "0", "--to", "5", "-o", out}, 300, removed, mp3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args[1]);
    const Bytes before = kt::ReadAll(c.source);
    const Result r = Run(c.args, c.limit);
    EXPECT_EQ(r.exitCode, cliexit::kFailed);
    EXPECT_EQ(r.err, c.expected);
    EXPECT_EQ(kt::ReadAll(c.source), before);
    const std::string written = c.args[0] == "shred" ? dir_.File("OUT PUT-1.wav") : out;
    if (c.expected == removed) {
      EXPECT_FALSE(fs::exists(written));
    } else if (c.source == mp3 && c.args[0] == "cut") {
      // An MP3 piece is cut back to its last whole frame; its header frame counts the frames there.
      const Bytes piece = kt::ReadAll(written);
      EXPECT_GT(piece.size(), c.limit - 2000);
      EXPECT_EQ(kt::WalkEnd(piece, 0, piece.size()), piece.size());
      const auto tag = mp3::ReadLameTag(piece.data(), piece.size());
      const bool framesOnly = c.args.back() == "--frames-only";
      ASSERT_EQ(tag.has_value(), !framesOnly);
      if (!framesOnly) {
        EXPECT_EQ(tag->frames, kt::WalkFrames(piece, 0, piece.size()).size() - 1);
        EXPECT_EQ(tag->bytes, piece.size());
      }
    } else {
      EXPECT_EQ(fs::file_size(written), c.limit);
    }
    fs::remove(written);
  }
}

// What the exit code says must be what is on disk: each refusal exits 1
// with the catalogue's message and creates nothing.
TEST_F(CliFaults, RefusalsExitNonZeroWithTheCatalogueTextAndCreateNothing) {
  const std::string wav = Wav("source.wav", 3);
  const std::string mono = [&] {
    kt::WavSpec layout;
    layout.channels = 1;
    return kt::MakeWav(dir_, "mono.wav", layout, kt::PatternData(44100 * 2));
  }();
  const std::string empty = dir_.File("empty.wav");
  kt::WriteAll(empty, {});
  const std::string garbageWav = dir_.File("garbage.wav");
  kt::WriteAll(garbageWav, kt::PatternData(5000));
  const std::string garbageMp3 = dir_.File("garbage.mp3");
  kt::WriteAll(garbageMp3, Bytes(70000, 0x11));
  const std::string folder = dir_.File("a folder.wav");
  fs::create_directory(folder);
  // Special files (a FIFO without a writer used to block the tool forever;
  // /dev/null swallowed the output with exit 0).
  const std::string fifo = dir_.File("pipe.wav"), zero = dir_.File("zero.wav"), null = dir_.File("null.wav");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  fs::create_symlink("/dev/zero", zero);
  fs::create_symlink("/dev/null", null);
  const std::string inMissing = dir_.File("missing folder/out.wav");
  const std::string out = dir_.File("never.wav");
  const Bytes original = kt::ReadAll(wav);

  // Each line names the file at fault, the catalogue's text and, where the
  // system gave one, its reason.
  struct Case {
    std::vector<std::string> args;
    std::string file, text, reason;
  };
  const std::string cannotOpen = LoadMessage(err::kCannotOpen),
                    cannotCreate = LoadMessage(err::kCannotCreateOutput);
  const std::string sameFile = LoadMessage(err::kOutputIsSource);
  const Case cases[] = {
      {{"info", dir_.File("no such file.wav")},
       dir_.File("no such file.wav"),
       cannotOpen,
       "No such file or directory"},
      {{"info", empty}, empty, LoadMessage(err::kZeroLength), ""},
      {{"cut", garbageWav, "--from", "0", "--to", "1", "-o", out},
       garbageWav,
       LoadMessage(err::kNoRiffHeader),
       ""},
      {{"to-wav", garbageMp3, "-o", out}, garbageMp3, LoadMessage(err::kInvalidMp3), ""},
      {{"info", dir_.File("notes.txt")}, dir_.File("notes.txt"), msg::kTypeNotSupported, ""},
      {{"cut", wav, "--from", "0", "--to", "1", "-o", folder}, folder, cannotCreate, "Is a directory"},
      {{"to-8bit", wav, "-o", inMissing}, inMissing, cannotCreate, "No such file or directory"},
      {{"cut", wav, "--from", "0", "--to", "1", "-o", wav}, wav, sameFile, ""},
      {{"to-8bit", wav, "-o", wav}, wav, sameFile, ""},
      {{"to-16bit", wav, "-o", out}, wav, LoadMessage(err::kNot8BitPcm), ""},
      {{"rip", mono, "--channels", "1", "-o", out}, mono, msg::kSingleChannelFile, ""},
      {{"info", fifo}, fifo, cannotOpen, "Permission denied"},
      {{"info", folder}, folder, cannotOpen, "Is a directory"},
      {{"info", zero}, zero, cannotOpen, "Permission denied"},
      {{"cut", wav, "--from", "0", "--to", "1", "-o", fifo}, fifo, cannotCreate, "Permission denied"},
      {{"cut", wav, "--from", "0", "--to", "1", "-o", null}, null, cannotCreate, "Permission denied"},
      {{"to-mp3", wav, "-o", null}, null, cannotCreate, "Permission denied"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args[1]);
    const Result r = Run(c.args);
    EXPECT_EQ(r.exitCode, cliexit::kFailed);
    EXPECT_EQ(r.err, "kestrune-cli: " + c.file + ": " + c.text +
                         (c.reason.empty() ? "" : " (" + c.reason + ")") + "\n");
    EXPECT_FALSE(fs::exists(out));
  }
  EXPECT_TRUE(fs::is_empty(folder));
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_FALSE(fs::exists(dir_.File("missing folder")));
  EXPECT_EQ(kt::ReadAll(wav), original);
}

TEST_F(CliFaults, SuccessesExitZeroWithTheirOutputsOnDiskUnderAwkwardNames) {
  const fs::path folder = dir_.Path() / "Upper Case" / "Ünïcödé Földer";
  fs::create_directories(folder);
  const std::string wav = (folder / "my sóng.wav").string();
  fs::copy_file(Wav("plain.wav", 4), wav);
  const std::string cut = (folder / "cut – part.wav").string();
  Result r = Run({"-q", "cut", wav, "--from", "1", "--to", "3", "-o", cut});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(fs::file_size(cut), 44u + 2 * 88200);
  r = Run({"-q", "shred", wav, "-n", "2", "--overlap", "0", "--suffix", "_ß"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(fs::file_size(folder / "MY SóNG_ß-1.wav"), 44u + 2 * 88200);
  EXPECT_EQ(fs::file_size(folder / "MY SóNG_ß-2.wav"), 44u + 2 * 88200);
  const std::string mp3 = (folder / "kódolt.mp3").string();
  r = Run({"-q", "to-mp3", wav, "-o", mp3, "--bitrate", "64"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_GT(fs::file_size(mp3), 4u * 8000 * 9 / 10);
  const std::string back = (folder / "zurück.wav").string();
  r = Run({"-q", "to-wav", mp3, "-o", back});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(fs::file_size(back), 44u + 4 * 88200);  // the round trip keeps the length
}

// Damaged copies of good files (cut short at many places, single bytes
// changed across the headers): the tool never crashes or hangs, exits 0 or
// 1, and prints nothing but catalogue texts when it fails.
TEST_F(CliFaults, DamagedFilesGiveOnlyCatalogueMessagesAndNoCrash) {
  const Bytes wav = kt::ReadAll(Wav("good.wav", 2));
  kt::LameSpec lame;
  lame.headerFrame = true;
  Bytes mp3 = kt::Id3v2Tag(64);
  const Bytes audio = kt::EncodedSine(2.0, lame);
  mp3.insert(mp3.end(), audio.begin(), audio.end());

  std::vector<std::pair<std::string, Bytes>> damaged;
  for (const auto& [ext, good] : {std::pair<std::string, Bytes>{".wav", wav}, {".mp3", mp3}}) {
    for (std::size_t cut : {std::size_t{1}, std::size_t{4}, std::size_t{11}, std::size_t{12}, std::size_t{43},
                            std::size_t{44}, std::size_t{80}, std::size_t{200}, good.size() / 2})
      damaged.push_back({ext, Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut))});
    for (std::size_t at = 0; at < 120; at += 3) {
      Bytes b = good;
      b[at] ^= 0xA5;
      damaged.push_back({ext, b});
    }
  }
  const std::string out = dir_.File("out.bin");
  int index = 0;
  for (const auto& [ext, bytes] : damaged) {
    const std::string path = dir_.File("damaged-" + std::to_string(index++) + ext);
    kt::WriteAll(path, bytes);
    const Catalogue catalogue({path, out});
    const std::vector<std::vector<std::string>> runs =
        ext == ".wav" ? std::vector<std::vector<std::string>>{{"info", path},
                                                              {"-q", "cut", path, "--from", "0", "--to", "1",
                                                               "-o", out},
                                                              {"-q", "to-mp3", path, "-o", out}}
                      : std::vector<std::vector<std::string>>{
                            {"info", path},
                            {"-q", "cut", path, "--from", "0", "--to", "1", "-o", out},
                            {"-q", "to-wav", path, "-o", out}};
    for (const auto& args : runs) {
      SCOPED_TRACE(path + " " + args[args[0] == "-q" ? 1 : 0]);
      const Result r = Run(args);
      // A file damaged down to no audio at all has nothing to cut.
      if (r.exitCode == cliexit::kUsage &&
          r.err.find("at or after the end of the audio, which lasts 0.00 ") != std::string::npos)
        continue;
      ASSERT_TRUE(r.exitCode == 0 || r.exitCode == cliexit::kFailed) << "exit " << r.exitCode << "\n"
                                                                     << r.err;
      if (r.exitCode != 0) {
        EXPECT_TRUE(catalogue.Holds(r.err)) << r.err;
      } else if (args[0] != "info") {
        // Success means audio was written: never an empty cut or conversion.
        EXPECT_TRUE(HoldsAudio(out)) << r.out;
      }
      fs::remove(out);
    }
  }
}

// While this process writes an output, a run on the same file fails with 103
// and leaves every byte of it alone; once the writer has closed it, the same
// run succeeds.
TEST_F(CliFaults, OutputHeldByAnotherWriterFailsWith103AndIsNotTouched) {
  const std::string wav = Wav("source.wav", 3), mp3 = Mp3("song.mp3", 4.5);
  const std::string out = dir_.File("held.out");
  const struct {
    std::vector<std::string> args;
    std::string output;
  } runs[] = {
      {Cut(wav, "0", "2", out), out},
      {{"-q", "to-mp3", wav, "-o", out}, out},
      {{"-q", "to-wav", mp3, "-o", out}, out},
      {{"-q", "shred", mp3, "-n", "2", "--base", dir_.File("held"), "--suffix", ""}, dir_.File("HELD-1.mp3")},
  };
  const Bytes mine = kt::PatternData(70000, 7);
  for (const auto& run : runs) {
    SCOPED_TRACE(run.args[1] + " " + run.args[2]);
    CFile writer;
    ASSERT_TRUE(writer.Open(run.output, CFile::Mode::CreateReadWrite));
    writer.Write(mine.data(), mine.size());
    writer.Flush();
    const Result held = Run(run.args);
    EXPECT_EQ(held.exitCode, cliexit::kFailed);
    // The second writer is refused and told another program holds the file.
    EXPECT_EQ(held.err, "kestrune-cli: " + run.output + ": " + LoadMessage(err::kCannotCreateOutput) +
                            " (locked by another program)\n");
    EXPECT_EQ(kt::ReadAll(run.output), mine);
    writer.Close();
    EXPECT_EQ(Run(run.args).exitCode, 0);
    EXPECT_NE(kt::ReadAll(run.output), mine);
  }
}

// Standard output that cannot be written (a full disk behind a redirection)
// fails a verb that prints, after its work; the audio output cannot be
// standard output at all.
TEST_F(CliFaults, StandardOutputFailuresExit1AndStandardOutputIsNoOutput) {
  const std::string wav = Wav("source.wav", 3), mp3 = Mp3("song.mp3", 4.5);
  // The batch verb prints its status lines and summary there too.
  const std::vector<std::string> batch = {
      "batch", "--log", dir_.File("batch.log"), "--out-dir", dir_.File("converted"), wav};
  for (const auto& args :
       {std::vector<std::string>{"info", mp3}, Cut(wav, "0", "1", dir_.File("out.wav")), batch}) {
    const Result r = kt::RunCli(dir_.Path().string(), args, RLIM_INFINITY, "/dev/full");
    EXPECT_EQ(r.exitCode, cliexit::kFailed);
    EXPECT_EQ(r.err.rfind("kestrune-cli: cannot write to standard output", 0), 0u) << r.err;
  }
  const std::string redirected = dir_.File("notices.txt");
  for (const std::string name : {"-", "/dev/stdout", "/dev/fd/1"}) {
    const Result r = kt::RunCli(dir_.Path().string(), Cut(wav, "0", "1", name), RLIM_INFINITY, redirected);
    EXPECT_EQ(r.exitCode, cliexit::kUsage);
    EXPECT_NE(r.err.find("-o " + name + ": the output must be a file"), std::string::npos) << r.err;
    EXPECT_EQ(fs::file_size(redirected), 0u) << "nothing written";
  }
}

// A cut that starts at or after the end is refused as a usage error that
// names the duration, and writes nothing; an end past the end is clipped.
TEST_F(CliFaults, CutStartingAtOrPastTheEndIsAUsageErrorAndAnEndPastItIsClipped) {
  const std::string wav = Wav("source.wav", 3), mp3 = Mp3("song.mp3", 4.5);
  const std::string out = dir_.File("cut.out");
  const struct {
    std::string source;
    const char *from, *to;
    std::string lasts;    // the duration named in a refusal
    std::uint64_t bytes;  // of the output (0: refused)
  } cases[] = {
      {wav, "4", "5", "3.00", 0},          {wav, "3", "4", "3.00", 0},      {mp3, "5", "9", "4.", 0},
      {wav, "1", "9", "", 44 + 2 * 88200}, {wav, "2", "3", "", 44 + 88200},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.source + " " + c.from + " " + c.to);
    const Result r = Run(Cut(c.source, c.from, c.to, out));
    if (c.bytes == 0) {
      EXPECT_EQ(r.exitCode, cliexit::kUsage);
      EXPECT_NE(r.err.find("at or after the end of the audio, which lasts " + c.lasts), std::string::npos)
          << r.err;
      EXPECT_FALSE(fs::exists(out));
    } else {
      EXPECT_EQ(r.exitCode, 0) << r.err;
      EXPECT_EQ(fs::file_size(out), c.bytes);
    }
    fs::remove(out);
  }
}

// A RIFF file whose form type is not "WAVE" still opens (its chunks are a
// WAV file's), and every output it gives is a WAV file other readers open:
// the form type written is always "WAVE".
TEST_F(CliFaults, ADamagedFormTypeIsNeverCopiedIntoAnOutput) {
  const std::string piece = dir_.File("PIECE-1.wav"), out = dir_.File("out.wav");
  for (const char* form : {"AVI ", "wave", "\xff\xff\xff\xff"}) {
    Bytes bytes = kt::ReadAll(Wav("source.wav", 2));
    std::copy(form, form + 4, bytes.begin() + 8);
    const std::string source = dir_.File("damaged.wav");
    kt::WriteAll(source, bytes);
    const std::pair<std::vector<std::string>, std::string> runs[] = {
        {{"-q", "to-8bit", source, "-o", out}, out},
        {Cut(source, "0", "1", out), out},
        {{"-q", "rip", source, "--channels", "1", "-o", out}, out},
        {{"-q", "shred", source, "-n", "2", "--base", dir_.File("piece"), "--overlap", "0", "--suffix", ""},
         piece},
    };
    for (const auto& [args, written] : runs) {
      SCOPED_TRACE(std::string(form, 4) + " " + args[1]);
      const Result r = Run(args);
      ASSERT_EQ(r.exitCode, 0) << r.err;
      const Bytes output = kt::ReadAll(written);
      ASSERT_GE(output.size(), 12u);
      EXPECT_EQ(std::string(output.begin() + 8, output.begin() + 12), "WAVE");
      EXPECT_GT(kt::ProbeDuration(dir_, written), 0.9);
      fs::remove(written);
    }
  }
}

}  // namespace
