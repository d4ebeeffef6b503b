// Times the batch window's list: adding 2,000 files the way the window does
// (drawing suspended, eight cells filled per row, then one repaint), and
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

#include "gui/batch/listctrl/XHeaderCtrl.h"
#include "gui/batch/listctrl/XListCtrl.h"
#include "support/gui/PaintCounter.h"

namespace {

constexpr int kRows = 2000;
constexpr int kStatusColumn = 5;
constexpr XColorRef kWhite = 0xFFFFFF;

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

// The batch window's list: eight centred columns weighted 1,3,2,2,3,2,4,4.
std::unique_ptr<CXListCtrl> MakeList() {
  auto list = std::make_unique<CXListCtrl>();
  list->resize(846, 240);
  const char* titles[] = {"   ",    "Source", "Type",        "Convert to",
                          "Output", "Status", "Source Path", "Output Path"};
  const int weights[] = {1, 3, 2, 2, 3, 2, 4, 4};
  for (int column = 0; column < 8; ++column)
    list->InsertColumn(column, titles[column], Qt::AlignCenter, 840 / 21 * weights[column]);
  list->GetHeaderCtrl()->SetImageList(CXHeaderCtrl::CheckBoxImages());
  for (int column = 0; column < 8; ++column) list->GetHeaderCtrl()->SetItemImage(column, column == 0 ? 1 : 0);
  list->show();
  Drain();
  return list;
}

const QStringList& Mp3Target() {
  static const QStringList entries{"MP3"};
  return entries;
}

// Adds count files at the top, as Add Files does, fitting the columns to
// them as the batch window does.
void AddFiles(CXListCtrl& list, int count) {
  list.SetRedraw(false);
  for (int i = 0; i < count; ++i) {
    const QString name = QString("Track %1.wav").arg(i, 4, 10, QChar('0'));
    list.InsertRow(i, "       ");
    list.SetCellCheck(i, 0, 1);
    list.SetCellText(i, 1, name);
    list.SetCellText(i, 2, "WAV");
    list.SetCellCombo(i, 3, true, &Mp3Target(), 2, 0);
    list.SetCellText(i, 4, QString("Track %1.mp3").arg(i, 4, 10, QChar('0')));
    list.SetCellText(i, kStatusColumn, "Queued", 0x000000, kWhite);
    list.SetCellText(i, 6, "/home/user/Music/");
    list.SetCellText(i, 7, "/home/user/Music/");
  }
  list.FitColumnsToRows(0, count - 1, std::max(list.viewport()->width() / 2, 120));
  list.SetRedraw(true);
  Drain();
}

void SaveShots(const QString& folder) {
  QDir().mkpath(folder);
  auto list = MakeList();
  list->grab().save(folder + "/batch-list-empty.png");
  AddFiles(*list, 8);
  list->SetCellText(0, kStatusColumn, "Done", 0x006E28, kWhite);
  list->SetCellText(1, kStatusColumn, "Failed", 0x0000FF, kWhite);
  list->SetCellText(2, kStatusColumn, "File Exists", 0x0000FF, kWhite);
  list->SetCellBold(3, 1, true);
  list->ShowCellProgress(3, kStatusColumn, true);
  list->SetCellProgress(3, kStatusColumn, 47);
  list->SetCellText(7, 1, "notes.txt");
  list->SetCellText(7, 2, "Unknown!", 0x0000FF, kWhite);
  list->SetCellCombo(7, 3, false, nullptr);
  list->SetCellText(7, 3, "");
  list->SetCellText(7, 4, "notes.$$$");
  list->SetCellCheck(7, 0, 0);
  list->SetRowEnabled(7, false);
  list->selectRow(5);
  list->setFocus();
  Drain();
  list->grab().save(folder + "/batch-list-run.png");
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc == 3 && QString(argv[1]) == "--shots") {
    SaveShots(QString::fromLocal8Bit(argv[2]));
    return 0;
  }

  // Adding 2,000 files to an empty list, and 2,000 more on top of them.
  auto list = MakeList();
  for (int round = 0; round < 2; ++round) {
    QElapsedTimer clock;
    const double cpu = ThreadCpuMs();
    clock.start();
    AddFiles(*list, kRows);
    std::printf("add-%d-rows-%s-ms %.1f\n", kRows, round == 0 ? "empty" : "full",
                double(clock.nsecsElapsed()) / 1e6);
    std::printf("add-%d-rows-%s-cpu-ms %.1f\n", kRows, round == 0 ? "empty" : "full", ThreadCpuMs() - cpu);
  }

  // One row's progress from 1 to 100 %, one repaint pass after each step.
  const int row = 3;
  list->ShowCellProgress(row, kStatusColumn, true);
  kt::PaintCounter::Settle(list->viewport());
  kt::PaintCounter counter;
  list->viewport()->installEventFilter(&counter);
  const QRect cell = list->visualRect(list->model()->index(row, kStatusColumn));
  long long paintedPixels = 0;
  bool onlyTheCell = true;
  const double cpu = ThreadCpuMs();
  for (int percent = 1; percent <= 100; ++percent) {
    counter.painted = QRegion();
    list->SetCellProgress(row, kStatusColumn, percent);
    Drain();
    for (const QRect& r : counter.painted) paintedPixels += (long long)r.width() * r.height();
    onlyTheCell = onlyTheCell && counter.painted == QRegion(cell);
  }
  const double stepCpu = (ThreadCpuMs() - cpu) / 100.0;
  list->viewport()->removeEventFilter(&counter);
  const QSize viewport = list->viewport()->size();
  std::printf("progress-steps 100\n");
  std::printf("repaints-per-step %.2f\n", counter.paints / 100.0);
  std::printf("painted-pixels-per-step %lld\n", paintedPixels / 100);
  std::printf("cell-pixels %d\n", cell.width() * cell.height());
  std::printf("viewport-pixels %d\n", viewport.width() * viewport.height());
  std::printf("only-the-cell-repainted %s\n", onlyTheCell ? "yes" : "no");
  std::printf("gui-cpu-ms-per-step %.3f\n", stepCpu);
  return 0;
}
