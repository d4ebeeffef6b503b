#include "core/mp3/Mp3ChunkDecoder.h"

#include <mad.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>

#include "core/File.h"

namespace split {

namespace {

// How far above the threshold a frame's subband peak must lie for the frame
// to count as loud without synthesis (2.3 dB measured, 6 dB asked).
constexpr double kSubbandMarginDb = 6.0;
// The frames before and after that must be loud too. A frame's subband peak
// speaks for its own output or the next frame's, so with two loud frames
// before and one after, a silence that starts or ends inside the skipped
// frame is shorter than three frames; shorter silences are not looked for
// with the shortcut (see DecodeMp3Chunk).
constexpr std::uint64_t kBefore = 2;
constexpr std::uint64_t kAfter = 1;
constexpr std::uint64_t kReach = kAfter;  // frames decoded ahead of the one finished
constexpr std::size_t kRing = kBefore + kAfter + 2;

mad_fixed_t Fixed(double amplitude) {
  return static_cast<mad_fixed_t>(std::min(std::ceil(amplitude * MAD_F_ONE), double{MAD_F_ONE} * 8));
}

mad_fixed_t SubbandPeak(const mad_frame& frame) {
  mad_fixed_t peak = 0;
  const unsigned channels = MAD_NCHANNELS(&frame.header), slots = MAD_NSBSAMPLES(&frame.header);
  for (unsigned c = 0; c < channels; ++c)
    for (unsigned s = 0; s < slots; ++s)
      for (unsigned b = 0; b < 32; ++b) peak = std::max(peak, std::abs(frame.sbsample[c][s][b]));
  return peak;
}

class ChunkDecoder {
 public:
  // mayskip: synthesis may be skipped inside loud stretches.
  ChunkDecoder(const Mp3Chunk& c, const Mp3Timeline& t, const WindowLevels& shape, double threshold,
               bool mayskip)
      : c_(c),
        t_(t),
        windowSamples_(shape.windowSamples),
        threshold_(Fixed(threshold)),
        subbandLoud_(mayskip ? Fixed(threshold * std::pow(10.0, kSubbandMarginDb / 20.0))
                             : std::numeric_limits<mad_fixed_t>::max()) {
    const std::uint64_t spf = t.samplesPerFrame;
    firstSample_ = c.first * spf > t.skip ? c.first * spf - t.skip : 0;
    endSample_ = std::min(t.total, c.end * spf > t.skip ? c.end * spf - t.skip : 0);
    if (firstSample_ < endSample_) {
      out_.firstWindow = firstSample_ / windowSamples_;
      out_.windows.resize((endSample_ - 1) / windowSamples_ + 1 - out_.firstWindow);
    }
    mad_synth_init(&synth_);
    for (Slot& s : ring_) mad_frame_init(&s.frame);
  }
  ~ChunkDecoder() {
    mad_synth_finish(&synth_);
    for (Slot& s : ring_) mad_frame_finish(&s.frame);
  }
  ChunkDecoder(const ChunkDecoder&) = delete;
  ChunkDecoder& operator=(const ChunkDecoder&) = delete;

  ChunkLevels Run(std::vector<std::uint8_t>& bytes);
  // Frames from the first counted one on that did not decode.
  std::uint64_t Failures() const { return failures_; }

 private:
  struct Slot {
    mad_frame frame;
    bool decoded = false;
    bool loud = false;
  };
  Slot& At(std::uint64_t k) { return ring_[k % kRing]; }
  bool Loud(std::uint64_t k) {
    return k >= c_.leadIn && k < c_.end && k <= last_ && At(k).decoded && At(k).loud;
  }
  void Finish(std::uint64_t k);
  void Record(std::uint64_t k, const mad_pcm* pcm);

