#pragma once
// The Rip Channels dialog: which channels of a multi-channel WAV file go into
// the new file, and its name. Bit k of the mask stands for channel k + 1.

#include <QDialog>
#include <cstdint>
#include <string>

class QCheckBox;
class QLineEdit;
class CGuiServices;

// Control ids of the Rip Channels dialog.
namespace ripid {
constexpr int kName = 1052;
constexpr int kBrowse = 1028;
constexpr int kLeft = 1048;
constexpr int kRight = 1049;
constexpr int kChannel3 = 1050;
constexpr int kChannel4 = 1051;
constexpr int kChannel5 = 1053;
constexpr int kChannel6 = 1054;
constexpr int kOk = 1;
constexpr int kCancel = 2;
}  // namespace ripid

class CRipChannelsDlg : public QDialog {
 public:
  static constexpr int kBoxes = 6;

  // fileFilter is the open file's file-dialog filter, for Browse.
  CRipChannelsDlg(const CGuiServices& services, std::uint32_t channelCount, const std::string& fileFilter,
                  QWidget* parent = nullptr);

  const std::string& GetOutputName() const { return outputName_; }
  std::uint8_t GetChannelMask() const { return channelMask_; }

  // The output name as OK takes it: ".wav" is added when the name has no
  // extension, as Convert to MP3 adds ".mp3".
  static std::string WithWavExtension(const std::string& name);

 private:
  void OnBrowse();
  void OnOk();

  const CGuiServices& services_;
  std::uint8_t channelMask_ = 0;
  std::uint32_t channelCount_;
  bool channelFlags_[kBoxes] = {};
  std::string outputName_;
  std::string fileFilter_;
  QLineEdit* nameEdit_;
};
