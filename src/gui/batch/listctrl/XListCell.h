#pragma once
// The records behind the extended list control: one cell record per cell,
// the base of the caller's per-row record, and colours given the way the
// batch window names them (0x00BBGGRR, red in the low byte).

#include <QColor>
#include <QString>
#include <QStringList>
#include <cstdint>

// A colour as 0x00BBGGRR, or kXDefaultColor for "the control's default".
using XColorRef = std::int32_t;
inline constexpr XColorRef kXDefaultColor = -1;

constexpr XColorRef XRgb(int red, int green, int blue) {
  return XColorRef((red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16));
}

inline QColor QColorFromRef(XColorRef colour) {
  return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

// What one cell draws and holds. Colours left at kXDefaultColor follow the
// system's window-text and window colours at the time of drawing.
struct XListCell {
  bool enabled = true;  // only the row's first cell counts
  bool bold = false;
  QString toolTip;
  bool combo = false;
  bool comboPressed = false;
  const QStringList* comboEntries = nullptr;  // owned by the caller
  int comboHeight = 10;
  int comboInitial = 0;
  XColorRef textColor = kXDefaultColor;
  XColorRef backgroundColor = kXDefaultColor;
  bool progressShown = false;
  int progressPercent = 0;
  QString progressText;
  bool progressTextShown = true;
  int check = -1;  // -1 no box, 0 empty box, 1 ticked box
  QString text;
};

// The caller's record attached to each row (the batch window keeps its job
// state there); created by the list's row-record factory when the row is
// inserted and destroyed with the row.
class CXListRowRecord {
 public:
  virtual ~CXListRowRecord() = default;
};
