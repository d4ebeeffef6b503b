#include "gui/BitmapButton.h"

#include <QFile>
#include <QPainter>

#include "gui/Resources.h"

namespace {
constexpr char kSuffixes[4] = {'U', 'D', 'F', 'X'};
}

CBitmapButton::CBitmapButton(const QString& caption, QWidget* parent) : QAbstractButton(parent) {
  InitKestruneResources();
  setText(caption);
  setAccessibleName(caption);
  setFocusPolicy(Qt::StrongFocus);
  setFixedSize(sizeHint());
  LoadBitmaps(caption);
}

bool CBitmapButton::LoadBitmaps(const QString& caption) {
  bool all = true;
  for (int i = 0; i < 4; ++i) {
    const QString name =
        QStringLiteral(":/kestrune/buttons/%1%2.svg").arg(caption).arg(QLatin1Char(kSuffixes[i]));
    // Buttons that are never disabled come without the X image.
    if (!QFile::exists(name)) {
      all = false;
      continue;
    }
    all = images_[static_cast<std::size_t>(i)].load(name) && all;
  }
  update();
  return all;
}

char CBitmapButton::CurrentState() const {
  if (!isEnabled()) return 'X';
  if (isDown()) return 'D';
  if (hasFocus()) return 'F';
  return 'U';
}

void CBitmapButton::paintEvent(QPaintEvent*) {
  const char state = CurrentState();
  const int index = state == 'U' ? 0 : state == 'D' ? 1 : state == 'F' ? 2 : 3;
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  images_[static_cast<std::size_t>(index)].render(&painter, QRectF(rect()));
}
