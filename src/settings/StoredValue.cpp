#include "settings/StoredValue.h"

#include <QByteArray>
#include <QStringList>
#include <algorithm>
#include <vector>

namespace storedvalue {

namespace {

// The type numbers "hex(N):" carries: the numbers the values had where the
// settings came from, kept so that older files read the same.
constexpr std::uint32_t kTextType = 1;
constexpr std::uint32_t kNumberType = 4;

QString StoredText(const QVariant& stored) {
  return stored.typeId() == QMetaType::QStringList ? stored.toStringList().join(QLatin1Char(','))
                                                   : stored.toString();
}

struct HexValue {
  std::uint32_t type = 0;
  std::vector<std::uint8_t> bytes;
};

// "hex(N):aa,bb,..."; nothing when text is not one or is damaged.
std::optional<HexValue> ParseHex(const QString& text) {
  if (!text.startsWith(QStringLiteral("hex("))) return std::nullopt;
  const qsizetype close = text.indexOf(QStringLiteral("):"));
  if (close < 0) return std::nullopt;
  HexValue value;
  bool ok = false;
  value.type = text.mid(4, close - 4).toUInt(&ok);
  if (!ok) return std::nullopt;
  for (const QString& part : text.mid(close + 2).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
    const unsigned byte = part.trimmed().toUInt(&ok, 16);
    if (!ok || byte > 0xFF) return std::nullopt;
    value.bytes.push_back(static_cast<std::uint8_t>(byte));
  }
  return value;
}

}  // namespace

QString FromNumber(std::uint32_t value) {
  return QStringLiteral("dword:%1").arg(value, 8, 16, QLatin1Char('0'));
}

QString FromText(const std::string& text) {
  const std::string kept = text.substr(0, kMaxTextBytes);
  if (kept.find('\0') == std::string::npos)
    return QStringLiteral("sz:") + QString::fromLatin1(kept.data(), static_cast<qsizetype>(kept.size()));
  // "sz:" cannot hold a NUL: the bytes and the text's end are written one by one.
  QStringList hex;
  for (unsigned char byte : kept) hex << QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0'));
  hex << QStringLiteral("00");
  return QStringLiteral("hex(%1):").arg(kTextType) + hex.join(QLatin1Char(','));
}

std::optional<std::uint32_t> ToNumber(const QVariant& stored) {
  if (!stored.isValid()) return std::nullopt;
  const QString text = StoredText(stored);
  bool ok = false;
  if (text.startsWith(QStringLiteral("dword:"))) {
    const std::uint32_t value = text.mid(6).trimmed().toUInt(&ok, 16);
    return ok ? std::optional(value) : std::nullopt;
  }
  if (const auto hex = ParseHex(text)) {
    if (hex->type != kNumberType || hex->bytes.size() > 4) return std::nullopt;
    std::uint32_t value = 0;
    for (std::size_t i = hex->bytes.size(); i-- > 0;) value = (value << 8) | hex->bytes[i];
    return value;
  }
  const std::uint32_t value = text.toUInt(&ok, 10);
  if (ok && !text.isEmpty() && text.at(0).isDigit()) return value;
  return std::nullopt;
}

std::optional<std::string> ToText(const QVariant& stored) {
  if (!stored.isValid()) return std::nullopt;
  const QString text = StoredText(stored);
  if (text.startsWith(QStringLiteral("dword:"))) return std::nullopt;
  std::string bytes;
  if (text.startsWith(QStringLiteral("hex("))) {
    const auto hex = ParseHex(text);
    if (!hex) return std::nullopt;
    bytes.assign(hex->bytes.begin(), hex->bytes.end());
  } else {
    // Characters beyond Latin-1 (a hand edit) become '?'.
    bytes = (text.startsWith(QStringLiteral("sz:")) ? text.mid(3) : text).toLatin1().toStdString();
    bytes.push_back('\0');
  }
  if (bytes.size() > kMaxReadBytes) return std::nullopt;
  // Only printable ASCII is kept, as earlier versions read their texts.
  const auto end = std::find_if(bytes.begin(), bytes.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte > 0x7E;
  });
  return std::string(bytes.begin(), end);
}

}  // namespace storedvalue
