#include "core/mp3/Mp3LameTag.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "core/ByteOrder.h"
#include "core/mp3/Mp3Reservoir.h"

namespace mp3 {
namespace {

// Slicing by eight: table k gives the CRC of a byte followed by k zero bytes,
// so eight bytes are folded in with eight lookups and no loop over bits.
struct Crc16Tables {
  std::uint16_t t[8][256];
  constexpr Crc16Tables() : t{} {
    for (unsigned i = 0; i < 256; ++i) {
      std::uint16_t crc = static_cast<std::uint16_t>(i);
      for (int bit = 0; bit < 8; ++bit)
        crc = static_cast<std::uint16_t>(crc & 1u ? (crc >> 1) ^ 0xA001u : crc >> 1);
      t[0][i] = crc;
    }
    for (unsigned k = 1; k < 8; ++k)
      for (unsigned i = 0; i < 256; ++i)
        t[k][i] = static_cast<std::uint16_t>((t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFFu]);
  }
};
constexpr Crc16Tables kCrc;

// Offsets inside the Xing/Info block and the LAME extension after it.
constexpr std::size_t kFlags = 4, kFrames = 8, kBytes = 12, kToc = 16, kQuality = 116;
using bytes::Be16;
using bytes::Be32;
using bytes::PutBe16;
using bytes::PutBe32;

constexpr std::size_t kVersion = 0, kRevision = 9, kLowpass = 10, kDelayPadding = 21, kMusicLength = 28,
                      kMusicCrc = 32, kTagCrc = 34;
constexpr std::uint32_t kAllFlags = 1u | 2u | 4u | 8u;  // frames, bytes, seek table, quality

}  // namespace

namespace {

std::uint16_t Fold8(std::uint16_t crc, const std::uint8_t* p) {
  const auto& t = kCrc.t;
  const unsigned x = crc ^ (p[0] | (p[1] << 8));
  return static_cast<std::uint16_t>(t[7][x & 0xFFu] ^ t[6][x >> 8] ^ t[5][p[2]] ^ t[4][p[3]] ^ t[3][p[4]] ^
                                    t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]]);
}

std::uint16_t Crc16Serial(const std::uint8_t* p, std::size_t count, std::uint16_t crc) {
  for (; count >= 8; count -= 8, p += 8) crc = Fold8(crc, p);
  for (; count > 0; --count, ++p)
    crc = static_cast<std::uint16_t>((crc >> 8) ^ kCrc.t[0][(crc ^ *p) & 0xFFu]);
  return crc;
}

#if defined(__x86_64__)
// Carry-less multiplication folds the stream into 128-bit remainders that are
// congruent to it modulo the polynomial; the table finishes the last 16
// bytes and the tail. In the reflected order a register's bit k stands for
// x^(127 - k), its low half for the higher powers, and a product comes out
// multiplied by x, so the constants that move a register d bits on are
// x^(d + 63) and x^(d - 1) modulo the polynomial.
std::uint64_t ReflectedPowerOfX(unsigned n) {
  std::uint32_t r = 1;  // x^0, in the normal order with x^16 + x^15 + x^2 + 1
  for (unsigned i = 0; i < n; ++i) {
    r <<= 1;
    if (r & 0x10000u) r ^= 0x18005u;
  }
  std::uint64_t lane = 0;
  for (unsigned d = 0; d < 16; ++d)
    if (r & (1u << d)) lane |= std::uint64_t{1} << (63 - d);
  return lane;
}

struct FoldConstants {
  __m128i by128, by256, by384, by512;
  FoldConstants() : by128(Make(128)), by256(Make(256)), by384(Make(384)), by512(Make(512)) {}
  static __m128i Make(unsigned bits) {
    return _mm_set_epi64x(static_cast<long long>(ReflectedPowerOfX(bits - 1)),
                          static_cast<long long>(ReflectedPowerOfX(bits + 63)));
  }
};

__attribute__((target("pclmul,sse2"))) inline __m128i Fold(__m128i s, __m128i k) {
  return _mm_xor_si128(_mm_clmulepi64_si128(s, k, 0x00), _mm_clmulepi64_si128(s, k, 0x11));
}

__attribute__((target("pclmul,sse2"))) std::uint16_t Crc16Folded(const std::uint8_t* p, std::size_t count,
                                                                 std::uint16_t crc) {
  static const FoldConstants k;
  auto load = [](const std::uint8_t* at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at)); };
  // Four remainders side by side, each moved 64 bytes on per step, keep the
  // multiplier busy; then they are moved onto the last one and joined.
  __m128i a = _mm_xor_si128(load(p), _mm_cvtsi32_si128(crc)), b = load(p + 16), c = load(p + 32),
          d = load(p + 48);
  p += 64;
  count -= 64;
  for (; count >= 64; p += 64, count -= 64) {
    a = _mm_xor_si128(Fold(a, k.by512), load(p));
    b = _mm_xor_si128(Fold(b, k.by512), load(p + 16));
    c = _mm_xor_si128(Fold(c, k.by512), load(p + 32));
    d = _mm_xor_si128(Fold(d, k.by512), load(p + 48));
  }
  __m128i s =
      _mm_xor_si128(_mm_xor_si128(Fold(a, k.by384), Fold(b, k.by256)), _mm_xor_si128(Fold(c, k.by128), d));
  for (; count >= 16; p += 16, count -= 16) s = _mm_xor_si128(Fold(s, k.by128), load(p));
  std::uint8_t remainder[16];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(remainder), s);
  return Crc16Serial(p, count, Crc16Serial(remainder, sizeof remainder, 0));
}

