#include "core/wav/WaveHeader.h"

#include <algorithm>
#include <cstring>

#include "core/File.h"

namespace {

constexpr std::uint32_t kUnknownSize = 0xFFFFFFFFu;
constexpr std::uint32_t kDs64Size = 28;  // RIFF size, data size, sample count, table length 0

void Put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Put16(out, v);
  Put16(out, v >> 16);
}
void PutTag(std::vector<std::uint8_t>& out, const char* tag) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(tag[i]));
}
void Set32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}
void Set64(std::vector<std::uint8_t>& out, std::size_t at, std::uint64_t v) {
  Set32(out, at, static_cast<std::uint32_t>(v));
  Set32(out, at + 4, static_cast<std::uint32_t>(v >> 32));
}

// The chunks between the RIFF header (and ds64) and the data chunk's header.
std::vector<std::uint8_t> FormatAndFact(const WaveHeaderParts& parts, std::uint64_t sampleCount) {
  const WaveFormat& f = parts.format;
  const std::uint32_t count = f.extraCount;
  // Plain PCM has the 16-byte record; every other format has the
  // extra-byte count after it, even when the count is 0.
  const bool plainPcm = f.formatTag == 1;
  std::vector<std::uint8_t> h;
  h.reserve(64 + parts.extra.size() + parts.factBody.size());
  PutTag(h, "fmt ");
  Put32(h, plainPcm ? 16 : 18 + count);
  Put16(h, f.formatTag);
  Put16(h, f.channels);
  Put32(h, f.samplesPerSec);
  Put32(h, f.avgBytesPerSec);
  Put16(h, f.blockAlign);
  Put16(h, f.bitsPerSample);
  if (!plainPcm) {
    Put16(h, count);
    if (parts.extra.size() == count)
      h.insert(h.end(), parts.extra.begin(), parts.extra.end());
    else
      h.resize(h.size() + count, 0);
    if (count & 1u) h.push_back(0);  // chunks are padded to an even length
  }
  if (parts.hasFact) {
    PutTag(h, "fact");
    Put32(h, static_cast<std::uint32_t>(parts.factBody.size()));
    const std::size_t at = h.size();
    h.insert(h.end(), parts.factBody.begin(), parts.factBody.end());
    // The count is the new file's own; RF64 keeps larger ones in ds64.
    if (parts.factBody.size() >= 4)
      Set32(h, at, static_cast<std::uint32_t>(std::min<std::uint64_t>(sampleCount, kUnknownSize)));
    if (parts.factBody.size() & 1u) h.push_back(0);
  }
  return h;
}

}  // namespace

WaveForm WaveFormFor(const WaveHeaderParts& parts, std::uint64_t dataSize) {
  // RIFF size of the plain form: "WAVE", the chunks, the data chunk's header, the audio and its pad.
  const std::uint64_t riffSize = 4 + FormatAndFact(parts, 0).size() + 8 + dataSize + (dataSize & 1u);
  return riffSize < kUnknownSize ? WaveForm::Riff : WaveForm::Rf64;
}

std::vector<std::uint8_t> BuildWaveHeader(const WaveHeaderParts& parts, std::uint64_t dataSize,
                                          std::uint64_t sampleCount, WaveForm form) {
  const bool rf64 = form == WaveForm::Rf64;
  std::vector<std::uint8_t> h;
  h.reserve(128 + parts.extra.size() + parts.factBody.size());
  PutTag(h, rf64 ? "RF64" : "RIFF");
  Put32(h, 0);  // RIFF size, filled in below
  // Always "WAVE": a source whose form type was damaged still gives WAV files
  // that every reader opens.
  PutTag(h, "WAVE");
  std::size_t ds64At = 0;
  if (rf64) {
    PutTag(h, "ds64");
    Put32(h, kDs64Size);
    ds64At = h.size();
    h.resize(h.size() + kDs64Size, 0);
  }
  const std::vector<std::uint8_t> chunks = FormatAndFact(parts, sampleCount);
  h.insert(h.end(), chunks.begin(), chunks.end());
  PutTag(h, "data");
  Put32(h, 0);
  // The data chunk's pad byte, when its size is odd, belongs to the RIFF body.
  const std::uint64_t riffSize = h.size() - 8 + dataSize + (dataSize & 1u);
  if (rf64) {
    Set64(h, ds64At, riffSize);
    Set64(h, ds64At + 8, dataSize);
    Set64(h, ds64At + 16, sampleCount);
    Set32(h, 4, kUnknownSize);
    Set32(h, h.size() - 4, kUnknownSize);
  } else {
    const bool fits = riffSize < kUnknownSize;
    Set32(h, 4, fits ? static_cast<std::uint32_t>(riffSize) : kUnknownSize);
    Set32(h, h.size() - 4, fits ? static_cast<std::uint32_t>(dataSize) : kUnknownSize);
  }
  return h;
}

