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

#include "cli/CliJob.h"
#include "cli/CliJson.h"
#include "cli/CliMessages.h"
#include "cli/CliProgress.h"
#include "cli/TerminalLine.h"
#include "core/Progress.h"
#include "core/StringTable.h"
#include "core/batch/BatchLog.h"
#include "core/batch/BatchNaming.h"
#include "core/batch/BatchOutputRules.h"
#include "core/batch/BatchRun.h"
#include "core/batch/BatchScheduler.h"

namespace fs = std::filesystem;

namespace {

// The progress sink of one running file: counts its steps for the bar and
// turns Ctrl-C into the Stop button.
class CJobSink : public CProgressSink {
 public:
  void Changed(const CProgressState& state, ProgressChange change) override {
    if (change == ProgressChange::FileRange) {
      total_ = state.file.maximum;
      step_ = state.file.step;
    } else if (change == ProgressChange::FileStep) {
      steps_ += step_;
    }
  }
  bool IsCancelled() override {
    if (!CCliProgress::Interrupted()) return false;
    stopped_ = true;
    return true;
  }

  // The share of the file done so far, 0 to 1.
  double Fraction() const {
    const std::uint32_t total = total_;
    return total ? std::min(1.0, static_cast<double>(steps_) / total) : 0.0;
  }
  // True when the conversion saw the stop and ended early.
  bool Stopped() const { return stopped_; }

 private:
  std::atomic<std::uint32_t> total_{0};
  std::atomic<std::uint32_t> step_{0};
  std::atomic<std::uint32_t> steps_{0};
  std::atomic<bool> stopped_{false};
};

// Where a file stands; changed by the workers under the run's mutex.
enum class SlotState { Blocked, Waiting, Running, Ended };

struct Slot {
  CliBatchItem item;
  CClock::TimePoint started, ended;  // of its conversion
  BatchJob job;
  CJobSink sink;
  SlotState state = SlotState::Waiting;
  bool reported = false;  // its status line is out (main thread only)
};

bool IsBatchSource(const fs::path& path) {
  return BatchSourceType(BatchExtension(path.filename().string())) != sourcetype::kUnknown;
}

std::string WithSlash(std::string folder) {
  if (folder.empty()) return "./";
  if (folder.back() != '/') folder += '/';
  return folder;
}

std::string MiB(double bytes) {
  return FormatText("%.1f", bytes / (1024.0 * 1024.0));
}

// True when path is, by device and inode or by its resolved path, a source
// or a planned output of the run.
bool NamesAFileOfTheRun(const std::vector<CliBatchItem>& items, const std::string& path) {
  CSameFileSet files;
  for (const CliBatchItem& item : items) {
    files.Add(item.sourcePath);
    files.Add(BatchJoinPath(item.outputFolder, item.outputName));
  }
  return files.Contains(path);
}

class CBatchCliRun {
 public:
  CBatchCliRun(const CliBatchOptions& options, std::FILE* out, std::FILE* err, const CClock& clock)
      : options_(options),
        out_(out),
        err_(err),
        clock_(clock),
        showBar_(!options.quiet && ::isatty(::fileno(err))),
        bar_(err) {}
  int Run();

 private:
  void TakeItems(std::vector<CliBatchItem> items);
  void Block(Slot& slot, const char* status, AudioError result);
  void CheckBeforeStart();
  void ConvertAll();
  BatchJobHooks Hooks(std::size_t i);
  void ReportUntilAllEnded();
  void Report(Slot& slot);
  void WriteLogInOrder();
  void DrawBar();
  int Finish();

