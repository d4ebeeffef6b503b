#include "gui/ConvertCommands.h"

#include <QFile>
#include <new>

#include "core/AudioError.h"
#include "core/AudioFile.h"
#include "core/Progress.h"
#include "core/StringTable.h"
#include "core/open/Formats.h"
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
  state.ripChannels = file->Offers(Conversion::RipChannels);
  state.toMp3 = file->Offers(Conversion::ToMp3);
  state.to16Bit = file->Offers(Conversion::To16Bit);
  state.to8Bit = file->Offers(Conversion::To8Bit);
  state.toWav = file->Offers(Conversion::ToWav);
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

void CFileCommands::RunOperation(CAudioFile& file,
                                 const std::function<OperationResult(CProgress*)>& operation) {
  // The operation may end half way; its own code would then describe an
  // earlier step, so the failure that ended it is shown instead.
  file.ForgetLastOutput();
  const COperationNotice notice(services_.desktop, host_.window);
  OperationResult result;
  // The progress window lives inside the runner's call: it is gone before
  // anything is shown.
  const std::string failure = RunAndCatch(file.GetFilePath(), [&] {
                                std::unique_ptr<CProgressSink> window =
                                    host_.makeProgress ? host_.makeProgress() : nullptr;
                                CProgress progress(window.get());
                                result = operation(window ? &progress : nullptr);
                              }).text;
  if (failure.empty() && result.notice)
    Show(result.notice->caption, result.notice->text, result.notice->icon);
  NoteOperationEnd(file, notice, failure, host_.wrote);
  if (!failure.empty()) {
    Show(kAppName, failure, MessageIcon::Error);
  } else if (file.GetError() != err::kNone) {
    Show(msg::kCaptionError, LoadMessage(file.GetError()), MessageIcon::Error);
  }
}

void CFileCommands::Show(const std::string& caption, const std::string& text, MessageIcon icon) {
  services_.Prompt().Ask(host_.window, FromEngineText(caption), FromEngineText(text), icon,
                         PromptButtons::Ok);
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
  RunOperation(file, [&](CProgress* progress) { return file.ConvertToMp3(name, progress, settings); });
}

void CFileCommands::ConvertToWav(CAudioFile& file) {
  StopPlayback();
  const QString name = AskOutputName("wav", FromEngineText(FormatNamed("WAV")->FileFilter()));
  if (name.isEmpty()) return;
  RunOperation(file, [&](CProgress* progress) { return file.ConvertToWav(ToFileName(name), progress); });
}

void CFileCommands::ConvertTo8Bit(CAudioFile& file) {
  ConvertSampleSize(file, &CAudioFile::ConvertTo8Bit);
}

void CFileCommands::ConvertTo16Bit(CAudioFile& file) {
  ConvertSampleSize(file, &CAudioFile::ConvertTo16Bit);
}

void CFileCommands::ConvertSampleSize(CAudioFile& file, SampleSizeConversion convert) {
  StopPlayback();
  const QString name = AskOutputFor(file);
  if (name.isEmpty()) return;
  RunOperation(file, [&](CProgress* progress) { return (file.*convert)(ToFileName(name), progress); });
}

void CFileCommands::RipChannels(CAudioFile& file) {
  if (!file.Format().Converts(Conversion::RipChannels)) return;
  const std::uint32_t channels = file.GetChannels();
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
  RunOperation(file, [&](CProgress* progress) { return file.RipChannels(mask, name, progress); });
}

void CFileCommands::ShredEqually(CAudioFile& file) {
  StopPlayback();
  ShredRequest request;
  if (!RunShredDialog(file, request)) return;
  RunOperation(file, [&](CProgress* progress) { return file.SplitEqually(request, progress); });
}

bool CFileCommands::RunShredDialog(CAudioFile& file, ShredRequest& request) {
  auto dlg = std::make_unique<CShredEquallyDlg>(
      services_, [&file](std::uint32_t splits) { return file.EstimateSplit(splits); },
      FromEngineText(file.GetFileFilter()), file.GetFileName(), file.GetFilePath(), file.GetOverlapTime(),
      host_.window);
  dlg->SetSettingsCommand(host_.runSettings);
  if (dlg->exec() != QDialog::Accepted) return false;
  request.numberOfSplits = dlg->GetNumberOfSplits();
  request.baseFilename = dlg->GetBaseFilename();
  return true;
}
