#pragma once
// Paints the cells of the extended list control from their records: plain
// text with an optional image, a check box, a drop-down box, or a progress
// bar whose text changes colour where the bar's fill ends.

#include <QStyledItemDelegate>

struct XListCell;
class CXListCtrl;

// The system colours the list draws with, read when the list is made and
// again when the palette changes.
struct XListSysColors {
  QColor buttonFace, highlight, shadow, buttonText, grayText, selection, selectionText, window, windowText;
};

class CXListDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  static constexpr int kCheckBoxSize = 13;
  static constexpr int kCheckBoxIndent = 9;
  static constexpr int kCheckTextGap = 4;
  static constexpr int kTextMargin = 6;

  explicit CXListDelegate(CXListCtrl* list);

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  // Shows a cell's tooltip: its own, else the whole text of a cut cell.
  bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                 const QModelIndex& index) override;

  // Where the text of an unselected cell is drawn within cellRect.
  QRect TextRect(const QRect& cellRect, const XListCell& cell) const;

  // The height of every row for the list's font.
  static int RowHeight(const QFontMetrics& metrics);
  // Where a cell's parts lie: the drop button (a square at the right end),
  // the check box, and the filled part of a progress bar.
  static QRect DropButtonRect(const QRect& cellRect);
  static QRect CheckBoxRect(const QRect& cellRect, bool hasText);
  static QRect ProgressInnerRect(const QRect& cellRect);
  static QRect ProgressFillRect(const QRect& cellRect, int percent);
  // The text a progress cell shows on its bar ("37%" unless a text is set).
  static QString ProgressLabel(const XListCell& cell);

 private:
  struct Colors {
    QColor text, background;
  };
  Colors CellColors(const XListCell& cell, bool rowEnabled, bool selected, bool hot) const;
  void DrawText(QPainter* p, const QRect& rect, const QString& text, Qt::Alignment alignment,
                const QColor& color, bool bold) const;
  void DrawCheckBox(QPainter* p, const QRect& rect, const XListCell& cell, bool rowEnabled,
                    const Colors& colors, Qt::Alignment alignment) const;
  void DrawProgress(QPainter* p, const QRect& rect, const XListCell& cell) const;
  void DrawComboBox(QPainter* p, const QRect& rect, const XListCell& cell) const;

  CXListCtrl* list_;
};