  Mp3Chunk c_;
  Mp3Timeline t_;
  std::uint32_t windowSamples_;
  mad_fixed_t threshold_, subbandLoud_;
  std::uint64_t firstSample_ = 0, endSample_ = 0;
  std::uint64_t last_ = 0;                  // the last frame decoded so far
  std::uint64_t synthesised_ = UINT64_MAX;  // the last frame synthesised
  std::uint64_t failures_ = 0;
  ChunkLevels out_;
  mad_synth synth_;
  std::array<Slot, kRing> ring_;
};

ChunkLevels ChunkDecoder::Run(std::vector<std::uint8_t>& bytes) {
  mad_stream stream;
  mad_stream_init(&stream);
  mad_stream_buffer(&stream, bytes.data(), bytes.size());
  mad_frame frame;
  mad_frame_init(&frame);
  for (std::uint64_t k = c_.leadIn; k < c_.end; ++k) {
    Slot& slot = At(k);
    slot.decoded = mad_frame_decode(&frame, &stream) == 0;
    // A damaged frame, or a lead-in frame without its reservoir, puts out nothing.
    if (!slot.decoded && !MAD_RECOVERABLE(stream.error)) break;
    if (slot.decoded) {
      slot.frame.header = frame.header;
      slot.frame.options = frame.options;
      std::memcpy(slot.frame.sbsample, frame.sbsample, sizeof frame.sbsample);
      slot.loud = SubbandPeak(frame) >= subbandLoud_;
    }
    last_ = k;
    if (k >= c_.leadIn + kReach) Finish(k - kReach);
  }
  for (std::uint64_t k = last_ >= c_.leadIn + kReach ? last_ - kReach + 1 : c_.leadIn; k <= last_; ++k)
    Finish(k);
  mad_frame_finish(&frame);
  mad_stream_finish(&stream);
  return std::move(out_);
}

// Synthesises frame k, or counts it loud, once the frames after it are known.
void ChunkDecoder::Finish(std::uint64_t k) {
  if (!At(k).decoded) {
    // A frame that would not decode: what it held is unknown, so no silence there.
    if (k >= c_.first) {
      Record(k, nullptr);
      ++failures_;
    }
    return;
  }
  bool skip = k >= c_.first;
  for (std::uint64_t j = k > kBefore ? k - kBefore : 0; skip && j <= k + kAfter; ++j) skip = Loud(j);
  if (skip) {
    Record(k, nullptr);
    return;
  }
  // The filterbank's state comes from the frame before: synthesise it again after a skip.
  if (k > c_.leadIn && synthesised_ != k - 1 && At(k - 1).decoded) mad_synth_frame(&synth_, &At(k - 1).frame);
  mad_synth_frame(&synth_, &At(k).frame);
  synthesised_ = k;
  if (k >= c_.first) Record(k, &synth_.pcm);
}

// Adds frame k's samples to the windows, a window's share at a time;
// without pcm, all of them count loud.
void ChunkDecoder::Record(std::uint64_t k, const mad_pcm* pcm) {
  const std::uint64_t frameStart = k * t_.samplesPerFrame;  // in decoded samples
  std::uint64_t from = std::max(frameStart, t_.skip + firstSample_);
  const std::uint64_t to =
      std::min(frameStart + (pcm ? pcm->length : t_.samplesPerFrame), t_.skip + endSample_);
  while (from < to) {
    const std::uint64_t pos = from - t_.skip;
    const auto offset = static_cast<unsigned>(pos % windowSamples_);
    const auto count = static_cast<unsigned>(std::min<std::uint64_t>(to - from, windowSamples_ - offset));
    WindowLevel& w = out_.windows[pos / windowSamples_ - out_.firstWindow];
    mad_fixed_t peak = MAD_F_ONE;
    int first = 0, last = static_cast<int>(count) - 1;
    if (pcm) {
      const auto at = static_cast<unsigned>(from - frameStart);
      peak = 0;
      first = last = -1;
      for (unsigned j = 0; j < count; ++j) {
        mad_fixed_t p = std::abs(pcm->samples[0][at + j]);
        if (pcm->channels > 1) p = std::max(p, std::abs(pcm->samples[1][at + j]));
        peak = std::max(peak, p);
        if (p >= threshold_) {
          if (first < 0) first = static_cast<int>(j);
          last = static_cast<int>(j);
        }
      }
    }
    w.peak = std::max(w.peak, std::min(1.0f, static_cast<float>(peak) / MAD_F_ONE));
    if (first >= 0) {
      const auto a = static_cast<std::uint16_t>(offset + static_cast<unsigned>(first));
      const auto b = static_cast<std::uint16_t>(offset + static_cast<unsigned>(last));
      if (w.firstLoud == kNoLoud || a < w.firstLoud) w.firstLoud = a;
      if (w.lastLoud == kNoLoud || b > w.lastLoud) w.lastLoud = b;
    }
    from += count;
  }
}

}  // namespace

ChunkLevels DecodeMp3Chunk(const CFile& file, const std::string& path, const Mp3FrameList& frames,
                           const Mp3Chunk& chunk, const Mp3Timeline& timeline, const WindowLevels& shape,
                           double threshold, std::uint64_t minSamples) {
  // libmad refills its bit reservoir slowly from the middle of a stream
  // (small frames may need dozens): frames that fail after the lead-in make
  // the chunk start again from further back, twice at most (frames that are
  // damaged fail however far back it starts, and count as loud).
  Mp3Chunk c = chunk;
  for (int attempt = 0;; ++attempt) {
    std::vector<std::uint8_t> bytes;
    ReadRange(file, path, frames.offsets[c.leadIn], frames.offsets[c.end], bytes);
    bytes.resize(bytes.size() + MAD_BUFFER_GUARD, 0);
    // Silences shorter than four frames could end inside a skipped frame.
    ChunkDecoder decoder(c, timeline, shape, threshold, minSamples >= 4 * timeline.samplesPerFrame);
    ChunkLevels levels = decoder.Run(bytes);
    if (decoder.Failures() == 0 || c.leadIn == 0 || attempt == 2) return levels;
    const std::uint64_t back = std::max<std::uint64_t>(64, 2 * (c.first - c.leadIn));
    c.leadIn = c.leadIn > back ? c.leadIn - back : 0;
  }
}

}  // namespace split
