#include "core/SampleConvert.h"

void WidenSamples(const std::uint8_t* bytes, std::int16_t* samples, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) samples[i] = static_cast<std::int16_t>((bytes[i] - 128) * 256);
}

void NarrowSamples(const std::int16_t* samples, std::uint8_t* bytes, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>((samples[i] >> 8) + 128);
}

// In the byte layout both conversions only move the top byte and flip its
// sign bit, which the compiler turns into wide vector operations.
void WidenToLe16(const std::uint8_t* bytes, std::uint8_t* le16, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    le16[2 * i] = 0;
    le16[2 * i + 1] = static_cast<std::uint8_t>(bytes[i] ^ 0x80u);
  }
}

void NarrowFromLe16(const std::uint8_t* le16, std::uint8_t* bytes, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(le16[2 * i + 1] ^ 0x80u);
}

void PcmToInt32(const std::uint8_t* pcm, std::size_t samples, unsigned containerBytes, unsigned bits,
                std::int32_t* out) {
  const unsigned shift = containerBytes * 8 - bits;
  for (std::size_t i = 0; i < samples; ++i, pcm += containerBytes) {
    if (containerBytes == 1) {
      out[i] = (pcm[0] - 128) >> shift;
      continue;
    }
    std::uint32_t v = 0;
    for (unsigned b = 0; b < containerBytes; ++b) v |= static_cast<std::uint32_t>(pcm[b]) << (8 * b);
    v <<= 8 * (4 - containerBytes);
    out[i] = static_cast<std::int32_t>(v) >> (8 * (4 - containerBytes) + shift);
  }
}

void Int32ToPcm(const std::int32_t* samples, std::size_t count, unsigned bits, unsigned containerBytes,
                std::uint8_t* out) {
  const unsigned shift = containerBytes * 8 - bits;
  for (std::size_t i = 0; i < count; ++i) {
    const auto v = static_cast<std::uint32_t>(samples[i]) << shift;
    if (containerBytes == 1) {
      *out++ = static_cast<std::uint8_t>(v + 128);
      continue;
    }
    for (unsigned b = 0; b < containerBytes; ++b) *out++ = static_cast<std::uint8_t>(v >> (8 * b));
  }
}
