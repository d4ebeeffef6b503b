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
#include "gui/batch/listctrl/XListCtrl.h"

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
    menu.exec(list_->viewport()->mapToGlobal(pos));
  });
  connect(list_, &CXListCtrl::FilesDropped, this, [this](const QStringList& paths) {
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
  constexpr XColorRef kWhite = static_cast<XColorRef>(batchcolour::kWhite);
  list_->SetRedraw(false);
  for (int i = 0; i < paths.size(); ++i) {
    const std::string path = paths[i].toStdString();
    list_->InsertRow(i, QStringLiteral("       "));
    list_->SetCellCheck(i, batchcol::kCheck, 1);
    const std::string name = BatchFileName(path);
    const std::string extension = BatchExtension(path);
    list_->SetCellText(i, batchcol::kSource, FromEngineText(name));
    list_->SetCellText(i, batchcol::kType, FromEngineText(extension));
    BatchRow* record = rows_.Record(i);
    record->sourcePath = path;
    record->sourceType = BatchSourceType(extension);
    if (record->sourceType == sourcetype::kWav) {
      list_->SetCellCombo(i, batchcol::kConvertTo, true, &mp3Targets_, 2, 0);
    } else if (record->sourceType == sourcetype::kMp3) {
      list_->SetCellCombo(i, batchcol::kConvertTo, true, &wavTargets_, 2, 0);
    } else {
      // Greyed and unchecked, but selectable so that it can be removed.
      list_->SetCellCheck(i, batchcol::kCheck, 0);
      list_->SetRowEnabled(i, false);
      list_->SetCellText(i, batchcol::kType, QString::fromLatin1(batchtext::kUnknownType),
                         static_cast<XColorRef>(batchcolour::kRed), kWhite);
    }
    list_->SetCellText(i, batchcol::kOutput,
                       FromEngineText(BatchOutputName(name, BatchTargetExtension(record->sourceType))));
    list_->SetCellText(i, batchcol::kStatus, QString::fromLatin1(batchtext::kQueued),
                       static_cast<XColorRef>(batchcolour::kBlack), kWhite);
    const QString folder = FromEngineText(BatchFolder(path));
    list_->SetCellText(i, batchcol::kSourcePath, folder);
    list_->SetCellText(i, batchcol::kOutputPath, folder);
  }
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
                     2 * CXListDelegate::kTextMargin;
  if (list_->columnWidth(batchcol::kStatus) < status) list_->setColumnWidth(batchcol::kStatus, status);
}
