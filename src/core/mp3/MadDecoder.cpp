#include "core/mp3/MadDecoder.h"

#include <mad.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "core/File.h"
#include "core/PcmSink.h"
#include "core/Progress.h"

// The three callbacks libmad calls during a synchronous run. They never let
// an exception cross the C library: a file failure is kept and the run is
// broken off, and the caller rethrows it afterwards.
struct CMadDecoder::Callbacks {
  static mad_flow Break(CMadDecoder& d) {
    d.brokenOff_ = true;
    return MAD_FLOW_BREAK;
  }

  static mad_flow Input(void* data, mad_stream* stream) {
    auto& d = *static_cast<CMadDecoder*>(data);
    if (d.endOfInput_) return MAD_FLOW_STOP;
    try {
      std::uint64_t block = d.input_.GetPosition() / kInputSize;
      // The undecoded rest of the previous buffer, where the next frame begins.
      std::size_t keep = 0;
      if (stream->next_frame && stream->bufend > stream->next_frame) {
        keep = static_cast<std::size_t>(stream->bufend - stream->next_frame);
        // No frame is this long: a buffer without any frame start is dropped.
        if (keep >= kInputSize) keep = 0;
        std::memmove(d.inputBuffer_, stream->next_frame, keep);
      }
      const std::size_t want = kInputSize - keep;
      const std::uint64_t position = d.input_.GetPosition();
      const std::uint64_t left = d.audioEnd_ > position ? d.audioEnd_ - position : 0;
      const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(want, left));
      const std::size_t got = take ? d.input_.Read(d.inputBuffer_ + keep, take) : 0;
      std::size_t length = keep + got;
      if (got < want) {
        // The last read: the guard bytes let libmad decode the final frame
        // instead of waiting for more data that never comes.
        d.endOfInput_ = true;
        std::memset(d.inputBuffer_ + length, 0, MAD_BUFFER_GUARD);
        length += MAD_BUFFER_GUARD;
      }
      mad_stream_buffer(stream, d.inputBuffer_, length);
      const std::uint64_t now = d.input_.GetPosition() / kInputSize;
      if (d.progress_)
        for (; block < now; ++block) d.progress_->StepFile();
      if (d.progress_ && d.progress_->IsCancelled()) return Break(d);
      return MAD_FLOW_CONTINUE;
    } catch (...) {
      d.failure_ = std::current_exception();
      return Break(d);
    }
  }

  static mad_flow Output(void* data, const mad_header*, mad_pcm* pcm) {
    auto& d = *static_cast<CMadDecoder*>(data);
    d.sampleRate_ = pcm->samplerate;
    d.channels_ = pcm->channels;
    if (pcm->channels > 2) {
      d.error_ = err::kDecodeTooManyChannels;
      return Break(d);
    }
    const unsigned channels = pcm->channels;
    const unsigned length = std::min<unsigned>(pcm->length, 1152);
    // The part of this frame's samples inside [skip, skip + keep).
    const std::uint64_t at = d.samplesDecoded_;
    d.samplesDecoded_ += length;
    const std::uint64_t keepEnd = d.keep_ > UINT64_MAX - d.skip_ ? UINT64_MAX : d.skip_ + d.keep_;
    const unsigned begin = static_cast<unsigned>(std::clamp<std::uint64_t>(d.skip_, at, at + length) - at);
    const unsigned end = static_cast<unsigned>(std::clamp<std::uint64_t>(keepEnd, at, at + length) - at);
    std::uint8_t* out = d.outputBuffer_;
    for (unsigned i = begin; i < end; ++i) {
      for (unsigned c = 0; c < channels; ++c) {
        const auto v = static_cast<std::uint16_t>(ToPcm16(pcm->samples[c][i]));
        *out++ = static_cast<std::uint8_t>(v);
        *out++ = static_cast<std::uint8_t>(v >> 8);
      }
    }
    try {
      d.output_.Write(d.outputBuffer_, static_cast<std::size_t>(out - d.outputBuffer_));
    } catch (...) {
      d.failure_ = std::current_exception();
      return Break(d);
    }
    ++d.framesDecoded_;
    if (d.stopAfterKept_ && d.samplesDecoded_ >= keepEnd) {
      d.stoppedAfterKept_ = true;
      return MAD_FLOW_STOP;
    }
    return MAD_FLOW_CONTINUE;
  }

  static mad_flow Error(void* data, mad_stream* stream, mad_frame*) {
    auto& d = *static_cast<CMadDecoder*>(data);
    // Damaged data, junk between frames: the decoder skips it.
    if (MAD_RECOVERABLE(stream->error)) return MAD_FLOW_CONTINUE;
    d.error_ = err::kDecodeFailed;
    return Break(d);
  }
};

CMadDecoder::CMadDecoder(CFile& input, std::uint64_t audioEnd, CPcmSink& output, CProgress* progress)
    : input_(input), audioEnd_(audioEnd), output_(output), progress_(progress) {}

int CMadDecoder::Run() {
  auto inputBuffer = std::make_unique<std::uint8_t[]>(kInputSize + MAD_BUFFER_GUARD);
  auto outputBuffer = std::make_unique<std::uint8_t[]>(kOutputSize);
  inputBuffer_ = inputBuffer.get();
  outputBuffer_ = outputBuffer.get();
  endOfInput_ = false;
  brokenOff_ = false;
  samplesDecoded_ = 0;

  mad_decoder decoder;
  mad_decoder_init(&decoder, this, Callbacks::Input, nullptr, nullptr, Callbacks::Output, Callbacks::Error,
                   nullptr);
  const int result = mad_decoder_run(&decoder, MAD_DECODER_MODE_SYNC);
  mad_decoder_finish(&decoder);
  inputBuffer_ = outputBuffer_ = nullptr;
  // libmad ends the run by itself, without asking the error callback, on a
  // stream error it cannot recover from; that is a decoding failure too.
  if (result != 0 && !brokenOff_) error_ = err::kDecodeFailed;
  return result;
}

std::int16_t CMadDecoder::ToPcm16(std::int32_t sample) {
  constexpr std::int32_t kOne = 1 << 28;
  std::int64_t v = static_cast<std::int64_t>(sample) + 4096;  // half of the lowest kept bit
  if (v >= kOne)
    v = kOne - 1;
  else if (v < -kOne)
    v = -kOne;
  return static_cast<std::int16_t>(v >> 13);
}
