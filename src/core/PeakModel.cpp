#include "core/PeakModel.h"

#include <algorithm>
#include <cmath>

namespace peaks {

Point Accumulator::Value() const {
  if (count_ == 0) return {};
  const double rms = std::sqrt(static_cast<double>(squares_) / static_cast<double>(count_));
  return {static_cast<std::int16_t>(min_), static_cast<std::int16_t>(max_),
          static_cast<std::int16_t>(std::min(rms + 0.5, 32767.0))};
}

CPeakModel::CPeakModel(StreamShape shape) : shape_(shape) {
  const std::uint64_t channels = std::max<std::uint16_t>(shape_.channels, 1);
  auto blocksOf = [&](std::uint64_t spb) { return (shape_.lengthSamples + spb - 1) / spb; };
  while (blocksOf(samplesPerBlock_) * channels * sizeof(Point) > kMaxBytes) samplesPerBlock_ *= 2;
  blocks_ = blocksOf(samplesPerBlock_);
  points_.resize(static_cast<std::size_t>(blocks_ * channels));
  set_.resize(static_cast<std::size_t>(blocks_));
}

void CPeakModel::Store(std::uint64_t firstBlock, const std::vector<Point>& points, std::uint64_t count) {
  const std::uint64_t channels = shape_.channels;
  if (firstBlock >= blocks_ || channels == 0) return;
  count = std::min({count, blocks_ - firstBlock, points.size() / channels});
  {
    std::lock_guard lock(mutex_);
    std::copy_n(points.begin(), static_cast<std::ptrdiff_t>(count * channels),
                points_.begin() + static_cast<std::ptrdiff_t>(firstBlock * channels));
    std::uint64_t added = 0;
    for (std::uint64_t b = firstBlock; b < firstBlock + count; ++b) {
      added += set_[static_cast<std::size_t>(b)] == 0;
      set_[static_cast<std::size_t>(b)] = 1;
    }
    filled_ += added;
  }
  if (stored_) stored_();
}

std::vector<std::vector<Column>> CPeakModel::Columns(std::uint64_t first, std::uint64_t last,
                                                     int columns) const {
  const unsigned channels = shape_.channels;
  std::vector<std::vector<Column>> result(
      channels, std::vector<Column>(static_cast<std::size_t>(std::max(columns, 0))));
  if (columns <= 0 || last <= first || blocks_ == 0) return result;
  const double perColumn = static_cast<double>(last - first) / columns;
  std::lock_guard lock(mutex_);
  for (int x = 0; x < columns; ++x) {
    const auto from = static_cast<std::uint64_t>(first + perColumn * x);
    const auto to = std::max(from + 1, static_cast<std::uint64_t>(first + perColumn * (x + 1)));
    const std::uint64_t b0 = std::min(from / samplesPerBlock_, blocks_ - 1);
    const std::uint64_t b1 =
        std::clamp<std::uint64_t>((to + samplesPerBlock_ - 1) / samplesPerBlock_, b0 + 1, blocks_);
    for (unsigned c = 0; c < channels; ++c) {
      Column& column = result[c][static_cast<std::size_t>(x)];
      int lo = 32767, hi = -32768;
      double squares = 0.0;
      std::uint64_t n = 0;
      for (std::uint64_t b = b0; b < b1; ++b) {
        if (!set_[static_cast<std::size_t>(b)]) continue;
        const Point& p = points_[static_cast<std::size_t>(b * channels + c)];
        lo = std::min<int>(lo, p.min);
        hi = std::max<int>(hi, p.max);
        squares += static_cast<double>(p.rms) * p.rms;
        ++n;
      }
      if (n == 0) continue;
      column = {static_cast<std::int16_t>(lo), static_cast<std::int16_t>(hi),
                static_cast<std::int16_t>(std::min(std::sqrt(squares / static_cast<double>(n)), 32767.0)),
                false};
    }
  }
  return result;
}

std::vector<Point> CPeakModel::ChannelPoints(unsigned channel) const {
  std::vector<Point> result;
  if (channel >= shape_.channels) return result;
  std::lock_guard lock(mutex_);
  result.reserve(static_cast<std::size_t>(blocks_));
  for (std::uint64_t b = 0; b < blocks_; ++b)
    result.push_back(points_[static_cast<std::size_t>(b * shape_.channels + channel)]);
  return result;
}

}  // namespace peaks
