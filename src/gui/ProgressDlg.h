#pragma once
// The progress window of long operations: an action line, a file-count line,
// the overall and file bars and a Cancel button. It is window-modal over the
// window that runs the command, so no second command can start meanwhile.
// It is the sink of the operation's CProgress; when the operation asks
// whether the user cancelled, it lets pending events run (at most every
// 20 ms) so Cancel and repainting stay live at no measurable cost per block.

#include <QDialog>
#include <QElapsedTimer>

#include "core/Progress.h"

class QLabel;
class QProgressBar;
class QPushButton;

class CProgressDlg : public QDialog, public CProgressSink {
  Q_OBJECT

 public:
  // Object names of the controls of the window's controls.
  static constexpr const char* kActionLabelName = "actionLabel";
  static constexpr const char* kCountLabelName = "countLabel";
  static constexpr const char* kOverallBarName = "overallBar";
  static constexpr const char* kFileBarName = "fileBar";
  static constexpr const char* kCancelName = "cancel";
  static constexpr int kPumpIntervalMs = 20;

  explicit CProgressDlg(QWidget* parentWindow = nullptr);

  // Started shows the window, Closed hides it; the action line names both
  // files, long names shortened in the middle to fit the window, whose size
  // never changes.
  void Changed(const CProgressState& state, ProgressChange change) override;
  // True once Cancel was clicked. Runs the pending events first when the
  // last run is 20 ms or more ago, on the window's own thread and while the
  // operation has not closed the window.
  bool IsCancelled() override;

  // Bound to the Cancel button: sets the flag; stops and closes nothing.
  void OnCancelButton();

 protected:
  // Escape and the title bar's close do not cancel: only the button does.
  void reject() override {}
  void closeEvent(QCloseEvent* event) override;

 private:
  void ShowStarted();
  void ShowBar(QProgressBar* bar, const CProgressBarState& state);
  void ShowAction(const CProgressAction& action);
  void Pump();

  QLabel* action_ = nullptr;
  QLabel* count_ = nullptr;
  QProgressBar* overall_ = nullptr;
  QProgressBar* fileBar_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QElapsedTimer sincePump_;
  bool closing_ = false;
  bool cancelRequested_ = false;
};
