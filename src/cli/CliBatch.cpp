#include "cli/CliBatch.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "cli/CliBatchPrinter.h"
#include "cli/CliJob.h"
#include "cli/CliMessages.h"
#include "cli/CliProgress.h"
#include "core/batch/BatchNaming.h"
#include "core/batch/BatchOutputRules.h"
#include "core/batch/BatchRun.h"
#include "core/batch/BatchScheduler.h"
#include "core/open/Formats.h"

namespace fs = std::filesystem;

namespace {

bool IsBatchSource(const fs::path& path) {
  return BatchSourceFormat(BatchExtension(path.filename().string())) != nullptr;
}

std::string WithSlash(std::string folder) {
  if (folder.empty()) return "./";
  if (folder.back() != '/') folder += '/';
  return folder;
}

// True when path is, by device and inode or by its resolved path (links
// followed, also to a file not made yet), a source, a planned output or the
// file list of the run.
bool NamesAFileOfTheRun(const std::vector<BatchQueueJob>& jobs, const std::string& list,
                        const std::string& path) {
  CSameFileSet files;
  if (list != "-") files.Add(list);
  for (const BatchQueueJob& job : jobs) {
    files.Add(job.sourcePath);
    files.Add(job.OutputPath());
  }
  return files.Contains(path);
}

// The command line's side of the run: it hands each job the run starts to
// the scheduler, whose workers report back through a queue the main thread
// waits on, as the window's event loop receives its queued calls. Each
// file's conversion is timed on its worker, between its start and its end.
class CCliBatchFrontEnd : public CBatchRunHost {
 public:
  CCliBatchFrontEnd(const CliBatchOptions& options, std::FILE* out, std::FILE* err, const CClock& clock)
      : options_(options),
        err_(err),
        clock_(clock),
        printer_(out, err, options.json, !options.quiet && ::isatty(::fileno(err))) {}
  int Run();

  void StartWorker(std::uint64_t id, BatchJob& job) override;
  bool OverwriteChecked() const override { return options_.overwrite; }
  void ShowSummary(const std::string& text, bool exclamation) override {
    allConverted_ = !exclamation;
    printer_.Summary(text);
  }
  void JobSettled(int index) override;
  bool CancelRequested() const override { return CCliProgress::Interrupted(); }

 private:
  struct Times {
    CClock::TimePoint started, ended;  // of its conversion
  };
  struct Report {
    std::uint64_t id;
    bool converted;
  };
  void TakeJobs(std::vector<BatchQueueJob> jobs);
  // Hands each report to the run as it comes, and keeps the bar drawn.
  void ReportUntilTheRunEnds(CBatchRun& run);
  void DrawBar(const CBatchRun& run);

  const CliBatchOptions& options_;
  std::FILE* err_;
  const CClock& clock_;
  CCliBatchPrinter printer_;
  CBatchQueue queue_;
  std::vector<std::uint64_t> sourceBytes_;
  std::vector<Times> times_;  // written by the workers under mutex_
  std::unique_ptr<CBatchScheduler> scheduler_;
  std::size_t settled_ = 0;
  bool allConverted_ = false;

