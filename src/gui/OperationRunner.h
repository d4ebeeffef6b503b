#pragma once
// What the windows share around the engine's runner (core/OperationRunner.h):
// operations on the open file run through CFileCommands::RunOperation
// (gui/ConvertCommands.h), which shows the failure that ends one in a box
// captioned with the application's name.

#include <functional>
#include <string>

#include "core/OperationRunner.h"

// The caption of a file-system failure's message box: the application's name.
inline constexpr const char* kAppName = "Kestrune";
