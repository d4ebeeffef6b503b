#include "settings/BatchWindowSettings.h"

#include <QString>
#include <QStringList>
#include <string>

#include "settings/Registry.h"
#include "settings/RegistrySettings.h"

namespace {

constexpr int kMaxColumnWidth = 10000;

// Values are kept as printable text (the store's strings cut anything else).
bool ReadText(const char* name, std::string& text) {
  try {
    CRegistry registry(kSettingsKeyPath);
    return registry.ReadString(name, text);
  } catch (...) {
    return false;
  }
}

bool WriteText(const char* name, const std::string& text) {
  try {
    CRegistry registry(kSettingsKeyPath);
    return registry.WriteString(name, text);
  } catch (...) {
    return false;
  }
}

}  // namespace

QByteArray ReadBatchWindowGeometry() {
  std::string text;
  if (!ReadText(kBatchGeometryValue, text)) return {};
  const QByteArray hex = QByteArray::fromStdString(text);
  const auto decoded = QByteArray::fromHex(hex);
  // fromHex skips what is not hex: only a clean, even string counts.
  return decoded.toHex() == hex.toLower() ? decoded : QByteArray();
}

bool WriteBatchWindowGeometry(const QByteArray& geometry) {
  if (geometry.size() * 2 > int(CRegistry::kWriteSizeLimit)) return false;
  return WriteText(kBatchGeometryValue, geometry.toHex().toStdString());
}

std::vector<int> ReadBatchColumnWidths(int count) {
  std::string text;
  if (!ReadText(kBatchColumnWidthsValue, text)) return {};
  const QStringList parts = QString::fromStdString(text).split(QLatin1Char(','));
  if (parts.size() != count) return {};
  std::vector<int> widths;
  for (const QString& part : parts) {
    bool ok = false;
    const int width = part.trimmed().toInt(&ok);
    if (!ok || width < 1 || width > kMaxColumnWidth) return {};
    widths.push_back(width);
  }
  return widths;
}

bool WriteBatchColumnWidths(const std::vector<int>& widths) {
  QStringList parts;
  for (int width : widths) parts << QString::number(width);
  return WriteText(kBatchColumnWidthsValue, parts.join(QLatin1Char(',')).toStdString());
}
