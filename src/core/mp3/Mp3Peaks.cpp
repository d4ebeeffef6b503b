#include "core/mp3/Mp3Peaks.h"

#include <mad.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

#include "core/File.h"
#include "core/Workers.h"
#include "core/mp3/GranuleMedians.h"
#include "core/mp3/MadDecoder.h"
#include "core/mp3/Mp3File.h"
#include "core/mp3/Mp3FrameScan.h"
#include "core/mp3/Mp3LameTag.h"
#include "core/mp3/Mp3Reservoir.h"

namespace peaks {
namespace {

constexpr std::size_t kScanBlock = 1u << 20;
constexpr std::size_t kSideInfoReach = 4 + 2 + 32;  // header, CRC, the longest side information
constexpr std::uint32_t kGranule = 576;
// From the median estimate of a granule to its peak, fitted on LAME's
// output for sines and noise of known amplitude.
constexpr double kEnvelopeScale = 3.2;

// Reads up to 25 bits at a time from a big-endian window of four bytes:
// the bytes must run at least four past the last bit read.
class BitReader {
 public:
  explicit BitReader(const std::uint8_t* bytes) : bytes_(bytes) {}
  unsigned Read(unsigned count) {
    const std::uint8_t* p = bytes_ + (bit_ >> 3);
    const std::uint32_t window =
        (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
    const unsigned value = (window << (bit_ & 7)) >> (32 - count);
    bit_ += count;
    return value;
  }
  void Skip(unsigned count) { bit_ += count; }

 private:
  const std::uint8_t* bytes_;
  std::size_t bit_ = 0;
};

// Collects granule levels into blocks and hands finished blocks to the model.
class EnvelopeBuilder {
 public:
  explicit EnvelopeBuilder(CPeakModel& model)
      : model_(model),
        channels_(model.Shape().channels),
        shift_(static_cast<unsigned>(std::countr_zero(model.SamplesPerBlock()))) {}

  // A granule from sample first with one level a channel.
  void Add(std::uint64_t first, const int* levels) {
    const std::uint64_t b0 = first >> shift_;
    const std::uint64_t b1 = (first + kGranule - 1) >> shift_;
    if (b1 >= base_ + levels_.size() / channels_)
      levels_.resize(static_cast<std::size_t>((b1 - base_ + 1) * channels_), 0);
    for (std::uint64_t b = std::max(b0, base_); b <= b1; ++b) {
      int* slot = &levels_[static_cast<std::size_t>((b - base_) * channels_)];
      for (unsigned c = 0; c < channels_; ++c) slot[c] = std::max(slot[c], levels[c]);
    }
  }
  // Stores the blocks before the one holding sample (all when finishing).
  void Flush(std::uint64_t sample) {
    const std::uint64_t upTo =
        std::min<std::uint64_t>(sample / model_.SamplesPerBlock(), base_ + levels_.size() / channels_);
    if (upTo <= base_) return;
    const std::size_t count = static_cast<std::size_t>(upTo - base_);
    std::vector<Point> points(count * channels_);
    for (std::size_t i = 0; i < points.size(); ++i) {
      const auto level = static_cast<std::int16_t>(levels_[i]);
      points[i] = {static_cast<std::int16_t>(-level), level, static_cast<std::int16_t>(level * 7 / 10)};
    }
    model_.Store(base_, points, count);
    levels_.erase(levels_.begin(), levels_.begin() + static_cast<std::ptrdiff_t>(count * channels_));
    base_ = upTo;
  }

