// The WAV format behind the engine's format interface: what the registry
// knows of it, and the format-neutral side of CWaveFile (facts, decoding,
// analysis, tags, the conversions it offers).

#include <algorithm>
#include <memory>
#include <vector>

#include "core/AudioFailure.h"
#include "core/PieceTags.h"
#include "core/StringTable.h"
#include "core/wav/WaveCut.h"
#include "core/wav/WaveFile.h"
#include "core/wav/WaveLevels.h"
#include "core/wav/WavePeaks.h"

namespace {

class CWaveFormat : public CAudioFormat {
 public:
  const char* Name() const override { return "WAV"; }
  const char* Extension() const override { return ".wav"; }
  const char* FileNoun() const override { return "a WAV file"; }
  const char* DefaultExtension() const override { return "*.WAV"; }
  const char* FileFilter() const override { return wav::kFileFilter; }
  const char* CueFileType() const override { return "WAVE"; }
  std::string PieceName(const std::string& base, const std::string& suffix,
                        std::uint32_t number) const override {
    return WavePieceName(base, suffix, number);
  }
  std::optional<Conversion> MadeBy() const override { return Conversion::ToWav; }
  bool Converts(Conversion conversion) const override { return conversion != Conversion::ToWav; }
  std::unique_ptr<CAudioFile> Open(const std::string& path, CWriteFaults* writeFaults) const override {
    return std::make_unique<CWaveFile>(path, writeFaults);
  }
  void TagPiece(const std::string& source, const std::string& piece,
                const split::PieceTagFacts& facts) const override {
    split::TagWavePiece(source, piece, facts);
  }
};

// Reads through a bounded buffer: a span of any length never holds more
// than this in memory.
constexpr std::size_t kDecodeBlock = 1 << 20;

}  // namespace

const CAudioFormat& WaveFileFormat() {
  static const CWaveFormat format;
  return format;
}

const CAudioFormat& CWaveFile::Format() const {
  return WaveFileFormat();
}

std::uint64_t CWaveFile::CountDecodedSamples() {
  return format_.blockAlign == 0 ? 0 : dataSize_ / format_.blockAlign;
}

FactObject CWaveFile::DescribeFacts() {
  return {{"type", "wav"},
          {"formatTag", GetFormatTag()},
          {"channels", GetChannels()},
          {"bitsPerSample", GetBitsPerSample()},
          {"blockAlign", GetBlockAlign()},
          {"bytesPerSecond", GetAvgBytesPerSec()},
          {"channelMask", GetChannelMask()},
          {"dataOffset", GetDataOffset()},
          {"dataBytes", GetDataSize()}};
}

SplitEstimate CWaveFile::EstimateSplit(std::uint32_t splits) const {
  return EstimateWaveSplit(GetSplitFacts(), splits);
}

std::uint64_t CWaveFile::DecodeSpan(std::uint64_t firstSample, std::uint64_t endSample, CPcmSink& sink) {
  // PCM is its own decode; coded forms (ADPCM, A-law...) have no decoder here.
  if (error != err::kNone || !IsPcm() || format_.blockAlign == 0)
    throw CAudioFailure(err::kCompressedData, GetFilePath(), 0,
                        GetFilePath() + ": " + LoadMessage(err::kCompressedData));
  const std::uint64_t total = WholeFrameBytes() / format_.blockAlign;
  const std::uint64_t end = std::min(endSample, total);
  if (firstSample >= end) return 0;
  std::vector<std::uint8_t> block(kDecodeBlock - kDecodeBlock % format_.blockAlign);
  std::uint64_t at = dataOffset_ + firstSample * format_.blockAlign;
  std::uint64_t left = (end - firstSample) * format_.blockAlign;
  while (left > 0) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left, block.size()));
    const std::size_t got = file.ReadAt(block.data(), want, at);
    // The file shrank under the decode: what is missing is not silence.
    if (got < want) throw CFileException(FileCause::EndOfFile, GetFilePath());
    sink.Write(block.data(), got);
    at += got;
    left -= got;
  }
  return end - firstSample;
}

split::WindowLevels CWaveFile::ScanLevels(const split::LevelScanOptions& options, split::LevelScanStats*) {
  return split::ScanWaveLevels(*this, options.threshold);
}

std::unique_ptr<peaks::CPeakSource> CWaveFile::MakePeakSource(std::string& whyNot) {
  return peaks::MakeWavePeakSource(*this, whyNot);
}

bool CWaveFile::Offers(Conversion conversion) const {
  switch (conversion) {
    case Conversion::ToMp3:
      return true;
    case Conversion::ToWav:
      return false;
    case Conversion::To16Bit:
      return format_.bitsPerSample == 8;
    case Conversion::To8Bit:
      return format_.bitsPerSample == 16;
    case Conversion::RipChannels:
      return format_.channels > 1;
    case Conversion::ToFlac:
      return IsPcm() && format_.channels >= 1 && format_.channels <= 8 && format_.bitsPerSample <= 32;
  }
  return false;
}
