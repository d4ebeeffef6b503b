#pragma once
// The list of the Batch Convert window: a table view over CBatchTableModel,
// drawn by CBatchDelegate under a CBatchHeader whose first title is the
// check-all box. Rows of unknown type are grey and their boxes deaf, but
// they can be selected so they can be removed. An empty list says "There
// are no files added."
//
// Only clicks and keys select (click, Shift/Ctrl-click, the arrows, Ctrl+A);
// the row under the pointer is merely highlighted. Tab leaves the list;
// Space toggles the focused row's check box. Local files and folders dropped
// on the list are announced by FilesDropped.

#include <QStringList>
#include <QTableView>
#include <vector>

#include "gui/batch/BatchDelegate.h"

class CBatchHeader;
class CBatchTableModel;

class CBatchListView : public QTableView {
  Q_OBJECT

 public:
  explicit CBatchListView(CBatchTableModel* model, QWidget* parent = nullptr);
  ~CBatchListView() override;

  CBatchTableModel* BatchModel() const { return model_; }
  CBatchHeader* Header() const { return header_; }
  // Selected rows, top to bottom.
  std::vector<int> SelectedRows() const;
  // Toggles the check box of row as a click does; a greyed row's stays.
  void ToggleCheck(int row);

  // Selected rows keep a (button-face) highlight while the list has no focus.
  void SetShowSelectionAlways(bool always);
  bool ShowsSelectionAlways() const { return showSelectionAlways_; }
  // Hot tracking: the row under the pointer is highlighted, never selected.
  void SetHotTrack(bool on);
  int HotRow() const { return hotRow_; }
  // Widens each column to the widest of its title and the texts of rows
  // first..last (never narrower than it is, never wider than maxWidth).
  void FitColumnsToRows(int first, int last, int maxWidth);
  // Widens the columns whose titles are cut, taking the room from columns
  // wider than their titles, so the columns' total stays (when it can).
  void FitColumnsToTitles();
  // The whole text of a cell that is drawn cut short; empty when the cell
  // shows everything.
  QString CellToolTip(int row, int column) const;
  // Suspends (false) and resumes (true) drawing, for adding many rows.
  void SetRedraw(bool redraw);
  const BatchListColors& SysColors() const { return sysColors_; }
  static QString EmptyListText();

 signals:
  // A click or Space toggled the row's check box.
  void CheckBoxClicked(int row);
  // A left double click anywhere in the list, rows or empty space, except
  // on a greyed row.
  void ListDoubleClicked();
  // Local files or folders were dropped on the list, in the drop's order.
  void FilesDropped(const QStringList& paths);

 protected:
  void paintEvent(QPaintEvent* event) override;
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
  // The check-all image follows the boxes: ticked when every row is.
  void UpdateCheckAllImage();
  void OnColumnClick(int column);
  void SetHotRow(int row);

  CBatchTableModel* model_;
  CBatchHeader* header_;
  CBatchDelegate* delegate_;
  BatchListColors sysColors_;
  bool showSelectionAlways_ = true;
  bool hotTrack_ = false;
  int hotRow_ = -1;
};
