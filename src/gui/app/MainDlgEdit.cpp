// The main window's Edit > Undo and Redo over the marks, and the nudge keys
// that move the active mark. Every change of the marks by the user (START,
// END, CLEAR, SAVE's reset, a drag, typed times, a nudge) is one undo step.

#include <QAction>

#include "gui/BitmapButton.h"
#include "gui/PositionSlider.h"
#include "gui/SegmentsPanel.h"
#include "gui/WaveformPanel.h"
#include "gui/WaveformView.h"
#include "gui/app/MainControls.h"
#include "gui/app/MainDlg.h"

void CMainDlg::Undoable(const std::function<void()>& change) {
  const EditState before = CurrentState();
  change();
  history_.Changed(before, CurrentState());
  UpdateEditEntries();
}

void CMainDlg::OnUndo() {
  if (const auto state = history_.Undo(CurrentState())) RestoreState(*state);
}

void CMainDlg::OnRedo() {
  if (const auto state = history_.Redo(CurrentState())) RestoreState(*state);
}

void CMainDlg::RestoreState(const EditState& state) {
  marks_.SetMarks(state.marks);
  if (segments_.Items() != state.segments) {
    segments_.Assign(state.segments);
    ShowSegments();
  }
  ShowMarking();
  UpdateEditEntries();
}

void CMainDlg::ShowMarking() {
  CMainControls& c = *controls_;
  const CSelectionModel::Marking marking = marks_.GetMarking();
  const bool open = file_ != nullptr;
  c.start->setEnabled(open && marking == CSelectionModel::Marking::None);
  c.end->setEnabled(open && marking == CSelectionModel::Marking::Started);
  c.save->setEnabled(open && marking == CSelectionModel::Marking::Done);
  c.clear->setEnabled(open && marking != CSelectionModel::Marking::None);
  c.slider->UpdateLabels();
  c.slider->update();
  if (waveform_) {
    waveform_->UpdateReadout();
    waveform_->View()->update();
  }
}

void CMainDlg::UpdateEditEntries() {
  Action(kEditUndo)->setEnabled(file_ && history_.CanUndo());
  Action(kEditRedo)->setEnabled(file_ && history_.CanRedo());
  const bool marked = file_ && marks_.GetMarking() != CSelectionModel::Marking::None;
  for (const char* step : {kNudgeMs, kNudgePixel, kNudgeSample})
    for (const char* side : {"Left", "Right"})
      Action((QByteArray(step) + side).constData())->setEnabled(marked);
  const bool zoomable = file_ && WaveformShown();
  for (const char* name : {kViewZoomIn, kViewZoomOut, kViewZoomFit}) Action(name)->setEnabled(zoomable);
  Action(kViewZoomSelection)->setEnabled(zoomable && marks_.Selection().has_value());
  if (segmentsPanel_)
    segmentsPanel_->SetCanAdd(file_ && marks_.GetMarking() == CSelectionModel::Marking::Done &&
                              marks_.Selection().has_value());
  Action(kPlaySelection)
      ->setEnabled(file_ && marks_.GetMarking() == CSelectionModel::Marking::Done &&
                   marks_.Selection().has_value());
}

void CMainDlg::NudgeMark(NudgeStep step, int direction) {
  if (!file_ || marks_.GetMarking() == CSelectionModel::Marking::None) return;
  CWaveformView* view = waveform_->View();
  std::int64_t samples = 1;
  if (step == NudgeStep::TenMs) samples = std::max<std::int64_t>(1, (marks_.SampleRate() + 50) / 100);
  if (step == NudgeStep::Pixel) samples = static_cast<std::int64_t>(view->SamplesPerPixel());
  samples *= direction;
  // During a drag the nudge rides on the pointer, so the release keeps it.
  if (view->Dragging()) return view->NudgeDrag(samples);
  Undoable([&] {
    if (marks_.GetMarking() == CSelectionModel::Marking::Started) {
      marks_.NudgeSamples(false, samples);
      marks_.SetExact(true);
      ShowMarking();
      return;
    }
    marks_.NudgeSamples(activeEnd_, samples);
    // A mark nudged past the other one swaps with it; it stays the one moved.
    if (marks_.StartMark() > marks_.EndMark()) activeEnd_ = !activeEnd_;
    SelectSamples(marks_.StartMark(), marks_.EndMark());
  });
}
