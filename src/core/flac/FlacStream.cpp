#include "core/flac/FlacStream.h"

#include <algorithm>

namespace flac {
namespace {

// CRC-8 (x^8 + x^2 + x + 1) and CRC-16 (x^16 + x^15 + x^2 + 1), both from 0,
// most significant bit first. The CRC-16 table is sliced eight ways:
// kCrc16[k][b] is b followed by k zero bytes, so eight bytes cost eight
// lookups and one dependency.
struct CrcTables {
  std::uint8_t crc8[256];
  std::uint16_t crc16[8][256];
  CrcTables() {
    for (unsigned b = 0; b < 256; ++b) {
      unsigned c8 = b, c16 = b << 8;
      for (int bit = 0; bit < 8; ++bit) {
        c8 = (c8 & 0x80) ? ((c8 << 1) ^ 0x07) : (c8 << 1);
        c16 = (c16 & 0x8000) ? ((c16 << 1) ^ 0x8005) : (c16 << 1);
      }
      crc8[b] = static_cast<std::uint8_t>(c8);
      crc16[0][b] = static_cast<std::uint16_t>(c16);
    }
    for (int k = 1; k < 8; ++k)
      for (unsigned b = 0; b < 256; ++b) {
        const std::uint16_t prev = crc16[k - 1][b];
        crc16[k][b] = static_cast<std::uint16_t>((prev << 8) ^ crc16[0][prev >> 8]);
      }
  }
};
const CrcTables& Tables() {
  static const CrcTables tables;
  return tables;
}

// The UTF-8-like coding of frame and sample numbers: up to 36 bits in up to
// seven bytes.
std::size_t CodedNumberLength(std::uint64_t value) {
  if (value < 0x80) return 1;
  std::size_t length = 2;
  for (std::uint64_t limit = 0x800; value >= limit && length < 7; limit <<= 5) ++length;
  return length;
}
void AppendCodedNumber(std::vector<std::uint8_t>& out, std::uint64_t value) {
  const std::size_t length = CodedNumberLength(value);
  if (length == 1) {
    out.push_back(static_cast<std::uint8_t>(value));
    return;
  }
  const std::uint8_t lead = length == 7 ? 0xFE : static_cast<std::uint8_t>(0xFF00 >> length);
  out.push_back(static_cast<std::uint8_t>(lead | (value >> (6 * (length - 1)))));
  for (std::size_t i = length - 1; i-- > 0;)
    out.push_back(static_cast<std::uint8_t>(0x80 | ((value >> (6 * i)) & 0x3F)));
}
// Reads a coded number; 0 bytes when the coding is broken.
std::size_t ReadCodedNumber(const std::uint8_t* p, std::size_t avail, std::uint64_t& value) {
  if (avail == 0) return 0;
  const std::uint8_t lead = p[0];
  if (lead < 0x80) {
    value = lead;
    return 1;
  }
  std::size_t length = 0;
  while (length < 8 && (lead & (0x80 >> length))) ++length;
  if (length < 2 || length > 7 || length > avail) return 0;
  value = length == 7 ? 0 : (lead & (0x7F >> length));
  for (std::size_t i = 1; i < length; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    value = (value << 6) | (p[i] & 0x3F);
  }
  return length;
}

constexpr std::uint32_t kRates[12] = {0,     88200, 176400, 192000, 8000,  16000,
                                      22050, 24000, 32000,  44100,  48000, 96000};
constexpr std::uint8_t kBits[8] = {0, 8, 12, 0, 16, 20, 24, 32};

}  // namespace

std::uint8_t Crc8(const std::uint8_t* bytes, std::size_t count, std::uint8_t crc) {
  const auto& t = Tables().crc8;
  for (std::size_t i = 0; i < count; ++i) crc = t[crc ^ bytes[i]];
  return crc;
}

std::uint16_t Crc16(const std::uint8_t* p, std::size_t count, std::uint16_t crc) {
  const auto& t = Tables().crc16;
  for (; count >= 8; count -= 8, p += 8)
    crc = static_cast<std::uint16_t>(t[7][(crc >> 8) ^ p[0]] ^ t[6][(crc & 0xFF) ^ p[1]] ^ t[5][p[2]] ^
                                     t[4][p[3]] ^ t[3][p[4]] ^ t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]]);
  for (; count > 0; --count, ++p) crc = static_cast<std::uint16_t>((crc << 8) ^ t[0][(crc >> 8) ^ *p]);
  return crc;
}

