// The main window's segments: View > Segments shows the list beside the
// strip; the selection is added as a named segment, segments are reordered,
// renamed, removed, played, written all at once, exported and imported.
// Every change of the list is one undo step with the marks.

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QLayout>
#include <QListWidget>
#include <algorithm>

#include "core/AudioFile.h"
#include "core/OperationRunner.h"
#include "core/split/CueSheet.h"
#include "core/split/CutListExport.h"
#include "core/split/SplitRequest.h"
#include "gui/ConvertCommands.h"
#include "gui/EngineText.h"
#include "gui/GuiServices.h"
#include "gui/SegmentsPanel.h"
#include "gui/app/MainDlg.h"
#include "gui/app/MainPlayback.h"

namespace {
constexpr const char* kSegmentsCaption = "Segments";
const QString kSegmentFilter =
    QStringLiteral("Cue sheets (*.cue)|*.cue|Labels files (*.txt)|*.txt|All files (*.*)|*.*||");

std::string Local(const QString& path) {
  return QFile::encodeName(path).toStdString();
}
}  // namespace

void CMainDlg::BuildSegments() {
  segmentsPanel_ = new CSegmentsPanel;
  segmentsPanel_->hide();
  CSegmentsPanel* p = segmentsPanel_;
  connect(p, &CSegmentsPanel::AddRequested, this, &CMainDlg::OnAddSegment);
  connect(p, &CSegmentsPanel::RemoveRequested, this, [this](int row) {
    Undoable([&] { segments_.Remove(static_cast<std::size_t>(row)); });
    ShowSegments();
  });
  connect(p, &CSegmentsPanel::MoveRequested, this, [this](int from, int to) {
    if (to < 0) return;
    Undoable([&] { segments_.Move(static_cast<std::size_t>(from), static_cast<std::size_t>(to)); });
    ShowSegments();
    segmentsPanel_->SetCurrent(std::min(to, static_cast<int>(segments_.Size()) - 1));
  });
  connect(p, &CSegmentsPanel::RenameRequested, this, [this](int row, const QString& name) {
    // An empty name is no name: the old one stays.
    if (!name.isEmpty())
      Undoable([&] { segments_.Rename(static_cast<std::size_t>(row), name.toStdString()); });
    ShowSegments();
  });
  connect(p, &CSegmentsPanel::Chosen, this, &CMainDlg::OnChooseSegment);
  connect(p, &CSegmentsPanel::PlayRequested, this, &CMainDlg::OnPlaySegment);
  connect(p, &CSegmentsPanel::WriteAllRequested, this, &CMainDlg::OnWriteSegments);
  connect(p, &CSegmentsPanel::ExportRequested, this, &CMainDlg::OnExportSegments);
  connect(p, &CSegmentsPanel::ImportRequested, this, &CMainDlg::OnImportSegments);
}

bool CMainDlg::SegmentsShown() const {
  const QAction* action = Action(kViewSegments);
  return segmentsPanel_ && action && action->isChecked() && WaveformShown();
}

void CMainDlg::OnToggleSegments() {
  // The list goes with the strip: on, it shows the strip too.
  if (Action(kViewSegments)->isChecked() && !WaveformShown()) {
    Action(kViewWaveform)->setChecked(true);
    OnToggleWaveform();
    return;
  }
  ShowSegments();
  FitSliderToWindow();
  // The list's width comes on top of what the strip and slider need: the
  // window grows rather than squeeze them.
  layout()->activate();
  const QSize needed = minimumSizeHint();
  setMinimumSize(std::max(520, needed.width()), std::max(kCollapsedHeight, needed.height()));
  if (width() < minimumWidth()) resize(minimumWidth(), height());
}

void CMainDlg::ShowSegments() {
  segmentsPanel_->setVisible(SegmentsShown());
  segmentsPanel_->Show(segments_.Items(), marks_.SampleRate());
  segmentsPanel_->SetCanAdd(file_ && marks_.GetMarking() == CSelectionModel::Marking::Done &&
                            marks_.Selection().has_value());
}

void CMainDlg::OnAddSegment() {
  const auto span = marks_.Selection();
  if (!file_ || !span) return;
  Undoable([&] { segments_.Add({segments_.NextName(), span->first, span->end}); });
  ShowSegments();
  segmentsPanel_->SetCurrent(static_cast<int>(segments_.Size()) - 1);
}