namespace {

WaveHeaderParts Pcm16Parts(std::uint16_t channels, std::uint32_t samplesPerSec) {
  WaveHeaderParts parts;
  parts.format.formatTag = 1;
  parts.format.channels = channels;
  parts.format.samplesPerSec = samplesPerSec;
  parts.format.avgBytesPerSec = static_cast<std::uint32_t>(channels) * samplesPerSec * 2;
  parts.format.blockAlign = static_cast<std::uint16_t>(channels * 2u);
  parts.format.bitsPerSample = 16;
  return parts;
}

std::vector<std::uint8_t> Pcm16Header(std::uint16_t channels, std::uint32_t samplesPerSec,
                                      std::uint64_t dataSize, WaveForm form) {
  const std::uint64_t frameSize = std::max<std::uint64_t>(2u * channels, 1);
  return BuildWaveHeader(Pcm16Parts(channels, samplesPerSec), dataSize, dataSize / frameSize, form);
}

}  // namespace

std::array<std::uint8_t, kFixedWaveHeaderSize> BuildFixedWaveHeader(std::uint16_t channels,
                                                                    std::uint32_t samplesPerSec,
                                                                    std::uint64_t totalLength) {
  const std::uint64_t dataSize =
      std::max<std::uint64_t>(totalLength, kFixedWaveHeaderSize) - kFixedWaveHeaderSize;
  // The decoder writes whole 16-bit samples; a pad byte is never counted.
  const auto bytes = Pcm16Header(channels, samplesPerSec, dataSize & ~std::uint64_t{1}, WaveForm::Riff);
  std::array<std::uint8_t, kFixedWaveHeaderSize> h{};
  if (bytes.size() == h.size()) std::memcpy(h.data(), bytes.data(), h.size());
  return h;
}

WaveForm DecodedWaveForm(double expectedBytes) {
  // Decoders may give a little more than the frame count promised (a
  // bitrate estimated from the first frame); 1/16 is ample room.
  constexpr double kPlainLimit = (static_cast<double>(kUnknownSize) - kFixedWaveHeaderSize) * 15 / 16;
  return expectedBytes > kPlainLimit ? WaveForm::Rf64 : WaveForm::Riff;
}

void WriteFixedWaveHeader(CFile& out, std::uint16_t channels, std::uint32_t samplesPerSec, WaveForm form) {
  const std::uint64_t position = out.GetPosition();
  const std::uint64_t headerSize = Pcm16Header(channels, samplesPerSec, 0, form).size();
  const std::uint64_t length = std::max(out.GetLength(), headerSize);
  const auto header = Pcm16Header(channels, samplesPerSec, (length - headerSize) & ~std::uint64_t{1}, form);
  out.SeekToBegin();
  out.Write(header.data(), header.size());
  out.Seek(static_cast<std::int64_t>(std::max(position, headerSize)), CFile::From::Begin);
}

WaveHeaderParts PcmWaveHeaderParts(const WaveFormat& format, unsigned validBits) {
  WaveHeaderParts parts;
  parts.format = format;
  if (format.channels <= 2 && validBits == format.bitsPerSample) return parts;
  static constexpr std::uint32_t kMasks[9] = {0, 0x4, 0x3, 0x7, 0x33, 0x37, 0x3F, 0x70F, 0x63F};
  static constexpr std::uint8_t kPcmGuid[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                                0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
  parts.format.formatTag = 0xFFFE;
  parts.format.extraCount = 22;
  const std::uint32_t mask = format.channels <= 8 ? kMasks[format.channels] : 0;
  parts.extra = {static_cast<std::uint8_t>(validBits), 0};
  for (int i = 0; i < 4; ++i) parts.extra.push_back(static_cast<std::uint8_t>(mask >> (8 * i)));
  parts.extra.insert(parts.extra.end(), kPcmGuid, kPcmGuid + 16);
  return parts;
}

WaveFormat PcmWaveFormat(std::uint16_t channels, std::uint32_t samplesPerSec, unsigned containerBytes) {
  WaveFormat format;
  format.formatTag = 1;
  format.channels = channels;
  format.samplesPerSec = samplesPerSec;
  format.blockAlign = static_cast<std::uint16_t>(channels * containerBytes);
  format.avgBytesPerSec = samplesPerSec * format.blockAlign;
  format.bitsPerSample = static_cast<std::uint16_t>(containerBytes * 8);
  return format;
}
