// The batch engine without its window: the next-job step over every row of
// the failure table, the log's exact bytes, the summary texts, per-file
// progress and the guards against a second run and against overwriting a
// source. Jobs run the real worker on generated files, one event at a time.
#include "batch/BatchRun.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <optional>

#include "batch/BatchNaming.h"
#include "batch/BatchWorker.h"
#include "res/StringTable.h"
#include "support/Mp3Builder.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

// The job list as a plain table, filled the way Add Files fills the list.
class TableRows : public CBatchRows {
 public:
  struct Row {
    BatchRow record;
    bool checked = true, bold = false, progress = false;
    std::array<std::string, batchcol::kCount> text;
    std::uint32_t statusColour = batchcolour::kBlack;
    int percent = 0;
  };
  std::vector<Row> rows;

  // Rows of unknown type start unchecked unless checked says otherwise.
  void Add(const std::string& path, std::optional<bool> checked = std::nullopt) {
    Row row;
    row.record.sourcePath = path;
    row.record.sourceType = BatchSourceType(BatchExtension(path));
    row.checked = checked.value_or(row.record.sourceType != sourcetype::kUnknown);
    const std::string name = BatchFileName(path);
    row.text[batchcol::kSource] = name;
    row.text[batchcol::kConvertTo] = BatchTargetText(row.record.sourceType);
    row.text[batchcol::kOutput] = BatchOutputName(name, BatchTargetExtension(row.record.sourceType));
    row.text[batchcol::kStatus] = batchtext::kQueued;
    row.text[batchcol::kSourcePath] = row.text[batchcol::kOutputPath] = BatchFolder(path);
    rows.push_back(row);
  }
  JobStatus Status(int row) const { return static_cast<JobStatus>(rows[row].record.status); }
  const std::string& StatusText(int row) const { return rows[row].text[batchcol::kStatus]; }

  int RowCount() const override { return static_cast<int>(rows.size()); }
  BatchRow* Record(int row) const override {
    return row >= 0 && row < RowCount() ? const_cast<BatchRow*>(&rows[row].record) : nullptr;
  }
  bool IsChecked(int row) const override { return rows[row].checked; }
  std::string Text(int row, int column) const override { return rows[row].text[column]; }
  void SetStatusText(int row, const std::string& text, std::uint32_t colour) override {
    rows[row].text[batchcol::kStatus] = text;
    rows[row].statusColour = colour;
  }
  void SetSourceBold(int row, bool bold) override { rows[row].bold = bold; }
  void ShowProgress(int row) override { rows[row].progress = true, rows[row].percent = 0; }
  void HideProgress(int row) override { rows[row].progress = false; }
  void SetProgress(int row, int percent) override { rows[row].percent = percent; }
  void ScrollTo(int) override {}
};

// The window around the list: records what the engine asks for and keeps a
// started worker until the test pumps.
class RecordingHost : public CBatchHost {
 public:
  BatchJob* pending = nullptr;
  bool overwrite = false, convertAll = false, stop = false, closed = false;
  std::vector<std::string> summaries;
  std::vector<int> posted;
  std::pair<int, int> overall{-1, -1};
  int workersStarted = 0;

  void StartWorker(BatchJob& job) override { pending = &job, ++workersStarted; }
  bool OverwriteChecked() const override { return overwrite; }
  void EnableConvertAll(bool enable) override { convertAll = enable; }
  void EnableStop(bool enable) override { stop = enable; }
  void SetOverallProgress(int maximum, int position) override { overall = {maximum, position}; }
  void ShowSummary(const std::string& text, bool) override { summaries.push_back(text); }
  void CloseWindow() override { closed = true; }
  void PostPercent(int percent) override { posted.push_back(percent); }
};

// Also the batch window as progress sink: forwards what the engine handles.
class BatchRunTest : public ::testing::Test, public CProgressCounter {
 protected:
  BatchRunTest() : run(rows, host, *this, dir.File("state/batchconvert.log")) {}

  void SetFileRange(std::uint32_t total, std::uint32_t step) override { run.SetFileRange(total, step); }
  void StepFile() override {
    run.StepFile();
    if (onStep) onStep();
  }
  bool IsCancelled() override { return run.IsCancelled(); }

