#pragma once
// A push button drawn from four images named after its caption with the
// suffixes U, D, F and X: normal, pressed, focused and disabled (for the
// caption PLAY: PLAYU, PLAYD, PLAYF, PLAYX in the resources' buttons folder).
// The images are SVG, so they stay sharp at any scale.

#include <QAbstractButton>
#include <QSvgRenderer>
#include <array>

class CBitmapButton : public QAbstractButton {
  Q_OBJECT

 public:
  CBitmapButton(const QString& caption, QWidget* parent = nullptr);

  // False when one of the four images is missing.
  bool LoadBitmaps(const QString& caption);
  QSize sizeHint() const override { return {64, 44}; }
  // The image the button shows now: 'U', 'D', 'F' or 'X'.
  char CurrentState() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::array<QSvgRenderer, 4> images_;  // U, D, F, X
};
