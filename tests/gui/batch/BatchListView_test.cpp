// The batch window's list over a queue, driven through its widgets: the
// header's check-all box, greyed rows, selection by click and key but never
// by hover, Space, cut-cell tooltips, fitting columns, drops, and what one
// progress step repaints (Tab is the batch window test's).

#include "gui/batch/BatchListView.h"

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QHelpEvent>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>
#include <QUrl>
#include <algorithm>

#include "gui/batch/BatchHeader.h"
#include "gui/batch/BatchTableModel.h"
#include "support/gui/GuiTestSupport.h"
#include "support/gui/PaintCounter.h"

namespace {

constexpr int kCheckColumn = 0;
constexpr int kStatusColumn = 5;

// A list laid out like the batch window's over a queue of WAV files, all
// checked; "unknown" rows are of a type no conversion reads.
class BatchListViewTest : public testing::Test {
 protected:
  void SetUp() override {
    list.resize(900, 300);
    for (int column = 0; column < 8; ++column) list.setColumnWidth(column, 110);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
  }
  CBatchHeader* header() { return list.Header(); }
  void AddRows(int count, std::initializer_list<int> unknown = {}) {
    std::vector<BatchQueueJob> jobs;
    for (int row = 0; row < count; ++row) {
      const bool isUnknown = std::find(unknown.begin(), unknown.end(), row) != unknown.end();
      jobs.push_back(MakeBatchQueueJob("/music/" + std::to_string(row) + (isUnknown ? ".txt" : ".wav")));
      jobs.back().checked = true;
    }
    queue.Insert(0, jobs);
  }
  QRect CellRect(int row, int column) { return list.visualRect(list.model()->index(row, column)); }
  void Click(int row, int column, Qt::KeyboardModifiers keys = Qt::NoModifier) {
    QTest::mouseClick(list.viewport(), Qt::LeftButton, keys, CellRect(row, column).center());
  }
  void ClickHeader(int column) {
    const QPoint pos(header()->sectionViewportPosition(column) + header()->sectionSize(column) / 2,
                     header()->height() / 2);
    QTest::mouseClick(header()->viewport(), Qt::LeftButton, Qt::NoModifier, pos);
  }
  std::vector<int> Checks() {
    std::vector<int> checks;
    for (int row = 0; row < queue.Count(); ++row) checks.push_back(queue.At(row).checked ? 1 : 0);
    return checks;
  }

  CBatchQueue queue;
  CBatchTableModel model{queue};
  CBatchListView list{&model};
};

TEST_F(BatchListViewTest, TheHeaderBoxTicksEveryRowAndFollowsTheRows) {
  AddRows(4, {2});
  queue.SetChecked(1, false);
  queue.SetChecked(2, false);
  ASSERT_EQ(header()->GetItemImage(kCheckColumn), CBatchHeader::kEmptyBoxImage);
  QSignalSpy clicked(&list, &CBatchListView::CheckBoxClicked);
  // Through the header, greyed rows too; a title without the box does nothing.
  ClickHeader(kCheckColumn);
  EXPECT_EQ(Checks(), (std::vector<int>{1, 1, 1, 1}));
  EXPECT_EQ(header()->GetItemImage(kCheckColumn), CBatchHeader::kTickedBoxImage);
  ClickHeader(kCheckColumn);
  EXPECT_EQ(Checks(), (std::vector<int>{0, 0, 0, 0}));
  EXPECT_EQ(header()->GetItemImage(kCheckColumn), CBatchHeader::kEmptyBoxImage);
  ClickHeader(1);
  EXPECT_EQ(header()->GetItemImage(1), CBatchHeader::kBlankImage);
  EXPECT_FALSE(model.index(3, 1).data(Qt::CheckStateRole).isValid());
  EXPECT_EQ(clicked.count(), 0);
  // Ticking the last box ticks the header; unticking any clears it.
  for (int row : {0, 1, 2}) queue.SetChecked(row, true);
  Click(3, kCheckColumn);
  EXPECT_EQ(header()->GetItemImage(kCheckColumn), CBatchHeader::kTickedBoxImage);
  Click(0, kCheckColumn);
  EXPECT_EQ(Checks(), (std::vector<int>{0, 1, 1, 1}));
  EXPECT_EQ(header()->GetItemImage(kCheckColumn), CBatchHeader::kEmptyBoxImage);
  ASSERT_EQ(clicked.count(), 2);
  EXPECT_EQ(clicked[0], (QList<QVariant>{3}));
  EXPECT_EQ(clicked[1], (QList<QVariant>{0}));
}

TEST_F(BatchListViewTest, AGreyedRowKeepsItsBoxButCanBeSelected) {
  AddRows(3, {1});
  QSignalSpy clicked(&list, &CBatchListView::CheckBoxClicked);
  QSignalSpy doubleClicked(&list, &CBatchListView::ListDoubleClicked);
  Click(1, kCheckColumn);
  EXPECT_EQ(list.SelectedRows(), (std::vector<int>{1}));
  kt::KeyClick(list.viewport(), Qt::Key_Space, " ");
  QTest::keyClick(&list, Qt::Key_Space);
  QTest::mouseDClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, CellRect(1, 2).center());
  EXPECT_TRUE(queue.At(1).checked);
  EXPECT_EQ(clicked.count(), 0);
  EXPECT_EQ(doubleClicked.count(), 0);
  // The same click on an enabled row toggles and selects it; a range
  // selection takes the greyed row in.
  Click(2, kCheckColumn);
  EXPECT_FALSE(queue.At(2).checked);
  Click(0, 2, Qt::ShiftModifier);
  EXPECT_EQ(list.SelectedRows(), (std::vector<int>{0, 1, 2}));
}

