// WAV to MP3 through the LAME encoder.

#include <lame/lame.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <new>

#include "core/Progress.h"
#include "core/SampleConvert.h"
#include "core/StringTable.h"
#include "core/wav/WaveFile.h"

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

// LAME resamples a rate it cannot encode (below 8000 Hz) up to one it can,
// so each sample handed over becomes up to out/in samples: a whole block at
// 1000 Hz makes eight times the MP3 bytes the output buffer is sized for, and
// the encoder refuses the call (and drops the block).
struct EncoderCalls {
  std::size_t samplesPerCall;  // per channel, so one call fits the buffer
  std::size_t bufferBytes;     // room for one call and for the flush
};

EncoderCalls PlanEncoderCalls(lame_global_flags* lame) {
  const auto in = static_cast<std::uint64_t>(lame_get_in_samplerate(lame));
  const auto out = static_cast<std::uint64_t>(lame_get_out_samplerate(lame));
  if (out <= in) return {kSamplesPerChannel, kMp3BufferSize};
  // A little under the block, for the resampler's rounding.
  const auto perCall = std::max<std::uint64_t>(1, (kSamplesPerChannel - 64) * in / out);
  // The flush feeds zeros, at least one sample per step, until a few
  // frames are complete: at 1 Hz every step makes 8000 samples. Room for 64
  // input samples per unit of the ratio, at 1.25 bytes a sample, covers what
  // was measured (about 17 bytes per unit at 320 kbit/s); about 660 KB at
  // most, for a 1 Hz source.
  const std::uint64_t ratio = (out + in - 1) / in;
  return {static_cast<std::size_t>(perCall), static_cast<std::size_t>(kMp3BufferSize + ratio * 64 * 5 / 4)};
}

// Writes what one encoder call produced; false when the encoder failed.
bool WriteEncoded(CFile& out, const std::vector<unsigned char>& buffer, int count) {
  if (count < 0) return false;
  if (count > 0) out.Write(buffer.data(), static_cast<std::size_t>(count));
  return true;
}

// One encoding: the encoder, its buffers and the walk over the data chunk.
struct EncoderRun {
  lame_global_flags* lame;
  EncoderCalls calls;
  std::uint16_t channels;
  bool eightBit;
  std::vector<std::uint8_t> input, staging;
  std::vector<short> left, right;
  std::vector<unsigned char> mp3;

  std::size_t BlockBytes() const { return channels * kSamplesPerChannel; }
  void Allocate() {
    input.resize(2 * BlockBytes());
    left.resize(kSamplesPerChannel);
    right.resize(kSamplesPerChannel);
    mp3.resize(calls.bufferBytes);
    if (eightBit) staging.resize(BlockBytes());
  }
  // Encodes one block of perChannel samples from input; false when the
  // encoder fails.
  bool EncodeBlock(CFile& out, std::size_t perChannel) {
    for (std::size_t i = 0; i < perChannel; ++i) {
      const std::uint8_t* frame = input.data() + 2 * i * channels;
      left[i] = static_cast<short>(frame[0] | (frame[1] << 8));
      right[i] = channels == 2 ? static_cast<short>(frame[2] | (frame[3] << 8)) : left[i];
    }
    for (std::size_t done = 0; done < perChannel; done += calls.samplesPerCall) {
      const int count = static_cast<int>(std::min(calls.samplesPerCall, perChannel - done));
      if (!WriteEncoded(out, mp3,
                        lame_encode_buffer(lame, left.data() + done, right.data() + done, count, mp3.data(),
                                           static_cast<int>(mp3.size()))))
        return false;
    }
    return true;
  }
  // Encodes the dataSize bytes at source's position block by block, flushes
  // the encoder and writes its tag frame over the placeholder; false when
  // the encoder fails.
  bool EncodeAll(CFile& source, std::uint64_t dataSize, CFile& out, CProgress& p) {
    const std::size_t blockBytes = BlockBytes();
    std::uint64_t remaining = dataSize;
    for (;;) {
      const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, blockBytes));
      const std::size_t got = source.Read(eightBit ? staging.data() : input.data(), want);
      remaining -= got;
      if (eightBit) WidenToLe16(staging.data(), input.data(), got);
      const std::size_t samples = eightBit ? got : got / 2;
      if (!EncodeBlock(out, samples / channels)) return false;
      if (p.IsCancelled()) break;
      p.StepFile();
      if (got < blockBytes) break;
    }
    if (!WriteEncoded(out, mp3, lame_encode_flush(lame, mp3.data(), static_cast<int>(mp3.size()))))
      return false;
    // LAME reserves the first frame for its tag frame (exact length and
    // seek table for VBR and ABR); write it there now that it is known.
    const std::size_t tagSize = lame_get_lametag_frame(lame, mp3.data(), mp3.size());
    if (tagSize > 0 && tagSize <= mp3.size()) {
      const std::uint64_t end = out.GetPosition();
      out.SeekToBegin();
      out.Write(mp3.data(), tagSize);
      out.Seek(static_cast<std::int64_t>(end), CFile::From::Begin);
    }
    return true;
  }
};

