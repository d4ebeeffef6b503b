// File-system faults and awkward paths around the engine's operations: a full
// disk in the middle of a cut, a conversion, an encoding and a decode (through
// the file layer's fault seam and through a real file-size limit in a child
// process), a source that shrinks or disappears while it is read, outputs that
// cannot be created, and names with spaces, non-ASCII letters and upper-case
// folders. After every failure the source must be unchanged, the partial
// output closed, and no descriptor left open.

#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <optional>

#include "core/StringTable.h"
#include "core/mp3/Mp3File.h"
#include "core/mp3/Mp3LameTag.h"
#include "core/wav/WaveFile.h"
#include "support/Mp3Builder.h"
#include "support/TestSupport.h"
#include "support/WaveExpect.h"

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

namespace {

int OpenDescriptors() {
  int count = 0;
  if (DIR* dir = ::opendir("/proc/self/fd")) {
    while (::readdir(dir)) ++count;
    ::closedir(dir);
  }
  return count;
}

using kt::DiskFullAfter;

// Runs op and returns the file failure it ends with (none: nullopt).
template <class Op>
std::optional<CFileException> FailureOf(Op op) {
  try {
    op();
  } catch (const CFileException& e) {
    return e;
  }
  return std::nullopt;
}

std::string DiskFullText(const std::string& path) {
  return "Disk full while accessing " + path + ".";
}

// Runs body in a child process whose files may not grow past limit bytes;
// SIGXFSZ is ignored so the write fails with EFBIG instead of killing the
// child. Returns the child's exit code (128 + signal when it died).
int RunWithFileSizeLimit(rlim_t limit, const std::function<int()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit lim{limit, limit};
    if (::setrlimit(RLIMIT_FSIZE, &lim) != 0) ::_exit(90);
    ::_exit(body());
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// A progress window that does something to the world at its first file step.
class ActingProgress : public kt::RecordingProgress {
 public:
  explicit ActingProgress(std::function<void()> act) : act_(std::move(act)) {
    onFileStep = [this] {
      if (act_) std::exchange(act_, nullptr)();
    };
  }

 private:
  std::function<void()> act_;
};

class IoFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    spec_.sampleRate = 44100;
    source_ = kt::MakeWav(dir_, "source.wav", spec_, kt::PatternData(176400 * 4));
    original_ = kt::ReadAll(source_);
    descriptors_ = OpenDescriptors();
  }
  void TearDown() override {
    if (!sourceChangedOnPurpose_) {
      EXPECT_EQ(kt::ReadAll(source_), original_) << "the source changed";
    }
    EXPECT_EQ(OpenDescriptors(), descriptors_) << "a file was left open";
  }

  // Changes the source behind the engine's back; the fixture then no longer
  // expects it to be unchanged.
  void ChangeSource(const std::function<void()>& change) {
    sourceChangedOnPurpose_ = true;
    change();
  }

  kt::TempDir dir_;
  kt::WavSpec spec_;
  bool sourceChangedOnPurpose_ = false;
  std::string source_;
  Bytes original_;
  int descriptors_ = 0;
};

TEST_F(IoFaults, DiskFullDuringSelectionEndsWithTheDiskFullMessageAndKeepsThePartialOutput) {
  const std::string out = dir_.File("selection.wav");
  kt::ScriptedOwner owner;
  {
    DiskFullAfter fault(100000);
    kt::Owned<CWaveFile> wav(source_, &owner, &fault);
    ASSERT_EQ(wav.GetError(), 0u);
    kt::RecordingProgress progress;
    const auto failure = FailureOf([&] { wav.SaveSelection(out, 0, 3, &progress); });
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->Cause(), FileCause::DiskFull);
    // The seam fails every later write: the header cannot be corrected
    // either, so the output goes.
    EXPECT_EQ(failure->Message(), DiskFullText(out) + " " + msg::kOutputRemoved);
    EXPECT_EQ(wav.GetError(), 0u);  // a file failure leaves the code alone
  }
  EXPECT_TRUE(owner.messages.empty()) << "the saved-selection notice came after a failure";
  EXPECT_FALSE(fs::exists(out));
}

