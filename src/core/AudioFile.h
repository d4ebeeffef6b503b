#pragma once
// The audio file object: one open file of any format (core/AudioFormat.h)
// and the operations on it, behind one interface. An operation returns its
// outcome (core/OperationResult.h) and keeps its code in the error code the
// caller reads through GetError; a file failure that an operation does not
// handle itself ends it with a CFileException, which the caller's operation
// runner reports. Nothing here shows a window or asks a question.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/AudioError.h"
#include "core/AudioFormat.h"
#include "core/FactTree.h"
#include "core/File.h"
#include "core/FlacEncoder.h"
#include "core/Mp3EncodeSettings.h"
#include "core/OperationResult.h"
#include "core/PcmSink.h"
#include "core/PieceTags.h"
#include "core/SplitEstimate.h"
#include "core/WindowLevels.h"

class CProgress;

namespace peaks {
class CPeakSource;
}

class CAudioFile {
 public:
  static constexpr std::size_t kCopyBlock = 10000;

  // writeFaults: what every output of the file's operations is written
  // through (tests); none in production.
  explicit CAudioFile(const std::string& path, CWriteFaults* writeFaults = nullptr);
  virtual ~CAudioFile();
  CAudioFile(const CAudioFile&) = delete;
  CAudioFile& operator=(const CAudioFile&) = delete;

  // The kind of file this is.
  virtual const CAudioFormat& Format() const = 0;

  // --- Facts
  // Samples per second of one channel (0 when the file could not be read).
  virtual std::uint32_t GetSampleRate() const = 0;
  // Channels and bits per sample of the file's decode (MP3: 16).
  virtual std::uint16_t GetChannels() const = 0;
  virtual std::uint16_t GetBitsPerSample() const = 0;
  // Sample frames of the whole decode: the end of every selection. Exact
  // for WAV and for MP3 files with a trusted LAME header frame or frames
  // that differ in bitrate; for other MP3 files the duration × rate until
  // their frames are counted (CountDecodedSamples, or the first cut).
  virtual std::uint64_t GetSampleCount() const = 0;
  // The samples of the whole decode, counted (an MP3 walks its frames).
  // Throws split::ScanError when the audio cannot be read.
  virtual std::uint64_t CountDecodedSamples() = 0;
  // The lines of the file's information window, in order.
  virtual std::vector<std::string> GetInformationLines() const = 0;
  // The tag fields the information shows after those lines, labelled
  // ("Title", ...), their text as the file stores it; none for a format
  // without them.
  struct TagField {
    std::string label;
    std::string text;
    bool latin1 = false;  // the text is Latin-1 (ID3v1), not UTF-8
  };
  virtual std::vector<TagField> GetTagFields() const { return {}; }
  // Samples the decoder gives before the first sample of the whole decode
  // (a gapless MP3's encoder and decoder delay): where a raw decode's
  // timeline, such as the waveform's, starts against the file's.
  virtual std::uint64_t GetLeadInSamples() { return 0; }
  // Everything the format knows of the file, for `info --json`: the
  // format's own members beside the common ones the caller adds.
  virtual FactObject DescribeFacts() = 0;
  // The Shred Equally estimate for a number of pieces.
  virtual SplitEstimate EstimateSplit(std::uint32_t splits) const = 0;

  // --- Cutting
  // Cuts the file into request.numberOfSplits equal pieces named from the
  // base (the source's own path when empty), the suffix and the number,
  // each overlapping the one before by the overlap time.
  virtual OperationResult SplitEqually(const ShredRequest& request, CProgress* progress) = 0;
  // Selections in samples. A sample position counts sample frames (one
  // sample of every channel) of the whole file's decode at GetSampleRate(),
  // from 0; a time becomes one with timetext::SampleAt (core/TimeText.h).
  //
  // Saves the samples [firstSample, endSample) to outputPath; ends past the
  // end of the audio are clipped, an end at or before the start selects
  // nothing. WAV files cut to the sample frame (whole blocks of compressed
  // formats); gapless MP3 pieces play exactly those samples in decoders that
  // honour the LAME header frame, plain MP3 copies hold the whole frames
  // that cover them. On success the result's notice tells the written length.
  virtual OperationResult SaveSelectionSamples(const std::string& outputPath, std::uint64_t firstSample,
                                               std::uint64_t endSample, CProgress* progress) = 0;
  // The same for the whole seconds of the window's slider marks:
  // [startSecond × rate, endSecond × rate).
  OperationResult SaveSelection(const std::string& outputPath, std::uint32_t startSecond,
                                std::uint32_t endSecond, CProgress* progress);
  // Tags a piece of this file's own kind written from it (the format's
  // TagPiece). Throws split::TagError naming the piece.
  void TagPiece(const std::string& piece, const split::PieceTagFacts& facts) const {
    Format().TagPiece(GetFilePath(), piece, facts);
  }
  // The tracks of a cue sheet the file carries inside it (FLAC's CUESHEET
  // block), in samples; none for most files.
  struct CueMark {
    unsigned number = 0;
    std::optional<std::uint64_t> pregap;  // INDEX 00
    std::uint64_t start = 0;              // INDEX 01
  };
  virtual std::vector<CueMark> GetEmbeddedCue() const { return {}; }
  // Gapless pieces (the default) play exactly their samples where the
  // format needs a header for that (MP3); formats whose pieces are exact
  // by themselves have nothing to switch.
  virtual void SetGaplessPieces(bool /*gapless*/) {}

