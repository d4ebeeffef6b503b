#include "gui/batch/BatchDelegate.h"

#include <qdrawutil.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QStyle>
#include <QStyleOption>
#include <QTimer>
#include <QToolTip>
#include <algorithm>
#include <functional>

#include "gui/batch/BatchListView.h"
#include "gui/batch/BatchTableModel.h"

namespace {

const QColor& TroughColor() {
  static const QColor trough(0xE0, 0xE0, 0xE0);
  return trough;
}

// The "Convert To" editor: it opens its list at once and closes the cell's
// editing when the list goes, keeping the entry only when one was chosen.
class CTargetCombo : public QComboBox {
 public:
  using QComboBox::QComboBox;
  std::function<void()> hidden;
  bool chosen = false;

  void hidePopup() override {
    QComboBox::hidePopup();
    if (hidden) hidden();
  }
};

}  // namespace

CBatchDelegate::CBatchDelegate(CBatchListView* list) : QStyledItemDelegate(list), list_(list) {}

bool CBatchDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                               const QModelIndex& index) {
  if (!event || event->type() != QEvent::ToolTip || !index.isValid())
    return QStyledItemDelegate::helpEvent(event, view, option, index);
  const QString tip = list_->CellToolTip(index.row(), index.column());
  if (tip.isEmpty()) {
    QToolTip::hideText();
    event->ignore();
    return true;
  }
  QToolTip::showText(event->globalPos(), tip, view->viewport(), option.rect);
  return true;
}

bool CBatchDelegate::HasCheckBox(const QModelIndex& index) {
  return index.data(Qt::CheckStateRole).isValid();
}

bool CBatchDelegate::HasChoices(const QModelIndex& index) {
  return !index.data(CBatchTableModel::ChoicesRole).toStringList().isEmpty();
}

QRect CBatchDelegate::TextRect(const QRect& rect, const QModelIndex& index) {
  if (HasCheckBox(index)) {
    const QRect box = CheckBoxRect(rect, true);
    return QRect(box.right() + 1 + kCheckTextGap, rect.top(), rect.right() - box.right() - kCheckTextGap,
                 rect.height());
  }
  QRect textRect = rect.adjusted(kTextMargin, 0, -kTextMargin, 0);
  // A drop-down cell leaves room for its button, shown while it is selected.
  if (HasChoices(index)) textRect.setRight(DropButtonRect(rect).left() - 2);
  return textRect;
}

int CBatchDelegate::RowHeight(const QFontMetrics& metrics) {
  return std::max(metrics.height() + 6, kCheckBoxSize + 6);
}

QSize CBatchDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
  return {option.fontMetrics.horizontalAdvance(QLatin1Char('M')) * 8, RowHeight(option.fontMetrics)};
}

QRect CBatchDelegate::DropButtonRect(const QRect& cellRect) {
  const int side = cellRect.height() - 2;
  return QRect(cellRect.right() - side, cellRect.top() + 1, side, side);
}

QRect CBatchDelegate::CheckBoxRect(const QRect& cellRect, bool hasText) {
  const int size = std::min(kCheckBoxSize, cellRect.height() - 2);
  const int left =
      hasText ? cellRect.left() + kCheckBoxIndent : cellRect.left() + (cellRect.width() - size) / 2;
  return QRect(left, cellRect.top() + (cellRect.height() - size) / 2, size, size);
}

QRect CBatchDelegate::ProgressInnerRect(const QRect& cellRect) {
  // One pixel of the cell around the frame, one pixel of frame.
  return cellRect.adjusted(2, 2, -2, -2);
}

QRect CBatchDelegate::ProgressFillRect(const QRect& cellRect, int percent) {
  const QRect inner = ProgressInnerRect(cellRect);
  return QRect(inner.topLeft(), QSize(inner.width() * std::clamp(percent, 0, 100) / 100, inner.height()));
}

