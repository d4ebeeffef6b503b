#pragma once
// The hidden file an output is written under until it is whole, beside the
// path it is then renamed onto: ".NAME.kestrune-XXXXXX.part". Whoever looks
// at the path sees the old file or the whole new one, never a part, also
// after kill -9 or a power cut. The writer holds an flock on its hidden file
// for as long as it lives, so a hidden file nobody holds is a dead run's:
// the first output a process writes into a folder removes those
// (RemoveStaleWholeOutputs).

#include <cstddef>
#include <string>

class CWholeOutput {
 public:
  CWholeOutput() = default;
  ~CWholeOutput() { Discard(); }
  CWholeOutput(const CWholeOutput&) = delete;
  CWholeOutput& operator=(const CWholeOutput&) = delete;

  // Locks an existing regular file at finalPath (flock, without waiting:
  // EWOULDBLOCK when another writer holds it; not opened for writing:
  // EACCES, as opening it to write would fail) and creates the hidden file
  // beside it (beside the file a symbolic link names), with the existing
  // file's permissions. Returns the hidden file's descriptor, read and
  // write, or -1 with errno set. A path that is no regular file fails as
  // CFile's opens do: EISDIR for a folder, EACCES for a FIFO or device.
  int Create(const std::string& finalPath);
  const std::string& WrittenPath() const { return written_; }
  // Makes the hidden file's bytes durable (fdatasync on fd, its descriptor)
  // and renames it onto the path. 0, or the errno of the step that failed;
  // the hidden file is still there then, for Discard.
  int Commit(int fd);
  // Removes the hidden file if it is still there and releases the lock;
  // true when it was removed.
  bool Discard() noexcept;

 private:
  void Release() noexcept;

  std::string written_;   // empty once committed or discarded
  std::string target_;    // the path renamed onto (a link's target)
  int finalLock_ = -1;    // descriptor holding the lock on the existing file
  int pendingSlot_ = -1;  // core/PendingOutputs.h
};

// True for a name (no folder) of the form the hidden files take.
bool IsWholeOutputName(const std::string& name);
// Removes the hidden files in folder ("" is the working folder) that no
// living writer holds and that belong to this user; returns how many.
std::size_t RemoveStaleWholeOutputs(const std::string& folder);
