#include "core/PendingOutputs.h"

#include <limits.h>
#include <sched.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace pending {

namespace {

// A slot's life: Free -> Filling (one writer copies the paths in) -> Listed
// -> Free again by Forget, or Taken by a signal handler, which then owns the
// paths until the process exits. Only Listed slots are read by the handler,
// and a slot it took is never refilled, so it never reads a half-written path.
enum State : int { kFree, kFilling, kListed, kTaken };

struct Slot {
  std::atomic<int> state{kFree};
  char written[PATH_MAX];
  char final[PATH_MAX];
};
static_assert(std::atomic<int>::is_always_lock_free);

Slot gSlots[kSlots];
std::atomic<int> gListing{0};

}  // namespace

int Remember(const char* writtenPath, const char* finalPath) noexcept {
  if (std::strlen(writtenPath) >= PATH_MAX || std::strlen(finalPath) >= PATH_MAX) return -1;
  for (std::size_t i = 0; i < kSlots; ++i) {
    int expected = kFree;
    if (!gSlots[i].state.compare_exchange_strong(expected, kFilling)) continue;
    std::strcpy(gSlots[i].written, writtenPath);
    std::strcpy(gSlots[i].final, finalPath);
    gSlots[i].state.store(kListed);
    return static_cast<int>(i);
  }
  return -1;
}

void Forget(int slot) noexcept {
  if (slot < 0 || static_cast<std::size_t>(slot) >= kSlots) return;
  int expected = kListed;
  // A slot a handler took stays taken: the process is about to exit.
  gSlots[slot].state.compare_exchange_strong(expected, kFree);
}

CListing::CListing() noexcept {
  ++gListing;
}
CListing::~CListing() {
  --gListing;
}

int RemovePendingOutputs(void (*removed)(const char*, void*), void* context) noexcept {
  // A file being made now is listed in a few system calls; its thread holds
  // signals back meanwhile, so this handler runs on another one and the
  // wait ends.
  while (gListing.load() > 0) ::sched_yield();
  int count = 0;
  for (Slot& slot : gSlots) {
    int expected = kListed;
    if (!slot.state.compare_exchange_strong(expected, kTaken)) continue;
    if (::unlink(slot.written) != 0) continue;
    ++count;
    if (removed) removed(slot.final, context);
  }
  return count;
}

bool AnyPending() noexcept {
  for (const Slot& slot : gSlots)
    if (slot.state.load() == kListed) return true;
  return false;
}

}  // namespace pending
