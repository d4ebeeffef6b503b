#pragma once
// The one error the engine hands to a front end: what failed, as a stable
// code; the file it concerns (empty when the text names it); the system's
// reason (an errno value, 0 when there is none); and the text the user reads.
// A code with an entry in the message catalogue takes its text from there;
// the others (file faults, cue sheets, silence scans, pieces, exports) carry
// the sentence built where the failure arose.

#include <exception>
#include <string>
#include <utility>

#include "core/AudioError.h"

class CAudioFailure : public std::exception {
 public:
  // A failure whose text is the catalogue's text of code.
  explicit CAudioFailure(AudioError code, std::string path = {}, int osError = 0);
  // A failure with a text of its own.
  CAudioFailure(AudioError code, std::string path, int osError, std::string text)
      : code_(code), path_(std::move(path)), osError_(osError), text_(std::move(text)) {}

  AudioError Code() const { return code_; }
  const std::string& Path() const { return path_; }
  int OsError() const { return osError_; }
  const std::string& Text() const { return text_; }
  const char* what() const noexcept override { return text_.c_str(); }

 protected:
  void SetText(std::string text) { text_ = std::move(text); }

 private:
  AudioError code_;
  std::string path_;
  int osError_;
  std::string text_;
};
