#pragma once
// What the Batch Convert window remembers between openings, in the same
// settings store as the other settings: its geometry (as QWidget saves it)
// and the widths of its list's columns. Nothing is stored until the window
// first closes, so a user who never resizes it sees it as it always was.

#include <QByteArray>
#include <vector>

inline constexpr const char* kBatchGeometryValue = "Batch window geometry";
inline constexpr const char* kBatchColumnWidthsValue = "Batch column widths";

// Empty when nothing (or nothing readable) is stored.
QByteArray ReadBatchWindowGeometry();
bool WriteBatchWindowGeometry(const QByteArray& geometry);
// Exactly count widths, each 1 to 10000 pixels; empty otherwise.
std::vector<int> ReadBatchColumnWidths(int count);
bool WriteBatchColumnWidths(const std::vector<int>& widths);
