// The main window's shredding and conversion commands: the SHRED button and
// "Shred &Equally...", and the Convert menu. Each stops playback, asks for
// its choices, runs the operation on the open file with a progress window
// and reports the outcome.

#include <QFile>

#include "audio/WaveFile.h"
#include "ops/Progress.h"
#include "res/StringTable.h"
#include "ui/MainDlg.h"
#include "ui/Prompt.h"

namespace {
constexpr const char* kWavFilter = "WAV files (*.wav)|*.wav|All files (*.*)|*.*||";
constexpr const char* kMp3Filter = "MP3 files (*.mp3)|*.mp3|All files (*.*)|*.*||";
}  // namespace

void CMainDlg::OnShredEqually() {
  if (!File()) return;
  OnStop();
  RunWithProgress([](CAudioFile& file, CProgress& progress) { file.SplitEqually(&progress); });
}

// The Shred Equally dialog answers this request; until it exists the request
// is declined, so an equal split ends without writing anything.
bool CMainDlg::RunShredEqually(CAudioFile& /*file*/, ShredRequest& /*request*/) {
  return false;
}

void CMainDlg::UpdateConvertMenu() {
  for (int id : {ID_CONVERT_RIP_CHANNELS, ID_CONVERT_TO_MP3, ID_CONVERT_TO_8BIT, ID_CONVERT_TO_16BIT,
                 ID_CONVERT_TO_WAV})
    Action(id)->setEnabled(false);
  // The batch window is not part of this program yet.
  Action(ID_CONVERT_BATCH)->setEnabled(false);
  CAudioFile* file = File();
  if (!file) return;
  if (file->GetFileType() == 1) {
    Action(ID_CONVERT_TO_WAV)->setEnabled(true);
    return;
  }
  if (const auto* wave = dynamic_cast<const CWaveFile*>(file)) {
    // Offered once the Rip Channels dialog is part of the program.
    Action(ID_CONVERT_RIP_CHANNELS)->setEnabled(false);
    Action(ID_CONVERT_TO_MP3)->setEnabled(true);
    Action(ID_CONVERT_TO_16BIT)->setEnabled(wave->GetBitsPerSample() == 8);
    Action(ID_CONVERT_TO_8BIT)->setEnabled(wave->GetBitsPerSample() == 16);
  }
}

void CMainDlg::OnConvertToWav() {
  CAudioFile* file = File();
  if (!file || file->GetFileType() != 1) return;
  StopPlayback();
  FileDialogRequest request;
  request.defaultExtension = QStringLiteral("wav");
  request.filter = QString::fromLatin1(kWavFilter);
  request.overwritePrompt = true;
  const QString path = Prompt().GetSaveFileName(this, request);
  if (path.isEmpty()) return;
  const std::string output = QFile::encodeName(path).toStdString();
  RunWithProgress([&](CAudioFile& f, CProgress& progress) { f.ConvertToWav(output, &progress); });
}

// Until the Convert to MP3 options dialog exists the encoder's defaults are
// used, with the output name from a save dialog.
void CMainDlg::OnConvertToMp3() {
  CAudioFile* file = File();
  if (!file || file->GetFileType() != 0) return;
  StopPlayback();
  FileDialogRequest request;
  request.defaultExtension = QStringLiteral("mp3");
  request.filter = QString::fromLatin1(kMp3Filter);
  request.overwritePrompt = true;
  const QString path = Prompt().GetSaveFileName(this, request);
  if (path.isEmpty()) return;
  const std::string output = QFile::encodeName(path).toStdString();
  RunWithProgress(
      [&](CAudioFile& f, CProgress& progress) { f.ConvertToMp3(output, &progress, Mp3EncodeSettings{}); });
}

void CMainDlg::OnConvertTo8Bit() {
  auto* wave = dynamic_cast<CWaveFile*>(File());
  if (!wave) return;
  StopPlayback();
  const QString path = AskOutputPath(wave->GetDefaultExtension(), wave->GetFileFilter(), true);
  if (path.isEmpty()) return;
  const std::string output = QFile::encodeName(path).toStdString();
  RunWithProgress([&](CAudioFile&, CProgress& progress) { wave->ConvertTo8Bit(output, &progress); });
}

void CMainDlg::OnConvertTo16Bit() {
  auto* wave = dynamic_cast<CWaveFile*>(File());
  if (!wave) return;
  StopPlayback();
  const QString path = AskOutputPath(wave->GetDefaultExtension(), wave->GetFileFilter(), true);
  if (path.isEmpty()) return;
  const std::string output = QFile::encodeName(path).toStdString();
  RunWithProgress([&](CAudioFile&, CProgress& progress) { wave->ConvertTo16Bit(output, &progress); });
}

// Until the Rip Channels dialog exists the command refuses one-channel files
// and otherwise does nothing.
void CMainDlg::OnRipChannels() {
  auto* wave = dynamic_cast<CWaveFile*>(File());
  if (!wave) return;
  if (wave->GetChannels() < 2) {
    Prompt().Ask(this, msg::kCaptionError, msg::kSingleChannelFile, MessageIcon::Warning, PromptButtons::Ok);
    return;
  }
}
