// The envelope's medians: sixteen granules at a time through the network
// must give, for every granule, run and lane, the median a sort gives, with
// the edges repeating the first and last granule's code.

#include "core/mp3/GranuleMedians.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

std::uint8_t SortedMedian(const std::vector<std::uint8_t>& levels, unsigned lane, std::size_t granule) {
  const auto granules = static_cast<std::ptrdiff_t>(levels.size() / 2);
  std::vector<std::uint8_t> window;
  for (std::ptrdiff_t k = -4; k <= 4; ++k) {
    const std::ptrdiff_t at =
        std::clamp<std::ptrdiff_t>(static_cast<std::ptrdiff_t>(granule) + k, 0, granules - 1);
    window.push_back(levels[2 * static_cast<std::size_t>(at) + lane]);
  }
  std::sort(window.begin(), window.end());
  return window[4];
}

TEST(GranuleMedians, EveryRunOfGranulesGivesTheMedianASortGives) {
  std::mt19937 random(11);
  struct Case {
    const char* name;
    std::size_t granules;
    unsigned spread;  // codes drawn from [0, spread)
  };
  const Case cases[] = {{"one granule", 1, 256},
                        {"fewer than nine", 5, 256},
                        {"seventeen", 17, 256},
                        {"many, full range", 1000, 256},
                        {"many, few distinct codes", 1000, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::uint8_t> levels(2 * c.granules);
    for (auto& code : levels) code = static_cast<std::uint8_t>(random() % c.spread);
    for (const unsigned lane : {0u, 1u}) {
      // The whole stream at once, and runs that start and end anywhere.
      for (const std::size_t run : {c.granules, std::size_t{16}, std::size_t{7}, std::size_t{33}}) {
        std::vector<std::uint8_t> medians;
        for (std::size_t first = 0; first < c.granules; first += run) {
          const std::size_t count = std::min(run, c.granules - first);
          peaks::MediansOfNine(levels, lane, first, count, medians);
          ASSERT_EQ(medians.size(), count);
          for (std::size_t g = 0; g < count; ++g)
            ASSERT_EQ(medians[g], SortedMedian(levels, lane, first + g))
                << "lane " << lane << " granule " << first + g;
        }
      }
    }
  }
}

TEST(GranuleMedians, TheNetworkFindsTheMedianOfEveryOrder) {
  std::array<std::uint8_t, 9> v = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  do {
    ASSERT_EQ(peaks::MedianOfNine(v), 5);
  } while (std::next_permutation(v.begin(), v.end()));
}

}  // namespace
