#pragma once
// An open MP3 file. It never decodes to find its way in the stream: it scans
// frame headers, skips leading ID3v2 tags and a Xing/Info/VBRI header frame,
// and cuts on frame boundaries. Decoding to WAV goes through libmad.

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/AudioFile.h"
#include "core/SplitEstimate.h"
#include "core/mp3/Mp3Frame.h"
#include "core/mp3/Mp3FrameIndex.h"
#include "core/mp3/Mp3LameTag.h"
#include "core/mp3/Mp3PieceWriter.h"
#include "core/mp3/Mp3SampleMap.h"

struct ShredRequest;

namespace mp3 {
inline constexpr const char* kFileFilter = "MP3 files (*.mp3)|*.mp3|All files (*.*)|*.*||";
}  // namespace mp3

// The ID3v1 tag as the information window shows it: "Unknown" in the six tag
// fields when the file has no tag.
struct Mp3TagFields {
  std::string fileName;
  std::string title;
  std::string artist;
  std::string album;
  std::string year;
  std::string comment;
  std::string genre;
};

class CMp3File : public CAudioFile {
 public:
  static constexpr std::uint32_t kSearchWindow = 65536;
  static constexpr std::size_t kTagSize = 128;

  explicit CMp3File(const std::string& path, CWriteFaults* writeFaults = nullptr);
  ~CMp3File() override;

  const CAudioFormat& Format() const override;
  std::uint32_t GetSampleRate() const override { return reference_.SampleRate(); }
  std::uint16_t GetChannels() const override;
  std::uint16_t GetBitsPerSample() const override { return 16; }
  std::uint64_t GetSampleCount() const override;
  std::uint64_t CountDecodedSamples() override;
  // The nine MPEG lines of the information window.
  std::vector<std::string> GetInformationLines() const override;
  // The ID3v1 fields after them ("File name", "Title", ... "Genre").
  std::vector<TagField> GetTagFields() const override;
  std::uint64_t GetLeadInSamples() override;
  FactObject DescribeFacts() override;
  SplitEstimate EstimateSplit(std::uint32_t splits) const override;

  OperationResult SplitEqually(const ShredRequest& request, CProgress* progress) override;
  OperationResult SaveSelectionSamples(const std::string& outputPath, std::uint64_t firstSample,
                                       std::uint64_t endSample, CProgress* progress) override;

  std::uint64_t DecodeSpan(std::uint64_t firstSample, std::uint64_t endSample, CPcmSink& sink) override;
  split::WindowLevels ScanLevels(const split::LevelScanOptions& options,
                                 split::LevelScanStats* stats) override;
  std::unique_ptr<peaks::CPeakSource> MakePeakSource(std::string& whyNot) override;

  bool Offers(Conversion conversion) const override {
    return conversion == Conversion::ToWav || conversion == Conversion::ToFlac;
  }
  AudioError ConvertToWav(const std::string& outputPath, CProgress* progress) override;

  Mp3TagFields GetId3v1Fields() const;
  // What the Shred Equally estimate needs.
  Mp3SplitFacts GetSplitFacts() const;

  // Values of the current frame header (the first audio frame after a scan).
  std::uint32_t GetHeader() const { return header_.raw; }
  // Values of the reference frame the information window describes: the
  // first audio frame, or with a trusted LAME header frame the first frame
  // that holds music (not the lead-in frames its delay skips).
  std::uint32_t GetBitrate() const { return reference_.Bitrate(); }
  std::uint32_t GetFrameLength() const { return reference_.FrameLength(); }

  // Validates the current header and the header after its frame; the file
  // stands right after the four header bytes and is left there. 0 or 110-114.
  AudioError CheckHeader();
  // Searches forward from the current position, at most 65536 bytes, for a
  // frame whose header and following header check out; on success the file
  // stands on its first byte and its header is current.
  bool FindFrame();
  // True when the free-format header first at offset at is followed by two
  // more of its stream at a steady distance.
  bool FreeFormatStreamAt(std::uint64_t at, mp3::FrameHeader first);
  // Positions the file on the first audio frame (after any ID3v2 tag and a
  // VBR header frame); 109 when there is none. Returns the error code.
  AudioError Rewind();

