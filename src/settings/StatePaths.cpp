#include "settings/StatePaths.h"

#include <pwd.h>
#include <unistd.h>

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

namespace {

// HOME when it is an absolute path; else the user's entry in the password
// database: an empty or relative HOME (a service, `env -i`) would put the
// state under whatever folder the run starts in.
std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && std::filesystem::path(home).is_absolute()) return home;
  if (const passwd* user = ::getpwuid(::getuid()); user && user->pw_dir && user->pw_dir[0] == '/')
    return user->pw_dir;
  return "/";
}

}  // namespace

std::string DefaultBatchLogPath() {
  namespace fs = std::filesystem;
  fs::path folder;
  if (const char* state = std::getenv("KESTRUNE_STATE_DIR"); state && *state) {
    folder = state;
  } else if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg && fs::path(xdg).is_absolute()) {
    // A relative XDG_STATE_HOME is ignored, as the XDG base directory rules say.
    folder = fs::path(xdg) / "Kestrune";
  } else {
    folder = fs::path(HomeFolder()) / ".local" / "state" / "Kestrune";
  }
  return (folder / "batchconvert.log").string();
}
