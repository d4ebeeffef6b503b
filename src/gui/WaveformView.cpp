#include "gui/WaveformView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "core/SelectionModel.h"

namespace {

QColor Blend(const QColor& a, const QColor& b, double t) {
  return QColor::fromRgbF(static_cast<float>(a.redF() * (1 - t) + b.redF() * t),
                          static_cast<float>(a.greenF() * (1 - t) + b.greenF() * t),
                          static_cast<float>(a.blueF() * (1 - t) + b.blueF() * t));
}

}  // namespace

CWaveformView::CWaveformView(const CSelectionModel& selection, QWidget* parent)
    : QWidget(parent), selection_(selection) {
  setFocusPolicy(Qt::ClickFocus);
  setMouseTracking(false);
  setToolTip(QStringLiteral("Click to play from there, drag to select"));
}

void CWaveformView::SetModel(std::shared_ptr<const peaks::CPeakModel> model) {
  if (model != model_) {
    model_ = std::move(model);
    first_ = 0;
    span_ = 0;
    emit ViewChanged();
  }
  update();
}

void CWaveformView::SetDetail(peaks::CPeakJob::Detail detail) {
  detail_ = std::move(detail);
  update();
}

bool CWaveformView::DetailColumns(std::uint64_t first, std::uint64_t span, int columns,
                                  std::vector<std::vector<peaks::Column>>& bands) {
  const unsigned channels = model_->Shape().channels;
  const auto wanted =
      static_cast<std::uint32_t>(std::max<std::uint64_t>(1, span / static_cast<std::uint64_t>(columns)));
  const std::uint64_t have = detail_.points.size() / std::max(channels, 1u) * detail_.samplesPerPoint;
  const bool covers = detail_.samplesPerPoint == wanted && detail_.firstSample <= first &&
                      detail_.firstSample + have >= std::min(first + span, model_->Shape().lengthSamples);
  if (!covers) {
    const Asked asking{first, span, wanted};
    if (detailRequest_ && !(asking == asked_)) {
      asked_ = asking;
      detailRequest_(first, first + span, wanted);
    }
    return false;
  }
  bands.assign(channels, std::vector<peaks::Column>(static_cast<std::size_t>(columns)));
  const double perColumn = static_cast<double>(span) / columns;
  const std::size_t points = detail_.points.size() / channels;
  for (int x = 0; x < columns; ++x) {
    const auto from = static_cast<std::uint64_t>(first + perColumn * x) - detail_.firstSample;
    const auto to = static_cast<std::uint64_t>(first + perColumn * (x + 1)) - detail_.firstSample;
    const std::size_t p0 = std::min<std::size_t>(from / wanted, points);
    const std::size_t p1 = std::clamp<std::size_t>((to + wanted - 1) / wanted, p0 + 1, points);
    for (unsigned c = 0; c < channels; ++c) {
      peaks::Column& column = bands[c][static_cast<std::size_t>(x)];
      for (std::size_t p = p0; p < p1; ++p) {
        const peaks::Point& point = detail_.points[p * channels + c];
        column = column.empty
                     ? peaks::Column{point.min, point.max, point.rms, false}
                     : peaks::Column{std::min(column.min, point.min), std::max(column.max, point.max),
                                     std::max(column.rms, point.rms), false};
      }
    }
  }
  return true;
}

void CWaveformView::SetMessage(const QString& text) {
  message_ = text;
  update();
}

void CWaveformView::SetMarkers(std::vector<std::uint64_t> samples) {
  markers_ = std::move(samples);
  update();
}

std::uint64_t CWaveformView::Length() const {
  return model_ ? model_->Shape().lengthSamples : selection_.Length();
}

void CWaveformView::SetView(std::uint64_t first, std::uint64_t span) {
  const std::uint64_t length = Length();
  // 0, or a span as long as the stream: the whole stream.
  if (span != 0) span = std::clamp<std::uint64_t>(span, std::min<std::uint64_t>(length, 16), length);
  if (span >= length) span = 0;
  first_ = span ? std::min(first, length - span) : 0;
  span_ = span;
  emit ViewChanged();
  update();
}

std::pair<int, int> CWaveformView::Axis() const {
  if (axis_) {
    const auto [left, right] = axis_();
    if (right > left) return {left, right};
  }
  return {0, std::max(width() - 1, 1)};
}

std::uint64_t CWaveformView::SampleAtX(int x) const {
  const std::uint64_t at = TimelineSampleAtX(x);
  return at > offset_ ? at - offset_ : 0;
}

