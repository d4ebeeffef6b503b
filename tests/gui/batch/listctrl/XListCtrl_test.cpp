// The extended list control driven through its widgets: the header's
// check-all box, clicks on disabled rows and what one progress step
// repaints.

#include "gui/batch/listctrl/XListCtrl.h"

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QSignalSpy>
#include <QTest>

#include "gui/batch/listctrl/XHeaderCtrl.h"
#include "support/gui/PaintCounter.h"

namespace {

constexpr int kCheckColumn = 0;
constexpr int kStatusColumn = 5;

// A list laid out like the batch window's: eight columns, the first with the
// check-all box, rows with a ticked box in column 0.
class XListCtrlTest : public testing::Test {
 protected:
  void SetUp() override {
    list.resize(900, 300);
    for (int column = 0; column < 8; ++column) list.InsertColumn(column, "Col", Qt::AlignCenter, 110);
    header()->SetImageList(CXHeaderCtrl::CheckBoxImages());
    for (int column = 0; column < 8; ++column) header()->SetItemImage(column, column == 0 ? 1 : 0);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
  }
  CXHeaderCtrl* header() { return list.GetHeaderCtrl(); }
  void AddRows(int count) {
    for (int row = 0; row < count; ++row) {
      ASSERT_TRUE(list.InsertRow(row, "       "));
      list.SetCellCheck(row, kCheckColumn, 1);
    }
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
    for (int row = 0; row < list.GetRowCount(); ++row) checks.push_back(list.GetCellCheck(row, kCheckColumn));
    return checks;
  }

  CXListCtrl list;
};

TEST_F(XListCtrlTest, TheHeaderBoxTicksEveryRowAndFollowsTheRows) {
  AddRows(4);
  list.SetCellCheck(1, kCheckColumn, 0);
  list.SetCellCheck(2, kCheckColumn, 0);
  list.SetRowEnabled(2, false);
  ASSERT_EQ(header()->GetItemImage(kCheckColumn), CXHeaderCtrl::kEmptyBoxImage);
  QSignalSpy clicked(&list, &CXListCtrl::WM_XLISTCTRL_CHECKBOX_CLICKED);
  // Through the header, disabled rows too; a title without the box does nothing.
  ClickHeader(kCheckColumn);
  EXPECT_EQ(Checks(), (std::vector<int>{1, 1, 1, 1}));
  EXPECT_EQ(header()->GetItemImage(kCheckColumn), CXHeaderCtrl::kTickedBoxImage);
  ClickHeader(kCheckColumn);
  EXPECT_EQ(Checks(), (std::vector<int>{0, 0, 0, 0}));
  EXPECT_EQ(header()->GetItemImage(kCheckColumn), CXHeaderCtrl::kEmptyBoxImage);
  ClickHeader(1);
  EXPECT_EQ(header()->GetItemImage(1), CXHeaderCtrl::kBlankImage);
  EXPECT_EQ(list.GetCellCheck(3, 1), -1);
  EXPECT_EQ(clicked.count(), 0);
  // Ticking the last enabled box ticks the header; unticking any clears it.
  list.SetRowEnabled(2, true);
  for (int row : {0, 1, 2}) list.SetCellCheck(row, kCheckColumn, 1);
  Click(3, kCheckColumn);
  EXPECT_EQ(header()->GetItemImage(kCheckColumn), CXHeaderCtrl::kTickedBoxImage);
  Click(0, kCheckColumn);
  EXPECT_EQ(Checks(), (std::vector<int>{0, 1, 1, 1}));
  EXPECT_EQ(header()->GetItemImage(kCheckColumn), CXHeaderCtrl::kEmptyBoxImage);
  ASSERT_EQ(clicked.count(), 2);
  EXPECT_EQ(clicked[0], (QList<QVariant>{3, kCheckColumn}));
  EXPECT_EQ(clicked[1], (QList<QVariant>{0, kCheckColumn}));
}

TEST_F(XListCtrlTest, ADisabledRowIsNeitherToggledNorSelectedNorDoubleClicked) {
  AddRows(3);
  list.SetRowEnabled(1, false);
  QSignalSpy clicked(&list, &CXListCtrl::WM_XLISTCTRL_CHECKBOX_CLICKED);
  QSignalSpy doubleClicked(&list, &CXListCtrl::ListDoubleClicked);
  for (const int column : {kCheckColumn, 2}) Click(1, column);
  QTest::mouseDClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, CellRect(1, 2).center());
  EXPECT_EQ(list.GetCellCheck(1, kCheckColumn), 1);
  EXPECT_TRUE(list.GetSelectedRows().empty());
  EXPECT_EQ(clicked.count(), 0);
  EXPECT_EQ(doubleClicked.count(), 0);
  // The same click on an enabled row toggles and selects it; a range
  // selection over the disabled row leaves it out.
  Click(2, kCheckColumn);
  EXPECT_EQ(list.GetCellCheck(2, kCheckColumn), 0);
  Click(0, 2, Qt::ShiftModifier);
  EXPECT_EQ(list.GetSelectedRows(), (std::vector<int>{0, 2}));
}

TEST_F(XListCtrlTest, EachProgressStepChangesAndRepaintsOneCellOnly) {
  AddRows(20);
  list.ShowCellProgress(4, kStatusColumn, true);
  kt::PaintCounter::Settle(list.viewport());
  QSignalSpy changed(list.model(), &QAbstractItemModel::dataChanged);
  kt::PaintCounter counter;
  list.viewport()->installEventFilter(&counter);
  const QModelIndex cell = list.model()->index(4, kStatusColumn);
  for (int percent = 1; percent <= 100; ++percent) {
    list.SetCellProgress(4, kStatusColumn, percent);
    ASSERT_EQ(changed.count(), percent);
    EXPECT_EQ(changed.last()[0].toModelIndex(), cell);
    EXPECT_EQ(changed.last()[1].toModelIndex(), cell);
    counter.painted = QRegion();
    QApplication::processEvents();
    EXPECT_EQ(counter.paints, percent);
    EXPECT_EQ(counter.painted, QRegion(list.visualRect(cell)));
  }
  list.viewport()->removeEventFilter(&counter);
  EXPECT_EQ(QColorFromRef(0x006E28), QColor(40, 110, 0));  // cell colours are 0x00BBGGRR
}

}  // namespace
