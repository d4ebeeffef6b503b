// The watched copy of CFile::CopyTo: each block of the source is read once
// into the file's buffer, shown to the observer (the MP3 pieces' frame walk
// and music CRC) and written from there. The writes run on a second thread,
// so on a machine with a free core the reading and walking of one block
// overlaps the writing of the one before; on a busy one it costs what the
// same work costs in turn. The writing thread lives as long as the source
// file: a split makes two or three watched copies a piece, and starting a
// thread for each cost more than the copies' own waiting.

#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

#include "core/File.h"

namespace {

// The file's buffer is split into this many blocks in flight.
constexpr std::size_t kSlots = 4;

}  // namespace

// The thread that writes the blocks a watched copy hands over, in order, to
// the copy's output.
class CCopyWriter {
 public:
  CCopyWriter() : thread_([this] { Run(); }) {}
  ~CCopyWriter() {
    {
      std::lock_guard lock(mutex_);
      quit_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
  CCopyWriter(const CCopyWriter&) = delete;
  CCopyWriter& operator=(const CCopyWriter&) = delete;

  // Starts a copy into out from the kSlots blocks of block bytes at slots.
  void Begin(CFile& out, std::uint8_t* slots, std::size_t block) {
    std::lock_guard lock(mutex_);
    out_ = &out;
    slots_ = slots;
    block_ = block;
    read_ = written_ = 0;
    failure_ = nullptr;
  }
  // The block to read into next, once one is free; null once a write failed.
  std::uint8_t* NextSlot() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return read_ - written_ < kSlots || failure_; });
    if (failure_) return nullptr;
    return slots_ + (read_ % kSlots) * block_;
  }
  // Hands the block NextSlot gave, holding bytes bytes, to the writer.
  void Hand(std::size_t bytes) {
    {
      std::lock_guard lock(mutex_);
      bytes_[read_ % kSlots] = bytes;
      ++read_;
    }
    changed_.notify_all();
  }
  // Waits until every block handed over is written; a write that failed
  // throws here.
  void Finish() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return written_ == read_; });
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
  }

 private:
  void Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [&] { return written_ < read_ || quit_; });
      if (written_ == read_) return;
      // After a failed write the blocks behind it are dropped: the output
      // must not go on past a gap.
      if (!failure_) {
        const std::size_t slot = written_ % kSlots;
        lock.unlock();
        try {
          out_->RawWrite(slots_ + slot * block_, bytes_[slot]);
          lock.lock();
        } catch (...) {
          lock.lock();
          failure_ = std::current_exception();
        }
      }
      ++written_;
      changed_.notify_all();
    }
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  CFile* out_ = nullptr;
  std::uint8_t* slots_ = nullptr;
  std::size_t block_ = 0;
  std::size_t bytes_[kSlots] = {};
  std::uint64_t read_ = 0, written_ = 0;  // blocks handed over and blocks written
  bool quit_ = false;
  std::exception_ptr failure_;
  std::thread thread_;  // last: it starts once the rest is set up
};

void CFile::CopyWriterDeleter::operator()(CCopyWriter* writer) const {
  delete writer;
}

std::uint64_t CFile::CopyWatched(CFile& out, std::uint64_t count, const CopyObserver& observer) {
  const std::size_t block = kBufferSize / kSlots;
  if (!copyWriter_) copyWriter_.reset(new CCopyWriter);
  CCopyWriter& writer = *copyWriter_;
  writer.Begin(out, buffer_.get(), block);
  std::uint64_t done = 0;
  std::exception_ptr readFailure;
  try {
    while (done < count) {
      std::uint8_t* bytes = writer.NextSlot();
      if (!bytes) break;
      const std::size_t n =
          RawRead(bytes, static_cast<std::size_t>(std::min<std::uint64_t>(count - done, block)));
      if (n == 0) break;
      observer(bytes, n);
      writer.Hand(n);
      done += n;
    }
  } catch (...) {
    readFailure = std::current_exception();
  }
  writer.Finish();
  if (readFailure) std::rethrow_exception(readFailure);
  return done;
}
