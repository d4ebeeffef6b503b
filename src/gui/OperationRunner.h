#pragma once
// The windows run an operation on the open file through the engine's runner
// (core/OperationRunner.h): the failure that ends it comes back as the text
// to show, so the window can show it once its progress window is gone.

#include "core/OperationRunner.h"

// The caption of a file-system failure's message box: the application's name.
inline constexpr const char* kAppName = "Kestrune";
