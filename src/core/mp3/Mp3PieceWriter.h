#pragma once
// Writes one MP3 piece (of an equal split or a saved selection) from a run
// of whole frames of the source. A gapless piece is: the source's ID3v2 tag,
// a header frame in the LAME format, the lead-in frames, the piece's frames,
// a lead-out frame and the ID3v1 tag; decoders that honour the header frame
// then output exactly the piece's span of the whole file's decode. A plain
// piece is the frames and the ID3v1 tag. A piece cut short by a cancel, a
// write failure or a source that shrank ends on its last whole frame, and
// its header frame describes what was written; one that kept no frame goes.

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "core/File.h"
#include "core/mp3/Mp3Frame.h"
#include "core/mp3/Mp3FrameScan.h"
#include "core/mp3/Mp3LameTag.h"

class CProgress;

// The stream a piece is cut from.
struct Mp3StreamFacts {
  std::uint64_t id3v2End = 0;  // the leading ID3v2 tags are [0, id3v2End)
  std::uint64_t audioStart = 0;
  std::uint64_t audioEnd = 0;
  mp3::FrameHeader stream;  // version, layer and sampling rate of every frame
  // The source's header frame when its frame count matches the frames
  // really in the file: its delay and padding describe this stream.
  std::optional<mp3::LameTag> sourceTag;
  const std::uint8_t* id3v1 = nullptr;  // the 128-byte tag to append, or none
  // Frame numbers (counted from the first audio frame) at known offsets,
  // kept between pieces so each count starts near where it is needed.
  std::map<std::uint64_t, std::uint64_t>* frameNumbers = nullptr;
};

class CMp3PieceWriter {
 public:
  // Copies count bytes from the source's position to output with progress,
  // showing them to the observer, if any; false when cancelled.
  using CopyFunction = std::function<bool(CFile& output, std::uint64_t count, CProgress* progress,
                                          const CFile::CopyObserver* observer)>;

  CMp3PieceWriter(CFile& source, const Mp3StreamFacts& facts, CopyFunction copy);

  // The frames [first, end) of the source (first and end frame boundaries),
  // the progress stepped over the bytes [progressFrom, progressTo).
  // A gapless piece copies the frame before first too. With sampleExact, end
  // includes every frame the piece needs, the decode starts headTrim samples
  // into first's output and padding drops the rest (mp3::PlanPieceCut);
  // otherwise the piece plays from 529 samples into first's output to 529
  // samples into the frame at end, which it copies as a lead-out.
  struct Span {
    std::uint64_t first = 0;
    std::uint64_t progressFrom = 0;
    std::uint64_t progressTo = 0;
    std::uint64_t end = 0;
    bool sampleExact = false;
    std::uint32_t headTrim = 0;
    std::uint32_t padding = 0;
  };
  // Write a piece; false when the copy was cancelled. File failures
  // propagate, after the partial piece has been cut back to its last whole
  // frame and described by its header frame, or, when no frame could be
  // kept, removed (and the failure's message says so).
  bool WriteGapless(CFile& output, const Span& span, CProgress* progress);
  bool WritePlain(CFile& output, const Span& span, CProgress* progress);

 private:
  struct LeadIn {
    std::vector<std::uint8_t> bytes;  // silent and reservoir frames made for the piece
    std::uint32_t frames = 0;         // how many frames bytes holds
    std::uint64_t sourceFrom = 0;     // the source frames copied start here
    std::uint32_t delay = 0;          // the delay of a piece played from 529 samples into first's output
    std::uint32_t slotStart = 0;      // where first's output starts in the piece's decode
  };
  // A gapless piece as planned before its copy, and where it lies in the output.
  struct GaplessPlan {
    LeadIn lead;
    mp3::FrameHeader firstHeader;  // the piece's first source frame (the header frame's model)
    std::uint64_t to = 0;          // the end of the source bytes copied, the lead-out included
    mp3::LameTag tag;              // the header frame; counts, CRC and seek table come after the copy
    std::size_t headerSize = 0;    // the header frame's length
    std::uint64_t headerAt = 0;    // the header frame's offset in the output
    std::uint64_t audioAt = 0;     // where the source's bytes start in the output
    std::uint16_t crcSeed = 0;     // CRC of the lead-in frames
  };

