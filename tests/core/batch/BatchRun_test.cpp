// The batch engine without its window: the next-job step over every row of
// the failure table, the log's exact bytes, the summary texts, per-file
// progress and the guards against a second run and against overwriting a
// source. Jobs run the real worker on generated files, one event at a time.
#include "core/batch/BatchRun.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <optional>

#include "core/StringTable.h"
#include "core/batch/BatchNaming.h"
#include "core/batch/BatchWorker.h"
#include "core/open/Formats.h"
#include "support/Mp3Builder.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

// One fixture is the queue and the window around it; a started worker
// waits in host.pending until Pump().
class BatchRunTest : public ::testing::Test, public CBatchRunHost {
 protected:
  struct Host {
    std::vector<std::pair<std::uint64_t, BatchJob*>> pending;
    bool overwrite = false, convertAll = false, stop = false, closed = false;
    std::vector<std::string> summaries;
    std::vector<int> posted;
    std::pair<int, int> overall{-1, -1};
    int workersStarted = 0;
  };
  BatchRunTest() : run(queue, *this, {dir.File("state/batchconvert.log")}) {}

  void StartWorker(std::uint64_t id, BatchJob& job) override {
    host.pending.emplace_back(id, &job), ++host.workersStarted;
  }
  bool OverwriteChecked() const override { return host.overwrite; }
  void EnableConvertAll(bool enable) override { host.convertAll = enable; }
  void EnableStop(bool enable) override { host.stop = enable; }
  void SetOverallProgress(int maximum, int position) override { host.overall = {maximum, position}; }
  void ShowSummary(const std::string& text, bool) override { host.summaries.push_back(text); }
  void CloseWindow() override { host.closed = true; }
  void PostPercent(std::uint64_t, int percent) override { host.posted.push_back(percent); }
  void FileStepped(std::uint64_t) override {
    if (onStep) onStep();
  }

  // Adds a job the way Add Files does; jobs of unknown type start unchecked
  // unless checked says otherwise.
  void Add(const std::string& path, std::optional<bool> checked = std::nullopt) {
    BatchQueueJob job = MakeBatchQueueJob(path);
    if (checked) job.checked = *checked;
    queue.Insert(queue.Count(), {job});
  }
  const BatchQueueJob& Job(int r) const { return queue.At(r); }
  JobStatus Status(int r) const { return queue.At(r).status; }
  std::string StatusText(int r) const { return BatchStatusText(Status(r)); }
  // Runs the started workers one after the other, as the window's event
  // loop would deliver their reports.
  void Pump() {
    while (!host.pending.empty()) {
      const auto [id, job] = host.pending.front();
      host.pending.erase(host.pending.begin());
      BatchConvertWorker(*job, maker);
      run.OnJobEnded(id);
    }
  }
  // Starts a case over in a folder of its own.
  void Fresh(const std::string& name) {
    folder = dir.Path() / name;
    fs::create_directories(folder);
    queue.RemoveIf([](const BatchQueueJob&) { return true; });
    host = {};
    onStep = nullptr;
  }
  void Convert() {
    run.Start();
    Pump();
  }
  std::string Log() const {
    const auto bytes = kt::ReadAll(run.LogPath());
    return {bytes.begin(), bytes.end()};
  }
  std::string In(const std::string& name) const { return (folder / name).string(); }
  // One second of 8000 Hz audio: two blocks for the worker.
  std::string Wav(const std::string& name, std::uint16_t channels = 1) {
    kt::WavSpec layout;
    layout.channels = channels;
    layout.sampleRate = 8000;
    kt::WriteAll(In(name), kt::BuildWav(layout, kt::PatternData(16000u * channels)));
    return In(name);
  }
  std::string Mp3(const std::string& name) {
    kt::WriteAll(In(name), kt::EncodedSine(0.5, kt::LameSpec{}));
    return In(name);
  }
  // The entry the window's cells would give: name, folder, output, target.
  std::string Entry(int r, const std::string& status, const std::string& reason) const {
    const BatchQueueJob& j = Job(r);
    return FormatLogEntry({j.SourceName(), j.SourceFolder(), j.outputName, j.outputFolder,
                           BatchFormatText(j.target), status, reason});
  }

  kt::TempDir dir;
  fs::path folder = dir.Path();
  CBatchQueue queue;
  Host host;
  std::function<void()> onStep;  // lets a test act in the middle of a file
  BatchFileMaker maker = MakeBatchFile;
  CBatchRun run;
};