std::uint64_t CWaveformView::TimelineSampleAtX(int x) const {
  const auto [left, right] = Axis();
  const std::uint64_t span = span_ ? span_ : Length();
  const double t = std::clamp(static_cast<double>(x - left) / (right - left), 0.0, 1.0);
  return first_ + static_cast<std::uint64_t>(std::llround(t * static_cast<double>(span)));
}

int CWaveformView::XOfSample(std::uint64_t sample) const {
  const auto [left, right] = Axis();
  const std::uint64_t span = span_ ? span_ : Length();
  if (span == 0) return left;
  const double t =
      (static_cast<double>(sample + offset_) - static_cast<double>(first_)) / static_cast<double>(span);
  return left + static_cast<int>(std::lround(t * (right - left)));
}

void CWaveformView::ZoomAround(int x, double factor) {
  const std::uint64_t length = Length();
  if (length == 0) return;
  const std::uint64_t at = TimelineSampleAtX(x);
  const std::uint64_t span = span_ ? span_ : length;
  const auto newSpan =
      static_cast<std::uint64_t>(std::max(16.0, std::round(static_cast<double>(span) * factor)));
  const auto [left, right] = Axis();
  const double t = std::clamp(static_cast<double>(x - left) / (right - left), 0.0, 1.0);
  const double first = static_cast<double>(at) - t * static_cast<double>(newSpan);
  SetView(first > 0 ? static_cast<std::uint64_t>(first) : 0, newSpan);
}

void CWaveformView::ZoomAt(std::uint64_t sample, double factor) {
  const auto [left, right] = Axis();
  int x = XOfSample(sample);
  if (x < left || x > right) x = (left + right) / 2;
  ZoomAround(x, factor);
}

void CWaveformView::ShowSamples(std::uint64_t first, std::uint64_t end) {
  if (end <= first) return;
  const std::uint64_t room = (end - first) / 20;
  const std::uint64_t from = first + offset_ > room ? first + offset_ - room : 0;
  SetView(from, end - first + 2 * room);
}

void CWaveformView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QPalette& pal = palette();
  const QPalette::ColorGroup group = isEnabled() ? QPalette::Active : QPalette::Disabled;
  const auto [left, right] = Axis();
  drawnAxis_ = {left, right};
  const QRect area(left, 0, right - left + 1, height());
  painter.fillRect(rect(), pal.color(group, QPalette::Base));
  painter.setPen(pal.color(group, QPalette::Mid));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
  if (!message_.isEmpty() || !model_) {
    painter.setPen(pal.color(group, QPalette::PlaceholderText));
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, message_);
    return;
  }
  PaintPeaks(painter, area);
  // The selection shades the peaks; both stay readable.
  if (const auto span = selection_.Selection()) {
    QColor shade = pal.color(group, QPalette::Highlight);
    shade.setAlpha(70);
    const int x0 = std::max(XOfSample(span->first), left), x1 = std::min(XOfSample(span->end), right);
    if (x1 >= x0) painter.fillRect(QRect(x0, 1, x1 - x0 + 1, height() - 2), shade);
  }
  PaintMarks(painter, area);
}

void CWaveformView::PaintPeaks(QPainter& painter, const QRect& area) {
  const QPalette::ColorGroup group = isEnabled() ? QPalette::Active : QPalette::Disabled;
  const QColor text = palette().color(group, QPalette::Text);
  const QColor base = palette().color(group, QPalette::Base);
  const QColor peakColour = Blend(base, text, 0.45), rmsColour = Blend(base, text, 0.8);
  // Device pixels: sharp at 2x.
  const double ratio = devicePixelRatioF();
  const int columns = std::max(1, static_cast<int>(area.width() * ratio));
  const std::uint64_t first = first_, span = span_ ? span_ : Length();
  std::vector<std::vector<peaks::Column>> bands;
  // Deeper than the model's blocks, the samples themselves (read on demand);
  // the blocks stand in until they come.
  showsDetail_ = span / static_cast<std::uint64_t>(columns) < model_->SamplesPerBlock() &&
                 DetailColumns(first, span, columns, bands);
  if (!showsDetail_) bands = model_->Columns(first, first + span, columns);
  const unsigned channels = model_->Shape().channels;
  // A short strip mixes the channels into one band.
  const bool mixed = channels > 1 && height() < 50 * static_cast<int>(channels);
  if (mixed) {
    for (unsigned c = 1; c < channels; ++c)
      for (int x = 0; x < columns; ++x) {
        peaks::Column& to = bands[0][static_cast<std::size_t>(x)];
        const peaks::Column& from = bands[c][static_cast<std::size_t>(x)];
        if (from.empty) continue;
        to = to.empty ? from
                      : peaks::Column{std::min(to.min, from.min), std::max(to.max, from.max),
                                      std::max(to.rms, from.rms), false};
      }
    bands.resize(1);
  }
  painter.save();
  painter.scale(1.0 / ratio, 1.0 / ratio);
  const int rowsTotal = static_cast<int>(height() * ratio);
  const int x0 = static_cast<int>(area.left() * ratio);
  for (std::size_t b = 0; b < bands.size(); ++b) {
    const int top = rowsTotal * static_cast<int>(b) / static_cast<int>(bands.size()) + 1;
    const int rows = rowsTotal * static_cast<int>(b + 1) / static_cast<int>(bands.size()) - top - 1;
    const double mid = top + rows / 2.0, half = rows / 2.0;
    auto y = [&](int v) { return static_cast<int>(std::lround(mid - v / 32768.0 * half)); };
    for (int x = 0; x < columns; ++x) {
      const peaks::Column& c = bands[b][static_cast<std::size_t>(x)];
      if (c.empty) continue;
      painter.fillRect(QRect(x0 + x, y(c.max), 1, std::max(1, y(c.min) - y(c.max) + 1)), peakColour);
      const int rms = std::min<int>({c.rms, std::max<int>(c.max, 0), std::max<int>(-c.min, 0)});
      if (rms > 0) painter.fillRect(QRect(x0 + x, y(rms), 1, std::max(1, y(-rms) - y(rms) + 1)), rmsColour);
    }
  }
  painter.restore();
}

