#pragma once
// The walk over a run of source bytes that a gapless piece's header frame is
// made from: its whole frames, the seek-table samples and the music CRC. The
// walker takes the bytes in order as they pass through memory, so a copy can
// feed it the very buffer it writes and no byte is read twice.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/mp3/Mp3Frame.h"

class CFile;

// What one scan over a run of source bytes found.
struct Mp3FrameScan {
  std::uint64_t frames = 0;    // whole frames of the stream
  std::uint64_t wholeEnd = 0;  // end of the last whole frame (the start when none)
  std::uint16_t crc = 0;       // CRC-16 of the bytes scanned, continued from the seed
  bool oneBitrate = true;      // every frame has the same bitrate index
  unsigned bitrateIndex = 0;   // the first frame's
  // Offsets (from the start) of every stride-th frame, for the seek table.
  std::vector<std::uint64_t> samples;
  std::uint64_t stride = 1;
};

// True when header is a frame of the stream whose version, layer and
// sampling rate stream gives.
bool IsStreamFrame(mp3::FrameHeader header, mp3::FrameHeader stream);

// The check of IsStreamFrame with the frame's length, remembering its
// verdicts: a header of the stream differs from the stream's own fields only
// in bitrate (and padding), so the header tables are consulted once a
// bitrate, and a variable-bitrate walk costs a compare and a lookup a frame.
class CStreamFrameCheck {
 public:
  explicit CStreamFrameCheck(mp3::FrameHeader stream)
      : stream_(stream), streamRest_((stream.raw & kRest) | kSync) {}
  // The length of the frame whose header is header when it is a frame of
  // the stream, else 0.
  std::uint32_t LengthOf(mp3::FrameHeader header) {
    // Sync, version, layer and sampling rate: without all sync bits, or in
    // another stream, no frame of this one.
    if ((header.raw & kRest) != streamRest_) return 0;
    Verdict& verdict = byBitrate_[header.BitrateIndex()];
    if (!verdict.known) Learn(verdict, header.raw & kFields);
    if (verdict.length == 0) return 0;
    return verdict.length + ((header.raw & kPadding) != 0 ? verdict.paddingSlot : 0);
  }

 private:
  static constexpr std::uint32_t kPadding = 1u << 17;
  static constexpr std::uint32_t kBitrate = 0xFu << 20;
  static constexpr std::uint32_t kSync = 0xE0FFu;
  // Sync, version, layer, bitrate and sampling rate: all that the verdict
  // and the length depend on, besides the padding bit.
  static constexpr std::uint32_t kFields = 0x00FEFEFFu & ~kPadding;
  static constexpr std::uint32_t kRest = kFields & ~kBitrate;
  struct Verdict {
    bool known = false;
    std::uint32_t length = 0;       // without padding; 0 when not a frame of the stream
    std::uint32_t paddingSlot = 0;  // what the padding bit adds
  };
  void Learn(Verdict& verdict, std::uint32_t key) const;

  mp3::FrameHeader stream_;
  std::uint32_t streamRest_;  // the stream's sync, version, layer and sampling rate bits
  Verdict byBitrate_[16];
};

// Walks the frames in [from, to) from bytes fed in order. Bytes that hold no
// frame of the stream are stepped over; a frame that would end past to is
// not counted. With crc, the CRC of every byte fed is continued from crcSeed.
class CMp3FrameWalker {
 public:
  CMp3FrameWalker(std::uint64_t from, std::uint64_t to, mp3::FrameHeader stream, bool crc,
                  std::uint16_t crcSeed = 0);
  // The next count bytes of the run (bytes past to are ignored).
  void Feed(const std::uint8_t* bytes, std::size_t count);
  // The end of the bytes fed so far.
  std::uint64_t FedEnd() const { return fedEnd_; }
  // What was found; complete once the bytes up to to have been fed.
  const Mp3FrameScan& Result() const { return scan_; }

 private:
  // The four bytes at next_, which may begin in the tail of the last feed.
  mp3::FrameHeader HeaderAt(const std::uint8_t* block, std::uint64_t blockAt) const;
  void Count(mp3::FrameHeader header);
  void KeepTail(const std::uint8_t* bytes, std::size_t count);

  std::uint64_t from_, to_;
  CStreamFrameCheck check_;
  bool crc_;
  Mp3FrameScan scan_;
  std::uint64_t fedEnd_;
  std::uint64_t next_;         // where the next frame should begin
  bool ended_ = false;         // no further frame can fit before to
  unsigned bitrate_ = 16;      // the last frame's bitrate index; 16: none yet
  std::uint8_t tail_[3] = {};  // the three bytes before fedEnd_ (fewer at the start)
};

// Walks the frames in [from, to) of source, reading with ReadAt (so it may
// run beside a copy from the same file). A source shorter than to throws the
// end-of-file failure.
Mp3FrameScan ScanMp3Frames(const CFile& source, std::uint64_t from, std::uint64_t to, mp3::FrameHeader stream,
                           bool crc, std::uint16_t crcSeed = 0);
