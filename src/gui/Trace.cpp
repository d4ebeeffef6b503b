#include "gui/Trace.h"

#include <QElapsedTimer>
#include <cstdio>

namespace {
QElapsedTimer& Clock() {
  static QElapsedTimer clock;
  return clock;
}
}  // namespace

bool TraceEnabled() {
  static const bool enabled = !qEnvironmentVariableIsEmpty("KESTRUNE_TRACE");
  return enabled;
}

void TraceLine(const QString& text) {
  if (!TraceEnabled()) return;
  std::fprintf(stderr, "kestrune-trace: %s\n", text.toLocal8Bit().constData());
  std::fflush(stderr);
}

void StartProcessClock() {
  Clock().start();
}

qint64 ProcessMilliseconds() {
  return Clock().isValid() ? Clock().elapsed() : -1;
}
