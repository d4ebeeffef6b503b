#include "gui/batch/listctrl/XListCtrl.h"

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

#include "gui/batch/listctrl/XComboList.h"
#include "gui/batch/listctrl/XHeaderCtrl.h"
#include "gui/batch/listctrl/XListModel.h"

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

CXListCtrl::CXListCtrl(QWidget* parent)
    : QTableView(parent),
      model_(new CXListModel(this)),
      header_(new CXHeaderCtrl(this)),
      delegate_(new CXListDelegate(this)) {
  setHorizontalHeader(header_);
  setModel(model_);
  setItemDelegate(delegate_);
  verticalHeader()->hide();
  setShowGrid(false);
  setWordWrap(false);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  header_->setStretchLastSection(false);
  header_->setSectionResizeMode(QHeaderView::Interactive);
  // Every row has the same height, so inserting rows never measures text.
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(CXListDelegate::RowHeight(fontMetrics()));
  connect(header_, &QHeaderView::sectionClicked, this, &CXListCtrl::OnColumnClick);
  // Tab and Shift+Tab leave the list for the next control; the arrows move
  // inside it.
  setTabKeyNavigation(false);
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  ReadSysColors();
}

CXListCtrl::~CXListCtrl() = default;

QString CXListCtrl::EmptyListText() {
  return QStringLiteral("There are no files added.");
}

// ---------------------------------------------------------------- columns

int CXListCtrl::InsertColumn(int column, const QString& title, Qt::Alignment format, int width) {
  if (!model_->InsertColumn(column, title, format & Qt::AlignHorizontal_Mask)) return -1;
  setColumnWidth(column, width);
  return column;
}

// ---------------------------------------------------------------- rows

void CXListCtrl::SetRowRecordFactory(std::function<std::unique_ptr<CXListRowRecord>()> factory) {
  model_->SetRecordFactory(std::move(factory));
}

bool CXListCtrl::InsertRow(int row, const QString& text) {
  const bool wasEmpty = model_->rowCount() == 0;
  if (!model_->InsertRow(row, text)) return false;
  // The empty-list text goes with the first row.
  if (wasEmpty) viewport()->update();
  return true;
}

bool CXListCtrl::DeleteRow(int row) {
  if (!model_->RemoveRow(row)) return false;
  if (model_->rowCount() == 0) viewport()->update();
  return true;
}

bool CXListCtrl::EnsureVisible(int row) {
  if (row < 0 || row >= model_->rowCount()) return false;
  scrollTo(model_->index(row, 0));
  return true;
}

int CXListCtrl::GetRowCount() const {
  return model_->rowCount();
}

CXListRowRecord* CXListCtrl::GetRowRecord(int row) const {
  return model_->Record(row);
}

bool CXListCtrl::SetRowEnabled(int row, bool enabled) {
  return model_->SetRowEnabled(row, enabled);
}

bool CXListCtrl::GetRowEnabled(int row) const {
  return model_->RowEnabled(row);
}

std::vector<int> CXListCtrl::GetSelectedRows() const {
  std::vector<int> rows;
  for (const QModelIndex& index : selectionModel()->selectedRows()) rows.push_back(index.row());
  std::sort(rows.begin(), rows.end());
  return rows;
}

// ---------------------------------------------------------------- cells

bool CXListCtrl::SetCellText(int row, int column, std::optional<QString> text, XColorRef textColor,
                             XColorRef backgroundColor) {
  return model_->EditCell(row, column, [&](XListCell& cell) {
    if (text) cell.text = *text;
    cell.textColor = textColor;
    cell.backgroundColor = backgroundColor;
  });
}

QString CXListCtrl::GetCellText(int row, int column) const {
  const XListCell* cell = model_->Cell(row, column);
  return cell ? cell->text : QString();
}

const XListCell* CXListCtrl::GetCell(int row, int column) const {
  return model_->Cell(row, column);
}

bool CXListCtrl::SetCellCheck(int row, int column, int state) {
  if (!model_->EditCell(row, column, [state](XListCell& cell) { cell.check = state; })) return false;
  UpdateCheckAllImage(column);
  return true;
}

int CXListCtrl::GetCellCheck(int row, int column) const {
  const XListCell* cell = model_->Cell(row, column);
  return cell ? cell->check : -1;
}

bool CXListCtrl::SetCellBold(int row, int column, bool bold) {
  return model_->EditCell(row, column, [bold](XListCell& cell) { cell.bold = bold; });
}

bool CXListCtrl::SetCellToolTip(int row, int column, const QString& text) {
  return model_->EditCell(row, column, [&text](XListCell& cell) { cell.toolTip = text; });
}