  // The lead-in of a piece whose decode starts headTrim stream samples into
  // the output of the frame at first.
  LeadIn MakeLeadIn(std::uint64_t first, std::uint32_t headTrim);
  // The lead-in of a piece that starts at the first frame of the audio.
  LeadIn FirstPieceLeadIn(std::uint64_t first, mp3::FrameHeader like) const;
  // One silent frame more where some decoders' rounding needs it (see the definition).
  void MatchDecoderPhase(LeadIn& lead, mp3::FrameHeader like, std::uint64_t first, std::uint32_t headTrim);
  // The header of the stream frame at at; the stream's when none is there.
  mp3::FrameHeader FrameHeaderAt(std::uint64_t at) const;
  // The number of the frame at at (a frame boundary), counted from the first audio frame.
  std::uint64_t FrameNumberAt(std::uint64_t at);

  GaplessPlan PlanGapless(const Span& span, std::uint64_t outputAt);
  // The end of the copy (with the lead-out frame unless sampleExact) and the padding.
  std::uint64_t LeadOutEnd(const Span& span, std::uint32_t spf, std::uint32_t& padding) const;
  mp3::LameTag StartTag(const Span& span, const LeadIn& lead, std::uint32_t padding) const;
  // Writes the ID3v2 tags, the header frame and the lead-in, then the source
  // frames, which pass through the frame walk on their way; returns the
  // source offset the copy reached, and when whole, describes the piece.
  std::uint64_t CopyGapless(CFile& output, GaplessPlan& plan, const Span& span, CProgress* progress,
                            bool& cancelled);
  // Fills in the header frame for the walked [lead.sourceFrom, wholeEnd)
  // after the lead-in frames and writes it over the placeholder.
  void Describe(CFile& output, GaplessPlan& plan, const Mp3FrameScan& scan, std::uint64_t wholeEnd);
  // Cut short: every written frame plays, up to the end of the last one, and
  // the header frame describes them; false when not one frame is there.
  bool CutShort(CFile& output, GaplessPlan& plan, std::uint64_t reached);
  // The next piece's count of frames starts at span.end.
  void RememberFrameNumber(const GaplessPlan& plan, const Span& span, std::uint64_t frames);

  // Copies [from, to) of the source with progress over [progressFrom,
  // progressTo), showing the bytes to observer; returns the source offset
  // the copy reached.
  std::uint64_t CopyFrames(CFile& output, std::uint64_t from, std::uint64_t progressFrom,
                           std::uint64_t progressTo, std::uint64_t to, CProgress* progress, bool& cancelled,
                           const CFile::CopyObserver* observer = nullptr);
  // Cuts output back to the last whole frame of the source bytes [from, reached)
  // written at audioAt, walking what the output holds; returns that frame's
  // end in the source. Throws when not even audioAt was written.
  std::uint64_t CutToWholeFrames(CFile& output, std::uint64_t audioAt, std::uint64_t from,
                                 std::uint64_t reached);
  void AppendId3v1(CFile& output);
  // After a failure: runs mend (cut back to whole frames and describe
  // them); when it fails or keeps no frame of the source, removes the
  // output. True when the output was removed.
  static bool MendOrRemove(CFile& output, const std::function<bool()>& mend) noexcept;
  // Runs write; after a file failure mends the output or removes it (and
  // says so in the failure's message) before the failure goes on.
  static void MendAfterFailure(CFile& output, const std::function<void()>& write,
                               const std::function<bool()>& mend);

  CFile& source_;
  const Mp3StreamFacts& facts_;
  CopyFunction copy_;
};
