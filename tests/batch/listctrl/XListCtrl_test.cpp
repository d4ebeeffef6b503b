// The extended list control driven through its widgets: clicks on cells and
// on the header's check-all box, the drop-down list by keyboard and mouse,
// and what the cells and the empty list paint.

#include "batch/listctrl/XListCtrl.h"

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QImage>
#include <QSignalSpy>
#include <QTest>

#include "batch/listctrl/XComboList.h"
#include "batch/listctrl/XHeaderCtrl.h"
#include "support/gui/PaintCounter.h"

namespace {

constexpr int kCheckColumn = 0;
constexpr int kTargetColumn = 3;
constexpr int kStatusColumn = 5;

struct JobRecord : CXListRowRecord {
  int status = 7;
};

// A list laid out like the batch window's: eight centred columns, the first
// with the check-all box, rows with a ticked box in column 0.
class XListCtrlTest : public testing::Test {
 protected:
  void SetUp() override {
    list.resize(900, 300);
    for (int column = 0; column < 8; ++column)
      list.InsertColumn(column, column == 0 ? "   " : QString("Col %1").arg(column), Qt::AlignCenter, 110);
    header()->SetImageList(CXHeaderCtrl::CheckBoxImages());
    for (int column = 0; column < 8; ++column) header()->SetItemImage(column, column == 0 ? 1 : 0);
    list.SetRowRecordFactory([] { return std::make_unique<JobRecord>(); });
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

  void ClickCell(int row, int column, QPoint at = QPoint()) {
    const QPoint pos = at.isNull() ? CellRect(row, column).center() : at;
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, pos);
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

  QImage Render() { return list.viewport()->grab().toImage(); }

  CXListCtrl list;
};

TEST_F(XListCtrlTest, HeaderBoxTicksAndClearsEveryRowAlsoDisabledOnes) {
  AddRows(4);
  list.SetCellCheck(1, kCheckColumn, 0);
  list.SetCellCheck(2, kCheckColumn, 0);
  list.SetRowEnabled(2, false);
  list.SetCellText(3, 1, "no box here");
  ASSERT_EQ(header()->GetItemImage(kCheckColumn), CXHeaderCtrl::kEmptyBoxImage);
  QSignalSpy clicked(&list, &CXListCtrl::WM_XLISTCTRL_CHECKBOX_CLICKED);

  ClickHeader(kCheckColumn);
  EXPECT_EQ(Checks(), (std::vector<int>{1, 1, 1, 1}));
  EXPECT_EQ(header()->GetItemImage(kCheckColumn), CXHeaderCtrl::kTickedBoxImage);
  ClickHeader(kCheckColumn);
  EXPECT_EQ(Checks(), (std::vector<int>{0, 0, 0, 0}));
  EXPECT_EQ(header()->GetItemImage(kCheckColumn), CXHeaderCtrl::kEmptyBoxImage);
  // A title without the check-all box does nothing; cells without a box keep none.
  ClickHeader(1);
  EXPECT_EQ(header()->GetItemImage(1), CXHeaderCtrl::kBlankImage);
  EXPECT_EQ(list.GetCellCheck(3, 1), -1);
  EXPECT_EQ(clicked.count(), 0);
}

TEST_F(XListCtrlTest, TickingTheLastRowTicksTheHeaderAndUntickingAnyClearsIt) {
  AddRows(3);
  list.SetCellCheck(2, kCheckColumn, 0);
  EXPECT_EQ(header()->GetItemImage(kCheckColumn), CXHeaderCtrl::kEmptyBoxImage);
  QSignalSpy clicked(&list, &CXListCtrl::WM_XLISTCTRL_CHECKBOX_CLICKED);

  ClickCell(2, kCheckColumn);
  EXPECT_EQ(list.GetCellCheck(2, kCheckColumn), 1);
  EXPECT_EQ(header()->GetItemImage(kCheckColumn), CXHeaderCtrl::kTickedBoxImage);
  ClickCell(0, kCheckColumn);
  EXPECT_EQ(list.GetCellCheck(0, kCheckColumn), 0);
  EXPECT_EQ(header()->GetItemImage(kCheckColumn), CXHeaderCtrl::kEmptyBoxImage);
  ASSERT_EQ(clicked.count(), 2);
  EXPECT_EQ(clicked[0], (QList<QVariant>{2, kCheckColumn}));
  EXPECT_EQ(clicked[1], (QList<QVariant>{0, kCheckColumn}));
}

TEST_F(XListCtrlTest, DisabledRowIsNeitherToggledNorSelectedNorDoubleClicked) {
  AddRows(3);
  list.SetRowEnabled(1, false);
  QSignalSpy clicked(&list, &CXListCtrl::WM_XLISTCTRL_CHECKBOX_CLICKED);
  QSignalSpy doubleClicked(&list, &CXListCtrl::ListDoubleClicked);

  for (const int column : {kCheckColumn, 2}) ClickCell(1, column);
  QTest::mouseDClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, CellRect(1, 2).center());
  EXPECT_EQ(list.GetCellCheck(1, kCheckColumn), 1);
  EXPECT_TRUE(list.GetSelectedRows().empty());
  EXPECT_EQ(clicked.count(), 0);
  EXPECT_EQ(doubleClicked.count(), 0);