  // Runs the started workers one after the other, as the window's event
  // loop would deliver their reports.
  void Pump() {
    while (BatchJob* job = std::exchange(host.pending, nullptr)) {
      BatchConvertWorker(*job, maker);
      run.OnJobFinished();
    }
  }
  // Starts a case over in a folder of its own.
  void Fresh(const std::string& name) {
    folder = dir.Path() / name;
    fs::create_directories(folder);
    rows.rows.clear();
    host = RecordingHost{};
    onStep = nullptr;
  }
  void Convert() {
    run.StartRun();
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
  std::string Entry(int row, const std::string& status, const std::string& reason) const {
    const auto& t = rows.rows[row].text;
    return FormatLogEntry({t[1], t[6], t[4], t[7], t[3], status, reason});
  }

  kt::TempDir dir;
  fs::path folder = dir.Path();
  TableRows rows;
  RecordingHost host;
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
    bool checked, outputExists;
    JobStatus status;
    const char* cell;
    std::uint32_t colour;
    AudioError logged;  // 0: no entry
    BatchFileMaker fileMaker = MakeBatchFile;
  };
  const BatchFileMaker noMemory = [](const std::string&, std::int32_t) -> std::unique_ptr<CAudioFile> {
    throw std::bad_alloc();
  };
  const auto file = [&](const char* name, std::size_t size) {
    kt::WriteAll(In(name), kt::PatternData(size));
    return In(name);
  };
  const Case cases[] = {
      {"converts", [&] { return Wav("good.wav"); }, true, false, JobStatus::Done, "Done", 0x006E28, 0},
      {"decodes", [&] { return Mp3("tune.mp3"); }, true, false, JobStatus::Done, "Done", 0x006E28, 0},
      {"unknown type", [&] { return file("notes.txt", 2); }, true, false, JobStatus::Failed, "Failed",
       0x0000FF, err::kBatchUnknownType},
      {"bad header", [&] { return file("junk.wav", 3000); }, true, false, JobStatus::Failed, "Failed",
       0x0000FF, err::kNoRiffHeader},
      {"missing source", [&] { return In("gone.wav"); }, true, false, JobStatus::Failed, "Failed", 0x0000FF,
       err::kCannotOpen},
      {"conversion fails", [&] { return Wav("three.wav", 3); }, true, false, JobStatus::Failed, "Failed",
       0x0000FF, err::kTooManyChannels},
      {"the file object cannot be created", [&] { return Wav("a.wav"); }, true, false, JobStatus::Failed,
       "Failed", 0x0000FF, err::kNoMemory, noMemory},
      {"output exists", [&] { return Wav("there.wav"); }, true, true, JobStatus::Pending, "File Exists",
       0x0000FF, err::kBatchOutputExists},
      {"left unchecked", [&] { return Wav("skip.wav"); }, false, false, JobStatus::Pending, "Queued",
       0x000000, err::kBatchNotSelected},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Fresh(c.what);
    rows.Add(c.make(), c.checked);
    if (c.outputExists) kt::WriteAll(run.GetOutputFullPath(0), {1, 2, 3});
    maker = c.fileMaker;
    Convert();
    EXPECT_EQ(fs::exists(run.GetOutputFullPath(0)), c.outputExists || c.status == JobStatus::Done);
    EXPECT_EQ(rows.Status(0), c.status);
    EXPECT_EQ(rows.StatusText(0), c.cell);
    EXPECT_EQ(rows.rows[0].statusColour, c.colour);
    EXPECT_FALSE(rows.rows[0].bold || rows.rows[0].progress);
    EXPECT_EQ(Log(), c.logged ? Entry(0, c.cell, LoadMessage(c.logged)) : batchlog::kSuccessLine);
    EXPECT_EQ(run.State(), c.status == JobStatus::Pending ? BatchState::Unfinished : BatchState::Idle);
    EXPECT_EQ(host.convertAll, c.status == JobStatus::Pending);
    EXPECT_FALSE(host.stop);
    EXPECT_EQ(host.overall, std::make_pair(0, 0));
  }
}

