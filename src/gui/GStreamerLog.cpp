#include "gui/GStreamerLog.h"

#include <glib.h>

#include <QLoggingCategory>
#include <mutex>

namespace {

Q_LOGGING_CATEGORY(lcGStreamer, "kestrune.gstreamer", QtCriticalMsg)

void ToQtLog(const gchar* domain, GLogLevelFlags, const gchar* message, gpointer) {
  qCWarning(lcGStreamer, "%s: %s", domain ? domain : "", message ? message : "");
}

}  // namespace

void RouteGStreamerAudioLog() {
  static std::once_flag once;
  std::call_once(once, [] {
    if (!qEnvironmentVariableIsEmpty("GST_DEBUG")) return;
    g_log_set_handler("GStreamer-Audio",
                      static_cast<GLogLevelFlags>(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING), ToQtLog,
                      nullptr);
  });
}
