#pragma once
// The read-only viewer of the batch log: the log as it was when the viewer
// opened, unwrapped, scrolling sideways for long lines.

#include <QDialog>

class QPlainTextEdit;

class CBatchLogDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr const char* kLogText = "logText";
  static constexpr const char* kOk = "ok";
  CBatchLogDlg(const QString& logPath, QWidget* parent = nullptr);
  QPlainTextEdit* Text() const { return text_; }

 private:
  QPlainTextEdit* text_;
};
