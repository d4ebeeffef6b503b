#include "core/MappedFile.h"

#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>

#include "core/File.h"

namespace {

// The guarded read running on this thread: where to jump back to, and the
// bytes whose loss it handles.
struct ReadGuard {
  sigjmp_buf back;
  const std::uint8_t* from = nullptr;
  const std::uint8_t* to = nullptr;
};
thread_local ReadGuard* tGuard = nullptr;

struct sigaction gPrevious {};

void OnBusError(int signal, siginfo_t* info, void* context) {
  ReadGuard* guard = tGuard;
  const auto* address = static_cast<const std::uint8_t*>(info->si_addr);
  if (guard && address >= guard->from && address < guard->to) {
    tGuard = nullptr;
    siglongjmp(guard->back, 1);
  }
  // Not a guarded read: the action the signal had before.
  if (gPrevious.sa_flags & SA_SIGINFO) {
    gPrevious.sa_sigaction(signal, info, context);
  } else if (gPrevious.sa_handler != SIG_DFL && gPrevious.sa_handler != SIG_IGN) {
    gPrevious.sa_handler(signal);
  } else {
    // Restored, the fault repeats on return and takes its default course.
    sigaction(SIGBUS, &gPrevious, nullptr);
  }
}

void InstallBusErrorHandler() {
  static std::once_flag installed;
  std::call_once(installed, [] {
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    sigaction(SIGBUS, &action, &gPrevious);
  });
}

}  // namespace

CMappedFile::CMappedFile(const CFile& file, std::uint64_t offset, std::uint64_t length) {
  const long page = sysconf(_SC_PAGESIZE);
  if (file.fd_ < 0 || length == 0 || page <= 0 || length > SIZE_MAX / 2) return;
  const std::uint64_t start = offset - offset % static_cast<std::uint64_t>(page);
  const std::size_t size = static_cast<std::size_t>(length + (offset - start));
  void* mapping = mmap(nullptr, size, PROT_READ, MAP_SHARED, file.fd_, static_cast<off_t>(start));
  if (mapping == MAP_FAILED) return;
  InstallBusErrorHandler();
  // Pages, not 2 MiB runs of them: a walk that gives back what it passed
  // then holds a few hundred KiB at a time, not megabytes.
  madvise(mapping, size, MADV_NOHUGEPAGE);
  mapping_ = static_cast<std::uint8_t*>(mapping);
  mappingLength_ = size;
  bytes_ = static_cast<const std::uint8_t*>(mapping) + (offset - start);
  offset_ = offset;
  length_ = length;
}

CMappedFile::~CMappedFile() {
  if (mapping_) munmap(mapping_, mappingLength_);
}

void CMappedFile::Release(std::uint64_t upTo) {
  if (!mapping_ || upTo <= offset_) return;
  const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  const std::uint64_t fromMapping = std::min<std::uint64_t>(upTo - offset_, length_) + (bytes_ - mapping_);
  const std::size_t until = static_cast<std::size_t>(fromMapping) / page * page;
  if (until <= released_) return;
  madvise(mapping_ + released_, until - released_, MADV_DONTNEED);
  released_ = until;
}

bool CMappedFile::Guarded(void (*read)(void* context), void* context) const {
  ReadGuard guard;
  guard.from = mapping_;
  guard.to = guard.from + mappingLength_;
  ReadGuard* const outer = tGuard;
  if (sigsetjmp(guard.back, 1) != 0) {
    tGuard = outer;
    return false;
  }
  tGuard = &guard;
  read(context);
  tGuard = outer;
  return true;
}
