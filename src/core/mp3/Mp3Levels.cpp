#include "core/mp3/Mp3Levels.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <exception>
#include <mutex>
#include <vector>

#include "core/File.h"
#include "core/LevelScanError.h"
#include "core/Workers.h"
#include "core/mp3/Mp3ChunkDecoder.h"
#include "core/mp3/Mp3File.h"
#include "core/mp3/Mp3FrameWalk.h"
#include "core/mp3/Mp3LameTag.h"
#include "core/mp3/Mp3SideInfo.h"

namespace split {

namespace {

// How far above the threshold a frame's side information may point and the
// frame still be decoded: the global gain sets the quantiser step, and a
// quiet frame's loudest values sit a few steps above it at most. Measured on
// LAME streams of noise, tones and speech-like signals, the step of a frame
// stays below its decoded peak; the margin keeps every doubtful frame.
constexpr double kSideInfoMarginDb = 20.0;
// Frames decoded per work item: a bounded buffer, and enough items for both cores.
constexpr std::uint64_t kChunkFrames = 2048;
// The bit reservoir reaches back at most 511 bytes of main data; headers and
// side information of the frames between come on top.
constexpr std::uint64_t kReservoirBytes = 1024;

using Chunk = Mp3Chunk;
using Timeline = Mp3Timeline;

// Stretches of frames that may be quiet and are long enough to hold a silence.
std::vector<std::pair<std::uint64_t, std::uint64_t>> QuietRuns(const Mp3FrameList& frames,
                                                               const Mp3ScanOptions& o,
                                                               std::uint32_t samplesPerFrame) {
  std::vector<std::pair<std::uint64_t, std::uint64_t>> runs;
  const std::uint64_t count = frames.Count();
  if (o.decodeEverything) {
    if (count != 0) runs.emplace_back(0, count);
    return runs;
  }
  const double limitDb = DbfsOf(o.threshold) + kSideInfoMarginDb;
  const std::uint64_t shortest = std::max<std::uint64_t>(1, o.minSamples / samplesPerFrame);
  const std::uint64_t minRun = shortest > 2 ? shortest - 2 : 1;
  // Two frames either side so that the silence's edges are found exactly.
  constexpr std::uint64_t kMargin = 2;
  std::uint64_t k = 0;
  while (k < count) {
    auto quiet = [&](std::uint64_t i) { return frames.floors[i] <= limitDb; };
    if (!quiet(k)) {
      ++k;
      continue;
    }
    std::uint64_t end = k;
    while (end < count && quiet(end)) ++end;
    if (end - k >= minRun) {
      const std::uint64_t from = k > kMargin ? k - kMargin : 0;
      const std::uint64_t to = std::min(count, end + kMargin);
      if (!runs.empty() && from <= runs.back().second + kMargin)
        runs.back().second = to;
      else
        runs.emplace_back(from, to);
    }
    k = end;
  }
  return runs;
}

std::vector<Chunk> ChunksOf(const std::vector<std::pair<std::uint64_t, std::uint64_t>>& runs,
                            const Mp3FrameList& frames) {
  std::vector<Chunk> chunks;
  for (auto [from, to] : runs) {
    for (std::uint64_t first = from; first < to; first += kChunkFrames) {
      Chunk c{first, first, std::min(to, first + kChunkFrames)};
      // The frame before the first must decode whole (its second half
      // overlaps the first frame's samples): back far enough for its
      // reservoir, and one frame more.
      const std::uint64_t before = first > 0 ? first - 1 : 0;
      c.leadIn = before;
      while (c.leadIn > 0 && frames.offsets[before] - frames.offsets[c.leadIn] < kReservoirBytes) --c.leadIn;
      if (c.leadIn > 0) --c.leadIn;
      chunks.push_back(c);
    }
  }
  return chunks;
}

void Merge(WindowLevels& levels, const ChunkLevels& chunk) {
  for (std::size_t i = 0; i < chunk.windows.size(); ++i) {
    WindowLevel& w = levels.windows[chunk.firstWindow + i];
    const WindowLevel& c = chunk.windows[i];
    w.peak = std::max(w.peak, c.peak);
    if (c.firstLoud == kNoLoud) continue;
    if (w.firstLoud == kNoLoud || c.firstLoud < w.firstLoud) w.firstLoud = c.firstLoud;
    if (w.lastLoud == kNoLoud || c.lastLoud > w.lastLoud) w.lastLoud = c.lastLoud;
  }
}

}  // namespace

namespace {

Timeline TimelineOf(CMp3File& mp3, const Mp3FrameList& frames, std::uint32_t spf) {
  Timeline t{spf, 0, frames.Count() * spf};
  if (const std::optional<mp3::LameTag>& tag = mp3.GetTrustedLameTag()) {
    const std::uint64_t total = std::uint64_t{tag->frames} * spf;
    if (total >= std::uint64_t{tag->delay} + tag->padding) {
      t.skip = tag->delay + mp3::kDecoderDelay;
      t.total = std::min(total - tag->delay - tag->padding, t.total > t.skip ? t.total - t.skip : 0);
    }
  }
  return t;
}

// Decodes the chunks on two threads, each merging what it found.
void DecodeChunks(const std::string& path, const Mp3FrameList& frames, const std::vector<Chunk>& chunks,
                  const Timeline& t, WindowLevels& levels, double threshold, std::uint64_t minSamples) {
  CFile file;
  OpenForScan(file, path);
  std::atomic<std::size_t> next{0};
  std::mutex merging;
  RunOnThreads(2, [&] {
    try {
      for (std::size_t i = next++; i < chunks.size(); i = next++) {
        const ChunkLevels result =
            DecodeMp3Chunk(file, path, frames, chunks[i], t, levels, threshold, minSamples);
        const std::lock_guard lock(merging);
        Merge(levels, result);
      }
    } catch (...) {
      next = chunks.size();  // the other thread stops at its next chunk
      throw;
    }
  });
}

}  // namespace

std::uint64_t Mp3TotalSamples(CMp3File& mp3) {
  if (mp3.Rewind() != err::kNone)
    throw ScanError(mp3.GetFilePath(), mp3.GetFilePath() + ": no MPEG audio frame found");
  const mp3::FrameHeader first{mp3.GetHeader()};
  const Mp3FrameList frames = WalkMp3Frames(mp3.GetFilePath(), mp3.GetAudioStart(), mp3.GetAudioEnd(), first);
  return TimelineOf(mp3, frames, first.SamplesPerFrame()).total;
}

WindowLevels ScanMp3Levels(CMp3File& mp3, const Mp3ScanOptions& options, Mp3ScanStats* stats) {
  if (mp3.Rewind() != err::kNone)
    throw ScanError(mp3.GetFilePath(), mp3.GetFilePath() + ": no MPEG audio frame found");
  const mp3::FrameHeader first{mp3.GetHeader()};
  const std::uint32_t spf = first.SamplesPerFrame();
  const Mp3FrameList frames = WalkMp3Frames(mp3.GetFilePath(), mp3.GetAudioStart(), mp3.GetAudioEnd(), first);
  const Timeline t = TimelineOf(mp3, frames, spf);

  WindowLevels levels;
  levels.Reset(first.SampleRate(), t.total);
  Mp3ScanOptions o = options;
  // Layer I and II frames carry no side information of this kind.
  if (first.Layer() != 1) o.decodeEverything = true;
  const auto runs = QuietRuns(frames, o, spf);
  const std::vector<Chunk> chunks = ChunksOf(runs, frames);
  DecodeChunks(mp3.GetFilePath(), frames, chunks, t, levels, o.threshold, o.minSamples);

  // What was not decoded is loud.
  auto sampleOf = [&](std::uint64_t frame) {
    const std::uint64_t decoded = frame * spf;
    return decoded > t.skip ? std::min(t.total, decoded - t.skip) : 0;
  };
  std::uint64_t from = 0;
  for (auto [start, end] : runs) {
    levels.MarkLoud(sampleOf(from), sampleOf(start));
    from = end;
  }
  levels.MarkLoud(sampleOf(from), t.total);

  if (stats) {
    stats->frames = frames.Count();
    stats->framesDecoded = 0;
    for (const Chunk& c : chunks) stats->framesDecoded += c.end - c.leadIn;
  }
  return levels;
}

}  // namespace split
