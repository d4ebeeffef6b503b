#pragma once
// How a long operation reports its progress and learns of a cancel request.
// The operations drive CProgress, which keeps the bookkeeping every display
// shares (counts, ranges honoured once, bars that wrap, the title, the action
// and count lines) and tells the CProgressSink it was given what changed. The
// GUI's progress window, the batch window, the command-line tool and the
// tests each implement a sink; with no sink an operation runs silently.

#include <cstdint>
#include <string>

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

// The action line in parts, so a window can shorten each name on its own.
struct CProgressAction {
  std::string verb;    // "Shredding " or "Converting "
  std::string source;  // the file names as the operation gave them
  std::string target;
  // "Shredding SOURCE to TARGET", the names upper-cased; empty before any.
  std::string Text() const;
};

// Everything a display of the progress shows.
struct CProgressState {
  bool started = false;
  std::string title = "Shredding... ";
  std::uint32_t fileCount = 0;
  std::uint32_t fileRange = 0;  // 0 until an operation sets the file bar's range
  std::uint32_t fileNumber = 0;
  CProgressBarState overall;
  CProgressBarState file;
  CProgressAction action;
  std::string countText;  // "2 out of 5 file(s)"
};

// What changed in the state since the sink last heard.
enum class ProgressChange {
  Started,
  Title,
  FileCount,    // the file count and with it the overall bar's range
  OverallStep,  // the overall bar moved one step
  FileRange,    // the file bar's range
  FileStep,     // the file bar moved one step
  Action,
  Count,
  Closed,  // the operation is done with the display (before its own message)
};

// What shows the progress of an operation and tells whether the user asked
// to stop. Called on the thread that runs the operation.
class CProgressSink {
 public:
  virtual ~CProgressSink() = default;
  virtual void Changed(const CProgressState& state, ProgressChange change) = 0;
  // Asked between blocks of work: true when the user asked to stop. A window
  // lets its pending events run here, so it repaints and its Cancel button
  // works while the operation holds the thread.
  virtual bool IsCancelled() = 0;
};

// The progress reporter every long operation drives.
class CProgress {
 public:
  explicit CProgress(CProgressSink* sink = nullptr) : sink_(sink) {}
  CProgress(const CProgress&) = delete;
  CProgress& operator=(const CProgress&) = delete;

  void Start();
  void SetTitle(const std::string& title);
  // Also makes the overall bar 0..count (a 16-bit maximum), one step a file.
  void SetFileCount(std::uint32_t count);
  // Honoured once per reporter: later calls leave the first range in force.
  void SetFileRange(std::uint32_t total, std::uint32_t step);
  // Steps do nothing before both a file count and a file range are set.
  void StepBoth();
  void StepOverall();
  void StepFile();
  void SetShreddingText(const std::string& source, const std::string& target);
  void SetConvertingText(const std::string& source, const std::string& target);
  void SetFileNumber(std::uint32_t number);
  bool IsCancelled() { return sink_ && sink_->IsCancelled(); }
  // Done with the display early (save selection closes it before its message).
  void Close();

  // Several operations shown as one, each a piece of count: until EndPieces
  // their Start, SetFileCount and Close do nothing and SetFileNumber shows
  // the piece's number (a split saves each piece as a selection).
  void BeginPieces(std::uint32_t count);
  void SetPiece(std::uint32_t number);
  void EndPieces() { inPieces_ = false; }

  const CProgressState& State() const { return state_; }
  CProgressSink* Sink() const { return sink_; }

 private:
  void Tell(ProgressChange change);
  void ShowAction(const char* verb, const std::string& source, const std::string& target);
  void ShowFileNumber(std::uint32_t number);

  CProgressSink* sink_;
  CProgressState state_;
  bool inPieces_ = false;
  std::uint32_t piece_ = 1;
};

// Upper-cases ASCII letters, leaving every other byte (UTF-8 included) alone.
std::string ToUpperAscii(std::string text);
