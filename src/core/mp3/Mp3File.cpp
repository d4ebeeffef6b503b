#include "core/mp3/Mp3File.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/StringTable.h"

namespace {

// Leading ID3v2 tags skipped before the frame search; writers rarely put more than one.
constexpr int kMaxLeadingTags = 16;
// Header frames (Xing/Info, VBRI) skipped at the start of the stream.
constexpr int kMaxHeaderFrames = 4;
// Averages outside what any MPEG bitrate allows mean a damaged frame count.
constexpr std::uint64_t kMinByteRate = 8000 / 8;
constexpr std::uint64_t kMaxByteRate = 448000 / 8;

}  // namespace

CMp3File::CMp3File(const std::string& path, CWriteFaults* writeFaults) : CAudioFile(path, writeFaults) {
  if (error == err::kNone) Scan();
}

CMp3File::~CMp3File() = default;

void CMp3File::ReadTags(std::uint64_t length) {
  // A file shorter than a tag has none.
  if (length >= kTagSize) {
    file.Seek(-static_cast<std::int64_t>(kTagSize), CFile::From::End);
    if (file.Read(tag_.data(), kTagSize) == kTagSize) hasTag_ = std::memcmp(tag_.data(), "TAG", 3) == 0;
  }

  // ID3v2 tags (often holding a cover picture) come before the first frame;
  // the frame search starts after them.
  for (int i = 0; i < kMaxLeadingTags && searchStart_ < length; ++i) {
    std::uint8_t head[10];
    file.Seek(static_cast<std::int64_t>(searchStart_), CFile::From::Begin);
    const std::uint64_t tagLength = mp3::Id3v2TagLength(head, file.Read(head, sizeof head));
    if (tagLength == 0) break;
    searchStart_ += tagLength;
  }
}

bool CMp3File::SkipHeaderFrames() {
  // A Xing/Info or VBRI frame describes the stream and holds no audio: the
  // audio starts with the next frame. Some writers leave two (a VBRI frame,
  // then an Info frame): every one is skipped, never copied as audio, and
  // the first describes the stream.
  bool vbrConstant = false;
  for (int k = 0; k < kMaxHeaderFrames; ++k) {
    std::uint8_t frame[64] = {};
    file.Seek(static_cast<std::int64_t>(audioStart_), CFile::From::Begin);
    const std::size_t got = file.Read(frame, std::min<std::size_t>(sizeof frame, header_.FrameLength()));
    const mp3::VbrHeader vbr = mp3::ParseVbrHeader(header_, frame, got);
    if (!vbr.present) break;
    const std::uint64_t next = audioStart_ + header_.FrameLength();
    std::uint8_t bytes[4];
    file.Seek(static_cast<std::int64_t>(next), CFile::From::Begin);
    const mp3::FrameHeader following =
        file.Read(bytes, 4) == 4 ? mp3::FrameHeader::FromBytes(bytes) : mp3::FrameHeader{};
    if (next >= audioEnd_ || !following.HasSync() || mp3::CheckFields(following) != err::kNone ||
        !following.SameStreamAs(header_))
      break;
    if (k == 0) {
      vbrHeaderAt_ = audioStart_;
      vbrFrames_ = vbr.frames;
      vbrConstant = vbr.constant;
    }
    audioStart_ = next;
    header_ = following;
  }
  return vbrConstant;
}

void CMp3File::MeasureStream(bool vbrConstant) {
  const std::uint64_t audioBytes = GetAudioBytes();
  byteRate_ = header_.Bitrate() / 8;
  displayBitrate_ = header_.Bitrate();
  duration = static_cast<double>(audioBytes) / (header_.Bitrate() * 0.125);
  const std::uint64_t rate = header_.SampleRate();
  auto averageByteRate = [&](std::uint64_t frames) {
    const std::uint64_t samples = frames * header_.SamplesPerFrame();
    return (audioBytes * rate + samples / 2) / samples;
  };
  // A stated count is believed only when its average lies within MPEG's bitrates.
  if (vbrFrames_ != 0) {
    const std::uint64_t average = averageByteRate(vbrFrames_);
    if (average < kMinByteRate || average > kMaxByteRate) vbrFrames_ = 0;
  }
  // Counted frames come before stated ones.
  if (const std::uint64_t frames = HasFrameIndex() ? index_.Frames() : vbrFrames_) {
    const std::uint64_t samples = frames * header_.SamplesPerFrame();
    duration = static_cast<double>(samples) / rate;
    // A constant stream keeps its one bitrate; a variable one is measured
    // by its average over the audio.
    if (!vbrConstant) {
      byteRate_ = static_cast<std::uint32_t>(std::min<std::uint64_t>(averageByteRate(frames), UINT32_MAX));
      displayBitrate_ = static_cast<std::uint32_t>(
          std::min<std::uint64_t>((audioBytes * 8 * rate + samples / 2) / samples, UINT32_MAX));
    }
  }
  sampleCount_ = std::isfinite(duration) ? static_cast<std::uint64_t>(std::llround(duration * rate)) : 0;
}

