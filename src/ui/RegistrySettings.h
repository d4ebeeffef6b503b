#pragma once
// The two user settings that shape equal splits, as kept in the settings
// store: the overlap time in seconds (default 0) and the filename suffix
// (default empty). Plain C++ interface so the command-line tool can use it.

#include <cstdint>
#include <string>

inline constexpr const char* kSettingsKeyPath = "HKEY_LOCAL_MACHINE\\Software\\Kestrune";
inline constexpr const char* kOverlapTimeValue = "Overlap time";
inline constexpr const char* kFilenameSuffixValue = "Filename Suffix";

// Reads never fail: a missing or unreadable store gives the default.
std::uint32_t ReadOverlapTime();
std::string ReadSuffix();
// False when the store cannot be written.
bool WriteOverlapTime(std::uint32_t seconds);
bool WriteSuffix(const std::string& suffix);
