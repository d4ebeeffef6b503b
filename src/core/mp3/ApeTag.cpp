#include "core/mp3/ApeTag.h"

#include <cstring>

#include "core/ByteOrder.h"

namespace ape {
namespace {

constexpr char kPreamble[8] = {'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X'};
constexpr std::uint32_t kHasHeader = 1u << 31;
constexpr std::uint32_t kIsHeader = 1u << 29;

// Preamble, version 1.000 or 2.000, and the header bit clear.
bool IsFooter(const std::uint8_t* b, std::size_t available) {
  if (available < kFooterSize || std::memcmp(b, kPreamble, sizeof kPreamble) != 0) return false;
  const std::uint32_t version = bytes::Le32(b + 8);
  if (version != 1000 && version != 2000) return false;
  return (bytes::Le32(b + 20) & kIsHeader) == 0;
}

}  // namespace

std::uint64_t TagLength(const std::uint8_t* footer, std::size_t available, std::uint64_t bytesBefore) {
  if (!IsFooter(footer, available)) return 0;
  // The size counts the items and the footer, not the header.
  const std::uint64_t size = bytes::Le32(footer + 12);
  if (size < kFooterSize) return 0;
  const bool header = bytes::Le32(footer + 8) == 2000 && (bytes::Le32(footer + 20) & kHasHeader);
  const std::uint64_t length = size + (header ? kFooterSize : 0);
  return length <= bytesBefore + kFooterSize ? length : 0;
}

}  // namespace ape
