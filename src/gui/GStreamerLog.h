#pragma once
// GStreamer's audio library prints a critical line on standard error when it
// is asked for an empty output buffer, which happens whenever a gapless MP3
// decoder clips a whole lead-in frame: harmless, and not for the user. Its
// warnings and criticals go to the Qt logging category "kestrune.gstreamer"
// instead, whose warnings are off unless enabled
// (QT_LOGGING_RULES="kestrune.gstreamer.warning=true"). With GST_DEBUG set,
// GStreamer's own output is left as it is.

// Installs the routing once per process; later calls do nothing.
void RouteGStreamerAudioLog();
