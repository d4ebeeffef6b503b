#pragma once
// Running an operation on the open file from a window, through the engine's
// runner (core/OperationRunner.h): the failure that ends it is returned as
// the text to show, so the window can show it once its progress window is
// gone.

#include <functional>
#include <string>

#include "core/OperationRunner.h"

// The caption of a file-system failure's message box: the application's name.
inline constexpr const char* kAppName = "Kestrune";

// Runs operation; returns the message of the failure that ended it, or an
// empty text when it ran to its end (or was cancelled). sourcePath names the
// file in the message of a failure that has no file of its own.
inline std::string RunCatchingFileFailures(const std::function<void()>& operation,
                                           const std::string& sourcePath) {
  return RunAndCatch(sourcePath, operation).text;
}