  std::mutex mutex_;
  std::condition_variable reported_;
  std::deque<Report> reports_;  // jobs whose workers ended, in end order
};

void CCliBatchFrontEnd::StartWorker(std::uint64_t id, BatchJob& job) {
  const std::size_t index = static_cast<std::size_t>(queue_.IndexOf(id));
  BatchJobHooks hooks;
  // After Ctrl-C no further file starts; those left stay queued.
  hooks.starting = [this, index] {
    if (CCliProgress::Interrupted()) return false;
    std::lock_guard lock(mutex_);
    times_[index].started = clock_.Now();
    return true;
  };
  hooks.ended = [this, id, index](bool converted) {
    {
      std::lock_guard lock(mutex_);
      if (converted) times_[index].ended = clock_.Now();
      reports_.push_back({id, converted});
    }
    reported_.notify_one();
  };
  scheduler_->Submit(job, std::move(hooks));
}

void CCliBatchFrontEnd::JobSettled(int index) {
  ++settled_;
  double seconds = 0.0;
  {
    std::lock_guard lock(mutex_);
    const Times& times = times_[static_cast<std::size_t>(index)];
    seconds = std::chrono::duration<double>(times.ended - times.started).count();
  }
  printer_.Report(queue_.At(index), seconds);
}

void CCliBatchFrontEnd::ReportUntilTheRunEnds(CBatchRun& run) {
  while (run.Running()) {
    std::deque<Report> reports;
    {
      std::unique_lock lock(mutex_);
      reported_.wait_for(lock, std::chrono::milliseconds(100), [this] { return !reports_.empty(); });
      reports.swap(reports_);
    }
    if (CCliProgress::Interrupted()) run.RequestStop();
    for (const Report& report : reports) run.OnJobEnded(report.id, report.converted);
    if (run.Running()) DrawBar(run);
  }
}

void CCliBatchFrontEnd::DrawBar(const CBatchRun& run) {
  double done = 0.0, total = 0.0;
  for (std::uint64_t id : run.ConvertingJobs()) {
    const double bytes = static_cast<double>(sourceBytes_[static_cast<std::size_t>(queue_.IndexOf(id))]);
    done += run.Fraction(id) * bytes;
    total += bytes;
  }
  printer_.DrawBar(settled_, static_cast<std::size_t>(queue_.Count()), done, total);
}

void CCliBatchFrontEnd::TakeJobs(std::vector<BatchQueueJob> jobs) {
  for (const BatchQueueJob& job : jobs) {
    std::error_code ec;
    const auto size = fs::file_size(job.sourcePath, ec);
    sourceBytes_.push_back(ec ? 0 : size);
  }
  times_.resize(jobs.size());
  queue_.Insert(0, std::move(jobs));
  if (options_.outDir.empty()) return;
  std::error_code ec;
  fs::create_directories(options_.outDir, ec);
  for (int i = 0; i < queue_.Count(); ++i) fs::create_directories(queue_.At(i).outputFolder, ec);
}

int CCliBatchFrontEnd::Run() {
  std::vector<BatchQueueJob> jobs = PlanCliBatch(options_);
  if (jobs.empty()) {
    std::fprintf(err_, "kestrune-cli: no WAV, MP3 or FLAC files to convert\n");
    return cliexit::kFailed;
  }
  // The log is checked before anything, the log itself included, is opened.
  const std::string& logPath = options_.logPath;
  if (NamesAFileOfTheRun(jobs, options_.filesFrom, logPath)) {
    std::fprintf(
        err_, "kestrune-cli: --log %s: the log cannot be a source, an output or the file list of the run\n",
        logPath.c_str());
    return cliexit::kUsage;
  }
  // A run a signal ends at once still says so in its log.
  CCliProgress::SetStopNote(logPath, batchlog::kAbortLine);
  unsigned atOnce = options_.jobs ? options_.jobs : std::max(1u, std::thread::hardware_concurrency());
  atOnce = static_cast<unsigned>(std::min<std::size_t>(atOnce, jobs.size()));
  TakeJobs(std::move(jobs));
  scheduler_ = std::make_unique<CBatchScheduler>(atOnce);

  BatchRunOptions runOptions;
  runOptions.logPath = logPath;
  runOptions.atOnce = atOnce;
  runOptions.checkAllFirst = true;
  runOptions.logInQueueOrder = true;
  runOptions.skipExisting = options_.skipExisting;
  CBatchRun run(queue_, *this, runOptions);
  run.Start();
  // The summary points at the log: a run without one says so at once.
  if (!run.LogOpened())
    std::fprintf(err_, "kestrune-cli: --log %s: the log cannot be written; the run goes on without it\n",
                 TerminalText(logPath).c_str());
  ReportUntilTheRunEnds(run);
  printer_.EraseBar();
  if (run.EndedByStop()) {
    std::fprintf(err_, "kestrune-cli: %s\n", CCliProgress::StopWords());
    return CCliProgress::StopExitCode();
  }
  return allConverted_ ? cliexit::kOk : cliexit::kFailed;
}

}  // namespace

