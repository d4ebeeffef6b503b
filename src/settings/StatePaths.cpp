#include "settings/StatePaths.h"

#include <QDir>
#include <cstdlib>
#include <filesystem>

QString SettingsFilePath() {
  const QByteArray custom = qgetenv("KESTRUNE_CONFIG_DIR");
  if (!custom.isEmpty()) return QDir(QString::fromLocal8Bit(custom)).filePath(QStringLiteral("registry.ini"));
  QString base = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME"));
  if (base.isEmpty() || !QDir::isAbsolutePath(base)) base = QDir::homePath() + QStringLiteral("/.config");
  return base + QStringLiteral("/Kestrune/registry.ini");
}

std::string DefaultBatchLogPath() {
  namespace fs = std::filesystem;
  fs::path folder;
  if (const char* state = std::getenv("KESTRUNE_STATE_DIR"); state && *state) {
    folder = state;
  } else if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg && fs::path(xdg).is_absolute()) {
    // A relative XDG_STATE_HOME is ignored, as the XDG base directory rules say.
    folder = fs::path(xdg) / "Kestrune";
  } else {
    const char* home = std::getenv("HOME");
    folder = fs::path(home && *home ? home : ".") / ".local" / "state" / "Kestrune";
  }
  return (folder / "batchconvert.log").string();
}
