#include "gui/FilterEdit.h"

#include <QKeyEvent>

void CFilterEdit::keyPressEvent(QKeyEvent* event) {
  const QString text = event->text();
  if (text.size() == 1 && refused_.contains(text.at(0))) {
    event->accept();
    return;
  }
  QLineEdit::keyPressEvent(event);
}
