// The FLAC format behind the engine's format interface: what the registry
// knows of it, and the facts, decoding and conversions of CFlacFile.

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "core/AudioFailure.h"
#include "core/ConversionProgress.h"
#include "core/LameEncoder.h"
#include "core/PieceTags.h"
#include "core/Progress.h"
#include "core/SampleConvert.h"
#include "core/StringTable.h"
#include "core/TimeText.h"
#include "core/Workers.h"
#include "core/flac/FlacDecoder.h"
#include "core/flac/FlacFile.h"
#include "core/wav/WaveHeader.h"

namespace {

class CFlacFormat : public CAudioFormat {
 public:
  const char* Name() const override { return "FLAC"; }
  const char* Extension() const override { return ".flac"; }
  const char* FileNoun() const override { return "a FLAC file"; }
  const char* DefaultExtension() const override { return "*.FLAC"; }
  const char* FileFilter() const override { return "FLAC files (*.flac)|*.flac|All files (*.*)|*.*||"; }
  // Rippers write an album image's FILE line as WAVE whatever its coding.
  const char* CueFileType() const override { return "WAVE"; }
  std::string PieceName(const std::string& base, const std::string& suffix,
                        std::uint32_t number) const override {
    std::string name = FileNamePart(base);
    if (name.size() > 5 && ToUpperAscii(name.substr(name.size() - 5)) == ".FLAC")
      name.resize(name.size() - 5);
    return FolderPart(base) + name + suffix + "-" + std::to_string(number) + ".flac";
  }
  std::optional<Conversion> MadeBy() const override { return Conversion::ToFlac; }
  bool Converts(Conversion conversion) const override {
    return conversion == Conversion::ToWav || conversion == Conversion::ToMp3;
  }
  std::unique_ptr<CAudioFile> Open(const std::string& path, CWriteFaults* writeFaults) const override {
    return std::make_unique<CFlacFile>(path, writeFaults);
  }
  // A FLAC piece of a FLAC source carries its comments and pictures already.
  void TagPiece(const std::string&, const std::string& piece,
                const split::PieceTagFacts& facts) const override {
    split::TagFlacPiece(piece, facts);
  }
};

// Samples decoded and converted at a time: bounded memory for any span.
constexpr std::uint32_t kPcmBlock = 1 << 18;

std::string Hex(const std::array<std::uint8_t, 16>& bytes) {
  std::string text;
  char two[3];
  for (std::uint8_t b : bytes) {
    std::snprintf(two, sizeof two, "%02x", b);
    text += two;
  }
  return text;
}

}  // namespace

const CAudioFormat& FlacFileFormat() {
  static const CFlacFormat format;
  return format;
}

CFlacFile::CFlacFile(const std::string& path, CWriteFaults* writeFaults) : CAudioFile(path, writeFaults) {
  if (error != err::kNone) return;
  flac::MetadataFault fault;
  meta_ = flac::ReadMetadata(file, fault);
  switch (fault) {
    case flac::MetadataFault::None:
      break;
    case flac::MetadataFault::OggFlac:
      error = err::kOggFlac;
      return;
    default:
      error = err::kInvalidFlac;
      return;
  }
  duration = static_cast<double>(GetSampleCount()) / meta_.info.sampleRate;
}

CFlacFile::~CFlacFile() = default;

const CAudioFormat& CFlacFile::Format() const {
  return FlacFileFormat();
}

std::uint16_t CFlacFile::GetBitsPerSample() const {
  return static_cast<std::uint16_t>((meta_.info.bitsPerSample + 7) / 8 * 8);
}

const flac::FrameIndex& CFlacFile::Frames() const {
  std::lock_guard<std::mutex> lock(indexLock_);
  if (!index_) index_ = std::make_unique<flac::FrameIndex>(flac::ScanFrames(file, meta_));
  return *index_;
}

std::uint64_t CFlacFile::GetSampleCount() const {
  {
    std::lock_guard<std::mutex> lock(indexLock_);
    if (index_) return index_->samples;
  }
  // STREAMINFO's count until the frames are counted; 0 means unknown.
  return meta_.info.totalSamples != 0 || error != err::kNone
             ? meta_.info.totalSamples
             : const_cast<CFlacFile*>(this)->CountDecodedSamples();
}

std::uint64_t CFlacFile::CountDecodedSamples() {
  if (error != err::kNone) return 0;
  const std::uint64_t samples = Frames().samples;
  duration = static_cast<double>(samples) / meta_.info.sampleRate;
  return samples;
}