  const CliBatchOptions& options_;
  std::FILE* out_;
  std::FILE* err_;
  const CClock& clock_;  // times each file's conversion
  bool showBar_;
  CTerminalLine bar_;
  std::size_t count_ = 0;
  std::unique_ptr<Slot[]> slots_;
  CBatchLog log_;
  std::size_t logged_ = 0;
  std::size_t finished_ = 0;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::size_t> ended_;  // slots whose conversion ended, in end order
  std::size_t outstanding_ = 0;    // jobs handed to the scheduler and not ended
};

void CBatchCliRun::Block(Slot& slot, const char* status, AudioError result) {
  slot.state = SlotState::Blocked;
  slot.item.status = status;
  slot.item.result = result;
  slot.item.reason = LoadMessage(result);
}

void CBatchCliRun::CheckBeforeStart() {
  std::vector<std::string> paths;
  for (std::size_t i = 0; i < count_; ++i) paths.push_back(slots_[i].item.sourcePath);
  CBatchOutputRules rules(paths);
  for (std::size_t i = 0; i < count_; ++i) {
    Slot& slot = slots_[i];
    CliBatchItem& item = slot.item;
    const std::string output = BatchJoinPath(item.outputFolder, item.outputName);
    if (item.sourceType == sourcetype::kUnknown) {
      Block(slot, batchtext::kFailed, err::kBatchUnknownType);
      continue;
    }
    // An output another file of this run writes counts as existing too.
    const AudioError verdict = rules.Check(output, options_.overwrite);
    if (verdict == err::kOutputIsSource) {
      Block(slot, batchtext::kFailed, verdict);
    } else if (verdict == err::kBatchOutputExists) {
      Block(slot, batchtext::kFileExists, verdict);
    } else {
      slot.job.sourcePath = item.sourcePath;
      slot.job.outputPath = output;
      slot.job.sourceType = item.sourceType;
      slot.job.targetType = item.sourceType == sourcetype::kWav ? targettype::kMp3 : targettype::kWav;
      slot.job.sink = &slot.sink;
      slot.job.overwrite = options_.overwrite ? 1 : 0;
    }
  }
}

BatchJobHooks CBatchCliRun::Hooks(std::size_t i) {
  BatchJobHooks hooks;
  // After Ctrl-C no further file starts; those left stay queued.
  hooks.starting = [this, i] {
    if (CCliProgress::Interrupted()) return false;
    std::lock_guard lock(mutex_);
    slots_[i].state = SlotState::Running;
    slots_[i].started = clock_.Now();
    return true;
  };
  hooks.ended = [this, i](bool converted) {
    {
      std::lock_guard lock(mutex_);
      if (converted) {
        slots_[i].ended = clock_.Now();
        slots_[i].state = SlotState::Ended;
        ended_.push_back(i);
      }
      --outstanding_;
    }
    changed_.notify_one();
  };
  return hooks;
}

void CBatchCliRun::ConvertAll() {
  unsigned jobs = options_.jobs ? options_.jobs : std::max(1u, std::thread::hardware_concurrency());
  jobs = static_cast<unsigned>(std::min<std::size_t>(jobs, count_));
  CBatchScheduler scheduler(jobs);
  {
    std::lock_guard lock(mutex_);
    for (std::size_t i = 0; i < count_; ++i) outstanding_ += slots_[i].state == SlotState::Waiting ? 1 : 0;
  }
  for (std::size_t i = 0; i < count_; ++i)
    if (slots_[i].state == SlotState::Waiting) scheduler.Submit(slots_[i].job, Hooks(i));
  ReportUntilAllEnded();
}

// Reports each file as it ends, in end order, and keeps the bar drawn.
void CBatchCliRun::ReportUntilAllEnded() {
  for (;;) {
    std::deque<std::size_t> ended;
    bool done = false;
    {
      std::unique_lock lock(mutex_);
      changed_.wait_for(lock, std::chrono::milliseconds(100),
                        [this] { return !ended_.empty() || outstanding_ == 0; });
      ended.swap(ended_);
      done = outstanding_ == 0;
    }
    for (std::size_t i : ended) Report(slots_[i]);
    WriteLogInOrder();
    if (done) return;
    DrawBar();
  }
}

void CBatchCliRun::Report(Slot& slot) {
  CliBatchItem& item = slot.item;
  if (slot.state == SlotState::Ended) {
    if (slot.sink.Stopped()) {
      item.status = batchtext::kQueued;
    } else if (slot.job.result == err::kNone) {
      item.status = batchtext::kDone;
    } else {
      item.status = batchtext::kFailed;
      item.result = slot.job.result;
      item.reason = slot.job.failureText.empty() ? LoadMessage(slot.job.result) : slot.job.failureText;
    }
  }
  slot.reported = true;
  ++finished_;
  bar_.Erase();
  if (options_.json) {
    const double seconds = std::chrono::duration<double>(slot.ended - slot.started).count();
    std::fputs(BatchJson({item.sourcePath, BatchJoinPath(item.outputFolder, item.outputName), item.status,
                          item.status == batchtext::kDone ? std::string() : item.reason, seconds})
                   .c_str(),
               out_);
  } else if (item.status == batchtext::kFailed)
    std::fprintf(out_, "%s: %s: %s\n", item.sourcePath.c_str(), item.status.c_str(), item.reason.c_str());
  else
    std::fprintf(out_, "%s: %s\n", item.sourcePath.c_str(), item.status.c_str());
  std::fflush(out_);
}

void CBatchCliRun::WriteLogInOrder() {
  for (; logged_ < count_ && slots_[logged_].reported; ++logged_) {
    const CliBatchItem& item = slots_[logged_].item;
    if (item.status != batchtext::kFailed && item.status != batchtext::kFileExists) continue;
    log_.WriteEntry({BatchFileName(item.sourcePath), BatchFolder(item.sourcePath), item.outputName,
                     item.outputFolder, BatchTargetText(item.sourceType), item.status, item.reason});
  }
}

void CBatchCliRun::DrawBar() {
  if (!showBar_) return;
  double running = 0.0, runningTotal = 0.0;
  {
    std::lock_guard lock(mutex_);
    for (std::size_t i = 0; i < count_; ++i) {
      if (slots_[i].state != SlotState::Running) continue;
      running += slots_[i].sink.Fraction() * static_cast<double>(slots_[i].item.sourceBytes);
      runningTotal += static_cast<double>(slots_[i].item.sourceBytes);
    }
  }
  constexpr int kWidth = 30;
  const int filled = count_ ? static_cast<int>(finished_ * kWidth / count_) : kWidth;
  char counts[128];
  std::snprintf(counts, sizeof counts, " %zu/%zu files  %s of %s MiB", finished_, count_,
                MiB(running).c_str(), MiB(runningTotal).c_str());
  bar_.Draw(CTerminalLine::Bar(filled, kWidth) + counts);
}

void CBatchCliRun::TakeItems(std::vector<CliBatchItem> items) {
  count_ = items.size();
  slots_ = std::make_unique<Slot[]>(count_);
  for (std::size_t i = 0; i < count_; ++i) slots_[i].item = std::move(items[i]);
  if (options_.outDir.empty()) return;
  std::error_code ec;
  fs::create_directories(options_.outDir, ec);
  for (std::size_t i = 0; i < count_; ++i) fs::create_directories(slots_[i].item.outputFolder, ec);
}

int CBatchCliRun::Run() {
  std::vector<CliBatchItem> items = PlanCliBatch(options_);
  if (items.empty()) {
    std::fprintf(err_, "kestrune-cli: no WAV or MP3 files to convert\n");
    return cliexit::kFailed;
  }
  // The log is checked before anything, the log itself included, is opened.
  const std::string& logPath = options_.logPath;
  if (NamesAFileOfTheRun(items, logPath)) {
    std::fprintf(err_, "kestrune-cli: --log %s: the log cannot be a source or an output of the run\n",
                 logPath.c_str());
    return cliexit::kUsage;
  }
  TakeItems(std::move(items));
  CheckBeforeStart();
  log_.Open(logPath);
  CCliProgress::InstallInterruptHandler();

  for (std::size_t i = 0; i < count_; ++i)
    if (slots_[i].state == SlotState::Blocked) Report(slots_[i]);
  WriteLogInOrder();
  ConvertAll();
  bar_.Erase();
  return Finish();
}

// Closes the log and prints the summary; the exit code of the run.
int CBatchCliRun::Finish() {
  // Files a stop kept from starting stay queued, without an entry.
  for (std::size_t i = 0; i < count_; ++i) {
    if (slots_[i].state != SlotState::Waiting) continue;
    slots_[i].item.status = batchtext::kQueued;
    slots_[i].reported = true;
  }
  WriteLogInOrder();

  std::uint32_t failures = 0, notConverted = 0;
  for (std::size_t i = 0; i < count_; ++i) {
    const std::string& status = slots_[i].item.status;
    if (status == batchtext::kFailed) ++failures;
    if (status == batchtext::kQueued || status == batchtext::kFileExists) ++notConverted;
  }
  if (CCliProgress::Interrupted()) {
    log_.WriteClosingLine(batchlog::kAbortLine);
    std::fprintf(err_, "kestrune-cli: cancelled\n");
    return cliexit::kCancelled;
  }
  const bool allConverted = failures == 0 && notConverted == 0;
  if (allConverted) log_.WriteClosingLine(batchlog::kSuccessLine);
  // With --json standard output holds only the JSON lines.
  std::fprintf(options_.json ? err_ : out_, "%s\n", BatchSummaryText(failures, notConverted).c_str());
  return allConverted ? cliexit::kOk : cliexit::kFailed;
}

}  // namespace

std::vector<CliBatchItem> PlanCliBatch(const CliBatchOptions& options) {
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
  std::vector<CliBatchItem> items;
  for (const auto& [path, below] : paths) {
    CliBatchItem item;
    item.sourcePath = path;
    item.sourceType = BatchSourceType(BatchExtension(path));
    item.outputFolder =
        WithSlash(options.outDir.empty() ? BatchFolder(path) : (fs::path(options.outDir) / below).string());
    item.outputName = BatchOutputName(BatchFileName(path), BatchTargetExtension(item.sourceType));
    item.status = batchtext::kQueued;
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    item.sourceBytes = ec ? 0 : size;
    items.push_back(std::move(item));
  }
  return items;
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
    if (!name.empty()) names.push_back(name);
    name.clear();
  }
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
                 "Take the WAV and MP3 files of the folders' sub-folders too");
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
  return CBatchCliRun(withList, out, err, clock).Run();
}
