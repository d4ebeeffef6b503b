// The main window's waveform: View > Waveform, the strip above the slider
// on the slider's time axis, and the selection model the two share. With
// the waveform off the window is the fixed-size window it always was.

#include <QAction>
#include <QBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QResizeEvent>
#include <algorithm>

#include "core/AudioFile.h"
#include "gui/BitmapButton.h"
#include "gui/GuiServices.h"
#include "gui/ObjectName.h"
#include "gui/PositionSlider.h"
#include "gui/SegmentsPanel.h"
#include "gui/SetSelectionDlg.h"
#include "gui/WaveformPanel.h"
#include "gui/WaveformView.h"
#include "gui/app/MainControls.h"
#include "gui/app/MainDlg.h"
#include "gui/app/MainPlayback.h"

namespace {
constexpr int kSliderWidth = CMainControls::kSliderWidth;
constexpr int kContentMargin = CMainControls::kContentMargin;
constexpr int kWaveformExtraHeight = 190;  // the strip's share of a new window
}  // namespace

bool CMainDlg::WaveformShown() const {
  const QAction* action = Action(kViewWaveform);
  return waveform_ && action && action->isChecked();
}

void CMainDlg::BuildWaveform(QBoxLayout* content) {
  waveform_ = new CWaveformPanel(marks_);
  content->insertWidget(0, waveform_, 1);
  CWaveformView* view = waveform_->View();
  view->SetAxis([this, view] {
    QWidget* top = view->window();
    auto xOf = [&](int value) {
      return view->mapFrom(top, controls_->slider->mapTo(top, QPoint(controls_->slider->XOfValue(value), 0)))
          .x();
    };
    return std::pair<int, int>(xOf(controls_->slider->minimum()), xOf(controls_->slider->maximum()));
  });
  connect(view, &CWaveformView::SeekRequested, this, &CMainDlg::OnWaveformSeek);
  connect(view, &CWaveformView::SelectionDragged, this, &CMainDlg::OnWaveformDrag);
  connect(view, &CWaveformView::ViewChanged, this, &CMainDlg::UpdateEditEntries);
  // The strip is drawn on the slider's axis: it follows every move of it.
  controls_->slider->installEventFilter(this);
  waveform_->setVisible(Action(kViewWaveform)->isChecked());
}

void CMainDlg::OnToggleWaveform() {
  const bool shown = Action(kViewWaveform)->isChecked();
  if (!shown) {
    // The size it had with the strip, for when the strip comes back.
    services_.settings.SetWindowSize(size());
  }
  services_.settings.SetShowWaveform(shown);
  waveform_->setVisible(shown);
  if (shown && file_) StartWaveform();
  if (!shown) waveform_->Close();
  ShowSegments();
  Collapse();
  UpdateEditEntries();
}

void CMainDlg::ShowResizable() {
  SetMaximizable(true);
  const QSize needed = minimumSizeHint();
  const QSize least(std::max(520, needed.width()), std::max(kCollapsedHeight, needed.height()));
  setMinimumSize(least);
  setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  const QSize stored = services_.settings.WindowSize();
  const int width = stored.width();
  const int height = stored.height();
  resize(std::max(width ? width : 720, least.width()),
         std::max(height ? height : kCollapsedHeight + kWaveformExtraHeight, least.height()));
  FitSliderToWindow();
}

void CMainDlg::SetMaximizable(bool maximizable) {
  if (windowFlags().testFlag(Qt::WindowMaximizeButtonHint) == maximizable) return;
  // New flags hide a shown window; it comes back where it was.
  const bool visible = isVisible();
  setWindowFlag(Qt::WindowMaximizeButtonHint, maximizable);
  if (visible) show();
}

void CMainDlg::FitSliderToWindow() {
  if (!WaveformShown()) {
    controls_->slider->setFixedWidth(kSliderWidth);
    return;
  }
  // The slider spans the window, less room for the scale marks to centre
  // on its ends.
  int widest = 0;
  if (CSliderScale* scale = controls_->scale)
    for (int i = 0; i < CSliderScale::kMarks; ++i)
      widest = std::max(widest, scale->Mark(i)->sizeHint().width());
  // The segments list, when shown, takes its width off the right.
  const int room = width() - (SegmentsShown() ? CSegmentsPanel::kWidth : 0);
  controls_->slider->setFixedWidth(std::max(kSliderWidth, room - 2 * (kContentMargin + widest / 2 + 2)));
}

void CMainDlg::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  FitSliderToWindow();
  // The slider's new width now rather than at the next layout pass: a click
  // on the strip right after a resize or maximise reads the new axis.
  if (layout()) layout()->activate();
  RedrawAxis();
}