  // The same clicks on an enabled row toggle and select it.
  ClickCell(2, kCheckColumn);
  EXPECT_EQ(list.GetCellCheck(2, kCheckColumn), 0);
  EXPECT_EQ(list.GetSelectedRows(), std::vector<int>{2});
  // A range selection over the disabled row leaves it out.
  QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::ShiftModifier, CellRect(0, 2).center());
  EXPECT_EQ(list.GetSelectedRows(), (std::vector<int>{0, 2}));
  // Double clicks on an enabled row and on the empty space below the rows count.
  QTest::mouseDClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, CellRect(2, 2).center());
  QTest::mouseDClick(list.viewport(), Qt::LeftButton, Qt::NoModifier,
                     CellRect(2, 2).center() + QPoint(0, 100));
  EXPECT_EQ(doubleClicked.count(), 2);
}

TEST_F(XListCtrlTest, SelectedRowIsHighlightedWithFocusAndGreyedFaceWithout) {
  AddRows(2);
  list.SetCellText(1, 4, "", 0x0000FF, 0x00FFFF);  // red on yellow
  const XListSysColors& sys = list.GetSysColors();
  const QPoint probe = CellRect(1, 4).topLeft() + QPoint(1, 1);
  EXPECT_EQ(Render().pixelColor(probe), QColor(255, 255, 0));
  list.activateWindow();
  list.setFocus();
  ASSERT_TRUE(QTest::qWaitFor([this] { return list.hasFocus(); }));
  list.selectRow(1);
  EXPECT_EQ(Render().pixelColor(probe), sys.selection);
  list.clearFocus();
  EXPECT_EQ(Render().pixelColor(probe), sys.buttonFace);
  list.SetShowSelectionAlways(false);
  EXPECT_EQ(Render().pixelColor(probe), QColor(255, 255, 0));
}

TEST_F(XListCtrlTest, HeaderTitlesAreBlueAndToolTipsAreCut) {
  const QImage image = header()->grab().toImage();
  int blue = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      blue += c.blue() > 200 && c.red() < 80 && c.green() < 80;
    }
  EXPECT_GT(blue, 20);
  AddRows(1);
  list.SetCellToolTip(0, 1, QString(100, 'x'));
  EXPECT_EQ(list.model()->index(0, 1).data(Qt::ToolTipRole).toString(), QString(80, 'x'));
  EXPECT_FALSE(list.model()->index(0, 2).data(Qt::ToolTipRole).isValid());
}

