#pragma once
// What the desktop program remembers besides the two split settings, in the
// same settings store (RegistryFilePath): the files opened last, newest
// first, and the folder the file dialogs returned last. Paths are kept as
// Unicode text, so names outside ASCII survive.

#include <QString>
#include <QStringList>

namespace recent {

inline constexpr int kMaxFiles = 8;

QStringList Files();
// Puts path first (moving it up when listed already), keeping eight at most.
void Add(const QString& path);
void Remove(const QString& path);

QString LastFolder();
void SetLastFolder(const QString& folder);

}  // namespace recent
