#include "core/WholeOutput.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <set>

#include "core/File.h"
#include "core/PendingOutputs.h"

namespace {

constexpr char kMark[] = ".kestrune-";
constexpr char kEnd[] = ".part";
constexpr std::size_t kRandomChars = 6;
// What a hidden name adds to the output's own: '.', the mark, the random
// letters and the end.
constexpr std::size_t kAdded = 1 + sizeof kMark - 1 + kRandomChars + sizeof kEnd - 1;

bool TakeLock(int fd) {
  int rc;
  do {
    rc = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  return rc == 0;
}

std::string RandomLetters() {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  unsigned char bytes[kRandomChars] = {};
  if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes))
    for (unsigned char& b : bytes) b = static_cast<unsigned char>(std::rand());
  std::string text;
  for (unsigned char b : bytes) text += kLetters[b % (sizeof kLetters - 1)];
  return text;
}

// The path an output is renamed onto: the file a symbolic link names, so the
// link stays and its file gets the new bytes, as a write through it would.
std::string Target(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (!resolved) return path;
  std::string target = resolved;
  std::free(resolved);
  return target;
}

// Holds back the signals a program may end on while a hidden file is made
// and listed (core/PendingOutputs.h): a handler that ran in between would
// not know the file and leave it. Faults of the thread itself stay open.
class CSignalsHeld {
 public:
  CSignalsHeld() {
    sigset_t all;
    sigfillset(&all);
    for (int fault : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP}) sigdelset(&all, fault);
    pthread_sigmask(SIG_BLOCK, &all, &before_);
  }
  ~CSignalsHeld() { pthread_sigmask(SIG_SETMASK, &before_, nullptr); }
  CSignalsHeld(const CSignalsHeld&) = delete;
  CSignalsHeld& operator=(const CSignalsHeld&) = delete;

 private:
  sigset_t before_;
};

// Each folder is cleaned once a process: a batch of thousands of outputs
// in one folder reads it once.
void CleanOnce(const std::string& folder) {
  static std::mutex mutex;
  static std::set<std::string> cleaned;
  {
    std::lock_guard lock(mutex);
    if (!cleaned.insert(folder).second) return;
  }
  RemoveStaleWholeOutputs(folder);
}

}  // namespace

bool IsWholeOutputName(const std::string& name) {
  const std::size_t endLen = sizeof kEnd - 1, markLen = sizeof kMark - 1;
  if (name.size() < kAdded + 1 || name[0] != '.') return false;
  if (name.compare(name.size() - endLen, endLen, kEnd) != 0) return false;
  const std::size_t letters = name.size() - endLen - kRandomChars;
  if (name.compare(letters - markLen, markLen, kMark) != 0) return false;
  for (std::size_t i = letters; i < letters + kRandomChars; ++i) {
    const char c = name[i];
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
  }
  return true;
}

std::size_t RemoveStaleWholeOutputs(const std::string& folder) {
  const std::string dirPath = folder.empty() ? "." : folder;
  DIR* dir = ::opendir(dirPath.c_str());
  if (!dir) return 0;
  const int dirFd = ::dirfd(dir);
  std::size_t removed = 0;
  while (const dirent* entry = ::readdir(dir)) {
    if (!IsWholeOutputName(entry->d_name)) continue;
    // O_NOFOLLOW and the regular-file check keep a link or FIFO under such
    // a name from being followed or waited on.
    const int fd = ::openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat held {
    }, named{};
    // A lock we get is a lock no writer holds: flock locks die with their
    // process, kill -9 included. The name must still be that file when it
    // is removed, or a writer that just made a new one under it would lose it.
    if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && held.st_uid == ::geteuid() && TakeLock(fd) &&
        ::fstatat(dirFd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_dev == held.st_dev &&
        named.st_ino == held.st_ino && ::unlinkat(dirFd, entry->d_name, 0) == 0)
      ++removed;
    ::close(fd);
  }
  ::closedir(dir);
  return removed;
}

int CWholeOutput::Create(const std::string& finalPath) {
  Discard();
  target_ = Target(finalPath);
  struct stat existing {};
  const bool exists = ::stat(target_.c_str(), &existing) == 0;
  if (!exists && errno != ENOENT) return -1;
  if (exists && !S_ISREG(existing.st_mode)) {
    errno = S_ISDIR(existing.st_mode) ? EISDIR : EACCES;
    return -1;
  }
  if (exists) {
    // Opened to write (never written) so a file the user may not write is
    // refused as before; the lock keeps a second writer off until the rename.
    do {
      finalLock_ = ::open(target_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    } while (finalLock_ < 0 && errno == EINTR);
    if (finalLock_ < 0) return -1;
    struct stat opened {};
    if (::fstat(finalLock_, &opened) != 0 || !S_ISREG(opened.st_mode) || !TakeLock(finalLock_)) {
      const int err = S_ISREG(opened.st_mode) || errno == EWOULDBLOCK ? errno : EACCES;
      Release();
      errno = err;
      return -1;
    }
  }
  const std::string folder = FolderPart(target_);
  CleanOnce(folder);
  std::string name = FileNamePart(target_);
  if (name.size() + kAdded > NAME_MAX) name.resize(NAME_MAX - kAdded);
  const CSignalsHeld held;
  const pending::CListing listing;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string candidate = folder + "." + name + kMark + RandomLetters() + kEnd;
    const int fd = ::open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      if (errno == EEXIST || errno == EINTR) continue;
      const int err = errno;
      Release();
      errno = err;
      return -1;
    }
    // A cleaner in another process may have taken the new file for a dead
    // run's between its creation and the lock: then its name is gone or
    // another file's, and a new name is tried.
    struct stat held {
    }, named{};
    if (!TakeLock(fd) || ::fstat(fd, &held) != 0 || ::stat(candidate.c_str(), &named) != 0 ||
        held.st_ino != named.st_ino || held.st_dev != named.st_dev) {
      ::close(fd);
      continue;
    }
    if (exists) ::fchmod(fd, existing.st_mode & 07777);
    written_ = candidate;
    pendingSlot_ = pending::Remember(written_.c_str(), finalPath.c_str());
    return fd;
  }
  Release();
  errno = EEXIST;
  return -1;
}

int CWholeOutput::Commit(int fd) {
  // Durable before renamed: after a power cut the path holds the old file or
  // the whole new one. Without the sync the rename can reach the disk before
  // the data (ext4 and XFS write delayed data back later), leaving an empty
  // or short file under the final name. The cost is one wait for the disk per
  // output, small beside the writing itself.
  int rc;
  do {
    rc = ::fdatasync(fd);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0 && errno != EINVAL && errno != EROFS) return errno;
  if (::rename(written_.c_str(), target_.c_str()) != 0) return errno;
  written_.clear();
  Release();
  return 0;
}

bool CWholeOutput::Discard() noexcept {
  const bool removed = !written_.empty() && ::unlink(written_.c_str()) == 0;
  written_.clear();
  Release();
  return removed;
}

void CWholeOutput::Release() noexcept {
  pending::Forget(pendingSlot_);
  pendingSlot_ = -1;
  if (finalLock_ >= 0) ::close(finalLock_);
  finalLock_ = -1;
}
