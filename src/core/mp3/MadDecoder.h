#pragma once
// Drives libmad in synchronous mode over a byte range of an open MP3 file and
// writes the decoded frames as interleaved little-endian 16-bit PCM.

#include <cstddef>
#include <cstdint>
#include <exception>

#include "core/AudioError.h"

class CFile;
class CPcmSink;
class CProgress;

class CMadDecoder {
 public:
  static constexpr std::size_t kInputSize = 8192;
  static constexpr std::size_t kOutputSize = 1152 * 2 * 2;

  // Decodes input from its current position up to audioEnd into output.
  CMadDecoder(CFile& input, std::uint64_t audioEnd, CPcmSink& output, CProgress* progress);
  CMadDecoder(const CMadDecoder&) = delete;
  CMadDecoder& operator=(const CMadDecoder&) = delete;

  // Writes only keep samples per channel, after skipping the first skip
  // (the encoder delay and the decoder's own delay of a gapless stream).
  void SetTrim(std::uint64_t skip, std::uint64_t keep) {
    skip_ = skip;
    keep_ = keep;
  }
  // Ends the run once the kept samples are out (a span, not a whole file).
  void StopAfterKept() { stopAfterKept_ = true; }

  // Runs the decoder; 0 when it ran to the end of the input, -1 when a
  // callback stopped it (failure, cancel or a file failure).
  int Run();

  // 0, 4000 (unrecoverable stream error) or 4001 (more than two channels).
  AudioError Error() const { return error_; }
  // A file failure raised inside a callback, to be rethrown by the caller
  // once the decoder has been shut down.
  std::exception_ptr Failure() const { return failure_; }
  // Format of the last decoded frame; 0 until a frame was decoded.
  std::uint32_t SampleRate() const { return sampleRate_; }
  std::uint16_t Channels() const { return channels_; }
  std::uint64_t FramesDecoded() const { return framesDecoded_; }

  // A decoder sample (28 fraction bits) rounded, clipped and shifted to 16 bits.
  static std::int16_t ToPcm16(std::int32_t sample);

 private:
  struct Callbacks;

  CFile& input_;
  std::uint64_t audioEnd_;
  CPcmSink& output_;
  CProgress* progress_;
  bool endOfInput_ = false;
  bool brokenOff_ = false;  // a callback stopped the run
  AudioError error_ = err::kNone;
  std::exception_ptr failure_;
  std::uint32_t sampleRate_ = 0;
  std::uint16_t channels_ = 0;
  std::uint64_t framesDecoded_ = 0;
  std::uint64_t skip_ = 0;
  std::uint64_t keep_ = UINT64_MAX;
  bool stopAfterKept_ = false;
  bool stoppedAfterKept_ = false;
  std::uint64_t samplesDecoded_ = 0;  // per channel, written or not
  std::uint8_t* inputBuffer_ = nullptr;
  std::uint8_t* outputBuffer_ = nullptr;
};
