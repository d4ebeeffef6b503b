#pragma once
// A RIFF WAV file: the header facts read at open, the headers of new files
// derived from them, cutting, sample conversions and MP3 encoding.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/AudioFile.h"
#include "core/SplitEstimate.h"
#include "core/wav/WaveHeader.h"

namespace wav {
constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatMsAdpcm = 2;
constexpr std::uint16_t kFormatFloat = 3;
constexpr std::uint16_t kFormatALaw = 6;
constexpr std::uint16_t kFormatMuLaw = 7;
constexpr std::uint16_t kFormatImaAdpcm = 0x11;
constexpr std::uint16_t kFormatGsm610 = 0x31;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;
// WAVE_FORMAT_EXTENSIBLE extension: valid bits (2), channel mask (4), sub-format (16).
constexpr std::uint16_t kExtensibleSize = 22;
constexpr std::size_t kValidBitsAt = 0;
constexpr std::size_t kChannelMaskAt = 2;
constexpr std::size_t kSubFormatAt = 6;
inline constexpr const char* kFileFilter = "WAV files (*.wav)|*.wav|All files (*.*)|*.*||";
inline constexpr const char* kSelectionSavedCaption = "WAV Split Saved";
}  // namespace wav

// The WAV format as the registry lists it.
const CAudioFormat& WaveFileFormat();

class CWaveFile : public CAudioFile {
 public:
  explicit CWaveFile(const std::string& path, CWriteFaults* writeFaults = nullptr);
  ~CWaveFile() override;

  const CAudioFormat& Format() const override;
  std::uint32_t GetSampleRate() const override { return format_.samplesPerSec; }
  std::uint16_t GetChannels() const override { return format_.channels; }
  std::uint16_t GetBitsPerSample() const override { return format_.bitsPerSample; }
  std::uint64_t GetSampleCount() const override;
  std::uint64_t CountDecodedSamples() override;
  std::vector<std::string> GetInformationLines() const override;
  FactObject DescribeFacts() override;
  SplitEstimate EstimateSplit(std::uint32_t splits) const override;

  OperationResult SplitEqually(const ShredRequest& request, CProgress* progress) override;
  OperationResult SaveSelectionSamples(const std::string& outputPath, std::uint64_t firstSample,
                                       std::uint64_t endSample, CProgress* progress) override;

  std::uint64_t DecodeSpan(std::uint64_t firstSample, std::uint64_t endSample, CPcmSink& sink) override;
  split::WindowLevels ScanLevels(const split::LevelScanOptions& options,
                                 split::LevelScanStats* stats) override;
  std::unique_ptr<peaks::CPeakSource> MakePeakSource(std::string& whyNot) override;

  bool Offers(Conversion conversion) const override;
  AudioError ConvertToMp3(const std::string& outputPath, CProgress* progress,
                          Mp3EncodeSettings settings) override;
  // The WAV-only operations; each leaves its outcome in the error code too.
  AudioError ConvertTo16Bit(const std::string& outputPath, CProgress* progress) override;
  AudioError ConvertTo8Bit(const std::string& outputPath, CProgress* progress) override;
  AudioError RipChannels(std::uint8_t channelMask, const std::string& outputPath,
                         CProgress* progress) override;

  std::uint64_t GetDataOffset() const { return dataOffset_; }
  // Audio bytes: the stored data size capped at what follows the data offset
  // (all of it when the size is 0xFFFFFFFF, the mark of a streaming writer).
  std::uint64_t GetDataSize() const { return dataSize_; }
  // The data size as the header stores it.
  std::uint64_t GetHeaderDataSize() const { return dataChunkSize_; }
  std::uint64_t GetRiffSize() const { return riffSize_; }
  std::uint16_t GetFormatTag() const { return format_.formatTag; }
  std::uint16_t GetBlockAlign() const { return format_.blockAlign; }
  std::uint32_t GetAvgBytesPerSec() const { return format_.avgBytesPerSec; }
  const WaveFormat& GetFormat() const { return format_; }
  const std::vector<std::uint8_t>& GetExtraFormatBytes() const { return extraFormatBytes_; }
  bool HasFactChunk() const { return hasFact_; }
  std::uint32_t GetFactSize() const { return static_cast<std::uint32_t>(factData_.size()); }
  bool IsExtensible() const;
  // Speaker positions of WAVE_FORMAT_EXTENSIBLE; 0 for other formats.
  std::uint32_t GetChannelMask() const;
  // Plain PCM, or WAVE_FORMAT_EXTENSIBLE with the PCM sub-format.
  bool IsPcm() const;
  // True when the chunks were found by walking the RIFF chunk list (false:
  // by the tag search of the first 1000 bytes).
  bool FoundByChunkWalk() const { return walked_; }

