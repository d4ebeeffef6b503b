#include "gui/batch/BatchConvertDlg.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <algorithm>

#include "gui/batch/BatchConvertThread.h"
#include "gui/batch/BatchLogDlg.h"
#include "core/batch/BatchNaming.h"
#include "gui/batch/ChangeOutputDlg.h"
#include "gui/batch/listctrl/XHeaderCtrl.h"
#include "gui/batch/listctrl/XListCtrl.h"
#include "core/StringTable.h"
#include "gui/BitmapButton.h"
#include "gui/ControlId.h"
#include "gui/DialogKeys.h"
#include "gui/HelpViewer.h"
#include "gui/Prompt.h"

namespace {

// The BatchRow of a list row, attached by the list when the row is inserted.
struct CBatchListRow : CXListRowRecord {
  BatchRow row;
};

// Dialog units of the window's template in pixels of its 8-point font.
QRect Dlu(int x, int y, int width, int height) {
  return {x * 3 / 2, y * 13 / 8, width * 3 / 2, height * 13 / 8};
}

constexpr int kColumnWeights[batchcol::kCount] = {1, 3, 2, 2, 3, 2, 4, 4};

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

}  // namespace

CBatchConvertDlg::CBatchConvertDlg(const QString& logPath)
    : CProgressDlg(nullptr, OwnControls{}),
      run_(*this, *this, *this, logPath.isEmpty() ? DefaultBatchLogPath() : logPath.toStdString()) {
  setWindowTitle(QStringLiteral("Batch Convert"));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
  setAttribute(Qt::WA_DeleteOnClose, false);
  setWindowIcon(QIcon(QStringLiteral(":/kestrune/kestrune.svg")));
}

CBatchConvertDlg::~CBatchConvertDlg() {
  // Never leave a worker writing behind the window.
  run_.RequestStop();
  worker_.Join();
}

// ------------------------------------------------------------- building

void CBatchConvertDlg::Start() {
  // The window is created once; the worker's later calls do nothing.
  if (created_) return;
  created_ = true;
  BuildControls();
  BuildList();
  show();
}

void CBatchConvertDlg::BuildControls() {
  setFixedSize(Dlu(0, 0, 423, 185).size());

  // Placed by the template's dialog units; texts get the width they need,
  // since the desktop's font is wider than the template's.
  overwrite_ = WithId(new QCheckBox(QStringLiteral("Overwrite existing file(s)"), this), IDC_OVERWRITE);
  const QRect box = Dlu(13, 136, 89, 10);
  overwrite_->setGeometry(box.x(), box.center().y() - overwrite_->sizeHint().height() / 2,
                          overwrite_->sizeHint().width(), overwrite_->sizeHint().height());
  auto* frame = new QGroupBox(this);
  frame->setGeometry(Dlu(177, 129, 237, 21));
  auto* label = new QLabel(QStringLiteral("Overall Progress"), this);
  const QRect labelBox = Dlu(182, 137, 52, 8);
  label->setGeometry(labelBox.x(), labelBox.center().y() - label->sizeHint().height() / 2,
                     label->sizeHint().width(), label->sizeHint().height());
  overall_ = WithId(new QProgressBar(this), IDC_OVERALL);
  const QRect barBox = Dlu(240, 137, 169, 8).adjusted(0, -2, 0, 2);
  const int barLeft = std::max(barBox.left(), label->geometry().right() + 8);
  overall_->setGeometry(barLeft, barBox.top(), barBox.right() - barLeft, barBox.height());
  overall_->setTextVisible(false);
  overall_->setRange(0, 100);
  overall_->setValue(0);

  struct ButtonEntry {
    const char* caption;
    int id;
    int x;
    const char* tip;
    void (CBatchConvertDlg::*handler)();
  };
  const ButtonEntry entries[] = {
      {"ADD_FILES", IDC_ADD_FILES, 5, "Adds files for batch conversion", &CBatchConvertDlg::OnAddFiles},
      {"REMOVE_FILES", IDC_REMOVE_FILES, 74, "Removes files from batch conversion list",
       &CBatchConvertDlg::OnRemoveFiles},
      {"CONVERT_ALL", IDC_CONVERT_ALL, 143, "Starts batch conversion", &CBatchConvertDlg::OnConvertAll},
      {"BATCH_STOP", IDC_BATCH_STOP, 212, "Stops batch conversion", &CBatchConvertDlg::OnStop},
      {"VIEW_LOG", IDC_VIEW_LOG, 281, "Shows log for last batch conversion", &CBatchConvertDlg::OnViewLog},
      {"EXIT", IDC_EXIT, 350, "Stops batch conversion and exits", nullptr},
  };
  for (const ButtonEntry& entry : entries) {
    auto* button = WithId(new CBitmapButton(QString::fromLatin1(entry.caption), this), entry.id);
    button->setFixedSize(Dlu(0, 0, 63, 20).size());
    button->move(Dlu(entry.x, 157, 0, 0).topLeft());
    button->setToolTip(QString::fromLatin1(entry.tip));
    if (entry.handler)
      connect(button, &QAbstractButton::clicked, this, entry.handler);
    else
      connect(button, &QAbstractButton::clicked, this, [this] { RequestClose(); });
    if (entry.id == IDC_CONVERT_ALL) convertAll_ = button;
    if (entry.id == IDC_BATCH_STOP) stop_ = button;
  }
  convertAll_->setEnabled(false);
  stop_->setEnabled(false);
}

