#pragma once
// The extended list control of the batch window: a report list whose cells
// can carry a check box, a one-line drop-down choice, a progress bar, their
// own colours and a bold face, and whose rows can be disabled (grey, their
// check boxes and drop-downs deaf, but still selectable so they can be
// removed). Its header (CXHeaderCtrl) turns a column with a check-box image
// into a check-all box. An empty list says "There are no files added."
//
// Only clicks and keys select (click, Shift/Ctrl-click, the arrows, Ctrl+A);
// the row under the pointer is merely highlighted. Tab leaves the list;
// Space toggles the focused row's check box. Local files and folders dropped
// on the list are announced by FilesDropped.
//
// Rows and columns are 0-based. Every operation does nothing and returns
// false (an empty text, -1 for GetCellCheck) when the row or column is out of
// range. A change to a cell repaints that cell only.

#include <QList>
#include <QPersistentModelIndex>
#include <QPixmap>
#include <QStringList>
#include <QTableView>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "gui/batch/listctrl/XListCell.h"
#include "gui/batch/listctrl/XListDelegate.h"

class CXComboList;
class CXHeaderCtrl;
class CXListModel;

class CXListCtrl : public QTableView {
  Q_OBJECT

 public:
  explicit CXListCtrl(QWidget* parent = nullptr);
  ~CXListCtrl() override;

  // --- Columns ---
  // Inserts a column; format is its alignment (left, centre or right).
  // Returns the column's index, or -1.
  int InsertColumn(int column, const QString& title, Qt::Alignment format = Qt::AlignLeft, int width = 100);
  CXHeaderCtrl* GetHeaderCtrl() const { return header_; }

  // --- Rows ---
  // The record every new row gets (for the batch window its job state);
  // without a factory rows carry none.
  void SetRowRecordFactory(std::function<std::unique_ptr<CXListRowRecord>()> factory);
  bool InsertRow(int row, const QString& text);
  bool DeleteRow(int row);
  int GetRowCount() const;
  // The row's record, or nullptr.
  CXListRowRecord* GetRowRecord(int row) const;
  template <typename Record>
  Record* GetRowRecordAs(int row) const {
    return dynamic_cast<Record*>(GetRowRecord(row));
  }
  bool SetRowEnabled(int row, bool enabled);
  bool GetRowEnabled(int row) const;
  // Selected rows, top to bottom.
  std::vector<int> GetSelectedRows() const;
  // Scrolls the row into view.
  bool EnsureVisible(int row);

  // --- Cells ---
  // Sets the text when one is given, and the two colours (0x00BBGGRR;
  // kXDefaultColor = the system's window text and window colours).
  bool SetCellText(int row, int column, std::optional<QString> text, XColorRef textColor = kXDefaultColor,
                   XColorRef backgroundColor = kXDefaultColor);
  QString GetCellText(int row, int column) const;
  // The cell's whole record (nullptr out of range), for reading.
  const XListCell* GetCell(int row, int column) const;
  // -1 no box, 0 empty, 1 ticked. After the change a check-all header box
  // of the column shows ticked when every row has this cell ticked.
  bool SetCellCheck(int row, int column, int state);
  int GetCellCheck(int row, int column) const;
  bool SetCellBold(int row, int column, bool bold);
  bool SetCellToolTip(int row, int column, const QString& text);
  // Makes the cell a drop-down cell over entries (owned by the caller, kept
  // alive while the cell uses them), showing height entries when open. An
  // initial index outside the entries becomes 0; the cell shows that entry.
  bool SetCellCombo(int row, int column, bool enable, const QStringList* entries, int height = 10,
                    int initial = 0);
  // Progress bar in the cell at 0 %; text is drawn on the bar when showText
  // (empty text = the percentage, "37%").
  bool ShowCellProgress(int row, int column, bool showText = true, const QString& text = QString());
  // Percent is kept within 0..100.
  bool SetCellProgress(int row, int column, int percent);
  bool HideCellProgress(int row, int column);

  // --- Look ---
  // Selected rows keep a (button-face) highlight while the list has no focus.
  void SetShowSelectionAlways(bool always);
  bool ShowsSelectionAlways() const { return showSelectionAlways_; }
  // Hot tracking: the row under the pointer is highlighted, never selected.
  void SetHotTrack(bool on);
  bool HotTrack() const { return hotTrack_; }
  // The highlighted row, or -1.
  int HotRow() const { return hotRow_; }
  // Widens each column to the widest of its title and the texts of rows
  // first..last (never narrower than it is, never wider than maxWidth).
  void FitColumnsToRows(int first, int last, int maxWidth);
  // Widens the columns whose titles are cut, taking the room from columns
  // wider than their titles, so the columns' total stays (when it can).
  void FitColumnsToTitles();
  // The whole text of a cell that is drawn cut short, or its own tooltip;
  // empty when the cell shows everything.
  QString CellToolTip(int row, int column) const;
  // Suspends (false) and resumes (true) drawing, for inserting many rows.
  void SetRedraw(bool redraw);
  const XListSysColors& GetSysColors() const { return sysColors_; }
  static QString EmptyListText();

 signals:
  // A click toggled the check box of (row, column).
  void CheckBoxClicked(int row, int column);
  // A left double click anywhere in the list, rows or empty space, except
  // on a disabled row (the list window's own double-click notice).
  void ListDoubleClicked();
  // Local files or folders were dropped on the list, in the drop's order.
  void FilesDropped(const QStringList& paths);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  bool viewportEvent(QEvent* event) override;
  void changeEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void ReadSysColors();
  void UpdateCheckAllImage(int column);
  void OnColumnClick(int column);
  void OpenComboList(int row, int column);
  void OnComboReturn();
  void OnComboEscape();
  void OnComboKeyDown();
  void CloseComboList(std::optional<QString> finalText);
  bool IsDisabledRowAt(const QPoint& pos) const;
  void SetHotRow(int row);
  void ToggleCheck(int row, int column);

  CXListModel* model_;
  CXHeaderCtrl* header_;
  CXListDelegate* delegate_;
  CXComboList* comboList_ = nullptr;
  QPersistentModelIndex comboCell_;  // the cell whose list is open
  QString comboOpenedText_;
  XListSysColors sysColors_;
  bool showSelectionAlways_ = true;
  bool hotTrack_ = false;
  int hotRow_ = -1;
};
