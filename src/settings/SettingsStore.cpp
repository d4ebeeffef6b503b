#include "settings/SettingsStore.h"

#include <QFileInfo>
#include <QSettings>
#include <utility>

#include "settings/Registry.h"

// The split settings and the windows' numbers go through CRegistry, which
// keeps each value typed ("dword:", "sz:"); the recent files are plain
// QSettings lists in a section of their own. Each access opens the store for
// itself, so two processes see each other's writes, and any failure of the
// store becomes the default value or a false result.

namespace {
constexpr int kMaxColumnWidth = 10000;
// A section of its own: the typed values' sections are named by key paths.
constexpr const char* kRecentFilesKey = "Desktop/Recent files";
constexpr const char* kLastFolderKey = "Desktop/Last folder";
}  // namespace

CSettingsStore::CSettingsStore(QString filePath) : filePath_(std::move(filePath)) {}

bool CSettingsStore::Exists() const {
  return QFileInfo::exists(filePath_);
}

std::uint32_t CSettingsStore::ReadNumber(const char* name, std::uint32_t fallback) const {
  // Reading creates nothing: without a store file every value is its default,
  // and the store's folder is not made (info and shred --estimate only read).
  if (!Exists()) return fallback;
  try {
    CRegistry registry(filePath_, kSettingsKeyPath);
    std::uint32_t value = fallback;
    return registry.ReadDword(name, value) ? value : fallback;
  } catch (REGISTRYERROR) {
    return fallback;
  }
}

bool CSettingsStore::WriteNumber(const char* name, std::uint32_t value) const {
  try {
    CRegistry registry(filePath_, kSettingsKeyPath);
    return registry.WriteDword(name, value);
  } catch (REGISTRYERROR) {
    return false;
  }
}

bool CSettingsStore::ReadText(const char* name, std::string& text) const {
  if (!Exists()) return false;
  try {
    CRegistry registry(filePath_, kSettingsKeyPath);
    return registry.ReadString(name, text);
  } catch (REGISTRYERROR) {
    return false;
  }
}

bool CSettingsStore::WriteText(const char* name, const std::string& text) const {
  try {
    CRegistry registry(filePath_, kSettingsKeyPath);
    return registry.WriteString(name, text);
  } catch (REGISTRYERROR) {
    return false;
  }
}

std::uint32_t CSettingsStore::OverlapTime() const {
  return ReadNumber(kOverlapTimeValue, 0);
}

bool CSettingsStore::SetOverlapTime(std::uint32_t seconds) const {
  return WriteNumber(kOverlapTimeValue, seconds);
}

std::string CSettingsStore::Suffix() const {
  std::string text;
  return ReadText(kFilenameSuffixValue, text) ? text : std::string();
}

bool CSettingsStore::SetSuffix(const std::string& suffix) const {
  return WriteText(kFilenameSuffixValue, suffix);
}

bool CSettingsStore::GaplessMp3() const {
  return ReadNumber(kGaplessMp3Value, 1) != 0;
}

bool CSettingsStore::SetGaplessMp3(bool gapless) const {
  return WriteNumber(kGaplessMp3Value, gapless ? 1 : 0);
}

bool CSettingsStore::ShowWaveform() const {
  return ReadNumber(kShowWaveformValue, 1) != 0;
}

bool CSettingsStore::SetShowWaveform(bool shown) const {
  return WriteNumber(kShowWaveformValue, shown ? 1 : 0);
}

QSize CSettingsStore::WindowSize() const {
  const auto width = static_cast<int>(ReadNumber(kWindowWidthValue, 0));
  const auto height = static_cast<int>(ReadNumber(kWindowHeightValue, 0));
  return QSize(width, height);
}

bool CSettingsStore::SetWindowSize(QSize size) const {
  const bool width = WriteNumber(kWindowWidthValue, static_cast<std::uint32_t>(size.width()));
  return WriteNumber(kWindowHeightValue, static_cast<std::uint32_t>(size.height())) && width;
}

// The geometry and the widths are kept as printable text: the store's
// strings cut anything else.
QByteArray CSettingsStore::BatchWindowGeometry() const {
  std::string text;
  if (!ReadText(kBatchGeometryValue, text)) return {};
  const QByteArray hex = QByteArray::fromStdString(text);
  const auto decoded = QByteArray::fromHex(hex);
  // fromHex skips what is not hex: only a clean, even string counts.
  return decoded.toHex() == hex.toLower() ? decoded : QByteArray();
}

bool CSettingsStore::SetBatchWindowGeometry(const QByteArray& geometry) const {
  if (geometry.size() * 2 > int(CRegistry::kWriteSizeLimit)) return false;
  return WriteText(kBatchGeometryValue, geometry.toHex().toStdString());
}

std::vector<int> CSettingsStore::BatchColumnWidths(int count) const {
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

bool CSettingsStore::SetBatchColumnWidths(const std::vector<int>& widths) const {
  QStringList parts;
  for (int width : widths) parts << QString::number(width);
  return WriteText(kBatchColumnWidthsValue, parts.join(QLatin1Char(',')).toStdString());
}

QStringList CSettingsStore::RecentFiles() const {
  if (!Exists()) return {};
  QStringList files =
      QSettings(filePath_, QSettings::IniFormat).value(QString::fromLatin1(kRecentFilesKey)).toStringList();
  files.removeAll(QString());
  files.removeDuplicates();
  return files.mid(0, kMaxRecentFiles);
}

void CSettingsStore::AddRecentFile(const QString& path) const {
  QStringList files = RecentFiles();
  files.removeAll(path);
  files.prepend(path);
  QSettings(filePath_, QSettings::IniFormat)
      .setValue(QString::fromLatin1(kRecentFilesKey), files.mid(0, kMaxRecentFiles));
}

void CSettingsStore::RemoveRecentFile(const QString& path) const {
  QStringList files = RecentFiles();
  files.removeAll(path);
  QSettings(filePath_, QSettings::IniFormat).setValue(QString::fromLatin1(kRecentFilesKey), files);
}

QString CSettingsStore::LastFolder() const {
  if (!Exists()) return {};
  return QSettings(filePath_, QSettings::IniFormat).value(QString::fromLatin1(kLastFolderKey)).toString();
}

void CSettingsStore::SetLastFolder(const QString& folder) const {
  QSettings(filePath_, QSettings::IniFormat).setValue(QString::fromLatin1(kLastFolderKey), folder);
}