TEST_F(IoFaults, DiskFullDuringSplitStopsAtThatPieceAndCreatesNoLaterOne) {
  kt::ScriptedOwner owner;
  owner.shred.numberOfSplits = 4;
  owner.shred.baseFilename = dir_.File("part");
  {
    DiskFullAfter fault(176400 + 44 + 5000);  // piece 1 whole, a little of piece 2
    kt::Owned<CWaveFile> wav(source_, &owner, &fault);
    kt::RecordingProgress progress;
    const auto failure = FailureOf([&] { wav.SplitEqually(&progress); });
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->Message(), DiskFullText(dir_.File("PART-2.wav")) + " " + msg::kOutputRemoved);
  }
  EXPECT_EQ(fs::file_size(dir_.File("PART-1.wav")), 176400u + 44u);
  EXPECT_FALSE(fs::exists(dir_.File("PART-2.wav")));
  EXPECT_FALSE(fs::exists(dir_.File("PART-3.wav")));
}

// Every WAV-writing operation, stopped by a cancel, by a real file-size
// limit (rewriting the header still works) and by the fault seam (every later
// write fails, the header's too): the partial output is kept, and its header
// describes exactly the whole frames it holds, or it is removed and the message says so.
TEST_F(IoFaults, PartialWavOutputsAfterACancelOrAFullDiskHaveHeadersThatTellTheTruth) {
  kt::WavSpec mono8;
  mono8.channels = 1;
  mono8.bitsPerSample = 8;
  const std::string eight = kt::MakeWav(dir_, "eight.wav", mono8, kt::PatternData(300001));
  using Run = std::function<AudioError(kt::Owned<CWaveFile>&, const std::string&, CProgress*)>;
  const struct {
    std::string name, source;
    Run run;
  } operations[] = {
      {"selection", source_,
       [](kt::Owned<CWaveFile>& w, auto& o, CProgress* p) { return w.SaveSelection(o, 0, 4, p); }},
      {"piece", source_,
       [](kt::Owned<CWaveFile>& w, auto& o, CProgress* p) {
         w.Owner()->shred.baseFilename = o;
         return w.SplitEqually(p);
       }},
      {"to 8 bit", source_,
       [](kt::Owned<CWaveFile>& w, auto& o, CProgress* p) { return w.ConvertTo8Bit(o, p); }},
      {"to 16 bit", eight,
       [](kt::Owned<CWaveFile>& w, auto& o, CProgress* p) { return w.ConvertTo16Bit(o, p); }},
      {"rip", source_, [](kt::Owned<CWaveFile>& w, auto& o, CProgress* p) { return w.RipChannels(2, o, p); }},
  };
  for (const auto& op : operations) {
    for (const int fault : {0, 1, 2, 3}) {  // cancel, file-size limit, seam, no room for the header
      SCOPED_TRACE(op.name + " " + std::to_string(fault));
      const std::string base = dir_.File(op.name + " out.wav");
      // A split writes its first piece under a name of its own.
      const std::string out = op.name == "piece" ? dir_.File("PIECE OUT-1.wav") : base;
      fs::remove(out);
      // What the operation ends with: its code, or the file failure's message.
      auto outcome = [&](CProgress* progress, CWriteFaults* faults = nullptr) -> std::string {
        kt::ScriptedOwner owner;
        owner.shred.numberOfSplits = 2;
        kt::Owned<CWaveFile> wav(op.source, &owner, faults);
        try {
          return "code " + std::to_string(op.run(wav, base, progress));
        } catch (const CFileException& e) {
          return e.Message();
        }
      };
      const std::string full = DiskFullText(out);
      if (fault == 0) {
        kt::RecordingProgress progress;
        progress.cancelAfterFileSteps = 2;
        EXPECT_EQ(outcome(&progress), "code 0");
      } else if (fault == 1) {
        EXPECT_EQ(RunWithFileSizeLimit(100001, [&] { return outcome(nullptr) == full ? 0 : 1; }), 0) << full;
        EXPECT_LE(fs::file_size(out), 100001u);
      } else if (fault == 2) {
        DiskFullAfter seam(70001);
        EXPECT_EQ(outcome(nullptr, &seam), full + " " + msg::kOutputRemoved);
        EXPECT_FALSE(fs::exists(out)) << "the note says the output was removed";
        continue;
      } else {
        const std::string removed = full + " " + msg::kOutputRemoved;
        EXPECT_EQ(RunWithFileSizeLimit(20, [&] { return outcome(nullptr) == removed ? 0 : 1; }), 0)
            << removed;
        EXPECT_FALSE(fs::exists(out));
        continue;
      }
      EXPECT_EQ(kt::HeaderMismatch(out), "");
      EXPECT_GT(kt::ReadWaveLayout(out).dataSize, 0u);
    }
  }
}

