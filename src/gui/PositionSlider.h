#pragma once
// The position slider of the main window: a thumb on a scale of 0..rangeMax
// positions standing for the open file's duration, tick marks at the
// positions set by SetTicks and by the selection, the selection drawn as a
// band on the groove, and the three time labels it keeps up to date.

#include <QSlider>
#include <array>
#include <cstdint>
#include <set>

class QLabel;

class CPositionSlider : public QSlider {
  Q_OBJECT

 public:
  explicit CPositionSlider(QWidget* parent = nullptr);

  void SetRange(int minimum, int maximum, bool redraw = true);
  void SetTicks();
  void ResetTicks();
  void SetLength(double seconds) { length_ = seconds; }
  double GetLength() const { return length_; }
  double GetFraction() const;
  double GetPositionSeconds() const;
  // Thumb to rangeMax x fraction (truncated, at most rangeMax).
  void SetPosition(double fraction);
  int ThumbPosition() const { return sliderPosition(); }

  void StartSelection();
  void UpdateSelection();
  void EndSelection();
  void ClearSelection();
  // Both marks at once, as a drag on the waveform sets them: a done selection.
  void SetMarks(int start, int end);
  // False unless start and end are marked. A selection marked right to left
  // is given as the stretch between the two marks.
  bool GetSelection(double& startSeconds, double& endSeconds) const;

  // The slider's own selection range, set by UpdateSelection.
  void SetSelectionRange(int start, int end);
  int SelectionRangeStart() const { return rangeSelStart_; }
  int SelectionRangeEnd() const { return rangeSelEnd_; }

  void ToggleTimeMode();
  void UpdateLabels();
  void SetElapsedLabel(QLabel* label) { elapsedLabel_ = label; }
  void SetSelectionLabel(QLabel* label) { selectionLabel_ = label; }
  void SetLengthLabel(QLabel* label) { lengthLabel_ = label; }

  // The x of a value's tick mark (the centre of the thumb there), in the
  // slider's own coordinates, as the style lays the groove out.
  int XOfValue(int value) const;

  std::uint32_t RangeMax() const { return rangeMax_; }
  const std::set<int>& Ticks() const { return ticks_; }
  bool ShowsElapsed() const { return showElapsed_ != 0; }
  bool Selecting() const { return selecting_ != 0; }
  bool SelectionDone() const { return selectionDone_ != 0; }
  int SelStart() const { return selStart_; }
  int SelEnd() const { return selEnd_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void sliderChange(SliderChange change) override;

 private:
  double TimeOf(int position) const;
  void AddTick(int position);

  std::uint32_t rangeMax_ = 100;
  int showElapsed_ = 1;
  QLabel* elapsedLabel_ = nullptr;
  QLabel* selectionLabel_ = nullptr;
  QLabel* lengthLabel_ = nullptr;
  double length_ = 0.0;
  int selStart_ = 0;
  int selEnd_ = 0;
  int selecting_ = 0;
  int selectionDone_ = 0;
  int rangeSelStart_ = 0;
  int rangeSelEnd_ = 0;
  std::set<int> ticks_;
};

// The scale marks "0%", "25%", "50%", "75%" and "100%" above a position
// slider, each centred on the place the slider's style gives that value.
class CSliderScale : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kMarks = 5;
  explicit CSliderScale(CPositionSlider* slider, QWidget* parent = nullptr);
  QLabel* Mark(int index) const { return marks_[static_cast<std::size_t>(index)]; }
  // The slider value a mark stands for.
  int MarkValue(int index) const;
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void Place();

  CPositionSlider* slider_;
  std::array<QLabel*, kMarks> marks_{};
};
