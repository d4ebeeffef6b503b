#pragma once
// The median of the nine level codes around each granule of an MP3 stream,
// the MP3 envelope's smoothing: a granule's estimate swings widely with what
// its Huffman tables hold, the median of its neighbours follows the loudness.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace peaks {

// The median of nine codes.
std::uint8_t MedianOfNine(std::array<std::uint8_t, 9> v);

// For the granules [first, first + count) of one lane of codes laid out two
// a granule (levels[2 × granule + lane]), the median of the nine codes
// around each (the edges repeat the first and last granule's), in medians.
void MediansOfNine(const std::vector<std::uint8_t>& levels, unsigned lane, std::size_t first,
                   std::size_t count, std::vector<std::uint8_t>& medians);

}  // namespace peaks