void CMp3File::Scan() {
  const std::uint64_t length = file.GetLength();
  ReadTags(length);
  const std::uint64_t dataEnd = EndOfData();
  file.Seek(static_cast<std::int64_t>(std::min(searchStart_, length)), CFile::From::Begin);
  if (searchStart_ >= length || !FindFrame()) {
    error = err::kInvalidMp3;
    return;
  }
  const std::uint64_t first = file.GetPosition();
  audioStart_ = first;
  // Tags at the end are not audio; one that would reach into the first
  // frame is not believed.
  audioEnd_ = dataEnd > first ? dataEnd : std::max(GetDataSize(), first);
  const bool vbrConstant = SkipHeaderFrames();
  firstAudio_ = header_;

  // A stream whose frames differ in bitrate is indexed, so that seconds map
  // to frames exactly. "Info" marks a constant bitrate: nothing is read.
  if (!vbrConstant && BitrateVaries()) {
    IndexFrames();
    variable_ = !index_.Empty();
  }
  MeasureStream(vbrConstant);
  reference_ = header_;
  if (vbrHeaderAt_ != UINT64_MAX) DescribeMusic();
  scanned_ = true;
  file.Seek(static_cast<std::int64_t>(audioStart_), CFile::From::Begin);
}

std::uint64_t CMp3File::GetSampleCount() const {
  return sampleCount_;
}

std::uint64_t CMp3File::GetDataSize() const {
  const std::uint64_t length = file.GetLength();
  return hasTag_ ? length - kTagSize : length;
}

AudioError CMp3File::CheckHeader() {
  if (const AudioError fields = mp3::CheckFields(header_)) return fields;
  const std::uint64_t back = file.GetPosition();
  std::uint8_t next[4];
  file.Seek(static_cast<std::int64_t>(back - 4 + header_.FrameLength()), CFile::From::Begin);
  const std::size_t got = file.Read(next, sizeof next);
  file.Seek(static_cast<std::int64_t>(back), CFile::From::Begin);
  return mp3::ContinuesStream(header_, next, got) ? err::kNone : err::kSyncLost;
}

std::optional<std::uint64_t> CMp3File::SearchFrame(
    std::uint64_t from, std::uint64_t to,
    const std::function<bool(std::uint64_t, mp3::FrameHeader)>& accept) {
  constexpr std::size_t kChunk = 4096;
  std::uint8_t buffer[kChunk + 3];
  for (std::uint64_t at = from; at < to; at += kChunk) {
    file.Seek(static_cast<std::int64_t>(at), CFile::From::Begin);
    // Three bytes more than the chunk, so a header that straddles chunks is seen whole.
    const std::size_t got = file.Read(buffer, sizeof buffer);
    const std::size_t candidates = static_cast<std::size_t>(std::min<std::uint64_t>({kChunk, to - at, got}));
    for (std::size_t i = 0; i < candidates; ++i) {
      if (buffer[i] != 0xFF || i + 4 > got) continue;
      const mp3::FrameHeader header = mp3::FrameHeader::FromBytes(buffer + i);
      if (header.HasSync() && accept(at + i, header)) return at + i;
    }
    if (got < sizeof buffer) break;  // the file ends in this block
  }
  return std::nullopt;
}

bool CMp3File::FindFrame() {
  const std::uint64_t from = file.GetPosition();
  const std::uint64_t to = std::min(file.GetLength(), from + kSearchWindow);
  bool freeFormat = false;
  const auto found = SearchFrame(from, to, [&](std::uint64_t at, mp3::FrameHeader candidate) {
    // A free-format stream is not read (its frames have no length in their
    // headers): found where it starts, it is refused rather than searched
    // for a false sync deep inside its audio.
    if (mp3::IsFreeFormat(candidate) && FreeFormatStreamAt(at, candidate)) return freeFormat = true;
    header_ = candidate;
    file.Seek(static_cast<std::int64_t>(at + 4), CFile::From::Begin);
    return CheckHeader() == err::kNone;
  });
  file.Seek(static_cast<std::int64_t>(found ? *found : to), CFile::From::Begin);
  return found.has_value() && !freeFormat;
}

