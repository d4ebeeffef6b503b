// Sizing the batch list to its texts: fitting columns to rows, and the tooltip of
// a cell whose text is cut.
#include <QFontMetricsF>
#include <QHeaderView>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "gui/batch/BatchHeader.h"
#include "gui/batch/BatchListView.h"
#include "gui/batch/BatchTableModel.h"

namespace {

// A quick upper bound of a text's drawn width: the sum of its characters'
// advances (kerning and ligatures only narrow a text), read from a table for
// Latin-1 and measured whole otherwise. Thousands of file names are bounded
// in the time Qt shapes a few hundred.
class TextWidthBound {
 public:
  explicit TextWidthBound(const QFont& font) : metrics_(font) { advances_.fill(-1); }
  int operator()(const QString& text) {
    qreal width = 0;
    for (const QChar c : text) {
      const char16_t code = c.unicode();
      if (code >= advances_.size()) return int(std::ceil(metrics_.horizontalAdvance(text))) + 1;
      if (advances_[code] < 0) advances_[code] = metrics_.horizontalAdvance(c);
      width += advances_[code];
    }
    return int(std::ceil(width)) + 1;
  }

 private:
  QFontMetricsF metrics_;
  std::array<qreal, 256> advances_;
};

}  // namespace

void CBatchListView::FitColumnsToRows(int first, int last, int maxWidth) {
  first = std::max(first, 0);
  last = std::min(last, model_->rowCount() - 1);
  QFont boldFont = font();
  boldFont.setBold(true);
  TextWidthBound plain(font());
  TextWidthBound bold(boldFont);
  // What a cell's drawing leaves around its text (margins, box, button).
  const QRect probe(0, 0, 10000, verticalHeader()->defaultSectionSize());
  for (int column = 0; column < model_->columnCount(); ++column) {
    int needed = std::max(columnWidth(column), header_->TitleWidth(column));
    for (int row = first; row <= last; ++row) {
      const QModelIndex index = model_->index(row, column);
      const QString text = index.data(Qt::DisplayRole).toString();
      const bool blank = text.trimmed().isEmpty();
      if (blank && !CBatchDelegate::HasCheckBox(index)) continue;
      const int width = blank ? 0 : (index.data(CBatchTableModel::BoldRole).toBool() ? bold : plain)(text);
      needed = std::max(needed, width + probe.width() - CBatchDelegate::TextRect(probe, index).width());
    }
    setColumnWidth(column, std::min(needed, std::max(maxWidth, columnWidth(column))));
  }
}

void CBatchListView::FitColumnsToTitles() {
  // Columns narrower than their title take what they lack from the columns
  // wider than theirs, in proportion to what those can spare.
  const int count = model_->columnCount();
  std::vector<int> widths(static_cast<std::size_t>(count));
  std::vector<int> spare(widths.size());
  int lacking = 0, spareTotal = 0;
  for (int column = 0; column < count; ++column) {
    const std::size_t c = std::size_t(column);
    widths[c] = columnWidth(column);
    const int title = header_->TitleWidth(column);
    lacking += std::max(0, title - widths[c]);
    spare[c] = std::max(0, widths[c] - title);
    spareTotal += spare[c];
    widths[c] = std::max(widths[c], title);
  }
  const int taken = std::min(lacking, spareTotal);
  for (int column = 0; column < count && taken > 0; ++column) {
    const std::size_t c = std::size_t(column);
    widths[c] -= int(std::int64_t(taken) * spare[c] / spareTotal);
  }
  for (int column = 0; column < count; ++column) setColumnWidth(column, widths[std::size_t(column)]);
}

QString CBatchListView::CellToolTip(int row, int column) const {
  const QModelIndex index = model_->index(row, column);
  if (!index.isValid()) return {};
  const QString text = index.data(Qt::DisplayRole).toString();
  if (index.data(CBatchTableModel::ProgressRole).isValid() || text.trimmed().isEmpty()) return {};
  QFont face = font();
  face.setBold(index.data(CBatchTableModel::BoldRole).toBool());
  const QRect room = CBatchDelegate::TextRect(visualRect(index), index);
  return QFontMetrics(face).horizontalAdvance(text) > room.width() ? text : QString();
}
