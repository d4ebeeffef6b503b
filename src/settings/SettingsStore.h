#pragma once
// Everything the program keeps between runs, typed, in one INI file. The
// file is handed in: the program passes SettingsFilePath() (settings/
// StatePaths.h), tests a file of their own. The file's sections and value
// names are the ones earlier versions wrote, so stored settings keep working.
//
// Reads never fail and never create anything: a missing or unreadable store
// gives the default. Writes return false when the store cannot be written.

#include <QByteArray>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

class QSettings;

// The section that holds the split settings and the windows' numbers, and
// the value names in it, as the settings file has always spelled them (the
// section's backslashes are part of its name; QSettings writes them as %5C).
inline constexpr const char* kSettingsKeyPath = "HKEY_LOCAL_MACHINE\\Software\\Kestrune";
inline constexpr const char* kOverlapTimeValue = "Overlap time";
inline constexpr const char* kFilenameSuffixValue = "Filename Suffix";
inline constexpr const char* kGaplessMp3Value = "Gapless MP3 pieces";
inline constexpr const char* kShowWaveformValue = "Show waveform";
inline constexpr const char* kWindowWidthValue = "Window width";
inline constexpr const char* kWindowHeightValue = "Window height";
inline constexpr const char* kBatchGeometryValue = "Batch window geometry";
inline constexpr const char* kBatchColumnWidthsValue = "Batch column widths";

// One QSettings object over the file for the store's life. Each write is
// saved at once, and each read first takes in what another process saved
// meanwhile (QSettings re-reads the file only when it changed), so two
// running programs see each other's settings. The windows hold the store
// const and still save through it: saving is what the store is for. Safe to
// use from several threads.
class CSettingsStore {
 public:
  static constexpr int kMaxRecentFiles = 8;

  explicit CSettingsStore(QString filePath);
  ~CSettingsStore();
  CSettingsStore(const CSettingsStore&) = delete;
  CSettingsStore& operator=(const CSettingsStore&) = delete;

  const QString& FilePath() const { return filePath_; }

  // How equal splits are cut: overlap in seconds (default 0), the filename
  // suffix (default empty), gapless MP3 pieces (default on).
  std::uint32_t OverlapTime() const;
  bool SetOverlapTime(std::uint32_t seconds) const;
  std::string Suffix() const;
  bool SetSuffix(const std::string& suffix) const;
  bool GaplessMp3() const;
  bool SetGaplessMp3(bool gapless) const;

  // The main window: whether the waveform shows (default yes) and the
  // window's size while it shows (each side 0 until stored).
  bool ShowWaveform() const;
  bool SetShowWaveform(bool shown) const;
  QSize WindowSize() const;
  bool SetWindowSize(QSize size) const;

  // The Batch Convert window: its geometry as QWidget saves it (empty when
  // nothing readable is stored) and exactly count column widths, each 1 to
  // 10000 pixels (empty otherwise).
  QByteArray BatchWindowGeometry() const;
  bool SetBatchWindowGeometry(const QByteArray& geometry) const;
  std::vector<int> BatchColumnWidths(int count) const;
  bool SetBatchColumnWidths(const std::vector<int>& widths) const;

  // The files opened last, newest first, at most kMaxRecentFiles; and the
  // folder the file dialogs returned last. Kept as Unicode text.
  QStringList RecentFiles() const;
  void AddRecentFile(const QString& path) const;
  void RemoveRecentFile(const QString& path) const;
  QString LastFolder() const;
  void SetLastFolder(const QString& folder) const;

  // Any number in the split settings' section: fallback when missing.
  std::uint32_t ReadNumber(const char* name, std::uint32_t fallback) const;
  bool WriteNumber(const char* name, std::uint32_t value) const;

 private:
  // The value at key (a section, '/', a value name) as the file holds it now.
  QVariant Read(const QString& key) const;
  // Stores values (key, text) and saves the file; false, with nothing
  // changed, when the file cannot be written.
  bool Write(std::initializer_list<std::pair<QString, QVariant>> values) const;
  bool ReadText(const char* name, std::string& text) const;
  bool WriteText(const char* name, const std::string& text) const;

  QString filePath_;
  mutable std::mutex mutex_;  // one QSettings object is not safe across threads
  std::unique_ptr<QSettings> settings_;
};
