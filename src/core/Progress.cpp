#include "core/Progress.h"

#include <cstdio>

namespace {
// One handler per thread: the GUI installs it on its own thread, and a batch
// worker converting on another thread must never run the GUI's events.
std::function<void()>& PumpHandler() {
  thread_local std::function<void()> handler;
  return handler;
}
}  // namespace

void CProgressBarState::Step() {
  const std::uint64_t next = static_cast<std::uint64_t>(position) + step;
  position = next > maximum ? 0 : static_cast<std::uint32_t>(next);
}

void CProgressCounter::Start() {
  started_ = true;
  OnChanged(Change::Started);
}

void CProgressCounter::SetTitle(const std::string& title) {
  title_ = title;
  OnChanged(Change::Title);
}

void CProgressCounter::SetFileCount(std::uint32_t count) {
  fileCount_ = count;
  // The overall bar's maximum is a 16-bit value.
  overall_ = CProgressBarState{count & 0xFFFFu, 1, 0};
  OnChanged(Change::Overall);
}

void CProgressCounter::SetFileRange(std::uint32_t total, std::uint32_t step) {
  if (fileRange_ != 0) return;
  fileRange_ = total;
  file_ = CProgressBarState{total, step, 0};
  OnChanged(Change::File);
}

void CProgressCounter::StepBoth() {
  if (fileCount_ == 0 || fileRange_ == 0) return;
  file_.Step();
  overall_.Step();
  OnChanged(Change::File);
  OnChanged(Change::Overall);
}

void CProgressCounter::StepOverall() {
  if (fileCount_ == 0 || fileRange_ == 0) return;
  overall_.Step();
  OnChanged(Change::Overall);
}

void CProgressCounter::StepFile() {
  if (fileCount_ == 0 || fileRange_ == 0) return;
  file_.Step();
  OnChanged(Change::File);
}

void CProgressCounter::SetShreddingText(const std::string& source, const std::string& target) {
  actionText_ = "Shredding " + ToUpperAscii(source) + " to " + ToUpperAscii(target);
  OnChanged(Change::Action);
}

void CProgressCounter::SetConvertingText(const std::string& source, const std::string& target) {
  actionText_ = "Converting " + ToUpperAscii(source) + " to " + ToUpperAscii(target);
  OnChanged(Change::Action);
}

void CProgressCounter::SetFileNumber(std::uint32_t number) {
  char text[64];
  std::snprintf(text, sizeof text, "%u out of %u file(s)", number, fileCount_);
  countText_ = text;
  OnChanged(Change::Count);
}

void PumpOneMessage() {
  auto& handler = PumpHandler();
  if (handler) handler();
}

void SetPumpHandler(std::function<void()> handler) {
  PumpHandler() = std::move(handler);
}

std::string ToUpperAscii(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}
