// The batch worker through the engine's runner: whatever ends a job while its
// file is opened or converted becomes the job's result and the log's reason,
// and nothing escapes the job. Before, every exception of no known kind was
// reported as "no memory".
#include "core/batch/BatchWorker.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <new>
#include <stdexcept>

#include "core/File.h"
#include "core/StringTable.h"
#include "core/open/Formats.h"
#include "core/split/CueSheet.h"
#include "core/wav/WaveFile.h"
#include "support/TestSupport.h"

namespace {

// A real WAV file whose encoding meets the given failure.
class FailingWave : public CWaveFile {
 public:
  FailingWave(const std::string& path, std::function<void()> fail) : CWaveFile(path), fail_(fail) {}
  AudioError ConvertToMp3(const std::string&, CProgress*, Mp3EncodeSettings) override {
    fail_();
    return err::kNone;
  }

 private:
  std::function<void()> fail_;
};

TEST(BatchWorker, EachKindOfFailureBecomesTheJobsResultAndReason) {
  kt::TempDir dir;
  const std::string source = kt::PatternWav(dir, "source.wav", 1), output = dir.File("source.mp3");
  const std::string unknown = "An unknown error occurred while accessing " + source + ".";
  const auto fileFault = [&] { throw CFileException(FileCause::DiskFull, output, ENOSPC); };
  const auto noMemory = [] { throw std::bad_alloc(); };
  const auto cueError = [] {
    throw split::CueError("/music/a.cue", "/music/a.cue: the cue sheet has no tracks");
  };
  const auto strange = [] { throw std::invalid_argument("strange"); };
  // Fails when the file object is made, or when it converts.
  const auto whenOpened = [](std::function<void()> fail) -> BatchFileMaker {
    return [fail](const std::string&, BatchFormat) -> std::unique_ptr<CAudioFile> {
      fail();
      return nullptr;
    };
  };
  const auto whenConverted = [](std::function<void()> fail) -> BatchFileMaker {
    return [fail](const std::string& path, BatchFormat) { return std::make_unique<FailingWave>(path, fail); };
  };
  const struct {
    const char* what;
    BatchFileMaker make;
    AudioError result;
    std::string reason;  // the log's reason: the failure's text, or the catalogue's
  } cases[] = {
      {"file fault opening", whenOpened(fileFault), err::kCannotOpen,
       "Disk full while accessing " + output + "."},
      {"out of memory opening", whenOpened(noMemory), err::kNoMemory, LoadMessage(err::kNoMemory)},
      {"cue error opening", whenOpened(cueError), err::kCannotOpen,
       "/music/a.cue: the cue sheet has no tracks"},
      {"unknown exception opening", whenOpened(strange), err::kCannotOpen, unknown},
      {"no file object", whenOpened([] {}), err::kNoMemory, LoadMessage(err::kNoMemory)},
      {"file fault converting", whenConverted(fileFault), err::kCannotCreateOutput,
       "Disk full while accessing " + output + "."},
      {"out of memory converting", whenConverted(noMemory), err::kNoMemory, LoadMessage(err::kNoMemory)},
      {"cue error converting", whenConverted(cueError), err::kCannotCreateOutput,
       "/music/a.cue: the cue sheet has no tracks"},
      {"unknown exception converting", whenConverted(strange), err::kCannotCreateOutput, unknown},
      {"converts", whenConverted([] {}), err::kNone, LoadMessage(err::kNone)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    BatchJob job;
    job.sourcePath = source;
    job.outputPath = output;
    job.source = FormatNamed("WAV");
    job.target = FormatNamed("MP3");
    job.failureText = "left from the job before";
    BatchConvertWorker(job, c.make);
    EXPECT_EQ(job.result, c.result);
    EXPECT_EQ(job.failureText.empty() ? LoadMessage(job.result) : job.failureText, c.reason);
  }
}

}  // namespace