TEST_F(IoFaults, DiskFullDuringMp3EncodingEndsWithTheDiskFullMessageAndNoOutput) {
  const std::string out = dir_.File("encoded.mp3");
  {
    DiskFullAfter fault(20000);
    CWaveFile wav(source_, &fault);
    Mp3EncodeSettings settings;
    settings.bitrate = 128;
    const auto failure = FailureOf([&] { wav.ConvertToMp3(out, nullptr, settings); });
    ASSERT_TRUE(failure.has_value());
    // It would end mid-frame behind the tag frame's empty placeholder.
    EXPECT_EQ(failure->Message(), DiskFullText(out) + " " + msg::kOutputRemoved);
  }
  EXPECT_FALSE(fs::exists(out));
}

// The fault seam stands in for the disk in the tests above; here the kernel
// itself refuses to grow the file, on the path that copies large stretches
// between the two files without going through user memory.
TEST_F(IoFaults, RealFileSizeLimitDuringALargeCutIsReportedAsDiskFull) {
  const std::string big = kt::MakeWav(dir_, "big.wav", spec_, kt::PatternData(12u << 20));
  const std::string out = dir_.File("big cut.wav");
  const int code = RunWithFileSizeLimit(5u << 20, [&] {
    CWaveFile wav(big);
    if (wav.GetError() != 0) return 10;
    const auto failure = FailureOf([&] { wav.SaveSelection(out, 0, 100, nullptr); });
    if (!failure) return 11;
    if (failure->Message() != DiskFullText(out)) return 12;
    return 0;
  });
  EXPECT_EQ(code, 0) << "10: did not open, 11: no failure, 12: another message";
  EXPECT_EQ(fs::file_size(out), 5u << 20);
}

TEST_F(IoFaults, SourceRemovedDuringACutIsStillCopiedWhole) {
  const std::string out = dir_.File("selection.wav");
  {
    CWaveFile wav(source_);
    ActingProgress progress([&] { ChangeSource([&] { fs::remove(source_); }); });
    EXPECT_EQ(wav.SaveSelection(out, 0, 4, &progress).error, 0u);
  }
  const Bytes written = kt::ReadAll(out);
  ASSERT_EQ(written.size(), original_.size());
  EXPECT_TRUE(std::equal(written.begin() + 44, written.end(), original_.begin() + 44));
}

TEST_F(IoFaults, SourceTruncatedDuringACutIsAFailureNotAShortFileWithALongHeader) {
  // Larger than what the file layer reads ahead, so the cut must go back to the disk.
  const std::string source = kt::MakeWav(dir_, "long.wav", spec_, kt::PatternData(176400 * 30));
  const std::string out = dir_.File("selection.wav");
  kt::ScriptedOwner owner;
  {
    kt::Owned<CWaveFile> wav(source, &owner);
    ActingProgress progress([&] { fs::resize_file(source, 44 + 176400); });
    const auto failure = FailureOf([&] { wav.SaveSelection(out, 0, 30, &progress); });
    ASSERT_TRUE(failure.has_value()) << "a cut of a source that shrank was reported as saved";
    EXPECT_EQ(failure->Message(), "An attempt was made to access " + source + " past its end.");
  }
  EXPECT_TRUE(owner.messages.empty());
}

