// kestrune: the desktop program.

#include <QtGlobal>
#include <cstdio>

#include "gui/MediaPlayer2.h"
#include "gui/Trace.h"
#include "gui/app/InfoOptions.h"
#include "gui/app/MainApp.h"

int main(int argc, char** argv) {
  StartProcessClock();
  // Help and the version need no display: answered before the toolkit starts.
  if (const auto code = AnswerInfoOptions(argc, argv, stdout, stderr)) return *code;
  // Qt's ffmpeg media backend crashes where no audio device exists; the
  // GStreamer one plays everywhere. A user's own choice stays in force.
  if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND")) qputenv("QT_MEDIA_BACKEND", "gstreamer");
  QuietMediaBackendWarnings();
  CMainApp app(argc, argv);
  return app.Run();
}
