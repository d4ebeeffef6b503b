#include "gui/batch/listctrl/XListModel.h"

#include <algorithm>

namespace {
constexpr int kToolTipLimit = 80;
}

int CXListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : int(rows_.size());
}

int CXListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : int(columns_.size());
}

QVariant CXListModel::data(const QModelIndex& index, int role) const {
  const XListCell* cell = Cell(index.row(), index.column());
  if (!cell) return {};
  switch (role) {
    case Qt::DisplayRole:
      return cell->text;
    case Qt::ToolTipRole:
      return cell->toolTip.isEmpty() ? QVariant() : QVariant(cell->toolTip.left(kToolTipLimit));
    case Qt::TextAlignmentRole:
      return int(ColumnAlignment(index.column()) | Qt::AlignVCenter);
    default:
      return {};
  }
}

QVariant CXListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= int(columns_.size())) return {};
  if (role == Qt::DisplayRole) return columns_[std::size_t(section)].title;
  if (role == Qt::TextAlignmentRole) return int(columns_[std::size_t(section)].alignment | Qt::AlignVCenter);
  return {};
}

Qt::ItemFlags CXListModel::flags(const QModelIndex& index) const {
  if (!IsCell(index.row(), index.column())) return Qt::NoItemFlags;
  // A disabled row stays selectable, so it can be removed; only its check
  // boxes and drop-downs ignore the user.
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

bool CXListModel::IsCell(int row, int column) const {
  return row >= 0 && row < int(rows_.size()) && column >= 0 && column < int(columns_.size());
}

const XListCell* CXListModel::Cell(int row, int column) const {
  return IsCell(row, column) ? &rows_[std::size_t(row)].cells[std::size_t(column)] : nullptr;
}

bool CXListModel::EditCell(int row, int column, const std::function<void(XListCell&)>& edit) {
  if (!IsCell(row, column)) return false;
  edit(rows_[std::size_t(row)].cells[std::size_t(column)]);
  const QModelIndex changed = index(row, column);
  emit dataChanged(changed, changed);
  return true;
}

bool CXListModel::RowEnabled(int row) const {
  return IsCell(row, 0) && rows_[std::size_t(row)].cells[0].enabled;
}

bool CXListModel::SetRowEnabled(int row, bool enabled) {
  if (!IsCell(row, 0)) return false;
  rows_[std::size_t(row)].cells[0].enabled = enabled;
  emit dataChanged(index(row, 0), index(row, int(columns_.size()) - 1));
  return true;
}

CXListRowRecord* CXListModel::Record(int row) const {
  return row >= 0 && row < int(rows_.size()) ? rows_[std::size_t(row)].record.get() : nullptr;
}

bool CXListModel::InsertRow(int row, const QString& text) {
  if (row < 0 || row > int(rows_.size()) || columns_.empty()) return false;
  Row fresh;
  fresh.cells.resize(columns_.size());
  fresh.cells[0].text = text;
  if (recordFactory_) fresh.record = recordFactory_();
  beginInsertRows(QModelIndex(), row, row);
  rows_.insert(rows_.begin() + row, std::move(fresh));
  endInsertRows();
  return true;
}

bool CXListModel::RemoveRow(int row) {
  if (row < 0 || row >= int(rows_.size())) return false;
  beginRemoveRows(QModelIndex(), row, row);
  rows_.erase(rows_.begin() + row);
  endRemoveRows();
  return true;
}

bool CXListModel::InsertColumn(int column, const QString& title, Qt::Alignment alignment) {
  if (column < 0 || column > int(columns_.size())) return false;
  beginInsertColumns(QModelIndex(), column, column);
  columns_.insert(columns_.begin() + column, Column{title, alignment});
  for (Row& row : rows_) row.cells.insert(row.cells.begin() + column, XListCell());
  endInsertColumns();
  return true;
}

Qt::Alignment CXListModel::ColumnAlignment(int column) const {
  if (column < 0 || column >= int(columns_.size())) return Qt::AlignLeft;
  return columns_[std::size_t(column)].alignment;
}

void CXListModel::SetColumnChecks(int column, int state) {
  if (column < 0 || column >= int(columns_.size()) || rows_.empty()) return;
  for (Row& row : rows_) {
    XListCell& cell = row.cells[std::size_t(column)];
    if (cell.check == 0 || cell.check == 1) cell.check = state;
  }
  emit dataChanged(index(0, column), index(int(rows_.size()) - 1, column));
}

bool CXListModel::AllTicked(int column) const {
  if (column < 0 || column >= int(columns_.size()) || rows_.empty()) return false;
  return std::all_of(rows_.begin(), rows_.end(),
                     [column](const Row& row) { return row.cells[std::size_t(column)].check == 1; });
}