TEST_F(XListCtrlTest, OutOfRangeOperationsChangeNothing) {
  AddRows(2);
  for (const auto& [row, column] : std::vector<std::pair<int, int>>{{-1, 0}, {2, 0}, {0, -1}, {0, 8}}) {
    SCOPED_TRACE(testing::Message() << row << "," << column);
    EXPECT_FALSE(list.SetCellText(row, column, "x"));
    EXPECT_EQ(list.GetCellText(row, column), QString());
    EXPECT_FALSE(list.SetCellCheck(row, column, 1));
    EXPECT_EQ(list.GetCellCheck(row, column), -1);
    EXPECT_FALSE(list.ShowCellProgress(row, column));
    EXPECT_FALSE(list.SetCellProgress(row, column, 5));
    EXPECT_FALSE(list.SetCellCombo(row, column, true, nullptr));
    EXPECT_EQ(list.GetCell(row, column), nullptr);
  }
  EXPECT_FALSE(list.InsertRow(3, "x"));
  EXPECT_FALSE(list.DeleteRow(2));
  EXPECT_FALSE(list.SetRowEnabled(-1, false));
  EXPECT_EQ(list.GetRowRecord(2), nullptr);
  EXPECT_EQ(list.GetRowCount(), 2);
}

TEST_F(XListCtrlTest, RowsCarryFreshCellsAndTheirOwnRecord) {
  AddRows(2);
  list.GetRowRecordAs<JobRecord>(0)->status = 1;
  ASSERT_TRUE(list.InsertRow(1, "middle"));
  ASSERT_NE(list.GetRowRecordAs<JobRecord>(1), nullptr);
  EXPECT_EQ(list.GetRowRecordAs<JobRecord>(1)->status, 7);
  EXPECT_EQ(list.GetRowRecordAs<JobRecord>(0)->status, 1);
  const XListCell* fresh = list.GetCell(1, kStatusColumn);
  EXPECT_EQ(fresh->check, -1);
  EXPECT_EQ(fresh->textColor, kXDefaultColor);
  EXPECT_FALSE(fresh->progressShown);
  EXPECT_EQ(list.GetCellText(1, 0), "middle");
  // Colours are 0x00BBGGRR: red in the low byte.
  list.SetCellText(1, kStatusColumn, "Done", 0x006E28, 0xFFFFFF);
  EXPECT_EQ(QColorFromRef(list.GetCell(1, kStatusColumn)->textColor), QColor(40, 110, 0));
  EXPECT_EQ(QColorFromRef(0x0000FF), QColor(255, 0, 0));
  list.SetCellText(1, kStatusColumn, std::nullopt);
  EXPECT_EQ(list.GetCellText(1, kStatusColumn), "Done");
  EXPECT_EQ(list.GetCell(1, kStatusColumn)->textColor, kXDefaultColor);
  ASSERT_TRUE(list.DeleteRow(0));
  EXPECT_EQ(list.GetRowRecordAs<JobRecord>(0)->status, 7);
}

TEST_F(XListCtrlTest, ProgressValueAndTextPerCell) {
  AddRows(2);
  struct Case {
    bool showText;
    QString text;
    int percent;
    int expectedPercent;
    QString expectedLabel;
  };
  const Case cases[] = {
      {true, "", 37, 37, "37%"},    {true, "", -5, 0, "0%"},        {true, "", 150, 100, "100%"},
      {true, "", 100, 100, "100%"}, {true, "Busy", 60, 60, "Busy"}, {false, "Busy", 60, 60, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.percent);
    ASSERT_TRUE(list.ShowCellProgress(1, kStatusColumn, c.showText, c.text));
    EXPECT_EQ(list.GetCell(1, kStatusColumn)->progressPercent, 0);
    ASSERT_TRUE(list.SetCellProgress(1, kStatusColumn, c.percent));
    const XListCell* cell = list.GetCell(1, kStatusColumn);
    EXPECT_TRUE(cell->progressShown);
    EXPECT_EQ(cell->progressPercent, c.expectedPercent);
    EXPECT_EQ(CXListDelegate::ProgressLabel(*cell), c.expectedLabel);
    EXPECT_FALSE(list.GetCell(0, kStatusColumn)->progressShown);
  }
  ASSERT_TRUE(list.HideCellProgress(1, kStatusColumn));
  EXPECT_FALSE(list.GetCell(1, kStatusColumn)->progressShown);
  EXPECT_EQ(list.GetCell(1, kStatusColumn)->progressPercent, 0);
}

