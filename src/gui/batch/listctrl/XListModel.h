#pragma once
// The table behind the extended list control: rows of cell records, each row
// with the caller's record, and the columns' titles and alignments. Every
// change announces exactly the cells it touched, so a view repaints those
// cells and nothing else.

#include <QAbstractTableModel>
#include <functional>
#include <memory>
#include <vector>

#include "gui/batch/listctrl/XListCell.h"

class CXListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  using RecordFactory = std::function<std::unique_ptr<CXListRowRecord>()>;

  explicit CXListModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  bool IsCell(int row, int column) const;
  // The cell record, or nullptr when row or column is out of range.
  const XListCell* Cell(int row, int column) const;
  // Changes one cell through edit and announces that cell only.
  bool EditCell(int row, int column, const std::function<void(XListCell&)>& edit);
  bool RowEnabled(int row) const;
  bool SetRowEnabled(int row, bool enabled);
  CXListRowRecord* Record(int row) const;

  void SetRecordFactory(RecordFactory factory) { recordFactory_ = std::move(factory); }
  bool InsertRow(int row, const QString& text);
  bool RemoveRow(int row);
  bool InsertColumn(int column, const QString& title, Qt::Alignment alignment);
  Qt::Alignment ColumnAlignment(int column) const;

  // Sets the check state of every check-box cell of column, in every row,
  // and announces the column in one step.
  void SetColumnChecks(int column, int state);
  // True when the list has rows and every row's cell in column is ticked.
  bool AllTicked(int column) const;

 private:
  struct Row {
    std::vector<XListCell> cells;
    std::unique_ptr<CXListRowRecord> record;
  };
  struct Column {
    QString title;
    Qt::Alignment alignment;
  };

  std::vector<Row> rows_;
  std::vector<Column> columns_;
  RecordFactory recordFactory_;
};
