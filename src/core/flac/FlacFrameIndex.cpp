#include "core/flac/FlacFrameIndex.h"

#include <algorithm>
#include <cstring>

#include "core/AudioFailure.h"
#include "core/File.h"

namespace flac {
namespace {

// The scan's window on the file: big enough for the largest frame a header
// allows (65536 samples of 8 channels of 33 bits, about 2.1 MB) and the
// next header.
constexpr std::size_t kWindow = 8u << 20;

class CScanWindow {
 public:
  CScanWindow(const CFile& file, std::uint64_t end) : file_(file), end_(end), bytes_(kWindow) {}
  // Makes [at, at + want) readable (clipped to the end); the bytes at at.
  const std::uint8_t* Hold(std::uint64_t at, std::size_t want) {
    if (at < start_ || at + std::min<std::uint64_t>(want, end_ - at) > start_ + held_) {
      start_ = at;
      const std::size_t size = static_cast<std::size_t>(std::min<std::uint64_t>(kWindow, end_ - at));
      held_ = file_.ReadAt(bytes_.data(), size, at);
      // The file shrank under the scan.
      if (held_ < size) throw CFileException(FileCause::EndOfFile, file_.GetFilePath());
    }
    return bytes_.data() + (at - start_);
  }
  std::uint64_t Available(std::uint64_t at) const { return start_ + held_ - at; }

