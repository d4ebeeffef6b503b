#include "gui/SplitDlg.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include "core/AudioFile.h"
#include "core/File.h"
#include "core/OperationRunner.h"
#include "core/Progress.h"
#include "core/TimeText.h"
#include "core/split/CutListExport.h"
#include "core/split/SplitWriter.h"
#include "gui/EngineText.h"
#include "gui/GuiServices.h"

namespace {

constexpr const char* kCaption = "Split";

std::string S(const QString& text) {
  return text.trimmed().toStdString();
}

QString Clock(std::uint64_t sample, std::uint32_t rate) {
  return FromEngineText(split::ClockText(sample, rate));
}
QString Length(std::uint64_t samples, std::uint32_t rate) {
  return FromEngineText(timetext::FormatTime(timetext::MicrosOf(samples, rate)));
}

QTableWidget* MakeTable(const QStringList& headers, QWidget* parent) {
  auto* table = new QTableWidget(0, static_cast<int>(headers.size()), parent);
  table->setHorizontalHeaderLabels(headers);
  table->verticalHeader()->hide();
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->horizontalHeader()->setStretchLastSection(true);
  return table;
}

QTableWidgetItem* Cell(const QString& text) {
  return new QTableWidgetItem(text);
}

}  // namespace

CSplitDlg::CSplitDlg(const CGuiServices& services, CAudioFile& file, const std::string& suffix,
                     QWidget* parent)
    : QDialog(parent), services_(services), file_(file), sourcePath_(file.GetFilePath()) {
  setWindowTitle(QStringLiteral("Split %1").arg(FromEngineText(FileNamePart(sourcePath_))));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(BuildOptions());
  layout->addWidget(BuildPreview(), 1);
  suffix_->setText(FromEngineText(suffix));
  UpdateModeControls();
  planner_ = [](CAudioFile& file, const split::SplitRequest& request, const split::CueSheet* sheet) {
    return split::BuildSplitPlan(file, request, sheet);
  };
  cancelWatch_.setInterval(50);
  connect(&cancelWatch_, &QTimer::timeout, this, [this] {
    if (findWindow_ && findWindow_->IsCancelled()) OnFindCancelled();
  });
  resize(760, 620);
}

struct CSplitDlg::FindJob {
  split::SplitRequest request;
  std::string sheetPath;
  std::optional<split::SplitPlan> plan;
  OperationOutcome failure;
  std::atomic<bool> cancelled{false};
};

CSplitDlg::~CSplitDlg() {
  // The finder reads the file this dialog was given: it ends first.
  if (finder_.joinable()) finder_.join();
  if (showCuts_) showCuts_(nullptr);
}

QWidget* CSplitDlg::BuildOptions() {
  auto* box = new QGroupBox(QStringLiteral("Cut"), this);
  auto* form = new QFormLayout(box);
  silenceMode_ = new QRadioButton(QStringLiteral("At &silences"), box);
  equalMode_ =
      new QRadioButton(QStringLiteral("&Equal pieces, each cut moved to the longest silence near it"), box);
  cueMode_ = new QRadioButton(QStringLiteral("By a &cue sheet"), box);
  silenceMode_->setChecked(true);
  for (QRadioButton* r : {silenceMode_, equalMode_, cueMode_}) {
    form->addRow(r);
    connect(r, &QRadioButton::toggled, this, [this] { UpdateModeControls(); });
  }
  AddSilenceOptions(box, form);
  AddFileOptions(box, form);

  find_ = new QPushButton(QStringLiteral("&Find cuts"), box);
  form->addRow(find_);
  connect(find_, &QPushButton::clicked, this, [this] { OnFind(); });
  // A changed option makes the list shown out of date.
  for (QLineEdit* e : {minSilence_, minPiece_, snap_, cueSheet_, base_, suffix_, outDir_})
    connect(e, &QLineEdit::textEdited, this, [this] { Forget(); });
  connect(threshold_, &QDoubleSpinBox::valueChanged, this, [this] { Forget(); });
  connect(pieces_, &QSpinBox::valueChanged, this, [this] { Forget(); });
  connect(cutAt_, &QComboBox::currentIndexChanged, this, [this] { Forget(); });
  return box;
}

