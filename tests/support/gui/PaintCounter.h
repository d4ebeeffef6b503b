#pragma once
// Counts the paint events a widget gets and the region they cover, to check
// that a change repaints only what it changed (tests and bench/batch-list).

#include <QCoreApplication>
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

  // Runs pending events until two passes in a row paint nothing on widget
  // (views repaint from zero-time timers), so later counts see only new paints.
  static void Settle(QObject* widget, int maxPasses = 100) {
    PaintCounter counter;
    widget->installEventFilter(&counter);
    for (int pass = 0, quiet = 0; pass < maxPasses && quiet < 2; ++pass) {
      const int before = counter.paints;
      QCoreApplication::sendPostedEvents();
      QCoreApplication::processEvents();
      quiet = counter.paints == before ? quiet + 1 : 0;
    }
    widget->removeEventFilter(&counter);
  }
};

}  // namespace kt