bool CMp3File::FreeFormatStreamAt(std::uint64_t at, mp3::FrameHeader first) {
  // The next free-format header of the same stream, and one more at the same
  // distance (give or take a padding slot).
  std::vector<std::uint8_t> bytes(2 * mp3::kMaxFreeFormatFrame + 8);
  const std::size_t got = file.ReadAt(bytes.data(), bytes.size(), at);
  auto sameAt = [&](std::size_t i) {
    if (i + 4 > got) return false;
    const mp3::FrameHeader h = mp3::FrameHeader::FromBytes(&bytes[i]);
    return mp3::IsFreeFormat(h) && h.SameStreamAs(first);
  };
  for (std::size_t distance = 4; distance <= mp3::kMaxFreeFormatFrame; ++distance) {
    if (!sameAt(distance)) continue;
    for (std::size_t third = 2 * distance - 4; third <= 2 * distance + 4; ++third)
      if (sameAt(third)) return true;
  }
  return false;
}

AudioError CMp3File::Rewind() {
  file.Seek(static_cast<std::int64_t>(std::min(searchStart_, file.GetLength())), CFile::From::Begin);
  if (!FindFrame()) {
    error = err::kInvalidMp3;
    return error;
  }
  if (file.GetPosition() == vbrHeaderAt_) {
    std::uint8_t bytes[4];
    file.Seek(static_cast<std::int64_t>(audioStart_), CFile::From::Begin);
    if (file.Read(bytes, 4) == 4) header_ = mp3::FrameHeader::FromBytes(bytes);
    file.Seek(static_cast<std::int64_t>(audioStart_), CFile::From::Begin);
  }
  return error;
}

std::uint32_t CMp3File::GetByteRate() const {
  return byteRate_;
}

std::uint32_t CMp3File::GetDisplayBitrate() const {
  return displayBitrate_;
}

Mp3SplitFacts CMp3File::GetSplitFacts() const {
  Mp3SplitFacts facts;
  facts.audioBytes = static_cast<std::uint32_t>(std::min<std::uint64_t>(GetAudioBytes(), UINT32_MAX));
  facts.byteRate = byteRate_;
  facts.hasTag = hasTag_;
  if (HasFrameIndex()) facts.seconds = duration;
  return facts;
}

std::vector<std::string> CMp3File::GetInformationLines() const {
  const mp3::FrameHeader& header = reference_;
  const unsigned version = header.Version();
  const double versionNumber = version == 0 ? 2.5 : version == 2 ? 2.0 : 1.0;
  return {
      FormatText("File size - %lu bytes", static_cast<unsigned long>(file.IsOpen() ? file.GetLength() : 0)),
      FormatText("Sampling Rate - %u Smp/sec", GetSampleRate()),
      FormatText("Bitrate - %lu Kbits/sec", static_cast<unsigned long>(displayBitrate_ / 1000)),
      FormatText("Frame length - %u bytes", GetFrameLength()),
      FormatText("MPEG version - %.1lf", versionNumber),
      FormatText("MPEG Layer - %u", header.LayerNumber()),
      FormatText("Copyrighted - %s", header.Copyright() ? "Yes" : "No"),
      FormatText("Orignal - %s", header.Original() ? "Yes" : "No"),
      FormatText("Play Duration - %.2lf Sec(s)", duration),
  };
}

Mp3TagFields CMp3File::GetId3v1Fields() const {
  Mp3TagFields fields;
  fields.fileName = GetFileName();
  if (!hasTag_) {
    fields.title = fields.artist = fields.album = fields.year = fields.comment = fields.genre = "Unknown";
    return fields;
  }
  // A field's text ends at its first zero byte or at the end of the field.
  auto text = [this](std::size_t offset, std::size_t length) {
    const char* begin = reinterpret_cast<const char*>(tag_.data() + offset);
    return std::string(begin, ::strnlen(begin, length));
  };
  fields.title = text(3, 30);
  fields.artist = text(33, 30);
  fields.album = text(63, 30);
  fields.year = text(93, 4);
  fields.comment = text(97, 30);
  // The genre byte is signed: 255 and every other number outside 0..79 has no name.
  const int genre = static_cast<std::int8_t>(tag_[127]);
  fields.genre = genre >= 0 ? GenreName(static_cast<unsigned>(genre)) : std::string();
  return fields;
}
