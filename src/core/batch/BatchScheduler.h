#pragma once
// The one batch scheduler of both front ends: it converts the jobs handed to
// it on worker threads, at most atOnce at once, in the order they came. The
// batch window hands it one job at a time (its next-job step picks the next
// row once the last has ended, CBatchRun); the command line hands it all its
// jobs and converts N at once.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "core/batch/BatchTypes.h"
#include "core/batch/BatchWorker.h"

// What the front end hears of one job, on the worker thread that takes it.
struct BatchJobHooks {
  // Before the job converts; false leaves it unconverted (a stop).
  std::function<bool()> starting;
  // After the job's result is written (converted), or after starting left it.
  std::function<void(bool converted)> ended;
};

class CBatchScheduler {
 public:
  explicit CBatchScheduler(unsigned atOnce = 1) : atOnce_(atOnce < 1 ? 1 : atOnce) {}
  // Waits for the jobs handed over, then ends the workers.
  ~CBatchScheduler();
  CBatchScheduler(const CBatchScheduler&) = delete;
  CBatchScheduler& operator=(const CBatchScheduler&) = delete;

  // Queues job; a free worker converts it through BatchConvertWorker with
  // make. The job stays untouched by the caller until ended is called.
  void Submit(BatchJob& job, BatchJobHooks hooks = {}, BatchFileMaker make = MakeBatchFile);
  // Waits until every job handed over has ended.
  void Wait();

 private:
  struct Entry {
    BatchJob* job = nullptr;
    BatchJobHooks hooks;
    BatchFileMaker make;
  };
  void Work();

  const unsigned atOnce_;  // jobs converted at once
  std::mutex mutex_;
  std::condition_variable wake_;  // a job came, or the workers are to end
  std::condition_variable idle_;  // a job ended
  std::deque<Entry> queue_;
  unsigned busy_ = 0;  // jobs taken and not ended
  bool quit_ = false;
  std::vector<std::thread> workers_;
};
