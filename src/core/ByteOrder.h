#pragma once
// Reading and writing the fixed-width integers of the file formats: RIFF and
// APE tags store them little-endian, MPEG headers and the LAME tag big-endian.

#include <cstdint>

namespace bytes {

inline std::uint16_t Le16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t Le32(const std::uint8_t* p) {
  return Le16(p) | (static_cast<std::uint32_t>(Le16(p + 2)) << 16);
}
inline std::uint64_t Le64(const std::uint8_t* p) {
  return Le32(p) | (std::uint64_t{Le32(p + 4)} << 32);
}
inline std::uint16_t Be16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}
inline std::uint32_t Be32(const std::uint8_t* p) {
  return (std::uint32_t{Be16(p)} << 16) | Be16(p + 2);
}
inline void PutBe16(std::uint8_t* at, std::uint16_t v) {
  at[0] = static_cast<std::uint8_t>(v >> 8);
  at[1] = static_cast<std::uint8_t>(v);
}
inline void PutBe32(std::uint8_t* at, std::uint32_t v) {
  PutBe16(at, static_cast<std::uint16_t>(v >> 16));
  PutBe16(at + 2, static_cast<std::uint16_t>(v));
}

}  // namespace bytes
