// Decoding an MP3 file to a 16-bit PCM WAV file through libmad.

#include <algorithm>

#include "audio/MadDecoder.h"
#include "audio/Mp3File.h"
#include "ops/Progress.h"

namespace {

constexpr const char* kConvertTitle = "Converting to WAV...";

void Put16(std::uint8_t*& out, std::uint16_t v) {
  *out++ = static_cast<std::uint8_t>(v);
  *out++ = static_cast<std::uint8_t>(v >> 8);
}

void Put32(std::uint8_t*& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) *out++ = static_cast<std::uint8_t>(v >> (8 * i));
}

void PutId(std::uint8_t*& out, const char* id) {
  for (int i = 0; i < 4; ++i) *out++ = static_cast<std::uint8_t>(id[i]);
}

// Writes the 44-byte PCM header at the start of output from its current
// length and leaves the file positioned at its end. Written first into the
// empty file only to reserve the space (the sizes then wrap), and again at
// the end with the true sizes; sizes beyond 32 bits are held at the maximum.
void WriteDecodedWaveHeader(CFile& output, std::uint16_t channels, std::uint32_t sampleRate) {
  output.Flush();
  const std::uint64_t length = output.GetLength();
  auto size = [length](std::uint64_t header) {
    return length < header ? static_cast<std::uint32_t>(length - header)
                           : static_cast<std::uint32_t>(std::min<std::uint64_t>(length - header, UINT32_MAX));
  };
  std::uint8_t header[44];
  std::uint8_t* out = header;
  PutId(out, "RIFF");
  Put32(out, size(8));
  PutId(out, "WAVE");
  PutId(out, "fmt ");
  Put32(out, 16);
  Put16(out, 1);
  Put16(out, channels);
  Put32(out, sampleRate);
  Put32(out, static_cast<std::uint32_t>(channels) * sampleRate * 2);
  Put16(out, static_cast<std::uint16_t>(channels * 2));
  Put16(out, 16);
  PutId(out, "data");
  Put32(out, size(44));
  output.Seek(0, CFile::From::Begin);
  output.Write(header, sizeof header);
  output.Seek(0, CFile::From::End);
}

}  // namespace

int CMp3File::ConvertToWav(const std::string& outputPath, CProgress* progress) {
  if (!scanned_) return -1;
  error = err::kNone;
  if (RefuseOwnSource(outputPath)) return -1;
  if (Rewind() != err::kNone) return -1;
  CFile output;
  if (!CreateOutput(output, outputPath)) return -1;
  WriteDecodedWaveHeader(output, outputChannels_, outputSampleRate_);

  CProgressCounter silent;
  if (!progress) progress = &silent;
  progress->Start();
  progress->SetTitle(kConvertTitle);
  progress->SetFileCount(1);
  progress->SetFileNumber(1);
  progress->SetConvertingText(GetFileName(), FileNamePart(outputPath));
  progress->SetFileRange(static_cast<std::uint32_t>(
                             std::min<std::uint64_t>(file.GetLength() / CMadDecoder::kInputSize, UINT32_MAX)),
                         1);

  // The decoder sees the audio only: no VBR header frame, no ID3v1 tag.
  CMadDecoder decoder(file, audioEnd_, output, progress);
  const int result = decoder.Run();
  if (decoder.Channels() != 0) {
    outputSampleRate_ = decoder.SampleRate();
    outputChannels_ = decoder.Channels();
  }
  if (const std::exception_ptr failure = decoder.Failure()) {
    // Keep what was decoded readable if the file layer still allows it.
    try {
      WriteDecodedWaveHeader(output, outputChannels_, outputSampleRate_);
    } catch (...) {
    }
    output.Abort();
    std::rethrow_exception(failure);
  }
  error = decoder.Error();
  WriteDecodedWaveHeader(output, outputChannels_, outputSampleRate_);
  output.Close();
  return result;
}