bool CXListCtrl::SetCellCombo(int row, int column, bool enable, const QStringList* entries, int height,
                              int initial) {
  return model_->EditCell(row, column, [&](XListCell& cell) {
    cell.combo = enable;
    cell.comboEntries = entries;
    cell.comboHeight = height;
    const int count = entries ? int(entries->size()) : 0;
    cell.comboInitial = initial >= 0 && initial < count ? initial : 0;
    if (count > 0) cell.text = entries->at(cell.comboInitial);
  });
}

bool CXListCtrl::ShowCellProgress(int row, int column, bool showText, const QString& text) {
  return model_->EditCell(row, column, [&](XListCell& cell) {
    cell.progressShown = true;
    cell.progressPercent = 0;
    cell.progressTextShown = showText;
    cell.progressText = text;
  });
}

bool CXListCtrl::SetCellProgress(int row, int column, int percent) {
  return model_->EditCell(row, column,
                          [percent](XListCell& cell) { cell.progressPercent = std::clamp(percent, 0, 100); });
}

bool CXListCtrl::HideCellProgress(int row, int column) {
  return model_->EditCell(row, column, [](XListCell& cell) {
    cell.progressShown = false;
    cell.progressPercent = 0;
  });
}

// ---------------------------------------------------------------- look

void CXListCtrl::SetShowSelectionAlways(bool always) {
  showSelectionAlways_ = always;
  viewport()->update();
}

void CXListCtrl::SetRedraw(bool redraw) {
  setUpdatesEnabled(redraw);
  if (redraw) viewport()->update();
}

void CXListCtrl::ReadSysColors() {
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

void CXListCtrl::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange)
    verticalHeader()->setDefaultSectionSize(CXListDelegate::RowHeight(fontMetrics()));
  if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange) {
    ReadSysColors();
    viewport()->update();
  }
  QTableView::changeEvent(event);
}

void CXListCtrl::paintEvent(QPaintEvent* event) {
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

// ---------------------------------------------------------------- check boxes

void CXListCtrl::UpdateCheckAllImage(int column) {
  if (!header_->IsCheckAllColumn(column)) return;
  header_->SetItemImage(
      column, model_->AllTicked(column) ? CXHeaderCtrl::kTickedBoxImage : CXHeaderCtrl::kEmptyBoxImage);
}

void CXListCtrl::OnColumnClick(int column) {
  if (!header_->IsCheckAllColumn(column)) return;
  const bool tick = header_->GetItemImage(column) == CXHeaderCtrl::kEmptyBoxImage;
  header_->SetItemImage(column, tick ? CXHeaderCtrl::kTickedBoxImage : CXHeaderCtrl::kEmptyBoxImage);
  model_->SetColumnChecks(column, tick ? 1 : 0);
}

// ---------------------------------------------------------------- mouse

bool CXListCtrl::IsDisabledRowAt(const QPoint& pos) const {
  const QModelIndex index = indexAt(pos);
  return index.isValid() && !model_->RowEnabled(index.row());
}

void CXListCtrl::ToggleCheck(int row, int column) {
  const XListCell* cell = model_->Cell(row, column);
  if (!cell || (cell->check != 0 && cell->check != 1)) return;
  const int state = cell->check == 0 ? 1 : 0;
  model_->EditCell(row, column, [state](XListCell& c) { c.check = state; });
  emit CheckBoxClicked(row, column);
  UpdateCheckAllImage(column);
}

void CXListCtrl::mousePressEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  const QModelIndex index = indexAt(pos);
  // A disabled row is selected like any other, but its boxes stay as they are.
  if (event->button() == Qt::LeftButton && index.isValid() && model_->RowEnabled(index.row())) {
    const int row = index.row();
    const int column = index.column();
    const XListCell* cell = model_->Cell(row, column);
    if (cell->check == 0 || cell->check == 1) {
      ToggleCheck(row, column);
    } else if (cell->combo && cell->comboEntries && !cell->comboEntries->isEmpty() &&
               CXListDelegate::DropButtonRect(visualRect(index)).contains(pos)) {
      model_->EditCell(row, column, [](XListCell& c) { c.comboPressed = true; });
      // The list opens once this click has been handled as a selection.
      const QPersistentModelIndex cellIndex(index);
      QTimer::singleShot(0, this, [this, cellIndex] {
        if (cellIndex.isValid()) OpenComboList(cellIndex.row(), cellIndex.column());
      });
    }
  }
  QTableView::mousePressEvent(event);
}