// Every row of the failure table, and the successes around it: the row's
// status, its cell and colour, and the log entry it leaves.
TEST_F(BatchRunTest, EachSituationOfTheFailureTableEndsTheRowAsTheTableSays) {
  struct Case {
    const char* what;
    std::function<std::string()> make;
    std::string cell;
    AudioError logged;  // 0: no entry
    BatchFileMaker fileMaker = MakeBatchFile;
    const char* systemReason = "";  // after the logged text, in parentheses
  };
  const BatchFileMaker noMemory = [](const std::string&, BatchFormat) -> std::unique_ptr<CAudioFile> {
    throw std::bad_alloc();
  };
  const auto file = [&](const char* name, std::size_t size) {
    kt::WriteAll(In(name), kt::PatternData(size));
    return In(name);
  };
  // clang-format off
  const Case cases[] = {
      {"converts", [&] { return Wav("good.wav"); }, "Done", 0},
      {"decodes", [&] { return Mp3("tune.mp3"); }, "Done", 0},
      {"unknown type", [&] { return file("notes.txt", 2); }, "Failed", err::kBatchUnknownType},
      {"bad header", [&] { return file("junk.wav", 3000); }, "Failed", err::kNoRiffHeader},
      {"missing source", [&] { return In("gone.wav"); }, "Failed", err::kCannotOpen, MakeBatchFile, "No such file or directory"},
      {"output folder gone", [&] { return Wav("lost.wav"); }, "Failed", err::kCannotCreateOutput, MakeBatchFile, "No such file or directory"},
      {"conversion fails", [&] { return Wav("three.wav", 3); }, "Failed", err::kTooManyChannels},
      {"no file object", [&] { return Wav("a.wav"); }, "Failed", err::kNoMemory, noMemory},
      {"output exists", [&] { return Wav("there.wav"); }, "File Exists", err::kBatchOutputExists},
      {"left unchecked", [&] { return Wav("skip.wav"); }, "Queued", err::kBatchNotSelected},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Fresh(c.what);
    Add(c.make(), c.logged != err::kBatchNotSelected);
    const bool outputExists = c.logged == err::kBatchOutputExists;
    if (outputExists) kt::WriteAll(Job(0).OutputPath(), {1, 2, 3});
    if (c.logged == err::kCannotCreateOutput) queue.SetOutput(0, In("gone/"), Job(0).outputName);
    maker = c.fileMaker;
    Convert();
    const JobStatus status = c.cell == "Done"          ? JobStatus::Done
                             : c.cell == "Failed"      ? JobStatus::Failed
                             : c.cell == "File Exists" ? JobStatus::FileExists
                                                       : JobStatus::Queued;
    EXPECT_EQ(fs::exists(Job(0).OutputPath()), outputExists || status == JobStatus::Done);
    EXPECT_EQ(Status(0), status);
    EXPECT_EQ(StatusText(0), c.cell);
    const std::string reason =
        LoadMessage(c.logged) + (*c.systemReason ? std::string(" (") + c.systemReason + ")" : "");
    EXPECT_EQ(Log(), c.logged ? Entry(0, c.cell, reason) : batchlog::kSuccessLine);
    EXPECT_EQ(run.State(), IsWaiting(status) ? BatchState::Unfinished : BatchState::Idle);
    EXPECT_EQ(host.convertAll, IsWaiting(status));
    EXPECT_FALSE(host.stop);
    EXPECT_EQ(host.overall, std::make_pair(0, 0));
  }
}

