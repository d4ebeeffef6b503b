// The watched copy of CFile::CopyTo: each block of the source is read once
// into the file's buffer, shown to the observer (the MP3 pieces' frame walk
// and music CRC) and written from there. The writes run on a second thread,
// so on a machine with a free core the reading and walking of one block
// overlaps the writing of the one before; on a busy one it costs what the
// same work costs in turn.

#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

#include "core/File.h"

namespace {

// The file's buffer is split into this many blocks in flight.
constexpr std::size_t kSlots = 4;

// The hand-over between the reading and the writing thread.
struct CopyQueue {
  std::mutex mutex;
  std::condition_variable changed;
  std::size_t bytes[kSlots] = {};
  std::uint64_t read = 0, written = 0;  // blocks handed over and blocks written
  bool noMore = false;                  // the reader is done
  std::exception_ptr writeFailure;
};

}  // namespace

std::uint64_t CFile::CopyWatched(CFile& out, std::uint64_t count, const CopyObserver& observer) {
  const std::size_t block = kBufferSize / kSlots;
  CopyQueue queue;
  std::thread writer([&] {
    for (;;) {
      std::unique_lock lock(queue.mutex);
      queue.changed.wait(lock, [&] { return queue.written < queue.read || queue.noMore; });
      if (queue.written == queue.read) return;
      const std::size_t slot = queue.written % kSlots, bytes = queue.bytes[slot];
      lock.unlock();
      try {
        out.RawWrite(buffer_.get() + slot * block, bytes);
      } catch (...) {
        lock.lock();
        queue.writeFailure = std::current_exception();
        queue.changed.notify_all();
        return;
      }
      lock.lock();
      ++queue.written;
      queue.changed.notify_all();
    }
  });
  std::uint64_t done = 0;
  std::exception_ptr readFailure;
  try {
    while (done < count) {
      std::unique_lock lock(queue.mutex);
      queue.changed.wait(lock, [&] { return queue.read - queue.written < kSlots || queue.writeFailure; });
      if (queue.writeFailure) break;
      const std::size_t slot = queue.read % kSlots;
      lock.unlock();
      std::uint8_t* bytes = buffer_.get() + slot * block;
      const std::size_t n =
          RawRead(bytes, static_cast<std::size_t>(std::min<std::uint64_t>(count - done, block)));
      if (n == 0) break;
      observer(bytes, n);
      lock.lock();
      queue.bytes[slot] = n;
      ++queue.read;
      queue.changed.notify_all();
      done += n;
    }
  } catch (...) {
    readFailure = std::current_exception();
  }
  {
    std::lock_guard lock(queue.mutex);
    queue.noMore = true;
    queue.changed.notify_all();
  }
  writer.join();
  if (queue.writeFailure) std::rethrow_exception(queue.writeFailure);
  if (readFailure) std::rethrow_exception(readFailure);
  return done;
}
