#pragma once
// The batch queue as the Batch Convert window's table: eight columns, the
// texts, colours and faces each job's typed fields and status give, and the
// edits the user makes (the check box, the "Convert To" choice). It follows
// the queue's changes, so a progress step repaints one cell only.

#include <QAbstractTableModel>
#include <QColor>
#include <QStringList>

#include "core/batch/BatchQueue.h"

// The columns, in the order they show.
namespace batchcolumn {
constexpr int kCheck = 0;
constexpr int kSource = 1;
constexpr int kType = 2;
constexpr int kConvertTo = 3;
constexpr int kOutput = 4;
constexpr int kStatus = 5;
constexpr int kSourcePath = 6;
constexpr int kOutputPath = 7;
constexpr int kCount = 8;
}  // namespace batchcolumn

class CBatchTableModel : public QAbstractTableModel, private CBatchQueueObserver {
  Q_OBJECT

 public:
  // What the delegate draws besides text and colours.
  enum Role {
    BoldRole = Qt::UserRole + 1,  // bool: the converting source
    ProgressRole,                 // int: the percent of a converting job's bar; none otherwise
    ChoicesRole,                  // QStringList: the entries of a "Convert To" drop-down
    RowEnabledRole,               // bool: false for a source of unknown type (greyed, its box deaf)
  };

  // The colours the statuses are shown in.
  static QColor DoneColor() { return {40, 110, 0}; }
  static QColor WarningColor() { return {255, 0, 0}; }

  explicit CBatchTableModel(CBatchQueue& queue, QObject* parent = nullptr);
  ~CBatchTableModel() override;

  CBatchQueue& Queue() const { return queue_; }
  bool RowEnabled(int row) const;
  // The check-all box: ticks or clears every row, greyed ones too.
  void SetAllChecked(bool checked);
  bool AllChecked() const;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  QVariant Text(const BatchQueueJob& job, int column) const;
  void Cells(int row, std::initializer_list<int> columns);

  void JobsInserting(int first, int last) override { beginInsertRows({}, first, last); }
  void JobsInserted() override { endInsertRows(); }
  void JobsRemoving(int first, int last) override { beginRemoveRows({}, first, last); }
  void JobsRemoved() override { endRemoveRows(); }
  void JobChanged(int index, JobField field) override;
  void AllJobsChanged(JobField field) override;

  CBatchQueue& queue_;
  QStringList titles_;
};
