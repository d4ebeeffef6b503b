#pragma once
// The progress display of a one-file conversion: its title, "1 out of 1",
// the converting line, and a file bar of steps.

#include <cstdint>
#include <string>

#include "core/Progress.h"

inline void StartConversionProgress(CProgress& progress, const std::string& title, const std::string& source,
                                    const std::string& target, std::uint32_t steps) {
  progress.Start();
  progress.SetTitle(title);
  progress.SetFileCount(1);
  progress.SetFileNumber(1);
  progress.SetConvertingText(source, target);
  progress.SetFileRange(steps, 1);
}
