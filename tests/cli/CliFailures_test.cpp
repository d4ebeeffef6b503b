// Every verb of the tool runs through RunVerb: whatever ends it becomes one
// line on standard error and exit code 1, in the form the verb prints its
// failures in, and nothing escapes to end the process. The table throws each
// kind of failure through the runner as a verb would meet it.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <new>
#include <stdexcept>

#include "cli/CliJob.h"
#include "cli/CliMessages.h"
#include "core/File.h"
#include "core/split/CueSheet.h"

namespace {

// What a verb printed on its error stream, and its exit code.
struct Printed {
  int code = -1;
  std::string err;
};

Printed RunThrough(FailureForm form, const std::function<int()>& verb) {
  char* buffer = nullptr;
  std::size_t size = 0;
  std::FILE* err = ::open_memstream(&buffer, &size);
  Printed printed;
  printed.code = RunVerb(err, form, "/music/in.wav", verb);
  std::fclose(err);
  printed.err.assign(buffer, size);
  std::free(buffer);
  return printed;
}

TEST(CliFailures, EachKindOfFailureIsOneLineAndExit1InTheVerbsForm) {
  const std::string memory = "Cannot allocate memory to complete the requested operation.";
  const std::string unknown = "An unknown error occurred while accessing /music/in.wav.";
  const struct {
    const char* what;
    std::function<int()> verb;
    std::string fileLine;  // cut, to-mp3, shred, ...: "FILE: MESSAGE (REASON)"
    std::string ownText;   // split, waveform, batch: the failure's own words
  } cases[] = {
      {"file fault", []() -> int { throw CFileException(FileCause::DiskFull, "/music/out.mp3", ENOSPC); },
       "kestrune-cli: /music/out.mp3: Disk full while accessing /music/out.mp3. (No space left on device)\n",
       "kestrune-cli: Disk full while accessing /music/out.mp3.\n"},
      {"out of memory", []() -> int { throw std::bad_alloc(); },
       "kestrune-cli: /music/in.wav: " + memory + "\n", "kestrune-cli: /music/in.wav: " + memory + "\n"},
      {"cue sheet",
       []() -> int { throw split::CueError("/music/a.cue", "/music/a.cue: line 3: TRACK needs a number"); },
       "kestrune-cli: /music/a.cue: /music/a.cue: line 3: TRACK needs a number\n",
       "kestrune-cli: /music/a.cue: line 3: TRACK needs a number\n"},
      {"unknown exception", []() -> int { throw std::out_of_range("index"); },
       "kestrune-cli: /music/in.wav: " + unknown + "\n", "kestrune-cli: /music/in.wav: " + unknown + "\n"},
      {"not an exception at all", []() -> int { throw 7; }, "kestrune-cli: /music/in.wav: " + unknown + "\n",
       "kestrune-cli: /music/in.wav: " + unknown + "\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Printed fileLine = RunThrough(FailureForm::FileLine, c.verb);
    EXPECT_EQ(fileLine.code, cliexit::kFailed);
    EXPECT_EQ(fileLine.err, c.fileLine);
    const Printed ownText = RunThrough(FailureForm::OwnText, c.verb);
    EXPECT_EQ(ownText.code, cliexit::kFailed);
    EXPECT_EQ(ownText.err, c.ownText);
  }
}

// A verb that ends by itself keeps its exit code and prints nothing more.
TEST(CliFailures, AVerbThatEndsByItselfKeepsItsExitCode) {
  for (const int code : {cliexit::kOk, cliexit::kFailed, cliexit::kUsage, cliexit::kCancelled}) {
    const Printed printed = RunThrough(FailureForm::FileLine, [code] { return code; });
    EXPECT_EQ(printed.code, code);
    EXPECT_EQ(printed.err, "");
  }
}

// A failure without a file of its own and no file to name stands alone.
TEST(CliFailures, AFailureWithNoFileToNameStandsAlone) {
  OperationOutcome outcome;
  outcome.ending = OperationOutcome::Ending::OutOfMemory;
  outcome.text = "Cannot allocate memory to complete the requested operation.";
  EXPECT_EQ(OperationFailureLine(outcome, FailureForm::FileLine),
            "kestrune-cli: Cannot allocate memory to complete the requested operation.");
}

}  // namespace