// The log holds exactly what the last run left, whatever ended it.
TEST_F(BatchRunTest, TheLogHoldsExactlyWhatTheLastRunLeft) {
  const auto middleBlocked = [&] {
    for (const char* name : {"a.wav", "b.wav", "c.wav"}) Add(Wav(name));
    kt::WriteAll(In("b.mp3"), {1});
  };
  const auto stopInFirst = [&] {
    Add(Wav("a.wav"));
    Add(Wav("b.wav"));
    Add(In("c.txt"), false);
    onStep = [&] { run.RequestStop(); };
  };
  const auto text = [](const std::string& bytes) { return [bytes] { return bytes; }; };
  const std::string allDone = batchlog::kSuccessLine, aborted = batchlog::kAbortLine,
                    notConverted = "1 files not converted. Please view log file for more information";
  struct Case {
    const char* what;
    std::function<void()> prepare, again;  // again: before a second run (none when empty)
    std::function<std::string()> log;
    std::string summary;  // the last one shown, "" for none
    const char* firstCell;
    std::vector<int> posted;  // by the last run
    int workers;
    bool closed = false;
  };
  // clang-format off
  const Case cases[] = {
      {"all converted", [&] { Add(Wav("a.wav")), Add(Wav("b.wav")); }, nullptr, text(allDone),
       allDone, "Done", {50, 100, 50, 100}, 2},
      {"three files, the middle output exists", middleBlocked, nullptr,
       [&] { return Entry(1, "File Exists", "Output file already exists"); }, notConverted, "Done",
       {50, 100, 50, 100}, 2},
      {"a row blocked twice: no new entry", middleBlocked, [] {}, text(""), notConverted, "Done", {}, 2},
      {"blocked, then Overwrite; Done rows never run again", middleBlocked, [&] { host.overwrite = true; },
       text(allDone), allDone, "Done", {50, 100}, 3},
      {"stop during the first file", stopInFirst, nullptr, text(aborted), "", "Queued", {50}, 1},
      {"stopped, then again from 0 %", stopInFirst, [&] { onStep = nullptr, host.overwrite = true; },
       [&] { return Entry(2, "Queued", "File not selected for conversion"); }, notConverted, "Done",
       {50, 100, 50, 100}, 3},
      {"close during a run", [&] { Add(Wav("a.wav")), onStep = [&] { run.RequestClose(); }; },
       nullptr, text(aborted), "", "Queued", {50}, 1, true},
      {"two consecutive runs: the failed row still counts", [&] { Add(In("gone.wav")); },
       [&] { Add(Wav("a.wav")); }, text(""),
       "1 failures encountered. Please view log file for more information", "Failed", {50, 100}, 2},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Fresh(c.what);
    c.prepare();
    Convert();
    if (c.again) {
      c.again();
      host.posted.clear();
      Convert();
    }
    EXPECT_EQ(Log(), c.log());
    EXPECT_EQ(host.summaries.empty() ? "" : host.summaries.back(), c.summary);
    EXPECT_EQ(StatusText(0), c.firstCell);
    for (int r = 0; r < queue.Count(); ++r) EXPECT_NE(Status(r), JobStatus::Converting);
    EXPECT_EQ(host.posted, c.posted);
    EXPECT_EQ(host.workersStarted, c.workers);
    EXPECT_EQ(host.closed, c.closed);
    EXPECT_EQ(run.State(), c.firstCell == std::string("Queued") || c.summary == notConverted
                               ? BatchState::Unfinished
                               : BatchState::Idle);
    EXPECT_EQ(host.convertAll, run.State() == BatchState::Unfinished);
    EXPECT_FALSE(run.StopRequested());
  }
}

TEST_F(BatchRunTest, ALogThatCannotBeCreatedLeavesTheRunGoingWithoutOne) {
  kt::WriteAll(dir.File("state"), {'x'});  // a file where the log's folder should be
  Add(In("gone.wav"));
  Add(Wav("a.wav"));
  Convert();
  EXPECT_EQ(Status(0), JobStatus::Failed);
  EXPECT_EQ(Status(1), JobStatus::Done);
  EXPECT_FALSE(run.WriteLogEntry(0));
  EXPECT_EQ(host.summaries, std::vector<std::string>{BatchSummaryText(1, 0)});
}

// The two-line summary (the others end runs below) and an entry's layout.
TEST(BatchTexts, TheTwoLineSummaryAndTheEightLinesOfAnEntry) {
  EXPECT_EQ(BatchSummaryText(2, 3),
            "2 failures encountered. 3 files not converted\nPlease view log file for more information");
  EXPECT_EQ(FormatLogEntry({"a.wav", "/m/", "a.mp3", "/o/", "MP3", "Failed", "why"}),
            "Source File : a.wav\nSource Path : /m/\nOutput File : a.mp3\nOutput Path : /o/\n"
            "Convert To : MP3\nStatus : Failed\nReason : why\n" +
                std::string(75, '=') + "\n\n");
}

