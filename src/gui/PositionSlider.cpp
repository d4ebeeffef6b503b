#include "gui/PositionSlider.h"

#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QProxyStyle>
#include <QStyle>
#include <QStyleOptionSlider>
#include <algorithm>
#include <cstdio>

namespace {
QString Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return QString::fromLatin1(text);
}

// A click on the track moves the thumb there, as in every media player: the
// style's absolute-set behaviour, given to the left button.
class CJumpClickStyle : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* data) const override {
    if (hint == SH_Slider_AbsoluteSetButtons) return Qt::LeftButton;
    return QProxyStyle::styleHint(hint, option, widget, data);
  }
};
}  // namespace

CPositionSlider::CPositionSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
  // Ticks are painted here at arbitrary positions, not by the style.
  setTickPosition(QSlider::NoTicks);
  setTracking(true);
  auto* jumpStyle = new CJumpClickStyle;
  jumpStyle->setParent(this);
  setStyle(jumpStyle);
}

void CPositionSlider::SetSelectionModel(CSelectionModel& model) {
  model_ = &model;
  UpdateLabels();
  update();
}

std::uint64_t CPositionSlider::SampleOf(int position) const {
  return static_cast<std::uint64_t>(static_cast<double>(position) / static_cast<double>(rangeMax_) *
                                    static_cast<double>(model_->Length()));
}

int CPositionSlider::PositionOf(std::uint64_t sample) const {
  const std::uint64_t length = model_->Length();
  if (length == 0) return 0;
  const double scaled = static_cast<double>(sample) / static_cast<double>(length) * rangeMax_;
  if (model_->Exact()) return static_cast<int>(scaled);
  // Marks set by the slider: the last position whose sample is not past the
  // mark, which is the position the mark was set at.
  int position = static_cast<int>(scaled) + 1;
  while (position > 0 && SampleOf(position) > sample) --position;
  return position;
}

int CPositionSlider::XOfValue(int value) const {
  QStyleOptionSlider option;
  initStyleOption(&option);
  const QRect groove = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
  const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
  const int span = std::max(groove.width() - handle.width(), 1);
  return groove.left() + handle.width() / 2 +
         QStyle::sliderPositionFromValue(minimum(), maximum(), value, span);
}

void CPositionSlider::SetRange(int minimum, int maximum, bool redraw) {
  rangeMax_ = maximum < 100 ? 100u : static_cast<std::uint32_t>(maximum);
  setRange(minimum, static_cast<int>(rangeMax_));
  setPageStep(static_cast<int>(rangeMax_ / 100));
  setSingleStep(1);
  if (redraw) update();
}

void CPositionSlider::SetTicks() {
  if (rangeMax_ <= 1) return;
  const std::uint32_t step = rangeMax_ / 10;
  if (step == 0) return;
  for (std::uint32_t p = 1; p < rangeMax_; p += step) ticks_.insert(static_cast<int>(p));
  update();
}

void CPositionSlider::ResetTicks() {
  ticks_.clear();
  SetTicks();
}

double CPositionSlider::GetFraction() const {
  return static_cast<double>(sliderPosition()) / static_cast<double>(rangeMax_);
}

double CPositionSlider::GetPositionSeconds() const {
  return GetFraction() * length_;
}

double CPositionSlider::TimeOf(int position) const {
  return static_cast<double>(position) / static_cast<double>(rangeMax_) * length_;
}

void CPositionSlider::SetPosition(double fraction) {
  double scaled = static_cast<double>(rangeMax_) * fraction;
  // Not-a-number and negative fractions (a player without a position yet)
  // put the thumb at the start.
  if (!(scaled > 0.0)) scaled = 0.0;
  const std::uint32_t position =
      scaled >= static_cast<double>(rangeMax_) ? rangeMax_ : static_cast<std::uint32_t>(scaled);
  setSliderPosition(static_cast<int>(position));
  update();
}

void CPositionSlider::StartSelection() {
  model_->Start(SampleOf(sliderPosition()));
  model_->SetExact(false);
  UpdateLabels();
  update();
}

void CPositionSlider::UpdateSelection() {
  if (!Selecting()) return;
  UpdateLabels();
  update();
}

void CPositionSlider::EndSelection() {
  if (!Selecting()) return;
  model_->End(SampleOf(sliderPosition()));
  UpdateLabels();
  update();
}

void CPositionSlider::ClearSelection() {
  model_->Clear();
  UpdateLabels();
  update();
}

void CPositionSlider::SetMarks(int start, int end) {
  const bool held = SelectionDone() && model_->Exact() && SelStart() == start && SelEnd() == end;
  if (!held) {
    model_->Start(SampleOf(start));
    model_->End(SampleOf(end));
    model_->SetExact(false);
  }
  UpdateLabels();
  update();
}

bool CPositionSlider::GetSelection(double& startSeconds, double& endSeconds) const {
  if (!SelectionDone()) return false;
  startSeconds = TimeOf(std::min(SelStart(), SelEnd()));
  endSeconds = TimeOf(std::max(SelStart(), SelEnd()));
  return true;
}

int CPositionSlider::SelectionRangeStart() const {
  return Selecting() || SelectionDone() ? SelStart() : 0;
}

int CPositionSlider::SelectionRangeEnd() const {
  if (Selecting()) return sliderPosition();
  return SelectionDone() ? SelEnd() : 0;
}

std::set<int> CPositionSlider::Ticks() const {
  std::set<int> ticks = ticks_;
  if (Selecting() || SelectionDone()) {
    ticks.insert(SelectionRangeStart());
    ticks.insert(SelectionRangeEnd());
  }
  return ticks;
}