CBatchDelegate::Colors CBatchDelegate::CellColors(const QModelIndex& index, bool rowEnabled, bool selected,
                                                  bool hot) const {
  const BatchListColors& sys = list_->SysColors();
  const QVariant ownText = index.data(Qt::ForegroundRole);
  const QVariant ownBack = index.data(Qt::BackgroundRole);
  Colors colors{ownText.isValid() ? ownText.value<QColor>() : sys.windowText,
                ownBack.isValid() ? ownBack.value<QColor>() : sys.window};
  // A greyed row greys the text it draws in the default colour; a cell of
  // its own colour (a red warning) keeps it.
  if (!rowEnabled && !ownText.isValid()) colors.text = sys.grayText;
  if (hot && !selected) {
    // The hot-track highlight: a fifth of the selection colour over the cell.
    const QColor& mark = sys.selection;
    colors.background = QColor((colors.background.red() * 4 + mark.red()) / 5,
                               (colors.background.green() * 4 + mark.green()) / 5,
                               (colors.background.blue() * 4 + mark.blue()) / 5);
  }
  if (selected) {
    if (list_->hasFocus())
      colors = {sys.selectionText, sys.selection};
    else if (list_->ShowsSelectionAlways())
      colors = {sys.windowText, sys.buttonFace};
  }
  return colors;
}

void CBatchDelegate::paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const {
  if (!index.isValid()) return;
  const bool rowEnabled = index.data(CBatchTableModel::RowEnabledRole).toBool();
  const bool selected = option.state & QStyle::State_Selected;
  const Colors colors = CellColors(index, rowEnabled, selected, index.row() == list_->HotRow());
  const Qt::Alignment alignment = Qt::Alignment(index.data(Qt::TextAlignmentRole).toInt());
  const QString text = index.data(Qt::DisplayRole).toString();
  const bool bold = index.data(CBatchTableModel::BoldRole).toBool();
  const QRect rect = option.rect;
  p->save();
  p->setClipRect(rect);
  p->fillRect(rect, colors.background);
  if (index.data(CBatchTableModel::ProgressRole).isValid()) {
    DrawProgress(p, rect, index);
  } else if (HasChoices(index) && selected) {
    DrawComboBox(p, rect, index);
  } else if (HasCheckBox(index)) {
    DrawCheckBox(p, rect, index, rowEnabled, colors);
  } else {
    DrawText(p, rect.adjusted(kTextMargin, 0, -kTextMargin, 0), text, alignment, colors.text, bold);
  }
  p->restore();
}

