#pragma once
// What an audio operation needs from whoever owns the open file: a way to
// show its own messages and to ask for the Shred Equally choices. The main
// window implements it with real dialogs, the command-line tool with printed
// text and command-line options, the tests with scripted answers. With no
// owner an operation shows nothing.

#include <cstdint>
#include <string>

class CAudioFile;

enum class MessageIcon { None, Information, Warning, Error, Question };

// The answers of the Shred Equally dialog.
struct ShredRequest {
  std::uint32_t numberOfSplits = 2;
  std::string baseFilename;  // empty: use the source file's own path
};

class CAudioOwner {
 public:
  virtual ~CAudioOwner() = default;
  // A message box with an OK button.
  virtual void ShowMessage(const std::string& caption, const std::string& text, MessageIcon icon) = 0;
  // Runs the Shred Equally dialog for file; false when the user cancelled.
  // The dialog may change the file's overlap time (through the settings).
  virtual bool RunShredEqually(CAudioFile& file, ShredRequest& request) = 0;
  // Shows the information window of file; the default shows nothing.
  virtual void ShowInformation(CAudioFile& /*file*/) {}
};
