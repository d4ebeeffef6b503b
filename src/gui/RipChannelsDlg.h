#pragma once
// The Rip Channels dialog: which channels of a multi-channel WAV file go into
// the new file, and its name. Bit k of the mask stands for channel k + 1.

#include <QDialog>
#include <cstdint>
#include <string>

class QCheckBox;
class QLineEdit;
class CGuiServices;

// Object names of the controls of the Rip Channels dialog.
namespace ripname {
inline constexpr const char* kName = "name";
inline constexpr const char* kBrowse = "browse";
inline constexpr const char* kLeft = "left";
inline constexpr const char* kRight = "right";
inline constexpr const char* kChannel3 = "channel3";
inline constexpr const char* kChannel4 = "channel4";
inline constexpr const char* kChannel5 = "channel5";
inline constexpr const char* kChannel6 = "channel6";
inline constexpr const char* kOk = "ok";
inline constexpr const char* kCancel = "cancel";
}  // namespace ripname

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
