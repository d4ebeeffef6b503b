#pragma once
// How a long operation reports its progress and learns of a cancel request.
// The GUI's progress window, the batch window, the command-line tool and the
// tests each implement CProgress.

#include <cstdint>
#include <functional>
#include <string>

class CProgress {
 public:
  virtual ~CProgress() = default;
  virtual void Start() = 0;
  virtual void SetTitle(const std::string& title) = 0;
  virtual void SetFileCount(std::uint32_t count) = 0;
  // Honoured once per object: later calls leave the first range in force.
  virtual void SetFileRange(std::uint32_t total, std::uint32_t step) = 0;
  virtual void StepBoth() = 0;
  virtual void StepOverall() = 0;
  virtual void StepFile() = 0;
  virtual void SetShreddingText(const std::string& source, const std::string& target) = 0;
  virtual void SetConvertingText(const std::string& source, const std::string& target) = 0;
  virtual void SetFileNumber(std::uint32_t number) = 0;
  virtual bool IsCancelled() = 0;
  // Closes the window early (save selection does so before its message).
  virtual void Close() {}
};

// A byte count as a file bar's range: counts past 32 bits fill the range.
inline std::uint32_t ProgressTotal(std::uint64_t bytes) {
  return bytes > UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(bytes);
}

// A progress bar as the operations see it: 0..maximum, stepping past the
// maximum starts again from 0.
struct CProgressBarState {
  std::uint32_t maximum = 100;
  std::uint32_t step = 10;
  std::uint32_t position = 0;
  void Step();
};

// The bookkeeping every progress window shares: counts, ranges, bars, the
// two labels and the cancel flag. Subclasses show it; OnChanged tells them
// something visible changed.
class CProgressCounter : public CProgress {
 public:
  void Start() override;
  void SetTitle(const std::string& title) override;
  void SetFileCount(std::uint32_t count) override;
  void SetFileRange(std::uint32_t total, std::uint32_t step) override;
  void StepBoth() override;
  void StepOverall() override;
  void StepFile() override;
  void SetShreddingText(const std::string& source, const std::string& target) override;
  void SetConvertingText(const std::string& source, const std::string& target) override;
  void SetFileNumber(std::uint32_t number) override;
  bool IsCancelled() override { return cancelRequested_; }

  // Sets the cancel flag; it is never cleared.
  void RequestCancel() { cancelRequested_ = true; }

  bool Started() const { return started_; }
  const std::string& Title() const { return title_; }
  std::uint32_t FileCount() const { return fileCount_; }
  std::uint32_t FileRange() const { return fileRange_; }
  const CProgressBarState& OverallBar() const { return overall_; }
  const CProgressBarState& FileBar() const { return file_; }
  const std::string& ActionText() const { return actionText_; }
  const std::string& CountText() const { return countText_; }

 protected:
  enum class Change { Started, Title, Overall, File, Action, Count };
  virtual void OnChanged(Change) {}

 private:
  bool started_ = false;
  bool cancelRequested_ = false;
  std::uint32_t fileCount_ = 0;
  std::uint32_t fileRange_ = 0;
  std::string title_ = "Shredding... ";
  std::string actionText_;
  std::string countText_;
  CProgressBarState overall_;
  CProgressBarState file_;
};

// Lets one pending user-interface event run, so the progress window repaints
// and its Cancel button works while an operation holds the thread. Does
// nothing until the GUI installs a handler, and nothing on other threads than
// the one that installed it.
void PumpOneMessage();
void SetPumpHandler(std::function<void()> handler);

// Upper-cases ASCII letters, leaving every other byte (UTF-8 included) alone.
std::string ToUpperAscii(std::string text);