std::uint16_t Crc16ZeroExtend(std::uint16_t crc, std::uint64_t count) {
  // A zero byte maps the CRC linearly: as a 16×16 matrix over GF(2), kept as
  // its columns (the image of each bit). Its powers 2^k are made once, so a
  // frame's extension costs one product a set bit of count.
  using Matrix = std::array<std::uint16_t, 16>;
  static const auto apply = [](const Matrix& m, std::uint16_t v) {
    std::uint16_t r = 0;
    for (int i = 0; v; ++i, v >>= 1)
      if (v & 1) r ^= m[i];
    return r;
  };
  static const std::array<Matrix, 64> powers = [] {
    std::array<Matrix, 64> p{};
    for (int i = 0; i < 16; ++i) {
      const auto bit = static_cast<std::uint16_t>(1u << i);
      p[0][i] = static_cast<std::uint16_t>((bit << 8) ^ Tables().crc16[0][bit >> 8]);
    }
    for (int k = 1; k < 64; ++k)
      for (int i = 0; i < 16; ++i) p[k][i] = apply(p[k - 1], p[k - 1][i]);
    return p;
  }();
  for (int k = 0; count > 0; ++k, count >>= 1)
    if (count & 1) crc = apply(powers[k], crc);
  return crc;
}

bool StreamInfo::HasMd5() const {
  return std::any_of(md5.begin(), md5.end(), [](std::uint8_t b) { return b != 0; });
}

std::optional<StreamInfo> ParseStreamInfo(const std::uint8_t* p) {
  StreamInfo s;
  s.minBlock = static_cast<std::uint16_t>(p[0] << 8 | p[1]);
  s.maxBlock = static_cast<std::uint16_t>(p[2] << 8 | p[3]);
  s.minFrame = static_cast<std::uint32_t>(p[4] << 16 | p[5] << 8 | p[6]);
  s.maxFrame = static_cast<std::uint32_t>(p[7] << 16 | p[8] << 8 | p[9]);
  s.sampleRate = static_cast<std::uint32_t>(p[10] << 12 | p[11] << 4 | p[12] >> 4);
  s.channels = static_cast<std::uint8_t>(((p[12] >> 1) & 7) + 1);
  s.bitsPerSample = static_cast<std::uint8_t>((((p[12] & 1) << 4) | (p[13] >> 4)) + 1);
  s.totalSamples = (static_cast<std::uint64_t>(p[13] & 0x0F) << 32) |
                   static_cast<std::uint64_t>(p[14]) << 24 | static_cast<std::uint64_t>(p[15]) << 16 |
                   static_cast<std::uint64_t>(p[16]) << 8 | p[17];
  std::copy(p + 18, p + 34, s.md5.begin());
  if (s.sampleRate == 0 || s.bitsPerSample < 4) return std::nullopt;
  return s;
}

std::array<std::uint8_t, kStreamInfoSize> WriteStreamInfo(const StreamInfo& s) {
  std::array<std::uint8_t, kStreamInfoSize> p{};
  p[0] = static_cast<std::uint8_t>(s.minBlock >> 8);
  p[1] = static_cast<std::uint8_t>(s.minBlock);
  p[2] = static_cast<std::uint8_t>(s.maxBlock >> 8);
  p[3] = static_cast<std::uint8_t>(s.maxBlock);
  for (int i = 0; i < 3; ++i) {
    p[4 + i] = static_cast<std::uint8_t>(s.minFrame >> (16 - 8 * i));
    p[7 + i] = static_cast<std::uint8_t>(s.maxFrame >> (16 - 8 * i));
  }
  p[10] = static_cast<std::uint8_t>(s.sampleRate >> 12);
  p[11] = static_cast<std::uint8_t>(s.sampleRate >> 4);
  const unsigned bits = s.bitsPerSample - 1u;
  p[12] = static_cast<std::uint8_t>((s.sampleRate & 0x0F) << 4 | ((s.channels - 1u) & 7) << 1 | bits >> 4);
  p[13] = static_cast<std::uint8_t>((bits & 0x0F) << 4 | ((s.totalSamples >> 32) & 0x0F));
  for (int i = 0; i < 4; ++i) p[14 + i] = static_cast<std::uint8_t>(s.totalSamples >> (24 - 8 * i));
  std::copy(s.md5.begin(), s.md5.end(), p.begin() + 18);
  return p;
}

