#include "gui/StaticLink.h"

#include <QKeyEvent>
#include <QMouseEvent>

CStaticLink::CStaticLink(const QString& text, Opener opener, std::function<void()> beep, QWidget* parent)
    : QLabel(text, parent), opener_(std::move(opener)), beep_(std::move(beep)) {
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::TabFocus);
  setTextInteractionFlags(Qt::NoTextInteraction);
  QFont underlined = font();
  underlined.setUnderline(true);
  setFont(underlined);
  ApplyColour();
}

void CStaticLink::Click() {
  if (link_.isEmpty()) link_ = text();
  if (!opener_ || !opener_(link_)) {
    if (beep_) beep_();
    return;
  }
  visited_ = 1;
  ApplyColour();
}

void CStaticLink::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) Click();
  QLabel::mouseReleaseEvent(event);
}

void CStaticLink::keyPressEvent(QKeyEvent* event) {
  // Reachable by keyboard: Space or Enter on the focused link opens it.
  if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    Click();
    return;
  }
  QLabel::keyPressEvent(event);
}

void CStaticLink::ApplyColour() {
  QPalette p = palette();
  p.setColor(QPalette::WindowText, CurrentColour());
  setPalette(p);
  update();
}
