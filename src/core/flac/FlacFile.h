#pragma once
// A native FLAC file: its metadata read at open, its frames indexed when a
// cut or decode first needs them. Pieces are the source's own frames,
// renumbered, with only the two edge frames decoded and encoded again, so a
// cut is lossless and costs little more than a copy.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/AudioFile.h"
#include "core/flac/FlacFrameIndex.h"
#include "core/flac/FlacMetadata.h"

// The FLAC format as the registry lists it.
const CAudioFormat& FlacFileFormat();

class CFlacFile : public CAudioFile {
 public:
  explicit CFlacFile(const std::string& path, CWriteFaults* writeFaults = nullptr);
  ~CFlacFile() override;

  const CAudioFormat& Format() const override;
  std::uint32_t GetSampleRate() const override { return meta_.info.sampleRate; }
  std::uint16_t GetChannels() const override { return meta_.info.channels; }
  // The decode's container: the stream's bits rounded up to whole bytes.
  std::uint16_t GetBitsPerSample() const override;
  std::uint64_t GetSampleCount() const override;
  std::uint64_t CountDecodedSamples() override;
  std::vector<std::string> GetInformationLines() const override;
  std::vector<TagField> GetTagFields() const override;
  FactObject DescribeFacts() override;
  SplitEstimate EstimateSplit(std::uint32_t splits) const override;

  OperationResult SplitEqually(const ShredRequest& request, CProgress* progress) override;
  OperationResult SaveSelectionSamples(const std::string& outputPath, std::uint64_t firstSample,
                                       std::uint64_t endSample, CProgress* progress) override;

  std::uint64_t DecodeSpan(std::uint64_t firstSample, std::uint64_t endSample, CPcmSink& sink) override;
  split::WindowLevels ScanLevels(const split::LevelScanOptions& options,
                                 split::LevelScanStats* stats) override;
  std::unique_ptr<peaks::CPeakSource> MakePeakSource(std::string& whyNot) override;
  std::vector<CueMark> GetEmbeddedCue() const override;

  bool Offers(Conversion conversion) const override;
  AudioError ConvertToWav(const std::string& outputPath, CProgress* progress) override;
  // 16-bit and narrower streams go to LAME as 16-bit samples, deeper ones
  // as 32-bit samples at full scale, so their depth is not cut first.
  AudioError ConvertToMp3(const std::string& outputPath, CProgress* progress,
                          Mp3EncodeSettings settings) override;

  const flac::Metadata& GetMetadata() const { return meta_; }
  // The frames, scanned on first use (thread-safe). Throws as ScanFrames.
  const flac::FrameIndex& Frames() const;
  // Decodes the samples [first, end) as right-aligned 32-bit samples,
  // interleaved, in blocks to sink. Returns the sample frames delivered.
  std::uint64_t DecodeSamples(std::uint64_t first, std::uint64_t end,
                              const std::function<void(const std::int32_t*, std::uint32_t)>& sink) const;

 private:
  // Writes the samples [first, end) as a FLAC stream into out. Returns the
  // samples written (fewer when cancelled).
  std::uint64_t WriteSpan(const flac::FrameIndex& index, CFile& out, std::uint64_t first, std::uint64_t end,
                          CProgress& progress) const;
  // Refuses a span holding a damaged frame before any output exists.
  void CheckSpan(const flac::FrameIndex& index, std::uint64_t first, std::uint64_t end) const;
  void CheckSpan(std::uint64_t first, std::uint64_t end) const { CheckSpan(Frames(), first, end); }

  flac::Metadata meta_;
  mutable std::mutex indexLock_;
  mutable std::unique_ptr<flac::FrameIndex> index_;
};
