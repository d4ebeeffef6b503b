#include "gui/batch/listctrl/XListDelegate.h"

#include <qdrawutil.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QToolTip>
#include <algorithm>

#include "gui/batch/listctrl/XListCtrl.h"
#include "gui/batch/listctrl/XListModel.h"

namespace {
constexpr XColorRef kTroughColor = 0xE0E0E0;
}  // namespace

CXListDelegate::CXListDelegate(CXListCtrl* list) : QStyledItemDelegate(list), list_(list) {}

bool CXListDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
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

QRect CXListDelegate::TextRect(const QRect& rect, const XListCell& cell) const {
  if (cell.check == 0 || cell.check == 1) {
    const QRect box = CheckBoxRect(rect, true);
    return QRect(box.right() + 1 + kCheckTextGap, rect.top(), rect.right() - box.right() - kCheckTextGap,
                 rect.height());
  }
  QRect textRect = rect.adjusted(kTextMargin, 0, -kTextMargin, 0);
  // A drop-down cell leaves room for its button, shown while it is selected.
  if (cell.combo) textRect.setRight(DropButtonRect(rect).left() - 2);
  return textRect;
}

int CXListDelegate::RowHeight(const QFontMetrics& metrics) {
  return std::max(metrics.height() + 6, kCheckBoxSize + 6);
}

QSize CXListDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
  return {option.fontMetrics.horizontalAdvance(QLatin1Char('M')) * 8, RowHeight(option.fontMetrics)};
}

QRect CXListDelegate::DropButtonRect(const QRect& cellRect) {
  const int side = cellRect.height() - 2;
  return QRect(cellRect.right() - side, cellRect.top() + 1, side, side);
}

QRect CXListDelegate::CheckBoxRect(const QRect& cellRect, bool hasText) {
  const int size = std::min(kCheckBoxSize, cellRect.height() - 2);
  const int left =
      hasText ? cellRect.left() + kCheckBoxIndent : cellRect.left() + (cellRect.width() - size) / 2;
  return QRect(left, cellRect.top() + (cellRect.height() - size) / 2, size, size);
}

QRect CXListDelegate::ProgressInnerRect(const QRect& cellRect) {
  // One pixel of the cell around the frame, one pixel of frame.
  return cellRect.adjusted(2, 2, -2, -2);
}

QRect CXListDelegate::ProgressFillRect(const QRect& cellRect, int percent) {
  const QRect inner = ProgressInnerRect(cellRect);
  return QRect(inner.topLeft(), QSize(inner.width() * std::clamp(percent, 0, 100) / 100, inner.height()));
}

QString CXListDelegate::ProgressLabel(const XListCell& cell) {
  if (!cell.progressTextShown) return QString();
  return cell.progressText.isEmpty() ? QString::asprintf("%d%%", cell.progressPercent) : cell.progressText;
}