TEST_F(XListCtrlTest, ProgressBarIsFilledToItsPercentAndItsTextChangesColourAtTheFill) {
  AddRows(1);
  list.SetCellText(0, kStatusColumn, "", 0x000000, 0xFFFFFF);
  list.ShowCellProgress(0, kStatusColumn, true);
  const QColor fillColor = list.GetSysColors().selection;
  for (const int percent : {37, 50}) {
    SCOPED_TRACE(percent);
    list.SetCellProgress(0, kStatusColumn, percent);
    const QImage image = Render();
    const QRect cell = CellRect(0, kStatusColumn);
    const QRect inner = CXListDelegate::ProgressInnerRect(cell);
    const int boundary = inner.left() + inner.width() * percent / 100;
    // Along the top of the bar (above the text): fill up to the boundary, trough after it.
    EXPECT_EQ(image.pixelColor(inner.left(), inner.top()), fillColor);
    EXPECT_EQ(image.pixelColor(boundary - 1, inner.top()), fillColor);
    EXPECT_EQ(image.pixelColor(boundary, inner.top()), QColor(0xE0, 0xE0, 0xE0));
    EXPECT_EQ(image.pixelColor(inner.right(), inner.top()), QColor(0xE0, 0xE0, 0xE0));
    // The centred text: light (the cell's background) over the fill, dark
    // (the cell's text colour) over the trough.
    int lightOverFill = 0, darkOverFill = 0, lightOverTrough = 0, darkOverTrough = 0;
    for (int y = inner.top(); y <= inner.bottom(); ++y) {
      for (int x = inner.left(); x <= inner.right(); ++x) {
        const QColor c = image.pixelColor(x, y);
        const bool light = c.red() > 0xF0 && c.green() > 0xF0 && c.blue() > 0xF0;
        const bool dark = c.red() < 0x40 && c.green() < 0x40 && c.blue() < 0x40;
        (x < boundary ? lightOverFill : lightOverTrough) += light;
        (x < boundary ? darkOverFill : darkOverTrough) += dark;
      }
    }
    EXPECT_EQ(darkOverFill, 0);
    EXPECT_EQ(lightOverTrough, 0);
    if (percent == 50) {
      EXPECT_GT(lightOverFill, 0);
    }
    EXPECT_GT(darkOverTrough, 0);
  }
}

TEST_F(XListCtrlTest, EachProgressStepChangesAndRepaintsOneCellOnly) {
  AddRows(20);
  list.ShowCellProgress(4, kStatusColumn, true);
  kt::PaintCounter::Settle(list.viewport());
  QSignalSpy changed(list.model(), &QAbstractItemModel::dataChanged);
  kt::PaintCounter counter;
  list.viewport()->installEventFilter(&counter);
  const QRect cell = CellRect(4, kStatusColumn);
  for (int percent = 1; percent <= 100; ++percent) {
    list.SetCellProgress(4, kStatusColumn, percent);
    ASSERT_EQ(changed.count(), percent);
    const QModelIndex topLeft = changed.last()[0].toModelIndex();
    const QModelIndex bottomRight = changed.last()[1].toModelIndex();
    EXPECT_EQ(topLeft, bottomRight);
    EXPECT_EQ(topLeft.row(), 4);
    EXPECT_EQ(topLeft.column(), kStatusColumn);
    counter.painted = QRegion();
    QApplication::processEvents();
    EXPECT_EQ(counter.paints, percent);
    EXPECT_EQ(counter.painted, QRegion(cell));
  }
  list.viewport()->removeEventFilter(&counter);
}

TEST_F(XListCtrlTest, EmptyListTextShowsTenPixelsBelowTheHeaderUntilTheFirstRow) {
  const auto darkRows = [this] {
    const QImage image = Render();
    std::vector<int> rows;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        if (qGray(image.pixel(x, y)) < 0x60) {
          rows.push_back(y);
          break;
        }
    return rows;
  };
  const std::vector<int> empty = darkRows();
  ASSERT_FALSE(empty.empty());
  EXPECT_GE(empty.front(), 10);
  EXPECT_LE(empty.back(), 10 + list.fontMetrics().height());

  ASSERT_TRUE(list.InsertRow(0, ""));
  EXPECT_TRUE(darkRows().empty());
  ASSERT_TRUE(list.DeleteAllRows());
  EXPECT_EQ(darkRows(), empty);
  EXPECT_EQ(CXListCtrl::EmptyListText(), "There are no files added.");
}

