#pragma once
// The waveform strip of the main window: min/max per pixel column of each
// channel (one mixed band when the strip is short) with an inner RMS band,
// the selection shaded, START and END marks, the play cursor and any extra
// markers. A click seeks, a drag selects, the wheel zooms around the
// pointer; the owner turns the signals into changes of the selection model
// and calls update().

#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "core/PeakModel.h"
#include "core/peaks/PeakJob.h"

class CSelectionModel;

class CWaveformView : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kDragThreshold = 3;  // pixels before a press becomes a drag

  explicit CWaveformView(const CSelectionModel& selection, QWidget* parent = nullptr);

  // The peaks to draw (null: none yet) and a line shown instead of them.
  void SetModel(std::shared_ptr<const peaks::CPeakModel> model);
  void SetMessage(const QString& text);
  QString Message() const { return message_; }
  // Zoomed deeper than the model's blocks, the view asks for finer points
  // of [first, last) through request (answered later with SetDetail).
  using DetailRequest =
      std::function<void(std::uint64_t first, std::uint64_t last, std::uint32_t samplesPerPoint)>;
  void SetDetailRequest(DetailRequest request) { detailRequest_ = std::move(request); }
  void SetDetail(peaks::CPeakJob::Detail detail);
  bool ShowsDetail() const { return showsDetail_; }
  // Asks again for points asked for before (the source has more now).
  void RetryDetail() {
    asked_ = {};
    update();
  }
  // Extra markers (sample positions), drawn as dashed lines: cut points.
  void SetMarkers(std::vector<std::uint64_t> samples);
  const std::vector<std::uint64_t>& Markers() const { return markers_; }
  // Where the time axis begins and ends in the view's own x (at zoom 1 the
  // slider's; the whole width when not set).
  void SetAxis(std::function<std::pair<int, int>()> axis) { axis_ = std::move(axis); }

  // The samples in view: [ViewFirst, ViewFirst + ViewSpan).
  std::uint64_t ViewFirst() const { return first_; }
  std::uint64_t ViewSpan() const { return span_; }
  void SetView(std::uint64_t first, std::uint64_t span);
  // Zooms by factor (< 1 in) keeping the sample under x where it is.
  void ZoomAround(int x, double factor);
  // Zooms by factor around a file's sample when it is in view, else
  // around the middle of the view.
  void ZoomAt(std::uint64_t sample, double factor);
  // The file's samples [first, end) in view, with a little room either side.
  void ShowSamples(std::uint64_t first, std::uint64_t end);
  // The file's sample under x, and where the file's sample lies. The view's
  // own first and span are on the peaks' timeline, which is the decoder's;
  // the file's samples are numbered as its gapless decode plays them.
  std::uint64_t SampleAtX(int x) const;
  int XOfSample(std::uint64_t sample) const;
  // Decoder samples before the file's sample 0: an MP3 whose LAME header
  // frame is trusted drops its delay and the decoder's own 529 samples.
  void SetTimelineOffset(std::uint64_t samples) { offset_ = samples; }
  // The mark a drag moves (for Shift+arrow nudges): true for END.
  bool DraggingEnd() const { return dragEnd_; }
  // True between a press that became a drag and its release.
  bool Dragging() const { return dragging_; }
  // Moves the mark being dragged by samples on top of the pointer, so a
  // Shift+arrow nudge during a drag holds through the release.
  void NudgeDrag(std::int64_t samples);
  // The axis the strip was last painted on: after any resize it must be the
  // one clicks are read on (Axis()).
  std::pair<int, int> DrawnAxis() const { return drawnAxis_; }
  std::pair<int, int> CurrentAxis() const { return Axis(); }
  // Samples one pixel stands for at the present zoom.
  std::uint64_t SamplesPerPixel() const;

  QSize sizeHint() const override { return {476, 160}; }
  QSize minimumSizeHint() const override { return {200, 60}; }

 signals:
  void SeekRequested(std::uint64_t sample);
  // A drag from anchor to sample; finished on release.
  void SelectionDragged(std::uint64_t anchor, std::uint64_t sample, bool finished);
  void ViewChanged();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  std::uint64_t TimelineSampleAtX(int x) const;
  std::uint64_t offset_ = 0;
  std::pair<int, int> Axis() const;
  std::uint64_t Length() const;
  void PaintPeaks(QPainter& painter, const QRect& area);
  void PaintMarks(QPainter& painter, const QRect& area);
  // Columns from the detail points when they cover the view at the wanted
  // fineness; otherwise asks for them and returns false.
  bool DetailColumns(std::uint64_t first, std::uint64_t span, int columns,
                     std::vector<std::vector<peaks::Column>>& bands);

  const CSelectionModel& selection_;
  std::shared_ptr<const peaks::CPeakModel> model_;
  QString message_;
  std::vector<std::uint64_t> markers_;
  std::function<std::pair<int, int>()> axis_;
  DetailRequest detailRequest_;
  peaks::CPeakJob::Detail detail_;
  struct Asked {
    std::uint64_t first = 0, span = 0;
    std::uint32_t samplesPerPoint = 0;
    bool operator==(const Asked&) const = default;
  } asked_;  // the last request: never repeated, so a source short of points is not asked in a loop
  bool showsDetail_ = false;
  std::uint64_t first_ = 0;
  std::uint64_t span_ = 0;  // 0: the whole stream
  int pressX_ = -1;
  bool dragging_ = false;
  bool dragEnd_ = true;
  std::uint64_t anchor_ = 0;
  std::int64_t dragNudge_ = 0;  // samples the nudges of this drag moved its mark
  int dragX_ = 0;               // the pointer's last x in this drag
  std::pair<int, int> drawnAxis_{0, 0};
  // The sample of the dragged mark: under x, moved by the drag's nudges.
  std::uint64_t DraggedSample(int x) const;
};