// The log holds exactly what the last run left, whatever ended it.
TEST_F(BatchRunTest, TheLogHoldsExactlyWhatTheLastRunLeft) {
  const auto middleBlocked = [&] {
    for (const char* name : {"a.wav", "b.wav", "c.wav"}) rows.Add(Wav(name));
    kt::WriteAll(In("b.mp3"), {1});
  };
  const auto stopInFirst = [&] {
    rows.Add(Wav("a.wav"));
    rows.Add(Wav("b.wav"));
    rows.Add(In("c.txt"), false);
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
      {"all converted", [&] { rows.Add(Wav("a.wav")), rows.Add(Wav("b.wav")); }, nullptr, text(allDone),
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
      {"close during a run", [&] { rows.Add(Wav("a.wav")), onStep = [&] { run.RequestClose(); }; },
       nullptr, text(aborted), "", "Queued", {50}, 1, true},
      {"two consecutive runs: the failed row still counts", [&] { rows.Add(In("gone.wav")); },
       [&] { rows.Add(Wav("a.wav")); }, text(""),
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
    EXPECT_EQ(rows.StatusText(0), c.firstCell);
    for (const auto& row : rows.rows) {
      EXPECT_FALSE(row.bold || row.progress);
      if (row.text[batchcol::kStatus] == "Queued") {
        EXPECT_EQ(row.statusColour, batchcolour::kBlack);
      }
    }
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
  rows.Add(In("gone.wav"));
  rows.Add(Wav("a.wav"));
  Convert();
  EXPECT_EQ(rows.Status(0), JobStatus::Failed);
  EXPECT_EQ(rows.Status(1), JobStatus::Done);
  EXPECT_FALSE(run.WriteLogEntry(0));
  EXPECT_EQ(host.summaries, std::vector<std::string>{BatchSummaryText(1, 0)});
}

TEST(BatchTexts, SummariesAndTheEightLinesOfAnEntry) {
  const std::pair<std::pair<int, int>, const char*> summaries[] = {
      {{2, 3}, "2 failures encountered. 3 files not converted\nPlease view log file for more information"},
      {{1, 0}, "1 failures encountered. Please view log file for more information"},
      {{0, 4}, "4 files not converted. Please view log file for more information"},
      {{0, 0}, "All files converted sucessfully"},
  };
  for (const auto& [counts, summary] : summaries)
    EXPECT_EQ(BatchSummaryText(counts.first, counts.second), summary);
  EXPECT_EQ(FormatLogEntry({"a.wav", "/m/", "a.mp3", "/o/", "MP3", "Failed", "why"}),
            "Source File : a.wav\nSource Path : /m/\nOutput File : a.mp3\nOutput Path : /o/\n"
            "Convert To : MP3\nStatus : Failed\nReason : why\n" +
                std::string(75, '=') + "\n\n");
}

// Per-file percentages: whole numbers that only grow, at most 100, and a file
// whose range is 0 leaves the cell alone.
TEST_F(BatchRunTest, StepFilePostsOnlyGrowingWholePercentages) {
  struct Case {
    std::uint32_t total, step, steps;
    std::vector<int> posted;
  };
  const Case cases[] = {
      {0, 1, 5, {}},         {3, 1, 4, {33, 66, 100}},
      {400, 1, 5, {1}},      {200, 3, 2, {1, 3}},
      {10, 7, 3, {70, 100}}, {0xFFFFFFFFu, 0x80000000u, 3, {50}},  // the counter wraps at 32 bits
  };
  for (const Case& c : cases) {
    host.posted.clear();
    rows.rows.clear();
    rows.Add(Wav("p.wav"));
    run.StartRun();  // each job starts from 0 %
    host.pending = nullptr;
    run.SetFileRange(c.total, c.step);
    for (std::uint32_t i = 0; i < c.steps; ++i) run.StepFile();
    EXPECT_EQ(host.posted, c.posted) << c.total << "/" << c.step;
    run.RequestStop();
    run.OnJobFinished();
  }
}

// Adding files during a run neither starts a second run nor leaves the
// added rows behind: they run in this one. Percentages reach only the
// converting row, and only upwards.
TEST_F(BatchRunTest, NoSecondRunWhileAWorkerRuns) {
  rows.Add(Wav("a.wav"));
  run.ShowPercent(40);  // nothing converts yet
  EXPECT_EQ(rows.rows[0].percent, 0);
  run.StartRun();
  ASSERT_EQ(run.State(), BatchState::Converting);
  rows.Add(In("late.wav"));
  std::rotate(rows.rows.begin(), rows.rows.end() - 1, rows.rows.end());  // added rows come first
  run.OnFilesAdded();
  EXPECT_EQ(run.State(), BatchState::Converting);
  EXPECT_FALSE(host.convertAll);
  for (int percent : {10, 5, 60, 60}) run.ShowPercent(percent);
  EXPECT_EQ(rows.rows[1].percent, 60);
  EXPECT_EQ(rows.rows[1].record.shownPercent, 60);
  EXPECT_EQ(rows.rows[0].percent, 0);
  run.StartRun();  // refused: the same worker is still the only one
  EXPECT_EQ(host.workersStarted, 1);
  Pump();
  EXPECT_EQ(rows.Status(1), JobStatus::Done);
  EXPECT_EQ(rows.Status(0), JobStatus::Failed);  // late.wav does not exist
  EXPECT_EQ(host.workersStarted, 2);
}

// Outputs never replace a file of the list: a.wav's output a.mp3 is the
// source of another row, and outputs renamed onto their own source through
// ".." and through a symbolic link.
TEST_F(BatchRunTest, AnOutputNamingASourceFailsEvenWithOverwrite) {
  host.overwrite = true;
  fs::create_directory_symlink(dir.Path(), dir.File("link"));
  rows.Add(Wav("a.wav"));
  rows.Add(Mp3("a.mp3"));
  for (const char* via : {"sub/..", "link"}) {
    rows.Add(Wav("self.wav"));
    rows.rows.back().text[batchcol::kOutput] = "self.wav";
    rows.rows.back().text[batchcol::kOutputPath] = dir.File(via);
  }
  const auto before = kt::ReadAll(In("a.mp3"));
  Convert();
  for (int row : {0, 1, 2, 3}) {
    EXPECT_EQ(rows.Status(row), JobStatus::Failed) << row;
    EXPECT_NE(Log().find(Entry(row, "Failed", "Output file cannot be the same as the source file.")),
              std::string::npos);
  }
  EXPECT_EQ(kt::ReadAll(In("a.mp3")), before);
  EXPECT_EQ(host.workersStarted, 0);
}

TEST(BatchNaming, TypesNamesAndPathsFollowTheExtension) {
  // clang-format off
  const std::tuple<const char*, std::int32_t, const char*> cases[] = {
      {"/m/a.wav", sourcetype::kWav, "a.mp3"}, {"/m/Song.Live.WAV", sourcetype::kWav, "Song.Live.mp3"},
      {"/m/b.mp3", sourcetype::kMp3, "b.wav"}, {"/m/x.mp3wav", sourcetype::kWav, "x.mp3"},
      {"/m/notes.txt", sourcetype::kUnknown, "notes.$$$"}, {"/m/README", sourcetype::kUnknown, "README$$$"},
      {".wav", sourcetype::kUnknown, ".$$$"}};
  // clang-format on
  for (const auto& [path, type, output] : cases) {
    EXPECT_EQ(BatchSourceType(BatchExtension(path)), type) << path;
    EXPECT_EQ(BatchOutputName(BatchFileName(path), BatchTargetExtension(type)), output) << path;
  }
  EXPECT_EQ(BatchJoinPath("/out/", "n.mp3"), "/out/n.mp3");
  EXPECT_EQ(BatchJoinPath("/out", "n.mp3"), "/out/n.mp3");
  EXPECT_EQ(BatchTargetType("mp3", targettype::kWav), targettype::kMp3);
  EXPECT_EQ(BatchTargetType("", targettype::kWav), targettype::kWav);
}

}  // namespace