TEST_F(IoFaults, SourceTruncatedDuringAConversionIsAFailureNamingTheSource) {
  const std::string source = kt::MakeWav(dir_, "long.wav", spec_, kt::PatternData(176400 * 30));
  const std::string out = dir_.File("narrow.wav");
  {
    CWaveFile wav(source);
    ActingProgress progress([&] { fs::resize_file(source, 44 + 1000); });
    const auto failure = FailureOf([&] { wav.ConvertTo8Bit(out, &progress); });
    ASSERT_TRUE(failure.has_value()) << "a conversion of a source that shrank was reported as done";
    EXPECT_EQ(failure->Message(), "An attempt was made to access " + source + " past its end.");
  }
  EXPECT_EQ(kt::HeaderMismatch(out), "");
}

// A real MP3 stream: four seconds encoded by LAME, repeated `copies` times.
std::string MakeMp3(const kt::TempDir& dir, const std::string& name, int copies = 1) {
  kt::LameSpec layout;
  layout.bitrate = 128;
  const Bytes once = kt::EncodedSine(4.0, layout);
  Bytes bytes;
  for (int i = 0; i < copies; ++i) bytes.insert(bytes.end(), once.begin(), once.end());
  const std::string path = dir.File(name);
  kt::WriteAll(path, bytes);
  return path;
}

// The seam fails every later write. Plain pieces are cut back to their last
// whole frame; a gapless piece cannot rewrite its header frame either, so it
// is removed and the message says so.
TEST_F(IoFaults, DiskFullDuringMp3CutsEndsWithTheDiskFullMessage) {
  const std::string mp3 = MakeMp3(dir_, "song.mp3");
  const Bytes before = kt::ReadAll(mp3);
  const std::string out = dir_.File("mp3 selection.mp3");
  for (const bool gapless : {false, true}) {
    SCOPED_TRACE(gapless);
    kt::ScriptedOwner owner;
    owner.shred.numberOfSplits = 2;
    owner.shred.baseFilename = dir_.File("half");
    const std::string note = gapless ? std::string(" ") + msg::kOutputRemoved : "";
    {
      DiskFullAfter fault(UINT64_MAX);
      kt::Owned<CMp3File> file(mp3, &owner, &fault);
      ASSERT_EQ(file.GetError(), 0u);
      file.SetGaplessPieces(gapless);
      {
        fault.FailWritesAfter(20000);
        const auto failure = FailureOf([&] { file.SaveSelection(out, 0, 3, nullptr); });
        ASSERT_TRUE(failure.has_value());
        EXPECT_EQ(failure->Message(), DiskFullText(out) + note);
      }
      {
        fault.FailWritesAfter(40000);
        const auto failure = FailureOf([&] { file.SplitEqually(nullptr); });
        ASSERT_TRUE(failure.has_value());
        EXPECT_EQ(failure->Message(), DiskFullText(dir_.File("HALF-2.mp3")) + note);
      }
    }
    EXPECT_TRUE(owner.messages.empty());
    EXPECT_EQ(kt::ReadAll(mp3), before);
    if (gapless) {
      EXPECT_FALSE(fs::exists(out) || fs::exists(dir_.File("HALF-2.mp3")));
      continue;
    }
    // What was written is kept, cut back to its last whole frame.
    for (const std::string& partial : {out, dir_.File("HALF-2.mp3")}) {
      const Bytes bytes = kt::ReadAll(partial);
      EXPECT_GT(bytes.size(), 1000u) << partial;
      EXPECT_EQ(kt::WalkEnd(bytes, 0, bytes.size()), bytes.size()) << partial;
    }
    EXPECT_LE(fs::file_size(out), 20000u);
    EXPECT_LE(fs::file_size(dir_.File("HALF-1.mp3")) + fs::file_size(dir_.File("HALF-2.mp3")), 40000u);
    fs::remove(out);
    fs::remove(dir_.File("HALF-2.mp3"));
  }
}

