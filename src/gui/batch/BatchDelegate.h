#pragma once
// The one delegate of the batch window's list. It paints every cell from
// the table model's roles: plain text (bold for the converting source), the
// check box of the first column, the "Convert To" drop-down (its box and
// button while the row is selected), and the converting job's progress bar,
// whose text changes colour where the bar's fill ends. It also takes the
// mouse on them: a press in a check cell of an enabled row toggles it, a
// press on the drop button opens the choice as a combo box.

#include <QPersistentModelIndex>
#include <QStyledItemDelegate>

class CBatchListView;

// The system colours the list draws with, read when the list is made and
// again when the palette changes.
struct BatchListColors {
  QColor buttonFace, highlight, shadow, buttonText, grayText, selection, selectionText, window, windowText;
};

class CBatchDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  static constexpr int kCheckBoxSize = 13;
  static constexpr int kCheckBoxIndent = 9;
  static constexpr int kCheckTextGap = 4;
  static constexpr int kTextMargin = 6;

  explicit CBatchDelegate(CBatchListView* list);

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  // Shows the whole text of a cut cell as its tooltip.
  bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                 const QModelIndex& index) override;
  bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

  // The "Convert To" choice: a combo box over the cell, its list open.
  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override;
  void setEditorData(QWidget* editor, const QModelIndex& index) const override;
  void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
  void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const override;

  // Where the text of an unselected cell is drawn within cellRect.
  static QRect TextRect(const QRect& cellRect, const QModelIndex& index);
  // The height of every row for the list's font.
  static int RowHeight(const QFontMetrics& metrics);
  // Where a cell's parts lie: the drop button (a square at the right end),
  // the check box, and the filled part of a progress bar.
  static QRect DropButtonRect(const QRect& cellRect);
  static QRect CheckBoxRect(const QRect& cellRect, bool hasText);
  static QRect ProgressInnerRect(const QRect& cellRect);
  static QRect ProgressFillRect(const QRect& cellRect, int percent);
  // Whether a cell holds a check box or a drop-down.
  static bool HasCheckBox(const QModelIndex& index);
  static bool HasChoices(const QModelIndex& index);

 private:
  struct Colors {
    QColor text, background;
  };
  Colors CellColors(const QModelIndex& index, bool rowEnabled, bool selected, bool hot) const;
  void DrawText(QPainter* p, const QRect& rect, const QString& text, Qt::Alignment alignment,
                const QColor& color, bool bold) const;
  void DrawCheckBox(QPainter* p, const QRect& rect, const QModelIndex& index, bool rowEnabled,
                    const Colors& colors) const;
  void DrawProgress(QPainter* p, const QRect& rect, const QModelIndex& index) const;
  void DrawComboBox(QPainter* p, const QRect& rect, const QModelIndex& index) const;

  CBatchListView* list_;
  QPersistentModelIndex pressed_;  // the drop-down whose button is down
};
