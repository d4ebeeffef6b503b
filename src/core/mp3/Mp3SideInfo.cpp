#include "core/mp3/Mp3SideInfo.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace split {

namespace {

// Reads bits most significant first; reads past the end give zeros.
class BitReader {
 public:
  BitReader(const std::uint8_t* data, std::size_t bytes, std::size_t bit = 0)
      : data_(data), bits_(bytes * 8), pos_(bit) {}
  unsigned Read(unsigned count) {
    unsigned value = 0;
    for (unsigned i = 0; i < count; ++i, ++pos_)
      value = value << 1 | (pos_ < bits_ ? (data_[pos_ >> 3] >> (7 - (pos_ & 7))) & 1u : 0u);
    return value;
  }
  void Skip(std::size_t count) { pos_ += count; }
  bool Overran() const { return pos_ > bits_; }

 private:
  const std::uint8_t* data_;
  std::size_t bits_;
  std::size_t pos_;
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

// A table one size larger than the largest value needs holds at most about
// twice it: (2)^(4/3) in level.
constexpr double kTableLoosenessDb = 8.5;
constexpr std::size_t kKeptMainData = 2048;  // main_data_begin reaches back 511 bytes

struct Granule {
  unsigned part23 = 0, bigValues = 0, gain = 0, compress = 0;
  unsigned blockType = 0;
  bool mixed = false;
  unsigned tables[3] = {0, 0, 0};
  unsigned subblockGain[3] = {0, 0, 0};
  unsigned regionCount[2] = {0, 0};
  unsigned preflag = 0, scale = 0;
};

Granule ReadGranule(BitReader& bits, bool mpeg1) {
  Granule g;
  g.part23 = bits.Read(12);
  g.bigValues = bits.Read(9);
  g.gain = bits.Read(8);
  g.compress = bits.Read(mpeg1 ? 4 : 9);
  if (bits.Read(1) != 0) {  // window switching
    g.blockType = bits.Read(2);
    g.mixed = bits.Read(1) != 0;
    g.tables[0] = bits.Read(5);
    g.tables[1] = bits.Read(5);
    for (unsigned& s : g.subblockGain) s = bits.Read(3);
  } else {
    for (unsigned& t : g.tables) t = bits.Read(5);
    g.regionCount[0] = bits.Read(4);
    g.regionCount[1] = bits.Read(3);
  }
  if (mpeg1) g.preflag = bits.Read(1);
  g.scale = bits.Read(1);
  bits.Skip(1);  // count1 table
  return g;
}

// Long-block scalefactor band starts (in spectral lines) at 44.1, 48 and 32 kHz.
constexpr unsigned kBandStart[3][23] = {
    {0, 4, 8, 12, 16, 20, 24, 30, 36, 44, 52, 62, 74, 90, 110, 134, 162, 196, 238, 288, 342, 418, 576},
    {0, 4, 8, 12, 16, 20, 24, 30, 36, 42, 50, 60, 72, 88, 106, 128, 156, 190, 230, 276, 330, 384, 576},
    {0, 4, 8, 12, 16, 20, 24, 30, 36, 44, 54, 66, 82, 102, 126, 156, 194, 240, 296, 364, 448, 550, 576}};
constexpr unsigned kPretab[22] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 3, 3, 3, 2, 0};

// An MPEG-1 granule's scalefactors as read from its main data: per band for
// long blocks (band 21 has none), the largest for short ones. groups holds
// the first granule's long-block values that the second may reuse (scfsi).
struct Scalefactors {
  bool perBand = false;
  unsigned band[22] = {};
  unsigned largest = 0;
};

Scalefactors ReadScalefactors(BitReader& bits, const Granule& g, unsigned scfsi, bool second,
                              unsigned reuse[22]) {
  const unsigned s1 = kSlen1[g.compress], s2 = kSlen2[g.compress];
  Scalefactors sf;
  if (g.blockType == 2) {
    for (unsigned i = 0; i < (g.mixed ? 17u : 18u); ++i) sf.largest = std::max(sf.largest, bits.Read(s1));
    for (unsigned i = 0; i < 18; ++i) sf.largest = std::max(sf.largest, bits.Read(s2));
    return sf;
  }
  sf.perBand = true;
  static constexpr unsigned kGroupStart[5] = {0, 6, 11, 16, 21};
  for (unsigned group = 0; group < 4; ++group) {
    const bool reused = second && (scfsi >> (3 - group) & 1u);
    for (unsigned b = kGroupStart[group]; b < kGroupStart[group + 1]; ++b) {
      sf.band[b] = reused ? reuse[b] : bits.Read(group < 2 ? s1 : s2);
      reuse[b] = sf.band[b];
      sf.largest = std::max(sf.largest, sf.band[b]);
    }
  }
  return sf;
}

// 20 log10(v^(4/3)) of the largest value v each table holds (0 dB: a value of 1).
double TableLevelDb(unsigned table) {
  static const auto kLevels = [] {
    std::array<double, 32> levels{};
    for (unsigned t = 0; t < 32; ++t)
      levels[t] = TableMax(t) <= 1 ? 0.0 : 20.0 * (4.0 / 3.0) * std::log10(static_cast<double>(TableMax(t)));
    return levels;
  }();
  return kLevels[table & 31u];
}

double StepDb(const Granule& g) {
  return 1.5 * (static_cast<double>(g.gain) - 210.0);
}

// The floor from the whole granule: its largest table against its largest scaling down.
double FloorDb(const Granule& g, double maxScalefactor) {
  double valueDb = 0.0;  // the count1 region holds values of 1
  if (g.bigValues > 0)
    for (unsigned t : g.tables) valueDb = std::max(valueDb, TableLevelDb(t));
  const double reductionOctaves = 0.5 * (1 + g.scale) * (maxScalefactor + (g.preflag ? 3.0 : 0.0));
  const unsigned subblock =
      g.blockType == 2 ? std::max({g.subblockGain[0], g.subblockGain[1], g.subblockGain[2]}) : 0;
  return StepDb(g) + valueDb - 6.0206 * (reductionOctaves + 2.0 * subblock) - kTableLoosenessDb;
}

// The floor of a long-block granule region by region: each region's table
// holds (about) its largest value, scaled down by the largest scalefactor
// of the bands it covers.
double RegionFloorDb(const Granule& g, const Scalefactors& sf, unsigned rateIndex) {
  const unsigned* start = kBandStart[std::min(rateIndex, 2u)];
  const unsigned r0 = std::min(g.regionCount[0] + 1, 22u),
                 r1 = std::min(g.regionCount[0] + g.regionCount[1] + 2, 22u);
  const unsigned lines[4] = {0, start[r0], start[r1], std::min(2 * g.bigValues, 576u)};
  double best = -1000.0;
  for (unsigned region = 0; region < 3; ++region) {
    const unsigned from = lines[region], to = std::min(lines[region + 1], lines[3]);
    if (from >= to || g.tables[region] == 0) continue;
    unsigned reduction = 0;
    for (unsigned b = 0; b < 22; ++b)
      if (start[b] < to && start[b + 1] > from)
        reduction = std::max(reduction, sf.band[b] + (g.preflag ? kPretab[b] : 0));
    const double level = StepDb(g) + TableLevelDb(g.tables[region]) -
                         6.0206 * 0.5 * (1 + g.scale) * reduction - kTableLoosenessDb;
    best = std::max(best, level);
  }
  // Values of 1 past the big values: scaled by the largest scalefactor.
  Granule count1 = g;
  count1.bigValues = 0;
  return std::max(best, FloorDb(count1, sf.largest));
}

}  // namespace