void CSplitDlg::AddSilenceOptions(QWidget* box, QFormLayout* form) {
  threshold_ = new QDoubleSpinBox(box);
  threshold_->setRange(split::kMinThresholdDb, split::kMaxThresholdDb);
  threshold_->setDecimals(1);
  threshold_->setSuffix(QStringLiteral(" dBFS"));
  threshold_->setValue(-48.0);
  minSilence_ = new QLineEdit(QStringLiteral("0.5"), box);
  minPiece_ = new QLineEdit(QStringLiteral("10"), box);
  cutAt_ = new QComboBox(box);
  cutAt_->addItems({QStringLiteral("middle"), QStringLiteral("start"), QStringLiteral("end")});
  pieces_ = new QSpinBox(box);
  pieces_->setRange(2, static_cast<int>(split::kMaxPieces));
  pieces_->setValue(4);
  snap_ = new QLineEdit(QStringLiteral("10"), box);
  form->addRow(QStringLiteral("&Threshold:"), threshold_);
  form->addRow(QStringLiteral("Minimum si&lence (s or M:SS):"), minSilence_);
  form->addRow(QStringLiteral("Minimum &piece (s or M:SS):"), minPiece_);
  form->addRow(QStringLiteral("Cut &at the silence's:"), cutAt_);
  form->addRow(QStringLiteral("&Number of pieces:"), pieces_);
  form->addRow(QStringLiteral("Look for silence &within ± (s):"), snap_);
}

void CSplitDlg::AddFileOptions(QWidget* box, QFormLayout* form) {
  cueSheet_ = new QLineEdit(box);
  browseSheet_ = new QPushButton(QStringLiteral("Browse..."), box);
  auto* sheetRow = new QHBoxLayout;
  sheetRow->addWidget(cueSheet_, 1);
  sheetRow->addWidget(browseSheet_);
  // A row of a field and a button: the label needs its buddy named, or it
  // shows its "&" instead of underlining the key.
  auto* sheetLabel = new QLabel(QStringLiteral("Cue s&heet:"), box);
  sheetLabel->setBuddy(cueSheet_);
  form->addRow(sheetLabel, sheetRow);
  connect(browseSheet_, &QPushButton::clicked, this, [this] { OnBrowseSheet(); });

  base_ = new QLineEdit(FromEngineText(sourcePath_), box);
  suffix_ = new QLineEdit(box);
  outDir_ = new QLineEdit(box);
  browseFolder_ = new QPushButton(QStringLiteral("Browse..."), box);
  auto* folderRow = new QHBoxLayout;
  folderRow->addWidget(outDir_, 1);
  folderRow->addWidget(browseFolder_);
  form->addRow(QStringLiteral("&Base file name:"), base_);
  form->addRow(QStringLiteral("S&uffix:"), suffix_);
  auto* folderLabel = new QLabel(QStringLiteral("Fol&der of the tracks:"), box);
  folderLabel->setBuddy(outDir_);
  form->addRow(folderLabel, folderRow);
  connect(browseFolder_, &QPushButton::clicked, this, [this] { OnBrowseFolder(); });
}

QWidget* CSplitDlg::BuildPreview() {
  auto* box = new QWidget(this);
  auto* layout = new QVBoxLayout(box);
  layout->setContentsMargins(0, 0, 0, 0);
  cutTable_ = MakeTable({QStringLiteral("Cut at"), QStringLiteral("Silence"),
                         QStringLiteral("Silence length"), QStringLiteral("Note")},
                        box);
  pieceTable_ = MakeTable({QStringLiteral("Piece"), QStringLiteral("Start"), QStringLiteral("End"),
                           QStringLiteral("Length"), QStringLiteral("File")},
                          box);
  connect(cutTable_, &QTableWidget::cellChanged, this,
          [this](int row, int column) { OnCutToggled(row, column); });
  summary_ = new QLabel(QStringLiteral("Press Find cuts to see where the file would be cut."), box);
  summary_->setWordWrap(true);
  exportCue_ = new QPushButton(QStringLiteral("Export &cue sheet..."), box);
  exportLabels_ = new QPushButton(QStringLiteral("Export &labels..."), box);
  write_ = new QPushButton(QStringLiteral("&Write pieces"), box);
  addSegments_ = new QPushButton(QStringLiteral("Add to se&gments"), box);
  addSegments_->setToolTip(QStringLiteral("Adds the pieces to the main window's segments"));
  addSegments_->hide();
  connect(addSegments_, &QPushButton::clicked, this, [this] {
    if (plan_ && addToSegments_) addToSegments_(*plan_);
  });
  auto* close = new QPushButton(QStringLiteral("Close"), box);
  connect(exportCue_, &QPushButton::clicked, this, [this] { OnExport(true); });
  connect(exportLabels_, &QPushButton::clicked, this, [this] { OnExport(false); });
  connect(write_, &QPushButton::clicked, this, [this] { OnWrite(); });
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  for (QPushButton* b : {exportCue_, exportLabels_, addSegments_}) buttons->addWidget(b);
  buttons->addStretch(1);
  buttons->addWidget(write_);
  buttons->addWidget(close);
  layout->addWidget(summary_);
  layout->addWidget(cutTable_, 2);
  layout->addWidget(pieceTable_, 1);
  layout->addLayout(buttons);
  return box;
}

