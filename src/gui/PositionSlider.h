#pragma once
// The position slider of the main window: a thumb on a scale of 0..rangeMax
// positions standing for the open file's duration, tick marks at the
// positions set by SetTicks and at the selection's marks, the selection
// drawn as a band on the groove, and the three time labels it keeps up to
// date. The marks are not the slider's own: it reads and sets them in the
// CSelectionModel it is given (the main window's, which the waveform shows
// too), so the slider and the model cannot disagree.

#include <QSlider>
#include <array>
#include <cstdint>
#include <set>

#include "core/SelectionModel.h"

class QLabel;

class CPositionSlider : public QSlider {
  Q_OBJECT

 public:
  explicit CPositionSlider(QWidget* parent = nullptr);
  // The model whose marks the slider shows and sets; the caller keeps it
  // alive as long as the slider. Until one is given the slider keeps marks
  // in a model of its own.
  void SetSelectionModel(CSelectionModel& model);

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

  // START at the thumb (the model's marks at the thumb's sample), the thumb
  // moved while marking (a redraw: the band runs to the thumb), END at the
  // thumb, and no marks.
  void StartSelection();
  void UpdateSelection();
  void EndSelection();
  void ClearSelection();
  // Both marks at once, in slider positions: a done selection. An exact
  // selection the model already holds at those positions (a drag on the
  // waveform, typed times) is kept to the sample and only redrawn.
  void SetMarks(int start, int end);
  // False unless start and end are marked. A selection marked right to left
  // is given as the stretch between the two marks.
  bool GetSelection(double& startSeconds, double& endSeconds) const;

  // The band drawn on the groove: from START to the thumb while marking,
  // between the marks once done, empty without marks.
  int SelectionRangeStart() const;
  int SelectionRangeEnd() const;

  void ToggleTimeMode();
  void UpdateLabels();
  void SetElapsedLabel(QLabel* label) { elapsedLabel_ = label; }
  void SetSelectionLabel(QLabel* label) { selectionLabel_ = label; }
  void SetLengthLabel(QLabel* label) { lengthLabel_ = label; }

  // The x of a value's tick mark (the centre of the thumb there), in the
  // slider's own coordinates, as the style lays the groove out.
  int XOfValue(int value) const;

  std::uint32_t RangeMax() const { return rangeMax_; }
  // The ticks drawn: SetTicks' and the marks'.
  std::set<int> Ticks() const;
  bool ShowsElapsed() const { return showElapsed_ != 0; }
  bool Selecting() const { return model_->GetMarking() == CSelectionModel::Marking::Started; }
  bool SelectionDone() const { return model_->GetMarking() == CSelectionModel::Marking::Done; }
  // The marks in slider positions.
  int SelStart() const { return PositionOf(model_->StartMark()); }
  int SelEnd() const { return PositionOf(model_->EndMark()); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void sliderChange(SliderChange change) override;

 private:
  double TimeOf(int position) const;
  // The seconds of the marked selection (positions long on the slider).
  double SelectedSeconds(int positions) const;
  // A slider position as a sample of the model's stream, and back. The
  // marks set here come back at the positions they were set at; an exact
  // mark shows at the position it falls in.
  std::uint64_t SampleOf(int position) const;
  int PositionOf(std::uint64_t sample) const;

  std::uint32_t rangeMax_ = 100;
  int showElapsed_ = 1;
  QLabel* elapsedLabel_ = nullptr;
  QLabel* selectionLabel_ = nullptr;
  QLabel* lengthLabel_ = nullptr;
  double length_ = 0.0;
  std::set<int> ticks_;  // SetTicks' own
  CSelectionModel ownModel_;
  CSelectionModel* model_ = &ownModel_;
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