void CMainDlg::AddSegmentsOfPlan(const split::SplitPlan& plan) {
  Undoable([&] {
    for (split::Segment& s : split::SegmentsOfPlan(plan)) segments_.Add(std::move(s));
  });
  ShowSegments();
}

void CMainDlg::OnChooseSegment(int row) {
  if (row < 0 || static_cast<std::size_t>(row) >= segments_.Size()) return;
  const split::Segment& s = segments_.Items()[static_cast<std::size_t>(row)];
  activeEnd_ = true;
  Undoable([&] { SelectSamples(s.first, s.end); });
}

void CMainDlg::OnPlaySegment(int row) {
  OnChooseSegment(row);
  OnPlaySelection();
}

void CMainDlg::OnWriteSegments() {
  if (!file_ || segments_.Empty()) return;
  const QString folder = services_.Prompt().GetExistingDirectory(
      this, QStringLiteral("Write the segments into"),
      QFileInfo(QFile::decodeName(file_->GetFilePath().c_str())).absolutePath());
  if (folder.isEmpty()) return;
  StopPlayback();
  commands_->RunOperation(*file_, [&](CProgress* progress) {
    const split::WriteOutcome outcome =
        split::WriteSegments(*file_, segments_.Items(), Local(folder), progress);
    const std::string text = outcome.cancelled ? "Cancelled; " + std::to_string(outcome.written.size()) +
                                                     " pieces were written whole."
                                               : std::to_string(outcome.written.size()) + " pieces written.";
    return OperationResult(err::kNone, OperationNotice{kSegmentsCaption, text, MessageIcon::Information});
  });
}

void CMainDlg::OnExportSegments() {
  if (!file_ || segments_.Empty()) return;
  FileDialogRequest request;
  request.title = QStringLiteral("Export the segments");
  request.filter = kSegmentFilter;
  request.defaultExtension = QStringLiteral("cue");
  request.overwritePrompt = true;
  const QString path = services_.Prompt().GetSaveFileName(this, request);
  if (path.isEmpty()) return;
  const bool cue = path.endsWith(QStringLiteral(".cue"), Qt::CaseInsensitive);
  const std::string text =
      cue ? split::SegmentCueText(segments_.Items(), marks_.SampleRate(), file_->GetFilePath())
          : split::SegmentLabelsText(segments_.Items(), marks_.SampleRate());
  const OperationOutcome failure =
      RunAndCatch(Local(path), [&] { split::WriteTextFile(Local(path), text, {file_->GetFilePath()}); });
  if (!failure.Finished())
    services_.Prompt().Ask(this, QString::fromLatin1(kSegmentsCaption), FromEngineText(failure.text),
                           MessageIcon::Error, PromptButtons::Ok);
}

void CMainDlg::OnImportSegments() {
  if (!file_) return;
  FileDialogRequest request;
  request.title = QStringLiteral("Import segments");
  request.filter = kSegmentFilter;
  const QString path = services_.Prompt().GetOpenFileName(this, request);
  if (path.isEmpty()) return;
  std::vector<split::Segment> read;
  std::string problem;
  const OperationOutcome failure = RunAndCatch(Local(path), [&] {
    if (path.endsWith(QStringLiteral(".cue"), Qt::CaseInsensitive)) {
      // A cue sheet's tracks, on this file whatever its FILE line names.
      const split::CueSheet sheet = split::ReadCueSheet(Local(path));
      split::SplitRequest cue;
      cue.mode = split::SplitMode::Cue;
      read = split::SegmentsOfPlan(split::BuildSplitPlan(*file_, cue, &sheet));
      return;
    }
    QFile labels(path);
    if (!labels.open(QIODevice::ReadOnly)) {
      problem = "it cannot be read.";
      return;
    }
    split::SegmentsRead labelsRead =
        split::ReadSegmentLabels(labels.readAll().toStdString(), marks_.SampleRate(), marks_.Length());
    read = std::move(labelsRead.segments);
    problem = std::move(labelsRead.problem);
  });
  if (!failure.Finished()) problem = failure.text;
  if (!problem.empty()) {
    services_.Prompt().Ask(this, QString::fromLatin1(kSegmentsCaption),
                           (problem == failure.text ? QString() : path + QStringLiteral(": ")) +
                               FromEngineText(problem) +
                               (read.empty() ? QString() : QStringLiteral(" The lines before it were read.")),
                           MessageIcon::Warning, PromptButtons::Ok);
  }
  if (read.empty()) return;
  Undoable([&] {
    for (split::Segment& s : read) segments_.Add(std::move(s));
  });
  ShowSegments();
}
