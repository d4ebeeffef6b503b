#pragma once
// The text a typed setting is kept as in the settings file. Earlier versions
// wrote every number and text in these forms, and they still read files this
// version writes, so the forms are fixed:
//   dword:0000000a      a number, eight hex digits
//   sz:text             a text, its bytes as Latin-1
//   hex(1):61,00,62,00  a text holding a NUL byte, byte by byte with its end
// Reading also takes what a person may have written by hand (a plain decimal
// number, a text without "sz:") and any "hex(N):" value an older file holds.
// A value of the wrong kind or a damaged one reads as nothing, so the caller
// falls back to its default.

#include <QString>
#include <QVariant>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace storedvalue {

// The longest text kept, in bytes: longer ones are cut.
inline constexpr std::size_t kMaxTextBytes = 1022;
// The longest value read as a text, in bytes with its end; longer ones read
// as nothing.
inline constexpr std::size_t kMaxReadBytes = 1024;

QString FromNumber(std::uint32_t value);
QString FromText(const std::string& text);

// stored: what QSettings returns for the value (a list when a hand-written
// value holds unquoted commas); an invalid QVariant when it is missing.
std::optional<std::uint32_t> ToNumber(const QVariant& stored);
// The text up to its first byte outside printable ASCII.
std::optional<std::string> ToText(const QVariant& stored);

}  // namespace storedvalue
