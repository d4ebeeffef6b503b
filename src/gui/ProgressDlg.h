#pragma once
// The progress window of long operations: an action line, a file-count line,
// the overall and file bars and a Cancel button. It is window-modal over the
// window that runs the command, so no second command can start meanwhile.
// While the object lives it serves PumpOneMessage, letting pending events run
// at most every 20 ms so Cancel and repainting stay live at no measurable
// cost per block.

#include <QDialog>
#include <QElapsedTimer>
#include <functional>

#include "core/Progress.h"

class QLabel;
class QProgressBar;
class QPushButton;

class CProgressDlg : public QDialog, public CProgressCounter {
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
  ~CProgressDlg() override;

  void Start() override;
  void Close() override;
  // The action line names both files; long names are shortened in the middle
  // to fit the window, whose size never changes.
  void SetShreddingText(const std::string& source, const std::string& target) override;
  void SetConvertingText(const std::string& source, const std::string& target) override;

  // Bound to the Cancel button: sets the flag; stops and closes nothing.
  void OnCancelButton();

  // Runs the pending events now if the last run is 20 ms or more ago.
  void Pump();

 protected:
  // For a window that derives from the progress window but shows controls
  // of its own (the batch window): no progress controls, no modality, and
  // PumpOneMessage is not served.
  struct OwnControls {};
  CProgressDlg(QWidget* parentWindow, OwnControls);

  void OnChanged(Change change) override;
  // Escape and the title bar's close do not cancel: only the button does.
  void reject() override {}
  void closeEvent(QCloseEvent* event) override;

 private:
  void ShowBar(QProgressBar* bar, const CProgressBarState& state);
  void ShowAction(const char* verb, const std::string& source, const std::string& target);

  QLabel* action_ = nullptr;
  QLabel* count_ = nullptr;
  QProgressBar* overall_ = nullptr;
  QProgressBar* fileBar_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QElapsedTimer sincePump_;
  bool closing_ = false;
  bool servesPump_ = true;
};
