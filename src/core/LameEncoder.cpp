#include "core/LameEncoder.h"

#include <lame/lame.h>

#include <algorithm>
#include <climits>

#include "core/File.h"
#include "core/SampleConvert.h"

namespace {

constexpr std::size_t kSamplesPerChannel = 8192;
// Room for one encoder call of 8192 samples: 1.25 * 8192 + 7200 bytes.
constexpr std::size_t kMp3BufferSize = 17440;

struct LameCloser {
  void operator()(lame_global_flags* handle) const { lame_close(handle); }
};
using LameHandle = std::unique_ptr<lame_global_flags, LameCloser>;

void ApplySettings(lame_global_flags* lame, const Mp3EncodeSettings& s, std::uint32_t rate,
                   std::uint16_t channels) {
  lame_set_num_samples(lame, 8192);
  lame_set_in_samplerate(lame, static_cast<int>(rate));
  lame_set_num_channels(lame, channels);
  lame_set_VBR(lame, static_cast<vbr_mode>(s.encodingMode));
  if (s.encodingMode == 2) {
    lame_set_quality(lame, s.vbrQuality);
    lame_set_VBR_min_bitrate_kbps(lame, s.bitrate);
    lame_set_VBR_max_bitrate_kbps(lame, 320);
  }
  if (s.encodingMode == 3) lame_set_VBR_mean_bitrate_kbps(lame, s.bitrate);
  lame_set_mode(lame, s.monoFlag ? MONO : STEREO);
  if (s.bitrate != 0) lame_set_brate(lame, s.bitrate);
  lame_set_copyright(lame, s.copyrightFlag);
  lame_set_error_protection(lame, s.crcFlag);
  lame_set_original(lame, s.originalFlag);
}

// The bitrate LAME's automatic rule picks for a constant-bitrate encoding of
// this rate and channel layout (128 kbit/s for CD audio); 0 when LAME
// refuses the parameters.
std::uint16_t AutomaticCbrBitrate(Mp3EncodeSettings settings, std::uint32_t rate, std::uint16_t channels) {
  LameHandle probe(lame_init());
  if (!probe) return 0;
  settings.encodingMode = 0;
  settings.bitrate = 0;
  ApplySettings(probe.get(), settings, rate, channels);
  if (lame_init_params(probe.get()) < 0) return 0;
  return static_cast<std::uint16_t>(lame_get_brate(probe.get()));
}

}  // namespace

std::unique_ptr<CLameEncoder> CLameEncoder::Open(Mp3EncodeSettings settings, std::uint32_t rate,
                                                 std::uint16_t channels, AudioError& error) {
  LameHandle lame(lame_init());
  if (!lame) {
    error = err::kEncoderInit;
    return nullptr;
  }
  // The encoder takes the rate as an int: a larger one cannot be handed over.
  if (rate > INT_MAX) {
    error = err::kEncoderParams;
    return nullptr;
  }
  // An average bitrate of 0 would make LAME aim at its lowest (8 kbit/s,
  // resampled to 8000 Hz): without a bitrate, ABR aims where CBR would.
  if (settings.encodingMode == 3 && settings.bitrate == 0)
    settings.bitrate = AutomaticCbrBitrate(settings, rate, channels);
  ApplySettings(lame.get(), settings, rate, channels);
  if (lame_init_params(lame.get()) < 0) {
    error = err::kEncoderParams;
    return nullptr;
  }
  std::unique_ptr<CLameEncoder> encoder(new CLameEncoder(lame.release()));
  encoder->channels_ = channels;
  // LAME resamples a rate it cannot encode (below 8000 Hz) up to one it can,
  // so each sample handed over becomes up to out/in samples: a whole block
  // at 1000 Hz makes eight times the MP3 bytes the buffer is sized for, and
  // the encoder refuses the call (and drops the block).
  const auto in = static_cast<std::uint64_t>(lame_get_in_samplerate(encoder->lame_));
  const auto out = static_cast<std::uint64_t>(lame_get_out_samplerate(encoder->lame_));
  encoder->samplesPerCall_ = kSamplesPerChannel;
  std::size_t bufferBytes = kMp3BufferSize;
  if (out > in) {
    // A little under the block, for the resampler's rounding.
    encoder->samplesPerCall_ =
        static_cast<std::size_t>(std::max<std::uint64_t>(1, (kSamplesPerChannel - 64) * in / out));
    // The flush feeds zeros, at least one sample per step, until a few
    // frames are complete: at 1 Hz every step makes 8000 samples. Room for
    // 64 input samples per unit of the ratio, at 1.25 bytes a sample, covers
    // what was measured (about 17 bytes per unit at 320 kbit/s); about 660 KB
    // at most, for a 1 Hz source.
    const std::uint64_t ratio = (out + in - 1) / in;
    bufferBytes = static_cast<std::size_t>(kMp3BufferSize + ratio * 64 * 5 / 4);
  }
  encoder->mp3_.resize(bufferBytes);
  return encoder;
}

