#pragma once
// A cheap look at how loud a Layer III frame is, without Huffman decoding:
// its side information and scalefactors. Each granule's global gain sets the
// quantiser step; the Huffman tables it picks bound its largest quantised
// value (an encoder picks the smallest table that holds it, or one a little
// larger); its scalefactors, their scale and the subblock gains say how far
// values are scaled down again. Together they give a level the granule's
// loudest value hardly falls below. Silence detection decodes only the
// frames whose level could be under the threshold.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/mp3/Mp3Frame.h"

namespace split {

class Mp3LevelEstimator {
 public:
  // The estimated floor, in dBFS, of the frame's loudest coded value: the
  // largest over its granules and channels. nullopt when every granule is
  // empty. Frames must come in stream order (the scalefactors of a frame may
  // lie in the frames before it); after a gap in the stream call Reset. A
  // frame that is not Layer III, or too short for its side information,
  // counts as loud (0 dBFS).
  std::optional<double> Feed(mp3::FrameHeader header, const std::uint8_t* frame, std::size_t length);
  void Reset();

 private:
  std::vector<std::uint8_t> mainData_;  // the latest main data of the stream, concatenated
};

}  // namespace split
