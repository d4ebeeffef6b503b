#include "core/File.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>

#include "core/StringTable.h"
#include "core/WholeOutput.h"

namespace {

constexpr std::size_t kDirectCopyBlock = 8u << 20;

// Why a path that exists but is not a regular file cannot be used: folders
// have their own errno, everything else (FIFO, device, socket) is refused
// as a file the program may not read or write.
int NotRegularErrno(mode_t mode) {
  return S_ISDIR(mode) ? EISDIR : EACCES;
}

// Opens path only when it is a regular file; -1 with errno otherwise. The
// stat before the open keeps devices and FIFOs from being opened at all; the
// fstat after it catches a path that changed in between. flags carry
// O_NONBLOCK, so even then a FIFO without a writer cannot block the open;
// the flag is taken off again (regular files ignore it anyway).
int OpenRegularFile(const std::string& path, int flags) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    errno = NotRegularErrno(st.st_mode);
    return -1;
  }
  int fd;
  do {
    fd = ::open(path.c_str(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return -1;
  int err = 0;
  if (::fstat(fd, &st) != 0)
    err = errno;
  else if (!S_ISREG(st.st_mode))
    err = NotRegularErrno(st.st_mode);
  if (err != 0) {
    ::close(fd);
    errno = err;
    return -1;
  }
  // F_SETFL ignores the access mode and creation bits of flags.
  ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

// Takes the output's exclusive lock without waiting, then empties it. Two
// writers on one output would interleave their bytes under one header; the
// second one fails here (EWOULDBLOCK) before it has changed a byte. flock
// locks belong to the open file description, so the lock holds against other
// opens in this process too, is not inherited across exec (O_CLOEXEC), and
// goes away when the descriptor is closed.
bool LockAndEmpty(int fd) {
  int rc;
  do {
    rc = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) return false;
  // Only a file that holds something is truncated, as O_TRUNC does: ext4
  // takes a truncation to zero as a file being replaced and writes its new
  // data back at close (auto_da_alloc), which cost a 1 GiB cut 60 ms in
  // close and the overlap of that write-back with the next work.
  struct stat st {};
  if (::fstat(fd, &st) != 0) return false;
  if (st.st_size == 0) return true;
  do {
    rc = ::ftruncate(fd, 0);
  } while (rc != 0 && errno == EINTR);
  return rc == 0;
}

}  // namespace

FileCause FileCauseFromErrno(int err) {
  switch (err) {
    case ENOENT:
      return FileCause::FileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
    case EINVAL:
      return FileCause::BadPath;
    case EMFILE:
    case ENFILE:
      return FileCause::TooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case EEXIST:
      return FileCause::AccessDenied;
    case EBADF:
      return FileCause::InvalidFile;
    case EBUSY:
      return FileCause::RemoveCurrentDir;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return FileCause::DiskFull;
    case EIO:
      return FileCause::HardIO;
    case ESPIPE:
    case EOVERFLOW:
      return FileCause::BadSeek;
    case ETXTBSY:
      return FileCause::SharingViolation;
    case EWOULDBLOCK:  // the output's lock is held by another writer
      return FileCause::SharingViolation;
    case EDEADLK:
    case ENOLCK:
      return FileCause::LockViolation;
    default:
      return FileCause::Generic;
  }
}

CFileException::CFileException(FileCause cause, std::string path, int osError)
    : CAudioFailure(err::kFileFault, path, osError, FileFailureMessage(cause, path)), cause_(cause) {}

void CFileException::AddNote(const std::string& note) {
  SetText(FileFailureMessage(cause_, Path()) + (note.empty() ? "" : " " + note));
}

CFile::~CFile() {
  Abort();
}

CFile::Opened CFile::Open(const std::string& path, Mode mode, CWriteFaults* faults) {
  Abort();
  path_ = AbsolutePath(path);
  faults_ = faults;
  int fd;
  if (mode == Mode::CreateWhole) {
    auto whole = std::unique_ptr<CWholeOutput, WholeOutputDeleter>(new CWholeOutput);
    fd = whole->Create(path_);
    if (fd < 0) return {errno};
    whole_ = std::move(whole);
  } else {
    const bool writing = mode == Mode::CreateReadWrite;
    // No O_TRUNC: an output is emptied only once this process holds its
    // lock, so a file that another writer is filling is left as it is.
    const int flags = (writing ? O_RDWR | O_CREAT : O_RDONLY) | O_NONBLOCK | O_CLOEXEC;
    fd = OpenRegularFile(path, flags);
    if (fd < 0) return {errno};
    if (writing && !LockAndEmpty(fd)) {
      const int cause = errno;
      ::close(fd);
      return {cause};
    }
  }
  fd_ = fd;
  if (!Identity(openedDevice_, openedInode_)) openedDevice_ = openedInode_ = 0;
  filePos_ = 0;
  readLen_ = readPos_ = writeLen_ = 0;
  if (!buffer_) buffer_ = std::make_unique_for_overwrite<std::uint8_t[]>(kBufferSize);
  return {};
}

void CFile::OpenOrThrow(const std::string& path, Mode mode) {
  if (const Opened opened = Open(path, mode); !opened)
    throw CFileException(FileCauseFromErrno(opened.osError), AbsolutePath(path), opened.osError);
}

void CFile::Throw(int err) const {
  throw CFileException(FileCauseFromErrno(err), path_, err);
}

std::size_t CFile::RawRead(void* buffer, std::size_t count) {
  std::size_t done = 0;
  auto* out = static_cast<std::uint8_t*>(buffer);
  while (done < count) {
    const ssize_t n = ::read(fd_, out + done, std::min<std::size_t>(count - done, SSIZE_MAX));
    if (n < 0) {
      if (errno == EINTR) continue;
      Throw(errno);
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
    filePos_ += static_cast<std::uint64_t>(n);
  }
  return done;
}

void CFile::RawWrite(const void* buffer, std::size_t count) {
  const auto* in = static_cast<const std::uint8_t*>(buffer);
  const std::size_t allowed = faults_ ? std::min(faults_->Allow(count), count) : count;
  const bool failAfter = allowed < count;
  std::size_t done = 0;
  while (done < allowed) {
    const ssize_t n = ::write(fd_, in + done, allowed - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      Throw(errno);
    }
    done += static_cast<std::size_t>(n);
    filePos_ += static_cast<std::uint64_t>(n);
  }
  if (failAfter) Throw(ENOSPC);
}

void CFile::FlushWrite() {
  if (writeLen_ == 0) return;
  const std::size_t pending = writeLen_;
  writeLen_ = 0;
  RawWrite(buffer_.get(), pending);
}

void CFile::DropReadBuffer() {
  if (readPos_ < readLen_) {
    const auto back = static_cast<off_t>(readLen_ - readPos_);
    const off_t pos = ::lseek(fd_, -back, SEEK_CUR);
    if (pos < 0) Throw(errno);
    filePos_ = static_cast<std::uint64_t>(pos);
  }
  readLen_ = readPos_ = 0;
}

std::size_t CFile::Read(void* buffer, std::size_t count) {
  if (fd_ < 0) Throw(EBADF);
  FlushWrite();
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    if (readPos_ < readLen_) {
      const std::size_t n = std::min(count - done, readLen_ - readPos_);
      std::memcpy(out + done, buffer_.get() + readPos_, n);
      readPos_ += n;
      done += n;
      continue;
    }
    // A read that goes on from a buffer it used up fills the whole buffer;
    // the first after a move fills a little of it: the header probes seek
    // and read a few bytes at a time all over the file.
    const bool reading = readLen_ > 0;
    readLen_ = readPos_ = 0;
    const std::size_t left = count - done;
    // Large reads go straight to the caller's memory: staging them in the
    // buffer would only add a copy.
    if (left >= kBufferSize / 2) {
      const std::size_t n = RawRead(out + done, left);
      done += n;
      break;
    }
    readLen_ = RawRead(buffer_.get(), reading ? kBufferSize : std::max(left, kFirstFill));
    if (readLen_ == 0) break;
  }
  return done;
}

void CFile::Write(const void* buffer, std::size_t count) {
  if (fd_ < 0) Throw(EBADF);
  DropReadBuffer();
  const auto* in = static_cast<const std::uint8_t*>(buffer);
  // Large writes go out directly, after what is pending (a header written
  // just before the audio, say), instead of through the buffer.
  if (count >= kBufferSize) {
    FlushWrite();
    RawWrite(in, count);
    return;
  }
  while (count > 0) {
    const std::size_t n = std::min(count, kBufferSize - writeLen_);
    std::memcpy(buffer_.get() + writeLen_, in, n);
    writeLen_ += n;
    in += n;
    count -= n;
    if (writeLen_ == kBufferSize) FlushWrite();
  }
}

std::size_t CFile::ReadAt(void* buffer, std::size_t count, std::uint64_t offset) const {
  if (fd_ < 0) Throw(EBADF);
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    const ssize_t n = ::pread(fd_, out + done, std::min<std::size_t>(count - done, SSIZE_MAX),
                              static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      Throw(errno);
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

std::uint64_t CFile::GetPosition() const {
  if (writeLen_ > 0) return filePos_ + writeLen_;
  return filePos_ - (readLen_ - readPos_);
}

std::uint64_t CFile::Seek(std::int64_t offset, From from) {
  if (fd_ < 0) Throw(EBADF);
  std::int64_t base = 0;
  if (from == From::Current) base = static_cast<std::int64_t>(GetPosition());
  if (from == From::End) base = static_cast<std::int64_t>(GetLength());
  const std::int64_t target = base + offset;
  if (target < 0) throw CFileException(FileCause::BadSeek, path_, EINVAL);
  // A move inside the read buffer needs no system call: the tag searches
  // step back a few bytes at a time.
  if (writeLen_ == 0 && readLen_ > 0) {
    const std::uint64_t bufStart = filePos_ - readLen_;
    if (static_cast<std::uint64_t>(target) >= bufStart && static_cast<std::uint64_t>(target) <= filePos_) {
      readPos_ = static_cast<std::size_t>(static_cast<std::uint64_t>(target) - bufStart);
      return static_cast<std::uint64_t>(target);
    }
  }
  FlushWrite();
  readLen_ = readPos_ = 0;
  const off_t pos = ::lseek(fd_, static_cast<off_t>(target), SEEK_SET);
  if (pos < 0) throw CFileException(FileCause::BadSeek, path_, errno);
  filePos_ = static_cast<std::uint64_t>(pos);
  return filePos_;
}

std::uint64_t CFile::GetLength() const {
  if (fd_ < 0) Throw(EBADF);
  struct stat st {};
  if (::fstat(fd_, &st) != 0) Throw(errno);
  return std::max<std::uint64_t>(static_cast<std::uint64_t>(st.st_size), filePos_ + writeLen_);
}

void CFile::Flush() {
  if (fd_ < 0) return;
  FlushWrite();
}

void CFile::SetLength(std::uint64_t length) {
  if (fd_ < 0) Throw(EBADF);
  FlushWrite();
  DropReadBuffer();
  int result;
  do {
    result = ::ftruncate(fd_, static_cast<off_t>(length));
  } while (result != 0 && errno == EINTR);
  if (result != 0) Throw(errno);
  if (filePos_ > length) {
    if (::lseek(fd_, static_cast<off_t>(length), SEEK_SET) < 0) Throw(errno);
    filePos_ = length;
  }
}

void CFile::Close() {
  if (fd_ < 0) return;
  try {
    FlushWrite();
    if (whole_) Commit();
  } catch (...) {
    // The descriptor goes; a CreateWhole output's hidden file stays for
    // RemoveAndClose to report removed (or Abort, the destructor).
    ::close(fd_);
    fd_ = -1;
    readLen_ = readPos_ = writeLen_ = 0;
    throw;
  }
  const int fd = fd_;
  fd_ = -1;
  readLen_ = readPos_ = writeLen_ = 0;
  if (::close(fd) != 0 && errno != EINTR) Throw(errno);
}

void CFile::Commit() {
  if (beforeCommit_) {
    const BeforeCommit hook = std::move(beforeCommit_);
    beforeCommit_ = nullptr;
    hook(whole_->WrittenPath());
  }
  if (const int err = whole_->Commit(fd_); err != 0) Throw(err);
  whole_.reset();
}

const std::string& CFile::GetWritingPath() const {
  return whole_ && !whole_->WrittenPath().empty() ? whole_->WrittenPath() : path_;
}

void CFile::WholeOutputDeleter::operator()(CWholeOutput* whole) const {
  delete whole;
}

void CFile::Abort() noexcept {
  // An output not closed whole is no output: its hidden file goes, and
  // with it what the buffer holds for it.
  if (whole_) writeLen_ = 0;
  whole_.reset();
  beforeCommit_ = nullptr;
  if (fd_ < 0) return;
  try {
    FlushWrite();
  } catch (...) {
  }
  ::close(fd_);
  fd_ = -1;
  readLen_ = readPos_ = writeLen_ = 0;
}

bool CFile::RemoveAndClose() noexcept {
  // What the buffer still holds belongs to a file that is going.
  writeLen_ = 0;
  if (whole_) {
    const bool removed = whole_->Discard();
    Abort();
    return removed;
  }
  struct stat st {};
  const bool same = (openedDevice_ != 0 || openedInode_ != 0) && ::stat(path_.c_str(), &st) == 0 &&
                    st.st_dev == openedDevice_ && st.st_ino == openedInode_;
  const bool removed = same && ::unlink(path_.c_str()) == 0;
  Abort();
  return removed;
}

std::string CFile::GetFileName() const {
  return FileNamePart(path_);
}

bool CFile::Identity(std::uint64_t& device, std::uint64_t& inode) const {
  struct stat st {};
  if (fd_ < 0 || ::fstat(fd_, &st) != 0) return false;
  device = st.st_dev;
  inode = st.st_ino;
  return true;
}

std::uint64_t CFile::CopyTo(CFile& out, std::uint64_t count, const CopyObserver* observer) {
  if (fd_ < 0 || out.fd_ < 0) Throw(EBADF);
  auto written = [observer](const std::uint8_t* bytes, std::size_t n) {
    if (observer && n > 0) (*observer)(bytes, n);
  };
  std::uint64_t done = 0;
  // What is already in the read buffer goes through the normal path.
  if (readPos_ < readLen_) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, readLen_ - readPos_));
    out.Write(buffer_.get() + readPos_, n);
    written(buffer_.get() + readPos_, n);
    readPos_ += n;
    done += n;
  }
  if (done == count) return done;
  readLen_ = readPos_ = 0;
  FlushWrite();
  out.DropReadBuffer();
  // Small remainders are cheaper through the output buffer.
  if (count - done < kBufferSize) {
    std::uint8_t* tmp = buffer_.get();
    const std::size_t n = RawRead(tmp, static_cast<std::size_t>(count - done));
    out.Write(tmp, n);
    written(tmp, n);
    return done + n;
  }
  out.FlushWrite();
  return done + CopyLarge(out, count - done, observer);
}

std::uint64_t CFile::CopyLarge(CFile& out, std::uint64_t count, const CopyObserver* observer) {
  if (observer) return CopyWatched(out, count, *observer);
  // The kernel copies between the page caches without a trip through user
  // memory; fall back to read and write where it cannot.
  bool kernelCopy = out.faults_ == nullptr;
  std::uint64_t done = 0;
  while (done < count) {
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(count - done, kDirectCopyBlock));
    if (kernelCopy) {
      const ssize_t n = ::copy_file_range(fd_, nullptr, out.fd_, nullptr, want, 0);
      if (n < 0) {
        if (errno == EINTR) continue;
        if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP || errno == EBADF) {
          kernelCopy = false;
          continue;
        }
        const int err = errno;
        if (err == ENOSPC || err == EFBIG || err == EDQUOT) out.Throw(err);
        Throw(err);
      }
      if (n == 0) break;
      filePos_ += static_cast<std::uint64_t>(n);
      out.filePos_ += static_cast<std::uint64_t>(n);
      done += static_cast<std::uint64_t>(n);
      continue;
    }
    const std::size_t n = RawRead(buffer_.get(), std::min(want, kBufferSize));
    if (n == 0) break;
    out.RawWrite(buffer_.get(), n);
    done += n;
  }
  return done;
}

std::string AbsolutePath(const std::string& path) {
  std::error_code ec;
  auto abs = std::filesystem::absolute(path, ec);
  if (ec) return path;
  return abs.lexically_normal().string();
}

std::string FileNamePart(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FolderPart(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool IsSameFile(const CFile& open, const std::string& path) {
  std::uint64_t dev = 0, ino = 0;
  if (!open.Identity(dev, ino)) return false;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  return st.st_dev == dev && st.st_ino == ino;
}
