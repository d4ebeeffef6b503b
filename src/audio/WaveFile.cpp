#include "audio/WaveFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "res/StringTable.h"

namespace {

// The PCM sub-format GUID of WAVE_FORMAT_EXTENSIBLE, as stored.
constexpr std::uint8_t kPcmSubFormat[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                            0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

std::uint16_t Le16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t Le32(const std::uint8_t* p) {
  return Le16(p) | (static_cast<std::uint32_t>(Le16(p + 2)) << 16);
}

void Put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Put16(out, v);
  Put16(out, v >> 16);
}
void PutTag(std::vector<std::uint8_t>& out, const char* tag) {
  out.insert(out.end(), tag, tag + 4);
}

bool TagIs(const std::uint8_t* p, const char* tag) {
  return std::memcmp(p, tag, 4) == 0;
}

// A 32-bit size of a stream whose writer never learnt its length.
constexpr std::uint32_t kSizeToEnd = 0xFFFFFFFFu;

}  // namespace

CWaveFile::CWaveFile(const std::string& path, CAudioOwner* ownerWindow) : CAudioFile(path, ownerWindow) {
  if (error == err::kNone) Parse();
}

CWaveFile::~CWaveFile() = default;

void CWaveFile::Parse() {
  const std::uint64_t length = file.GetLength();
  walked_ = WalkChunks(length);
  if (!walked_) SearchTags(length);
  if (error != err::kNone) return;
  if (FormatIsDamaged()) {
    error = err::kFormatDamaged;
    return;
  }
  // Streaming writers leave 0xFFFFFFFF here, meaning "to the end of the
  // file" (which may lie past 4 GiB), and truncated files claim more than
  // they hold: what follows the data offset is the limit.
  const std::uint64_t held = length > dataOffset_ ? length - dataOffset_ : 0;
  dataSize_ = dataChunkSize_ == kSizeToEnd ? held : std::min(dataChunkSize_, held);
  duration = static_cast<double>(dataSize_) / format_.avgBytesPerSec;
}

// Follows the chunk list from byte 12: each chunk is a tag, a 32-bit size
// and the body, padded to an even length. Finds the chunks wherever they
// stand, and never mistakes a tag inside another chunk's body for a chunk.
bool CWaveFile::WalkChunks(std::uint64_t length) {
  std::uint8_t head[12];
  file.SeekToBegin();
  if (file.Read(head, 12) != 12 || !TagIs(head, "RIFF")) return false;
  bool haveFormat = false, haveData = false;
  std::uint64_t position = 12;
  while (position + 8 <= length) {
    std::uint8_t chunk[8];
    file.Seek(static_cast<std::int64_t>(position), CFile::From::Begin);
    if (file.Read(chunk, 8) != 8) break;
    const std::uint32_t size = Le32(chunk + 4);
    const std::uint64_t body = position + 8;
    if (!haveFormat && TagIs(chunk, "fmt ")) {
      file.Seek(static_cast<std::int64_t>(position), CFile::From::Begin);
      ReadFormat(length, size);
      haveFormat = true;
    } else if (!hasFact_ && TagIs(chunk, "fact")) {
      std::memcpy(factTag_, chunk, 4);
      ReadFact(length, size);
    } else if (!haveData && TagIs(chunk, "data")) {
      std::memcpy(dataTag_, chunk, 4);
      dataChunkSize_ = size;
      dataOffset_ = body;
      haveData = true;
      // A data chunk that runs to the end of the file (or past it, or is
      // marked as doing so) is the last thing the walk can trust.
      if (size == kSizeToEnd || size >= length - body) break;
    }
    position = body + size + (size & 1u);
  }
  if (!haveFormat || !haveData) {
    // Nothing the failed walk read may count for the tag search.
    format_ = WaveFormat{};
    extraFormatBytes_.clear();
    factData_.clear();
    hasFact_ = false;
    formatTooShort_ = false;
    return false;
  }
  std::memcpy(riffTag_, head, 4);
  riffSize_ = Le32(head + 4);
  std::memcpy(formType_, head + 8, 4);
  return true;
}

// The fallback for files whose chunk list is broken: each tag is searched
// within the first 1000 bytes.
void CWaveFile::SearchTags(std::uint64_t length) {
  if (!FindChunk("RIFF")) {
    error = err::kNoRiffHeader;
  } else {
    std::uint8_t head[12] = {};
    file.Read(head, 12);
    std::memcpy(riffTag_, head, 4);
    riffSize_ = Le32(head + 4);
    std::memcpy(formType_, head + 8, 4);
    if (!FindChunk("fmt ")) {
      error = err::kNoFormatChunk;
    } else {
      ReadFormat(length, -1);
      if (!FindChunk("data")) {
        error = err::kNoDataChunk;
      } else {
        std::uint8_t chunk[8] = {};
        file.Read(chunk, 8);
        std::memcpy(dataTag_, chunk, 4);
        dataChunkSize_ = Le32(chunk + 4);
        dataOffset_ = file.GetPosition();
      }
    }
  }
  if (FindChunk("fact")) {
    std::uint8_t chunk[8] = {};
    file.Read(chunk, 8);
    std::memcpy(factTag_, chunk, 4);
    ReadFact(length, Le32(chunk + 4));
  }
}

