// Times the batch window: adding 2,000 files, and a run over the files named
// on the command line, measuring the GUI thread's CPU time during the run and
// what the list repaints per progress step. Prints one "name value" line per
// figure; ./run starts it and formats the results. With --screenshots DIR
// first, it also saves the window empty, in the middle of the run and after
// it (empty.png, running.png, done.png).

#include <time.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QPaintEvent>
#include <cstdio>

#include "BenchServices.h"
#include "gui/Resources.h"
#include "gui/batch/BatchConvertDlg.h"
#include "gui/batch/BatchListView.h"
#include "gui/batch/BatchTableModel.h"

namespace {

double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Counts the list's paints and the pixels they cover.
class PaintCounter : public QObject {
 public:
  long paints = 0;
  long long pixels = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      ++paints;
      for (const QRect& r : static_cast<QPaintEvent*>(event)->region())
        pixels += 1LL * r.width() * r.height();
    }
    return false;
  }
};

QString StatusText(const CBatchConvertDlg& window, int row) {
  return window.List()->model()->index(row, batchcolumn::kStatus).data().toString();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  InitKestruneResources();
  // The end-of-run box is answered at once, without a window.
  bench::BenchServices services;
  QStringList files;
  QString shots;
  for (int i = 1; i < argc; ++i) {
    if (QString::fromLocal8Bit(argv[i]) == QStringLiteral("--screenshots") && i + 1 < argc)
      shots = QString::fromLocal8Bit(argv[++i]);
    else
      files << QString::fromLocal8Bit(argv[i]);
  }
  if (files.isEmpty()) {
    std::fprintf(stderr, "usage: batch-window-bench FILE.wav...\n");
    return 2;
  }

  {
    CBatchConvertDlg window(services.Services(), QStringLiteral("/dev/null"));
    window.Start();
    QStringList many;
    while (many.size() < 2000) many << files;
    many = many.mid(0, 2000);
    QElapsedTimer clock;
    clock.start();
    window.AddFiles(many);
    QApplication::processEvents();
    std::printf("add-2000-files-ms %lld\n", static_cast<long long>(clock.elapsed()));
  }

  CBatchConvertDlg window(services.Services(), QStringLiteral("/dev/null"));
  window.Start();
  QApplication::processEvents();
  if (!shots.isEmpty()) window.grab().save(shots + QStringLiteral("/empty.png"));
  window.AddFiles(files);
  QApplication::processEvents();
  PaintCounter counter;
  window.List()->viewport()->installEventFilter(&counter);
  long percents = 0;
  bool midShot = shots.isEmpty();
  QObject::connect(&window, &CBatchConvertDlg::PercentShown, [&](int percent) {
    ++percents;
    if (!midShot && percent >= 40 && StatusText(window, 1) == QStringLiteral("Done")) {
      midShot = true;
      window.grab().save(shots + QStringLiteral("/running.png"));
    }
  });
  QEventLoop loop;
  QObject::connect(&window, &CBatchConvertDlg::RunFinished, &loop, &QEventLoop::quit);
  const double cpuBefore = ThreadCpuSeconds();
  QElapsedTimer clock;
  clock.start();
  window.OnConvertAll();
  if (window.Running()) loop.exec();
  const double wall = static_cast<double>(clock.elapsed()) / 1000.0;
  if (!shots.isEmpty()) window.grab().save(shots + QStringLiteral("/done.png"));
  const double cpu = ThreadCpuSeconds() - cpuBefore;
  const QRect cell = window.List()->visualRect(window.List()->model()->index(0, batchcolumn::kStatus));
  std::printf("run-wall-s %.3f\n", wall);
  std::printf("gui-thread-cpu-s %.3f\n", cpu);
  std::printf("progress-steps %ld\n", percents);
  std::printf("list-paints %ld\n", counter.paints);
  std::printf("painted-pixels-per-paint %.0f\n",
              counter.paints ? double(counter.pixels) / counter.paints : 0.0);
  std::printf("cell-pixels %d\n", cell.width() * cell.height());
  std::printf("viewport-pixels %d\n",
              window.List()->viewport()->width() * window.List()->viewport()->height());
  return 0;
}
