#include "core/Progress.h"

#include <cstdio>

void CProgressBarState::Step() {
  const std::uint64_t next = static_cast<std::uint64_t>(position) + step;
  position = next > maximum ? 0 : static_cast<std::uint32_t>(next);
}

std::string CProgressAction::Text() const {
  if (verb.empty()) return std::string();
  return verb + ToUpperAscii(source) + " to " + ToUpperAscii(target);
}

void CProgress::Tell(ProgressChange change) {
  if (sink_) sink_->Changed(state_, change);
}

void CProgress::Start() {
  if (inPieces_) return;
  state_.started = true;
  Tell(ProgressChange::Started);
}

void CProgress::SetTitle(const std::string& title) {
  state_.title = title;
  Tell(ProgressChange::Title);
}

void CProgress::SetFileCount(std::uint32_t count) {
  if (inPieces_) return;
  state_.fileCount = count;
  // The overall bar's maximum is a 16-bit value.
  state_.overall = CProgressBarState{count & 0xFFFFu, 1, 0};
  Tell(ProgressChange::FileCount);
}

void CProgress::SetFileRange(std::uint32_t total, std::uint32_t step) {
  if (state_.fileRange != 0) return;
  state_.fileRange = total;
  state_.file = CProgressBarState{total, step, 0};
  Tell(ProgressChange::FileRange);
}

void CProgress::StepBoth() {
  if (state_.fileCount == 0 || state_.fileRange == 0) return;
  state_.file.Step();
  state_.overall.Step();
  Tell(ProgressChange::FileStep);
  Tell(ProgressChange::OverallStep);
}

void CProgress::StepOverall() {
  if (state_.fileCount == 0 || state_.fileRange == 0) return;
  state_.overall.Step();
  Tell(ProgressChange::OverallStep);
}

void CProgress::StepFile() {
  if (state_.fileCount == 0 || state_.fileRange == 0) return;
  state_.file.Step();
  Tell(ProgressChange::FileStep);
}

void CProgress::ShowAction(const char* verb, const std::string& source, const std::string& target) {
  state_.action = CProgressAction{verb, source, target};
  Tell(ProgressChange::Action);
}

void CProgress::SetShreddingText(const std::string& source, const std::string& target) {
  ShowAction("Shredding ", source, target);
}

void CProgress::SetConvertingText(const std::string& source, const std::string& target) {
  ShowAction("Converting ", source, target);
}

void CProgress::SetFileNumber(std::uint32_t number) {
  ShowFileNumber(inPieces_ ? piece_ : number);
}

void CProgress::ShowFileNumber(std::uint32_t number) {
  char text[64];
  std::snprintf(text, sizeof text, "%u out of %u file(s)", number, state_.fileCount);
  state_.fileNumber = number;
  state_.countText = text;
  Tell(ProgressChange::Count);
}

void CProgress::Close() {
  if (inPieces_) return;
  Tell(ProgressChange::Closed);
}

void CProgress::BeginPieces(std::uint32_t count) {
  EndPieces();
  Start();
  SetFileCount(count);
  inPieces_ = true;
  piece_ = 1;
}

void CProgress::SetPiece(std::uint32_t number) {
  piece_ = number;
  ShowFileNumber(number);
}

std::string ToUpperAscii(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}
