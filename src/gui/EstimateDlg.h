#pragma once
// The estimate window: six lines predicting one piece of an equal split.

#include <QDialog>
#include <cstdint>
#include <string>

// Object names of the controls of the estimate window, in the order the lines are shown.
namespace estimatename {
inline constexpr const char* kIntroduction = "introduction";
inline constexpr const char* kSource = "source";
inline constexpr const char* kSplits = "splits";
inline constexpr const char* kSize = "size";
inline constexpr const char* kPlaytime = "playtime";
inline constexpr const char* kOverlap = "overlap";
inline constexpr const char* kOk = "ok";
}  // namespace estimatename

class CEstimateDlg : public QDialog {
 public:
  CEstimateDlg(const std::string& sourceFileName, std::uint32_t splits, std::uint32_t overlapTime,
               std::uint32_t size, double playtime, QWidget* parent = nullptr);
};