void CWaveformView::PaintMarks(QPainter& painter, const QRect& area) {
  const QPalette::ColorGroup group = isEnabled() ? QPalette::Active : QPalette::Disabled;
  auto line = [&](std::uint64_t sample, const QPen& pen) {
    const int x = XOfSample(sample);
    if (x < area.left() || x > area.right()) return;
    painter.setPen(pen);
    painter.drawLine(x, 1, x, height() - 2);
  };
  QPen dashed(palette().color(group, QPalette::WindowText), 0, Qt::DashLine);
  for (std::uint64_t m : markers_) line(m, dashed);
  if (selection_.GetMarking() != CSelectionModel::Marking::None) {
    const QPen mark(palette().color(group, QPalette::Highlight), 2);
    line(selection_.StartMark(), mark);
    if (selection_.GetMarking() == CSelectionModel::Marking::Done) line(selection_.EndMark(), mark);
  }
  line(selection_.Position(), QPen(palette().color(group, QPalette::Link), 1));
}

void CWaveformView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !model_) return QWidget::mousePressEvent(event);
  pressX_ = static_cast<int>(event->position().x());
  dragging_ = false;
  dragNudge_ = 0;
  anchor_ = SampleAtX(pressX_);
}

void CWaveformView::mouseMoveEvent(QMouseEvent* event) {
  if (pressX_ < 0) return;
  const int x = static_cast<int>(event->position().x());
  if (!dragging_ && std::abs(x - pressX_) < kDragThreshold) return;
  dragging_ = true;
  dragX_ = x;
  const std::uint64_t sample = DraggedSample(x);
  dragEnd_ = sample >= anchor_;
  emit SelectionDragged(anchor_, sample, false);
}

void CWaveformView::mouseReleaseEvent(QMouseEvent* event) {
  if (pressX_ < 0 || event->button() != Qt::LeftButton) return;
  const int x = static_cast<int>(event->position().x());
  if (dragging_)
    emit SelectionDragged(anchor_, DraggedSample(x), true);
  else
    emit SeekRequested(SampleAtX(x));
  pressX_ = -1;
  dragging_ = false;
}

void CWaveformView::wheelEvent(QWheelEvent* event) {
  const int steps = event->angleDelta().y() / 120;
  if (steps == 0 || !model_) return;
  // Ctrl zooms in bigger steps.
  const double base = event->modifiers() & Qt::ControlModifier ? 0.5 : 0.8;
  ZoomAround(static_cast<int>(event->position().x()), std::pow(base, steps));
  event->accept();
}

std::uint64_t CWaveformView::DraggedSample(int x) const {
  const auto moved = static_cast<std::int64_t>(SampleAtX(x)) + dragNudge_;
  return static_cast<std::uint64_t>(std::clamp<std::int64_t>(moved, 0, static_cast<std::int64_t>(Length())));
}

void CWaveformView::NudgeDrag(std::int64_t samples) {
  if (!dragging_) return;
  dragNudge_ += samples;
  emit SelectionDragged(anchor_, DraggedSample(dragX_), false);
}

std::uint64_t CWaveformView::SamplesPerPixel() const {
  const auto [left, right] = Axis();
  const std::uint64_t span = span_ ? span_ : Length();
  return std::max<std::uint64_t>(1, span / static_cast<std::uint64_t>(std::max(right - left, 1)));
}