CLameEncoder::CLameEncoder(lame_global_struct* lame) : lame_(lame) {}

CLameEncoder::~CLameEncoder() {
  lame_close(lame_);
}

bool CLameEncoder::WriteEncoded(CFile& out, int count) {
  if (count < 0) return false;
  if (count > 0) out.Write(mp3_.data(), static_cast<std::size_t>(count));
  return true;
}

template <class Sample, class Call>
bool CLameEncoder::EncodeWith(const Sample* interleaved, std::size_t frames, CFile& out,
                              std::vector<Sample>& left, std::vector<Sample>& right, Call call) {
  left.resize(frames);
  right.resize(frames);
  for (std::size_t i = 0; i < frames; ++i) {
    left[i] = interleaved[i * channels_];
    right[i] = channels_ == 2 ? interleaved[i * channels_ + 1] : left[i];
  }
  for (std::size_t done = 0; done < frames; done += samplesPerCall_) {
    const int count = static_cast<int>(std::min(samplesPerCall_, frames - done));
    if (!WriteEncoded(out, call(left.data() + done, right.data() + done, count))) return false;
  }
  return true;
}

bool CLameEncoder::Encode(const std::int16_t* interleaved, std::size_t frames, CFile& out) {
  return EncodeWith(interleaved, frames, out, left16_, right16_, [this](short* l, short* r, int n) {
    return lame_encode_buffer(lame_, l, r, n, mp3_.data(), static_cast<int>(mp3_.size()));
  });
}

bool CLameEncoder::Encode(const std::int32_t* interleaved, std::size_t frames, CFile& out) {
  return EncodeWith(interleaved, frames, out, left32_, right32_, [this](int* l, int* r, int n) {
    return lame_encode_buffer_int(lame_, l, r, n, mp3_.data(), static_cast<int>(mp3_.size()));
  });
}

bool CLameEncoder::Finish(CFile& out) {
  if (!WriteEncoded(out, lame_encode_flush(lame_, mp3_.data(), static_cast<int>(mp3_.size())))) return false;
  // LAME reserves the first frame for its tag frame (exact length and seek
  // table for VBR and ABR); write it there now that it is known.
  const std::size_t tagSize = lame_get_lametag_frame(lame_, mp3_.data(), mp3_.size());
  if (tagSize > 0 && tagSize <= mp3_.size()) {
    const std::uint64_t end = out.GetPosition();
    out.SeekToBegin();
    out.Write(mp3_.data(), tagSize);
    out.Seek(static_cast<std::int64_t>(end), CFile::From::Begin);
  }
  return true;
}

void CLameEncodingSink::Write(const std::uint8_t* pcm, std::size_t count) {
  const std::size_t values = count / bytes_;
  bool ok = true;
  if (bytes_ == 2) {
    narrow_.resize(values);
    for (std::size_t i = 0; i < values; ++i)
      narrow_[i] = static_cast<std::int16_t>(pcm[2 * i] | pcm[2 * i + 1] << 8);
    ok = encoder_.Encode(narrow_.data(), values / channels_, out_);
  } else {
    wide_.resize(values);
    PcmToInt32(pcm, values, bytes_, bytes_ * 8, wide_.data());
    for (std::int32_t& v : wide_)
      v = static_cast<std::int32_t>(static_cast<std::uint32_t>(v) << (32 - 8 * bytes_));
    ok = encoder_.Encode(wide_.data(), values / channels_, out_);
  }
  failed_ = failed_ || !ok;
}
