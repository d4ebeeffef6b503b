#include "core/mp3/Mp3FrameWalk.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/File.h"
#include "core/LevelScanError.h"
#include "core/mp3/Mp3SideInfo.h"

namespace split {

namespace {

constexpr std::size_t kBlock = std::size_t{1} << 20;
// 24 hours of 1152-sample frames at 48 kHz; shorter frames or rates hold less.
constexpr std::size_t kMaxFrames = std::size_t{24} * 3600 * 48000 / 1152;
constexpr std::size_t kMaxFrameBytes =
    2881;  // the longest Layer III frame (MPEG 2.5 8 kHz 160 kbit/s, padded)

// A frame of the stream at p (with available bytes): its length, or 0.
std::uint32_t FrameAt(const std::uint8_t* p, std::size_t available, mp3::FrameHeader first) {
  if (available < 4) return 0;
  const mp3::FrameHeader h = mp3::FrameHeader::FromBytes(p);
  if (!h.HasSync() || mp3::CheckFields(h) != err::kNone || !h.SameStreamAs(first)) return 0;
  return h.FrameLength();
}

}  // namespace

void OpenForScan(CFile& file, const std::string& path) {
  if (const CFile::Opened opened = file.Open(path, CFile::Mode::ReadShared); !opened)
    throw ScanError(path, path + ": cannot open the file: " + std::strerror(opened.osError), opened.osError);
}

void ReadRange(const CFile& file, const std::string& path, std::uint64_t from, std::uint64_t to,
               std::vector<std::uint8_t>& bytes) {
  bytes.resize(static_cast<std::size_t>(to - from));
  int cause = EIO;  // the file ended before to
  try {
    if (file.ReadAt(bytes.data(), bytes.size(), from) == bytes.size()) return;
  } catch (const CFileException& e) {
    cause = e.OsError();
  }
  throw ScanError(path, path + ": cannot read the audio: " + std::strerror(cause), cause);
}

Mp3FrameList WalkMp3Frames(const std::string& path, std::uint64_t audioStart, std::uint64_t audioEnd,
                           mp3::FrameHeader first) {
  CFile file;
  OpenForScan(file, path);
  Mp3FrameList list;
  std::vector<std::uint8_t> block;
  std::uint64_t pos = audioStart;
  std::uint64_t end = audioStart;  // of the last frame found
  Mp3LevelEstimator levels;
  while (pos + 4 <= audioEnd) {
    // A block that holds whole frames, with room for the next header.
    const std::uint64_t blockEnd = std::min(audioEnd, pos + kBlock + kMaxFrameBytes + 4);
    ReadRange(file, path, pos, blockEnd, block);
    std::size_t i = 0;
    const std::size_t limit = std::min<std::size_t>(block.size(), kBlock);
    while (i < limit && pos + i + 4 <= audioEnd) {
      const std::size_t available = block.size() - i;
      const std::uint32_t length = FrameAt(&block[i], available, first);
      const bool fits = length != 0 && pos + i + length <= audioEnd;
      // A frame counts when the next one follows it (or the audio ends there).
      const bool confirmed = fits && (pos + i + length == audioEnd || length + 4 > available ||
                                      FrameAt(&block[i + length], available - length, first) != 0);
      if (!confirmed) {
        if (end == pos + i) levels.Reset();  // junk after a frame: the main data chain breaks
        ++i;
        continue;
      }
      const mp3::FrameHeader h = mp3::FrameHeader::FromBytes(&block[i]);
      if (list.offsets.size() >= kMaxFrames)
        throw ScanError(path, path + ": the stream is longer than 24 hours; silence detection stops there");
      list.offsets.push_back(pos + i);
      list.floors.push_back(static_cast<float>(
          levels.Feed(h, &block[i], std::min<std::size_t>(available, length)).value_or(kEmptyFrame)));
      i += length;
      end = pos + i;
    }
    if (i == 0) break;
    pos += i;
  }
  list.offsets.push_back(end);
  return list;
}

}  // namespace split
