#include "gui/batch/BatchListView.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>
#include <algorithm>

#include "gui/batch/BatchHeader.h"
#include "gui/batch/BatchTableModel.h"

namespace {
constexpr int kEmptyTextTop = 10;

QStringList LocalPaths(const QMimeData* data) {
  QStringList paths;
  if (!data || !data->hasUrls()) return paths;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile() && !url.toLocalFile().isEmpty()) paths << url.toLocalFile();
  return paths;
}
}  // namespace

CBatchListView::CBatchListView(CBatchTableModel* model, QWidget* parent)
    : QTableView(parent),
      model_(model),
      header_(new CBatchHeader(this)),
      delegate_(new CBatchDelegate(this)) {
  setHorizontalHeader(header_);
  setModel(model_);
  setItemDelegate(delegate_);
  verticalHeader()->hide();
  setShowGrid(false);
  setWordWrap(false);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  // Only the drop button opens the "Convert To" choice.
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  header_->setStretchLastSection(false);
  header_->setSectionResizeMode(QHeaderView::Interactive);
  // Every row has the same height, so adding rows never measures text.
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(CBatchDelegate::RowHeight(fontMetrics()));
  connect(header_, &QHeaderView::sectionClicked, this, &CBatchListView::OnColumnClick);
  connect(model_, &QAbstractItemModel::dataChanged, this, [this](const QModelIndex& topLeft) {
    if (topLeft.column() == batchcolumn::kCheck) UpdateCheckAllImage();
  });
  connect(model_, &QAbstractItemModel::rowsInserted, this, [this] {
    UpdateCheckAllImage();
    // The empty-list text goes with the first row.
    viewport()->update();
  });
  connect(model_, &QAbstractItemModel::rowsRemoved, this, [this] {
    if (model_->rowCount() == 0) viewport()->update();
  });
  connect(delegate_, &QAbstractItemDelegate::closeEditor, this, [this] { setFocus(); });
  // Tab and Shift+Tab leave the list for the next control; the arrows move
  // inside it.
  setTabKeyNavigation(false);
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  header_->SetImageList(CBatchHeader::CheckBoxImages());
  for (int column = 0; column < batchcolumn::kCount; ++column)
    header_->SetItemImage(
        column, column == batchcolumn::kCheck ? CBatchHeader::kEmptyBoxImage : CBatchHeader::kBlankImage);
  ReadSysColors();
}

CBatchListView::~CBatchListView() = default;

QString CBatchListView::EmptyListText() {
  return QStringLiteral("There are no files added.");
}

std::vector<int> CBatchListView::SelectedRows() const {
  std::vector<int> rows;
  for (const QModelIndex& index : selectionModel()->selectedRows()) rows.push_back(index.row());
  std::sort(rows.begin(), rows.end());
  return rows;
}

void CBatchListView::ToggleCheck(int row) {
  if (!model_->RowEnabled(row)) return;
  const QModelIndex box = model_->index(row, batchcolumn::kCheck);
  const bool checked = box.data(Qt::CheckStateRole).value<Qt::CheckState>() == Qt::Checked;
  model_->setData(box, checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
  emit CheckBoxClicked(row);
}

void CBatchListView::SetShowSelectionAlways(bool always) {
  showSelectionAlways_ = always;
  viewport()->update();
}

void CBatchListView::SetRedraw(bool redraw) {
  setUpdatesEnabled(redraw);
  if (redraw) viewport()->update();
}

void CBatchListView::ReadSysColors() {
  const QPalette& pal = palette();
  sysColors_ = {pal.color(QPalette::Button),
                pal.color(QPalette::Light),
                pal.color(QPalette::Dark),
                pal.color(QPalette::ButtonText),
                pal.color(QPalette::Disabled, QPalette::Text),
                pal.color(QPalette::Highlight),
                pal.color(QPalette::HighlightedText),
                pal.color(QPalette::Base),
                pal.color(QPalette::Text)};
}

void CBatchListView::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange)
    verticalHeader()->setDefaultSectionSize(CBatchDelegate::RowHeight(fontMetrics()));
  if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange) {
    ReadSysColors();
    viewport()->update();
  }
  QTableView::changeEvent(event);
}

void CBatchListView::paintEvent(QPaintEvent* event) {
  if (model_->rowCount() > 0) {
    QTableView::paintEvent(event);
    return;
  }
  QPainter painter(viewport());
  painter.fillRect(viewport()->rect(), sysColors_.window);
  painter.setPen(sysColors_.windowText);
  painter.setFont(font());
  const QRect area = viewport()->rect().adjusted(0, kEmptyTextTop, 0, 0);
  painter.drawText(area, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, EmptyListText());
}

void CBatchListView::UpdateCheckAllImage() {
  header_->SetItemImage(batchcolumn::kCheck,
                        model_->AllChecked() ? CBatchHeader::kTickedBoxImage : CBatchHeader::kEmptyBoxImage);
}

void CBatchListView::OnColumnClick(int column) {
  if (!header_->IsCheckAllColumn(column)) return;
  // Greyed rows are ticked too, as the box always has.
  model_->SetAllChecked(header_->GetItemImage(column) == CBatchHeader::kEmptyBoxImage);
  UpdateCheckAllImage();
}

void CBatchListView::keyPressEvent(QKeyEvent* event) {
  // Space toggles the focused row's check box. Other modifiers keep Qt's
  // meaning (Ctrl+Space toggles the selection).
  const QModelIndex current = currentIndex();
  if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier && current.isValid()) {
    ToggleCheck(current.row());
    event->accept();
    return;
  }
  QTableView::keyPressEvent(event);
}

void CBatchListView::SetHotTrack(bool on) {
  hotTrack_ = on;
  if (on) viewport()->setMouseTracking(true);
  SetHotRow(-1);
}

void CBatchListView::SetHotRow(int row) {
  if (row == hotRow_) return;
  const auto updateRow = [this](int r) {
    if (r >= 0 && r < model_->rowCount())
      viewport()->update(QRect(0, rowViewportPosition(r), viewport()->width(), rowHeight(r)));
  };
  updateRow(hotRow_);
  hotRow_ = row;
  updateRow(hotRow_);
}

void CBatchListView::mouseMoveEvent(QMouseEvent* event) {
  QTableView::mouseMoveEvent(event);
  if (hotTrack_) SetHotRow(indexAt(event->position().toPoint()).row());
}

bool CBatchListView::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::Leave) SetHotRow(-1);
  return QTableView::viewportEvent(event);
}

void CBatchListView::mouseDoubleClickEvent(QMouseEvent* event) {
  const QModelIndex index = indexAt(event->position().toPoint());
  if (index.isValid() && !model_->RowEnabled(index.row())) return;
  QTableView::mouseDoubleClickEvent(event);
  if (event->button() == Qt::LeftButton) emit ListDoubleClicked();
}

void CBatchListView::dragEnterEvent(QDragEnterEvent* event) {
  if (LocalPaths(event->mimeData()).isEmpty()) return event->ignore();
  event->acceptProposedAction();
}

void CBatchListView::dragMoveEvent(QDragMoveEvent* event) {
  if (LocalPaths(event->mimeData()).isEmpty()) return event->ignore();
  event->acceptProposedAction();
}

void CBatchListView::dropEvent(QDropEvent* event) {
  const QStringList paths = LocalPaths(event->mimeData());
  if (paths.isEmpty()) return event->ignore();
  event->acceptProposedAction();
  emit FilesDropped(paths);
}
