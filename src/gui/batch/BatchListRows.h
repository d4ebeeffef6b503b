#pragma once
// The batch engine's rows in the Batch Convert window: each row of the list
// control carries its job record, its check box, its texts, the Status
// cell's coloured text and its progress bar.

#include "core/batch/BatchRun.h"
#include "gui/batch/listctrl/XListCtrl.h"

// The BatchRow of a list row, attached by the list when the row is inserted.
struct CBatchListRow : CXListRowRecord {
  BatchRow row;
};

class CBatchListRows : public CBatchRows {
 public:
  // The list is built after the engine: no rows until it is set.
  void SetList(CXListCtrl* list) { list_ = list; }

  int RowCount() const override;
  BatchRow* Record(int row) const override;
  bool IsChecked(int row) const override;
  std::string Text(int row, int column) const override;
  void SetStatusText(int row, const std::string& text, std::uint32_t colour) override;
  void SetSourceBold(int row, bool bold) override;
  void ShowProgress(int row) override;
  void HideProgress(int row) override;
  void SetProgress(int row, int percent) override;
  void ScrollTo(int row) override;

 private:
  CXListCtrl* list_ = nullptr;
};
