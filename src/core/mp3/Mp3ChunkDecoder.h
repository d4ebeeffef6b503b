#pragma once
// Decodes one stretch of MP3 frames with libmad into window levels of its
// own (threads never share a window; the caller merges them).
//
// Synthesis, a third of libmad's work, is skipped inside loud stretches:
// the subband samples of a frame never exceed the peak of the samples the
// frame and the next one put out by more than 2.3 dB (the analysis
// filterbank's gain; measured over LAME streams of tones, noise and music),
// so a frame whose subband peak lies 6 dB above the threshold has a loud
// sample in its own output or the next frame's. A frame is synthesised
// unless it and its neighbours all are loud in that sense, so
// the edges of every silence come from real samples; a skipped frame's
// samples count as loud (see kBefore and kAfter for which neighbours). After
// a skip the frame before is synthesised again, unseen, so that the
// filterbank's state is right. Only when silences of at least four frames
// are looked for.

#include <cstdint>
#include <string>
#include <vector>

#include "core/WindowLevels.h"
#include "core/mp3/Mp3FrameWalk.h"

class CFile;

namespace split {

struct Mp3Chunk {
  std::uint64_t leadIn = 0;  // first frame decoded
  std::uint64_t first = 0;   // first frame whose samples count
  std::uint64_t end = 0;
};

struct Mp3Timeline {
  std::uint32_t samplesPerFrame = 0;
  std::uint64_t skip = 0;   // decoded samples before the timeline's sample 0
  std::uint64_t total = 0;  // samples in the timeline
};

struct ChunkLevels {
  std::uint64_t firstWindow = 0;
  std::vector<WindowLevel> windows;
};

// threshold is the amplitude (full scale 1.0); shape gives the windows'
// length; minSamples the shortest silence looked for. Throws ScanError when
// the bytes cannot be read.
ChunkLevels DecodeMp3Chunk(const CFile& file, const std::string& path, const Mp3FrameList& frames,
                           const Mp3Chunk& chunk, const Mp3Timeline& timeline, const WindowLevels& shape,
                           double threshold, std::uint64_t minSamples);

}  // namespace split
