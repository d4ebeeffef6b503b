#pragma once
// The waveform of one audio stream at one resolution: for every block of
// samplesPerBlock samples and every channel, the lowest and highest sample
// and the RMS, as signed 16-bit values. Blocks are filled by workers (the
// whole stream, or ranges of it, in any order) while readers aggregate
// them to the columns of a picture; a mutex guards the storage.

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace peaks {

struct Point {
  std::int16_t min = 0;
  std::int16_t max = 0;
  std::int16_t rms = 0;  // 0..32767
};

// What a stream is, for the model's size.
struct StreamShape {
  std::uint32_t sampleRate = 0;
  std::uint16_t channels = 0;
  std::uint64_t lengthSamples = 0;  // per channel
};

// The lowest and highest sample and the RMS of one column of one channel.
struct Column {
  std::int16_t min = 0;
  std::int16_t max = 0;
  std::int16_t rms = 0;
  bool empty = true;  // no block of the column is filled yet
};

// Adds samples to a Point, then gives its value.
class Accumulator {
 public:
  void Add(int sample) {
    if (sample < min_) min_ = sample;
    if (sample > max_) max_ = sample;
    squares_ += static_cast<std::uint64_t>(sample * sample);
    ++count_;
  }
  // Adds count samples at once, given their lowest, highest and sum of squares.
  void AddTotals(int min, int max, std::uint64_t squares, std::uint64_t count) {
    if (min < min_) min_ = min;
    if (max > max_) max_ = max;
    squares_ += squares;
    count_ += count;
  }
  bool Empty() const { return count_ == 0; }
  Point Value() const;
  void Reset() { *this = Accumulator(); }

 private:
  int min_ = 32767;
  int max_ = -32768;
  std::uint64_t squares_ = 0;
  std::uint64_t count_ = 0;
};

class CPeakModel {
 public:
  // The storage stays under this: the smallest block of 2^k samples (at
  // least kMinBlock) whose points fit.
  static constexpr std::size_t kMaxBytes = 8u << 20;
  static constexpr std::uint32_t kMinBlock = 256;

  explicit CPeakModel(StreamShape shape);
  CPeakModel(const CPeakModel&) = delete;
  CPeakModel& operator=(const CPeakModel&) = delete;

  const StreamShape& Shape() const { return shape_; }
  std::uint32_t SamplesPerBlock() const { return samplesPerBlock_; }
  std::uint64_t Blocks() const { return blocks_; }

  // Stores points for blocks [firstBlock, firstBlock + count), channel
  // interleaved (count × channels points); blocks past the end are dropped.
  void Store(std::uint64_t firstBlock, const std::vector<Point>& points, std::uint64_t count);
  // Blocks filled at least once.
  std::uint64_t FilledBlocks() const { return filled_.load(); }
  // Called after every Store, on the storing thread (a window that redraws
  // as the blocks fill). Set before any worker stores.
  void SetStored(std::function<void()> stored) { stored_ = std::move(stored); }

  // Aggregates samples [first, last) into columns equal slices, per channel
  // (result[channel][column]). A slice narrower than a block takes the
  // block it falls in.
  std::vector<std::vector<Column>> Columns(std::uint64_t first, std::uint64_t last, int columns) const;
  // The points of one channel, one per block (for the JSON of scripts).
  std::vector<Point> ChannelPoints(unsigned channel) const;

 private:
  StreamShape shape_;
  std::uint32_t samplesPerBlock_ = kMinBlock;
  std::uint64_t blocks_ = 0;
  std::vector<Point> points_;
  std::vector<std::uint8_t> set_;  // one flag a block: filled at least once
  std::atomic<std::uint64_t> filled_{0};
  std::function<void()> stored_;
  mutable std::mutex mutex_;
};

}  // namespace peaks
