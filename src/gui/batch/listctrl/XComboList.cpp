#include "gui/batch/listctrl/XComboList.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>

CXComboList::CXComboList(QWidget* parent) : QListWidget(parent) {
  setWindowFlags(Qt::Popup);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setUniformItemSizes(true);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setFrameShape(QFrame::Box);
  setFrameShadow(QFrame::Plain);
}

void CXComboList::Open(const QStringList& entries, const QString& current, const QRect& cellRect,
                       int visibleRows) {
  clear();
  addItems(entries);
  const int found = int(entries.indexOf(current));
  setCurrentRow(std::max(found, 0));
  if (parentWidget()) setFont(parentWidget()->font());
  const int rows = std::clamp(visibleRows, 1, std::max(1, int(entries.size())));
  const int rowHeight = std::max(sizeHintForRow(0), fontMetrics().height());
  resize(cellRect.width(), rows * rowHeight + 2 * frameWidth());
  move(cellRect.bottomLeft() + QPoint(0, 1));
  answered_ = false;
  show();
  setFocus();
}

QString CXComboList::SelectedText() const {
  const QListWidgetItem* item = currentItem();
  return item ? item->text() : QString();
}

void CXComboList::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      answered_ = true;
      emit ReturnPressed();
      return;
    case Qt::Key_Escape:
      answered_ = true;
      emit EscapePressed();
      return;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
      QListWidget::keyPressEvent(event);
      emit KeyPressed();
      return;
    default:
      QListWidget::keyPressEvent(event);
  }
}

// A press outside a pop-up reaches the pop-up itself (not its viewport):
// the list closes, as a drop-down does.
bool CXComboList::event(QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress &&
      !rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) {
    close();
    return true;
  }
  return QListWidget::event(event);
}

void CXComboList::mousePressEvent(QMouseEvent* event) {
  QListWidget::mousePressEvent(event);
  if (itemAt(event->position().toPoint())) {
    answered_ = true;
    emit MouseReleased();
  }
}

void CXComboList::hideEvent(QHideEvent* event) {
  QListWidget::hideEvent(event);
  if (!answered_) {
    answered_ = true;
    emit Dismissed();
  }
}
