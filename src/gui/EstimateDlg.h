#pragma once
// The estimate window: six lines predicting one piece of an equal split.

#include <QDialog>
#include <cstdint>
#include <string>

// Control ids of the estimate window, in the order the lines are shown.
namespace estimateid {
constexpr int kIntroduction = 1041;
constexpr int kSource = 1037;
constexpr int kSplits = 1038;
constexpr int kSize = 1039;
constexpr int kPlaytime = 1040;
constexpr int kOverlap = 1042;
constexpr int kOk = 1;
}  // namespace estimateid

class CEstimateDlg : public QDialog {
 public:
  CEstimateDlg(const std::string& sourceFileName, std::uint32_t splits, std::uint32_t overlapTime,
               std::uint32_t size, double playtime, QWidget* parent = nullptr);
};
