#include "settings/RegistrySettings.h"

#include "settings/Registry.h"

#include <QFileInfo>

// Each access opens the key for itself; any failure of the store becomes the
// default value or a false result.

namespace {
// Reading creates nothing: without a store file every value is its default,
// and the store's folder is not made (info and shred --estimate only read).
bool StoreExists() {
  return QFileInfo::exists(RegistryFilePath());
}
}  // namespace

std::uint32_t ReadOverlapTime() {
  if (!StoreExists()) return 0;
  try {
    CRegistry registry(kSettingsKeyPath);
    std::uint32_t value = 0;
    return registry.ReadDword(kOverlapTimeValue, value) ? value : 0;
  } catch (...) {
    return 0;
  }
}

std::string ReadSuffix() {
  if (!StoreExists()) return {};
  try {
    CRegistry registry(kSettingsKeyPath);
    std::string text;
    return registry.ReadString(kFilenameSuffixValue, text) ? text : std::string();
  } catch (...) {
    return {};
  }
}

bool ReadGaplessMp3() {
  if (!StoreExists()) return true;
  try {
    CRegistry registry(kSettingsKeyPath);
    std::uint32_t value = 1;
    return registry.ReadDword(kGaplessMp3Value, value) ? value != 0 : true;
  } catch (...) {
    return true;
  }
}

bool WriteOverlapTime(std::uint32_t seconds) {
  try {
    CRegistry registry(kSettingsKeyPath);
    return registry.WriteDword(kOverlapTimeValue, seconds);
  } catch (...) {
    return false;
  }
}

bool WriteSuffix(const std::string& suffix) {
  try {
    CRegistry registry(kSettingsKeyPath);
    return registry.WriteString(kFilenameSuffixValue, suffix);
  } catch (...) {
    return false;
  }
}

bool WriteGaplessMp3(bool gapless) {
  try {
    CRegistry registry(kSettingsKeyPath);
    return registry.WriteDword(kGaplessMp3Value, gapless ? 1 : 0);
  } catch (...) {
    return false;
  }
}

std::uint32_t ReadDwordSetting(const char* name, std::uint32_t fallback) {
  try {
    CRegistry registry(kSettingsKeyPath);
    std::uint32_t value = fallback;
    return registry.ReadDword(name, value) ? value : fallback;
  } catch (...) {
    return fallback;
  }
}

bool WriteDwordSetting(const char* name, std::uint32_t value) {
  try {
    CRegistry registry(kSettingsKeyPath);
    return registry.WriteDword(name, value);
  } catch (...) {
    return false;
  }
}
