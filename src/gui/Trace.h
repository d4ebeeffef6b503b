#pragma once
// Timing notes for measuring the program: with KESTRUNE_TRACE set in the
// environment, lines "kestrune-trace: ..." go to standard error. Silent
// otherwise.

#include <QString>

bool TraceEnabled();
void TraceLine(const QString& text);
// Milliseconds since the process's clock was started (StartProcessClock).
qint64 ProcessMilliseconds();
void StartProcessClock();
