// Seconds and bytes of an MP3 stream: the frame index of a variable-bitrate
// stream, the probe that decides whether one is needed, the APE tag that
// closes the audio, and the seconds-to-bytes conversions of the cuts.

#include <algorithm>

#include "core/TimeText.h"
#include "core/mp3/ApeTag.h"
#include "core/mp3/Mp3File.h"

namespace {

// Probes spread over the audio, and frames read at each, to tell a
// variable-bitrate stream without a VBR header frame from a constant one.
constexpr std::uint64_t kProbes = 16;
constexpr int kFramesPerProbe = 16;

}  // namespace

std::uint64_t CMp3File::EndOfData() {
  const std::uint64_t length = file.GetLength();
  std::uint8_t footer[ape::kFooterSize];
  auto tagBefore = [&](std::uint64_t end) -> std::uint64_t {
    if (end < searchStart_ + ape::kFooterSize) return 0;
    file.Seek(static_cast<std::int64_t>(end - ape::kFooterSize), CFile::From::Begin);
    const std::size_t got = file.Read(footer, sizeof footer);
    return ape::TagLength(footer, got, end - ape::kFooterSize - searchStart_);
  };
  // A tag that ends the file holds the last 128 bytes: a "TAG" among them is
  // item data, not an ID3v1 tag.
  if (const std::uint64_t last = tagBefore(length)) {
    hasTag_ = false;
    return length - last;
  }
  const std::uint64_t dataSize = GetDataSize();
  if (!hasTag_) return dataSize;
  const std::uint64_t beforeId3 = tagBefore(dataSize);
  return dataSize - beforeId3;
}

mp3::FrameHeader CMp3File::StreamFrameAt(std::uint64_t offset) {
  std::uint8_t bytes[4];
  file.Seek(static_cast<std::int64_t>(offset), CFile::From::Begin);
  if (file.Read(bytes, sizeof bytes) != sizeof bytes) return {};
  const mp3::FrameHeader header = mp3::FrameHeader::FromBytes(bytes);
  if (!header.HasSync() || !header.SameStreamAs(firstAudio_) || mp3::CheckFields(header) != err::kNone ||
      offset + header.FrameLength() > audioEnd_)
    return {};
  return header;
}

bool CMp3File::BitrateVaries() {
  const unsigned bitrate = firstAudio_.BitrateIndex();
  for (std::uint64_t probe = 0; probe < kProbes; ++probe) {
    std::uint64_t at =
        probe == 0 ? audioStart_ : NextBoundary(audioStart_ + GetAudioBytes() / kProbes * probe);
    for (int k = 0; k < kFramesPerProbe && at < audioEnd_; ++k) {
      const mp3::FrameHeader header = StreamFrameAt(at);
      if (!header.HasSync()) break;
      if (header.BitrateIndex() != bitrate) return true;
      at += header.FrameLength();
    }
  }
  return false;
}

void CMp3File::IndexFrames() {
  index_ = mp3::FrameIndex(firstAudio_.SamplesPerFrame(), firstAudio_.SampleRate(), audioStart_, audioEnd_);
  std::uint64_t at = audioStart_;
  while (at < audioEnd_) {
    if (const mp3::FrameHeader header = StreamFrameAt(at); header.HasSync()) {
      if (!index_.Add(at)) {
        index_.Clear();
        return;
      }
      at += header.FrameLength();
      continue;
    }
    // Junk between frames holds no samples: go on at the next frame of the
    // stream, one search window at a time.
    const std::uint64_t next = NextBoundary(at + 1);
    at = next == at + 1 && !StreamFrameAt(next).HasSync() ? at + 1 + kSearchWindow : next;
  }
}

CMp3File::Span CMp3File::SelectionSpan(std::uint64_t firstSample, std::uint64_t endSample) const {
  Span span;
  const std::uint32_t rate = firstAudio_.SampleRate();
  const std::uint32_t spf = firstAudio_.SamplesPerFrame();
  if (!index_.Empty() && spf != 0) {
    const std::uint64_t first = std::min(firstSample / spf, index_.Frames());
    const std::uint64_t last =
        endSample > firstSample ? std::min((endSample + spf - 1) / spf, index_.Frames()) : first;
    span.begin = index_.Offset(first);
    span.end = index_.Offset(std::max(first, last));
    if (endSample > firstSample)
      span.seconds = std::max(0.0, std::min(timetext::SecondsOf(endSample, rate), duration) -
                                       timetext::SecondsOf(firstSample, rate));
    return span;
  }
  auto bytesOf = [&](std::uint64_t samples) -> std::uint64_t {
    if (rate == 0) return 0;
    const unsigned __int128 bytes = static_cast<unsigned __int128>(samples) * byteRate_ / rate;
    return static_cast<std::uint64_t>(std::min<unsigned __int128>(bytes, GetAudioBytes()));
  };
  span.begin = audioStart_ + bytesOf(firstSample);
  // An end before the start selects nothing.
  const std::uint64_t selection = endSample > firstSample ? bytesOf(endSample - firstSample) : 0;
  span.end = std::min(audioEnd_, span.begin + selection);
  const std::uint64_t reported = span.begin + selection > audioEnd_ ? audioEnd_ - span.begin : selection;
  span.seconds = byteRate_ ? static_cast<double>(reported) / static_cast<double>(byteRate_) : 0.0;
  return span;
}

std::uint64_t CMp3File::PieceEnd(std::uint64_t piece, std::uint64_t pieces) const {
  if (pieces == 0) return audioEnd_;
  // Equal shares of the frames (of the time) when indexed, of the bytes otherwise.
  if (!index_.Empty()) return index_.Offset(index_.Frames() * piece / pieces);
  return audioStart_ + GetAudioBytes() / pieces * piece;
}

std::uint64_t CMp3File::OverlapStart(std::uint64_t start) const {
  if (!index_.Empty()) return index_.Offset(index_.FrameBefore(index_.FrameAtByte(start), overlapTime));
  const std::uint64_t overlapBytes = std::uint64_t{byteRate_} * overlapTime;
  return start > audioStart_ + overlapBytes ? start - overlapBytes : audioStart_;
}
