// Times the waveform of the main window: from the end of opening a file to
// the first picture of it, how long the peaks take to become exact, and the
// longest the event loop stalls meanwhile (a 5 ms timer's largest gap).
// Prints one line per figure; ./run starts it several times.

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>
#include <cstdio>
#include <functional>

#include "BenchServices.h"
#include "core/peaks/PeakJob.h"
#include "gui/Resources.h"
#include "gui/WaveformPanel.h"
#include "gui/WaveformView.h"
#include "gui/app/MainDlg.h"

namespace {

// The first paint of the strip that shows peaks.
class PicturePaint : public QObject {
 public:
  explicit PicturePaint(CWaveformPanel& panel) : panel_(panel) {}
  qint64 at = -1;
  QElapsedTimer* clock = nullptr;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint && at < 0 && panel_.Job() && panel_.Job()->Model())
      at = clock->elapsed();
    return false;
  }

 private:
  CWaveformPanel& panel_;
};

void SpinUntil(const std::function<bool()>& done, int boundMs) {
  QElapsedTimer clock;
  clock.start();
  // Waits for events rather than spinning: the workers get the cores.
  while (!done() && clock.elapsed() < boundMs) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: waveform-bench FILE\n");
    return 2;
  }
  QApplication app(argc, argv);
  InitKestruneResources();
  bench::BenchServices services;
  services.Services().settings.SetShowWaveform(true);
  CMainDlg window(services.Services());
  window.show();
  QTimer idle;  // wakes the waits below while nothing else happens
  idle.start(5);
  SpinUntil([] { return false; }, 300);
  CWaveformPanel& panel = *window.Waveform();

  QElapsedTimer clock;
  PicturePaint paint(panel);
  paint.clock = &clock;
  panel.View()->installEventFilter(&paint);
  qint64 last = -1, worst = 0;
  QTimer tick;
  tick.setInterval(5);
  QObject::connect(&tick, &QTimer::timeout, [&] {
    const qint64 now = clock.elapsed();
    if (last >= 0) worst = std::max(worst, now - last);
    last = now;
  });

  QElapsedTimer opening;
  opening.start();
  window.OpenPath(QString::fromLocal8Bit(argv[1]));
  const qint64 openMs = opening.elapsed();
  if (!window.File()) return 1;
  clock.start();
  tick.start();
  SpinUntil([&] { return paint.at >= 0; }, 10000);
  SpinUntil([&] { return !panel.Busy(); }, 120000);
  const qint64 exact = clock.elapsed();
  tick.stop();
  std::printf("open-ms %lld\n", static_cast<long long>(openMs));
  std::printf("first-picture-ms %lld\n", static_cast<long long>(paint.at));
  std::printf("exact-ms %lld\n", static_cast<long long>(exact));
  std::printf("max-stall-ms %lld\n", static_cast<long long>(worst));
  return 0;
}