void CBatchDelegate::DrawText(QPainter* p, const QRect& rect, const QString& text, Qt::Alignment alignment,
                              const QColor& color, bool bold) const {
  // Blanks draw nothing (and are never shortened to an ellipsis).
  if (text.trimmed().isEmpty() || rect.width() <= 0) return;
  QFont font = list_->font();
  font.setBold(bold);
  p->setFont(font);
  p->setPen(color);
  const QString shown = QFontMetrics(font).elidedText(text, Qt::ElideRight, rect.width());
  p->drawText(rect, int(alignment & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter | Qt::TextSingleLine, shown);
}

void CBatchDelegate::DrawCheckBox(QPainter* p, const QRect& rect, const QModelIndex& index, bool rowEnabled,
                                  const Colors& colors) const {
  const QString text = index.data(Qt::DisplayRole).toString();
  const QRect box = CheckBoxRect(rect, !text.isEmpty());
  const QBrush white(Qt::white);
  qDrawWinPanel(p, box, list_->palette(), true, &white);
  if (index.data(Qt::CheckStateRole).value<Qt::CheckState>() == Qt::Checked) {
    p->setRenderHint(QPainter::Antialiasing);
    p->setPen(QPen(rowEnabled ? QColor(Qt::black) : list_->SysColors().grayText, 2));
    const QRectF b = QRectF(box).adjusted(3, 3, -3, -3);
    p->drawPolyline(QList<QPointF>{
        {b.left(), b.center().y()}, {b.left() + b.width() * 0.4, b.bottom()}, {b.right(), b.top()}});
    p->setRenderHint(QPainter::Antialiasing, false);
  }
  const QRect textRect(box.right() + 1 + kCheckTextGap, rect.top(),
                       rect.right() - box.right() - kCheckTextGap, rect.height());
  DrawText(p, textRect, text, Qt::Alignment(index.data(Qt::TextAlignmentRole).toInt()), colors.text,
           index.data(CBatchTableModel::BoldRole).toBool());
}

void CBatchDelegate::DrawProgress(QPainter* p, const QRect& rect, const QModelIndex& index) const {
  const BatchListColors& sys = list_->SysColors();
  const int percent = index.data(CBatchTableModel::ProgressRole).toInt();
  const QRect inner = ProgressInnerRect(rect);
  p->setPen(sys.shadow);
  p->drawRect(inner.adjusted(-1, -1, 0, 0));
  p->fillRect(inner, TroughColor());
  const QRect fill = ProgressFillRect(rect, percent);
  if (fill.width() > 0) p->fillRect(fill, sys.selection);
  const QString label = QString::asprintf("%d%%", percent);
  // The text over the fill takes the cell's background colour, over the
  // trough its text colour, so it reads on both.
  const QVariant ownText = index.data(Qt::ForegroundRole);
  const QVariant ownBack = index.data(Qt::BackgroundRole);
  const QColor textColor = ownText.isValid() ? ownText.value<QColor>() : sys.windowText;
  const QColor backColor = ownBack.isValid() ? ownBack.value<QColor>() : sys.window;
  const QRect trough(fill.right() + 1, inner.top(), inner.right() - fill.right(), inner.height());
  for (const auto& [part, color] : {std::pair{fill, backColor}, std::pair{trough, textColor}}) {
    if (part.isEmpty()) continue;
    p->save();
    p->setClipRect(part);
    DrawText(p, inner, label, Qt::AlignHCenter, color, false);
    p->restore();
  }
}

void CBatchDelegate::DrawComboBox(QPainter* p, const QRect& rect, const QModelIndex& index) const {
  const BatchListColors& sys = list_->SysColors();
  const bool pressed = pressed_.isValid() && pressed_ == index;
  const QRect field = rect.adjusted(1, 1, -1, -1);
  p->fillRect(field, Qt::white);
  const QRect button = DropButtonRect(rect);
  DrawText(p, QRect(field.left() + 2, field.top(), button.left() - field.left() - 4, field.height()),
           index.data(Qt::DisplayRole).toString(), Qt::AlignLeft, sys.windowText, false);
  const QBrush face(sys.buttonFace);
  qDrawWinButton(p, button, list_->palette(), pressed, &face);
  QStyleOption arrow;
  arrow.initFrom(list_);
  arrow.rect = button.adjusted(3, 3, -3, -3).translated(pressed ? QPoint(1, 1) : QPoint());
  arrow.palette.setColor(QPalette::ButtonText, sys.buttonText);
  arrow.palette.setColor(QPalette::WindowText, sys.buttonText);
  list_->style()->drawPrimitive(QStyle::PE_IndicatorArrowDown, &arrow, p, list_);
}

bool CBatchDelegate::editorEvent(QEvent* event, QAbstractItemModel*, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) {
  // Only a press acts, and it goes on to select the row as any press does.
  if (event->type() != QEvent::MouseButtonPress) return false;
  const auto* mouse = static_cast<QMouseEvent*>(event);
  if (mouse->button() != Qt::LeftButton || !index.data(CBatchTableModel::RowEnabledRole).toBool())
    return false;
  if (HasCheckBox(index)) {
    list_->ToggleCheck(index.row());
    return false;
  }
  if (HasChoices(index) && DropButtonRect(option.rect).contains(mouse->position().toPoint())) {
    pressed_ = index;
    list_->viewport()->update(option.rect);
    // The list opens once this press has been handled as a selection.
    QTimer::singleShot(0, list_, [list = list_, cell = QPersistentModelIndex(index)] {
      if (cell.isValid()) list->edit(cell);
    });
  }
  return false;
}

QWidget* CBatchDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                      const QModelIndex& index) const {
  auto* combo = new CTargetCombo(parent);
  combo->setFont(list_->font());
  combo->addItems(index.data(CBatchTableModel::ChoicesRole).toStringList());
  auto* self = const_cast<CBatchDelegate*>(this);
  connect(combo, &QComboBox::activated, combo, [combo] { combo->chosen = true; });
  combo->hidden = [self, editor = QPointer<CTargetCombo>(combo)] {
    // Ends the editing once the event that closed the list is handled.
    QTimer::singleShot(0, self, [self, editor] {
      if (!editor) return;
      if (editor->chosen) emit self->commitData(editor);
      self->pressed_ = QPersistentModelIndex();
      emit self->closeEditor(editor);
    });
  };
  QTimer::singleShot(0, combo, [combo] { combo->showPopup(); });
  return combo;
}

void CBatchDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
  auto* combo = static_cast<QComboBox*>(editor);
  combo->setCurrentIndex(std::max(0, combo->findText(index.data(Qt::DisplayRole).toString())));
}

void CBatchDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                  const QModelIndex& index) const {
  model->setData(index, static_cast<QComboBox*>(editor)->currentText(), Qt::EditRole);
}

void CBatchDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                          const QModelIndex&) const {
  editor->setGeometry(option.rect);
}