std::vector<std::string> CFlacFile::GetInformationLines() const {
  const flac::StreamInfo& info = meta_.info;
  std::vector<std::string> lines{
      FormatText("File size - %lu bytes", static_cast<unsigned long>(file.IsOpen() ? file.GetLength() : 0)),
      FormatText("Sampling Rate - %u Smp/sec", info.sampleRate),
      FormatText("Channels - %u", info.channels),
      FormatText("Bits per sample - %u", info.bitsPerSample),
      FormatText("Samples - %llu", static_cast<unsigned long long>(GetSampleCount())),
      FormatText("Block size - %u to %u samples", info.minBlock, info.maxBlock),
      info.maxFrame ? FormatText("Frame size - %u to %u bytes", info.minFrame, info.maxFrame)
                    : std::string("Frame size - not stated"),
      "MD5 of the audio - " + (info.HasMd5() ? Hex(info.md5) : std::string("not stated")),
      "Encoder - " + meta_.vendor,
      FormatText("Play Duration - %.2lf Sec(s)", duration),
  };
  return lines;
}

std::vector<CAudioFile::TagField> CFlacFile::GetTagFields() const {
  std::vector<TagField> fields{{"File name", GetFileName(), false}};
  for (const std::string& comment : meta_.comments) {
    const std::size_t eq = comment.find('=');
    if (eq == std::string::npos || eq == 0) continue;
    std::string label = comment.substr(0, eq);
    std::transform(label.begin() + 1, label.end(), label.begin() + 1,
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    fields.push_back({label, comment.substr(eq + 1), false});
  }
  if (meta_.pictures) fields.push_back({"Pictures", std::to_string(meta_.pictures), false});
  return fields;
}

FactObject CFlacFile::DescribeFacts() {
  const flac::StreamInfo& info = meta_.info;
  FactList tags;
  for (const std::string& comment : meta_.comments) tags.push_back(comment);
  FactList cueTracks;
  for (const flac::CueTrack& track : meta_.cueTracks)
    cueTracks.push_back(FactValue(
        FactObject{{"number", track.number}, {"offsetSamples", track.offset}, {"audio", track.audio}}));
  return {{"type", "flac"},
          {"channels", GetChannels()},
          {"bitsPerSample", info.bitsPerSample},
          {"minBlockSize", info.minBlock},
          {"maxBlockSize", info.maxBlock},
          {"minFrameSize", info.minFrame},
          {"maxFrameSize", info.maxFrame},
          {"md5", info.HasMd5() ? FactValue(Hex(info.md5)) : FactValue()},
          {"vendor", meta_.vendor},
          {"tags", tags},
          {"pictures", meta_.pictures},
          {"seekPoints", meta_.seekPoints},
          {"cueTracks", cueTracks},
          {"audioStart", meta_.audioStart}};
}

SplitEstimate CFlacFile::EstimateSplit(std::uint32_t splits) const {
  // A piece's share of the audio bytes, as for WAV: the estimate's checks
  // and texts are the same, its size the compressed one.
  WaveSplitFacts facts;
  const std::uint64_t audioBytes =
      file.IsOpen() && file.GetLength() > meta_.audioStart ? file.GetLength() - meta_.audioStart : 0;
  facts.dataSize = audioBytes;
  facts.blockAlign = 1;
  facts.avgBytesPerSec = duration > 0 ? static_cast<std::uint32_t>(std::max(1.0, audioBytes / duration)) : 1;
  return EstimateWaveSplit(facts, splits);
}

std::uint64_t CFlacFile::DecodeSamples(
    std::uint64_t first, std::uint64_t end,
    const std::function<void(const std::int32_t*, std::uint32_t)>& sink) const {
  return flac::DecodeInterleaved(file, meta_, Frames(), first, end, sink);
}

std::uint64_t CFlacFile::DecodeSpan(std::uint64_t firstSample, std::uint64_t endSample, CPcmSink& sink) {
  if (error != err::kNone) throw CAudioFailure(error, GetFilePath());
  const unsigned containerBytes = GetBitsPerSample() / 8u;
  std::vector<std::uint8_t> pcm;
  return DecodeSamples(firstSample, endSample, [&](const std::int32_t* samples, std::uint32_t count) {
    const std::size_t values = std::size_t{count} * meta_.info.channels;
    pcm.resize(values * containerBytes);
    Int32ToPcm(samples, values, meta_.info.bitsPerSample, containerBytes, pcm.data());
    sink.Write(pcm.data(), pcm.size());
  });
}

bool CFlacFile::Offers(Conversion conversion) const {
  if (conversion == Conversion::ToWav) return true;
  // LAME encodes mono and stereo.
  return conversion == Conversion::ToMp3 && meta_.info.channels <= 2;
}

AudioError CFlacFile::ConvertToWav(const std::string& outputPath, CProgress* progress) {
  if (error != err::kNone) return error;
  if (RefuseOwnSource(outputPath)) return error;
  const std::uint64_t total = GetSampleCount();
  CheckSpan(0, total);
  if (Frames().samples == 0) {
    error = err::kZeroLength;
    return error;
  }
  CFile out;
  if (!CreateOutput(out, outputPath)) return error;
  CProgress silent;
  CProgress& p = progress ? *progress : silent;
  const std::uint64_t samples = Frames().samples;
  StartConversionProgress(p, "Converting to WAV...", GetFileName(), FileNamePart(outputPath),
                          ProgressTotal((samples + kPcmBlock - 1) / kPcmBlock));

  const unsigned channels = meta_.info.channels, containerBytes = GetBitsPerSample() / 8u;
  // The stream's own depth, in an EXTENSIBLE header when it is not a whole
  // number of bytes or has more than two channels.
  const WaveFormat format =
      PcmWaveFormat(static_cast<std::uint16_t>(channels), meta_.info.sampleRate, containerBytes);
  const std::uint64_t dataBytes = samples * format.blockAlign;
  const WaveHeaderParts parts = PcmWaveHeaderParts(format, meta_.info.bitsPerSample);
  const std::vector<std::uint8_t> header =
      BuildWaveHeader(parts, dataBytes, samples, WaveFormFor(parts, dataBytes));
  out.Write(header.data(), header.size());
  std::uint64_t written = 0;
  bool cancelled = false;
  // Frames decode independently: every core decodes blocks of a round,
  // then the round is written in order.
  const unsigned threads = std::max(1u, std::min(4u, std::thread::hardware_concurrency()));
  std::vector<std::vector<std::uint8_t>> round(2 * threads);
  for (std::uint64_t at = 0; at < samples && !cancelled;) {
    std::atomic<std::size_t> next{0};
    const std::uint64_t roundStart = at;
    RunOnThreads(threads, [&] {
      for (std::size_t k; (k = next++) < round.size();) {
        round[k].clear();
        const std::uint64_t from = roundStart + k * kPcmBlock;
        if (from >= samples) continue;
        DecodeSamples(
            from, std::min(samples, from + kPcmBlock), [&](const std::int32_t* s, std::uint32_t frames) {
              const std::size_t values = std::size_t{frames} * channels, size = round[k].size();
              round[k].resize(size + values * containerBytes);
              Int32ToPcm(s, values, meta_.info.bitsPerSample, containerBytes, round[k].data() + size);
            });
      }
    });
    for (const std::vector<std::uint8_t>& block : round) {
      if (block.empty()) break;
      out.Write(block.data(), block.size());
      written += block.size() / format.blockAlign;
      at += kPcmBlock;
      p.StepFile();
    }
    cancelled = p.IsCancelled();
  }
  if (written != samples) {
    // Cancelled: the header states what the file holds.
    const std::vector<std::uint8_t> honest =
        BuildWaveHeader(parts, written * format.blockAlign, written, WaveFormFor(parts, dataBytes));
    out.Seek(0, CFile::From::Begin);
    out.Write(honest.data(), honest.size());
  }
  out.Close();
  return error;
}

AudioError CFlacFile::ConvertToMp3(const std::string& outputPath, CProgress* progress,
                                   Mp3EncodeSettings settings) {
  if (error != err::kNone) return error;
  if (meta_.info.channels > 2) {
    error = err::kTooManyChannels;
    return error;
  }
  if (RefuseOwnSource(outputPath)) return error;
  const std::uint64_t samples = Frames().samples;
  CheckSpan(0, samples);
  if (samples == 0) {
    error = err::kZeroLength;
    return error;
  }
  std::unique_ptr<CLameEncoder> encoder =
      CLameEncoder::Open(settings, meta_.info.sampleRate, meta_.info.channels, error);
  if (!encoder) return error;
  CFile out;
  if (!CreateOutput(out, outputPath)) return error;
  CProgress silent;
  CProgress& p = progress ? *progress : silent;
  StartConversionProgress(p, "Converting to MP3...", GetFileName(), FileNamePart(outputPath),
                          ProgressTotal((samples + kPcmBlock - 1) / kPcmBlock));
  // An output that is not closed is removed as it goes.
  CLameEncodingSink sink(*encoder, out, meta_.info.channels, GetBitsPerSample() / 8u);
  for (std::uint64_t at = 0; at < samples && !sink.Failed(); at += kPcmBlock) {
    DecodeSpan(at, std::min(samples, at + kPcmBlock), sink);
    p.StepFile();
    if (p.IsCancelled()) break;
  }
  if (sink.Failed() || !encoder->Finish(out)) {
    error = err::kEncoderInit;
    return error;
  }
  out.Close();
  return error;
}

std::vector<CAudioFile::CueMark> CFlacFile::GetEmbeddedCue() const {
  std::vector<CueMark> marks;
  for (const flac::CueTrack& track : meta_.cueTracks)
    if (track.audio) marks.push_back({track.number, track.pregap, track.offset});
  return marks;
}
