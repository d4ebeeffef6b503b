// The batch queue and the run machine without a window: how a job is typed
// and named, what the observer hears, and the status a job passes through
// in each situation, in the window's style (one at a time, each checked when
// its turn comes) and in the command line's (several at once, all checked
// first, the log in the queue's order).
#include "core/batch/BatchQueue.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/StringTable.h"
#include "core/batch/BatchNaming.h"
#include "core/batch/BatchRun.h"
#include "core/batch/BatchWorker.h"
#include "core/open/Formats.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

TEST(BatchQueue, AJobIsTypedAndNamedFromItsPath) {
  struct Case {
    const char* path;
    BatchFormat source, target;
    const char* output;
    bool checked;
    JobStatus status;
  };
  const Case cases[] = {
      {"/m/Song.Live.WAV", FormatNamed("WAV"), FormatNamed("MP3"), "Song.Live.mp3", true, JobStatus::Queued},
      {"/m/b.mp3", FormatNamed("MP3"), FormatNamed("WAV"), "b.wav", true, JobStatus::Queued},
      {"/m/notes.txt", nullptr, nullptr, "notes.$$$", false, JobStatus::UnknownType},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const BatchQueueJob job = MakeBatchQueueJob(c.path);
    EXPECT_EQ(job.sourceFormat, c.source);
    EXPECT_EQ(job.target, c.target);
    EXPECT_EQ(job.outputName, c.output);
    EXPECT_EQ(job.outputFolder, "/m/");
    EXPECT_EQ(job.checked, c.checked);
    EXPECT_EQ(job.status, c.status);
  }
}

// Insertions and removals come as the pairs a table model needs, removals
// one stretch of neighbours at a time; ids follow jobs as rows move.
TEST(BatchQueue, TheObserverHearsEachChangeOnce) {
  struct Recorder : CBatchQueueObserver {
    std::vector<std::string> heard;
    void Say(const char* format, int a = 0, int b = 0) { heard.push_back(FormatText(format, a, b)); }
    void JobsInserting(int f, int l) override { Say("+%d%d", f, l); }
    void JobsInserted() override { Say("+"); }
    void JobsRemoving(int f, int l) override { Say("-%d%d", f, l); }
    void JobsRemoved() override { Say("-"); }
    void JobChanged(int i, JobField f) override { Say("%d:%d", i, int(f)); }
    void AllJobsChanged(JobField f) override { Say("*%d", int(f)); }
  } recorder;
  CBatchQueue queue;
  queue.SetObserver(&recorder);
  std::vector<BatchQueueJob> jobs;
  for (const char* name : {"/a.wav", "/b.wav", "/c.wav", "/d.wav", "/e.wav"})
    jobs.push_back(MakeBatchQueueJob(name));
  queue.Insert(0, jobs);
  const std::uint64_t d = queue.At(3).id;
  queue.RemoveIf(
      [](const BatchQueueJob& job) { return job.sourcePath != "/a.wav" && job.sourcePath != "/d.wav"; });
  EXPECT_EQ(queue.IndexOf(d), 1);
  queue.SetStatus(1, JobStatus::Converting);
  queue.SetPercent(1, 140);
  queue.SetAllChecked(false);
  queue.SetChecked(0, false);  // no change: nothing heard
  EXPECT_EQ(recorder.heard,
            (std::vector<std::string>{"+04", "+", "-44", "-", "-12", "-", "1:3", "1:4", "*0"}));
  EXPECT_EQ(queue.At(1).percent, 100);
}

// The command line's style over real files: two at once, every job checked
// before any starts, held-back jobs settled first, the log in queue order.
class BatchRunStyles : public ::testing::Test, public CBatchRunHost {
 protected:
  void StartWorker(std::uint64_t id, BatchJob& job) override {
    pending.emplace_back(id, &job);
    maxAtOnce = std::max(maxAtOnce, pending.size());
  }
  bool OverwriteChecked() const override { return overwrite; }
  void ShowSummary(const std::string& text, bool) override { summary = text; }
  void JobSettled(int index) override {
    settled.push_back(queue.At(index).SourceName() + " " + BatchStatusText(queue.At(index).status));
  }
  // Ends the pending jobs last first, so the log's order cannot follow
  // the order they end in.
  void Pump(CBatchRun& run) {
    while (!pending.empty()) {
      const auto [id, job] = pending.back();
      pending.pop_back();
      BatchConvertWorker(*job);
      run.OnJobEnded(id);
    }
  }
  std::string Wav(const std::string& name) { return kt::PatternWav(dir, name, 1); }
  std::string Log() const {
    const auto bytes = kt::ReadAll(dir.File("run.log"));
    return {bytes.begin(), bytes.end()};
  }

