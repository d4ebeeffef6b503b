#pragma once
// The segments list beside the main window's strip: one row per segment
// (its name, editable in place, its start and length), and the buttons that
// act on it. It shows the list it is given and asks for every change through
// its signals; the window makes the change (one undo step) and shows the
// list again.

#include <QWidget>
#include <cstdint>

#include "core/split/SegmentList.h"

class QListWidget;
class QPushButton;

class CSegmentsPanel : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kWidth = 250;
  static constexpr const char* kAdd = "segmentAdd";
  static constexpr const char* kUp = "segmentUp";
  static constexpr const char* kDown = "segmentDown";
  static constexpr const char* kRemove = "segmentRemove";
  static constexpr const char* kPlay = "segmentPlay";
  static constexpr const char* kWriteAll = "segmentWriteAll";
  static constexpr const char* kExport = "segmentExport";
  static constexpr const char* kImport = "segmentImport";

  explicit CSegmentsPanel(QWidget* parent = nullptr);

  // Shows segments (times at rate), keeping the current row where it can.
  void Show(const std::vector<split::Segment>& segments, std::uint32_t rate);
  // Whether Add can take the selection now.
  void SetCanAdd(bool can);
  QListWidget* List() const { return list_; }
  // The current row, or -1.
  int Current() const;
  void SetCurrent(int row);

 signals:
  void AddRequested();
  void RemoveRequested(int row);
  void MoveRequested(int from, int to);
  void RenameRequested(int row, const QString& name);
  // A row chosen: its stretch becomes the selection; Play plays it.
  void Chosen(int row);
  void PlayRequested(int row);
  void WriteAllRequested();
  void ExportRequested();
  void ImportRequested();

 private:
  void UpdateButtons();

  QListWidget* list_ = nullptr;
  QPushButton* add_ = nullptr;
  QPushButton* up_ = nullptr;
  QPushButton* down_ = nullptr;
  QPushButton* remove_ = nullptr;
  QPushButton* play_ = nullptr;
  QPushButton* writeAll_ = nullptr;
  QPushButton* export_ = nullptr;
  bool showing_ = false;  // the list is being filled: its edits are not the user's
  bool canAdd_ = false;
};