  // --- Decoding and analysis
  // Hands the samples [firstSample, endSample) of the whole decode (clipped
  // to it) to sink as interleaved little-endian PCM of GetChannels()
  // channels and GetBitsPerSample() bits, exactly as a whole conversion to
  // WAV holds them. Returns the sample frames delivered. Throws a
  // CAudioFailure when the audio cannot be decoded.
  virtual std::uint64_t DecodeSpan(std::uint64_t firstSample, std::uint64_t endSample, CPcmSink& sink) = 0;
  // Window levels of the whole decode for silence detection. Throws
  // split::ScanError when the audio cannot be read.
  virtual split::WindowLevels ScanLevels(const split::LevelScanOptions& options,
                                         split::LevelScanStats* stats) = 0;
  // The reader of the waveform's peaks; nullptr with whyNot set when this
  // file's waveform cannot be drawn.
  virtual std::unique_ptr<peaks::CPeakSource> MakePeakSource(std::string& whyNot) = 0;

  // --- Conversions
  // Whether this file offers a conversion (its format's, within its facts).
  virtual bool Offers(Conversion conversion) const = 0;
  // A conversion the file does not offer returns err::kTypeNotOffered and
  // leaves the error code as it was.
  virtual AudioError ConvertToMp3(const std::string& outputPath, CProgress* progress,
                                  Mp3EncodeSettings settings);
  virtual AudioError ConvertToWav(const std::string& outputPath, CProgress* progress);
  virtual AudioError ConvertTo16Bit(const std::string& outputPath, CProgress* progress);
  virtual AudioError ConvertTo8Bit(const std::string& outputPath, CProgress* progress);
  // Bit k of channelMask keeps channel k + 1 (bit 0 left, bit 1 right).
  virtual AudioError RipChannels(std::uint8_t channelMask, const std::string& outputPath,
                                 CProgress* progress);
  // Encodes the whole decode (DecodeSpan) as FLAC, for every format that
  // offers it; a cancel keeps what was encoded, a whole stream.
  AudioError ConvertToFlac(const std::string& outputPath, CProgress* progress,
                           const FlacEncodeSettings& settings);
  // One of the conversions by its name (the batch's: the one that makes its
  // target format); mp3 and flac apply to an output of their format.
  // Ripping needs its channels and is not offered here.
  AudioError ConvertTo(Conversion conversion, const std::string& outputPath, CProgress* progress,
                       const Mp3EncodeSettings& mp3, const FlacEncodeSettings& flac = {});

  std::string GetDefaultExtension() const { return Format().DefaultExtension(); }
  std::string GetFileFilter() const { return Format().FileFilter(); }
  std::string GetFileName() const;
  const std::string& GetFilePath() const { return path_; }
  AudioError GetError() const { return error; }
  // For a file that could not be opened or created (errors 102 and 103):
  // the path as the operation named it and the system's errno; 0 otherwise.
  const std::string& GetErrorPath() const { return errorPath_; }
  int GetErrorCause() const { return errorCause_; }
  // The output the last operation created (for a split, its last piece);
  // empty when it created none since ForgetLastOutput.
  const std::string& GetLastOutputPath() const { return lastOutputPath_; }
  // Runs on every output the next operations create, once it is written and
  // before it appears under its name (CFile::SetBeforeCommit): a split tags
  // its pieces there, so a piece never shows under its name untagged.
  void SetOutputFinisher(CFile::BeforeCommit finisher) { outputFinisher_ = std::move(finisher); }
  void ForgetLastOutput() { lastOutputPath_.clear(); }
  double GetDuration() const { return duration; }
  // The overlap of equal splits: whole seconds for the estimate and its
  // texts, exact microseconds for the cut (a typed "1.5" overlaps 1.5 s
  // and is shown as 2 seconds).
  std::uint32_t GetOverlapTime() const { return overlapTime; }
  void SetOverlapTime(std::uint32_t seconds);
  std::uint64_t GetOverlapMicros() const { return overlapMicros; }
  void SetOverlapMicros(std::uint64_t micros);
  const std::string& GetSuffix() const { return suffix; }
  void SetSuffix(const std::string& text) { suffix = text; }

 protected:
  // Searches the first 1000 bytes of the file for a four-byte tag; on success
  // the file stands on the tag's first byte, otherwise where it was.
  bool FindChunk(const char* tag);
  // Copies count bytes from the current position of file to output in
  // 10000-byte blocks, stepping the file bar once per full block; stops at
  // the end of the file or on cancel. Returns the bytes copied. An observer
  // sees every byte copied, in order (see CFile::CopyTo).
  std::uint64_t CopyData(CFile& output, std::uint64_t count, CProgress* progress,
                         const CFile::CopyObserver* observer = nullptr);
  // True (and error 119) when outputPath names the open source file.
  bool RefuseOwnSource(const std::string& outputPath);
  // Creates an output file, written whole or not at all (CFile::Mode::
  // CreateWhole); false (and error 103) when it cannot be created. A source
  // whose size or modification time changed since it was opened throws a
  // CAudioFailure naming it before the output is made: what was planned
  // from the old file would not fit the new one.
  bool CreateOutput(CFile& output, const std::string& outputPath);

  CFile file;
  double duration = 0.0;
  AudioError error = err::kNone;
  std::uint32_t overlapTime = 0;
  std::uint64_t overlapMicros = 0;
  std::string suffix;

 private:
  std::string path_;
  std::string errorPath_;
  int errorCause_ = 0;
  std::string lastOutputPath_;
  CWriteFaults* writeFaults_;
  CFile::BeforeCommit outputFinisher_;
  // The source's size and modification time when it was opened: what the
  // operations planned from (an MP3's frame scan, a WAV's chunks).
  struct SourceState {
    std::uint64_t size = 0;
    std::int64_t seconds = 0, nanoseconds = 0;
    bool operator==(const SourceState&) const = default;
  };
  SourceState sourceState_;
  SourceState ReadSourceState() const;
};
