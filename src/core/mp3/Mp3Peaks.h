#pragma once
// Peaks of an MP3 stream, in two passes. The scan walks the frame headers
// and, for Layer III, reads each granule's global gain and main data
// length from the side information: an envelope of the loudness, without
// decoding, fast enough to draw as soon as a file is open. The exact pass
// decodes with libmad in ranges of kChunkFrames frames, on several threads;
// every range but the first starts with the lead-in the gapless pieces use
// (a reservoir frame holding the main data the next frames reach back for,
// then the frame before the range; two frames for MPEG 2 and 2.5), so each
// range decodes exactly as the whole stream would. The timeline is the decoder's: frame k holds the
// samples from k × samples per frame on.

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/PeakModel.h"
#include "core/PeakSource.h"
#include "core/mp3/Mp3Frame.h"

class CFile;
class CMp3File;

namespace peaks {

struct Mp3Source {
  std::string path;
  std::uint64_t audioStart = 0;
  std::uint64_t audioEnd = 0;
  mp3::FrameHeader stream;  // version, layer and sampling rate of every frame
  std::uint32_t sampleRate = 0;
  std::uint16_t channels = 0;
  std::uint32_t samplesPerFrame = 0;
};

std::optional<Mp3Source> Mp3SourceOf(CMp3File& file, std::string& whyNot);

// What the scan found: the frames, and where each range starts.
struct Mp3Scan {
  static constexpr std::uint64_t kChunkFrames = 256;
  // Frames before a range start kept for its lead-in: enough main data for
  // the deepest reach of the bit reservoir even at the lowest bitrates.
  static constexpr std::size_t kLeadFrames = 10;
  // Frames past this are left out (hostile files of tiny frames): 2 Mi
  // frames are 15 hours at 44.1 kHz.
  static constexpr std::uint64_t kMaxFrames = std::uint64_t{1} << 21;
  std::uint64_t frames = 0;
  // Layer III: two level codes (one per channel, mono doubled) per granule.
  std::vector<std::uint8_t> levels;
  // Per range: its first frame's offset, and the offsets of up to
  // kLeadFrames frames before it (oldest first).
  std::vector<std::uint64_t> rangeStarts;
  std::vector<std::vector<std::uint64_t>> rangeLeads;
  StreamShape Shape(const Mp3Source& source) const {
    return {source.sampleRate, source.channels, frames * source.samplesPerFrame};
  }
};

// Walks the frames once, keeping the granule levels; nullopt when cancelled.
std::optional<Mp3Scan> ScanMp3(const CFile& file, const Mp3Source& source, const std::atomic<bool>& cancel);
// Stores the levels in the model as an envelope (min -level, max level).
void StoreEnvelope(const Mp3Scan& scan, const Mp3Source& source, CPeakModel& model);

// Decodes frames [range × kChunkFrames, endFrame) and gives points of
// samplesPerPoint samples from the range's first sample on (channel
// interleaved), up to endFrame's first sample.
std::vector<Point> DecodeMp3Points(const CFile& file, const Mp3Source& source, const Mp3Scan& scan,
                                   std::uint64_t range, std::uint64_t endFrame, std::uint32_t samplesPerPoint,
                                   const std::atomic<bool>& cancel);

// Replaces the model's blocks range by range, lowest first, on threads
// workers; false when cancelled.
bool DecodeMp3Peaks(const Mp3Source& source, const Mp3Scan& scan, CPeakModel& model,
                    const std::atomic<bool>& cancel, unsigned threads);

// The waveform reader of an MP3 file: the envelope pass, then the exact
// decode; nullptr with whyNot set when the stream cannot be drawn.
std::unique_ptr<CPeakSource> MakeMp3PeakSource(CMp3File& file, std::string& whyNot);

}  // namespace peaks
