#include "core/batch/BatchScheduler.h"

CBatchScheduler::~CBatchScheduler() {
  Wait();
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

void CBatchScheduler::Submit(BatchJob& job, BatchJobHooks hooks, BatchFileMaker make) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back({&job, std::move(hooks), std::move(make)});
    // A worker more while there are fewer than atOnce and more jobs
    // waiting than workers idle.
    const std::size_t idle = workers_.size() - busy_;
    if (workers_.size() < atOnce_ && queue_.size() > idle) workers_.emplace_back([this] { Work(); });
  }
  wake_.notify_one();
}

void CBatchScheduler::Wait() {
  std::unique_lock lock(mutex_);
  idle_.wait(lock, [this] { return queue_.empty() && busy_ == 0; });
}

void CBatchScheduler::Work() {
  for (;;) {
    Entry entry;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return quit_ || !queue_.empty(); });
      if (queue_.empty()) return;
      entry = std::move(queue_.front());
      queue_.pop_front();
      ++busy_;
    }
    const bool go = !entry.hooks.starting || entry.hooks.starting();
    if (go) BatchConvertWorker(*entry.job, entry.make ? entry.make : MakeBatchFile);
    if (entry.hooks.ended) entry.hooks.ended(go);
    {
      std::lock_guard lock(mutex_);
      --busy_;
    }
    idle_.notify_all();
  }
}

CBatchWorkerThread::CBatchWorkerThread() : scheduler_(std::make_unique<CBatchScheduler>(1)) {}

CBatchWorkerThread::~CBatchWorkerThread() = default;

void CBatchWorkerThread::Start(BatchJob& job, BatchFileMaker make, std::function<void()> finished) {
  BatchJobHooks hooks;
  hooks.ended = [finished = std::move(finished)](bool) {
    if (finished) finished();
  };
  scheduler_->Submit(job, std::move(hooks), std::move(make));
}

void CBatchWorkerThread::Join() {
  scheduler_->Wait();
}