// Reads the 26 bytes from the "fmt " tag on: chunk header, the 16-byte
// record and the extra-byte count, then the extra bytes of a non-PCM format.
// chunkSize < 0: the chunk's size is not trusted (tag search).
void CWaveFile::ReadFormat(std::uint64_t length, std::int64_t chunkSize) {
  std::uint8_t b[26] = {};
  file.Read(b, sizeof b);
  std::memcpy(fmtTag_, b, 4);
  format_.formatTag = Le16(b + 8);
  format_.channels = Le16(b + 10);
  format_.samplesPerSec = Le32(b + 12);
  format_.avgBytesPerSec = Le32(b + 16);
  format_.blockAlign = Le16(b + 20);
  format_.bitsPerSample = Le16(b + 22);
  std::uint32_t count = Le16(b + 24);
  // The count exists only in a chunk of 18 bytes or more, and the extra
  // bytes never reach beyond the chunk or the file.
  if (chunkSize >= 0 && chunkSize < 16) formatTooShort_ = true;
  if (chunkSize >= 0) count = chunkSize < 18 ? 0 : std::min<std::uint32_t>(count, chunkSize - 18);
  if (format_.formatTag == wav::kFormatPcm) count = 0;
  const std::uint64_t position = file.GetPosition();
  count =
      static_cast<std::uint32_t>(std::min<std::uint64_t>(count, length > position ? length - position : 0));
  extraFormatBytes_.assign(count, 0);
  if (count) extraFormatBytes_.resize(file.Read(extraFormatBytes_.data(), count));
  format_.extraCount = static_cast<std::uint16_t>(extraFormatBytes_.size());
}

// The fact chunk's body, as far as the file holds it.
void CWaveFile::ReadFact(std::uint64_t length, std::uint32_t storedSize) {
  const std::uint64_t position = file.GetPosition();
  const std::uint64_t held = length > position ? length - position : 0;
  factData_.assign(static_cast<std::size_t>(std::min<std::uint64_t>(storedSize, held)), 0);
  if (!factData_.empty()) factData_.resize(file.Read(factData_.data(), factData_.size()));
  hasFact_ = true;
}

// Records that would divide by zero or give empty samples later.
bool CWaveFile::FormatIsDamaged() const {
  const WaveFormat& f = format_;
  if (formatTooShort_) return true;
  if (f.channels == 0 || f.blockAlign == 0 || f.avgBytesPerSec == 0 || f.samplesPerSec == 0) return true;
  return IsPcm() && (f.bitsPerSample == 0 || f.blockAlign < f.channels);
}

bool CWaveFile::IsExtensible() const {
  return format_.formatTag == wav::kFormatExtensible && extraFormatBytes_.size() >= wav::kExtensibleSize;
}

std::uint32_t CWaveFile::GetChannelMask() const {
  return IsExtensible() ? Le32(&extraFormatBytes_[wav::kChannelMaskAt]) : 0;
}

bool CWaveFile::IsPcm() const {
  if (format_.formatTag == wav::kFormatPcm) return true;
  return IsExtensible() && std::memcmp(&extraFormatBytes_[wav::kSubFormatAt], kPcmSubFormat, 16) == 0;
}

WaveSplitFacts CWaveFile::GetSplitFacts() const {
  WaveSplitFacts facts;
  facts.dataSize = dataSize_;
  facts.avgBytesPerSec = format_.avgBytesPerSec;
  facts.blockAlign = format_.blockAlign;
  facts.extraFormatBytes = format_.extraCount;
  facts.factSize = GetFactSize();
  return facts;
}

