#pragma once
// Decodes a run of frames of a FLAC file with libFLAC. The decoder is fed a
// stream of its own: the "fLaC" mark, this file's STREAMINFO (its length and
// MD5 cleared, so a run is never checked against the whole) and the run's
// bytes read with ReadAt, so several decoders may share one open file on
// several threads.

#include <cstdint>
#include <functional>

#include "core/flac/FlacFrameIndex.h"

class CFile;

namespace flac {

// One decoded frame: per-channel samples, right-aligned in 32 bits.
using BlockSink = std::function<void(const std::int32_t* const* channels, std::uint32_t samples)>;

// Decodes frames [first, end) of index in order, each to sink. Throws a
// CAudioFailure naming the frame (number and time) when one is damaged or
// does not decode, and CFileException when the file cannot be read.
void DecodeFrames(const CFile& file, const Metadata& meta, const FrameIndex& index, std::size_t first,
                  std::size_t end, const BlockSink& sink);

// Decodes the samples [first, end) of the stream (clipped to the index)
// interleaved, in blocks of at most one frame, to sink. Returns the sample
// frames delivered. Throws as DecodeFrames.
using InterleavedSink = std::function<void(const std::int32_t* samples, std::uint32_t frames)>;
std::uint64_t DecodeInterleaved(const CFile& file, const Metadata& meta, const FrameIndex& index,
                                std::uint64_t first, std::uint64_t end, const InterleavedSink& sink);

// The failure of a damaged frame: the file, the frame's number and its time.
[[noreturn]] void ThrowDamagedFrame(const std::string& path, const FrameIndex& index, std::size_t frame,
                                    std::uint32_t sampleRate);

}  // namespace flac
