#include "core/AudioFile.h"

#include <sys/stat.h>

#include <algorithm>

#include "core/ConversionProgress.h"
#include "core/Progress.h"
#include "core/StringTable.h"
#include "core/TimeText.h"

namespace {
// Deferred bytes are handed to the file layer in large transfers.
constexpr std::uint64_t kCopyBatch = 8u << 20;
// A watched copy (an MP3 piece's) starts and drains its two-thread pipeline
// once a transfer: a piece of a 100 MB file goes in one. The cancel flag is
// still read every 10000 bytes, and acted on after at most this much.
constexpr std::uint64_t kWatchedCopyBatch = 32u << 20;
}  // namespace

CAudioFile::CAudioFile(const std::string& path, CWriteFaults* writeFaults)
    : path_(path), writeFaults_(writeFaults) {
  if (const CFile::Opened opened = file.Open(path, CFile::Mode::ReadShared); !opened) {
    error = err::kCannotOpen;
    errorPath_ = path;
    errorCause_ = opened.osError;
    return;
  }
  path_ = file.GetFilePath();
  sourceState_ = ReadSourceState();
  if (file.GetLength() == 0) error = err::kZeroLength;
}

CAudioFile::SourceState CAudioFile::ReadSourceState() const {
  struct stat st {};
  if (!file.IsOpen() || ::fstat(file.Descriptor(), &st) != 0) return {};
  return {static_cast<std::uint64_t>(st.st_size), st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
}

CAudioFile::~CAudioFile() = default;

OperationResult CAudioFile::SaveSelection(const std::string& outputPath, std::uint32_t startSecond,
                                          std::uint32_t endSecond, CProgress* progress) {
  const std::uint32_t rate = GetSampleRate();
  return SaveSelectionSamples(outputPath, timetext::SampleAtSecond(startSecond, rate),
                              timetext::SampleAtSecond(endSecond, rate), progress);
}

void CAudioFile::SetOverlapTime(std::uint32_t seconds) {
  overlapTime = seconds;
  overlapMicros = std::uint64_t{seconds} * timetext::kMicrosPerSecond;
}

void CAudioFile::SetOverlapMicros(std::uint64_t micros) {
  overlapMicros = std::min(micros, timetext::kMaxMicros);
  const std::uint64_t seconds = (overlapMicros + timetext::kMicrosPerSecond / 2) / timetext::kMicrosPerSecond;
  overlapTime = static_cast<std::uint32_t>(std::min<std::uint64_t>(seconds, UINT32_MAX));
}

AudioError CAudioFile::ConvertTo(Conversion conversion, const std::string& outputPath, CProgress* progress,
                                 const Mp3EncodeSettings& mp3, const FlacEncodeSettings& flac) {
  switch (conversion) {
    case Conversion::ToFlac:
      return ConvertToFlac(outputPath, progress, flac);
    case Conversion::ToMp3:
      return ConvertToMp3(outputPath, progress, mp3);
    case Conversion::ToWav:
      return ConvertToWav(outputPath, progress);
    case Conversion::To16Bit:
      return ConvertTo16Bit(outputPath, progress);
    case Conversion::To8Bit:
      return ConvertTo8Bit(outputPath, progress);
    case Conversion::RipChannels:
      break;
  }
  return err::kNotOffered;
}

namespace {

// Samples decoded and encoded at a time.
constexpr std::uint64_t kFlacBlock = 1 << 16;

}  // namespace

AudioError CAudioFile::ConvertToFlac(const std::string& outputPath, CProgress* progress,
                                     const FlacEncodeSettings& settings) {
  if (!Offers(Conversion::ToFlac)) return err::kNotOffered;
  error = err::kNone;
  if (RefuseOwnSource(outputPath)) return error;
  const unsigned channels = GetChannels(), containerBytes = (GetBitsPerSample() + 7u) / 8u;
  if (channels == 0 || channels > 8) {
    error = err::kTooManyChannels;
    return error;
  }
  const std::uint64_t total = GetSampleCount();
  if (total == 0) {
    error = err::kZeroLength;
    return error;
  }
  CFile out;
  if (!CreateOutput(out, outputPath)) return error;
  // An output that is not closed is removed as it goes: every return and
  // failure below leaves no file.
  CFlacEncoder encoder({GetSampleRate(), channels, containerBytes * 8, total, 0}, settings, out);
  if (!encoder.IsReady()) {
    error = err::kFlacEncoder;
    return error;
  }
  CProgress silent;
  CProgress& p = progress ? *progress : silent;
  StartConversionProgress(p, "Converting to FLAC...", GetFileName(), FileNamePart(outputPath),
                          ProgressTotal((total + kFlacBlock - 1) / kFlacBlock));
  CFlacEncodingSink sink(encoder, channels, containerBytes);
  // An estimated length (an MP3 without a trusted header) may be short: the
  // decode runs until it gives less than asked.
  for (std::uint64_t at = 0;; at += kFlacBlock) {
    const std::uint64_t got = DecodeSpan(at, at + kFlacBlock, sink);
    p.StepFile();
    if (sink.Failed() || got < kFlacBlock || p.IsCancelled()) break;
  }
  if (sink.Failed() || !encoder.Finish()) {
    error = err::kFlacEncoder;
    return error;
  }
  out.Close();
  return error;
}

AudioError CAudioFile::ConvertToMp3(const std::string&, CProgress*, Mp3EncodeSettings) {
  return err::kNotOffered;
}

AudioError CAudioFile::ConvertToWav(const std::string&, CProgress*) {
  return err::kNotOffered;
}

AudioError CAudioFile::ConvertTo16Bit(const std::string&, CProgress*) {
  return err::kNotOffered;
}

AudioError CAudioFile::ConvertTo8Bit(const std::string&, CProgress*) {
  return err::kNotOffered;
}

AudioError CAudioFile::RipChannels(std::uint8_t, const std::string&, CProgress*) {
  return err::kNotOffered;
}

std::string CAudioFile::GetFileName() const {
  return FileNamePart(path_);
}

bool CAudioFile::FindChunk(const char* tag) {
  const std::uint64_t before = file.GetPosition();
  file.SeekToBegin();
  unsigned matched = 0;
  for (int compared = 0; compared < 1000; ++compared) {
    unsigned char byte;
    if (file.Read(&byte, 1) != 1) break;
    if (byte == static_cast<unsigned char>(tag[matched])) {
      if (++matched == 4) {
        file.Seek(-4, CFile::From::Current);
        return true;
      }
    } else {
      matched = 0;
    }
  }
  file.Seek(static_cast<std::int64_t>(before), CFile::From::Begin);
  return false;
}

std::uint64_t CAudioFile::CopyData(CFile& output, std::uint64_t count, CProgress* progress,
                                   const CFile::CopyObserver* observer) {
  // The block loop below decides what is copied and when the file bar steps
  // and the cancel flag is read, exactly as a 10000-byte copy would; the
  // bytes themselves are moved in large batches, so the disk sees large
  // transfers and cancel still stops after the current block.
  const std::uint64_t length = file.GetLength();
  const std::uint64_t position = file.GetPosition();
  std::uint64_t available = length > position ? length - position : 0;
  std::uint64_t pending = 0;
  std::uint64_t copied = 0;
  bool sourceEnded = false;

  auto flush = [&] {
    if (pending == 0 || sourceEnded) return;
    const std::uint64_t moved = file.CopyTo(output, pending, observer);
    copied += moved;
    if (moved < pending) sourceEnded = true;  // the source shrank meanwhile
    pending = 0;
  };

  const std::uint64_t batch = observer ? kWatchedCopyBatch : kCopyBatch;
  std::uint64_t first = std::min<std::uint64_t>(count % kCopyBlock, available);
  pending += first;
  available -= first;
  std::uint64_t total = first;
  while (total < count) {
    if (progress) progress->StepFile();
    const std::uint64_t take = std::min<std::uint64_t>(kCopyBlock, available);
    if (take == 0) break;
    pending += take;
    available -= take;
    if (pending >= batch) flush();
    if (sourceEnded) break;
    if (progress && progress->IsCancelled()) break;
    total += take;
  }
  flush();
  // Bytes that were there when the copy began and are gone now: the source
  // shrank under us, and the output would claim audio it does not hold.
  if (sourceEnded) throw CFileException(FileCause::EndOfFile, file.GetFilePath());
  return copied;
}

bool CAudioFile::RefuseOwnSource(const std::string& outputPath) {
  if (!IsSameFile(file, outputPath)) return false;
  error = err::kOutputIsSource;
  return true;
}

bool CAudioFile::CreateOutput(CFile& output, const std::string& outputPath) {
  if (const SourceState now = ReadSourceState(); !(now == sourceState_)) {
    throw CAudioFailure(err::kFileFault, GetFilePath(), 0,
                        "The file " + GetFilePath() + " changed since it was opened (" +
                            std::to_string(sourceState_.size) + " bytes then, " + std::to_string(now.size) +
                            " now); open it again. Nothing was written.");
  }
  const CFile::Opened opened = output.Open(outputPath, CFile::Mode::CreateWhole, writeFaults_);
  if (opened) {
    lastOutputPath_ = output.GetFilePath();
    output.SetBeforeCommit(outputFinisher_);
    return true;
  }
  error = err::kCannotCreateOutput;
  errorPath_ = outputPath;
  errorCause_ = opened.osError;
  return false;
}