std::vector<BatchQueueJob> PlanCliBatch(const CliBatchOptions& options) {
  // Each file with the sub-folder of its output under --out-dir.
  std::vector<std::pair<std::string, std::string>> paths;
  for (const std::string& input : options.inputs) {
    std::error_code ec;
    if (!fs::is_directory(input, ec)) {
      paths.emplace_back(input, "");
      continue;
    }
    std::vector<std::pair<std::string, std::string>> found;
    const auto take = [&](const fs::directory_entry& entry) {
      if (!entry.is_regular_file(ec) || !IsBatchSource(entry.path())) return;
      const fs::path below = entry.path().parent_path().lexically_relative(input);
      found.emplace_back(entry.path().string(), below == "." ? "" : below.string());
    };
    if (options.recursive) {
      for (fs::recursive_directory_iterator it(input, fs::directory_options::skip_permission_denied, ec), end;
           !ec && it != end; it.increment(ec))
        take(*it);
    } else {
      for (fs::directory_iterator it(input, ec), end; !ec && it != end; it.increment(ec)) take(*it);
    }
    std::sort(found.begin(), found.end());
    paths.insert(paths.end(), found.begin(), found.end());
  }
  std::vector<BatchQueueJob> jobs;
  for (const auto& [path, below] : paths) {
    BatchQueueJob job = MakeBatchQueueJob(path);
    // Named on the command line, a file of unknown type is converted too,
    // and fails.
    job.checked = true;
    if (const CAudioFormat* asked = FormatNamed(options.target)) {
      const std::vector<BatchFormat> targets = BatchTargetFormats(job.sourceFormat);
      if (std::find(targets.begin(), targets.end(), asked) != targets.end()) RetargetBatchJob(job, asked);
    }
    job.outputFolder =
        WithSlash(options.outDir.empty() ? BatchFolder(path) : (fs::path(options.outDir) / below).string());
    jobs.push_back(std::move(job));
  }
  return jobs;
}

namespace {

// The names of a --files-from list: one a line, or each ended by a NUL byte.
bool ReadFileList(const std::string& listPath, bool nullSeparated, std::vector<std::string>& names,
                  std::FILE* err) {
  std::FILE* list = listPath == "-" ? stdin : std::fopen(listPath.c_str(), "rb");
  if (!list) {
    PrintFileError(err, listPath, "The file list cannot be read.", errno);
    return false;
  }
  const int separator = nullSeparated ? '\0' : '\n';
  std::string name;
  for (int c; (c = std::fgetc(list)) != EOF;) {
    if (c != separator) {
      name += static_cast<char>(c);
      continue;
    }
    // A list written on Windows ends its lines in CR LF; a name that truly
    // ends in CR cannot be given in a newline-separated list (use -0).
    if (!nullSeparated && !name.empty() && name.back() == '\r') name.pop_back();
    if (!name.empty()) names.push_back(name);
    name.clear();
  }
  if (!nullSeparated && !name.empty() && name.back() == '\r') name.pop_back();
  if (!name.empty()) names.push_back(name);
  const bool failed = std::ferror(list) != 0;
  const int cause = errno;
  if (list != stdin) std::fclose(list);
  if (failed) PrintFileError(err, listPath, "The file list cannot be read.", cause);
  return !failed;
}

}  // namespace

void AddBatchScriptOptions(CLI::App& batch, CliBatchOptions& options) {
  batch.add_flag("--json", options.json,
                 "Print one JSON object per finished file instead of the status lines (see the man page)");
  batch.add_option("--files-from", options.filesFrom,
                   "Read the files to convert from this file, one a line (- for standard input)");
  batch.add_flag("-0,--null", options.nullSeparated,
                 "With --files-from: the names end with a NUL byte, not a newline");
  batch.add_flag("--recursive", options.recursive,
                 "Take the WAV, MP3 and FLAC files of the folders' sub-folders too");
  batch.add_flag(
      "--skip-existing", options.skipExisting,
      "Count a file whose output exists as done (status Skipped) instead of a failure, so a re-run "
      "converts only what is missing");
  batch
      .add_option("--to", options.target,
                  "Convert to this format (wav, mp3 or flac) every file that converts to it; the others "
                  "to their default (WAV to MP3, MP3 to WAV, FLAC to MP3)")
      ->check(CLI::IsMember({"wav", "mp3", "flac"}, CLI::ignore_case));
}

int RunCliBatch(const CliBatchOptions& options, std::FILE* out, std::FILE* err, const CClock& clock) {
  CliBatchOptions withList = options;
  if (!options.filesFrom.empty() &&
      !ReadFileList(options.filesFrom, options.nullSeparated, withList.inputs, err))
    return 1;
  if (withList.inputs.empty() && options.filesFrom.empty()) {
    PrintUsageError(err, "batch needs FILE or --files-from");
    return 2;
  }
  if (options.overwrite && options.skipExisting) {
    PrintUsageError(err, "--overwrite and --skip-existing do not go together");
    return 2;
  }
  return CCliBatchFrontEnd(withList, out, err, clock).Run();
}
