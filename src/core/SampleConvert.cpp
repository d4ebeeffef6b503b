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
