#include "core/wav/WaveFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>

#include "core/ByteOrder.h"
#include "core/StringTable.h"

namespace {

using bytes::Le16;
using bytes::Le32;
using bytes::Le64;

// The PCM sub-format GUID of WAVE_FORMAT_EXTENSIBLE, as stored.
constexpr std::uint8_t kPcmSubFormat[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                            0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

bool TagIs(const std::uint8_t* p, const char* tag) {
  return std::memcmp(p, tag, 4) == 0;
}

// A 32-bit size of a stream whose writer never learnt its length.
constexpr std::uint32_t kSizeToEnd = 0xFFFFFFFFu;

}  // namespace

CWaveFile::CWaveFile(const std::string& path, CWriteFaults* writeFaults) : CAudioFile(path, writeFaults) {
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
  dataSize_ = dataToEnd_ ? held : std::min(dataChunkSize_, held);
  duration = static_cast<double>(dataSize_) / format_.avgBytesPerSec;
}

// Follows the chunk list from byte 12: each chunk is a tag, a 32-bit size
// and the body, padded to an even length. Finds the chunks wherever they
// stand, and never mistakes a tag inside another chunk's body for a chunk.
// In an RF64 file the ds64 chunk holds the 64-bit RIFF and data sizes that
// the 32-bit fields (0xFFFFFFFF) stand for.
bool CWaveFile::WalkChunks(std::uint64_t length) {
  std::uint8_t head[12];
  file.SeekToBegin();
  if (file.Read(head, 12) != 12 || !(TagIs(head, "RIFF") || TagIs(head, "RF64"))) return false;
  const bool rf64 = TagIs(head, "RF64");
  std::uint64_t riffSize = Le32(head + 4);
  std::optional<std::uint64_t> ds64DataSize;
  bool haveFormat = false, haveData = false;
  std::uint64_t position = 12;
  while (position + 8 <= length) {
    std::uint8_t chunk[8];
    file.Seek(static_cast<std::int64_t>(position), CFile::From::Begin);
    if (file.Read(chunk, 8) != 8) break;
    std::uint64_t size = Le32(chunk + 4);
    const std::uint64_t body = position + 8;
    if (rf64 && !ds64DataSize && TagIs(chunk, "ds64") && size >= 16) {
      std::uint8_t sizes[16];
      if (file.Read(sizes, 16) != 16) break;
      if (riffSize == kSizeToEnd) riffSize = Le64(sizes);
      ds64DataSize = Le64(sizes + 8);
    } else if (!haveFormat && TagIs(chunk, "fmt ")) {
      file.Seek(static_cast<std::int64_t>(position), CFile::From::Begin);
      ReadFormat(length, static_cast<std::int64_t>(size));
      haveFormat = true;
    } else if (!hasFact_ && TagIs(chunk, "fact")) {
      ReadFact(length, static_cast<std::uint32_t>(size));
    } else if (!haveData && TagIs(chunk, "data")) {
      dataToEnd_ = size == kSizeToEnd && !ds64DataSize;
      if (size == kSizeToEnd && ds64DataSize) size = *ds64DataSize;
      dataChunkSize_ = size;
      dataOffset_ = body;
      haveData = true;
      // A data chunk that runs to the end of the file (or past it, or is
      // marked as doing so) is the last thing the walk can trust.
      if (dataToEnd_ || size >= length - body) break;
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
    dataToEnd_ = false;
    return false;
  }
  rf64_ = rf64;
  riffSize_ = riffSize;
  return true;
}

// The fallback for files whose chunk list is broken: each tag is searched
// within the first 1000 bytes. The sizes are the 32-bit fields; an RF64
// file's 0xFFFFFFFF data size then reads as "to the end of the file".
void CWaveFile::SearchTags(std::uint64_t length) {
  if (!FindChunk("RIFF") && !FindChunk("RF64")) {
    error = err::kNoRiffHeader;
  } else {
    std::uint8_t head[12] = {};
    file.Read(head, 12);
    rf64_ = TagIs(head, "RF64");
    riffSize_ = Le32(head + 4);
    if (!FindChunk("fmt ")) {
      error = err::kNoFormatChunk;
    } else {
      ReadFormat(length, -1);
      if (!FindChunk("data")) {
        error = err::kNoDataChunk;
      } else {
        std::uint8_t chunk[8] = {};
        file.Read(chunk, 8);
        dataChunkSize_ = Le32(chunk + 4);
        dataToEnd_ = dataChunkSize_ == kSizeToEnd;
        dataOffset_ = file.GetPosition();
      }
    }
  }
  if (FindChunk("fact")) {
    std::uint8_t chunk[8] = {};
    file.Read(chunk, 8);
    ReadFact(length, Le32(chunk + 4));
  }
}

// Reads the 26 bytes from the "fmt " tag on: chunk header, the 16-byte
// record and the extra-byte count, then the extra bytes of a non-PCM format.
// chunkSize < 0: the chunk's size is not trusted (tag search).
void CWaveFile::ReadFormat(std::uint64_t length, std::int64_t chunkSize) {
  std::uint8_t b[26] = {};
  file.Read(b, sizeof b);
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

WaveHeaderParts CWaveFile::HeaderParts(const WaveFormat& format,
                                       const std::vector<std::uint8_t>& extra) const {
  WaveHeaderParts parts;
  parts.format = format;
  // Extra bytes that do not match the count are written as zeros.
  if (format.formatTag != wav::kFormatPcm && extra.size() == format.extraCount) parts.extra = extra;
  parts.hasFact = hasFact_;
  parts.factBody = factData_;
  return parts;
}

std::vector<std::uint8_t> CWaveFile::BuildDerivedHeader(const WaveFormat& format,
                                                        const std::vector<std::uint8_t>& extra,
                                                        std::uint64_t dataSize, WaveForm form) const {
  return BuildWaveHeader(HeaderParts(format, extra), dataSize, SamplesIn(format, extra, dataSize), form);
}

std::vector<std::uint8_t> CWaveFile::BuildDerivedHeader(const WaveFormat& format,
                                                        const std::vector<std::uint8_t>& extra,
                                                        std::uint64_t dataSize) const {
  return BuildDerivedHeader(format, extra, dataSize, WaveFormFor(HeaderParts(format, extra), dataSize));
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
    const WaveFormat& format, const std::vector<std::uint8_t>& extra, std::uint64_t plannedSize) const {
  const WaveForm form = WaveFormFor(HeaderParts(format, extra), plannedSize);
  return [this, format, extra, form](std::uint64_t dataSize) {
    return BuildDerivedHeader(format, extra, dataSize, form);
  };
}

namespace {

// The RIFF size field plus the 8 bytes before the RIFF body, in decimal: a
// 64-bit ds64 size near 2^64 is shown as read, not wrapped.
std::string SizeAsInHeader(std::uint64_t riffSize) {
  unsigned __int128 total = static_cast<unsigned __int128>(riffSize) + 8;
  std::string digits;
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(total % 10)));
    total /= 10;
  } while (total != 0);
  return digits;
}

}  // namespace

std::vector<std::string> CWaveFile::GetInformationLines() const {
  const WaveFormat& f = format_;
  return {
      FormatText("Filename - %s", GetFileName().c_str()),
      FormatText(rf64_ ? "File size (As in Header) - %s bytes (RF64)" : "File size (As in Header) - %s bytes",
                 SizeAsInHeader(riffSize_).c_str()),
      FormatText("Number of Channels - %u", unsigned{f.channels}),
      FormatText("Samples per second - %lu", static_cast<unsigned long>(f.samplesPerSec)),
      FormatText("Average bytes per second - %lu bytes", static_cast<unsigned long>(f.avgBytesPerSec)),
      FormatText("Bits per sample - %u bits", unsigned{f.bitsPerSample}),
      FormatText("Sample frame size - %u bytes", unsigned{f.blockAlign}),
      FormatText("Data bytes size - %llu bytes", static_cast<unsigned long long>(dataChunkSize_)),
      FormatText("Playing duration - %.2lf seconds", duration),
  };
}
