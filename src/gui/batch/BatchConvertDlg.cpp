#include "gui/batch/BatchConvertDlg.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QResizeEvent>
#include <QTimer>
#include <algorithm>
#include <set>
#include <string_view>

#include "core/StringTable.h"
#include "core/batch/BatchNaming.h"
#include "gui/BitmapButton.h"
#include "gui/DialogKeys.h"
#include "gui/EngineText.h"
#include "gui/GuiServices.h"
#include "gui/HelpViewer.h"
#include "gui/ObjectName.h"
#include "gui/batch/BatchListView.h"
#include "gui/batch/BatchLogDlg.h"
#include "gui/batch/BatchSession.h"
#include "gui/batch/BatchTableModel.h"
#include "gui/batch/ChangeOutputDlg.h"

namespace {

// The window's layout grid in pixels: a step across is 1.5 pixels, a step
// down 1.625, the proportions of an 8-point font.
QRect GridRect(int x, int y, int width, int height) {
  return {x * 3 / 2, y * 13 / 8, width * 3 / 2, height * 13 / 8};
}

constexpr int kColumnWeights[batchcolumn::kCount] = {1, 3, 2, 2, 3, 2, 4, 4};

}  // namespace

CBatchConvertDlg::CBatchConvertDlg(const CGuiServices& services, const QString& logPath)
    : QDialog(nullptr),
      services_(services),
      host_(services, HostWindow()),
      run_(queue_, host_, {logPath.isEmpty() ? services.batchLogPath : logPath.toStdString()}) {
  setWindowTitle(QStringLiteral("Batch Convert"));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
  setAttribute(Qt::WA_DeleteOnClose, false);
  setWindowIcon(QIcon(QStringLiteral(":/kestrune/kestrune.svg")));
  // Its boxes and file dialogs block this window only.
  setProperty(kWindowModalBoxesProperty, true);
}

CBatchConvertDlg::~CBatchConvertDlg() {
  if (closeQuestion_) closeQuestion_->Withdraw();
  // Never leave a worker writing behind the window.
  run_.RequestStop();
  host_.JoinWorker();
  // The list and its model go before the queue they show.
  delete list_;
  delete model_;
}

CBatchWindowHost::Window CBatchConvertDlg::HostWindow() {
  CBatchWindowHost::Window window;
  window.window = this;
  window.jobFinished = [this](std::uint64_t id) { OnJobFinished(id); };
  window.percent = [this](std::uint64_t id, int percent) {
    run_.ShowPercent(id, percent);
    emit PercentShown(percent);
  };
  window.showJob = [this](int index) {
    if (list_) list_->scrollTo(model_->index(index, 0));
  };
  window.summaryRead = [this] { ResumeCloseRequest(); };
  window.close = [this] { CloseNow(); };
  return window;
}

// ------------------------------------------------------------- building

void CBatchConvertDlg::Start() {
  // The window is created once.
  if (created_) return;
  created_ = true;
  BuildControls();
  BuildList();
  BuildMenu();
  host_.SetControls({overwrite_, convertAll_, stop_, overall_});
  RestoreLayout();
  show();
}

void CBatchConvertDlg::Anchor(QWidget* widget, bool followsBottom, bool growsWide, bool growsTall) {
  anchored_.push_back({widget, widget->geometry(), followsBottom, growsWide, growsTall});
}

void CBatchConvertDlg::resizeEvent(QResizeEvent* event) {
  // Each control keeps its place at the original size; the list takes what
  // the window grows by, the controls below it follow the bottom edge.
  const int wider = std::max(0, width() - baseSize_.width());
  const int taller = std::max(0, height() - baseSize_.height());
  for (const Anchored& a : anchored_)
    a.widget->setGeometry(a.base.x(), a.base.y() + (a.followsBottom ? taller : 0),
                          a.base.width() + (a.growsWide ? wider : 0),
                          a.base.height() + (a.growsTall ? taller : 0));
  QDialog::resizeEvent(event);
}