// Clicks and keys select, as a desktop list does.
TEST_F(BatchListViewTest, ClicksModifiersArrowsAndCtrlASelect) {
  struct Step {
    enum Kind { Click, Key } kind;
    int rowOrKey;
    Qt::KeyboardModifiers modifiers;
  };
  struct Case {
    const char* name;
    std::vector<Step> steps;
    std::vector<int> selected;
  };
  const Case cases[] = {
      {"click", {{Step::Click, 1, {}}}, {1}},
      {"shift-click", {{Step::Click, 1, {}}, {Step::Click, 3, Qt::ShiftModifier}}, {1, 2, 3}},
      {"ctrl-click", {{Step::Click, 1, {}}, {Step::Click, 4, Qt::ControlModifier}}, {1, 4}},
      {"ctrl-click off", {{Step::Click, 1, {}}, {Step::Click, 1, Qt::ControlModifier}}, {}},
      {"down twice",
       {{Step::Click, 1, {}}, {Step::Key, Qt::Key_Down, {}}, {Step::Key, Qt::Key_Down, {}}},
       {3}},
      {"shift-down", {{Step::Click, 1, {}}, {Step::Key, Qt::Key_Down, Qt::ShiftModifier}}, {1, 2}},
      {"up from the top", {{Step::Click, 0, {}}, {Step::Key, Qt::Key_Up, {}}}, {0}},
      {"ctrl+a", {{Step::Click, 2, {}}, {Step::Key, Qt::Key_A, Qt::ControlModifier}}, {0, 1, 2, 3, 4, 5}},
      {"page down", {{Step::Click, 2, {}}, {Step::Key, Qt::Key_PageDown, {}}}, {5}},
  };
  AddRows(6);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    list.clearSelection();
    for (const Step& step : c.steps) {
      if (step.kind == Step::Click)
        Click(step.rowOrKey, 2, step.modifiers);
      else
        QTest::keyClick(&list, Qt::Key(step.rowOrKey), step.modifiers);
    }
    EXPECT_EQ(list.SelectedRows(), c.selected);
  }
  EXPECT_EQ(Checks(), std::vector<int>(6, 1));  // no key or click on column 2 ticked anything
}

TEST_F(BatchListViewTest, HoverHighlightsTheRowButNeverSelectsIt) {
  AddRows(4);
  list.SetHotTrack(true);
  Click(0, 2);
  kt::PaintCounter::Settle(list.viewport());
  const QPoint blank = CellRect(2, 0).bottomRight() - QPoint(2, 2);  // clear of the box
  const QColor plain = list.viewport()->grab().toImage().pixelColor(blank);
  QTest::mouseMove(list.viewport(), blank);
  EXPECT_EQ(list.HotRow(), 2);
  // Longer than any desktop's hover time: still only the clicked row.
  kt::Spin(450);
  EXPECT_EQ(list.SelectedRows(), (std::vector<int>{0}));
  const QColor hot = list.viewport()->grab().toImage().pixelColor(blank);
  EXPECT_NE(hot, plain);
  EXPECT_NE(hot, list.SysColors().selection);
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(list.viewport(), &leave);
  EXPECT_EQ(list.HotRow(), -1);
  EXPECT_EQ(list.viewport()->grab().toImage().pixelColor(blank), plain);
}