 private:
  CPeakModel& model_;
  unsigned channels_;
  unsigned shift_;  // blocks are 2^shift_ samples
  std::uint64_t base_ = 0;
  std::vector<int> levels_;
};

// Estimates are kept a byte each on a log scale, 8 steps an octave from
// 2^-24 on; 0 is a granule without main data (digital silence).
double DecodeEstimate(std::uint8_t code) {
  static const std::array<double, 256> kValues = [] {
    std::array<double, 256> values{};
    for (int c = 1; c < 256; ++c) values[static_cast<std::size_t>(c)] = std::exp2(c / 8.0 - 24.0);
    return values;
  }();
  return kValues[code];
}

// The largest value a Huffman table of the big values codes: tables 16 to
// 31 add linbits to 15.
unsigned LargestOfTable(unsigned table) {
  static constexpr unsigned kSmall[16] = {0, 1, 2, 2, 0, 3, 3, 5, 5, 5, 7, 7, 7, 15, 0, 15};
  static constexpr unsigned kLinbits[16] = {1, 2, 3, 4, 6, 8, 10, 13, 4, 5, 6, 7, 8, 9, 11, 13};
  return table < 16 ? kSmall[table] : 15 + (1u << kLinbits[table - 16]) - 1;
}

// A granule's largest line sounds as largest^(4/3) × 2^((gain - 210) / 4)
// before the scale factors (which only lower it), where largest is the
// largest value its Huffman tables can code. As a code, without a
// transcendental call a granule: log2 of largest^(4/3) comes from a table
// (in eighths), the gain adds a quarter octave a step.
std::uint8_t EstimateCode(unsigned gain, unsigned mainDataBits, unsigned largest) {
  if (mainDataBits == 0) return 0;
  static const std::array<int, 8208> kLargestEighths = [] {
    std::array<int, 8208> eighths{};
    for (std::size_t v = 1; v < eighths.size(); ++v)
      eighths[v] = static_cast<int>(std::lround(std::log2(static_cast<double>(v)) * 4.0 / 3.0 * 8.0));
    return eighths;
  }();
  const int code =
      kLargestEighths[std::min<unsigned>(largest, 8207)] + (static_cast<int>(gain) - 210) * 2 + 24 * 8;
  return static_cast<std::uint8_t>(std::clamp(code, 1, 255));
}

// Reads the granule estimates of one Layer III frame: two codes a granule.
void AddFrameLevels(const std::uint8_t* frame, mp3::FrameHeader header, std::vector<std::uint8_t>& levels) {
  const bool mpeg1 = header.Version() == 3;
  const unsigned channels = header.ChannelMode() == 3 ? 1 : 2;
  BitReader bits(frame + 4 + (header.Protected() ? 2 : 0));
  bits.Skip(mpeg1 ? 9 + (channels == 1 ? 5 : 3) + 4 * channels : 8 + (channels == 1 ? 1 : 2));
  const unsigned granules = mpeg1 ? 2 : 1;
  for (unsigned g = 0; g < granules; ++g) {
    std::uint8_t codes[2] = {};
    for (unsigned c = 0; c < channels; ++c) {
      const unsigned mainDataBits = bits.Read(12);
      const unsigned bigValues = bits.Read(9);
      const unsigned gain = bits.Read(8);
      bits.Skip(mpeg1 ? 4 : 9);  // scalefac_compress
      unsigned largest = 0;
      const unsigned tables = bits.Read(1) ? 2 : 3;  // window switching: two regions
      if (tables == 2) bits.Skip(3);                 // block type, mixed block flag
      for (unsigned t = 0; t < tables; ++t) largest = std::max(largest, LargestOfTable(bits.Read(5)));
      bits.Skip((tables == 2 ? 9 : 7) + (mpeg1 ? 3 : 2));
      codes[c] = EstimateCode(gain, mainDataBits, bigValues > 0 ? std::max(largest, 1u) : 1);
    }
    levels.push_back(codes[0]);
    levels.push_back(channels == 1 ? codes[0] : codes[1]);
  }
}

}  // namespace

std::optional<Mp3Source> Mp3SourceOf(CMp3File& file, std::string& whyNot) {
  const mp3::FrameHeader header{file.GetHeader()};
  if (!header.HasSync() || header.SampleRate() == 0 || file.GetAudioEnd() <= file.GetAudioStart()) {
    whyNot = "The waveform of this MP3 file cannot be drawn: it holds no audio frames.";
    return std::nullopt;
  }
  Mp3Source source;
  source.path = file.GetFilePath();
  source.audioStart = file.GetAudioStart();
  source.audioEnd = file.GetAudioEnd();
  source.stream = header;
  source.sampleRate = header.SampleRate();
  source.channels = header.ChannelMode() == 3 ? 1 : 2;
  source.samplesPerFrame = header.SamplesPerFrame();
  return source;
}

std::optional<Mp3Scan> ScanMp3(const CFile& file, const Mp3Source& source, const std::atomic<bool>& cancel) {
  Mp3Scan scan;
  const bool layer3 = source.stream.Layer() == 1;
  // Four bytes more, zeroed after what was read, for the bit reader's window.
  auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(kScanBlock + kSideInfoReach + 4);
  std::vector<std::uint64_t> recent;  // the last frames' offsets, for the lead-ins
  CStreamFrameCheck check(source.stream);
  std::uint64_t next = source.audioStart;
  for (std::uint64_t block = source.audioStart; block < source.audioEnd; block += kScanBlock) {
    if (cancel.load(std::memory_order_relaxed)) return std::nullopt;
    const std::uint64_t blockEnd = std::min(source.audioEnd, block + kScanBlock);
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(source.audioEnd, blockEnd + kSideInfoReach) - block);
    const std::size_t got = file.ReadAt(buffer.get(), want, block);
    std::memset(buffer.get() + got, 0, 4);
    for (; next < blockEnd;) {
      const std::size_t i = static_cast<std::size_t>(next - block);
      if (i + 4 > got) {
        next = source.audioEnd;
        break;
      }
      const mp3::FrameHeader header = mp3::FrameHeader::FromBytes(buffer.get() + i);
      const std::uint32_t length = check.LengthOf(header);
      if (length == 0) {
        ++next;
        continue;
      }
      if (next + length > source.audioEnd) {
        next = source.audioEnd;
        break;
      }
      if (scan.frames % Mp3Scan::kChunkFrames == 0) {
        scan.rangeStarts.push_back(next);
        scan.rangeLeads.push_back(recent);
      }
      if (layer3) {
        if (i + mp3::MainDataOffset(header) <= got)
          AddFrameLevels(buffer.get() + i, header, scan.levels);
        else
          scan.levels.resize(scan.levels.size() + (header.Version() == 3 ? 4 : 2), 0);
      }
      recent.push_back(next);
      if (recent.size() > Mp3Scan::kLeadFrames) recent.erase(recent.begin());
      ++scan.frames;
      next += length;
    }
    if (scan.frames > Mp3Scan::kMaxFrames) break;  // hostile files of tiny frames
  }
  return scan;
}

void StoreEnvelope(const Mp3Scan& scan, const Mp3Source& source, CPeakModel& model) {
  if (scan.levels.empty()) return;
  // The level drawn for a median code, a table for the 256 codes.
  static const std::array<int, 256> kLevels = [] {
    std::array<int, 256> levels{};
    for (std::size_t code = 0; code < levels.size(); ++code)
      levels[code] = static_cast<int>(
          std::min(DecodeEstimate(static_cast<std::uint8_t>(code)) * kEnvelopeScale, 1.0) * 32767.0);
    return levels;
  }();
  EnvelopeBuilder envelope(model);
  const unsigned channels = model.Shape().channels;
  const std::size_t granules = scan.levels.size() / 2;
  const std::size_t perFrame = source.samplesPerFrame / kGranule;
  // The medians are taken a run of granules at a time, so their memory stays small.
  constexpr std::size_t kRun = 1 << 16;
  std::vector<std::uint8_t> medians[2];
  for (std::size_t g = 0; g < granules; ++g) {
    if (g % kRun == 0)
      for (unsigned lane = 0; lane < std::min(channels, 2u); ++lane)
        MediansOfNine(scan.levels, lane, g, std::min(kRun, granules - g), medians[lane]);
    const std::uint64_t at = g * kGranule + mp3::kDecoderDelay;
    int levels[2] = {};
    for (unsigned c = 0; c < channels; ++c) {
      const unsigned lane = std::min(c, 1u);
      // Silence stays silent however loud its neighbours are.
      if (scan.levels[2 * g + lane] != 0) levels[c] = kLevels[medians[lane][g % kRun]];
    }
    envelope.Add(at, levels);
    if (g % (perFrame * 4096) == 0) envelope.Flush(at);
  }
  envelope.Flush(UINT64_MAX);
}

namespace {

// The bytes one range decodes: the lead-in (a reservoir frame, then the
// frame before the range), the range's frames, and libmad's guard bytes.
struct RangeBytes {
  std::vector<std::uint8_t> bytes;
  std::uint64_t firstFrame = 0;  // the frame number of the first file frame in bytes
  std::size_t fileFrom = 0;      // where the file's bytes begin in bytes
};

std::vector<std::uint8_t> ReservoirFor(const CFile& file, const Mp3Source& source,
                                       const std::vector<std::uint64_t>& lead) {
  // The main data areas of the frames before the frame before the range.
  std::vector<std::uint8_t> mainData;
  std::uint8_t frame[2048];
  for (std::size_t k = 0; k + 1 < lead.size(); ++k) {
    const std::size_t got = file.ReadAt(frame, sizeof frame, lead[k]);
    if (got < 4) continue;
    const mp3::FrameHeader h = mp3::FrameHeader::FromBytes(frame);
    const std::size_t begin = mp3::MainDataOffset(h);
    const std::size_t end =
        std::min<std::size_t>({h.FrameLength(), got, static_cast<std::size_t>(lead[k + 1] - lead[k])});
    if (begin < end) mainData.insert(mainData.end(), frame + begin, frame + end);
  }
  const std::size_t keep = std::min<std::size_t>(mainData.size(), mp3::MaxMainDataBegin(source.stream));
  const mp3::FrameHeader like = lead.empty() ? source.stream : [&] {
    std::uint8_t h[4] = {};
    file.ReadAt(h, 4, lead.back());
    const mp3::FrameHeader read = mp3::FrameHeader::FromBytes(h);
    return ::IsStreamFrame(read, source.stream) ? read : source.stream;
  }();
  return mp3::BuildReservoirFrame(like, mainData.data() + mainData.size() - keep, keep);
}

RangeBytes ReadRange(const CFile& file, const Mp3Source& source, const Mp3Scan& scan, std::uint64_t range,
                     std::uint64_t endFrame) {
  RangeBytes r;
  const std::uint64_t first = range * Mp3Scan::kChunkFrames;
  const std::vector<std::uint64_t>& lead = scan.rangeLeads[static_cast<std::size_t>(range)];
  std::uint64_t from = scan.rangeStarts[static_cast<std::size_t>(range)];
  r.firstFrame = first;
  if (range > 0 && !lead.empty()) {
    // The decoder's filterbank holds the last 16 of its 18-sample slots: an
    // MPEG 1 frame (36 slots) refills it, an MPEG 2 frame (18 slots, whose
    // first ones overlap the frame before) does only with one more frame.
    const std::size_t real = std::min<std::size_t>(source.stream.Version() == 3 ? 1 : 2, lead.size());
    const std::vector<std::uint64_t> before(lead.begin(), lead.end() - static_cast<std::ptrdiff_t>(real - 1));
    if (source.stream.Layer() == 1) {
      r.bytes = ReservoirFor(file, source, before);
    }
    from = before.back();
    r.firstFrame = first - real;
  }
  const std::uint64_t endRange = (endFrame + Mp3Scan::kChunkFrames - 1) / Mp3Scan::kChunkFrames;
  std::uint64_t to = endRange < scan.rangeStarts.size() ? scan.rangeStarts[static_cast<std::size_t>(endRange)]
                                                        : source.audioEnd;
  r.fileFrom = r.bytes.size();
  r.bytes.resize(r.fileFrom + static_cast<std::size_t>(to - from) + MAD_BUFFER_GUARD);
  const std::size_t got = file.ReadAt(r.bytes.data() + r.fileFrom, static_cast<std::size_t>(to - from), from);
  r.bytes.resize(r.fileFrom + got + MAD_BUFFER_GUARD, 0);
  std::fill(r.bytes.end() - MAD_BUFFER_GUARD, r.bytes.end(), 0);
  return r;
}

// Where each file frame starts inside the range's bytes, found as the scan
// finds them.
std::vector<std::size_t> FrameStarts(const RangeBytes& r, const Mp3Source& source) {
  std::vector<std::size_t> starts;
  const std::size_t end = r.bytes.size() - MAD_BUFFER_GUARD;
  for (std::size_t at = r.fileFrom; at + 4 <= end;) {
    const mp3::FrameHeader header = mp3::FrameHeader::FromBytes(r.bytes.data() + at);
    if (!::IsStreamFrame(header, source.stream)) {
      ++at;
      continue;
    }
    if (at + header.FrameLength() > end) break;
    starts.push_back(at);
    at += header.FrameLength();
  }
  return starts;
}

// libmad's stream, frame and synthesis over one buffer.
class MadSession {
 public:
  explicit MadSession(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {
    mad_stream_init(&stream_);
    mad_frame_init(&frame_);
    mad_synth_init(&synth_);
    mad_stream_buffer(&stream_, bytes.data(), bytes.size());
  }
  ~MadSession() {
    mad_synth_finish(&synth_);
    mad_frame_finish(&frame_);
    mad_stream_finish(&stream_);
  }
  MadSession(const MadSession&) = delete;
  MadSession& operator=(const MadSession&) = delete;

  // Decodes the next frame; where it starts in the buffer, or nullopt at the end.
  std::optional<std::size_t> DecodeNext() {
    for (;;) {
      if (mad_frame_decode(&frame_, &stream_) == 0)
        return static_cast<std::size_t>(stream_.this_frame - bytes_.data());
      if (stream_.error == MAD_ERROR_BUFLEN || !MAD_RECOVERABLE(stream_.error)) return std::nullopt;
    }
  }
  void Synthesize() { mad_synth_frame(&synth_, &frame_); }
  const mad_pcm& Pcm() const { return synth_.pcm; }

 private:
  const std::vector<std::uint8_t>& bytes_;
  mad_stream stream_;
  mad_frame frame_;
  mad_synth synth_;
};

}  // namespace

std::vector<Point> DecodeMp3Points(const CFile& file, const Mp3Source& source, const Mp3Scan& scan,
                                   std::uint64_t range, std::uint64_t endFrame, std::uint32_t samplesPerPoint,
                                   const std::atomic<bool>& cancel) {
  std::vector<Point> points;
  if (range >= scan.rangeStarts.size() || samplesPerPoint == 0) return points;
  endFrame = std::min(endFrame, scan.frames);
  const RangeBytes r = ReadRange(file, source, scan, range, endFrame);
  const std::uint64_t first = range * Mp3Scan::kChunkFrames;
  const std::vector<std::size_t> starts = FrameStarts(r, source);
  const unsigned channels = source.channels;
  const std::uint32_t spf = source.samplesPerFrame;
  std::vector<Accumulator> acc(channels);
  std::uint64_t pointStart = first * spf;  // the first sample of the point being gathered
  auto emitUpTo = [&](std::uint64_t sample) {
    while (pointStart + samplesPerPoint <= sample) {
      for (Accumulator& a : acc) {
        points.push_back(a.Value());
        a.Reset();
      }
      pointStart += samplesPerPoint;
    }
  };
  MadSession mad(r.bytes);
  while (!cancel.load(std::memory_order_relaxed)) {
    const std::optional<std::size_t> at = mad.DecodeNext();
    if (!at) break;
    // The reservoir frame and the frame before the range only prime the decoder.
    const auto local = std::lower_bound(starts.begin(), starts.end(), *at);
    if (*at >= r.fileFrom && (local == starts.end() || *local != *at))
      continue;  // junk that looked like a frame
    mad.Synthesize();
    if (*at < r.fileFrom) continue;
    const std::uint64_t frameNumber = r.firstFrame + static_cast<std::uint64_t>(local - starts.begin());
    if (frameNumber < first) continue;
    if (frameNumber >= endFrame) break;
    const mad_pcm& pcm = mad.Pcm();
    const std::uint64_t base = frameNumber * spf;
    const unsigned length = std::min<unsigned>(pcm.length, spf);
    for (unsigned i = 0; i < length; ++i) {
      emitUpTo(base + i);
      for (unsigned c = 0; c < channels; ++c)
        acc[c].Add(CMadDecoder::ToPcm16(pcm.samples[std::min<unsigned>(c, pcm.channels - 1)][i]));
    }
  }
  emitUpTo(endFrame * spf + samplesPerPoint - 1);
  return points;
}

bool DecodeMp3Peaks(const Mp3Source& source, const Mp3Scan& scan, CPeakModel& model,
                    const std::atomic<bool>& cancel, unsigned threads) {
  CFile file;
  file.OpenOrThrow(source.path, CFile::Mode::ReadShared);
  const std::uint32_t spb = model.SamplesPerBlock();
  const std::uint64_t ranges = scan.rangeStarts.size();
  std::atomic<std::uint64_t> next{0};
  RunOnThreads(threads, [&] {
    for (std::uint64_t range; (range = next.fetch_add(1)) < ranges && !cancel.load();) {
      const std::uint64_t endFrame = std::min(scan.frames, (range + 1) * Mp3Scan::kChunkFrames);
      const std::vector<Point> points = DecodeMp3Points(file, source, scan, range, endFrame, spb, cancel);
      const std::uint64_t firstSample = range * Mp3Scan::kChunkFrames * source.samplesPerFrame;
      // A range starts on a block boundary whenever the block divides it
      // (always, but for very long files of short frames).
      model.Store(firstSample / spb, points, points.size() / source.channels);
    }
  });
  return !cancel.load();
}

namespace {

class CMp3PeakSource : public CPeakSource {
 public:
  explicit CMp3PeakSource(Mp3Source source) : source_(std::move(source)) {}
  unsigned Channels() const override { return source_.channels; }