void CSplitDlg::UpdateModeControls() {
  const bool silence = silenceMode_->isChecked(), equal = equalMode_->isChecked(),
             cue = cueMode_->isChecked();
  threshold_->setEnabled(!cue);
  minSilence_->setEnabled(!cue);
  minPiece_->setEnabled(silence);
  cutAt_->setEnabled(silence);
  pieces_->setEnabled(equal);
  snap_->setEnabled(equal);
  for (QWidget* w : {static_cast<QWidget*>(cueSheet_), static_cast<QWidget*>(browseSheet_),
                     static_cast<QWidget*>(outDir_), static_cast<QWidget*>(browseFolder_)})
    w->setEnabled(cue);
  base_->setEnabled(!cue);
  suffix_->setEnabled(!cue);
  Forget();
}

std::optional<split::SplitRequest> CSplitDlg::ReadForm() {
  split::SplitRequest r;
  r.mode = cueMode_->isChecked()     ? split::SplitMode::Cue
           : equalMode_->isChecked() ? split::SplitMode::Equal
                                     : split::SplitMode::Silence;
  r.silence.thresholdDb = threshold_->value();
  const std::pair<QLineEdit*, std::uint64_t*> times[] = {
      {minSilence_, &r.silence.minSilenceMicros}, {minPiece_, &r.minPieceMicros}, {snap_, &r.snapMicros}};
  for (const auto& [edit, micros] : times) {
    if (!edit->isEnabled()) continue;
    const timetext::ParsedTime parsed = timetext::ParseTime(S(edit->text()));
    if (!parsed.micros) {
      ShowError(QStringLiteral("\"%1\" is not a time: %2.").arg(edit->text(), FromEngineText(parsed.reason)));
      edit->setFocus();
      return std::nullopt;
    }
    *micros = *parsed.micros;
  }
  const int place = cutAt_->currentIndex();
  r.place = place == 1 ? split::CutPlace::Start : place == 2 ? split::CutPlace::End : split::CutPlace::Middle;
  r.pieces = static_cast<std::uint32_t>(pieces_->value());
  r.base = S(base_->text());
  r.suffix = suffix_->text().toStdString();
  r.outDir = S(outDir_->text());
  const std::string problem = split::CheckRequest(r);
  if (!problem.empty()) {
    ShowError(FromEngineText(problem));
    return std::nullopt;
  }
  if (r.mode == split::SplitMode::Cue && S(cueSheet_->text()).empty()) {
    ShowError(QStringLiteral("Choose the cue sheet first."));
    return std::nullopt;
  }
  return r;
}

void CSplitDlg::OnFind() {
  if (finder_.joinable()) return;
  Forget();
  const std::optional<split::SplitRequest> request = ReadForm();
  if (!request) return;
  job_ = std::make_shared<FindJob>();
  job_->request = *request;
  if (request->mode == split::SplitMode::Cue) job_->sheetPath = S(cueSheet_->text());
  find_->setEnabled(false);
  summary_->setText(QStringLiteral("Finding cuts..."));
  setCursor(Qt::BusyCursor);
  findWindow_ = makeProgress_ ? makeProgress_() : nullptr;
  if (findWindow_) {
    findProgress_ = std::make_unique<CProgress>(findWindow_.get());
    findProgress_->Start();
    findProgress_->SetTitle("Finding cuts");
    findProgress_->SetShreddingText(FileNamePart(sourcePath_), std::string());
    cancelWatch_.start();
  }
  finder_ = std::thread([this, job = job_, planner = planner_] {
    job->failure = RunAndCatch(sourcePath_, [&] {
      std::optional<split::CueSheet> sheet;
      if (!job->sheetPath.empty()) sheet = split::ReadCueSheet(job->sheetPath);
      job->plan = planner(file_, job->request, sheet ? &*sheet : nullptr);
    });
    // Back on the window's thread; the dialog joins this thread before it
    // goes, so it is there to take the call.
    QMetaObject::invokeMethod(this, &CSplitDlg::OnFound, Qt::QueuedConnection);
  });
}