void CBatchConvertDlg::BuildControls() {
  baseSize_ = GridRect(0, 0, 423, 185).size();
  setMinimumSize(baseSize_);
  resize(baseSize_);

  // Placed on the layout grid; texts get the width they need, since the
  // desktop's font is wider than the grid's.
  overwrite_ = Named(new QCheckBox(QStringLiteral("Overwrite existing file(s)"), this), kOverwrite);
  const QRect box = GridRect(13, 136, 89, 10);
  overwrite_->setGeometry(box.x(), box.center().y() - overwrite_->sizeHint().height() / 2,
                          overwrite_->sizeHint().width(), overwrite_->sizeHint().height());
  auto* frame = new QGroupBox(this);
  frame->setGeometry(GridRect(177, 129, 237, 21));
  auto* label = new QLabel(QStringLiteral("Overall Progress"), this);
  const QRect labelBox = GridRect(182, 137, 52, 8);
  label->setGeometry(labelBox.x(), labelBox.center().y() - label->sizeHint().height() / 2,
                     label->sizeHint().width(), label->sizeHint().height());
  overall_ = Named(new QProgressBar(this), kOverall);
  const QRect barBox = GridRect(240, 137, 169, 8).adjusted(0, -2, 0, 2);
  const int barLeft = std::max(barBox.left(), label->geometry().right() + 8);
  overall_->setGeometry(barLeft, barBox.top(), barBox.right() - barLeft, barBox.height());
  overall_->setTextVisible(false);
  overall_->setRange(0, 100);
  overall_->setValue(0);
  Anchor(overwrite_, true, false, false);
  Anchor(frame, true, true, false);
  Anchor(label, true, false, false);
  Anchor(overall_, true, true, false);
  BuildButtons();
}

void CBatchConvertDlg::BuildButtons() {
  struct ButtonEntry {
    const char* caption;
    const char* name;
    int x;
    const char* tip;
    void (CBatchConvertDlg::*handler)();
  };
  const ButtonEntry entries[] = {
      {"ADD_FILES", kAddFiles, 5, "Adds files for batch conversion", &CBatchConvertDlg::OnAddFiles},
      {"REMOVE_FILES", kRemoveFiles, 74, "Removes files from batch conversion list",
       &CBatchConvertDlg::OnRemoveFiles},
      {"CONVERT_ALL", kConvertAll, 143, "Starts batch conversion", &CBatchConvertDlg::OnConvertAll},
      {"BATCH_STOP", kBatchStop, 212, "Stops batch conversion", &CBatchConvertDlg::OnStop},
      {"VIEW_LOG", kViewLog, 281, "Shows log for last batch conversion", &CBatchConvertDlg::OnViewLog},
      {"EXIT", kExit, 350, "Stops batch conversion and exits", nullptr},
  };
  for (const ButtonEntry& entry : entries) {
    auto* button = Named(new CBitmapButton(QString::fromLatin1(entry.caption), this), entry.name);
    button->setFixedSize(GridRect(0, 0, 63, 20).size());
    button->move(GridRect(entry.x, 157, 0, 0).topLeft());
    button->setToolTip(QString::fromLatin1(entry.tip));
    Anchor(button, true, false, false);
    if (entry.handler)
      connect(button, &QAbstractButton::clicked, this, entry.handler);
    else
      connect(button, &QAbstractButton::clicked, this, [this] { RequestClose(); });
    if (std::string_view(entry.name) == kConvertAll) convertAll_ = button;
    if (std::string_view(entry.name) == kBatchStop) stop_ = button;
  }
  convertAll_->setEnabled(false);
  stop_->setEnabled(false);
}

void CBatchConvertDlg::RestoreLayout() {
  if (const QByteArray geometry = services_.settings.BatchWindowGeometry(); !geometry.isEmpty())
    restoredGeometry_ = restoreGeometry(geometry);
  const std::vector<int> widths = services_.settings.BatchColumnWidths(batchcolumn::kCount);
  for (std::size_t column = 0; column < widths.size(); ++column)
    list_->setColumnWidth(int(column), widths[column]);
}

void CBatchConvertDlg::SaveLayout() {
  services_.settings.SetBatchWindowGeometry(saveGeometry());
  std::vector<int> widths;
  for (int column = 0; column < batchcolumn::kCount; ++column) widths.push_back(list_->columnWidth(column));
  services_.settings.SetBatchColumnWidths(widths);
}

