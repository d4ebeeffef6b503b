// Seconds and bytes of an MP3 stream: the frame index of a variable-bitrate
// stream, the probe that decides whether one is needed, the APE tag that
// closes the audio, and the seconds-to-bytes conversions of the cuts.

#include <algorithm>
#include <vector>

#include "core/TimeText.h"
#include "core/mp3/ApeTag.h"
#include "core/mp3/Mp3File.h"
#include "core/mp3/Mp3FrameChain.h"
#include "core/mp3/Mp3FrameScan.h"

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
  indexTried_ = true;
  index_ = mp3::FrameIndex(firstAudio_.SamplesPerFrame(), firstAudio_.SampleRate(), audioStart_, audioEnd_);
  bitrateChanges_.clear();
  manyBitrateChanges_ = false;
  unsigned bitrate = 16;  // none yet
  // Room for the frames of a stream of the first frame's length, so the
  // index is not copied as it grows.
  index_.Reserve(GetAudioBytes() / std::max<std::uint32_t>(firstAudio_.FrameLength(), 1) + 1);
  mp3::FrameChainReader chains(file, firstAudio_, audioStart_, audioEnd_);
  std::uint64_t at = audioStart_;
  while (at < audioEnd_) {
    const mp3::FrameChunk& chunk = chains.Walk(at);
    for (std::size_t k = 0; k < chunk.count; ++k) {
      if (!index_.Add(chunk.offsets[k])) {
        index_.Clear();
        return;
      }
      if (bitrate != 16 && chunk.bitrates[k] != bitrate) {
        if (bitrateChanges_.size() < kMaxBitrateChanges)
          bitrateChanges_.push_back(index_.Frames() - 1);
        else
          manyBitrateChanges_ = true;
      }
      bitrate = chunk.bitrates[k];
    }
    if (chunk.count > 0) {
      at = chunk.end;
      continue;
    }
    // Junk between frames holds no samples: go on at the next frame of the
    // stream, one search window at a time.
    const std::uint64_t next = NextBoundary(at + 1);
    at = next == at + 1 && !StreamFrameAt(next).HasSync() ? at + 1 + kSearchWindow : next;
  }
}

bool CMp3File::EnsureIndex() {
  if (!indexTried_) IndexFrames();
  return !index_.Empty();
}

bool CMp3File::BitrateChangesIn(std::uint64_t first, std::uint64_t last) const {
  if (manyBitrateChanges_) return true;
  return std::any_of(bitrateChanges_.begin(), bitrateChanges_.end(),
                     [&](std::uint64_t k) { return k > first && k <= last; });
}

std::optional<mp3::SampleMap> CMp3File::GetSampleMap() {
  if (!EnsureIndex()) return std::nullopt;
  const std::uint32_t spf = firstAudio_.SamplesPerFrame();
  if (const std::optional<mp3::LameTag>& tag = GetTrustedLameTag())
    return mp3::SampleMap::Trusted(spf, index_.Frames(), tag->delay, tag->padding);
  // Counted now: the decode holds every frame's samples.
  sampleCount_ = index_.Frames() * spf;
  return mp3::SampleMap::Plain(spf, index_.Frames());
}

void CMp3File::DescribeMusic() {
  // At open the frames are counted by the index pass only (a stream too long
  // to index is counted when a cut needs it), and only for a LAME tag that
  // passes the cheap checks.
  if (!CandidateLameTag() || !EnsureIndex() || !GetTrustedLameTag()) return;
  const std::optional<mp3::SampleMap> map = GetSampleMap();
  const std::uint32_t rate = firstAudio_.SampleRate();
  if (!map || rate == 0) return;
  // The frames the delay and padding skip entirely (a piece's lead-in, the
  // silent frame before a first piece) are not the music: the reference
  // frame and the rates are the music frames'.
  const std::uint64_t first = map->FirstMusicFrame(), last = map->LastMusicFrame();
  if (const mp3::FrameHeader music = StreamFrameAt(index_.Offset(first)); music.HasSync()) reference_ = music;
  const std::uint64_t bytes = index_.Offset(last + 1) - index_.Offset(first);
  const std::uint64_t samples = (last - first + 1) * map->samplesPerFrame;
  if (!BitrateChangesIn(first, last) && reference_.Bitrate() != 0) {
    byteRate_ = reference_.Bitrate() / 8;
    displayBitrate_ = reference_.Bitrate();
  } else {
    byteRate_ = static_cast<std::uint32_t>(
        std::min<std::uint64_t>((bytes * rate + samples / 2) / samples, UINT32_MAX));
    displayBitrate_ = static_cast<std::uint32_t>(
        std::min<std::uint64_t>((bytes * 8 * rate + samples / 2) / samples, UINT32_MAX));
  }
  // The length the tag describes: frames × samples per frame − delay − padding.
  sampleCount_ = map->samples;
  duration = timetext::SecondsOf(map->samples, rate);
}

CMp3File::Span CMp3File::SelectionSpan(std::uint64_t firstSample, std::uint64_t endSample) const {
  Span span;
  const std::uint32_t rate = firstAudio_.SampleRate();
  const std::uint32_t spf = firstAudio_.SamplesPerFrame();
  if (HasFrameIndex() && spf != 0) {
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
  if (HasFrameIndex()) return index_.Offset(index_.Frames() * piece / pieces);
  return audioStart_ + GetAudioBytes() / pieces * piece;
}

std::uint64_t CMp3File::OverlapStart(std::uint64_t start) const {
  if (HasFrameIndex()) {
    // The frame holding the sample the overlap's samples before start's frame.
    const std::uint64_t spf = firstAudio_.SamplesPerFrame();
    const std::uint64_t sample = index_.FrameAtByte(start) * spf;
    const std::uint64_t back = timetext::SampleAt(overlapMicros, firstAudio_.SampleRate());
    return index_.Offset(sample > back && spf ? (sample - back) / spf : 0);
  }
  const std::uint64_t overlapBytes = std::uint64_t{byteRate_} * overlapMicros / timetext::kMicrosPerSecond;
  return start > audioStart_ + overlapBytes ? start - overlapBytes : audioStart_;
}