  kt::TempDir dir;
  CBatchQueue queue;
  std::vector<std::pair<std::uint64_t, BatchJob*>> pending;
  std::size_t maxAtOnce = 0;
  bool overwrite = false;
  std::string summary;
  std::vector<std::string> settled;
};

TEST_F(BatchRunStyles, TheCommandLinesRunChecksAllFirstAndLogsInQueueOrder) {
  for (const char* name : {"a.wav", "b.wav", "c.wav"})
    queue.Insert(queue.Count(), {MakeBatchQueueJob(Wav(name))});
  kt::WriteAll(dir.File("junk.wav"), kt::PatternData(3000));
  queue.Insert(1, {MakeBatchQueueJob(dir.File("junk.wav"))});
  kt::WriteAll(dir.File("c.mp3"), {1});  // c's output exists
  BatchQueueJob unknown = MakeBatchQueueJob(dir.File("notes.txt"));
  unknown.checked = true;
  queue.Insert(queue.Count(), {unknown});
  BatchRunOptions options{dir.File("run.log"), 2, true, true};
  CBatchRun run(queue, *this, options);
  run.Start();
  Pump(run);
  EXPECT_EQ(maxAtOnce, 2u);
  // Held-back jobs first, then as the conversions end (last handed over first).
  EXPECT_EQ(settled, (std::vector<std::string>{"c.wav File Exists", "notes.txt Failed", "junk.wav Failed",
                                               "b.wav Done", "a.wav Done"}));
  const auto entry = [&](int i, const char* status, AudioError reason) {
    const BatchQueueJob& j = queue.At(i);
    return FormatLogEntry({j.SourceName(), j.SourceFolder(), j.outputName, j.outputFolder,
                           BatchFormatText(j.target), status, LoadMessage(reason)});
  };
  EXPECT_EQ(Log(), entry(1, "Failed", err::kNoRiffHeader) + entry(3, "File Exists", err::kBatchOutputExists) +
                       entry(4, "Failed", err::kBatchUnknownType));
  EXPECT_EQ(summary, BatchSummaryText(2, 1));
  EXPECT_FALSE(run.EndedByStop());
}

// Each path a job's status takes through a window-style run.
TEST_F(BatchRunStyles, EachJobPassesThroughTheStatusesItsSituationGives) {
  struct Case {
    const char* what;
    std::function<std::string()> make;
    bool overwrite, stop;
    std::vector<JobStatus> path;  // as the observer sees the job's status change
  };
  const auto existing = [&] {
    kt::WriteAll(dir.File("e.mp3"), {1});
    return Wav("e.wav");
  };
  // clang-format off
  const Case cases[] = {
      {"converts", [&] { return Wav("a.wav"); }, false, false, {JobStatus::Converting, JobStatus::Done}},
      {"fails", [&] { return dir.File("gone.wav"); }, false, false, {JobStatus::Converting, JobStatus::Failed}},
      {"file exists", existing, false, false, {JobStatus::FileExists}},
      {"file exists, Overwrite", existing, true, false, {JobStatus::Converting, JobStatus::Done}},
      {"stopped mid-file", [&] { return Wav("s.wav"); }, false, true, {JobStatus::Converting, JobStatus::Queued}},
      {"protected", [&] { return Wav("p.wav"); }, true, false, {JobStatus::Failed}},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    struct Statuses : CBatchQueueObserver {
      CBatchQueue* queue;
      std::vector<JobStatus> seen;
      void JobsInserting(int, int) override {}
      void JobsInserted() override {}
      void JobsRemoving(int, int) override {}
      void JobsRemoved() override {}
      void JobChanged(int i, JobField f) override {
        if (f == JobField::Status) seen.push_back(queue->At(i).status);
      }
      void AllJobsChanged(JobField) override {}
    } statuses;
    statuses.queue = &queue;
    queue.SetObserver(nullptr);
    queue.RemoveIf([](const BatchQueueJob&) { return true; });
    queue.Insert(0, {MakeBatchQueueJob(c.make())});
    queue.SetObserver(&statuses);
    overwrite = c.overwrite;
    CBatchRun run(queue, *this, {dir.File("run.log")});
    if (std::string(c.what) == "protected") run.SetProtectedFiles({queue.At(0).OutputPath()});
    run.Start();
    if (c.stop) run.RequestStop();
    Pump(run);
    EXPECT_EQ(statuses.seen, c.path);
    EXPECT_EQ(run.EndedByStop(), c.stop);
    queue.SetObserver(nullptr);
  }
}

}  // namespace