  WaveSplitFacts GetSplitFacts() const;

  // The header of a new WAV file: this file's chunks with the given format
  // record and extra bytes, its fact chunk (counting the new file's
  // samples), and dataSize audio bytes; RF64 when the sizes need 64 bits.
  std::vector<std::uint8_t> BuildDerivedHeader(const WaveFormat& format,
                                               const std::vector<std::uint8_t>& extra,
                                               std::uint64_t dataSize) const;
  std::vector<std::uint8_t> BuildDerivedHeader(const WaveFormat& format,
                                               const std::vector<std::uint8_t>& extra, std::uint64_t dataSize,
                                               WaveForm form) const;
  // True for an RF64 file (64-bit sizes in its ds64 chunk).
  bool IsRf64() const { return rf64_; }
  // Samples per channel in dataSize bytes of a format: whole blocks times
  // the samples of a block (the fact chunk's count).
  std::uint64_t SamplesIn(const WaveFormat& format, const std::vector<std::uint8_t>& extra,
                          std::uint64_t dataSize) const;
  // BuildDerivedHeader for any data size, with this format record, in the
  // form an output of plannedSize audio bytes needs (a header written
  // before the audio keeps its length when it is written again).
  std::function<std::vector<std::uint8_t>(std::uint64_t)> DerivedHeaders(
      const WaveFormat& format, const std::vector<std::uint8_t>& extra, std::uint64_t plannedSize) const;

 private:
  void Parse();
  bool WalkChunks(std::uint64_t length);
  void SearchTags(std::uint64_t length);
  void ReadFormat(std::uint64_t length, std::int64_t chunkSize);
  void ReadFact(std::uint64_t length, std::uint32_t storedSize);
  bool FormatIsDamaged() const;
  // This file's chunks around a format record, for a derived header.
  WaveHeaderParts HeaderParts(const WaveFormat& format, const std::vector<std::uint8_t>& extra) const;
  // The audio bytes in whole sample frames: what is cut and converted.
  std::uint64_t WholeFrameBytes() const { return dataSize_ - dataSize_ % format_.blockAlign; }
  void WritePiece(CFile& out, std::uint64_t start, std::uint64_t length, std::uint64_t overlap,
                  CProgress& progress);
  // Checks shared by the conversions; false (with the code set) on refusal.
  bool MayWriteTo(const std::string& outputPath);
  // Writes the derived header, then transforms the data chunk block by
  // block (Transform maps one input block to output bytes).
  template <class Transform>
  AudioError RunConversion(const std::string& outputPath, CProgress* progress, const char* title,
                           const WaveFormat& format, const std::vector<std::uint8_t>& extra,
                           std::uint64_t newDataSize, std::size_t blockSize, std::size_t outputPerBlock,
                           Transform transform);

  std::uint64_t riffSize_ = 0;
  WaveFormat format_;
  std::vector<std::uint8_t> extraFormatBytes_;
  bool hasFact_ = false;
  std::vector<std::uint8_t> factData_;
  std::uint64_t dataChunkSize_ = 0;
  std::uint64_t dataOffset_ = 0;
  std::uint64_t dataSize_ = 0;
  bool walked_ = false;
  bool formatTooShort_ = false;  // a "fmt " chunk smaller than its 16-byte record
  bool rf64_ = false;
  bool dataToEnd_ = false;  // the data size is the streaming mark: the audio runs to the end
};
