#include "core/split/Mp3SideInfo.h"

#include <algorithm>
#include <cmath>

namespace split {

namespace {

// Reads bits most significant first; the caller checks the length first.
class BitReader {
 public:
  explicit BitReader(const std::uint8_t* data) : data_(data) {}
  unsigned Read(unsigned count) {
    unsigned value = 0;
    for (unsigned i = 0; i < count; ++i, ++pos_)
      value = value << 1 | ((data_[pos_ >> 3] >> (7 - (pos_ & 7))) & 1u);
    return value;
  }
  void Skip(std::size_t count) { pos_ += count; }

 private:
  const std::uint8_t* data_;
  std::size_t pos_ = 0;
};

// The largest value each of the 32 big-value Huffman tables codes (15 plus
// the escape bits' range from table 16 on).
unsigned TableMax(unsigned table) {
  static constexpr unsigned kPlain[16] = {0, 1, 2, 2, 0, 3, 3, 5, 5, 5, 7, 7, 7, 15, 0, 15};
  static constexpr unsigned kLinbits[16] = {1, 2, 3, 4, 6, 8, 10, 13, 4, 5, 6, 7, 8, 9, 11, 13};
  return table < 16 ? kPlain[table] : 15 + (1u << kLinbits[table - 16]) - 1;
}

// MPEG-1 scalefactor bit lengths by scalefac_compress.
constexpr unsigned kSlen1[16] = {0, 0, 0, 0, 3, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4};
constexpr unsigned kSlen2[16] = {0, 1, 2, 3, 0, 1, 2, 3, 1, 2, 3, 1, 2, 3, 2, 3};

// A value's level is 20 log10(step × |ix|^(4/3) × 2^-(reduction)); the
// estimate also allows for a table picked one size too large.
constexpr double kTableLoosenessDb = 8.5;

struct Granule {
  unsigned part23 = 0, bigValues = 0, gain = 0, compress = 0;
  bool shortBlocks = false;
  unsigned tables[3] = {0, 0, 0};
  unsigned subblockGain[3] = {0, 0, 0};
  unsigned preflag = 0, scale = 0;
};

Granule ReadGranule(BitReader& bits, bool mpeg1) {
  Granule g;
  g.part23 = bits.Read(12);
  g.bigValues = bits.Read(9);
  g.gain = bits.Read(8);
  g.compress = bits.Read(mpeg1 ? 4 : 9);
  if (bits.Read(1) != 0) {  // window switching
    g.shortBlocks = bits.Read(2) == 2;
    bits.Skip(1);  // mixed blocks
    g.tables[0] = bits.Read(5);
    g.tables[1] = bits.Read(5);
    for (unsigned& s : g.subblockGain) s = bits.Read(3);
  } else {
    for (unsigned& t : g.tables) t = bits.Read(5);
    bits.Skip(7);  // region counts
  }
  if (mpeg1) g.preflag = bits.Read(1);
  g.scale = bits.Read(1);
  bits.Skip(1);  // count1 table
  return g;
}

double FloorDb(const Granule& g, bool mpeg1) {
  unsigned maxIx = 1;  // the count1 region holds values of 1
  if (g.bigValues > 0)
    for (unsigned t : g.tables) maxIx = std::max(maxIx, TableMax(t));
  // Scalefactors of 4 bits at most (MPEG-1 by the table, MPEG-2 assumed).
  const unsigned slen = mpeg1 ? std::max(kSlen1[g.compress], kSlen2[g.compress]) : 4;
  const double maxScalefactor = static_cast<double>((1u << slen) - 1) + (g.preflag ? 3.0 : 0.0);
  const double reductionOctaves = 0.5 * (1 + g.scale) * maxScalefactor;
  const unsigned subblock = g.shortBlocks ? std::max({g.subblockGain[0], g.subblockGain[1], g.subblockGain[2]}) : 0;
  const double stepDb = 1.5 * (static_cast<double>(g.gain) - 210.0);
  const double valueDb = 20.0 * (4.0 / 3.0) * std::log10(static_cast<double>(maxIx));
  return stepDb + valueDb - 6.0206 * (reductionOctaves + 2.0 * subblock) - kTableLoosenessDb;
}

}  // namespace

std::optional<double> FrameLevelFloorDb(mp3::FrameHeader header, const std::uint8_t* frame, std::size_t length) {
  if (header.Layer() != 1) return 0.0;
  const bool mpeg1 = header.Version() == 3;
  const unsigned channels = header.ChannelMode() == 3 ? 1 : 2;
  const std::size_t sideBytes = mpeg1 ? (channels == 1 ? 17 : 32) : (channels == 1 ? 9 : 17);
  const std::size_t start = 4 + (header.Protected() ? 2 : 0);
  if (length < start + sideBytes) return 0.0;
  BitReader bits(frame + start);
  // main_data_begin, private bits, scfsi.
  bits.Skip(mpeg1 ? 9 + (channels == 1 ? 5 : 3) + 4 * channels : 8 + (channels == 1 ? 1 : 2));
  std::optional<double> loudest;
  for (unsigned gr = 0; gr < (mpeg1 ? 2u : 1u); ++gr) {
    for (unsigned ch = 0; ch < channels; ++ch) {
      const Granule g = ReadGranule(bits, mpeg1);
      if (g.part23 == 0) continue;
      const double level = FloorDb(g, mpeg1);
      loudest = std::max(loudest.value_or(level), level);
    }
  }
  return loudest;
}

}  // namespace split