// One writing thread serves every watched copy from an open file: a write
// that failed in one cut must not reach into the next.
TEST_F(IoFaults, AFullDiskInOneGaplessCutLeavesTheNextCutFromTheSameFileWhole) {
  const std::string mp3 = MakeMp3(dir_, "long.mp3", 40);  // 160 s, about 2.5 MB
  const std::string failed = dir_.File("failed.mp3"), next = dir_.File("next.mp3");
  const std::string fresh = dir_.File("fresh.mp3");
  kt::ScriptedOwner owner;
  {
    DiskFullAfter fault(UINT64_MAX);
    kt::Owned<CMp3File> file(mp3, &owner, &fault);
    ASSERT_EQ(file.GetError(), 0u);
    fault.FailWritesAfter(1500000);
    ASSERT_TRUE(FailureOf([&] { file.SaveSelection(failed, 0, 150, nullptr); }).has_value());
    fault.Clear();
    ASSERT_FALSE(FailureOf([&] { file.SaveSelection(next, 0, 150, nullptr); }).has_value());
  }
  kt::Owned<CMp3File> other(mp3, &owner);
  other.SaveSelection(fresh, 0, 150, nullptr);
  EXPECT_GT(fs::file_size(fresh), 2000000u);
  EXPECT_EQ(kt::ReadAll(next), kt::ReadAll(fresh));
}

// A disk that takes nothing more, not even the header's correction: no
// WAV whose header claims audio it lacks (or a bare header) stays, and the
// message says it was removed.
TEST_F(IoFaults, DiskFullDuringMp3DecodeRemovesTheWavAndSaysSo) {
  const std::string mp3 = MakeMp3(dir_, "song.mp3");
  const std::string out = dir_.File("decoded.wav");
  const auto entries = [this] {
    return std::distance(fs::directory_iterator(dir_.Path()), fs::directory_iterator());
  };
  const auto before = entries();
  for (const std::uint64_t room : {std::uint64_t{100000}, std::uint64_t{30}, std::uint64_t{0}}) {
    SCOPED_TRACE(room);
    {
      DiskFullAfter fault(room);
      CMp3File file(mp3, &fault);
      ASSERT_EQ(file.GetError(), 0u);
      kt::RecordingProgress progress;
      const auto failure = FailureOf([&] { file.ConvertToWav(out, &progress); });
      ASSERT_TRUE(failure.has_value());
      EXPECT_EQ(failure->Message(), DiskFullText(out) + " " + msg::kOutputRemoved);
    }
    EXPECT_FALSE(fs::exists(out));
    EXPECT_EQ(entries(), before);  // no hidden file either
  }
}

TEST_F(IoFaults, RealFileSizeLimitDuringAnMp3DecodeIsReportedAsDiskFull) {
  const std::string mp3 = MakeMp3(dir_, "song.mp3");
  const std::string out = dir_.File("decoded.wav");
  const int code = RunWithFileSizeLimit(300000, [&] {
    CMp3File file(mp3);
    if (file.GetError() != 0) return 10;
    const auto failure = FailureOf([&] { file.ConvertToWav(out, nullptr); });
    if (!failure) return 11;
    return failure->Message() == DiskFullText(out) ? 0 : 12;
  });
  EXPECT_EQ(code, 0) << "10: did not open, 11: no failure, 12: another message";
  EXPECT_EQ(fs::file_size(out), 300000u);
}

// A source that shrinks under an MP3 cut: a failure naming the source, and
// the piece holds what reached it (what was read before the shrink), up to
// its last whole frame, with a header frame (gapless) that counts them.
TEST_F(IoFaults, Mp3SourceTruncatedDuringACutIsAFailureAndThePieceEndsOnAWholeFrame) {
  const std::string out = dir_.File("selection.mp3");
  for (const bool gapless : {true, false}) {
    SCOPED_TRACE(gapless);
    const std::string mp3 = MakeMp3(dir_, "long.mp3", 40);  // beyond what the file layer reads ahead
    kt::ScriptedOwner owner;
    {
      kt::Owned<CMp3File> file(mp3, &owner);
      ASSERT_EQ(file.GetError(), 0u);
      file.SetGaplessPieces(gapless);
      ActingProgress progress([&] { fs::resize_file(mp3, 100000); });
      const auto failure = FailureOf([&] { file.SaveSelection(out, 0, 150, &progress); });
      ASSERT_TRUE(failure.has_value()) << "a cut of a source that shrank was reported as saved";
      EXPECT_EQ(failure->Message(), "An attempt was made to access " + mp3 + " past its end.");
    }
    EXPECT_TRUE(owner.messages.empty());
    const Bytes piece = kt::ReadAll(out);
    // At most what the file layer had read before the shrink, far less than
    // the source was.
    EXPECT_LE(piece.size(), 100000u + CFile::kBufferSize + (gapless ? 417u * 3 : 0u));
    EXPECT_GT(piece.size(), 50000u);
    EXPECT_EQ(kt::WalkEnd(piece, 0, piece.size()), piece.size());
    const auto tag = mp3::ReadLameTag(piece.data(), piece.size());
    EXPECT_EQ(tag.has_value(), gapless);
    if (tag) {
      EXPECT_EQ(tag->frames, kt::WalkFrames(piece, 0, piece.size()).size() - 1);
      EXPECT_EQ(tag->bytes, piece.size());
    }
  }
}

