#pragma once
// The file object the engine reads and writes through: a buffered file with
// the operations the audio code needs, raising CFileException on failure.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/AudioFailure.h"

class CCopyWriter;
class CWholeOutput;

// What went wrong with a file; each cause has its own user-visible message.
enum class FileCause {
  Generic,
  FileNotFound,
  BadPath,
  TooManyOpenFiles,
  AccessDenied,
  InvalidFile,
  RemoveCurrentDir,
  DirectoryFull,
  BadSeek,
  HardIO,
  SharingViolation,
  LockViolation,
  DiskFull,
  EndOfFile,
};

// Maps an errno value to the cause shown to the user.
FileCause FileCauseFromErrno(int err);

// A failed file operation: the cause, the full path of the file and the
// system's reason; its text is the catalogue's message of the cause with the
// path filled in (code err::kFileFault).
class CFileException : public CAudioFailure {
 public:
  CFileException(FileCause cause, std::string path, int osError = 0);
  FileCause Cause() const { return cause_; }
  // The message for this failure, with the full file name filled in, and
  // the note, if any.
  const std::string& Message() const { return Text(); }
  // Adds a sentence on what the failure left behind to the message.
  void AddNote(const std::string& note);

 private:
  FileCause cause_;
};

// Decides how much of each write to a file reaches the disk. Tests hand one
// in to make writes fail as on a full disk; production code passes none.
class CWriteFaults {
 public:
  virtual ~CWriteFaults() = default;
  // Of count bytes about to be written, how many the disk takes; fewer make
  // the write fail as on a full disk once those are written.
  virtual std::size_t Allow(std::size_t count) = 0;
};

class CFile {
 public:
  enum class Mode {
    ReadShared,  // existing regular file, read only; others may read and write it
    // regular file created new or emptied, read and write; the file is locked
    // exclusively first (flock), and one that another writer holds is left
    // untouched and fails with EWOULDBLOCK. Closing releases the lock. For
    // files read while they grow (the batch log).
    CreateReadWrite,
    // An output that appears whole or not at all: written under a hidden
    // name beside the path (core/WholeOutput.h) and renamed onto it by
    // Close. An existing file at the path is locked as CreateReadWrite locks
    // it, and left as it is until that rename; Abort, RemoveAndClose and the
    // destructor remove the hidden file. The path's folder must be writable.
    CreateWhole
  };
  enum class From { Begin, Current, End };

  static constexpr std::size_t kBufferSize = 1 << 20;
  // What the first buffered read after a move fills of the buffer.
  static constexpr std::size_t kFirstFill = 64 << 10;

  CFile() = default;
  ~CFile();
  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;

  // How an Open ended: true when the file is open; otherwise the system's
  // reason (an errno value).
  struct Opened {
    int osError = 0;
    explicit operator bool() const { return osError == 0; }
  };
  // Opens the file, without throwing. Only regular files are opened: a
  // folder fails with EISDIR, a FIFO, device or socket with EACCES, without
  // waiting for a FIFO's other end. Writes go through faults, when given,
  // which then also keeps the kernel's direct copies off (CopyTo).
  Opened Open(const std::string& path, Mode mode, CWriteFaults* faults = nullptr);
  // Opens or throws the matching CFileException.
  void OpenOrThrow(const std::string& path, Mode mode);
  bool IsOpen() const { return fd_ >= 0; }
  // The open file's descriptor, for fstat; -1 when none is open.
  int Descriptor() const { return fd_; }

