#pragma once
// The libFLAC encoder as the engine drives it: interleaved samples in, FLAC
// out. Either libFLAC writes a whole file (its STREAMINFO, with the MD5 of
// the audio, rewritten at the end; a seek table and padding reserved) into
// an open output, or it hands over each frame's bytes as they are made, for
// a writer that builds its own stream around them.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/PcmSink.h"

class CFile;

struct FlacEncodeSettings {
  unsigned compression = 5;  // libFLAC's levels 0..8
};

class CFlacEncoder {
 public:
  struct Shape {
    std::uint32_t sampleRate = 0;
    unsigned channels = 0;
    unsigned bitsPerSample = 0;
    std::uint64_t totalSamples = 0;  // 0 when unknown
    unsigned blockSize = 0;          // 0: the level's
  };
  using FrameSink = std::function<void(const std::uint8_t* bytes, std::size_t count, std::uint32_t samples)>;

  // A whole file into out (at its position 0), with the Vorbis comments
  // given ("NAME=value").
  CFlacEncoder(const Shape& shape, const FlacEncodeSettings& settings, CFile& out,
               const std::vector<std::string>& comments = {});
  // Frames only, handed to sink in order.
  CFlacEncoder(const Shape& shape, const FlacEncodeSettings& settings, FrameSink sink);
  ~CFlacEncoder();
  CFlacEncoder(const CFlacEncoder&) = delete;
  CFlacEncoder& operator=(const CFlacEncoder&) = delete;

  // Whether libFLAC took the parameters.
  bool IsReady() const { return ready_; }
  // Encodes frames sample frames of interleaved samples, each right-aligned
  // in its 32 bits. False when the encoder failed.
  bool Encode(const std::int32_t* interleaved, std::uint32_t frames);
  // Encodes what is left and completes the stream. False when it failed.
  bool Finish();
  // Why the encoder stopped, in libFLAC's words.
  std::string Failure() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  bool ready_ = false;
};

// Decoded PCM (a format's DecodeSpan) handed to an encoder as it comes;
// Failed() once the encoder refused a block.
class CFlacEncodingSink : public CPcmSink {
 public:
  CFlacEncodingSink(CFlacEncoder& encoder, unsigned channels, unsigned containerBytes)
      : encoder_(encoder), channels_(channels), bytes_(containerBytes) {}
  void Write(const std::uint8_t* pcm, std::size_t count) override;
  bool Failed() const { return failed_; }

 private:
  CFlacEncoder& encoder_;
  unsigned channels_, bytes_;
  std::vector<std::int32_t> values_;
  bool failed_ = false;
};