#pragma once
// The bit reservoir of Layer III: a frame's main data may begin up to 511
// bytes (MPEG 1; 255 for MPEG 2 and 2.5) before its own header, inside the
// main data area of the frames before it. A piece cut on a frame boundary
// lacks those bytes; a reservoir frame supplies them. Pure functions on bytes.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/mp3/Mp3Frame.h"

namespace mp3 {

// Bytes of side information: 17/32 (MPEG 1 mono/other), 9/17 (MPEG 2 and 2.5).
std::size_t SideInfoLength(FrameHeader header);
// Where the main data area begins: after the header, the CRC and the side information.
std::size_t MainDataOffset(FrameHeader header);
// The largest main_data_begin: 511 for MPEG 1, 255 for MPEG 2 and 2.5.
std::uint32_t MaxMainDataBegin(FrameHeader header);
// main_data_begin of the frame at frame (header first, 9 bits for MPEG 1,
// 8 for MPEG 2 and 2.5); 0 when the bytes are too few.
std::uint32_t MainDataBegin(const std::uint8_t* frame, std::size_t length);

// One frame as the reservoir sees it.
struct FrameReach {
  std::uint32_t mainDataBegin = 0;  // how far its main data begins before its header
  std::uint32_t mainDataBytes = 0;  // size of its own main data area
};

// How many main data bytes before the first frame's header the frames (in
// stream order, from that first frame on) reach back for.
std::uint32_t ReservoirNeeded(const std::vector<FrameReach>& frames);

// The header of a reservoir frame for a stream of frames like like: the
// highest bitrate of its version, same sampling rate and channel mode, no
// CRC, no padding.
FrameHeader ReservoirFrameHeader(FrameHeader like);
// The main data bytes a reservoir frame holds.
std::uint32_t ReservoirCapacity(FrameHeader like);

// A reservoir frame: all-zero side information (so it decodes to silence and
// uses none of its main data), main data zero except for its last count
// bytes, which are tail (the reservoir the next frames reach back for).
// count is cut to the capacity (keeping the bytes nearest the end).
std::vector<std::uint8_t> BuildReservoirFrame(FrameHeader like, const std::uint8_t* tail, std::size_t count);
// A silent frame: the lowest bitrate, all-zero side information and main data.
std::vector<std::uint8_t> BuildSilentFrame(FrameHeader like);

}  // namespace mp3
