#pragma once
// The Shred Equally dialog: asks for the base filename and the number of
// pieces of an equal split, checks them against the open file, warns about a
// too large overlap time and shows the estimate. It cuts nothing itself; the
// caller reads the accepted values after OK. The estimate depends on the file
// format: each format's subclass gives its arithmetic and file filter.

#include <QDialog>
#include <cstdint>
#include <functional>
#include <string>

#include "core/SplitEstimate.h"

class QBoxLayout;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class CGuiServices;

// Object names of the controls of the Shred Equally dialog.
namespace shredname {
inline constexpr const char* kTitle = "title";
inline constexpr const char* kBaseFilename = "baseFilename";
inline constexpr const char* kUseOriginal = "useOriginal";
inline constexpr const char* kBrowse = "browse";
inline constexpr const char* kSplits = "splits";
inline constexpr const char* kSpin = "spin";
inline constexpr const char* kShred = "shred";
inline constexpr const char* kEstimate = "estimate";
inline constexpr const char* kCancel = "cancel";
}  // namespace shredname

// Arrows that step a buddy edit's number within a range; the Up and Down
// keys in the edit do the same. Typed values outside the range stay as
// typed; only the arrows are limited.
class CUpDownCtrl : public QWidget {
 public:
  CUpDownCtrl(QLineEdit* buddy, int lower, int upper, QWidget* parent = nullptr);
  void SetPos(int position);
  void Step(int delta);
  QToolButton* UpButton() const { return up_; }
  QToolButton* DownButton() const { return down_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QLineEdit* buddy_;
  int lower_, upper_;
  QToolButton* up_;
  QToolButton* down_;
};

class CShredEquallyDlg : public QDialog {
 public:
  // Runs the main window's Settings command and returns the main window's
  // overlap time afterwards.
  using SettingsCommand = std::function<std::uint32_t()>;

  std::uint32_t GetNumberOfSplits() const { return numberOfSplits_; }
  std::string GetBaseFilename() const { return baseFilename_; }
  std::uint32_t GetOverlapTime() const { return overlapTime_; }
  // Without a settings command, a Yes to the overlap question is treated as
  // No: the overlap could not change, so asking again would never end.
  void SetSettingsCommand(SettingsCommand command) { settingsCommand_ = std::move(command); }

  // Validates, runs the overlap check and shows the estimate window.
  // 0 the estimate was accepted; -1 pieces under one second; -2 fewer than two
  // splits; -3 no number of splits; -4 the estimate window was dismissed.
  int Estimate();

 public:
  // The format's arithmetic: the estimate of an equal split in n pieces.
  using Estimator = std::function<SplitEstimate(std::uint32_t splits)>;
  // fileFilter: the open file type's file-dialog filter, for Browse.
  CShredEquallyDlg(const CGuiServices& services, Estimator estimate, const QString& fileFilter,
                   const std::string& sourceFileName, const std::string& sourceFilePath,
                   std::uint32_t overlapTime, QWidget* parent);

 private:
  void BuildTitle(QBoxLayout* layout);
  QPushButton* BuildFields(QBoxLayout* layout);
  void BuildButtons(QBoxLayout* layout);
  // While the overlap is too long for the pieces, offers the Settings
  // command to shorten it; a No leaves it with a notice.
  void AskAboutOverlap(double playtime);
  void OnUseOriginalClicked(bool checked);
  void OnBrowse();
  void OnShred();

  const CGuiServices& services_;
  Estimator estimate_;
  QString fileFilter_;
  std::string sourceFileName_;
  std::string sourceFilePath_;
  std::uint32_t overlapTime_;
  std::uint32_t numberOfSplits_ = 2;
  std::string baseFilename_;
  SettingsCommand settingsCommand_;

  QLineEdit* baseEdit_ = nullptr;
  QCheckBox* useOriginal_ = nullptr;
  QLineEdit* splitsEdit_ = nullptr;
};

// The dialog over a WAV file: pieces cut on sample frames.
class CWaveShredEquallyDlg : public CShredEquallyDlg {
 public:
  CWaveShredEquallyDlg(const CGuiServices& services, const WaveSplitFacts& facts,
                       const std::string& sourceFileName, const std::string& sourceFilePath,
                       std::uint32_t overlapTime, QWidget* parent = nullptr);
};

// The dialog over an MP3 file: pieces cut on frames.
class CMp3ShredEquallyDlg : public CShredEquallyDlg {
 public:
  CMp3ShredEquallyDlg(const CGuiServices& services, const Mp3SplitFacts& facts,
                      const std::string& sourceFileName, const std::string& sourceFilePath,
                      std::uint32_t overlapTime, QWidget* parent = nullptr);
};
