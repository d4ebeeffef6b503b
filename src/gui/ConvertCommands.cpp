#include "gui/ConvertCommands.h"

#include <QFile>
#include <new>

#include "core/AudioError.h"
#include "core/Progress.h"
#include "core/StringTable.h"
#include "core/mp3/Mp3File.h"
#include "core/wav/WaveFile.h"
#include "gui/ConvertMp3Dlg.h"
#include "gui/EngineText.h"
#include "gui/GuiServices.h"
#include "gui/OperationRunner.h"
#include "gui/RipChannelsDlg.h"
#include "gui/ShredEquallyDlg.h"

namespace {

// The save dialogs take the extension without its "*." and dot.
QString BareExtension(const std::string& extension) {
  QString bare = FromEngineText(extension);
  while (bare.startsWith('*') || bare.startsWith('.')) bare.remove(0, 1);
  return bare.toLower();
}
}  // namespace

ConvertMenuState ConvertMenuFor(const CAudioFile* file) {
  ConvertMenuState state;
  if (!file) return state;
  if (file->GetFileType() == 1) {
    state.toWav = true;
  } else if (const auto* wave = dynamic_cast<const CWaveFile*>(file)) {
    state.ripChannels = wave->GetFormat().channels > 1;
    state.toMp3 = true;
    state.to16Bit = wave->GetFormat().bitsPerSample == 8;
    state.to8Bit = wave->GetFormat().bitsPerSample == 16;
  }
  return state;
}

void CFileCommands::StopPlayback() {
  if (host_.stopPlayback) host_.stopPlayback();
}

void NoteOperationEnd(const CAudioFile& file, const COperationNotice& notice, const std::string& failure,
                      const std::function<void(const QString&)>& wrote) {
  const bool ok = failure.empty() && file.GetError() == err::kNone;
  const QString name = QString::fromStdString(file.GetFileName());
  notice.Finish(ok ? QStringLiteral("Kestrune: done") : QStringLiteral("Kestrune: failed"),
                ok ? QStringLiteral("%1 has been worked on.").arg(name)
                   : QStringLiteral("The operation on %1 did not succeed.").arg(name));
  if (ok && wrote && !file.GetLastOutputPath().empty())
    wrote(QString::fromStdString(file.GetLastOutputPath()));
}

void CFileCommands::RunOperation(CAudioFile& file, const std::function<void(CProgress*)>& operation) {
  // The operation may end half way; its own code would then describe an
  // earlier step, so the failure that ended it is shown instead.
  file.ForgetLastOutput();
  const COperationNotice notice(services_.desktop, host_.window);
  const std::string failure = RunCatchingFileFailures(
      [&] {
        std::unique_ptr<CProgressSink> window = host_.makeProgress ? host_.makeProgress() : nullptr;
        CProgress progress(window.get());
        operation(window ? &progress : nullptr);
      },
      file.GetFilePath());
  NoteOperationEnd(file, notice, failure, host_.wrote);
  if (failure.empty()) {
    file.ReportError(host_.owner);
  } else if (host_.owner) {
    host_.owner->ShowMessage(kAppName, failure, MessageIcon::Error);
  }
}

QString CFileCommands::AskOutputName(const QString& defaultExtension, const QString& filter) {
  FileDialogRequest request;
  request.filter = filter;
  request.defaultExtension = defaultExtension;
  request.overwritePrompt = true;
  return services_.Prompt().GetSaveFileName(host_.window, request);
}

QString CFileCommands::AskOutputFor(const CAudioFile& file) {
  return AskOutputName(BareExtension(file.GetDefaultExtension()), FromEngineText(file.GetFileFilter()));
}

void CFileCommands::ConvertToMp3(CAudioFile& file) {
  StopPlayback();
  CConvertMp3Dlg dlg(services_, host_.window);
  if (dlg.exec() != QDialog::Accepted) return;
  const std::string name = dlg.GetMp3Name();
  const Mp3EncodeSettings settings = dlg.GetSettings();
  RunOperation(file, [&](CProgress* progress) { file.ConvertToMp3(name, progress, settings); });
}

void CFileCommands::ConvertToWav(CAudioFile& file) {
  StopPlayback();
  const QString name = AskOutputName("wav", wav::kFileFilter);
  if (name.isEmpty()) return;
  RunOperation(file, [&](CProgress* progress) { file.ConvertToWav(ToFileName(name), progress); });
}

void CFileCommands::ConvertTo8Bit(CAudioFile& file) {
  ConvertSampleSize(file, &CWaveFile::ConvertTo8Bit);
}

void CFileCommands::ConvertTo16Bit(CAudioFile& file) {
  ConvertSampleSize(file, &CWaveFile::ConvertTo16Bit);
}

void CFileCommands::ConvertSampleSize(CAudioFile& file, SampleSizeConversion convert) {
  auto* wave = dynamic_cast<CWaveFile*>(&file);
  if (!wave) return;
  StopPlayback();
  const QString name = AskOutputFor(file);
  if (name.isEmpty()) return;
  RunOperation(file, [&](CProgress* progress) { (wave->*convert)(ToFileName(name), progress); });
}

void CFileCommands::RipChannels(CAudioFile& file) {
  auto* wave = dynamic_cast<CWaveFile*>(&file);
  if (!wave) return;
  const std::uint32_t channels = wave->GetFormat().channels;
  if (channels < 2) {
    services_.Prompt().Ask(host_.window, msg::kCaptionError, msg::kSingleChannelFile, MessageIcon::Warning,
                           PromptButtons::Ok);
    return;
  }
  StopPlayback();
  CRipChannelsDlg dlg(services_, channels, file.GetFileFilter(), host_.window);
  if (dlg.exec() != QDialog::Accepted) return;
  const std::uint8_t mask = dlg.GetChannelMask();
  const std::string name = dlg.GetOutputName();
  RunOperation(file, [&](CProgress* progress) { wave->RipChannels(mask, name, progress); });
}

void CFileCommands::ShredEqually(CAudioFile& file) {
  StopPlayback();
  RunOperation(file, [&](CProgress* progress) { file.SplitEqually(progress); });
}

bool CFileCommands::RunShredDialog(CAudioFile& file, ShredRequest& request) {
  std::unique_ptr<CShredEquallyDlg> dlg;
  if (const auto* wave = dynamic_cast<const CWaveFile*>(&file)) {
    dlg = std::make_unique<CWaveShredEquallyDlg>(services_, wave->GetSplitFacts(), file.GetFileName(),
                                                 file.GetFilePath(), file.GetOverlapTime(), host_.window);
  } else if (const auto* mp3 = dynamic_cast<const CMp3File*>(&file)) {
    dlg = std::make_unique<CMp3ShredEquallyDlg>(services_, mp3->GetSplitFacts(), file.GetFileName(),
                                                file.GetFilePath(), file.GetOverlapTime(), host_.window);
  } else {
    return false;
  }
  dlg->SetSettingsCommand(host_.runSettings);
  if (dlg->exec() != QDialog::Accepted) return false;
  request.numberOfSplits = dlg->GetNumberOfSplits();
  request.baseFilename = dlg->GetBaseFilename();
  return true;
}
