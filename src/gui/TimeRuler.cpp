#include "gui/TimeRuler.h"

#include <QPainter>
#include <algorithm>

#include "core/SelectionModel.h"
#include "gui/WaveformView.h"

QString RulerText(std::uint64_t ms, std::uint64_t stepMs) {
  const std::uint64_t hours = ms / 3600000, minutes = ms / 60000 % 60, seconds = ms / 1000 % 60;
  QString text = hours ? QStringLiteral("%1:%2:%3")
                             .arg(hours)
                             .arg(minutes, 2, 10, QLatin1Char('0'))
                             .arg(seconds, 2, 10, QLatin1Char('0'))
                       : QStringLiteral("%1:%2").arg(minutes).arg(seconds, 2, 10, QLatin1Char('0'));
  if (stepMs < 1000) {
    const int digits = stepMs < 10 ? 3 : stepMs < 100 ? 2 : 1;
    text += QLatin1Char('.') + QStringLiteral("%1").arg(ms % 1000, 3, 10, QLatin1Char('0')).left(digits);
  }
  return text;
}

CTimeRuler::CTimeRuler(const CWaveformView& view, const CSelectionModel& selection, QWidget* parent)
    : QWidget(parent), view_(view), selection_(selection) {}

QSize CTimeRuler::sizeHint() const {
  return {100, fontMetrics().height() + 6};
}

std::uint64_t CTimeRuler::StepMs() const {
  const std::uint32_t rate = selection_.SampleRate();
  if (rate == 0) return 0;
  // Room for the widest label the stream can have, and a gap.
  const int room = fontMetrics().horizontalAdvance(QStringLiteral("0:00:00.000")) + 16;
  const double msPerPixel = static_cast<double>(view_.SamplesPerPixel()) * 1000.0 / rate;
  static constexpr std::uint64_t kSteps[] = {1,      2,      5,      10,     20,      50,     100,   200,
                                             500,    1000,   2000,   5000,   10000,   15000,  30000, 60000,
                                             120000, 300000, 600000, 900000, 1800000, 3600000};
  for (const std::uint64_t step : kSteps)
    if (static_cast<double>(step) >= msPerPixel * room) return step;
  return 7200000;
}

std::vector<CTimeRuler::Tick> CTimeRuler::Ticks() const {
  std::vector<Tick> ticks;
  const std::uint32_t rate = selection_.SampleRate();
  const std::uint64_t step = StepMs();
  if (rate == 0 || step == 0 || selection_.Length() == 0) return ticks;
  const auto [left, right] = view_.CurrentAxis();
  const std::uint64_t firstMs = view_.SampleAtX(left) * 1000 / rate;
  const std::uint64_t lastMs = std::min(view_.SampleAtX(right), selection_.Length()) * 1000 / rate;
  for (std::uint64_t ms = (firstMs + step - 1) / step * step; ms <= lastMs; ms += step) {
    const int x = view_.XOfSample(ms * rate / 1000);
    if (x < left || x > right) continue;
    ticks.push_back({x, ms, RulerText(ms, step)});
  }
  return ticks;
}

void CTimeRuler::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QPalette::ColorGroup group = isEnabled() ? QPalette::Active : QPalette::Disabled;
  painter.setPen(palette().color(group, QPalette::WindowText));
  const int bottom = height() - 1;
  painter.drawLine(view_.CurrentAxis().first, bottom, view_.CurrentAxis().second, bottom);
  const QFontMetrics metrics = fontMetrics();
  for (const Tick& tick : Ticks()) {
    painter.drawLine(tick.x, bottom - 4, tick.x, bottom);
    // Centred on the tick, kept inside the ruler at its ends.
    const int w = metrics.horizontalAdvance(tick.text);
    const int x = std::clamp(tick.x - w / 2, 0, std::max(0, width() - w));
    painter.drawText(x, bottom - 5 - metrics.descent(), tick.text);
  }
}
