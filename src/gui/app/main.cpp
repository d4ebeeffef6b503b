// kestrune: the desktop program.

#include <QtGlobal>

#include "gui/app/MainApp.h"
#include "gui/MediaPlayer2.h"
#include "gui/Trace.h"

int main(int argc, char** argv) {
  StartProcessClock();
  // Qt's ffmpeg media backend crashes where no audio device exists; the
  // GStreamer one plays everywhere. A user's own choice stays in force.
  if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND")) qputenv("QT_MEDIA_BACKEND", "gstreamer");
  QuietMediaBackendWarnings();
  CMainApp app(argc, argv);
  return app.Run();
}