void CMainDlg::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  // A new font or style resizes the scale marks the slider leaves room for.
  if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
    FitSliderToWindow();
    if (layout()) layout()->activate();
    RedrawAxis();
  }
}

void CMainDlg::RedrawAxis() {
  controls_->slider->update();
  if (waveform_) waveform_->RedrawAxis();
}

void CMainDlg::RememberSize() {
  // Written when the strip goes or the window closes, not on every step of
  // a drag of the window's edge.
  if (!WaveformShown()) return;
  services_.settings.SetWindowSize(size());
}

void CMainDlg::StartWaveform() {
  if (!file_ || !WaveformShown()) return;
  waveform_->View()->SetTimelineOffset(file_->GetLeadInSamples());
  waveform_->Open(*file_);
}

void CMainDlg::OnSetSelection() {
  if (!file_ || marks_.SampleRate() == 0) return;
  const auto current = marks_.Selection();
  CSetSelectionDlg dialog(marks_.SampleRate(), marks_.Length(),
                          current ? CSetSelectionDlg::Span{current->first, current->end}
                                  : CSetSelectionDlg::Span{marks_.Position(), marks_.Length()},
                          this);
  if (dialog.exec() != QDialog::Accepted) return;
  activeEnd_ = true;
  Undoable([&] { SelectSamples(dialog.Selection().first, dialog.Selection().end); });
  CMainControls::Focus(controls_->save);
}

int CMainDlg::SliderPositionOf(std::uint64_t sample) const {
  const std::uint64_t length = marks_.Length();
  if (length == 0) return 0;
  return static_cast<int>(static_cast<double>(sample) / static_cast<double>(length) *
                          controls_->slider->RangeMax());
}

void CMainDlg::SyncSelectionFromSlider() {
  if (!waveform_) return;
  const std::uint64_t length = marks_.Length();
  auto sampleOf = [&](int position) {
    return static_cast<std::uint64_t>(static_cast<double>(position) / controls_->slider->RangeMax() *
                                      static_cast<double>(length));
  };
  // The marks are the slider's already: it sets them in marks_.
  marks_.SetPosition(sampleOf(controls_->slider->ThumbPosition()));
  // The labels again: while marking, the selected length runs to the
  // position just set.
  controls_->slider->UpdateLabels();
  UpdateEditEntries();
  waveform_->UpdateReadout();
  waveform_->View()->update();
}

void CMainDlg::OnWaveformSeek(std::uint64_t sample) {
  if (!file_ || marks_.Length() == 0) return;
  controls_->slider->SetPosition(static_cast<double>(sample) / static_cast<double>(marks_.Length()));
  playback_->OnSliderReleased();
  marks_.SetPosition(sample);
  waveform_->View()->update();
}

void CMainDlg::SelectSamples(std::uint64_t first, std::uint64_t end) {
  if (!file_) return;
  marks_.Select(first, end);
  marks_.SetExact(true);
  controls_->slider->SetMarks(SliderPositionOf(marks_.StartMark()), SliderPositionOf(marks_.EndMark()));
  // As START and END would leave the buttons: SAVE and CLEAR ready.
  for (CBitmapButton* b : {controls_->start, controls_->end}) b->setEnabled(false);
  for (CBitmapButton* b : {controls_->save, controls_->clear}) b->setEnabled(true);
  UpdateEditEntries();
  waveform_->UpdateReadout();
  waveform_->View()->update();
}

void CMainDlg::OnWaveformDrag(std::uint64_t anchor, std::uint64_t sample, bool finished) {
  if (!file_) return;
  // The whole drag, nudges included, is one undo step.
  if (!dragBefore_) dragBefore_ = CurrentState();
  if (anchor != sample) {
    activeEnd_ = sample > anchor;
    SelectSamples(anchor, sample);
  }
  if (!finished) return;
  history_.Changed(*dragBefore_, CurrentState());
  dragBefore_.reset();
  UpdateEditEntries();
  if (anchor != sample) CMainControls::Focus(controls_->save);
}

// ------------------------------------------------------------------ zoom

void CMainDlg::OnZoomIn() {
  if (!WaveformShown()) return;
  waveform_->View()->ZoomAt(marks_.Position(), 0.5);
}

void CMainDlg::OnZoomOut() {
  if (!WaveformShown()) return;
  waveform_->View()->ZoomAt(marks_.Position(), 2.0);
}

void CMainDlg::OnZoomFit() {
  if (WaveformShown()) waveform_->View()->SetView(0, 0);
}

void CMainDlg::OnZoomToSelection() {
  const auto span = marks_.Selection();
  if (!WaveformShown() || !span) return;
  waveform_->View()->ShowSamples(span->first, span->end);
}
