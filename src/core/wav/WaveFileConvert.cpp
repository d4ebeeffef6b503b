// Sample conversions of a WAV file: 8 <-> 16 bits and channel ripping.

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#include "core/SampleConvert.h"
#include "core/wav/WaveFile.h"
#include "core/wav/WaveOutput.h"
#include "core/Progress.h"

namespace {

// Source bytes read and transformed at once: the block loop's progress
// steps stay per block, while the disk and the converters work on large
// buffers.
constexpr std::size_t kBatchBytes = 1u << 20;

void PutLe32(std::uint8_t* at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Copies the chosen channels of each whole frame, Width bytes per sample.
template <std::size_t Width>
std::size_t PickChannels(const std::uint8_t* in, std::size_t bytes, std::uint8_t* out, std::size_t frameSize,
                         const std::vector<std::size_t>& offsets) {
  std::uint8_t* start = out;
  const std::size_t frames = bytes / frameSize;
  for (std::size_t f = 0; f < frames; ++f, in += frameSize) {
    for (const std::size_t at : offsets) {
      std::memcpy(out, in + at, Width);
      out += Width;
    }
  }
  return static_cast<std::size_t>(out - start);
}

std::size_t PickChannelsAnyWidth(const std::uint8_t* in, std::size_t bytes, std::uint8_t* out,
                                 std::size_t frameSize, const std::vector<std::size_t>& offsets,
                                 std::size_t width) {
  switch (width) {
    case 1:
      return PickChannels<1>(in, bytes, out, frameSize, offsets);
    case 2:
      return PickChannels<2>(in, bytes, out, frameSize, offsets);
    case 3:
      return PickChannels<3>(in, bytes, out, frameSize, offsets);
    case 4:
      return PickChannels<4>(in, bytes, out, frameSize, offsets);
    default: {
      std::uint8_t* start = out;
      for (std::size_t f = 0; f < bytes / frameSize; ++f, in += frameSize) {
        for (const std::size_t at : offsets) {
          std::memcpy(out, in + at, width);
          out += width;
        }
      }
      return static_cast<std::size_t>(out - start);
    }
  }
}

}  // namespace

bool CWaveFile::MayWriteTo(const std::string& outputPath) {
  if (!IsPcm()) {
    error = err::kCompressedData;
    return false;
  }
  return !RefuseOwnSource(outputPath);
}

template <class Transform>
AudioError CWaveFile::RunConversion(const std::string& outputPath, CProgress* progress, const char* title,
                                    const WaveFormat& format, const std::vector<std::uint8_t>& extra,
                                    std::uint64_t newDataSize, std::size_t blockSize,
                                    std::size_t outputPerBlock, Transform transform) {
  // A source without a sample frame gives no audio to convert.
  if (WholeFrameBytes() == 0) {
    error = err::kZeroLength;
    return error;
  }
  CFile out;
  if (!CreateOutput(out, outputPath)) return error;
  CWaveOutput output(out, DerivedHeaders(format, extra, newDataSize), newDataSize, format.blockAlign);
  CProgress silent;
  CProgress& p = progress ? *progress : silent;
  // A buffer that cannot be allocated ends the conversion with 118; a read
  // or write failure goes on to the caller, whose message names it. Either
  // way the output keeps what was written, with a header that says so.
  try {
    output.Write([&] {
      file.Seek(static_cast<std::int64_t>(dataOffset_), CFile::From::Begin);
      const std::size_t batchBlocks = std::max<std::size_t>(1, kBatchBytes / blockSize);
      std::vector<std::uint8_t> input(batchBlocks * blockSize);
      std::vector<std::uint8_t> converted(batchBlocks * outputPerBlock);
      p.Start();
      p.SetTitle(title);
      p.SetFileCount(1);
      p.SetFileNumber(1);
      p.SetConvertingText(GetFileName(), FileNamePart(outputPath));
      p.SetFileRange(ProgressTotal(WholeFrameBytes()), static_cast<std::uint32_t>(blockSize));
      std::uint64_t remaining = WholeFrameBytes();
      bool finished = false;
      while (!finished) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, input.size()));
        const std::size_t got = file.Read(input.data(), want);
        // The data size was capped at the file when it opened: a short read
        // means the source shrank since, and the header would overstate it.
        if (got < want) throw CFileException(FileCause::EndOfFile, file.GetFilePath());
        remaining -= got;
        // A batch shorter than the buffer holds the last block (possibly empty).
        const std::size_t blocks = got / blockSize + (got < input.size() ? 1 : 0);
        std::size_t produced = 0;
        for (std::size_t b = 0; b < blocks && !finished; ++b) {
          const std::size_t length = std::min(blockSize, got - b * blockSize);
          produced += transform(input.data() + b * blockSize, length, converted.data() + produced);
          if (p.IsCancelled()) break;
          p.StepFile();
          finished = length < blockSize;
        }
        if (produced) out.Write(converted.data(), produced);
        if (p.IsCancelled()) break;
      }
    });
  } catch (const std::bad_alloc&) {
    error = err::kNoMemory;
    return error;
  }
  error = err::kNone;
  return error;
}