double CPositionSlider::SelectedSeconds(int positions) const {
  const std::uint32_t rate = model_->SampleRate();
  if (rate == 0) return TimeOf(positions);
  // The selection's samples over the rate: the number the waveform's
  // readout shows to the millisecond and SAVE's message to the hundredth.
  std::uint64_t samples = 0;
  if (Selecting()) {
    const std::uint64_t thumb = SampleOf(sliderPosition()), start = model_->StartMark();
    samples = thumb > start ? thumb - start : start - thumb;
  } else if (const auto span = model_->Selection()) {
    samples = span->end - span->first;
  }
  return static_cast<double>(samples) / rate;
}

void CPositionSlider::ToggleTimeMode() {
  showElapsed_ = !showElapsed_;
  UpdateLabels();
}

void CPositionSlider::UpdateLabels() {
  const double elapsed = GetPositionSeconds();
  if (elapsedLabel_) {
    elapsedLabel_->setText(showElapsed_ ? Format("Elapsed : %5.2lf sec", elapsed)
                                        : Format("Remaining : %5.2lf sec", length_ - elapsed));
  }
  if (selectionLabel_) {
    const int d = SelectionRangeEnd() - SelectionRangeStart();
    selectionLabel_->setText(d < 0 ? QStringLiteral("Improper selection")
                                   : Format("Selected : %5.2lf sec", SelectedSeconds(d)));
  }
  if (lengthLabel_) lengthLabel_->setText(Format("Length : %5.2lf sec", length_));
}

void CPositionSlider::sliderChange(SliderChange change) {
  QSlider::sliderChange(change);
  UpdateLabels();
}

void CPositionSlider::paintEvent(QPaintEvent* event) {
  QStyleOptionSlider option;
  initStyleOption(&option);
  const QRect groove = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
  auto xOf = [this](int value) { return XOfValue(value); };

  (void)event;
  QPainter painter(this);
  // A plain sunken groove (the style's own one fills up to the thumb, which
  // would read as a selection), the selection band on it, then the thumb.
  painter.setRenderHint(QPainter::Antialiasing);
  const QPalette::ColorGroup group = isEnabled() ? QPalette::Active : QPalette::Disabled;
  const int mid = groove.center().y();
  const QRectF track(groove.left() + 1, mid - 2.5, groove.width() - 2, 5);
  painter.setPen(palette().color(group, QPalette::Mid));
  painter.setBrush(palette().color(group, QPalette::Base));
  painter.drawRoundedRect(track, 2.5, 2.5);
  const int bandStart = SelectionRangeStart(), bandEnd = SelectionRangeEnd();
  if (bandStart != bandEnd) {
    const int left = xOf(std::min(bandStart, bandEnd));
    const int right = xOf(std::max(bandStart, bandEnd));
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette().color(group, QPalette::Highlight));
    painter.drawRoundedRect(QRectF(left, mid - 3.5, right - left, 7), 2, 2);
  }
  painter.setRenderHint(QPainter::Antialiasing, false);
  option.subControls = QStyle::SC_SliderHandle;
  style()->drawComplexControl(QStyle::CC_Slider, &option, &painter, this);
  painter.end();

  QPainter ticks(this);
  ticks.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
  const int bottom = height() - 1;
  const bool marked = Selecting() || SelectionDone();
  for (int tick : Ticks()) {
    const int x = xOf(tick);
    const bool mark = marked && (tick == bandStart || tick == sliderPosition());
    ticks.drawLine(x, bottom - (mark ? 6 : 3), x, bottom);
  }
  UpdateLabels();
}

CSliderScale::CSliderScale(CPositionSlider* slider, QWidget* parent) : QWidget(parent), slider_(slider) {
  const char* const texts[kMarks] = {"0%", "25%", "50%", "75%", "100%"};
  for (int i = 0; i < kMarks; ++i) {
    auto* mark = new QLabel(QString::fromLatin1(texts[i]), this);
    QFont small = mark->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    mark->setFont(small);
    mark->adjustSize();
    marks_[static_cast<std::size_t>(i)] = mark;
  }
  // The marks follow the slider wherever the layout puts it.
  slider_->installEventFilter(this);
}

int CSliderScale::MarkValue(int index) const {
  return slider_->minimum() + (slider_->maximum() - slider_->minimum()) * index / (kMarks - 1);
}

QSize CSliderScale::sizeHint() const {
  int height = 0;
  for (QLabel* mark : marks_) height = std::max(height, mark->sizeHint().height());
  return {slider_->width(), height};
}

bool CSliderScale::eventFilter(QObject* watched, QEvent* event) {
  if (watched == slider_ && (event->type() == QEvent::Move || event->type() == QEvent::Resize ||
                             event->type() == QEvent::StyleChange))
    Place();
  return QWidget::eventFilter(watched, event);
}

void CSliderScale::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Place();
}

void CSliderScale::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  Place();
}

void CSliderScale::Place() {
  QWidget* top = window();
  for (int i = 0; i < kMarks; ++i) {
    QLabel* mark = Mark(i);
    mark->adjustSize();
    const QPoint tick = slider_->mapTo(top, QPoint(slider_->XOfValue(MarkValue(i)), 0));
    const int centre = mapFrom(top, tick).x();
    const int left = std::clamp(centre - mark->width() / 2, 0, std::max(width() - mark->width(), 0));
    mark->move(left, 0);
  }
}
