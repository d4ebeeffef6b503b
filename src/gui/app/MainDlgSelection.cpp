// The main window's selection: START, END, SAVE and CLEAR mark a stretch
// on the slider in whole seconds (the waveform and Edit > Set Selection mark
// it to the sample, MainDlgWaveform.cpp); SAVE writes it to a new file.

#include <QFile>

#include "core/StringTable.h"
#include "gui/BitmapButton.h"
#include "gui/ConvertCommands.h"
#include "gui/GuiServices.h"
#include "gui/PositionSlider.h"
#include "gui/app/MainControls.h"
#include "gui/app/MainDlg.h"

void CMainDlg::OnToggleTimeMode() {
  controls_->slider->ToggleTimeMode();
}

void CMainDlg::OnStartSelection() {
  CMainControls& c = *controls_;
  c.start->setEnabled(false);
  c.end->setEnabled(true);
  c.clear->setEnabled(true);
  CMainControls::Focus(c.end);
  activeEnd_ = false;
  Undoable([&] {
    c.slider->StartSelection();
    marks_.SetExact(false);
    SyncSelectionFromSlider();
  });
}

void CMainDlg::OnEndSelection() {
  CMainControls& c = *controls_;
  if (c.slider->SelectionRangeStart() == c.slider->SelectionRangeEnd()) {
    services_.Prompt().Ask(this, msg::kCaptionError, msg::kMakeSelection, MessageIcon::Warning,
                           PromptButtons::Ok);
    return;
  }
  activeEnd_ = true;
  Undoable([&] {
    c.slider->EndSelection();
    SyncSelectionFromSlider();
  });
  c.end->setEnabled(false);
  c.save->setEnabled(true);
  CMainControls::Focus(c.save);
}

void CMainDlg::OnSaveSelection() {
  if (!file_) return;
  OnStop();
  // This save dialog asks before replacing an existing file: a selection
  // must not silently destroy another file.
  const QString path = commands_->AskOutputFor(*file_);
  if (path.isEmpty()) return;
  SaveMarkedSelection(path);
  ResetSelectionButtons();
}

void CMainDlg::SaveMarkedSelection(const QString& path) {
  const std::string output = QFile::encodeName(path).toStdString();
  double startSeconds = 0.0;
  double endSeconds = 0.0;
  if (const auto exact = marks_.Exact() ? marks_.Selection() : std::nullopt) {
    // Marked on the waveform or typed: saved to the sample.
    RunWithProgress([&](CAudioFile& file, CProgress* progress) {
      return file.SaveSelectionSamples(output, exact->first, exact->end, progress);
    });
  } else if (controls_->slider->GetSelection(startSeconds, endSeconds)) {
    const auto first = static_cast<std::uint32_t>(startSeconds);
    const auto last = static_cast<std::uint32_t>(endSeconds);
    RunWithProgress([&](CAudioFile& file, CProgress* progress) {
      return file.SaveSelection(output, first, last, progress);
    });
  }
}

void CMainDlg::OnClearSelection() {
  ResetSelectionButtons();
}

void CMainDlg::ResetSelectionButtons() {
  CMainControls& c = *controls_;
  c.start->setEnabled(file_ != nullptr);
  CMainControls::Focus(c.start);
  for (CBitmapButton* b : {c.end, c.save, c.clear}) b->setEnabled(false);
  Undoable([&] {
    c.slider->ClearSelection();
    marks_.Clear();
    SyncSelectionFromSlider();
  });
}
