// Decoding an MP3 file to a 16-bit PCM WAV file through libmad.

#include <algorithm>

#include "core/PcmSink.h"
#include "core/Progress.h"
#include "core/StringTable.h"
#include "core/mp3/MadDecoder.h"
#include "core/mp3/Mp3File.h"
#include "core/wav/WaveHeader.h"

namespace {

constexpr const char* kConvertTitle = "Converting to WAV...";

}  // namespace

CMp3File::DecodeTrim CMp3File::GetDecodeTrim() {
  DecodeTrim trim;
  if (const std::optional<mp3::LameTag>& tag = GetTrustedLameTag()) {
    const std::uint64_t total = std::uint64_t{tag->frames} * firstAudio_.SamplesPerFrame();
    if (total >= std::uint64_t{tag->delay} + tag->padding) {
      trim.skip = tag->delay + mp3::kDecoderDelay;
      trim.keep = total - tag->delay - tag->padding;
    }
  }
  return trim;
}

AudioError CMp3File::ConvertToWav(const std::string& outputPath, CProgress* progress) {
  if (!scanned_) return error;
  error = err::kNone;
  if (RefuseOwnSource(outputPath)) return error;
  if (Rewind() != err::kNone) return error;
  CFile output;
  if (!CreateOutput(output, outputPath)) return error;
  // A decode that may pass 4 GiB (16-bit samples at the first frame's rate
  // and channels) is RF64 from the start.
  const unsigned channels = firstAudio_.ChannelMode() == 3 ? 1 : 2;
  const WaveForm form = DecodedWaveForm(duration * firstAudio_.SampleRate() * channels * 2);
  // Past the header once it is written: a file that holds no more is no WAV.
  std::uint64_t headerEnd = UINT64_MAX;
  // What was decoded before a failure stays under the name, readable, when
  // it holds audio and its header can be fixed; otherwise (a full disk at
  // the header, a header that cannot be rewritten) the file goes and the
  // message says so.
  const auto keepOrRemove = [&](std::exception_ptr failure) {
    bool kept = false;
    try {
      output.Flush();
    } catch (const CFileException&) {  // what did not fit is dropped
    }
    try {
      if (output.GetLength() > headerEnd) {
        WriteFixedWaveHeader(output, outputChannels_, outputSampleRate_, form);
        output.Close();
        kept = true;
      }
    } catch (...) {
    }
    if (kept || !output.RemoveAndClose()) std::rethrow_exception(failure);
    try {
      std::rethrow_exception(failure);
    } catch (CFileException& fileFailure) {
      fileFailure.AddNote(msg::kOutputRemoved);
      throw;
    }
  };
  try {
    WriteFixedWaveHeader(output, outputChannels_, outputSampleRate_, form);
    headerEnd = output.GetPosition();
  } catch (const CFileException&) {
    keepOrRemove(std::current_exception());
  }

  CProgress silent;
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
  CFilePcmSink sink(output);
  CMadDecoder decoder(file, audioEnd_, sink, progress);
  const DecodeTrim trim = GetDecodeTrim();
  decoder.SetTrim(trim.skip, trim.keep);
  try {
    decoder.Run();
  } catch (const CFileException&) {
    keepOrRemove(std::current_exception());
  }
  if (decoder.Channels() != 0) {
    outputSampleRate_ = decoder.SampleRate();
    outputChannels_ = decoder.Channels();
  }
  if (const std::exception_ptr failure = decoder.Failure()) keepOrRemove(failure);
  error = decoder.Error();
  // A decode that gave no sample at all (a stream damaged past reading)
  // would pass for a conversion: it is an error, and the empty file goes.
  if (output.GetPosition() <= headerEnd && !progress->IsCancelled()) {
    output.RemoveAndClose();
    if (error == err::kNone) error = err::kZeroLength;
    return error;
  }
  try {
    WriteFixedWaveHeader(output, outputChannels_, outputSampleRate_, form);
    output.Close();
  } catch (const CFileException&) {
    keepOrRemove(std::current_exception());
  }
  return error;
}
