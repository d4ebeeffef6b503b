#pragma once
// The commands of the main window that run an operation on the open file:
// the five conversions of the Convert menu and the equal split. Each stops
// playback, asks for its options, runs the operation with a progress window
// and shows the outcome the operation returns. RunOperation is the one way
// a window runs an operation on the open file. The main window supplies
// what they need from it through CCommandHost, so the commands can be
// driven without it.

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "core/AudioError.h"
#include "core/OperationResult.h"
#include "gui/DesktopIntegration.h"

class CAudioFile;
class CGuiServices;
class CProgress;
class CProgressSink;
class QWidget;

// Which conversions the Convert menu offers for the open file.
struct ConvertMenuState {
  bool ripChannels = false;
  bool toMp3 = false;
  bool to8Bit = false;
  bool to16Bit = false;
  bool toWav = false;
};
ConvertMenuState ConvertMenuFor(const CAudioFile* file);

struct CCommandHost {
  QWidget* window = nullptr;  // parent of the option dialogs and message boxes
  std::function<void()> stopPlayback;
  // A new progress window for one operation.
  std::function<std::unique_ptr<CProgressSink>()> makeProgress;
  // Runs the Settings command and returns the main window's overlap time.
  std::function<std::uint32_t()> runSettings;
  // Told the file an operation wrote (its last output), when it ended well.
  std::function<void(const QString& path)> wrote;
};

// After an operation: the notification of a long one that ended in the
// background, and the written file told to wrote when it ended well.
void NoteOperationEnd(const CAudioFile& file, const COperationNotice& notice, const std::string& failure,
                      const std::function<void(const QString&)>& wrote);

class CFileCommands {
 public:
  CFileCommands(const CGuiServices& services, CCommandHost host)
      : services_(services), host_(std::move(host)) {}

  void ConvertToMp3(CAudioFile& file);
  void ConvertToWav(CAudioFile& file);
  void ConvertTo8Bit(CAudioFile& file);
  void ConvertTo16Bit(CAudioFile& file);
  void RipChannels(CAudioFile& file);
  // The Shred Equally menu command and the SHRED button: the dialog, then
  // the split.
  void ShredEqually(CAudioFile& file);

  // Runs operation with a progress window that lives for the call, then
  // shows its outcome: the failure that ended it by its message, otherwise
  // the notice it returned, then the message of its code.
  void RunOperation(CAudioFile& file, const std::function<OperationResult(CProgress*)>& operation);

  // A save dialog for an output in file's own format (its extension and
  // filter) that asks before replacing a file; empty when cancelled.
  QString AskOutputFor(const CAudioFile& file);

  // The Shred Equally dialog over the file's estimate; false when cancelled.
  bool RunShredDialog(CAudioFile& file, ShredRequest& request);

 private:
  void Show(const std::string& caption, const std::string& text, MessageIcon icon);
  // A save-file dialog for a conversion's output; empty when cancelled.
  QString AskOutputName(const QString& defaultExtension, const QString& filter);
  void StopPlayback();
  // 8-bit to 16-bit or back: the same questions, another converter.
  using SampleSizeConversion = AudioError (CAudioFile::*)(const std::string&, CProgress*);
  void ConvertSampleSize(CAudioFile& file, SampleSizeConversion convert);

  const CGuiServices& services_;
  CCommandHost host_;
};