  // Reads up to count bytes; fewer only at the end of the file.
  std::size_t Read(void* buffer, std::size_t count);
  void Write(const void* buffer, std::size_t count);
  // Reads up to count bytes at offset without moving the position or using
  // the buffer; safe from another thread while this file is only read.
  std::size_t ReadAt(void* buffer, std::size_t count, std::uint64_t offset) const;
  // Moves the position; a move before the start throws BadSeek.
  std::uint64_t Seek(std::int64_t offset, From from);
  std::uint64_t SeekToBegin() { return Seek(0, From::Begin); }
  std::uint64_t GetPosition() const;
  std::uint64_t GetLength() const;
  void Flush();
  // Cuts (or extends) the file to length bytes; a position beyond the new
  // end moves to it.
  void SetLength(std::uint64_t length);
  // Closes the file; buffered output that cannot be written throws. A
  // CreateWhole output is made durable and renamed onto its path here; when
  // that fails it is removed and the failure thrown.
  void Close();
  // Closes without throwing, for clean-up after a failure; a CreateWhole
  // output that was not closed is removed, its path left as it was.
  void Abort() noexcept;
  // Runs on a CreateWhole output in Close, after its bytes are written and
  // before it is renamed onto its path, with the hidden file's path: what
  // must change the file in place (a piece's tag) does it there. What it
  // throws removes the output and leaves Close.
  using BeforeCommit = std::function<void(const std::string& writtenPath)>;
  void SetBeforeCommit(BeforeCommit hook) { beforeCommit_ = std::move(hook); }
  // The path the bytes go to now: the hidden file of a CreateWhole output
  // until Close, the path otherwise.
  const std::string& GetWritingPath() const;
  // Removes a failed output: unlinks its path while that still names the
  // file last opened (also when a failed Close has closed it already), and
  // closes it. False (the file closed, not removed) when the path names
  // another file now or cannot be removed.
  bool RemoveAndClose() noexcept;

  const std::string& GetFilePath() const { return path_; }
  // The file name with extension, without folder.
  std::string GetFileName() const;
  // Device and inode of the open file, to tell whether two paths are one file.
  bool Identity(std::uint64_t& device, std::uint64_t& inode) const;

  // Sees the bytes of a copy in order, each run once it has been written.
  using CopyObserver = std::function<void(const std::uint8_t* bytes, std::size_t count)>;
  // Copies count bytes from this file's position to out's position, through
  // the two files' buffers and large direct transfers; returns bytes copied
  // (fewer only when this file ends). With an observer every byte goes
  // through this file's buffer (read once, shown to the observer, written
  // from there) instead of the kernel's file-to-file copy; the observer runs
  // on the calling thread, before the bytes are written.
  std::uint64_t CopyTo(CFile& out, std::uint64_t count, const CopyObserver* observer = nullptr);

 private:
  friend class CCopyWriter;  // writes the watched copies' blocks
  friend class CMappedFile;  // maps the open file
  void FlushWrite();
  void DropReadBuffer();
  // The part of CopyTo after the buffers are empty: direct transfers.
  std::uint64_t CopyLarge(CFile& out, std::uint64_t count, const CopyObserver* observer);
  // A watched direct transfer: blocks read into this file's buffer, shown to
  // the observer and written by a second thread meanwhile (FileCopy.cpp).
  std::uint64_t CopyWatched(CFile& out, std::uint64_t count, const CopyObserver& observer);
  struct CopyWriterDeleter {
    void operator()(CCopyWriter* writer) const;
  };
  struct WholeOutputDeleter {
    void operator()(CWholeOutput* whole) const;
  };
  // Commits the open CreateWhole output onto its path, or throws.
  void Commit();
  [[noreturn]] void Throw(int err) const;
  std::size_t RawRead(void* buffer, std::size_t count);
  void RawWrite(const void* buffer, std::size_t count);

  int fd_ = -1;
  std::string path_;
  // Device and inode of the file last opened; 0 and 0 when none.
  std::uint64_t openedDevice_ = 0, openedInode_ = 0;
  CWriteFaults* faults_ = nullptr;
  std::unique_ptr<std::uint8_t[]> buffer_;
  std::uint64_t filePos_ = 0;  // OS position of fd_
  std::size_t readLen_ = 0;    // valid bytes in buffer_ when reading
  std::size_t readPos_ = 0;    // next unread byte in buffer_
  std::size_t writeLen_ = 0;   // pending bytes in buffer_ when writing
  // The thread that writes the watched copies' blocks, once one has run.
  std::unique_ptr<CCopyWriter, CopyWriterDeleter> copyWriter_;
  // The hidden file and the path's lock of a CreateWhole output until it is
  // renamed into place or removed.
  std::unique_ptr<CWholeOutput, WholeOutputDeleter> whole_;
  BeforeCommit beforeCommit_;
};

// Full absolute form of a path without resolving links.
std::string AbsolutePath(const std::string& path);
// The name part of a path (after the last '/').
std::string FileNamePart(const std::string& path);
// The folder part of a path including its trailing '/', or empty.
std::string FolderPart(const std::string& path);
// True when path names the same file as the open file (after links).
bool IsSameFile(const CFile& open, const std::string& path);
