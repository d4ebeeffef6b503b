#include "core/mp3/GranuleMedians.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace peaks {
namespace {

// The exchanges of a median-of-nine network (19): after them, element 4
// holds the median whatever the order of the nine.
constexpr std::uint8_t kNetwork[19][2] = {{1, 2}, {4, 5}, {7, 8}, {0, 1}, {3, 4}, {6, 7}, {1, 2},
                                          {4, 5}, {7, 8}, {0, 3}, {5, 8}, {4, 7}, {3, 6}, {1, 4},
                                          {2, 5}, {4, 7}, {4, 2}, {6, 4}, {4, 2}};

}  // namespace

std::uint8_t MedianOfNine(std::array<std::uint8_t, 9> v) {
  for (const auto& pair : kNetwork) {
    const std::uint8_t low = std::min(v[pair[0]], v[pair[1]]);
    v[pair[1]] = std::max(v[pair[0]], v[pair[1]]);
    v[pair[0]] = low;
  }
  return v[4];
}

void MediansOfNine(const std::vector<std::uint8_t>& levels, unsigned lane, std::size_t first,
                   std::size_t count, std::vector<std::uint8_t>& medians) {
  medians.resize(count);
  const std::size_t granules = levels.size() / 2;
  if (count == 0 || granules == 0) return;
  // The lane's codes from four before first to four after the last, the
  // edges repeated, then room for the last vector's loads.
  std::vector<std::uint8_t> codes(count + 8 + 16, 0);
  for (std::size_t k = 0; k < count + 8; ++k) {
    const auto at = std::clamp<std::ptrdiff_t>(static_cast<std::ptrdiff_t>(first + k) - 4, 0,
                                               static_cast<std::ptrdiff_t>(granules - 1));
    codes[k] = levels[2 * static_cast<std::size_t>(at) + lane];
  }
  std::size_t g = 0;
#if defined(__SSE2__)
  // Sixteen granules at a time, one a lane, through the same network.
  for (; g + 16 <= count; g += 16) {
    __m128i v[9];
    for (int k = 0; k < 9; ++k)
      v[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(codes.data() + g + k));
    for (const auto& pair : kNetwork) {
      const __m128i low = _mm_min_epu8(v[pair[0]], v[pair[1]]);
      v[pair[1]] = _mm_max_epu8(v[pair[0]], v[pair[1]]);
      v[pair[0]] = low;
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(medians.data() + g), v[4]);
  }
#endif
  for (; g < count; ++g) {
    std::array<std::uint8_t, 9> window;
    std::copy_n(codes.begin() + static_cast<std::ptrdiff_t>(g), 9, window.begin());
    medians[g] = MedianOfNine(window);
  }
}

}  // namespace peaks