void CXListCtrl::keyPressEvent(QKeyEvent* event) {
  // Space toggles the focused row's check box: the current cell's own, else
  // the row's first one. Other modifiers keep Qt's meaning (Ctrl+Space
  // toggles the selection).
  const QModelIndex current = currentIndex();
  if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier && current.isValid()) {
    const int row = current.row();
    int column = current.column();
    if (model_->Cell(row, column)->check < 0) {
      column = 0;
      while (column < model_->columnCount() && model_->Cell(row, column)->check < 0) ++column;
    }
    if (model_->RowEnabled(row)) ToggleCheck(row, column);
    event->accept();
    return;
  }
  QTableView::keyPressEvent(event);
}

void CXListCtrl::SetHotTrack(bool on) {
  hotTrack_ = on;
  if (on) viewport()->setMouseTracking(true);
  SetHotRow(-1);
}

void CXListCtrl::SetHotRow(int row) {
  if (row == hotRow_) return;
  const auto updateRow = [this](int r) {
    if (r >= 0 && r < model_->rowCount())
      viewport()->update(QRect(0, rowViewportPosition(r), viewport()->width(), rowHeight(r)));
  };
  updateRow(hotRow_);
  hotRow_ = row;
  updateRow(hotRow_);
}

void CXListCtrl::mouseMoveEvent(QMouseEvent* event) {
  QTableView::mouseMoveEvent(event);
  if (hotTrack_) SetHotRow(indexAt(event->position().toPoint()).row());
}

bool CXListCtrl::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::Leave) SetHotRow(-1);
  return QTableView::viewportEvent(event);
}

void CXListCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
  if (IsDisabledRowAt(event->position().toPoint())) return;
  QTableView::mouseDoubleClickEvent(event);
  if (event->button() == Qt::LeftButton) emit ListDoubleClicked();
}

// ---------------------------------------------------------------- drops

void CXListCtrl::dragEnterEvent(QDragEnterEvent* event) {
  if (LocalPaths(event->mimeData()).isEmpty()) return event->ignore();
  event->acceptProposedAction();
}

void CXListCtrl::dragMoveEvent(QDragMoveEvent* event) {
  if (LocalPaths(event->mimeData()).isEmpty()) return event->ignore();
  event->acceptProposedAction();
}

void CXListCtrl::dropEvent(QDropEvent* event) {
  const QStringList paths = LocalPaths(event->mimeData());
  if (paths.isEmpty()) return event->ignore();
  event->acceptProposedAction();
  emit FilesDropped(paths);
}

// ---------------------------------------------------------------- drop-down

void CXListCtrl::OpenComboList(int row, int column) {
  const XListCell* cell = model_->Cell(row, column);
  if (!cell || !cell->combo || !cell->comboEntries) return;
  if (!comboList_) {
    comboList_ = new CXComboList(this);
    connect(comboList_, &CXComboList::ReturnPressed, this, &CXListCtrl::OnComboReturn);
    connect(comboList_, &CXComboList::MouseReleased, this, &CXListCtrl::OnComboReturn);
    connect(comboList_, &CXComboList::EscapePressed, this, &CXListCtrl::OnComboEscape);
    connect(comboList_, &CXComboList::Dismissed, this, &CXListCtrl::OnComboEscape);
    connect(comboList_, &CXComboList::KeyPressed, this, &CXListCtrl::OnComboKeyDown);
  }
  comboCell_ = model_->index(row, column);
  comboOpenedText_ = cell->text;
  const QRect cellRect = visualRect(comboCell_);
  const QRect global(viewport()->mapToGlobal(cellRect.topLeft()), cellRect.size());
  comboList_->Open(*cell->comboEntries, cell->text, global, cell->comboHeight);
}

void CXListCtrl::OnComboReturn() {
  CloseComboList(comboList_->SelectedText());
}

void CXListCtrl::OnComboEscape() {
  CloseComboList(comboOpenedText_);
}

void CXListCtrl::OnComboKeyDown() {
  if (!comboCell_.isValid()) return;
  const QString preview = comboList_->SelectedText();
  model_->EditCell(comboCell_.row(), comboCell_.column(),
                   [&preview](XListCell& cell) { cell.text = preview; });
}

void CXListCtrl::CloseComboList(std::optional<QString> finalText) {
  // Hidden after the event that answered it has been handled.
  if (comboList_) QTimer::singleShot(0, comboList_, [list = comboList_] { list->hide(); });
  if (!comboCell_.isValid()) return;  // its row was deleted meanwhile
  const int row = comboCell_.row();
  const int column = comboCell_.column();
  comboCell_ = QPersistentModelIndex();
  model_->EditCell(row, column, [&finalText](XListCell& cell) {
    if (finalText) cell.text = *finalText;
    cell.comboPressed = false;
  });
  setFocus();
}