TEST_F(BatchListViewTest, SpaceTogglesTheFocusedRowsBox) {
  struct Case {
    const char* name;
    int row, column;
    Qt::KeyboardModifiers modifiers;
    int check;
  };
  const Case cases[] = {
      {"on the box", 1, kCheckColumn, {}, 0},
      {"elsewhere in the row", 2, 3, {}, 0},
      {"with Ctrl", 2, 3, Qt::ControlModifier, 1},
      {"greyed row", 3, kCheckColumn, {}, 1},
  };
  AddRows(4, {3});
  QSignalSpy clicked(&list, &CBatchListView::CheckBoxClicked);
  int toggles = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    queue.SetChecked(c.row, true);
    list.setCurrentIndex(list.model()->index(c.row, c.column));
    QTest::keyClick(&list, Qt::Key_Space, c.modifiers);
    EXPECT_EQ(queue.At(c.row).checked ? 1 : 0, c.check);
    toggles += c.check == 0 ? 1 : 0;
    EXPECT_EQ(clicked.count(), toggles);
  }
  EXPECT_EQ(clicked.last(), (QList<QVariant>{2}));
}

TEST_F(BatchListViewTest, ACutCellShowsItsWholeTextAsATooltip) {
  const std::string longName = "a_long_name_of_a_batch_source_file_number_1.wav";
  queue.Insert(0, {MakeBatchQueueJob("/m/" + longName), MakeBatchQueueJob("/m/a.wav")});
  list.setColumnWidth(1, 60);
  struct Case {
    int row, column;
    QString tip;
  };
  const Case cases[] = {
      {0, 1, QString::fromStdString(longName)}, {1, 1, ""}, {0, 3, ""}, {0, kCheckColumn, ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.row << "," << c.column);
    EXPECT_EQ(list.CellToolTip(c.row, c.column), c.tip);
    const QPoint pos = CellRect(c.row, c.column).center();
    QHelpEvent help(QEvent::ToolTip, pos, list.viewport()->mapToGlobal(pos));
    QApplication::sendEvent(list.viewport(), &help);
    if (c.tip.isEmpty()) {
      EXPECT_FALSE(help.isAccepted());
    } else {
      EXPECT_TRUE(QToolTip::isVisible());
      EXPECT_EQ(QToolTip::text(), c.tip);
    }
  }
  // Wide enough, the same text shows whole and has no tooltip.
  list.setColumnWidth(1, 600);
  EXPECT_EQ(list.CellToolTip(0, 1), "");
}

TEST_F(BatchListViewTest, FittingWidensColumnsToTheirTextsUpToALimit) {
  queue.Insert(0,
               {MakeBatchQueueJob("/m/a.wav"), MakeBatchQueueJob("/m/a_long_name_of_a_batch_source_file.wav"),
                MakeBatchQueueJob("/" + std::string(300, 'w') + "/b.mp3")});
  queue.SetStatus(1, JobStatus::Converting);  // its source is bold
  queue.SetStatus(1, JobStatus::Queued);
  for (int column = 0; column < 8; ++column) list.setColumnWidth(column, 20);
  list.FitColumnsToRows(0, 2, 400);
  for (int column = 0; column < 8; ++column) {
    SCOPED_TRACE(column);
    EXPECT_GE(list.columnWidth(column), header()->TitleWidth(column));
    for (int row = 0; row < 3; ++row)
      EXPECT_TRUE(column >= 6 || list.CellToolTip(row, column).isEmpty()) << row;
  }
  EXPECT_EQ(list.columnWidth(6), 400);
  EXPECT_EQ(list.CellToolTip(2, 6), model.index(2, 6).data().toString());
  // Never narrower than the user made it.
  list.setColumnWidth(3, 333);
  list.FitColumnsToRows(0, 2, 400);
  EXPECT_EQ(list.columnWidth(3), 333);
}

