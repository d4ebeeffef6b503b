#include "support/gui/FakePlayer.h"

namespace kt {

void FakePlayer::SetFileName(const QString& path) {
  calls << QStringLiteral("SetFileName:") + path;
  if (path != fileName) ++loads;
  fileName = path;
}

void FakePlayer::SetCurrentPosition(double seconds) {
  calls << QStringLiteral("SetCurrentPosition:%1").arg(seconds, 0, 'f', 3);
  position = seconds;
}

bool FakePlayer::Play() {
  calls << QStringLiteral("Play");
  return !refusePlay && !fileName.isEmpty();
}

int FakePlayer::Count(const QString& call) const {
  int n = 0;
  for (const QString& c : calls)
    if (c == call || c.startsWith(call + QLatin1Char(':'))) ++n;
  return n;
}

}  // namespace kt