std::optional<FrameHeader> ParseFrameHeader(const std::uint8_t* p, std::size_t avail,
                                            const StreamInfo& info) {
  if (avail < 6 || p[0] != 0xFF || (p[1] & 0xFE) != 0xF8) return std::nullopt;
  FrameHeader h;
  h.variableBlocks = p[1] & 1;
  const unsigned blockCode = p[2] >> 4, rateCode = p[2] & 0x0F;
  const unsigned channelCode = p[3] >> 4, sizeCode = (p[3] >> 1) & 7;
  if (blockCode == 0 || rateCode == 15 || channelCode > 10 || sizeCode == 3 || (p[3] & 1))
    return std::nullopt;
  std::size_t at = 4;
  const std::size_t numberLength = ReadCodedNumber(p + at, avail - at, h.number);
  // Frame numbers have at most 31 bits (six bytes), sample numbers 36.
  if (numberLength == 0 || (!h.variableBlocks && numberLength > 6)) return std::nullopt;
  at += numberLength;
  const auto take = [&](std::size_t n, std::uint32_t& value) {
    if (at + n > avail) return false;
    value = 0;
    for (std::size_t i = 0; i < n; ++i) value = value << 8 | p[at++];
    return true;
  };
  std::uint32_t extra = 0;
  if (blockCode == 1) {
    h.blockSize = 192;
  } else if (blockCode <= 5) {
    h.blockSize = 576u << (blockCode - 2);
  } else if (blockCode <= 7) {
    if (!take(blockCode == 6 ? 1 : 2, extra)) return std::nullopt;
    h.blockSize = extra + 1;
  } else {
    h.blockSize = 256u << (blockCode - 8);
  }
  if (rateCode == 0) {
    h.sampleRate = info.sampleRate;
  } else if (rateCode < 12) {
    h.sampleRate = kRates[rateCode];
  } else {
    if (!take(rateCode == 12 ? 1 : 2, extra)) return std::nullopt;
    h.sampleRate = rateCode == 12 ? extra * 1000 : rateCode == 13 ? extra : extra * 10;
  }
  h.channelCode = static_cast<std::uint8_t>(channelCode);
  h.bitsPerSample = sizeCode == 0 ? info.bitsPerSample : kBits[sizeCode];
  if (at + 1 > avail || Crc8(p, at) != p[at]) return std::nullopt;
  h.length = at + 1;
  // A header of another stream's shape is a false sync inside audio.
  if (h.Channels() != info.channels || h.bitsPerSample != info.bitsPerSample ||
      h.sampleRate != info.sampleRate)
    return std::nullopt;
  return h;
}

std::vector<std::uint8_t> RenumberHeader(const std::uint8_t* header, const FrameHeader& parsed,
                                         std::uint64_t number, bool variableBlocks) {
  std::uint64_t old = 0;
  const std::size_t oldLength = ReadCodedNumber(header + 4, parsed.length - 4, old);
  std::vector<std::uint8_t> out(header, header + 4);
  out[1] = static_cast<std::uint8_t>(0xF8 | (variableBlocks ? 1 : 0));
  AppendCodedNumber(out, number);
  out.insert(out.end(), header + 4 + oldLength, header + parsed.length - 1);
  out.push_back(Crc8(out.data(), out.size()));
  return out;
}

std::uint16_t RenumberedFrameCrc(std::uint16_t oldCrc, const std::vector<std::uint8_t>& oldHeader,
                                 const std::vector<std::uint8_t>& newHeader, std::uint64_t bodyLength) {
  // With a CRC that starts from 0, crc(H‖B) = crc(H‖0…0) ⊕ crc(B): the
  // body's share is the old CRC without the old header's, and the new
  // header's share is added in its place.
  const auto headers = static_cast<std::uint16_t>(Crc16(oldHeader.data(), oldHeader.size()) ^
                                                  Crc16(newHeader.data(), newHeader.size()));
  return static_cast<std::uint16_t>(oldCrc ^ Crc16ZeroExtend(headers, bodyLength));
}

std::uint64_t FrameBound(const FrameHeader& header, const StreamInfo& info) {
  const std::uint64_t bits = std::max<unsigned>(header.bitsPerSample, info.bitsPerSample) + 1u;
  return 64 + header.Channels() * (16 + (header.blockSize * bits + 7) / 8);
}

}  // namespace flac
