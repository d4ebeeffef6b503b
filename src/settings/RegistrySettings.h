#pragma once
// The user's settings store (SettingsFilePath) through free functions, for
// the callers not yet handed a CSettingsStore.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <string>
#include <vector>

#include "settings/SettingsStore.h"

std::uint32_t ReadOverlapTime();
std::string ReadSuffix();
bool ReadGaplessMp3();
bool WriteOverlapTime(std::uint32_t seconds);
bool WriteSuffix(const std::string& suffix);
bool WriteGaplessMp3(bool gapless);
std::uint32_t ReadDwordSetting(const char* name, std::uint32_t fallback);
bool WriteDwordSetting(const char* name, std::uint32_t value);
QByteArray ReadBatchWindowGeometry();
bool WriteBatchWindowGeometry(const QByteArray& geometry);
std::vector<int> ReadBatchColumnWidths(int count);
bool WriteBatchColumnWidths(const std::vector<int>& widths);

namespace recent {
inline constexpr int kMaxFiles = CSettingsStore::kMaxRecentFiles;
QStringList Files();
void Add(const QString& path);
void Remove(const QString& path);
QString LastFolder();
void SetLastFolder(const QString& folder);
}  // namespace recent