void CSplitDlg::SetSegmentsSink(SegmentsSink sink) {
  addToSegments_ = std::move(sink);
  addSegments_->setVisible(static_cast<bool>(addToSegments_));
}

void CSplitDlg::OnFindCancelled() {
  if (!job_ || job_->cancelled.exchange(true)) return;
  cancelWatch_.stop();
  if (findProgress_) findProgress_->Close();
  unsetCursor();
  // The reading cannot be cut short; its result is dropped and Find cuts
  // comes back when the file is free again.
  summary_->setText(QStringLiteral("Find cuts was cancelled."));
}

void CSplitDlg::OnFound() {
  if (finder_.joinable()) finder_.join();
  cancelWatch_.stop();
  if (findProgress_ && !job_->cancelled) findProgress_->Close();
  findProgress_.reset();
  findWindow_.reset();
  unsetCursor();
  find_->setEnabled(true);
  const std::shared_ptr<FindJob> job = std::move(job_);
  if (!job || job->cancelled) return;
  summary_->setText(QStringLiteral("Press Find cuts to see where the file would be cut."));
  if (!job->failure.Finished()) ShowError(FromEngineText(job->failure.text));
  if (!job->plan) return;
  plan_ = std::move(job->plan);
  FillCuts();
  FillPieces();
}

void CSplitDlg::FillCuts() {
  filling_ = true;
  const std::uint32_t rate = plan_->sampleRate;
  cutTable_->setRowCount(static_cast<int>(plan_->cuts.size()));
  for (int row = 0; row < static_cast<int>(plan_->cuts.size()); ++row) {
    const split::CutPoint& cut = plan_->cuts[static_cast<std::size_t>(row)];
    QTableWidgetItem* at = Cell(Clock(cut.at, rate));
    at->setFlags(at->flags() | Qt::ItemIsUserCheckable);
    at->setCheckState(cut.enabled ? Qt::Checked : Qt::Unchecked);
    cutTable_->setItem(row, 0, at);
    const bool silent = cut.silence.has_value();
    cutTable_->setItem(
        row, 1,
        Cell(silent ? Clock(cut.silence->start, rate) + QStringLiteral(" - ") + Clock(cut.silence->end, rate)
                    : QString()));
    cutTable_->setItem(row, 2, Cell(silent ? Length(cut.silence->Length(), rate) : QString()));
    QString note;
    if (cut.noSilenceNear) note = QStringLiteral("no silence near: stays at its equal point");
    if (!cut.next.title.empty()) note = FromEngineText(cut.next.title);
    cutTable_->setItem(row, 3, Cell(note));
  }
  cutTable_->resizeColumnsToContents();
  filling_ = false;
}

void CSplitDlg::FillPieces() {
  const std::uint32_t rate = plan_->sampleRate;
  const std::vector<split::PlannedPiece> pieces = plan_->Pieces();
  pieceTable_->setRowCount(static_cast<int>(pieces.size()));
  for (int row = 0; row < static_cast<int>(pieces.size()); ++row) {
    const split::PlannedPiece& p = pieces[static_cast<std::size_t>(row)];
    pieceTable_->setItem(row, 0, Cell(QString::number(p.number)));
    pieceTable_->setItem(row, 1, Cell(Clock(p.start, rate)));
    pieceTable_->setItem(row, 2, Cell(Clock(p.end, rate)));
    pieceTable_->setItem(row, 3, Cell(Length(p.end - p.start, rate)));
    pieceTable_->setItem(row, 4, Cell(FromEngineText(p.path)));
  }
  pieceTable_->resizeColumnsToContents();
  summary_->setText(QStringLiteral("%1 of %2 cuts ticked: %3 pieces. Untick a cut to leave it out.")
                        .arg(plan_->EnabledCuts())
                        .arg(plan_->cuts.size())
                        .arg(pieces.size()));
  for (QPushButton* b : {write_, exportCue_, exportLabels_, addSegments_}) b->setEnabled(!pieces.empty());
  if (showCuts_) showCuts_(&*plan_);
}

