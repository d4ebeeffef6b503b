#pragma once
// The user settings that shape equal splits, as kept in the settings store:
// the overlap time in seconds (default 0), the filename suffix (default
// empty) and whether MP3 pieces are written gapless (default yes). Plain C++
// interface so the command-line tool can use it.

#include <cstdint>
#include <string>

inline constexpr const char* kSettingsKeyPath = "HKEY_LOCAL_MACHINE\\Software\\Kestrune";
inline constexpr const char* kOverlapTimeValue = "Overlap time";
inline constexpr const char* kFilenameSuffixValue = "Filename Suffix";
inline constexpr const char* kGaplessMp3Value = "Gapless MP3 pieces";
// The main window's waveform (1 shown, the default) and the window's size
// while it shows (0: not stored yet).
inline constexpr const char* kShowWaveformValue = "Show waveform";
inline constexpr const char* kWindowWidthValue = "Window width";
inline constexpr const char* kWindowHeightValue = "Window height";

// Reads never fail: a missing or unreadable store gives the default.
std::uint32_t ReadOverlapTime();
std::string ReadSuffix();
bool ReadGaplessMp3();
// False when the store cannot be written.
bool WriteOverlapTime(std::uint32_t seconds);
bool WriteSuffix(const std::string& suffix);
bool WriteGaplessMp3(bool gapless);
// Any other number in the store: fallback when missing or unreadable.
std::uint32_t ReadDwordSetting(const char* name, std::uint32_t fallback);
bool WriteDwordSetting(const char* name, std::uint32_t value);