// Why a source of this format cannot be encoded (checked in this order);
// none when it can.
AudioError EncodableFormatError(const WaveFormat& format, bool pcm) {
  if (format.channels > 2) return err::kTooManyChannels;
  if (format.bitsPerSample != 8 && format.bitsPerSample != 16) return err::kBitsNotSupported;
  if (!pcm) return err::kCompressedData;
  return err::kNone;
}

// An encoder set up for the settings, rate and channels; nullptr with the
// reason in error when LAME cannot start or refuses the parameters.
LameHandle OpenEncoder(Mp3EncodeSettings settings, std::uint32_t rate, std::uint16_t channels,
                       AudioError& error) {
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
  return lame;
}

}  // namespace

AudioError CWaveFile::ConvertToMp3(const std::string& outputPath, CProgress* progress,
                                   Mp3EncodeSettings settings) {
  error = EncodableFormatError(format_, IsPcm());
  if (error != err::kNone) return error;
  if (RefuseOwnSource(outputPath)) return error;
  // A source without a sample frame gives no audio to encode.
  if (WholeFrameBytes() == 0) {
    error = err::kZeroLength;
    return error;
  }
  LameHandle lame = OpenEncoder(settings, format_.samplesPerSec, format_.channels, error);
  if (!lame) return error;

  const EncoderCalls calls = PlanEncoderCalls(lame.get());
  const std::uint16_t channels = format_.channels;
  const std::size_t blockBytes = channels * kSamplesPerChannel;
  EncoderRun run{lame.get(), calls, channels, format_.bitsPerSample == 8, {}, {}, {}, {}, {}};
  try {
    run.Allocate();
  } catch (const std::bad_alloc&) {
    error = err::kNoMemory;
    return error;
  }

  CFile out;
  if (!CreateOutput(out, outputPath)) return error;
  CProgress silent;
  CProgress& p = progress ? *progress : silent;
  p.Start();
  p.SetTitle("Converting to MP3...");
  p.SetFileCount(1);
  p.SetFileNumber(1);
  p.SetConvertingText(GetFileName(), FileNamePart(outputPath));
  p.SetFileRange(ProgressTotal((dataSize_ + blockBytes - 1) / blockBytes), 1);
  file.Seek(static_cast<std::int64_t>(dataOffset_), CFile::From::Begin);

  // An encoding cut short by a file failure ends mid-frame, and its first
  // frame is still the tag frame's empty placeholder: no reader can trust
  // it, so it goes, and the message says so.
  try {
    if (!run.EncodeAll(file, dataSize_, out, p)) {
      error = err::kEncoderInit;
      return error;  // out closes itself; what was encoded so far stays
    }
    lame.reset();
    out.Close();
  } catch (CFileException& failure) {
    if (out.RemoveAndClose()) failure.AddNote(msg::kOutputRemoved);
    throw;
  }
  return error;
}
