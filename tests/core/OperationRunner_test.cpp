// The engine's one error type and its runner: every kind of failure that can
// end an operation becomes one outcome with its code, its file, the system's
// reason and the text a front end shows. The file faults, the cue sheet and
// the export below are real ones, made by the engine on real files.
#include "core/OperationRunner.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <new>
#include <stdexcept>

#include "core/AudioFailure.h"
#include "core/File.h"
#include "core/StringTable.h"
#include "core/split/CueSheet.h"
#include "core/split/CutListExport.h"
#include "core/split/SilenceFinder.h"
#include "core/wav/WaveFile.h"
#include "support/TestSupport.h"

namespace {

using Ending = OperationOutcome::Ending;

TEST(OperationRunner, EachKindOfFailureBecomesItsOutcomeAndText) {
  kt::TempDir dir;
  const std::string missing = dir.File("gone.wav"), fallback = dir.File("source.wav");
  const std::string sheet = dir.File("album.cue"), noFolder = dir.File("none/cuts.txt");
  kt::WriteAll(sheet, {'R', 'E', 'M', 0, 1, 2, 3});
  struct Case {
    const char* what;
    std::function<void()> operation;
    Ending ending;
    AudioError code;
    std::string path;
    int osError;
    std::string text;
  };
  const Case cases[] = {
      {"runs to its end", [] {}, Ending::Finished, err::kNone, "", 0, ""},
      {"file fault", [&] { CFile().OpenOrThrow(missing, CFile::Mode::ReadShared); }, Ending::Failed,
       err::kFileFault, missing, ENOENT, missing + " was not found."},
      {"file fault with a note",
       [] {
         CFileException e(FileCause::DiskFull, "/data/out.wav", ENOSPC);
         e.AddNote(msg::kOutputRemoved);
         throw e;
       },
       Ending::Failed, err::kFileFault, "/data/out.wav", ENOSPC,
       "Disk full while accessing /data/out.wav. The incomplete output was removed."},
      {"catalogue code", [] { throw CAudioFailure(err::kTooManyChannels, "/data/three.wav"); },
       Ending::Failed, err::kTooManyChannels, "/data/three.wav", 0, LoadMessage(err::kTooManyChannels)},
      {"cue sheet", [&] { split::ReadCueSheet(sheet); }, Ending::Failed, err::kCueSheet, sheet, 0,
       sheet + ": this is not a cue sheet (it holds binary data)"},
      {"silence scan",
       [&] {
         CWaveFile gone(missing);
         split::FindSilences(gone, {});
       },
       Ending::Failed, err::kLevelScan, missing, 0, missing + ": the file could not be opened"},
      {"export", [&] { split::WriteTextFile(noFolder, "cuts\n"); }, Ending::Failed, err::kExport, noFolder,
       ENOENT, noFolder + ": cannot create the file: No such file or directory"},
      {"out of memory", [] { throw std::bad_alloc(); }, Ending::OutOfMemory, err::kNoMemory, fallback, 0,
       "Cannot allocate memory to complete the requested operation."},
      {"unknown exception", [] { throw std::logic_error("nobody's"); }, Ending::Unexpected, err::kUnexpected,
       fallback, 0, "An unknown error occurred while accessing " + fallback + "."},
      {"not an exception at all", [] { throw 42; }, Ending::Unexpected, err::kUnexpected, fallback, 0,
       "An unknown error occurred while accessing " + fallback + "."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const OperationOutcome outcome = RunAndCatch(fallback, c.operation);
    EXPECT_EQ(outcome.ending, c.ending);
    EXPECT_EQ(outcome.Finished(), c.ending == Ending::Finished);
    EXPECT_EQ(outcome.code, c.code);
    EXPECT_EQ(outcome.path, c.path);
    EXPECT_EQ(outcome.osError, c.osError);
    EXPECT_EQ(outcome.text, c.text);
  }
}

// The file fault is one of the error type: caught as either, it says the same.
TEST(OperationRunner, AFileFaultIsAnAudioFailureWithTheSameText) {
  try {
    throw CFileException(FileCause::AccessDenied, "/data/locked.wav", EACCES);
  } catch (const CAudioFailure& failure) {
    EXPECT_EQ(failure.Code(), err::kFileFault);
    EXPECT_EQ(failure.OsError(), EACCES);
    EXPECT_STREQ(failure.what(), "Access to /data/locked.wav was denied.");
    const auto* file = dynamic_cast<const CFileException*>(&failure);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->Cause(), FileCause::AccessDenied);
    EXPECT_EQ(file->Message(), failure.Text());
  }
}

}  // namespace
