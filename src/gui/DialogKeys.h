#pragma once

#include <QKeyEvent>

// Enter and Escape end a QDialog by default; the program's own windows stay
// open on them. Returns true when the key was such a key and is now taken.
inline bool SwallowDialogEndKey(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
      event->accept();
      return true;
    default:
      return false;
  }
}