void CBatchConvertDlg::BuildList() {
  list_ = WithId(new CXListCtrl(this), IDC_LIST);
  list_->setGeometry(Dlu(3, 9, 413, 116));
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  // Full-row and hot-track selection (the template's extended style 0x28).
  list_->SetHotTrackSelection(true);
  list_->SetShowSelectionAlways(true);
  list_->SetRowRecordFactory([] { return std::make_unique<CBatchListRow>(); });
  // The client width W of the list, known before the window is shown.
  const int unit = (list_->width() - 2 * list_->frameWidth()) / 21;
  for (int column = 0; column < batchcol::kCount; ++column)
    list_->InsertColumn(column, Q(LoadMessage(ids::kBatchColumnFirst + static_cast<std::uint32_t>(column))),
                        Qt::AlignCenter, unit * kColumnWeights[column]);
  CXHeaderCtrl* header = list_->GetHeaderCtrl();
  header->SetImageList(CXHeaderCtrl::CheckBoxImages());
  for (int column = 0; column < batchcol::kCount; ++column)
    header->SetItemImage(column, column == 0 ? CXHeaderCtrl::kEmptyBoxImage : CXHeaderCtrl::kBlankImage);
  connect(list_, &CXListCtrl::ListDoubleClicked, this, &CBatchConvertDlg::OnChangeOutput);
}

// ------------------------------------------------------------- commands

void CBatchConvertDlg::OnAddFiles() {
  FileDialogRequest request;
  request.filter = Q(LoadMessage(ids::kSupportedFilesFilter));
  const QStringList paths = Prompt().GetOpenFileNames(this, request);
  if (!paths.isEmpty()) AddFiles(paths);
}

