// kestrune: the desktop program.

#include <QtGlobal>

#include "ui/MainApp.h"
#include "ui/MediaPlayer2.h"
#include "ui/Trace.h"

int main(int argc, char** argv) {
  StartProcessClock();
  // Qt's ffmpeg media backend crashes where no audio device exists; the
  // GStreamer one plays everywhere. A user's own choice stays in force.
  if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND")) qputenv("QT_MEDIA_BACKEND", "gstreamer");
  QuietMediaBackendWarnings();
  CMainApp app(argc, argv);
  return app.Run();
}
