#include "settings/RegistrySettings.h"

#include "settings/SettingsStore.h"
#include "settings/StatePaths.h"

namespace {
CSettingsStore UserStore() {
  return CSettingsStore(SettingsFilePath());
}
}  // namespace

std::uint32_t ReadOverlapTime() {
  return UserStore().OverlapTime();
}
std::string ReadSuffix() {
  return UserStore().Suffix();
}
bool ReadGaplessMp3() {
  return UserStore().GaplessMp3();
}
bool WriteOverlapTime(std::uint32_t seconds) {
  return UserStore().SetOverlapTime(seconds);
}
bool WriteSuffix(const std::string& suffix) {
  return UserStore().SetSuffix(suffix);
}
bool WriteGaplessMp3(bool gapless) {
  return UserStore().SetGaplessMp3(gapless);
}
std::uint32_t ReadDwordSetting(const char* name, std::uint32_t fallback) {
  return UserStore().ReadNumber(name, fallback);
}
bool WriteDwordSetting(const char* name, std::uint32_t value) {
  return UserStore().WriteNumber(name, value);
}
QByteArray ReadBatchWindowGeometry() {
  return UserStore().BatchWindowGeometry();
}
bool WriteBatchWindowGeometry(const QByteArray& geometry) {
  return UserStore().SetBatchWindowGeometry(geometry);
}
std::vector<int> ReadBatchColumnWidths(int count) {
  return UserStore().BatchColumnWidths(count);
}
bool WriteBatchColumnWidths(const std::vector<int>& widths) {
  return UserStore().SetBatchColumnWidths(widths);
}

namespace recent {
QStringList Files() {
  return UserStore().RecentFiles();
}
void Add(const QString& path) {
  UserStore().AddRecentFile(path);
}
void Remove(const QString& path) {
  UserStore().RemoveRecentFile(path);
}
QString LastFolder() {
  return UserStore().LastFolder();
}
void SetLastFolder(const QString& folder) {
  UserStore().SetLastFolder(folder);
}
}  // namespace recent
