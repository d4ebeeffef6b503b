// Times the batch window's list: adding 2,000 files the way the window does
// (drawing suspended, the jobs inserted into its queue at once, the columns
// fitted to them, then one repaint), and
// stepping one row's progress cell from 1 to 100 %, counting the list's
// repaints and the area they cover per step. With --shots DIR it also saves
// pictures of the list empty and mid-run. Prints one "name value" line each.

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "core/batch/BatchQueue.h"
#include "gui/batch/BatchListView.h"
#include "gui/batch/BatchTableModel.h"
#include "support/gui/PaintCounter.h"

namespace {

constexpr int kRows = 2000;
constexpr int kStatusColumn = batchcolumn::kStatus;

double ThreadCpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

void Drain() {
  QApplication::processEvents();
  QApplication::sendPostedEvents();
  QApplication::processEvents();
}

// The batch window's list over its queue: eight columns weighted
// 1,3,2,2,3,2,4,4, titles shown whole.
struct BatchList {
  CBatchQueue queue;
  CBatchTableModel model{queue};
  CBatchListView view{&model};

  BatchList() {
    view.resize(846, 240);
    const int weights[] = {1, 3, 2, 2, 3, 2, 4, 4};
    for (int column = 0; column < batchcolumn::kCount; ++column)
      view.setColumnWidth(column, 840 / 21 * weights[column]);
    view.FitColumnsToTitles();
    view.SetHotTrack(true);
    view.SetShowSelectionAlways(true);
    view.show();
    Drain();
  }
};

// Adds count files at the top, as Add Files does: drawing suspended, the
// jobs inserted at once, the columns fitted to them, then one repaint.
void AddFiles(BatchList& list, int count) {
  std::vector<BatchQueueJob> jobs;
  jobs.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    const QString name = QString("/home/user/Music/Track %1.wav").arg(i, 4, 10, QChar('0'));
    jobs.push_back(MakeBatchQueueJob(name.toStdString()));
  }
  list.view.SetRedraw(false);
  list.queue.Insert(0, std::move(jobs));
  list.view.FitColumnsToRows(0, count - 1, std::max(list.view.viewport()->width() / 2, 120));
  list.view.SetRedraw(true);
  Drain();
}

void SaveShots(const QString& folder) {
  QDir().mkpath(folder);
  BatchList list;
  list.view.grab().save(folder + "/batch-list-empty.png");
  AddFiles(list, 7);
  std::vector<BatchQueueJob> unknown{MakeBatchQueueJob("/home/user/Music/notes.txt")};
  list.queue.Insert(7, std::move(unknown));
  list.queue.SetStatus(0, JobStatus::Done);
  list.queue.SetStatus(1, JobStatus::Failed, "Disk full");
  list.queue.SetStatus(2, JobStatus::FileExists);
  list.queue.SetStatus(3, JobStatus::Converting);
  list.queue.SetPercent(3, 47);
  list.view.selectRow(5);
  list.view.setFocus();
  Drain();
  list.view.grab().save(folder + "/batch-list-run.png");
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc == 3 && QString(argv[1]) == "--shots") {
    SaveShots(QString::fromLocal8Bit(argv[2]));
    return 0;
  }

  // Adding 2,000 files to an empty list, and 2,000 more on top of them.
  BatchList list;
  for (int round = 0; round < 2; ++round) {
    QElapsedTimer clock;
    const double cpu = ThreadCpuMs();
    clock.start();
    AddFiles(list, kRows);
    std::printf("add-%d-rows-%s-ms %.1f\n", kRows, round == 0 ? "empty" : "full",
                double(clock.nsecsElapsed()) / 1e6);
    std::printf("add-%d-rows-%s-cpu-ms %.1f\n", kRows, round == 0 ? "empty" : "full", ThreadCpuMs() - cpu);
  }

  // One row's progress from 1 to 100 %, one repaint pass after each step.
  const int row = 3;
  list.queue.SetStatus(row, JobStatus::Converting);
  kt::PaintCounter::Settle(list.view.viewport());
  kt::PaintCounter counter;
  list.view.viewport()->installEventFilter(&counter);
  const QRect cell = list.view.visualRect(list.model.index(row, kStatusColumn));
  long long paintedPixels = 0;
  bool onlyTheCell = true;
  const double cpu = ThreadCpuMs();
  for (int percent = 1; percent <= 100; ++percent) {
    counter.painted = QRegion();
    list.queue.SetPercent(row, percent);
    Drain();
    for (const QRect& r : counter.painted) paintedPixels += (long long)r.width() * r.height();
    onlyTheCell = onlyTheCell && counter.painted == QRegion(cell);
  }
  const double stepCpu = (ThreadCpuMs() - cpu) / 100.0;
  list.view.viewport()->removeEventFilter(&counter);
  const QSize viewport = list.view.viewport()->size();
  std::printf("progress-steps 100\n");
  std::printf("repaints-per-step %.2f\n", counter.paints / 100.0);
  std::printf("painted-pixels-per-step %lld\n", paintedPixels / 100);
  std::printf("cell-pixels %d\n", cell.width() * cell.height());
  std::printf("viewport-pixels %d\n", viewport.width() * viewport.height());
  std::printf("only-the-cell-repainted %s\n", onlyTheCell ? "yes" : "no");
  std::printf("gui-cpu-ms-per-step %.3f\n", stepCpu);
  return 0;
}
