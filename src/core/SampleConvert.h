#pragma once
// Conversions between 8-bit PCM (unsigned, silence at 128) and 16-bit PCM
// (signed, silence at 0). Both keep the level and the centre: widening puts
// the byte in the top 8 bits, narrowing keeps the top 8 bits, so narrowing a
// widened sample gives back the byte.

#include <cstddef>
#include <cstdint>

// sample = (byte - 128) * 256: 0 -> -32768, 128 -> 0, 255 -> 32512.
void WidenSamples(const std::uint8_t* bytes, std::int16_t* samples, std::size_t count);
// byte = (sample >> 8) + 128: -32768 -> 0, 0 -> 128, 32767 -> 255.
void NarrowSamples(const std::int16_t* samples, std::uint8_t* bytes, std::size_t count);

// The same conversions on the little-endian byte layout of a WAV data chunk,
// whatever the host's byte order: count bytes become 2 * count bytes and
// back.
void WidenToLe16(const std::uint8_t* bytes, std::uint8_t* le16, std::size_t count);
void NarrowFromLe16(const std::uint8_t* le16, std::uint8_t* bytes, std::size_t count);

// Interleaved little-endian PCM of containerBytes a sample (8-bit unsigned,
// wider signed, bits valid at the top) and right-aligned 32-bit samples of
// bits bits, each way: what the codecs take and what a WAV holds.
void PcmToInt32(const std::uint8_t* pcm, std::size_t samples, unsigned containerBytes, unsigned bits,
                std::int32_t* out);
void Int32ToPcm(const std::int32_t* samples, std::size_t count, unsigned bits, unsigned containerBytes,
                std::uint8_t* out);