TEST_F(IoFaults, OutputThatIsAFolderOrInAMissingFolderGives103AndCreatesNothing) {
  const std::string folder = dir_.File("a folder.wav");
  fs::create_directory(folder);
  const std::string missing = dir_.File("no such folder/out.wav");
  CWaveFile wav(source_);
  for (const std::string& out : {folder, missing}) {
    SCOPED_TRACE(out);
    EXPECT_EQ(wav.SaveSelection(out, 0, 1, nullptr).error, err::kCannotCreateOutput);
    EXPECT_EQ(wav.ConvertTo8Bit(out, nullptr), err::kCannotCreateOutput);
    EXPECT_EQ(wav.RipChannels(1, out, nullptr), err::kCannotCreateOutput);
  }
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_TRUE(fs::is_empty(folder));
  EXPECT_FALSE(fs::exists(dir_.File("no such folder")));
}

TEST_F(IoFaults, ReadOnlyOutputFolderGives103) {
  const fs::path locked = dir_.Path() / "locked";
  fs::create_directory(locked);
  fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                              fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
  const std::string out = (locked / "out.wav").string();
  // Root may write anywhere: the child gives up its rights first.
  const int code = RunWithFileSizeLimit(RLIM_INFINITY, [&] {
    if (::geteuid() == 0 && ::setuid(65534) != 0) return 20;
    CWaveFile wav(source_);
    if (wav.GetError() != 0) return 21;
    return wav.SaveSelection(out, 0, 1, nullptr).error == err::kCannotCreateOutput ? 0 : 22;
  });
  EXPECT_EQ(code, 0);
  EXPECT_FALSE(fs::exists(out));
}

TEST_F(IoFaults, NamesWithSpacesNonAsciiLettersAndUpperCaseFoldersWorkThroughout) {
  const fs::path folder = dir_.Path() / "My Music" / "Ünïcödé Ålbum";
  fs::create_directories(folder);
  const std::string source = (folder / "track één.wav").string();
  kt::WriteAll(source, original_);
  kt::ScriptedOwner owner;
  owner.shred.numberOfSplits = 2;  // base left empty: the source's own path
  kt::Owned<CWaveFile> wav(source, &owner);
  ASSERT_EQ(wav.GetError(), 0u);
  EXPECT_EQ(wav.GetFileName(), "track één.wav");
  EXPECT_EQ(wav.SplitEqually(nullptr), 0u);
  // Only ASCII letters of the name are upper-cased; folders are kept as they are.
  EXPECT_EQ(fs::file_size(folder / "TRACK ééN-1.wav"), 44u + 176400 * 2);
  EXPECT_EQ(fs::file_size(folder / "TRACK ééN-2.wav"), 44u + 176400 * 2);
  const std::string selection = (folder / "Stück – Auswahl.wav").string();
  EXPECT_EQ(wav.SaveSelection(selection, 1, 2, nullptr), 0u);
  EXPECT_EQ(fs::file_size(selection), 44u + 176400);
  const std::string narrow = (folder / "schmal 8 bit ß.wav").string();
  EXPECT_EQ(wav.ConvertTo8Bit(narrow, nullptr), 0u);
  EXPECT_EQ(fs::file_size(narrow), 44u + 176400 * 2);
  EXPECT_EQ(kt::ReadAll(source), original_);
}

}  // namespace