AudioError CWaveFile::ConvertTo16Bit(const std::string& outputPath, CProgress* progress) {
  error = err::kNone;
  if (format_.bitsPerSample != 8) {
    error = err::kNot8BitPcm;
    return error;
  }
  if (!MayWriteTo(outputPath)) return error;
  WaveFormat format = format_;
  format.bitsPerSample = 16;
  format.blockAlign = static_cast<std::uint16_t>(format_.channels * 2u);
  format.avgBytesPerSec = format_.channels * format_.samplesPerSec * 2u;
  std::vector<std::uint8_t> extra = extraFormatBytes_;
  if (IsExtensible()) extra[wav::kValidBitsAt] = 16, extra[wav::kValidBitsAt + 1] = 0;
  const std::size_t block = format_.channels * 1000u;
  return RunConversion(outputPath, progress, "Converting to 16 bit WAV file...", format, extra,
                       WholeFrameBytes() * 2, block, block * 2,
                       [](const std::uint8_t* in, std::size_t length, std::uint8_t* out) {
                         WidenToLe16(in, out, length);
                         return length * 2;
                       });
}

AudioError CWaveFile::ConvertTo8Bit(const std::string& outputPath, CProgress* progress) {
  error = err::kNone;
  if (format_.bitsPerSample != 16) {
    error = err::kNot16BitPcm;
    return error;
  }
  if (!MayWriteTo(outputPath)) return error;
  WaveFormat format = format_;
  format.bitsPerSample = 8;
  format.blockAlign = format_.channels;
  format.avgBytesPerSec = std::uint32_t{format_.channels} * format_.samplesPerSec;
  std::vector<std::uint8_t> extra = extraFormatBytes_;
  if (IsExtensible()) extra[wav::kValidBitsAt] = 8, extra[wav::kValidBitsAt + 1] = 0;
  const std::size_t block = format_.channels * 2000u;
  return RunConversion(outputPath, progress, "Converting to 8 bit WAV file...", format, extra,
                       WholeFrameBytes() / 2u, block, block / 2,
                       [](const std::uint8_t* in, std::size_t length, std::uint8_t* out) {
                         NarrowFromLe16(in, out, length / 2);
                         return length / 2;
                       });
}

AudioError CWaveFile::RipChannels(std::uint8_t channelMask, const std::string& outputPath,
                                  CProgress* progress) {
  error = err::kNone;
  if (format_.channels < 2) {
    error = err::kSingleChannel;
    return error;
  }
  if (!MayWriteTo(outputPath)) return error;
  // Samples are blockAlign / channels bytes wide (the container, which for
  // PCM is bits per sample rounded up to whole bytes).
  const std::size_t width = format_.blockAlign / format_.channels;
  // Only channels the file has are ripped: a bit for a missing channel
  // would otherwise count in the header without any audio behind it.
  std::vector<std::size_t> offsets;
  std::uint32_t speakers = 0;
  std::uint32_t speakerBits = GetChannelMask();
  for (unsigned k = 0; k < format_.channels; ++k) {
    const std::uint32_t speaker = speakerBits & (~speakerBits + 1u);  // k-th speaker: lowest bit left
    speakerBits &= speakerBits - 1u;
    if (k < 8 && (channelMask >> k) & 1u) {
      offsets.push_back(k * width);
      speakers |= speaker;
    }
  }
  const auto kept = static_cast<std::uint16_t>(offsets.size());

  WaveFormat format = format_;
  format.channels = kept;
  format.blockAlign = static_cast<std::uint16_t>(width * kept);
  format.avgBytesPerSec = format_.avgBytesPerSec / format_.channels * kept;
  std::vector<std::uint8_t> extra = extraFormatBytes_;
  if (IsExtensible()) {
    if (kept <= 2 && format_.bitsPerSample <= 16) {
      // Mono and stereo of up to 16 bits are plain PCM.
      format.formatTag = wav::kFormatPcm;
      format.extraCount = 0;
      extra.clear();
    } else {
      PutLe32(&extra[wav::kChannelMaskAt], speakers);
    }
  }
  const std::uint64_t frames = WholeFrameBytes() / format_.blockAlign;
  const std::size_t frameSize = format_.blockAlign;
  return RunConversion(outputPath, progress, "Ripping Channels...", format, extra, frames * width * kept,
                       frameSize * 1000u, width * kept * 1000u,
                       [&](const std::uint8_t* in, std::size_t length, std::uint8_t* out) {
                         return PickChannelsAnyWidth(in, length, out, frameSize, offsets, width);
                       });
}
