#include "gui/batch/BatchListRows.h"

#include "core/batch/BatchTypes.h"
#include "gui/EngineText.h"

int CBatchListRows::RowCount() const {
  return list_ ? list_->GetRowCount() : 0;
}

BatchRow* CBatchListRows::Record(int row) const {
  auto* record = list_ ? list_->GetRowRecordAs<CBatchListRow>(row) : nullptr;
  return record ? &record->row : nullptr;
}

bool CBatchListRows::IsChecked(int row) const {
  return list_->GetCellCheck(row, batchcol::kCheck) == 1;
}

std::string CBatchListRows::Text(int row, int column) const {
  return list_->GetCellText(row, column).toStdString();
}

void CBatchListRows::SetStatusText(int row, const std::string& text, std::uint32_t colour) {
  list_->SetCellText(row, batchcol::kStatus, FromEngineText(text), static_cast<XColorRef>(colour),
                     static_cast<XColorRef>(batchcolour::kWhite));
}

void CBatchListRows::SetSourceBold(int row, bool bold) {
  list_->SetCellBold(row, batchcol::kSource, bold);
}

void CBatchListRows::ShowProgress(int row) {
  list_->ShowCellProgress(row, batchcol::kStatus, true);
}

void CBatchListRows::HideProgress(int row) {
  list_->HideCellProgress(row, batchcol::kStatus);
}

void CBatchListRows::SetProgress(int row, int percent) {
  list_->SetCellProgress(row, batchcol::kStatus, percent);
}

void CBatchListRows::ScrollTo(int row) {
  list_->EnsureVisible(row);
}
