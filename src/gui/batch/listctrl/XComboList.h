#pragma once
// The pop-up list of a drop-down cell. It only reports what the user does;
// the list control decides what each report means (accept, cancel, preview)
// and closes it.

#include <QListWidget>

class CXComboList : public QListWidget {
  Q_OBJECT

 public:
  explicit CXComboList(QWidget* parent = nullptr);

  // Fills the list, selects the entry equal to current (else the first) and
  // shows it below cellRect (global coordinates), visibleRows entries high.
  void Open(const QStringList& entries, const QString& current, const QRect& cellRect, int visibleRows);
  QString SelectedText() const;

 signals:
  void ReturnPressed();
  void EscapePressed();
  void KeyPressed();
  void MouseReleased();
  // The list went away without Enter, Escape or a click in it (a click
  // elsewhere closes a pop-up).
  void Dismissed();

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  bool answered_ = false;
};
