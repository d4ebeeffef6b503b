#pragma once
// The hidden files of the outputs being written now, kept where a signal
// handler can reach them: a program that ends on a signal removes them
// before it exits (RemovePendingOutputs is async-signal-safe). Outputs past
// the table's size are not listed; a run that dies leaves theirs for the
// next run in their folder to remove (core/WholeOutput.h).

#include <cstddef>

namespace pending {

constexpr std::size_t kSlots = 64;

// Lists an output: its hidden file and the path it is renamed onto. The
// slot to hand to Forget, or -1 when the table is full or a path too long.
int Remember(const char* writtenPath, const char* finalPath) noexcept;
void Forget(int slot) noexcept;

// From a signal handler: unlinks every listed hidden file and calls
// removed(finalPath, context) for each one that was there. Returns how many
// were removed. Async-signal-safe when removed is.
int RemovePendingOutputs(void (*removed)(const char* finalPath, void* context), void* context) noexcept;

// Held while an output's hidden file is made and until it is listed, with
// the thread's signals held back: a handler on another thread waits for
// the listing instead of missing the file.
class CListing {
 public:
  CListing() noexcept;
  ~CListing();
  CListing(const CListing&) = delete;
  CListing& operator=(const CListing&) = delete;
};

// True when any output is listed now.
bool AnyPending() noexcept;

}  // namespace pending
