// Times the main window: from the start of the process to its first paint,
// and from PLAY until the player's position moves (audio flows), on a file
// that is already open. Prints one line per run; ./run starts it several times.

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "BenchServices.h"
#include "gui/PositionSlider.h"
#include "gui/Resources.h"
#include "gui/Trace.h"
#include "gui/app/MainDlg.h"

namespace {

// The first paint of the watched window.
class FirstPaint : public QObject {
 public:
  qint64 at = -1;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint && at < 0) at = ProcessMilliseconds();
    return false;
  }
};

void SpinUntil(const std::function<bool()>& done, int boundMs) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < boundMs) QApplication::processEvents(QEventLoop::AllEvents, 1);
}

}  // namespace

int main(int argc, char** argv) {
  StartProcessClock();
  if (argc < 2) {
    std::fprintf(stderr, "usage: main-window-bench FILE.wav\n");
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND")) qputenv("QT_MEDIA_BACKEND", "gstreamer");
  QApplication app(argc, argv);
  InitKestruneResources();
  // The program's own window with the real media engine; only the questions
  // and the settings are the benchmark's.
  bench::BenchServices services;
  CMainDlg window(services.Services());
  FirstPaint paint;
  window.installEventFilter(&paint);
  window.show();
  SpinUntil([&] { return paint.at >= 0; }, 5000);
  const qint64 windowUp = paint.at;

  // As the program does once the window is up: the media engine starts.
  window.PreparePlayer();
  window.OpenPath(QString::fromLocal8Bit(argv[1]));
  if (!window.File()) return 1;
  // The file is open and loaded before PLAY is timed.
  QElapsedTimer settle;
  settle.start();
  SpinUntil([&] { return settle.elapsed() > 500; }, 1000);

  // Audio flows once the player's position moves past where PLAY started.
  CMediaPlayer2& player = window.PreparePlayer();
  QElapsedTimer sincePlay;
  sincePlay.start();
  window.OnPlay();
  SpinUntil([&] { return player.GetCurrentPosition() > 0.0; }, 5000);
  const qint64 advanced = sincePlay.elapsed();
  // Let the player's own trace line (KESTRUNE_TRACE) arrive too.
  QElapsedTimer tail;
  tail.start();
  SpinUntil([&] { return tail.elapsed() > 300; }, 400);
  std::printf("window-up-ms %lld\n", static_cast<long long>(windowUp));
  std::printf("position-advances-ms %lld\n", static_cast<long long>(advanced));
  std::fflush(stdout);
  window.StopPlayback();
  return 0;
}