void CBatchConvertDlg::BuildList() {
  model_ = new CBatchTableModel(queue_, this);
  list_ = Named(new CBatchListView(model_, this), kList);
  list_->setGeometry(GridRect(3, 9, 413, 116));
  Anchor(list_, false, true, true);
  // Full-row selection and hot tracking. Desktops here select by click and
  // key only, so the row under the pointer is highlighted, not selected.
  list_->SetHotTrack(true);
  list_->SetShowSelectionAlways(true);
  // The client width W of the list, known before the window is shown.
  const int unit = (list_->width() - 2 * list_->frameWidth()) / 21;
  for (int column = 0; column < batchcolumn::kCount; ++column)
    list_->setColumnWidth(column, unit * kColumnWeights[column]);
  // Titles show whole from the start ("Convert to" and "Status" are wider
  // than their share of the list).
  list_->FitColumnsToTitles();
  connect(list_, &CBatchListView::ListDoubleClicked, this, &CBatchConvertDlg::OnChangeOutput);
  // Tab goes from the list to Overwrite, then along the buttons.
  QWidget* previous = list_;
  for (const char* name : {kOverwrite, kAddFiles, kRemoveFiles, kConvertAll, kBatchStop, kViewLog, kExit}) {
    QWidget* next = findChild<QWidget*>(QString::fromLatin1(name));
    setTabOrder(previous, next);
    previous = next;
  }
}

// ------------------------------------------------------------- commands

void CBatchConvertDlg::OnRemoveFiles() {
  // Never the converting row.
  std::set<std::uint64_t> removed;
  for (int row : list_->SelectedRows())
    if (queue_.At(row).status != JobStatus::Converting) removed.insert(queue_.At(row).id);
  list_->SetRedraw(false);
  queue_.RemoveIf([&removed](const BatchQueueJob& job) { return removed.count(job.id) > 0; });
  list_->SetRedraw(true);
  if (queue_.Count() == 0) run_.OnListEmptied();
}

void CBatchConvertDlg::OnConvertAll() {
  PassProtectedFiles();
  run_.Start();
  if (!run_.Running()) OnRunEnded();
}

void CBatchConvertDlg::OnStop() {
  run_.RequestStop();
}

// The log viewer and Change Output block this window only and are opened
// without waiting for them.
void CBatchConvertDlg::OnViewLog() {
  auto* viewer = new CBatchLogDlg(FromEngineText(run_.LogPath()), this);
  viewer->setAttribute(Qt::WA_DeleteOnClose);
  viewer->setWindowModality(Qt::WindowModal);
  viewer->open();
}

void CBatchConvertDlg::OnChangeOutput() {
  if (run_.State() == BatchState::Idle) return;
  const std::vector<int> selected = list_->SelectedRows();
  if (selected.empty()) return;
  const BatchQueueJob& job = queue_.At(selected.front());
  auto* dialog = new CChangeOutputDlg(services_, this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowModality(Qt::WindowModal);
  dialog->SetFolder(FromEngineText(job.outputFolder));
  dialog->SetName(FromEngineText(job.outputName));
  // The job is followed by its id, should rows come or go meanwhile.
  connect(dialog, &QDialog::accepted, this, [this, dialog, id = job.id] {
    const int index = queue_.IndexOf(id);
    if (index >= 0) queue_.SetOutput(index, dialog->Folder().toStdString(), dialog->Name().toStdString());
  });
  dialog->open();
}

void CBatchConvertDlg::OnHelp() {
  // Owned by the main window, so the help outlives the batch window.
  QWidget* owner = session_ && session_->MainWindow() ? session_->MainWindow() : this;
  CHelpViewer::ShowTopic(owner, QStringLiteral("batch_convert"));
}

// ------------------------------------------------------------- events

void CBatchConvertDlg::OnJobFinished(std::uint64_t id) {
  PassProtectedFiles();
  run_.OnJobEnded(id);
  if (!run_.Running()) OnRunEnded();
}

void CBatchConvertDlg::keyPressEvent(QKeyEvent* event) {
  if (SwallowDialogEndKey(event)) return;
  switch (event->key()) {
    case Qt::Key_Delete:
      OnRemoveFiles();
      break;
    case Qt::Key_F1:
      OnHelp();
      event->accept();
      return;
    default:
      break;
  }
  QDialog::keyPressEvent(event);
}

void CBatchConvertDlg::closeEvent(QCloseEvent* event) {
  if (closed_) {
    event->accept();
    return;
  }
  // The window goes through Close; it hides itself when it is done.
  event->ignore();
  RequestClose();
}
