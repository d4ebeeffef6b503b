#pragma once
// The LAME encoder as the engine drives it: interleaved samples of one or
// two channels in, MP3 frames out, written on into an open file; at the end
// the tag frame LAME reserved at the start is written over its placeholder.

#include <cstdint>
#include <memory>
#include <vector>

#include "core/AudioError.h"
#include "core/Mp3EncodeSettings.h"
#include "core/PcmSink.h"

class CFile;
struct lame_global_struct;

class CLameEncoder {
 public:
  // An encoder for the settings, rate and channels (1 or 2); nullptr with the
  // reason in error when LAME cannot start or refuses the parameters.
  static std::unique_ptr<CLameEncoder> Open(Mp3EncodeSettings settings, std::uint32_t rate,
                                            std::uint16_t channels, AudioError& error);
  ~CLameEncoder();
  CLameEncoder(const CLameEncoder&) = delete;
  CLameEncoder& operator=(const CLameEncoder&) = delete;

  // Encodes frames sample frames into out; false when the encoder failed.
  // 16-bit samples, or 32-bit ones at full scale (a 24-bit sample shifted
  // to the top), which LAME takes without losing their depth.
  bool Encode(const std::int16_t* interleaved, std::size_t frames, CFile& out);
  bool Encode(const std::int32_t* interleaved, std::size_t frames, CFile& out);
  // Flushes the encoder and writes the tag frame over the placeholder at
  // the start of out; false when the encoder failed.
  bool Finish(CFile& out);

 private:
  explicit CLameEncoder(lame_global_struct* lame);
  template <class Sample, class Call>
  bool EncodeWith(const Sample* interleaved, std::size_t frames, CFile& out, std::vector<Sample>& left,
                  std::vector<Sample>& right, Call call);
  bool WriteEncoded(CFile& out, int count);

  lame_global_struct* lame_;
  std::uint16_t channels_ = 0;
  std::size_t samplesPerCall_ = 0;
  std::vector<unsigned char> mp3_;
  std::vector<std::int16_t> left16_, right16_;
  std::vector<std::int32_t> left32_, right32_;
};

// Decoded PCM (a format's DecodeSpan) encoded into out as it comes: 16-bit
// samples as they are (the MP3 a WAV of that audio makes), others at full
// scale in 32 bits, so their depth is not cut first. Failed() once the
// encoder refused a block.
class CLameEncodingSink : public CPcmSink {
 public:
  CLameEncodingSink(CLameEncoder& encoder, CFile& out, unsigned channels, unsigned containerBytes)
      : encoder_(encoder), out_(out), channels_(channels), bytes_(containerBytes) {}
  void Write(const std::uint8_t* pcm, std::size_t count) override;
  bool Failed() const { return failed_; }

 private:
  CLameEncoder& encoder_;
  CFile& out_;
  unsigned channels_, bytes_;
  std::vector<std::int16_t> narrow_;
  std::vector<std::int32_t> wide_;
  bool failed_ = false;
};
