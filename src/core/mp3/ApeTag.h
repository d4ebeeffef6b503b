#pragma once
// The APEv1/APEv2 tag that some taggers put at the end of an MP3 file (last,
// or just before the ID3v1 tag): items, a 32-byte footer and, in version 2,
// an optional 32-byte header. It is metadata, never audio.

#include <cstddef>
#include <cstdint>

namespace ape {

inline constexpr std::size_t kFooterSize = 32;

// The bytes the whole tag occupies (header, items and footer) when footer
// holds a well-formed footer whose tag fits in the bytesBefore bytes that
// precede the footer plus the footer itself; 0 otherwise (no tag, or a
// damaged one whose size cannot be trusted).
std::uint64_t TagLength(const std::uint8_t* footer, std::size_t available, std::uint64_t bytesBefore);

}  // namespace ape