TEST_F(XListCtrlTest, DropDownCellPreviewsAcceptsAndCancels) {
  AddRows(2);
  const QStringList targets{"MP3", "WAV", "OGG"};
  ASSERT_TRUE(list.SetCellCombo(1, kTargetColumn, true, &targets, 2, 9));
  EXPECT_EQ(list.GetCellText(1, kTargetColumn), "MP3");  // an initial index outside the entries is 0
  QSignalSpy accepted(&list, &CXListCtrl::WM_XLISTCTRL_COMBO_SELECTION);
  const auto open = [this] {
    ClickCell(1, kTargetColumn, CXListDelegate::DropButtonRect(CellRect(1, kTargetColumn)).center());
    EXPECT_TRUE(list.GetCell(1, kTargetColumn)->comboPressed);
    EXPECT_TRUE(QTest::qWaitFor([this] { return list.GetOpenComboList() != nullptr; }));
    return list.GetOpenComboList();
  };
  const auto closed = [this] { return QTest::qWaitFor([this] { return !list.GetOpenComboList(); }); };

  CXComboList* popup = open();
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(list.GetSelectedRows(), std::vector<int>{1});
  EXPECT_EQ(popup->SelectedText(), "MP3");
  EXPECT_LT(popup->height(), 3 * popup->sizeHintForRow(0));  // two of the three entries
  EXPECT_GE(popup->height(), 2 * popup->sizeHintForRow(0));
  QTest::keyClick(popup, Qt::Key_Down);
  EXPECT_EQ(list.GetCellText(1, kTargetColumn), "WAV");  // previewed at once
  EXPECT_TRUE(popup->isVisible());
  QTest::keyClick(popup, Qt::Key_Escape);
  EXPECT_TRUE(closed());
  EXPECT_EQ(list.GetCellText(1, kTargetColumn), "MP3");
  EXPECT_FALSE(list.GetCell(1, kTargetColumn)->comboPressed);
  EXPECT_EQ(accepted.count(), 0);

  popup = open();
  QTest::keyClick(popup, Qt::Key_Down);
  QTest::keyClick(popup, Qt::Key_Down);
  QTest::keyClick(popup, Qt::Key_Return);
  EXPECT_TRUE(closed());
  EXPECT_EQ(list.GetCellText(1, kTargetColumn), "OGG");
  ASSERT_EQ(accepted.count(), 1);
  EXPECT_EQ(accepted[0], (QList<QVariant>{1, kTargetColumn}));

  popup = open();
  EXPECT_EQ(popup->SelectedText(), "OGG");
  const QRect wav = popup->visualItemRect(popup->item(1));
  QTest::mouseClick(popup->viewport(), Qt::LeftButton, Qt::NoModifier, wav.center());
  EXPECT_TRUE(closed());
  EXPECT_EQ(list.GetCellText(1, kTargetColumn), "WAV");
  EXPECT_EQ(accepted.count(), 2);

  // A click elsewhere in the cell only selects; it opens nothing.
  ClickCell(1, kTargetColumn, CellRect(1, kTargetColumn).topLeft() + QPoint(3, 3));
  QApplication::processEvents();
  EXPECT_EQ(list.GetOpenComboList(), nullptr);
}

TEST_F(XListCtrlTest, HotTrackingSelectsTheRowThePointerRestsOn) {
  AddRows(3);
  list.SetHotTrackSelection(true);
  QTest::mouseMove(list.viewport(), CellRect(2, 1).center());
  EXPECT_TRUE(QTest::qWaitFor([this] { return list.GetSelectedRows() == std::vector<int>{2}; }, 3000));
  QTest::mouseMove(list.viewport(), CellRect(0, 4).center());
  EXPECT_TRUE(QTest::qWaitFor([this] { return list.GetSelectedRows() == std::vector<int>{0}; }, 3000));
}

}  // namespace
