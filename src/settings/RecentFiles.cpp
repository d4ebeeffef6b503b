#include "settings/RecentFiles.h"

#include <QSettings>

#include "settings/Registry.h"

namespace recent {

namespace {
// A section of its own: the registry keys' sections are named by key paths.
constexpr const char* kFilesKey = "Desktop/Recent files";
constexpr const char* kFolderKey = "Desktop/Last folder";

QVariant Read(const char* key) {
  return QSettings(RegistryFilePath(), QSettings::IniFormat).value(QString::fromLatin1(key));
}

void Write(const char* key, const QVariant& value) {
  QSettings(RegistryFilePath(), QSettings::IniFormat).setValue(QString::fromLatin1(key), value);
}
}  // namespace

QStringList Files() {
  QStringList files = Read(kFilesKey).toStringList();
  files.removeAll(QString());
  files.removeDuplicates();
  return files.mid(0, kMaxFiles);
}

void Add(const QString& path) {
  QStringList files = Files();
  files.removeAll(path);
  files.prepend(path);
  Write(kFilesKey, files.mid(0, kMaxFiles));
}

void Remove(const QString& path) {
  QStringList files = Files();
  files.removeAll(path);
  Write(kFilesKey, files);
}

QString LastFolder() {
  return Read(kFolderKey).toString();
}

void SetLastFolder(const QString& folder) {
  Write(kFolderKey, folder);
}

}  // namespace recent
