// Adding to the batch list: ADD FILES, Add Folder..., and files and folders
// dropped on the list.
#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <QTimer>
#include <algorithm>

#include "core/StringTable.h"
#include "core/batch/BatchFolderFiles.h"
#include "core/batch/BatchNaming.h"
#include "gui/EngineText.h"
#include "gui/GuiServices.h"
#include "gui/batch/BatchConvertDlg.h"
#include "gui/batch/BatchListView.h"
#include "gui/batch/BatchTableModel.h"

namespace {

// The Status column is never narrower than its widest text.
constexpr const char* kWidestStatus = "File Exists";

}  // namespace

void CBatchConvertDlg::BuildMenu() {
  auto* addFiles = new QAction(QStringLiteral("Add Files..."), this);
  connect(addFiles, &QAction::triggered, this, &CBatchConvertDlg::OnAddFiles);
  addFolder_ = new QAction(QStringLiteral("Add Folder..."), this);
  addFolder_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
  addFolder_->setShortcutContext(Qt::WindowShortcut);
  connect(addFolder_, &QAction::triggered, this, &CBatchConvertDlg::OnAddFolder);
  addAction(addFolder_);
  list_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(list_, &QWidget::customContextMenuRequested, this, [this, addFiles](const QPoint& pos) {
    QMenu menu(this);
    menu.addAction(addFiles);
    menu.addAction(addFolder_);
    menu.addSeparator();
    // Remove acts on the selected rows, as the REMOVE FILES button and Delete do.
    QAction* remove = menu.addAction(QStringLiteral("Remove"), this, &CBatchConvertDlg::OnRemoveFiles);
    remove->setEnabled(!list_->SelectedRows().empty());
    menu.exec(list_->viewport()->mapToGlobal(pos));
  });
  connect(list_, &CBatchListView::FilesDropped, this, [this](const QStringList& paths) {
    // Let the drag end before the folders are read.
    QTimer::singleShot(0, this, [this, paths] { AddPaths(paths); });
  });
}

// The dialogs block this window only and do not wait: the main window and
// its running operations go on while the user chooses.
void CBatchConvertDlg::OnAddFiles() {
  FileDialogRequest request;
  request.filter = FromEngineText(LoadMessage(ids::kSupportedFilesFilter));
  services_.Prompt().OpenFileNames(this, request, [this](const QStringList& paths) {
    if (!paths.isEmpty()) AddFiles(paths);
  });
}

void CBatchConvertDlg::OnAddFolder() {
  services_.Prompt().OpenDirectory(this, QStringLiteral("Add Folder"), QString(),
                                   [this](const QString& folder) {
                                     if (!folder.isEmpty()) AddPaths({folder});
                                   });
}

void CBatchConvertDlg::AddPaths(const QStringList& paths) {
  QStringList files;
  QStringList cutShort;
  for (const QString& path : paths) {
    if (!QFileInfo(path).isDir()) {
      files << path;
      continue;
    }
    const BatchFolderScan scan = BatchFolderFiles(path.toStdString());
    for (const std::string& found : scan.files) files << FromEngineText(found);
    if (!scan.complete) cutShort << path;
  }
  if (!files.isEmpty()) AddFiles(files);
  for (const QString& folder : cutShort)
    services_.Prompt().Open(
        this, QStringLiteral("Batch Convert"),
        QStringLiteral("The folder %1 is too large to read whole: only the WAV and MP3 files among "
                       "the first %2 entries read were added.")
            .arg(folder)
            .arg(kBatchFolderEntryLimit),
        MessageIcon::Warning, PromptButtons::Ok, {});
}

void CBatchConvertDlg::AddFiles(const QStringList& paths) {
  std::vector<BatchQueueJob> jobs;
  jobs.reserve(static_cast<std::size_t>(paths.size()));
  for (const QString& path : paths) jobs.push_back(MakeBatchQueueJob(path.toStdString()));
  list_->SetRedraw(false);
  queue_.Insert(0, std::move(jobs));
  FitColumns(int(paths.size()));
  list_->SetRedraw(true);
  run_.OnFilesAdded();
}

void CBatchConvertDlg::FitColumns(int rowsAdded) {
  // A column grows to show the new rows whole, up to half the list's width;
  // a longer text is cut and shows itself as a tooltip.
  const int widest = std::max(list_->viewport()->width() / 2, 120);
  list_->FitColumnsToRows(0, rowsAdded - 1, widest);
  const int status = list_->fontMetrics().horizontalAdvance(QString::fromLatin1(kWidestStatus)) +
                     2 * CBatchDelegate::kTextMargin;
  if (list_->columnWidth(batchcolumn::kStatus) < status) list_->setColumnWidth(batchcolumn::kStatus, status);
}
