#pragma once
// The command-line tool as the owner of the open file: what an operation
// shows by itself is printed, and the Shred Equally questions are answered
// from the command line, with the same checks and estimate as the dialog.

#include <cstdio>
#include <string>

#include "core/Owner.h"

struct ShredOptions {
  std::uint32_t splits = 0;
  std::string base;  // empty: the source's own path
  bool estimateOnly = false;
  bool json = false;  // the estimate as one JSON object
};

class CCliOwner : public CAudioOwner {
 public:
  enum class ShredOutcome { NotAsked, Accepted, Refused, EstimateOnly };

  // fileLabel: the file as the command line named it, for error lines.
  CCliOwner(std::FILE* out, std::FILE* err, std::string fileLabel = {})
      : out_(out), err_(err), fileLabel_(std::move(fileLabel)) {}
  void SetShredOptions(const ShredOptions& options) { shred_ = options; }
  ShredOutcome LastShredOutcome() const { return outcome_; }

  void ShowMessage(const std::string& caption, const std::string& text, MessageIcon icon) override;
  bool RunShredEqually(CAudioFile& file, ShredRequest& request) override;

 private:
  std::FILE* out_;
  std::FILE* err_;
  std::string fileLabel_;
  ShredOptions shred_;
  ShredOutcome outcome_ = ShredOutcome::NotAsked;
};