void CSplitDlg::OnCutToggled(int row, int column) {
  if (filling_ || !plan_ || column != 0 || row < 0 || row >= static_cast<int>(plan_->cuts.size())) return;
  plan_->cuts[static_cast<std::size_t>(row)].enabled = cutTable_->item(row, 0)->checkState() == Qt::Checked;
  FillPieces();
}

void CSplitDlg::Forget() {
  plan_.reset();
  if (!cutTable_) return;
  cutTable_->setRowCount(0);
  pieceTable_->setRowCount(0);
  summary_->setText(QStringLiteral("Press Find cuts to see where the file would be cut."));
  for (QPushButton* b : {write_, exportCue_, exportLabels_, addSegments_}) b->setEnabled(false);
  if (showCuts_) showCuts_(nullptr);
}

void CSplitDlg::OnWrite() {
  if (!plan_) return;
  std::unique_ptr<CProgressSink> window = makeProgress_ ? makeProgress_() : nullptr;
  CProgress reporter(window.get());
  CProgress* progress = window ? &reporter : nullptr;
  const OperationOutcome failure = RunAndCatch(sourcePath_, [&] {
    const split::WriteOutcome outcome = split::WriteSplit(file_, *plan_, progress);
    if (progress) progress->Close();
    const QString text =
        outcome.cancelled
            ? QStringLiteral("Cancelled; %1 pieces were written whole.").arg(outcome.written.size())
            : QStringLiteral("%1 pieces written.").arg(outcome.written.size());
    // The dialog stays: another mode or other ticks can be written next.
    services_.Prompt().Ask(this, QString::fromUtf8(kCaption), text, MessageIcon::Information,
                           PromptButtons::Ok);
  });
  if (failure.Finished()) return;
  if (progress) progress->Close();
  ShowError(FromEngineText(failure.text));
}

void CSplitDlg::OnExport(bool cue) {
  if (!plan_) return;
  FileDialogRequest request;
  request.title =
      cue ? QStringLiteral("Export the cuts as a cue sheet") : QStringLiteral("Export the cuts as labels");
  request.filter = cue ? QStringLiteral("Cue sheets (*.cue)|*.cue|All files (*.*)|*.*||")
                       : QStringLiteral("Labels (*.txt)|*.txt|All files (*.*)|*.*||");
  request.defaultExtension = cue ? QStringLiteral("cue") : QStringLiteral("txt");
  request.initialName = FromEngineText(FileNamePart(sourcePath_)).section(QLatin1Char('.'), 0, -2) +
                        (cue ? QStringLiteral(".cue") : QStringLiteral(".txt"));
  request.overwritePrompt = true;
  const QString path = services_.Prompt().GetSaveFileName(this, request);
  if (path.isEmpty()) return;
  if (AbsolutePath(path.toStdString()) == AbsolutePath(sourcePath_)) {
    ShowError(QStringLiteral("%1: the export would replace the source.").arg(path));
    return;
  }
  const OperationOutcome failure = RunAndCatch(path.toStdString(), [&] {
    split::WriteTextFile(path.toStdString(),
                         cue ? split::CueSheetText(*plan_, sourcePath_) : split::LabelsText(*plan_),
                         {sourcePath_});
  });
  if (!failure.Finished()) ShowError(FromEngineText(failure.text));
}

void CSplitDlg::OnBrowseSheet() {
  FileDialogRequest request;
  request.title = QStringLiteral("Open a cue sheet");
  request.filter = QStringLiteral("Cue sheets (*.cue)|*.cue|All files (*.*)|*.*||");
  const QString path = services_.Prompt().GetOpenFileName(this, request);
  if (path.isEmpty()) return;
  cueSheet_->setText(path);
  if (outDir_->text().trimmed().isEmpty()) outDir_->setText(FromEngineText(FolderPart(path.toStdString())));
  Forget();
}

void CSplitDlg::OnBrowseFolder() {
  const QString folder =
      services_.Prompt().GetExistingDirectory(this, QStringLiteral("Folder of the tracks"), outDir_->text());
  if (folder.isEmpty()) return;
  outDir_->setText(folder);
  Forget();
}

void CSplitDlg::ShowError(const QString& text) {
  services_.Prompt().Ask(this, QString::fromUtf8(kCaption), text, MessageIcon::Error, PromptButtons::Ok);
}
