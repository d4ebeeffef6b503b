#pragma once
// The Shred Equally questions, answered from the command line with the same
// checks and estimate as the dialog, and the notices an operation hands
// back, printed.

#include <cstdint>
#include <cstdio>
#include <string>

#include "core/OperationResult.h"

class CAudioFile;

struct ShredOptions {
  std::uint32_t splits = 0;
  std::string base;  // empty: the source's own path
  bool estimateOnly = false;
  bool json = false;  // the estimate as one JSON object
};

enum class ShredAnswer { Accepted, Refused, EstimateOnly };

// Checks the request against file and prints the estimate (fileLabel: the
// file as the command line named it); fills request when the cut may go
// ahead.
ShredAnswer AnswerShred(const CAudioFile& file, const ShredOptions& options, const std::string& fileLabel,
                        std::FILE* out, std::FILE* err, ShredRequest& request);

// Prints what a finished operation has to say: an error on standard error
// (naming fileLabel when given), anything else on standard output.
void PrintNotice(const OperationNotice& notice, const std::string& fileLabel, std::FILE* out, std::FILE* err);
