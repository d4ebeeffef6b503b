#pragma once

#include <cstdio>
#include <string>

// One status line redrawn in place on a terminal: the progress bar of a
// single operation and the files-done bar of a batch both draw through it.
class CTerminalLine {
 public:
  explicit CTerminalLine(std::FILE* out) : out_(out) {}

  // "[####......]": filled of width marks.
  static std::string Bar(int filled, int width) {
    std::string bar(static_cast<std::size_t>(width) + 2, '.');
    bar.front() = '[';
    bar.back() = ']';
    bar.replace(1, static_cast<std::size_t>(filled), static_cast<std::size_t>(filled), '#');
    return bar;
  }
  void Draw(const std::string& text) {
    std::fprintf(out_, "\r%s\x1b[K", text.c_str());
    std::fflush(out_);
    drawn_ = true;
  }
  void Erase() {
    if (!drawn_) return;
    std::fprintf(out_, "\r\x1b[K");
    std::fflush(out_);
    drawn_ = false;
  }
  bool Drawn() const { return drawn_; }

 private:
  std::FILE* out_;
  bool drawn_ = false;
};