void CBatchConvertDlg::AddFiles(const QStringList& paths) {
  constexpr XColorRef kWhite = static_cast<XColorRef>(batchcolour::kWhite);
  list_->SetRedraw(false);
  for (int i = 0; i < paths.size(); ++i) {
    const std::string path = paths[i].toStdString();
    list_->InsertRow(i, QStringLiteral("       "));
    list_->SetCellCheck(i, batchcol::kCheck, 1);
    const std::string name = BatchFileName(path);
    const std::string extension = BatchExtension(path);
    list_->SetCellText(i, batchcol::kSource, Q(name));
    list_->SetCellText(i, batchcol::kType, Q(extension));
    BatchRow* record = Record(i);
    record->sourcePath = path;
    record->sourceType = BatchSourceType(extension);
    if (record->sourceType == sourcetype::kWav) {
      list_->SetCellCombo(i, batchcol::kConvertTo, true, &mp3Targets_, 2, 0);
    } else if (record->sourceType == sourcetype::kMp3) {
      list_->SetCellCombo(i, batchcol::kConvertTo, true, &wavTargets_, 2, 0);
    } else {
      list_->SetCellCheck(i, batchcol::kCheck, 0);
      list_->SetRowEnabled(i, false);
      list_->SetCellText(i, batchcol::kType, QString::fromLatin1(batchtext::kUnknownType),
                         static_cast<XColorRef>(batchcolour::kRed), kWhite);
    }
    list_->SetCellText(i, batchcol::kOutput,
                       Q(BatchOutputName(name, BatchTargetExtension(record->sourceType))));
    list_->SetCellText(i, batchcol::kStatus, QString::fromLatin1(batchtext::kQueued),
                       static_cast<XColorRef>(batchcolour::kBlack), kWhite);
    const QString folder = Q(BatchFolder(path));
    list_->SetCellText(i, batchcol::kSourcePath, folder);
    list_->SetCellText(i, batchcol::kOutputPath, folder);
  }
  list_->SetRedraw(true);
  run_.OnFilesAdded();
}

void CBatchConvertDlg::OnRemoveFiles() {
  for (int row : list_->GetSelectedRows()) {
    BatchRow* record = Record(row);
    if (record && record->status != static_cast<std::int32_t>(JobStatus::Converting))
      record->sourceType = sourcetype::kMarked;
  }
  list_->SetRedraw(false);
  for (int row = 0; row < list_->GetRowCount();) {
    const BatchRow* record = Record(row);
    if (record && record->sourceType == sourcetype::kMarked)
      list_->DeleteRow(row);
    else
      ++row;
  }
  list_->SetRedraw(true);
  if (list_->GetRowCount() == 0) run_.OnListEmptied();
}

void CBatchConvertDlg::OnConvertAll() {
  run_.StartRun();
  if (!run_.Running()) emit RunFinished();
}

void CBatchConvertDlg::OnStop() {
  run_.RequestStop();
}

void CBatchConvertDlg::OnViewLog() {
  CBatchLogDlg viewer(Q(run_.LogPath()), this);
  viewer.exec();
}

void CBatchConvertDlg::OnChangeOutput() {
  if (run_.State() == BatchState::Idle) return;
  const std::vector<int> selected = list_->GetSelectedRows();
  if (selected.empty()) return;
  const int row = selected.front();
  CChangeOutputDlg dialog(this);
  dialog.SetFolder(list_->GetCellText(row, batchcol::kOutputPath));
  dialog.SetName(list_->GetCellText(row, batchcol::kOutput));
  if (dialog.exec() != QDialog::Accepted) return;
  list_->SetCellText(row, batchcol::kOutput, dialog.Name());
  list_->SetCellText(row, batchcol::kOutputPath, dialog.Folder());
}

void CBatchConvertDlg::OnHelp() {
  // Owned by the main window, so the help outlives the batch window.
  QWidget* owner = thread_ && thread_->MainWindow() ? thread_->MainWindow() : this;
  CHelpViewer::ShowTopic(owner, QStringLiteral("batch_convert"));
}

bool CBatchConvertDlg::RequestClose() {
  if (closed_) return true;
  std::uint32_t question = 0;
  switch (run_.State()) {
    case BatchState::Idle:
      CloseNow();
      return true;
    case BatchState::FilesAdded:
      question = ids::kBatchCloseWithFiles;
      break;
    case BatchState::Converting:
      question = ids::kBatchCloseInProgress;
      break;
    case BatchState::Unfinished:
      question = ids::kBatchCloseWithProblems;
      break;
  }
  const PromptAnswer answer =
      Prompt().Ask(this, QString::fromLatin1(msg::kCaptionComfirm), Q(LoadMessage(question)),
                   MessageIcon::Warning, PromptButtons::YesNo);
  if (answer == PromptAnswer::No) return false;
  // The run may have ended while the question was open.
  if (run_.Running())
    run_.RequestClose();
  else
    CloseNow();
  return true;
}

