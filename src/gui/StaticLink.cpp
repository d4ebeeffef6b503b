#include "gui/StaticLink.h"

#include <QApplication>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QUrl>

namespace {
CStaticLink::Opener& OpenerSlot() {
  static CStaticLink::Opener opener;
  return opener;
}
std::function<void()>& BeeperSlot() {
  static std::function<void()> beeper;
  return beeper;
}
}  // namespace

CStaticLink::CStaticLink(const QString& text, QWidget* parent) : QLabel(text, parent) {
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::TabFocus);
  setTextInteractionFlags(Qt::NoTextInteraction);
  QFont underlined = font();
  underlined.setUnderline(true);
  setFont(underlined);
  ApplyColour();
}

void CStaticLink::SetOpener(Opener opener) {
  OpenerSlot() = std::move(opener);
}
void CStaticLink::SetBeeper(std::function<void()> beeper) {
  BeeperSlot() = std::move(beeper);
}

void CStaticLink::Click() {
  if (link_.isEmpty()) link_ = text();
  const QUrl url = QUrl::fromUserInput(link_);
  const bool opened = OpenerSlot() ? OpenerSlot()(link_) : QDesktopServices::openUrl(url);
  if (!opened) {
    if (BeeperSlot())
      BeeperSlot()();
    else
      QApplication::beep();
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
