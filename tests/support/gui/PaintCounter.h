#pragma once
// Counts the paint events a widget gets and the region they cover, to check
// that a change repaints only what it changed (tests and bench/batch-list).

#include <QEvent>
#include <QObject>
#include <QPaintEvent>
#include <QRegion>

namespace kt {

class PaintCounter : public QObject {
 public:
  int paints = 0;
  QRegion painted;

  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      ++paints;
      painted += static_cast<QPaintEvent*>(event)->region();
    }
    return false;
  }
};

}  // namespace kt
