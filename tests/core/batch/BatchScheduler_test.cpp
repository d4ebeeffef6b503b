// The one batch scheduler: N jobs at once and never more, one at a time in
// the order given, a stop that leaves the jobs not started unconverted, and
// the window's way of handing over the next job from the end of the last.
#include "core/batch/BatchScheduler.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "core/open/Formats.h"

namespace {

// Counts the jobs inside a conversion at once; each waits until `gate` are
// inside together (or the gate is opened), so a scheduler that runs fewer at
// once than it should is seen, not passed by luck.
class Gate {
 public:
  explicit Gate(unsigned gate) : gate_(gate) {}
  BatchFileMaker Maker() {
    return [this](const std::string& path, BatchFormat) -> std::unique_ptr<CAudioFile> {
      std::unique_lock lock(mutex_);
      order_.push_back(path);
      ++inside_;
      most_ = std::max(most_, inside_);
      if (inside_ >= gate_) open_ = true;
      changed_.notify_all();
      // Bounded, so a scheduler that never gets there fails instead of hanging.
      reachedGate_ &= changed_.wait_for(lock, std::chrono::seconds(20), [this] { return open_; });
      --inside_;
      return nullptr;  // the job ends as "no memory": its conversion is not the point here
    };
  }
  unsigned Most() const { return most_; }
  bool ReachedGate() const { return reachedGate_; }
  const std::vector<std::string>& Order() const { return order_; }

 private:
  const unsigned gate_;
  std::mutex mutex_;
  std::condition_variable changed_;
  unsigned inside_ = 0, most_ = 0;
  bool open_ = false, reachedGate_ = true;
  std::vector<std::string> order_;
};

std::vector<BatchJob> Jobs(std::size_t count) {
  std::vector<BatchJob> jobs(count);
  for (std::size_t i = 0; i < count; ++i) {
    jobs[i].sourcePath = "/music/" + std::to_string(i) + ".wav";
    jobs[i].source = FormatNamed("WAV");
    jobs[i].target = FormatNamed("MP3");
  }
  return jobs;
}

TEST(BatchScheduler, ConvertsAsManyAtOnceAsAskedAndNeverMore) {
  for (const unsigned atOnce : {1u, 2u, 4u}) {
    SCOPED_TRACE(atOnce);
    Gate gate(atOnce);
    std::vector<BatchJob> jobs = Jobs(8);
    std::mutex mutex;
    std::vector<bool> converted;
    {
      CBatchScheduler scheduler(atOnce);
      for (BatchJob& job : jobs) {
        BatchJobHooks hooks;
        hooks.ended = [&](bool ran) {
          std::lock_guard lock(mutex);
          converted.push_back(ran);
        };
        scheduler.Submit(job, hooks, gate.Maker());
      }
      scheduler.Wait();
      EXPECT_EQ(converted, std::vector<bool>(8, true));
    }
    EXPECT_TRUE(gate.ReachedGate());
    EXPECT_EQ(gate.Most(), atOnce);
    for (const BatchJob& job : jobs) EXPECT_EQ(job.result, err::kNoMemory);
    if (atOnce == 1) {
      for (std::size_t i = 0; i < jobs.size(); ++i) EXPECT_EQ(gate.Order()[i], jobs[i].sourcePath);
    }
  }
}

// A stop: the jobs whose start is refused end unconverted and untouched.
TEST(BatchScheduler, AJobWhoseStartIsRefusedEndsUnconverted) {
  Gate gate(1);
  std::vector<BatchJob> jobs = Jobs(5);
  std::vector<int> ended(5, -1);
  CBatchScheduler scheduler(1);
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    BatchJobHooks hooks;
    hooks.starting = [i] { return i < 2; };
    hooks.ended = [&ended, i](bool ran) { ended[i] = ran ? 1 : 0; };
    scheduler.Submit(jobs[i], hooks, gate.Maker());
  }
  scheduler.Wait();
  EXPECT_EQ(ended, (std::vector<int>{1, 1, 0, 0, 0}));
  EXPECT_EQ(gate.Order().size(), 2u);
  EXPECT_EQ(jobs[2].result, err::kNone);
}

// The window hands over its next job when the last has ended; Wait holds
// until the chain is through.
TEST(BatchScheduler, TheNextJobCanBeHandedOverFromTheEndOfTheLast) {
  Gate gate(1);
  std::vector<BatchJob> jobs = Jobs(4);
  CBatchScheduler scheduler;
  std::function<void(std::size_t)> submit = [&](std::size_t i) {
    BatchJobHooks hooks;
    hooks.ended = [&, i](bool) {
      if (i + 1 < jobs.size()) submit(i + 1);
    };
    scheduler.Submit(jobs[i], hooks, gate.Maker());
  };
  submit(0);
  scheduler.Wait();
  ASSERT_EQ(gate.Order().size(), 4u);
  EXPECT_EQ(gate.Order().back(), jobs[3].sourcePath);
  EXPECT_EQ(gate.Most(), 1u);
}

}  // namespace