CXListDelegate::Colors CXListDelegate::CellColors(const XListCell& cell, bool rowEnabled, bool selected,
                                                  bool hot) const {
  const XListSysColors& sys = list_->GetSysColors();
  Colors colors{cell.textColor == kXDefaultColor ? sys.windowText : QColorFromRef(cell.textColor),
                cell.backgroundColor == kXDefaultColor ? sys.window : QColorFromRef(cell.backgroundColor)};
  // A disabled row greys the text it draws in the default colour; a cell
  // given its own colour (a red warning) keeps it.
  if (!rowEnabled && cell.textColor == kXDefaultColor) colors.text = sys.grayText;
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

void CXListDelegate::paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const {
  const auto* model = qobject_cast<const CXListModel*>(index.model());
  const XListCell* cell = model ? model->Cell(index.row(), index.column()) : nullptr;
  if (!cell) return;
  const bool rowEnabled = model->RowEnabled(index.row());
  const bool selected = option.state & QStyle::State_Selected;
  const Colors colors = CellColors(*cell, rowEnabled, selected, index.row() == list_->HotRow());
  const Qt::Alignment alignment = model->ColumnAlignment(index.column());
  const QRect rect = option.rect;
  p->save();
  p->setClipRect(rect);
  p->fillRect(rect, colors.background);
  if (cell->progressShown) {
    DrawProgress(p, rect, *cell);
  } else if (cell->combo && selected) {
    DrawComboBox(p, rect, *cell);
  } else if (cell->combo) {
    DrawText(p, rect.adjusted(kTextMargin, 0, -kTextMargin, 0), cell->text, alignment, colors.text,
             cell->bold);
  } else if (cell->check == 0 || cell->check == 1) {
    DrawCheckBox(p, rect, *cell, rowEnabled, colors, alignment);
  } else {
    DrawText(p, rect.adjusted(kTextMargin, 0, -kTextMargin, 0), cell->text, alignment, colors.text,
             cell->bold);
  }
  p->restore();
}

void CXListDelegate::DrawText(QPainter* p, const QRect& rect, const QString& text, Qt::Alignment alignment,
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

void CXListDelegate::DrawCheckBox(QPainter* p, const QRect& rect, const XListCell& cell, bool rowEnabled,
                                  const Colors& colors, Qt::Alignment alignment) const {
  const QRect box = CheckBoxRect(rect, !cell.text.isEmpty());
  const QBrush white(Qt::white);
  qDrawWinPanel(p, box, list_->palette(), true, &white);
  if (cell.check == 1) {
    p->setRenderHint(QPainter::Antialiasing);
    p->setPen(QPen(rowEnabled ? QColor(Qt::black) : list_->GetSysColors().grayText, 2));
    const QRectF b = QRectF(box).adjusted(3, 3, -3, -3);
    p->drawPolyline(QList<QPointF>{
        {b.left(), b.center().y()}, {b.left() + b.width() * 0.4, b.bottom()}, {b.right(), b.top()}});
    p->setRenderHint(QPainter::Antialiasing, false);
  }
  const QRect textRect(box.right() + 1 + kCheckTextGap, rect.top(),
                       rect.right() - box.right() - kCheckTextGap, rect.height());
  DrawText(p, textRect, cell.text, alignment, colors.text, cell.bold);
}

void CXListDelegate::DrawProgress(QPainter* p, const QRect& rect, const XListCell& cell) const {
  const XListSysColors& sys = list_->GetSysColors();
  const QRect inner = ProgressInnerRect(rect);
  p->setPen(sys.shadow);
  p->drawRect(inner.adjusted(-1, -1, 0, 0));
  p->fillRect(inner, QColorFromRef(kTroughColor));
  const QRect fill = ProgressFillRect(rect, cell.progressPercent);
  if (fill.width() > 0) p->fillRect(fill, sys.selection);
  const QString label = ProgressLabel(cell);
  if (label.isEmpty()) return;
  // The text over the fill takes the cell's background colour, over the
  // trough its text colour, so it reads on both.
  const QColor textColor = cell.textColor == kXDefaultColor ? sys.windowText : QColorFromRef(cell.textColor);
  const QColor backColor =
      cell.backgroundColor == kXDefaultColor ? sys.window : QColorFromRef(cell.backgroundColor);
  const QRect trough(fill.right() + 1, inner.top(), inner.right() - fill.right(), inner.height());
  for (const auto& [part, color] : {std::pair{fill, backColor}, std::pair{trough, textColor}}) {
    if (part.isEmpty()) continue;
    p->save();
    p->setClipRect(part);
    DrawText(p, inner, label, Qt::AlignHCenter, color, cell.bold);
    p->restore();
  }
}

void CXListDelegate::DrawComboBox(QPainter* p, const QRect& rect, const XListCell& cell) const {
  const XListSysColors& sys = list_->GetSysColors();
  const QRect field = rect.adjusted(1, 1, -1, -1);
  p->fillRect(field, Qt::white);
  const QRect button = DropButtonRect(rect);
  DrawText(p, QRect(field.left() + 2, field.top(), button.left() - field.left() - 4, field.height()),
           cell.text, Qt::AlignLeft, sys.windowText, cell.bold);
  const QBrush face(sys.buttonFace);
  qDrawWinButton(p, button, list_->palette(), cell.comboPressed, &face);
  QStyleOption arrow;
  arrow.initFrom(list_);
  arrow.rect = button.adjusted(3, 3, -3, -3).translated(cell.comboPressed ? QPoint(1, 1) : QPoint());
  arrow.palette.setColor(QPalette::ButtonText, sys.buttonText);
  arrow.palette.setColor(QPalette::WindowText, sys.buttonText);
  list_->style()->drawPrimitive(QStyle::PE_IndicatorArrowDown, &arrow, p, list_);
}