  bool Run(const CFile& file, const std::atomic<bool>& cancel, unsigned threads, bool exact,
           const Hooks& hooks) override {
    if (hooks.entering) hooks.entering(Pass::Envelope);
    scan_ = ScanMp3(file, source_, cancel);
    if (!scan_) return false;
    auto model = std::make_shared<CPeakModel>(scan_->Shape(source_));
    StoreEnvelope(*scan_, source_, *model);
    if (hooks.publish) hooks.publish(model);
    if (!exact) return true;
    // From here on the scan stays as it is: details may decode by its ranges.
    exactStarted_ = true;
    if (hooks.entering) hooks.entering(Pass::Exact);
    return DecodeMp3Peaks(source_, *scan_, *model, cancel, threads);
  }

  PeakDetail ReadDetail(const CFile& file, std::uint64_t first, std::uint64_t last,
                        std::uint32_t samplesPerPoint, const std::atomic<bool>& cancel) const override {
    PeakDetail detail;
    detail.samplesPerPoint = samplesPerPoint;
    if (!exactStarted_.load() || !scan_ || source_.samplesPerFrame == 0) return detail;
    // Decoding starts where the range holding first starts.
    const std::uint64_t range = first / source_.samplesPerFrame / Mp3Scan::kChunkFrames;
    const std::uint64_t endFrame = (last + source_.samplesPerFrame - 1) / source_.samplesPerFrame;
    detail.firstSample = range * Mp3Scan::kChunkFrames * source_.samplesPerFrame;
    detail.points = DecodeMp3Points(file, source_, *scan_, range, endFrame, samplesPerPoint, cancel);
    return detail;
  }

 private:
  Mp3Source source_;
  std::optional<Mp3Scan> scan_;  // written by Run until exactStarted_
  std::atomic<bool> exactStarted_{false};
};

}  // namespace

std::unique_ptr<CPeakSource> MakeMp3PeakSource(CMp3File& file, std::string& whyNot) {
  std::optional<Mp3Source> source = Mp3SourceOf(file, whyNot);
  if (!source) return nullptr;
  return std::make_unique<CMp3PeakSource>(std::move(*source));
}

}  // namespace peaks
