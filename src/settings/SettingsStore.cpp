#include "settings/SettingsStore.h"

#include <QSettings>
#include <utility>

#include "settings/StoredValue.h"

// The split settings and the windows' numbers are typed values in the
// section kSettingsKeyPath (settings/StoredValue.h: "dword:", "sz:"); the
// recent files and the last folder are plain QSettings values in a section
// of their own. Any failure of the store becomes the default value or a
// false result.

namespace {
constexpr int kMaxColumnWidth = 10000;
// A section of its own: the typed values' section is named by a key path.
constexpr const char* kRecentFilesKey = "Desktop/Recent files";
constexpr const char* kLastFolderKey = "Desktop/Last folder";

// QSettings takes '/' as the separator of sections and names; a value name
// keeps its own escaped, as the file has always spelled it.
QString TypedKey(const char* name) {
  QString escaped = QString::fromLatin1(name);
  escaped.replace(QLatin1Char('%'), QStringLiteral("%25")).replace(QLatin1Char('/'), QStringLiteral("%2F"));
  return QString::fromLatin1(kSettingsKeyPath) + QLatin1Char('/') + escaped;
}
}  // namespace

CSettingsStore::CSettingsStore(QString filePath)
    : filePath_(std::move(filePath)),
      settings_(std::make_unique<QSettings>(filePath_, QSettings::IniFormat)) {}

CSettingsStore::~CSettingsStore() = default;

QVariant CSettingsStore::Read(const QString& key) const {
  const std::lock_guard lock(mutex_);
  // Takes in another process's saves; without changes of our own this only
  // reads the file again when it changed, and creates nothing.
  settings_->sync();
  return settings_->value(key);
}

bool CSettingsStore::Write(std::initializer_list<std::pair<QString, QVariant>> values) const {
  const std::lock_guard lock(mutex_);
  // Checked first: a value QSettings could not save would stay in its cache,
  // read back as if stored and be saved by some later write.
  if (!settings_->isWritable()) return false;
  for (const auto& [key, value] : values) settings_->setValue(key, value);
  settings_->sync();
  return settings_->status() == QSettings::NoError;
}

std::uint32_t CSettingsStore::ReadNumber(const char* name, std::uint32_t fallback) const {
  return storedvalue::ToNumber(Read(TypedKey(name))).value_or(fallback);
}

bool CSettingsStore::WriteNumber(const char* name, std::uint32_t value) const {
  return Write({{TypedKey(name), storedvalue::FromNumber(value)}});
}

bool CSettingsStore::ReadText(const char* name, std::string& text) const {
  const auto stored = storedvalue::ToText(Read(TypedKey(name)));
  if (stored) text = *stored;
  return stored.has_value();
}

bool CSettingsStore::WriteText(const char* name, const std::string& text) const {
  return Write({{TypedKey(name), storedvalue::FromText(text)}});
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
  return Write(
      {{TypedKey(kWindowWidthValue), storedvalue::FromNumber(static_cast<std::uint32_t>(size.width()))},
       {TypedKey(kWindowHeightValue), storedvalue::FromNumber(static_cast<std::uint32_t>(size.height()))}});
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
  if (std::size_t(geometry.size()) * 2 > storedvalue::kMaxTextBytes) return false;
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
  QStringList files = Read(QString::fromLatin1(kRecentFilesKey)).toStringList();
  files.removeAll(QString());
  files.removeDuplicates();
  return files.mid(0, kMaxRecentFiles);
}

void CSettingsStore::AddRecentFile(const QString& path) const {
  QStringList files = RecentFiles();
  files.removeAll(path);
  files.prepend(path);
  Write({{QString::fromLatin1(kRecentFilesKey), files.mid(0, kMaxRecentFiles)}});
}

void CSettingsStore::RemoveRecentFile(const QString& path) const {
  QStringList files = RecentFiles();
  files.removeAll(path);
  Write({{QString::fromLatin1(kRecentFilesKey), files}});
}

QString CSettingsStore::LastFolder() const {
  return Read(QString::fromLatin1(kLastFolderKey)).toString();
}

void CSettingsStore::SetLastFolder(const QString& folder) const {
  Write({{QString::fromLatin1(kLastFolderKey), folder}});
}