void CBatchConvertDlg::CloseNow() {
  if (closed_) return;
  closed_ = true;
  hide();
  emit Closed();
}

// ------------------------------------------------------------- events

void CBatchConvertDlg::customEvent(QEvent* event) {
  if (event->type() != static_cast<QEvent::Type>(batchmsg::kJobFinished))
    return CProgressDlg::customEvent(event);
  run_.OnJobFinished();
  if (!run_.Running()) emit RunFinished();
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

// ------------------------------------------------------------- progress

void CBatchConvertDlg::SetFileRange(std::uint32_t total, std::uint32_t step) {
  run_.SetFileRange(total, step);
}

void CBatchConvertDlg::StepFile() {
  run_.StepFile();
  if (stepObserver_) stepObserver_();
}

bool CBatchConvertDlg::IsCancelled() {
  return run_.IsCancelled();
}

// ------------------------------------------------------------- the rows

int CBatchConvertDlg::RowCount() const {
  return list_ ? list_->GetRowCount() : 0;
}

BatchRow* CBatchConvertDlg::Record(int row) const {
  auto* record = list_ ? list_->GetRowRecordAs<CBatchListRow>(row) : nullptr;
  return record ? &record->row : nullptr;
}

bool CBatchConvertDlg::IsChecked(int row) const {
  return list_->GetCellCheck(row, batchcol::kCheck) == 1;
}

std::string CBatchConvertDlg::Text(int row, int column) const {
  return list_->GetCellText(row, column).toStdString();
}

void CBatchConvertDlg::SetStatusText(int row, const std::string& text, std::uint32_t colour) {
  list_->SetCellText(row, batchcol::kStatus, Q(text), static_cast<XColorRef>(colour),
                     static_cast<XColorRef>(batchcolour::kWhite));
}

void CBatchConvertDlg::SetSourceBold(int row, bool bold) {
  list_->SetCellBold(row, batchcol::kSource, bold);
}

void CBatchConvertDlg::ShowProgress(int row) {
  list_->ShowCellProgress(row, batchcol::kStatus, true);
}

void CBatchConvertDlg::HideProgress(int row) {
  list_->HideCellProgress(row, batchcol::kStatus);
}

void CBatchConvertDlg::SetProgress(int row, int percent) {
  list_->SetCellProgress(row, batchcol::kStatus, percent);
}

void CBatchConvertDlg::ScrollTo(int row) {
  list_->EnsureVisible(row);
}

// ------------------------------------------------------------- the host

void CBatchConvertDlg::StartWorker(BatchJob& job) {
  worker_.Start(job, fileMaker_, [this] {
    // The job's result is written; the window reads it when this arrives.
    QCoreApplication::postEvent(this, new QEvent(static_cast<QEvent::Type>(batchmsg::kJobFinished)));
  });
}

bool CBatchConvertDlg::OverwriteChecked() const {
  return overwrite_->isChecked();
}

void CBatchConvertDlg::EnableConvertAll(bool enable) {
  convertAll_->setEnabled(enable);
}

void CBatchConvertDlg::EnableStop(bool enable) {
  stop_->setEnabled(enable);
}

void CBatchConvertDlg::SetOverallProgress(int maximum, int position) {
  // A range of 0..0 would turn the bar into a busy indicator.
  overall_->setRange(0, std::max(maximum, 1));
  overall_->setValue(position);
}

void CBatchConvertDlg::ShowSummary(const std::string& text, bool exclamation) {
  Prompt().Ask(this, QStringLiteral("Batch Convert Information"), Q(text),
               exclamation ? MessageIcon::Warning : MessageIcon::Information, PromptButtons::Ok);
}

void CBatchConvertDlg::CloseWindow() {
  CloseNow();
}

void CBatchConvertDlg::PostPercent(int percent) {
  // On the worker: the list belongs to this thread's owner, so the new
  // value travels as a queued call.
  QMetaObject::invokeMethod(
      this,
      [this, percent] {
        run_.ShowPercent(percent);
        emit PercentShown(percent);
      },
      Qt::QueuedConnection);
}
