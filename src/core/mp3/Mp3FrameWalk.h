#pragma once
// Every frame of an MP3 stream in one pass over its bytes: where each starts
// and how loud its side information says it can be.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/mp3/Mp3Frame.h"

class CFile;

namespace split {

constexpr float kEmptyFrame = -1000.0f;

struct Mp3FrameList {
  std::vector<std::uint64_t> offsets;  // file offsets of the frames, rising; one more: the end
  std::vector<float> floors;  // estimated level floor of each frame, dBFS; kEmptyFrame: no coded values
  std::uint64_t Count() const { return floors.size(); }
};

// Walks the frames of path between audioStart and audioEnd that belong to
// the stream of first, skipping junk between frames. Throws ScanError when
// the file cannot be read.
Mp3FrameList WalkMp3Frames(const std::string& path, std::uint64_t audioStart, std::uint64_t audioEnd,
                           mp3::FrameHeader first);

// Opens path for a level scan's reads; throws ScanError when it cannot.
void OpenForScan(CFile& file, const std::string& path);

// Reads [from, to) of the open file into bytes (with ReadAt: any thread);
// throws ScanError naming path on failure or when the file ends before to.
void ReadRange(const CFile& file, const std::string& path, std::uint64_t from, std::uint64_t to,
               std::vector<std::uint8_t>& bytes);

}  // namespace split