  bool HasTag() const { return hasTag_; }
  // Where the leading ID3v2 tags end (0: the file has none).
  std::uint64_t GetId3v2End() const { return searchStart_; }
  const std::array<std::uint8_t, kTagSize>& GetTag() const { return tag_; }
  // The file length without the ID3v1 tag.
  std::uint64_t GetDataSize() const;
  // The audio: from the first audio frame to the ID3v1 tag or the file end.
  std::uint64_t GetAudioStart() const { return audioStart_; }
  std::uint64_t GetAudioEnd() const { return audioEnd_; }
  std::uint64_t GetAudioBytes() const { return audioEnd_ - audioStart_; }
  // Bytes of stream per second for every seconds-to-bytes conversion: the
  // first frame's bitrate / 8, or the average of a VBR stream.
  std::uint32_t GetByteRate() const;
  // Bits per second as the information window shows it (average for VBR).
  std::uint32_t GetDisplayBitrate() const;
  // Gapless pieces (the default) carry the source's ID3v2 tag, a header
  // frame and lead-in frames so that each plays exactly its span; without,
  // pieces are plain copies of the source's frames.
  void SetGaplessPieces(bool gapless) override { gapless_ = gapless; }
  bool GetGaplessPieces() const { return gapless_; }
  // True when a VBR header frame gave the stream's frame count.
  bool HasFrameCount() const { return vbrFrames_ != 0; }
  // Where the decode's samples lie in the frames (core/mp3/Mp3SampleMap.h):
  // the trusted LAME header frame's delay and padding, over the counted
  // frames. Counts the frames on first use; nothing when they cannot be
  // indexed (more than FrameIndex holds).
  std::optional<mp3::SampleMap> GetSampleMap();
  // The source's header frame in the LAME format, only when its frame count
  // matches the frames really in the file (a header frame copied from
  // another file must not trim audio). Counted once, on first use.
  const std::optional<mp3::LameTag>& GetTrustedLameTag();

  // Seconds to bytes. When the frames differ in bitrate they are indexed at
  // open and a second maps to the frame that holds it; otherwise through
  // GetByteRate, as for a constant bitrate. Cuts index every stream on first
  // use and count samples; these conversions serve streams too long to index.
  bool HasFrameIndex() const { return variable_ && !index_.Empty(); }
  const mp3::FrameIndex& GetFrameIndex() const { return index_; }
  struct Span {
    std::uint64_t begin = 0;  // where the selection starts
    std::uint64_t end = 0;    // where it ends (clipped to the audio)
    double seconds = 0.0;     // its length as reported: the request clipped to the audio
  };
  // The frames holding the samples [firstSample, endSample).
  Span SelectionSpan(std::uint64_t firstSample, std::uint64_t endSample) const;
  // Where piece number piece (1..pieces) of an equal split ends.
  std::uint64_t PieceEnd(std::uint64_t piece, std::uint64_t pieces) const;
  // Where the overlap before a piece starting at start begins.
  std::uint64_t OverlapStart(std::uint64_t start) const;

