#include "gui/SegmentsPanel.h"

#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/ObjectName.h"
#include "gui/WaveformPanel.h"

CSegmentsPanel::CSegmentsPanel(QWidget* parent) : QWidget(parent) {
  setFixedWidth(kWidth);
  auto* title = new QLabel(QStringLiteral("Segments:"));
  list_ = new QListWidget;
  list_->setToolTip(QStringLiteral("Double-click a name to rename the segment"));
  title->setBuddy(list_);
  auto button = [this](const char* text, const char* name, const char* tip) {
    auto* b = Named(new QPushButton(QString::fromLatin1(text)), name);
    b->setToolTip(QString::fromLatin1(tip));
    return b;
  };
  add_ = button("Add", kAdd, "Adds the selection as a segment");
  up_ = button("Up", kUp, "Moves the segment up the list");
  down_ = button("Down", kDown, "Moves the segment down the list");
  remove_ = button("Remove", kRemove, "Removes the segment from the list");
  play_ = button("Play", kPlay, "Plays the segment");
  writeAll_ = button("Write All...", kWriteAll, "Writes every segment as a piece of its own");
  export_ = button("Export...", kExport, "Saves the segments as a cue sheet or a labels file");
  QPushButton* import = button("Import...", kImport, "Reads segments from a cue sheet or a labels file");
  auto* grid = new QGridLayout;
  grid->setSpacing(4);
  const QPushButton* order[] = {add_, remove_, up_, down_, play_, writeAll_, export_, import};
  for (int i = 0; i < 8; ++i) grid->addWidget(const_cast<QPushButton*>(order[i]), i / 2, i % 2);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 0, 0, 0);
  layout->addWidget(title);
  layout->addWidget(list_, 1);
  layout->addLayout(grid);

  connect(add_, &QPushButton::clicked, this, &CSegmentsPanel::AddRequested);
  connect(remove_, &QPushButton::clicked, this, [this] { emit RemoveRequested(Current()); });
  connect(up_, &QPushButton::clicked, this, [this] { emit MoveRequested(Current(), Current() - 1); });
  connect(down_, &QPushButton::clicked, this, [this] { emit MoveRequested(Current(), Current() + 1); });
  connect(play_, &QPushButton::clicked, this, [this] { emit PlayRequested(Current()); });
  connect(writeAll_, &QPushButton::clicked, this, &CSegmentsPanel::WriteAllRequested);
  connect(export_, &QPushButton::clicked, this, &CSegmentsPanel::ExportRequested);
  connect(import, &QPushButton::clicked, this, &CSegmentsPanel::ImportRequested);
  connect(list_, &QListWidget::currentRowChanged, this, [this](int row) {
    UpdateButtons();
    if (!showing_ && row >= 0) emit Chosen(row);
  });
  connect(list_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
    if (!showing_) emit RenameRequested(list_->row(item), item->text().trimmed());
  });
  UpdateButtons();
}

void CSegmentsPanel::Show(const std::vector<split::Segment>& segments, std::uint32_t rate) {
  showing_ = true;
  const int current = list_->currentRow();
  list_->clear();
  for (const split::Segment& s : segments) {
    auto* item = new QListWidgetItem(QString::fromStdString(s.name), list_);
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    item->setToolTip(QStringLiteral("%1 - %2 (%3)")
                         .arg(SampleTimeText(s.first, rate), SampleTimeText(s.end, rate),
                              SampleTimeText(s.end - s.first, rate)));
  }
  if (!segments.empty()) list_->setCurrentRow(std::clamp(current, 0, static_cast<int>(segments.size()) - 1));
  showing_ = false;
  UpdateButtons();
}

void CSegmentsPanel::SetCanAdd(bool can) {
  canAdd_ = can;
  UpdateButtons();
}

int CSegmentsPanel::Current() const {
  return list_->currentRow();
}

void CSegmentsPanel::SetCurrent(int row) {
  showing_ = true;
  list_->setCurrentRow(row);
  showing_ = false;
  UpdateButtons();
}

void CSegmentsPanel::UpdateButtons() {
  const int row = Current(), count = list_->count();
  add_->setEnabled(canAdd_);
  for (QPushButton* b : {remove_, play_}) b->setEnabled(row >= 0);
  up_->setEnabled(row > 0);
  down_->setEnabled(row >= 0 && row + 1 < count);
  for (QPushButton* b : {writeAll_, export_}) b->setEnabled(count > 0);
}
