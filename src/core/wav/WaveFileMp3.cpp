// WAV to MP3 through the LAME encoder.

#include <algorithm>
#include <climits>
#include <memory>
#include <new>

#include "core/ConversionProgress.h"
#include "core/LameEncoder.h"
#include "core/Progress.h"
#include "core/SampleConvert.h"
#include "core/StringTable.h"
#include "core/wav/WaveFile.h"

namespace {

constexpr std::size_t kSamplesPerChannel = 8192;

// Why a source of this format cannot be encoded (checked in this order);
// none when it can.
AudioError EncodableFormatError(const WaveFormat& format, bool pcm) {
  if (format.channels > 2) return err::kTooManyChannels;
  if (format.bitsPerSample != 8 && format.bitsPerSample != 16) return err::kBitsNotSupported;
  if (!pcm) return err::kCompressedData;
  return err::kNone;
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
  std::unique_ptr<CLameEncoder> encoder =
      CLameEncoder::Open(settings, format_.samplesPerSec, format_.channels, error);
  if (!encoder) return error;

  const std::uint16_t channels = format_.channels;
  const bool eightBit = format_.bitsPerSample == 8;
  const std::size_t blockBytes = channels * kSamplesPerChannel;
  std::vector<std::uint8_t> staging;
  std::vector<std::int16_t> samples;
  try {
    // A block is blockBytes of the data chunk, whatever the sample size.
    staging.resize(blockBytes);
    samples.resize(blockBytes);
  } catch (const std::bad_alloc&) {
    error = err::kNoMemory;
    return error;
  }

  CFile out;
  if (!CreateOutput(out, outputPath)) return error;
  CProgress silent;
  CProgress& p = progress ? *progress : silent;
  StartConversionProgress(p, "Converting to MP3...", GetFileName(), FileNamePart(outputPath),
                          ProgressTotal((dataSize_ + blockBytes - 1) / blockBytes));
  file.Seek(static_cast<std::int64_t>(dataOffset_), CFile::From::Begin);

  // An encoding cut short by a file failure ends mid-frame, and its first
  // frame is still the tag frame's empty placeholder: no reader can trust
  // it, so it goes, and the message says so.
  try {
    std::uint64_t remaining = dataSize_;
    for (;;) {
      const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, staging.size()));
      const std::size_t got = file.Read(staging.data(), want);
      remaining -= got;
      if (eightBit) {
        WidenToLe16(staging.data(), reinterpret_cast<std::uint8_t*>(samples.data()), got);
      } else {
        for (std::size_t i = 0; i + 1 < got; i += 2)
          samples[i / 2] = static_cast<std::int16_t>(staging[i] | (staging[i + 1] << 8));
      }
      const std::size_t values = eightBit ? got : got / 2;
      if (!encoder->Encode(samples.data(), values / channels, out)) {
        error = err::kEncoderInit;
        return error;  // out closes itself; what was encoded so far stays
      }
      if (p.IsCancelled()) break;
      p.StepFile();
      if (got < staging.size()) break;
    }
    if (!encoder->Finish(out)) {
      error = err::kEncoderInit;
      return error;
    }
    encoder.reset();
    out.Close();
  } catch (CFileException& failure) {
    if (out.RemoveAndClose()) failure.AddNote(msg::kOutputRemoved);
    throw;
  }
  return error;
}