// Adding files during a run neither starts a second run nor leaves the
// added rows behind: they run in this one. A file's percentages are whole,
// only grow and stop at 100 (a range of 0 posts none); the row shows them
// only upwards, and only the converting row.
TEST_F(BatchRunTest, NoSecondRunWhileAWorkerRuns) {
  Add(Wav("a.wav"));
  run.ShowPercent(Job(0).id, 40);  // nothing converts yet
  EXPECT_EQ(Job(0).percent, 0);
  run.Start();
  ASSERT_EQ(run.State(), BatchState::Converting);
  CProgressSink& sink = *host.pending.front().second->sink;
  const auto range = [&](std::uint32_t total, std::uint32_t step) {
    CProgressState state;
    state.file.maximum = total;
    state.file.step = step;
    sink.Changed(state, ProgressChange::FileRange);
  };
  range(0, 1), sink.Changed({}, ProgressChange::FileStep);
  range(10, 7);
  for (int step = 0; step < 3; ++step) sink.Changed({}, ProgressChange::FileStep);
  EXPECT_EQ(host.posted, (std::vector<int>{70, 100}));
  queue.Insert(0, {MakeBatchQueueJob(In("late.wav"))});  // added rows come first
  run.OnFilesAdded();
  EXPECT_EQ(run.State(), BatchState::Converting);
  EXPECT_FALSE(host.convertAll);
  for (int percent : {10, 5, 60, 60}) run.ShowPercent(Job(1).id, percent);
  run.ShowPercent(Job(0).id, 30);  // not converting
  EXPECT_EQ(Job(1).percent, 60);
  EXPECT_EQ(Job(0).percent, 0);
  run.Start();  // refused: the same worker is still the only one
  EXPECT_EQ(host.workersStarted, 1);
  Pump();
  EXPECT_EQ(Status(1), JobStatus::Done);
  EXPECT_EQ(Status(0), JobStatus::Failed);  // late.wav does not exist
  EXPECT_EQ(host.workersStarted, 2);
}

// Outputs never replace a file of the list: a.wav's output a.mp3 is the
// source of another row, and outputs renamed onto their own source through
// ".." and through a symbolic link.
TEST_F(BatchRunTest, AnOutputNamingASourceFailsEvenWithOverwrite) {
  host.overwrite = true;
  fs::create_directory_symlink(dir.Path(), dir.File("link"));
  Add(Wav("a.wav"));
  Add(Mp3("a.mp3"));
  for (const char* via : {"sub/..", "link"}) {
    Add(Wav("self.wav"));
    queue.SetOutput(queue.Count() - 1, dir.File(via), "self.wav");
  }
  const auto before = kt::ReadAll(In("a.mp3"));
  Convert();
  for (int row : {0, 1, 2, 3}) {
    EXPECT_EQ(Status(row), JobStatus::Failed) << row;
    EXPECT_NE(Log().find(Entry(row, "Failed", "Output file cannot be the same as the source file.")),
              std::string::npos);
  }
  EXPECT_EQ(kt::ReadAll(In("a.mp3")), before);
  EXPECT_EQ(host.workersStarted, 0);
}

// The same file under another name is that file: outputs that are hard links
// to a listed source, or to a file protected besides the list (the main
// window's), fail before their job starts and leave the file as it was; an
// output merely beside a protected file converts.
TEST_F(BatchRunTest, AnOutputThatIsAProtectedFileUnderAnotherNameFails) {
  struct Case {
    const char* what;
    bool linkToListed;  // else linked to a file protected besides the list
    bool protect;       // the unlisted file is passed as protected
    JobStatus status;
  };
  const Case cases[] = {
      {"hard link to another row's source", true, false, JobStatus::Failed},
      {"hard link to the main window's file", false, true, JobStatus::Failed},
      {"hard link to an unprotected file", false, false, JobStatus::Done},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Fresh(c.what);
    host.overwrite = true;
    const std::string other = c.linkToListed ? Mp3("y.mp3") : Mp3("open.mp3");
    fs::create_hard_link(other, In("x.mp3"));
    Add(Wav("x.wav"));
    if (c.linkToListed) Add(other, false);  // listed, not converted
    run.SetProtectedFiles(c.protect ? std::vector<std::string>{other} : std::vector<std::string>{});
    const auto before = kt::ReadAll(other);
    Convert();
    EXPECT_EQ(Status(0), c.status);
    if (c.status == JobStatus::Failed) {
      EXPECT_EQ(kt::ReadAll(other), before);
      EXPECT_NE(Log().find(Entry(0, "Failed", LoadMessage(err::kOutputIsSource))), std::string::npos);
    } else {
      // Overwrite replaced the name; the file linked under it keeps its bytes.
      EXPECT_NE(kt::ReadAll(In("x.mp3")), before);
      EXPECT_EQ(kt::ReadAll(other), before);
    }
  }
}

}  // namespace
