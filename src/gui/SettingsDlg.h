#pragma once
// "Customize settings": the overlap time between the pieces of an equal
// split, the filename suffix of the pieces and whether MP3 pieces are written
// gapless, each optionally saved in the settings store.

#include <QDialog>
#include <cstdint>
#include <string>

class QCheckBox;
class QGridLayout;
class QLineEdit;
class QSpinBox;
class CFilterEdit;
class CGuiServices;

class CSettingsDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr const char* kSpinName = "spin";
  static constexpr const char* kOverlapEditName = "overlapEdit";
  static constexpr const char* kSuffixEditName = "suffixEdit";
  static constexpr const char* kSaveOverlapName = "saveOverlap";
  static constexpr const char* kSaveSuffixName = "saveSuffix";
  static constexpr const char* kGaplessName = "gapless";
  static constexpr const char* kSaveGaplessName = "saveGapless";
  // The dialog is one grid: labels in column 0, fields in column 1, the
  // "Save..." boxes in column 2. This row, below the suffix, is kept for a
  // further setting laid out the same way (its box in columns 0-1, its Save
  // box in column 2).
  static constexpr int kLabelColumn = 0;
  static constexpr int kFieldColumn = 1;
  static constexpr int kSaveColumn = 2;
  static constexpr int kSpareRow = 6;

  // Both values from the settings store.
  explicit CSettingsDlg(const CGuiServices& services, QWidget* parent = nullptr);
  // Each value from the arguments when its flag is set, else from the store.
  CSettingsDlg(const CGuiServices& services, std::uint32_t overlapTime, const std::string& suffix,
               bool overlapGiven, bool suffixGiven, QWidget* parent = nullptr);

  std::uint32_t GetOverlapTime() const { return overlapTime_; }
  const std::string& GetFilenameSuffix() const { return suffix_; }
  bool GetGaplessMp3() const { return gapless_; }
  // Shows this value instead of the stored one; call before the dialog runs.
  void SetGaplessMp3(bool gapless);

  // The stored values (the services' settings store).
  std::uint32_t ReadOverlapTime() const;
  std::string ReadFilenameSuffix() const;
  bool SaveOverlapTime() const;
  bool SaveFilenameSuffix() const;
  bool SaveGaplessMp3() const;

  void accept() override;

 private:
  void Build();
  // The fields, their explanations and Save boxes in one grid.
  QGridLayout* LayOutGrid();
  QGridLayout* Grid() const { return grid_; }

  const CGuiServices& services_;
  std::uint32_t overlapTime_ = 0;
  std::string suffix_;
  bool gapless_ = true;
  QSpinBox* spin_ = nullptr;
  CFilterEdit* suffixEdit_ = nullptr;
  QCheckBox* saveOverlap_ = nullptr;
  QCheckBox* saveSuffix_ = nullptr;
  QCheckBox* gaplessBox_ = nullptr;
  QCheckBox* saveGapless_ = nullptr;
  QGridLayout* grid_ = nullptr;
};