std::vector<std::uint8_t> CWaveFile::BuildDerivedHeader(const WaveFormat& format,
                                                        const std::vector<std::uint8_t>& extra,
                                                        std::uint64_t dataSize) const {
  const std::uint32_t count = format.extraCount;
  const bool withExtra = format.formatTag != wav::kFormatPcm && count != 0 && extra.size() == count;
  // Plain PCM has the 16-byte record; every other format has the
  // extra-byte count after it, even when the count is 0.
  const bool plainPcm = format.formatTag == wav::kFormatPcm;
  const std::uint32_t formatBody = plainPcm ? 16 : 18 + count;
  std::vector<std::uint8_t> h;
  h.reserve(64 + count + factData_.size());
  PutTag(h, riffTag_);
  Put32(h, 0);  // RIFF size, filled in below
  PutTag(h, formType_);
  PutTag(h, fmtTag_);
  Put32(h, formatBody);
  Put16(h, format.formatTag);
  Put16(h, format.channels);
  Put32(h, format.samplesPerSec);
  Put32(h, format.avgBytesPerSec);
  Put16(h, format.blockAlign);
  Put16(h, format.bitsPerSample);
  if (!plainPcm) {
    Put16(h, count);
    if (withExtra)
      h.insert(h.end(), extra.begin(), extra.end());
    else
      h.resize(h.size() + count, 0);
    if (count & 1u) h.push_back(0);  // chunks are padded to an even length
  }
  if (hasFact_) {
    PutTag(h, factTag_);
    Put32(h, static_cast<std::uint32_t>(factData_.size()));
    const std::size_t at = h.size();
    h.insert(h.end(), factData_.begin(), factData_.end());
    // The count is the new file's own: a piece's, not the source's.
    if (factData_.size() >= 4) {
      const std::uint64_t samples = SamplesIn(format, extra, dataSize);
      const auto count = static_cast<std::uint32_t>(std::min<std::uint64_t>(samples, 0xFFFFFFFFu));
      for (int i = 0; i < 4; ++i) h[at + i] = static_cast<std::uint8_t>(count >> (8 * i));
    }
    if (factData_.size() & 1u) h.push_back(0);
  }
  PutTag(h, dataTag_);
  // The data chunk's pad byte, when its size is odd, belongs to the RIFF body.
  const std::uint64_t riffSize = h.size() - 8 + 4 + dataSize + (dataSize & 1u);
  const bool tooLarge = riffSize > 0xFFFFFFFFu;
  Put32(h, tooLarge ? 0xFFFFFFFFu : static_cast<std::uint32_t>(dataSize));
  const std::uint32_t riff = tooLarge ? 0xFFFFFFFFu : static_cast<std::uint32_t>(riffSize);
  for (int i = 0; i < 4; ++i) h[4 + i] = static_cast<std::uint8_t>(riff >> (8 * i));
  return h;
}

std::uint64_t CWaveFile::SamplesIn(const WaveFormat& format, const std::vector<std::uint8_t>& extra,
                                   std::uint64_t dataSize) const {
  const std::uint64_t blocks = format.blockAlign ? dataSize / format.blockAlign : 0;
  switch (format.formatTag) {
    case wav::kFormatPcm:
    case wav::kFormatFloat:
    case wav::kFormatALaw:
    case wav::kFormatMuLaw:
    case wav::kFormatExtensible:
      return blocks;  // a block is one sample frame
    case wav::kFormatMsAdpcm:
    case wav::kFormatImaAdpcm:
    case wav::kFormatGsm610:
      // The extra bytes begin with the samples per block.
      if (extra.size() >= 2) return blocks * Le16(extra.data());
      break;
    default:
      break;
  }
  // A format whose blocks are not known here: the source's count, in
  // proportion to the audio taken from it.
  const std::uint64_t sourceCount = factData_.size() >= 4 ? Le32(factData_.data()) : 0;
  if (dataSize_ == 0) return sourceCount;
  return static_cast<std::uint64_t>(static_cast<unsigned __int128>(sourceCount) * dataSize / dataSize_);
}

std::function<std::vector<std::uint8_t>(std::uint64_t)> CWaveFile::DerivedHeaders(
    const WaveFormat& format, const std::vector<std::uint8_t>& extra) const {
  return
      [this, format, extra](std::uint64_t dataSize) { return BuildDerivedHeader(format, extra, dataSize); };
}

std::vector<std::string> CWaveFile::GetInformationLines() const {
  const WaveFormat& f = format_;
  return {
      FormatText("Filename - %s", GetFileName().c_str()),
      FormatText("File size (As in Header) - %lu bytes", static_cast<unsigned long>(riffSize_) + 8ul),
      FormatText("Number of Channels - %u", unsigned{f.channels}),
      FormatText("Samples per second - %lu", static_cast<unsigned long>(f.samplesPerSec)),
      FormatText("Average bytes per second - %lu bytes", static_cast<unsigned long>(f.avgBytesPerSec)),
      FormatText("Bits per sample - %u bits", unsigned{f.bitsPerSample}),
      FormatText("Sample frame size - %u bytes", unsigned{f.blockAlign}),
      FormatText("Data bytes size - %lu bytes", static_cast<unsigned long>(dataChunkSize_)),
      FormatText("Playing duration - %.2lf seconds", duration),
  };
}
