#pragma once
// Runs one job on several threads at once, the calling thread among them,
// and hands the first exception any of them threw to the caller once all
// have ended. The job shares the work out itself (an atomic counter of
// slices, say) and watches its own cancel flag.

#include <algorithm>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

template <class Job>
void RunOnThreads(unsigned threads, Job&& job) {
  std::exception_ptr failure;
  std::mutex failureMutex;
  auto guarded = [&] {
    try {
      job();
    } catch (...) {
      std::lock_guard lock(failureMutex);
      if (!failure) failure = std::current_exception();
    }
  };
  std::vector<std::thread> pool;
  for (unsigned t = 1; t < std::max(threads, 1u); ++t) pool.emplace_back(guarded);
  guarded();
  for (std::thread& t : pool) t.join();
  if (failure) std::rethrow_exception(failure);
}
