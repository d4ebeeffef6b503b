#pragma once
// A cheap look at how loud a Layer III frame is, from its side information
// alone (no Huffman decoding). Each granule's global gain sets the quantiser
// step; the Huffman tables it picks bound its largest quantised value; its
// scalefactor lengths, scale and subblock gains bound how far the values
// may be scaled down again. Together they give a level the frame's loudest
// value hardly falls below. Silence detection decodes only the frames whose
// level could be under the threshold.

#include <cstddef>
#include <cstdint>
#include <optional>

#include "core/mp3/Mp3Frame.h"

namespace split {

// The estimated floor, in dBFS, of the frame's loudest coded value: the
// largest over its granules and channels. nullopt when every granule is empty
// (the frame decodes to the tail of the frame before it, then silence).
// A frame that is not Layer III, or too short for its side information,
// counts as loud (0 dBFS).
std::optional<double> FrameLevelFloorDb(mp3::FrameHeader header, const std::uint8_t* frame, std::size_t length);

}  // namespace split
