#pragma once
// The Convert to MP3 options dialog: the output name and the encoding
// options. After OK the caller builds Mp3EncodeSettings from the getters
// (or takes GetSettings) and runs the conversion.

#include <QDialog>
#include <cstdint>
#include <string>

#include "core/Mp3EncodeSettings.h"

class QBoxLayout;
class QCheckBox;
class QPushButton;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QSlider;
class CGuiServices;

// Object names of the controls of the Convert to MP3 dialog.
namespace convertmp3name {
inline constexpr const char* kName = "name";
inline constexpr const char* kBrowse = "browse";
inline constexpr const char* kEncoding = "encoding";
inline constexpr const char* kBitrate = "bitrate";
inline constexpr const char* kQualityGroup = "qualityGroup";
inline constexpr const char* kQuality = "quality";
inline constexpr const char* kLow = "low";
inline constexpr const char* kMedium = "medium";
inline constexpr const char* kHigh = "high";
inline constexpr const char* kMono = "mono";
inline constexpr const char* kOriginal = "original";
inline constexpr const char* kCopyright = "copyright";
inline constexpr const char* kCrc = "crc";
inline constexpr const char* kOk = "ok";
inline constexpr const char* kCancel = "cancel";
inline constexpr const char* kCredit = "credit";  // the encoder's credit line (a static text)
}  // namespace convertmp3name

class CConvertMp3Dlg : public QDialog {
 public:
  explicit CConvertMp3Dlg(const CGuiServices& services, QWidget* parent = nullptr);

  const std::string& GetMp3Name() const { return mp3Name_; }
  std::uint16_t GetBitrate() const { return bitrate_; }
  std::uint16_t GetEncodingMode() const { return encodingMode_; }
  std::uint16_t GetVbrQuality() const { return vbrQuality_; }
  bool GetMonoFlag() const { return monoFlag_; }
  bool GetCopyrightFlag() const { return copyrightFlag_; }
  bool GetCrcFlag() const { return crcFlag_; }
  bool GetOriginalFlag() const { return originalFlag_; }
  // The encoder options as accepted.
  Mp3EncodeSettings GetSettings() const;

  // The name with ".mp3" appended unless it holds ".mp3" after its first
  // character (case-sensitive).
  static std::string WithMp3Extension(const std::string& name);

 private:
  // The name field and its Browse button (returned), the bitrate and quality
  // groups, and the four flags, each added to layout.
  QPushButton* BuildNameRow(QBoxLayout* layout);
  void BuildBitrateGroup(QBoxLayout* layout);
  void BuildQualityGroup(QBoxLayout* layout);
  void BuildFlags(QBoxLayout* layout);
  void OnEncodingChanged(int index);
  void OnBrowse();
  void OnOk();

  const CGuiServices& services_;
  bool crcFlag_ = false;
  bool originalFlag_ = true;
  bool copyrightFlag_ = false;
  std::string mp3Name_;
  std::uint16_t bitrate_ = 0;
  std::uint16_t encodingMode_ = 0;
  std::uint16_t vbrQuality_ = 0;
  bool monoFlag_ = false;

  QLineEdit* nameEdit_;
  QComboBox* encoding_;
  QComboBox* bitrateList_;
  QGroupBox* qualityGroup_;
  QSlider* quality_;
  QLabel* qualityLabels_[3];
  QCheckBox* mono_;
};