 private:
  void Scan();
  // Reads the ID3v1 tag and steps over the leading ID3v2 tags.
  void ReadTags(std::uint64_t length);
  // Steps audioStart_ over the Xing/Info and VBRI frames; true when the
  // first of them marks a constant bitrate ("Info").
  bool SkipHeaderFrames();
  // Duration, byte rate, displayed bitrate and sample count of the stream.
  void MeasureStream(bool vbrConstant);
  // The start of an APE tag at the end of the file (last, or before the
  // ID3v1 tag), or the file length without the ID3v1 tag.
  std::uint64_t EndOfData();
  // True when frames sampled across the audio differ in bitrate.
  bool BitrateVaries();
  // One pass over the frame headers; leaves the index empty when the stream
  // has too many frames to index.
  void IndexFrames();
  // The index, made on first use; false when the stream cannot be indexed.
  bool EnsureIndex();
  // True when a frame in (first, last] of the index differs in bitrate from the one before it.
  bool BitrateChangesIn(std::uint64_t first, std::uint64_t last) const;
  // The source's header frame in the LAME format when its own fields make
  // it worth counting the frames (a LAME extension, a frame count, a music
  // length within the stream).
  std::optional<mp3::LameTag> CandidateLameTag();
  // With a trusted LAME header frame: the reference frame, bitrate, byte
  // rate and duration of the music frames, as the tag describes them.
  void DescribeMusic();
  // What one piece holds: the source bytes, and its length in seconds.
  struct PiecePlan {
    CMp3PieceWriter::Span span;
    double seconds = 0.0;
  };
  // The gapless piece of the samples [first, end) (clipped to the decode),
  // its progress counted from ownFirst.
  PiecePlan PlanPiece(const mp3::SampleMap& map, std::uint64_t first, std::uint64_t end,
                      std::uint64_t ownFirst);
  // The play time of the whole frames in [begin, end), as a plain copy plays them.
  double PlainSeconds(std::uint64_t begin, std::uint64_t end);
  // Where the whole decode's samples lie in what libmad gives: after the
  // encoder's and decoder's delay of a gapless stream (its own header frame
  // tells them), up to its padding; everything for any other stream.
  struct DecodeTrim {
    std::uint64_t skip = 0;
    std::uint64_t keep = UINT64_MAX;
  };
  DecodeTrim GetDecodeTrim();
  // Frame-granular cuts through the byte arithmetic: plain copies, and
  // gapless pieces of streams too long to index.
  PiecePlan PlanSelectionByBytes(std::uint64_t firstSample, std::uint64_t endSample);
  AudioError SplitByBytes(const std::string& base, std::uint32_t pieces, CProgress* progress);
  AudioError SplitBySamples(const mp3::SampleMap& map, const std::string& base, std::uint32_t pieces,
                            CProgress* progress);
  // The header at offset when a frame of this stream starts there and fits
  // in the audio; a header without sync bits otherwise.
  mp3::FrameHeader StreamFrameAt(std::uint64_t offset);
  // The first offset in [from, to) holding a frame sync whose header accept
  // takes; reads in blocks, so the position afterwards is unspecified.
  std::optional<std::uint64_t> SearchFrame(
      std::uint64_t from, std::uint64_t to,
      const std::function<bool(std::uint64_t, mp3::FrameHeader)>& accept);
  // The first frame at or after from that belongs to this stream (same
  // version, layer and sampling rate, confirmed by the next header or the
  // end of the audio), searched up to 65536 bytes; from itself when none.
  std::uint64_t NextBoundary(std::uint64_t from);
  // Copies count bytes from the current position, in CopyData calls of at
  // most 32-bit size; false when cancelled or the source ended early.
  bool CopyRange(CFile& output, std::uint64_t count, CProgress* progress,
                 const CFile::CopyObserver* observer);
  Mp3StreamFacts StreamFacts();
  // True when pieces are written gapless: as set, for Layer III streams.
  bool WritesGapless() const;
  // Writes one piece, gapless or plain as set.
  bool WritePiece(CFile& output, const CMp3PieceWriter::Span& span, CProgress* progress);
  std::string PieceBase(const ShredRequest& request) const;

  mp3::FrameHeader header_;
  mp3::FrameHeader reference_;  // what the information window describes
  std::array<std::uint8_t, kTagSize> tag_{};
  bool hasTag_ = false;
  std::uint64_t searchStart_ = 0;           // after the leading ID3v2 tags
  std::uint64_t vbrHeaderAt_ = UINT64_MAX;  // offset of a VBR header frame
  std::uint64_t audioStart_ = 0;
  std::uint64_t audioEnd_ = 0;
  std::uint32_t vbrFrames_ = 0;  // audio frames as the VBR header states, 0 if unknown
  mp3::FrameHeader firstAudio_;  // reference for the frame-boundary search
  mp3::FrameIndex index_;        // frame starts: at open for a variable bitrate, else on first use
  bool variable_ = false;        // indexed at open because the bitrates differ
  bool indexTried_ = false;      // the index was attempted (it may have failed)
  // Frames whose bitrate differs from the one before, as indexed (the first
  // kMaxBitrateChanges; past that, the bitrate counts as changing everywhere).
  static constexpr std::size_t kMaxBitrateChanges = 64;
  std::vector<std::uint64_t> bitrateChanges_;
  bool manyBitrateChanges_ = false;
  std::uint32_t byteRate_ = 0;
  std::uint64_t sampleCount_ = 0;  // sample frames of the whole decode
  std::uint32_t displayBitrate_ = 0;
  bool scanned_ = false;  // a frame was found at open: operations may run
  bool gapless_ = true;
  std::optional<std::optional<mp3::LameTag>> trustedTag_;  // set once counted
  std::map<std::uint64_t, std::uint64_t> frameNumbers_;    // frame numbers at offsets, as counted
  // Format of the last decoded frame, kept between conversions.
  std::uint32_t outputSampleRate_ = 0;
  std::uint16_t outputChannels_ = 0;
};

// The MP3 format as the registry lists it.
const CAudioFormat& Mp3FileFormat();

// The base of MP3 pieces: the file name upper-cased, without ".MP3".
std::string Mp3PieceBase(const std::string& base);
// "base" + suffix + "-%u.mp3", the name of piece number (counted in 32 bits).
std::string Mp3PieceName(const std::string& base, const std::string& suffix, std::uint32_t number);