 private:
  const CFile& file_;
  std::uint64_t end_;
  std::vector<std::uint8_t> bytes_;
  std::uint64_t start_ = 0;
  std::size_t held_ = 0;
};

// The next frame header at or after from, before limit: any header that
// parses (its CRC-8 holds) when resynchronising after damage.
std::uint64_t NextHeader(CScanWindow& window, std::uint64_t from, std::uint64_t limit,
                         const StreamInfo& info) {
  for (std::uint64_t at = from; at + 2 <= limit; ++at) {
    const std::uint8_t* p = window.Hold(at, kMaxFrameHeader);
    if (p[0] == 0xFF && ParseFrameHeader(p, std::min<std::uint64_t>(window.Available(at), limit - at), info))
      return at;
  }
  return limit;
}

}  // namespace

std::size_t FrameIndex::FrameAt(std::uint64_t sample) const {
  const auto after = std::upper_bound(frames.begin(), frames.end(), sample,
                                      [](std::uint64_t s, const Frame& f) { return s < f.firstSample; });
  if (after == frames.begin()) return frames.size();
  const std::size_t i = static_cast<std::size_t>(after - frames.begin()) - 1;
  return sample < frames[i].firstSample + frames[i].blockSize ? i : frames.size();
}

std::size_t FrameIndex::FirstDamaged(std::size_t first, std::size_t end) const {
  for (std::size_t i = first; i < end && i < frames.size(); ++i)
    if (frames[i].damaged) return i;
  return end;
}

namespace {

// The end of the audio: the file's, or where an ID3v1 tag at its end starts.
std::uint64_t AudioEnd(const CFile& file, const Metadata& meta) {
  std::uint64_t end = file.GetLength();
  if (end >= meta.audioStart + 128) {
    char tag[3];
    if (file.ReadAt(tag, 3, end - 128) == 3 && std::memcmp(tag, "TAG", 3) == 0) end -= 128;
  }
  return end;
}

// Indexes the frames from the header at pos to end, or until they reach
// stopAt samples; index.samples is where the first frame starts.
void ScanFrom(const CFile& file, CScanWindow& window, const StreamInfo& info, std::uint64_t pos,
              std::uint64_t end, std::uint64_t stopAt, FrameIndex& index) {
  while (pos < end && index.samples < stopAt) {
    const std::uint8_t* p = window.Hold(pos, kMaxFrameHeader);
    const FrameHeader header =
        *ParseFrameHeader(p, std::min<std::uint64_t>(window.Available(pos), end - pos), info);
    const std::uint64_t limit = std::min(end, pos + FrameBound(header, info));
    const std::uint64_t expected = header.number + (header.variableBlocks ? header.blockSize : 1);
    // Looks for the next header that closes this frame: its CRC-16 over the
    // frame (the stored CRC included) comes to 0, or it carries the number
    // that follows this one (then this frame is damaged). The CRC runs on
    // from candidate to candidate, so every byte is summed once.
    p = window.Hold(pos, static_cast<std::size_t>(limit - pos) + kMaxFrameHeader);
    std::uint16_t crc = Crc16(p, header.length);
    std::uint64_t summed = pos + header.length, next = limit;
    bool damaged = true;
    for (std::uint64_t at = summed; at + 1 < limit;) {
      const std::uint8_t* q = p + (at - pos);
      const void* hit = std::memchr(q, 0xFF, static_cast<std::size_t>(limit - 1 - at));
      if (!hit) break;
      at += static_cast<const std::uint8_t*>(hit) - q;
      q = p + (at - pos);
      if ((q[1] & 0xFE) == 0xF8) {
        const std::uint64_t avail = std::min<std::uint64_t>(window.Available(at), end - at);
        const std::optional<FrameHeader> candidate = ParseFrameHeader(q, avail, info);
        if (candidate && candidate->variableBlocks == header.variableBlocks) {
          crc = Crc16(p + (summed - pos), static_cast<std::size_t>(at - summed), crc);
          summed = at;
          if (crc == 0 || candidate->number == expected) {
            next = at;
            damaged = crc != 0;
            break;
          }
        }
      }
      ++at;
    }
    if (next == limit && limit == end) {
      crc = Crc16(p + (summed - pos), static_cast<std::size_t>(end - summed), crc);
      damaged = crc != 0;
    }
    // A frame that ran to its limit without a closing header: the stream
    // resumes at the next header there is, and the damage spans the gap.
    if (next == limit && limit < end) next = NextHeader(window, pos + header.length, end, info);
    if (index.frames.size() == kMaxFrames)
      throw CAudioFailure(err::kDamagedAudio, file.GetFilePath(), 0,
                          file.GetFilePath() + ": the stream has more frames than Kestrune can index.");
    Frame frame{pos, index.samples, static_cast<std::uint32_t>(next - pos), header.blockSize, damaged};
    index.frames.push_back(frame);
    index.samples += header.blockSize;
    if (!damaged) {
      index.minFrame = index.minFrame == 0 ? frame.length : std::min(index.minFrame, frame.length);
      index.maxFrame = std::max(index.maxFrame, frame.length);
    }
    index.minBlock = index.minBlock == 0 ? frame.blockSize : std::min(index.minBlock, frame.blockSize);
    index.maxBlock = std::max(index.maxBlock, frame.blockSize);
    pos = next;
  }
}

}  // namespace

FrameIndex ScanFrames(const CFile& file, const Metadata& meta) {
  FrameIndex index;
  const std::uint64_t end = AudioEnd(file, meta);
  CScanWindow window(file, end);
  const std::uint64_t pos = end > meta.audioStart ? NextHeader(window, meta.audioStart, end, meta.info) : end;
  ScanFrom(file, window, meta.info, pos, end, UINT64_MAX, index);
  return index;
}

namespace {

// The sample a header's number stands for: a variable-block stream counts
// samples, a fixed-block one frames of STREAMINFO's one block size.
std::optional<std::uint64_t> HeaderSample(const FrameHeader& h, const StreamInfo& info) {
  if (h.variableBlocks) return h.number;
  if (info.minBlock != info.maxBlock || info.maxBlock < 16) return std::nullopt;
  return h.number * info.maxBlock;
}

// The first header at or after from that the next frame's header confirms
// (its number follows on within the first one's bound); where a false sync
// inside audio is all but impossible. Nothing within kReach bytes: none.
struct Located {
  std::uint64_t offset = 0;
  std::uint64_t sample = 0;
};
constexpr std::uint64_t kReach = 4u << 20;
std::optional<Located> ConfirmedHeader(CScanWindow& window, std::uint64_t from, std::uint64_t end,
                                       const StreamInfo& info) {
  const std::uint64_t stop = std::min(end, from + kReach);
  for (std::uint64_t at = NextHeader(window, from, stop, info); at < stop;
       at = NextHeader(window, at + 1, stop, info)) {
    const FrameHeader h = *ParseFrameHeader(window.Hold(at, kMaxFrameHeader),
                                            std::min<std::uint64_t>(window.Available(at), end - at), info);
    const std::optional<std::uint64_t> sample = HeaderSample(h, info);
    if (!sample) return std::nullopt;
    const std::uint64_t expected = h.number + (h.variableBlocks ? h.blockSize : 1);
    const std::uint64_t limit = std::min(end, at + FrameBound(h, info));
    for (std::uint64_t next = NextHeader(window, at + h.length, limit, info); next < limit;
         next = NextHeader(window, next + 1, limit, info)) {
      const FrameHeader n =
          *ParseFrameHeader(window.Hold(next, kMaxFrameHeader),
                            std::min<std::uint64_t>(window.Available(next), end - next), info);
      if (n.number == expected && n.variableBlocks == h.variableBlocks) return Located{at, *sample};
    }
    // The last frame has no header after it.
    if (limit == end) return Located{at, *sample};
  }
  return std::nullopt;
}

}  // namespace

std::optional<FrameIndex> ScanFrameSpan(const CFile& file, const Metadata& meta, std::uint64_t first,
                                        std::uint64_t endSample) {
  const std::uint64_t end = AudioEnd(file, meta);
  if (end <= meta.audioStart) return std::nullopt;
  CScanWindow window(file, end);
  std::optional<Located> low = ConfirmedHeader(window, meta.audioStart, end, meta.info);
  if (!low || low->sample != 0) return std::nullopt;
  // Halves the stretch of the file that holds the frame of first.
  std::uint64_t high = end;
  while (high - low->offset > (64u << 10)) {
    const std::uint64_t mid = low->offset + (high - low->offset) / 2;
    const std::optional<Located> found = ConfirmedHeader(window, mid, end, meta.info);
    if (!found) return std::nullopt;
    if (found->offset >= high || found->sample > first) {
      high = mid;
    } else {
      low = found;
    }
  }
  FrameIndex index;
  index.samples = low->sample;
  ScanFrom(file, window, meta.info, low->offset, end, endSample, index);
  if (index.frames.empty() || index.frames.front().firstSample > first) return std::nullopt;
  return index;
}

}  // namespace flac