void Mp3LevelEstimator::Reset() {
  mainData_.clear();
}

std::optional<double> Mp3LevelEstimator::Feed(mp3::FrameHeader header, const std::uint8_t* frame,
                                              std::size_t length) {
  if (header.Layer() != 1) return 0.0;
  const bool mpeg1 = header.Version() == 3;
  const unsigned channels = header.ChannelMode() == 3 ? 1 : 2;
  const std::size_t sideBytes = mpeg1 ? (channels == 1 ? 17 : 32) : (channels == 1 ? 9 : 17);
  const std::size_t start = 4 + (header.Protected() ? 2 : 0);
  if (length < start + sideBytes) {
    Reset();
    return 0.0;
  }
  BitReader side(frame + start, sideBytes);
  const unsigned mainDataBegin = side.Read(mpeg1 ? 9 : 8);
  side.Skip(mpeg1 ? (channels == 1 ? 5 : 3) : (channels == 1 ? 1 : 2));
  unsigned scfsi[2] = {0, 0};
  if (mpeg1)
    for (unsigned ch = 0; ch < channels; ++ch) scfsi[ch] = side.Read(4);
  Granule granules[2][2];
  for (unsigned gr = 0; gr < (mpeg1 ? 2u : 1u); ++gr)
    for (unsigned ch = 0; ch < channels; ++ch) granules[gr][ch] = ReadGranule(side, mpeg1);

  // Where this frame's main data starts in the stream's concatenated main data.
  const bool reachable = mainDataBegin <= mainData_.size();
  const std::size_t mainStart = reachable ? mainData_.size() - mainDataBegin : 0;
  mainData_.insert(mainData_.end(), frame + start + sideBytes, frame + length);

  std::optional<double> loudest;
  unsigned reuse[2][22] = {};
  std::size_t granuleBit = mainStart * 8;
  for (unsigned gr = 0; gr < (mpeg1 ? 2u : 1u); ++gr) {
    for (unsigned ch = 0; ch < channels; ++ch) {
      const Granule& g = granules[gr][ch];
      // Scalefactors of 4 bits at most when they cannot be read (MPEG-2, or
      // main data before the first frame seen).
      double level = 0.0;
      bool known = false;
      if (mpeg1 && reachable) {
        BitReader at(mainData_.data(), mainData_.size(), granuleBit);
        const Scalefactors sf = ReadScalefactors(at, g, scfsi[ch], gr == 1, reuse[ch]);
        known = !at.Overran();
        if (known)
          level = sf.perBand ? RegionFloorDb(g, sf, header.SampleRateIndex()) : FloorDb(g, sf.largest);
      }
      if (!known) level = FloorDb(g, 15.0);
      granuleBit += g.part23;
      if (g.part23 == 0) continue;
      loudest = std::max(loudest.value_or(level), level);
    }
  }
  if (mainData_.size() > 2 * kKeptMainData)
    mainData_.erase(mainData_.begin(), mainData_.end() - static_cast<std::ptrdiff_t>(kKeptMainData));
  return loudest;
}

}  // namespace split
