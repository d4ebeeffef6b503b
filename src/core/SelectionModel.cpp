#include "core/SelectionModel.h"

#include <algorithm>
#include <cmath>

void CSelectionModel::SetStream(std::uint32_t sampleRate, std::uint64_t lengthSamples) {
  *this = CSelectionModel();
  sampleRate_ = sampleRate;
  length_ = lengthSamples;
}

void CSelectionModel::Start(std::uint64_t sample) {
  start_ = end_ = Clamp(sample);
  marking_ = Marking::Started;
}

void CSelectionModel::End(std::uint64_t sample) {
  if (marking_ == Marking::None) return;
  end_ = Clamp(sample);
  marking_ = Marking::Done;
}

void CSelectionModel::Select(std::uint64_t a, std::uint64_t b) {
  start_ = Clamp(std::min(a, b));
  end_ = Clamp(std::max(a, b));
  marking_ = Marking::Done;
}

void CSelectionModel::Clear() {
  start_ = end_ = 0;
  marking_ = Marking::None;
  exact_ = false;
}

std::optional<CSelectionModel::Span> CSelectionModel::Selection() const {
  if (marking_ == Marking::None) return std::nullopt;
  const std::uint64_t other = marking_ == Marking::Started ? position_ : end_;
  const Span span{std::min(start_, other), std::max(start_, other)};
  if (span.first == span.end) return std::nullopt;
  return span;
}

double CSelectionModel::Seconds(std::uint64_t sample) const {
  return sampleRate_ ? static_cast<double>(sample) / sampleRate_ : 0.0;
}

std::uint64_t CSelectionModel::SampleAt(double seconds) const {
  if (!(seconds > 0.0)) return 0;
  const double sample = std::round(seconds * sampleRate_);
  return sample >= static_cast<double>(length_) ? length_ : static_cast<std::uint64_t>(sample);
}

void CSelectionModel::Nudge(bool endMark, int milliseconds) {
  NudgeSamples(endMark, static_cast<std::int64_t>(
                            std::llround(static_cast<double>(sampleRate_) * milliseconds / 1000.0)));
}

void CSelectionModel::SetMarks(const Marks& marks) {
  start_ = Clamp(marks.start);
  end_ = Clamp(marks.end);
  marking_ = marks.marking;
  exact_ = marks.exact;
}

void CSelectionModel::NudgeSamples(bool endMark, std::int64_t step) {
  std::uint64_t& mark = endMark ? end_ : start_;
  const std::int64_t moved = static_cast<std::int64_t>(mark) + step;
  mark = Clamp(static_cast<std::uint64_t>(std::max<std::int64_t>(moved, 0)));
  exact_ = true;
}