TEST_F(BatchListViewTest, CutTitlesTakeRoomFromWideColumns) {
  struct Case {
    const char* name;
    std::vector<int> widths;
    bool totalKept;
  };
  const Case cases[] = {
      {"room to spare", {20, 400, 400, 400, 400, 400, 400, 400}, true},
      {"no room", {20, 20, 20, 20, 20, 20, 20, 20}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int total = 0;
    for (int column = 0; column < 8; ++column) list.setColumnWidth(column, c.widths[std::size_t(column)]);
    for (int width : c.widths) total += width;
    list.FitColumnsToTitles();
    int after = 0;
    for (int column = 0; column < 8; ++column) {
      EXPECT_GE(list.columnWidth(column), header()->TitleWidth(column)) << column;
      after += list.columnWidth(column);
    }
    // Kept to within a pixel per column of rounding; else every title wins.
    EXPECT_TRUE(c.totalKept ? std::abs(after - total) <= 8 : after > total) << after << " " << total;
  }
}

TEST_F(BatchListViewTest, DroppedLocalFilesAreAnnouncedInTheirOrder) {
  QSignalSpy dropped(&list, &CBatchListView::FilesDropped);
  struct Case {
    const char* name;
    QList<QUrl> urls;
    bool accepted;
    QStringList paths;
  };
  const Case cases[] = {
      {"files and a folder",
       {QUrl::fromLocalFile("/music/b.wav"), QUrl("https://example.org/x.mp3"),
        QUrl::fromLocalFile("/music/a")},
       true,
       {"/music/b.wav", "/music/a"}},
      {"remote only", {QUrl("https://example.org/x.mp3")}, false, {}},
      {"no urls", {}, false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dropped.clear();
    QMimeData data;
    if (!c.urls.isEmpty())
      data.setUrls(c.urls);
    else
      data.setText("plain text");
    const QPoint pos = list.viewport()->rect().center();
    QDragEnterEvent enter(pos, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list.viewport(), &enter);
    EXPECT_EQ(enter.isAccepted(), c.accepted);
    QDropEvent drop(QPointF(pos), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list.viewport(), &drop);
    ASSERT_EQ(dropped.count(), c.accepted ? 1 : 0);
    EXPECT_EQ(dropped.isEmpty() ? QStringList() : dropped[0][0].toStringList(), c.paths);
  }
}

TEST_F(BatchListViewTest, EachProgressStepChangesAndRepaintsOneCellOnly) {
  AddRows(20);
  queue.SetStatus(4, JobStatus::Converting);
  kt::PaintCounter::Settle(list.viewport());
  QSignalSpy changed(list.model(), &QAbstractItemModel::dataChanged);
  kt::PaintCounter counter;
  list.viewport()->installEventFilter(&counter);
  const QModelIndex cell = list.model()->index(4, kStatusColumn);
  for (int percent = 1; percent <= 100; ++percent) {
    queue.SetPercent(4, percent);
    ASSERT_EQ(changed.count(), percent);
    EXPECT_EQ(changed.last()[0].toModelIndex(), cell);
    EXPECT_EQ(changed.last()[1].toModelIndex(), cell);
    EXPECT_EQ(cell.data(CBatchTableModel::ProgressRole).toInt(), percent);
    counter.painted = QRegion();
    QApplication::processEvents();
    EXPECT_EQ(counter.paints, percent);
    EXPECT_EQ(counter.painted, QRegion(list.visualRect(cell)));
  }
  list.viewport()->removeEventFilter(&counter);
}

// What each status shows in the Status cell and the source's face.
TEST_F(BatchListViewTest, EachStatusHasItsTextColourAndFace) {
  AddRows(1);
  struct Case {
    JobStatus status;
    QString text;
    QColor colour;
    bool bold, bar;
  };
  const Case cases[] = {
      {JobStatus::Queued, "Queued", Qt::black, false, false},
      {JobStatus::Converting, "Queued", Qt::black, true, true},
      {JobStatus::Done, "Done", QColor(40, 110, 0), false, false},
      {JobStatus::Failed, "Failed", Qt::red, false, false},
      {JobStatus::FileExists, "File Exists", Qt::red, false, false},
      {JobStatus::UnknownType, "Queued", Qt::black, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.toStdString());
    queue.SetStatus(0, c.status);
    const QModelIndex status = model.index(0, kStatusColumn);
    EXPECT_EQ(status.data().toString(), c.text);
    EXPECT_EQ(status.data(Qt::ForegroundRole).value<QColor>(), c.colour);
    EXPECT_EQ(status.data(Qt::BackgroundRole).value<QColor>(), QColor(Qt::white));
    EXPECT_EQ(status.data(CBatchTableModel::ProgressRole).isValid(), c.bar);
    EXPECT_EQ(model.index(0, 1).data(CBatchTableModel::BoldRole).toBool(), c.bold);
  }
}

}  // namespace
