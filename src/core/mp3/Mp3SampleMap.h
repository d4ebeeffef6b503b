#pragma once
// Where the samples of an MP3 file's decode lie in its frames, and the
// header-frame fields that make a piece play exactly the samples [a, b).
//
// A Layer III decoder outputs samples per frame samples for each frame it
// decodes: frame k fills the output slot [k × spf, (k + 1) × spf) of the
// stream. Decoders that honour a LAME header frame drop its delay plus their
// own fixed delay of 529 samples from the front and the padding minus 529
// from the back. So sample s of the whole file's decode lies at stream
// position s + skip, where skip is the source's delay + 529 when its LAME
// header frame is trusted, and 0 otherwise (decoders then play every slot).
//
// A frame's output is exact only when the frame before it was decoded too
// (the filterbank's overlap), and its first 529 samples only when the state
// of the synthesis filterbank is right as well, which the frame before does
// not restore. A piece that starts with the source's first frame starts
// from silence, as the whole file does, and is exact from its first sample.
// So a piece for the samples [a, b) copies the frames [f − 1, e) of the
// source, where f is the frame whose slot, shifted by 529 samples, holds a
// (f = 0 when a lies in the source's first 529 + spf stream samples: no
// frame before), and e − 1 the frame whose slot holds b − 1. Lead-in frames
// of its own come first. Its header frame's delay skips the lead-in, the
// frame before and the head of f's slot up to a: head trim − 529 samples
// after f's slot start, with a head trim of 529 to 529 + spf − 1 samples.
// Its padding drops the tail of the last slot after b, plus 529.
//
// With the usual lead-in (a reservoir frame and the frame before, 2 × spf)
// the delay is at most 2 × spf + spf − 1 = 3455 for MPEG 1, inside its
// 12-bit field; a third lead-in frame (a silent one that keeps mpg123's
// rounding phase) fits only while the head trim allows, and is left out
// otherwise. The padding stays below 529 + spf, or is the source's own for
// a piece that ends where the source does.

#include <cstdint>

namespace mp3 {

struct SampleMap {
  std::uint32_t samplesPerFrame = 1152;
  std::uint64_t skip = 0;     // stream samples before the decode's sample 0
  std::uint64_t frames = 0;   // audio frames of the stream
  std::uint64_t samples = 0;  // samples of the whole decode

  // The map of a stream with a trusted LAME header frame (delay and padding
  // as it states them) or without one (nothing is dropped).
  static SampleMap Trusted(std::uint32_t samplesPerFrame, std::uint64_t frames, std::uint32_t delay,
                           std::uint32_t padding);
  static SampleMap Plain(std::uint32_t samplesPerFrame, std::uint64_t frames);

  // The frame whose slot holds sample s (frames when past the end).
  std::uint64_t FrameHolding(std::uint64_t sample) const;
  // The first frame a gapless piece starting at sample s plays from: the
  // one whose slot, 529 samples on, holds s (0 in the first frame's reach).
  std::uint64_t FrameStarting(std::uint64_t sample) const;
  // The first frame whose slot starts at or after sample s's position
  // (frames at most): the end of a run of frames that holds every sample before s.
  std::uint64_t FrameEnding(std::uint64_t sample) const;
  // The first and last frame whose slot holds a sample of the decode: the
  // music, without the frames the delay and padding drop entirely.
  std::uint64_t FirstMusicFrame() const;
  std::uint64_t LastMusicFrame() const;
};

// The frames of a gapless piece and the header frame's fields.
struct PieceCut {
  std::uint64_t firstFrame = 0;  // the first frame whose slot holds a sample of the piece
  std::uint64_t endFrame = 0;    // one past the last frame the piece copies
  std::uint32_t headTrim = 0;    // stream samples from firstFrame's slot start to a
  std::uint32_t padding = 0;     // the header frame's padding
};

// The piece for the samples [first, end) of map's decode (clipped to it).
PieceCut PlanPieceCut(const SampleMap& map, std::uint64_t first, std::uint64_t end);

// The header frame's delay for a piece whose firstFrame slot starts slotStart
// samples into the piece's own decode (after its lead-in frames):
// slotStart + headTrim − 529, which may exceed the field (see FitsDelayField).
std::uint64_t PieceDelay(std::uint64_t slotStart, std::uint32_t headTrim);

// True when a delay or padding fits the LAME extension's 12-bit field.
bool FitsDelayField(std::uint64_t value);

}  // namespace mp3