bool HasCarrylessMultiply() {
  static const bool has = __builtin_cpu_supports("pclmul");
  return has;
}
#endif

}  // namespace

std::uint16_t Crc16(const std::uint8_t* p, std::size_t count, std::uint16_t crc) {
#if defined(__x86_64__)
  if (count >= 64 && HasCarrylessMultiply()) return Crc16Folded(p, count, crc);
#endif
  return Crc16Serial(p, count, crc);
}

std::size_t XingOffset(FrameHeader header) {
  return 4 + SideInfoLength(header);
}

std::size_t HeaderFrameNeeds(FrameHeader header) {
  return XingOffset(header) + kXingBytes + kLameExtensionBytes;
}

FrameHeader HeaderFrameHeader(FrameHeader like) {
  // Like the reservoir frame's header (no CRC, no padding), with like's bitrate.
  FrameHeader header = ReservoirFrameHeader(like);
  header.raw = (header.raw & ~(15u << 20)) | (like.BitrateIndex() << 20);
  const std::size_t needs = HeaderFrameNeeds(header);
  for (unsigned index = 1; index <= 14 && (header.BitrateIndex() == 0 || header.FrameLength() < needs);
       ++index)
    header.raw = (header.raw & ~(15u << 20)) | (index << 20);
  return header;
}

std::vector<std::uint8_t> BuildHeaderFrame(FrameHeader like, const LameTag& tag) {
  const FrameHeader header = HeaderFrameHeader(like);
  std::vector<std::uint8_t> frame(std::max<std::size_t>(header.FrameLength(), HeaderFrameNeeds(header)), 0);
  for (int i = 0; i < 4; ++i)
    frame[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(header.raw >> (8 * i));
  std::uint8_t* x = frame.data() + XingOffset(header);
  std::memcpy(x, tag.constant ? "Info" : "Xing", 4);
  PutBe32(x + kFlags, kAllFlags);
  PutBe32(x + kFrames, tag.frames);
  PutBe32(x + kBytes, tag.bytes);
  std::memcpy(x + kToc, tag.toc.data(), tag.toc.size());
  PutBe32(x + kQuality, tag.quality);
  std::uint8_t* l = x + kXingBytes;
  std::memcpy(l + kVersion, tag.version.data(), tag.version.size());
  l[kRevision] = tag.revisionAndMethod;
  l[kLowpass] = tag.lowpass;
  const std::uint32_t delay = std::min(tag.delay, kMaxDelayOrPadding);
  const std::uint32_t padding = std::min(tag.padding, kMaxDelayOrPadding);
  l[kDelayPadding] = static_cast<std::uint8_t>(delay >> 4);
  l[kDelayPadding + 1] = static_cast<std::uint8_t>(((delay & 15u) << 4) | (padding >> 8));
  l[kDelayPadding + 2] = static_cast<std::uint8_t>(padding);
  PutBe32(l + kMusicLength, tag.musicLength);
  PutBe16(l + kMusicCrc, tag.musicCrc);
  // The tag's CRC covers every byte of the frame before it.
  const std::size_t crcAt = static_cast<std::size_t>(l + kTagCrc - frame.data());
  PutBe16(l + kTagCrc, Crc16(frame.data(), crcAt));
  return frame;
}

std::optional<LameTag> ReadLameTag(const std::uint8_t* frame, std::size_t length) {
  if (length < 4) return std::nullopt;
  const FrameHeader header = FrameHeader::FromBytes(frame);
  if (!header.HasSync() || header.Layer() != 1 || header.Version() == 1) return std::nullopt;
  // Writers put the block right after the side information, some after a CRC too.
  for (std::size_t at : {XingOffset(header), XingOffset(header) + 2}) {
    if (at + 8 > length) continue;
    const std::uint8_t* x = frame + at;
    const bool info = std::memcmp(x, "Info", 4) == 0;
    if (!info && std::memcmp(x, "Xing", 4) != 0) continue;
    LameTag tag;
    tag.constant = info;
    const std::uint32_t flags = Be32(x + kFlags);
    std::size_t next = 8;
    auto field = [&](std::uint32_t flag, std::size_t size) -> const std::uint8_t* {
      if (!(flags & flag) || at + next + size > length) return nullptr;
      const std::uint8_t* p = x + next;
      next += size;
      return p;
    };
    if (const auto* p = field(1, 4)) tag.frames = Be32(p);
    if (const auto* p = field(2, 4)) tag.bytes = Be32(p);
    if (const auto* p = field(4, 100)) std::memcpy(tag.toc.data(), p, 100);
    if (const auto* p = field(8, 4)) tag.quality = Be32(p);
    // The LAME extension follows the four fields; a version string that
    // starts with a letter tells it is there.
    const std::size_t ext = at + next;
    if (ext + kLameExtensionBytes <= length && std::isalpha(frame[ext])) {
      const std::uint8_t* l = frame + ext;
      tag.hasExtension = true;
      std::memcpy(tag.version.data(), l + kVersion, tag.version.size());
      tag.revisionAndMethod = l[kRevision];
      tag.lowpass = l[kLowpass];
      tag.delay = (std::uint32_t{l[kDelayPadding]} << 4) | (l[kDelayPadding + 1] >> 4);
      tag.padding = ((std::uint32_t{l[kDelayPadding + 1]} & 15u) << 8) | l[kDelayPadding + 2];
      tag.musicLength = Be32(l + kMusicLength);
      tag.musicCrc = Be16(l + kMusicCrc);
      tag.tagCrcValid = Crc16(frame, ext + kTagCrc) == Be16(l + kTagCrc);
    }
    return tag;
  }
  return std::nullopt;
}

}  // namespace mp3
