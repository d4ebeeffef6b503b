// The main window's shredding and conversion commands: the SHRED button and
// "Shred &Equally...", and the Convert menu. The conversions and the Shred
// Equally dialog are CFileCommands'; the window supplies playback, progress
// windows and the Settings command.

#include "core/split/SplitPlan.h"
#include "gui/ConvertCommands.h"
#include "gui/GuiServices.h"
#include "gui/ProgressDlg.h"
#include "gui/SplitDlg.h"
#include "gui/WaveformPanel.h"
#include "gui/WaveformView.h"
#include "gui/app/MainDlg.h"
#include "gui/app/MainMenus.h"
#include "gui/batch/BatchSession.h"

std::unique_ptr<CFileCommands> CMainDlg::MakeCommands() {
  CCommandHost host;
  host.window = this;
  host.stopPlayback = [this] { StopPlayback(); };
  host.wrote = [this](const QString& path) { lastWritten_ = path; };
  host.makeProgress = [this]() -> std::unique_ptr<CProgressSink> {
    return std::make_unique<CProgressDlg>(this);
  };
  host.runSettings = [this] {
    OnSettings();
    return GetOverlapTime();
  };
  return std::make_unique<CFileCommands>(services_, std::move(host));
}

void CMainDlg::OnShredEqually() {
  if (!File()) return;
  // The split pauses playback (STOP), where conversions stop it.
  OnStop();
  ShredRequest request;
  if (!commands_->RunShredDialog(*File(), request)) return;
  RunWithProgress(
      [&](CAudioFile& file, CProgress* progress) { return file.SplitEqually(request, progress); });
}

void CMainDlg::OnSplit() {
  if (!File()) return;
  OnStop();
  CSplitDlg dialog(services_, *File(), services_.settings.Suffix(), this);
  dialog.SetProgressFactory(
      [this]() -> std::unique_ptr<CProgressSink> { return std::make_unique<CProgressDlg>(this); });
  // The ticked cuts stand on the waveform while the dialog is open.
  CWaveformView* view = waveform_->View();
  dialog.SetCutPointsView([view](const split::SplitPlan* plan) {
    std::vector<std::uint64_t> samples;
    if (plan)
      for (const split::CutPoint& cut : plan->cuts)
        if (cut.enabled) samples.push_back(cut.at);
    view->SetMarkers(std::move(samples));
  });
  dialog.SetSegmentsSink([this](const split::SplitPlan& plan) { AddSegmentsOfPlan(plan); });
  dialog.exec();
  view->SetMarkers({});
}

void CMainDlg::UpdateConvertMenu() {
  menus_->UpdateConvertMenu(ConvertMenuFor(File()));
}

void CMainDlg::done(int result) {
  // A running batch stops first; the program ends when its window has closed.
  if (batch_ && !batch_->AllowExit([this, result] { done(result); })) return;
  QDialog::done(result);
}

void CMainDlg::OnConvertToMp3() {
  if (File()) commands_->ConvertToMp3(*File());
}

void CMainDlg::OnConvertToWav() {
  if (File()) commands_->ConvertToWav(*File());
}

void CMainDlg::OnConvertTo8Bit() {
  if (File()) commands_->ConvertTo8Bit(*File());
}

void CMainDlg::OnConvertTo16Bit() {
  if (File()) commands_->ConvertTo16Bit(*File());
}

void CMainDlg::OnRipChannels() {
  if (File()) commands_->RipChannels(*File());
}
