#include "core/flac/FlacMetadata.h"

#include <strings.h>

#include <algorithm>
#include <cstring>

#include "core/File.h"

namespace flac {
namespace {

// What the information and the tags keep of a comment block: a hostile
// block may hold a hundred thousand entries, or one of megabytes.
constexpr std::size_t kMaxKeptComments = 1000;
constexpr std::size_t kMaxCommentText = 4096;

std::uint32_t Be24(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0] << 16 | p[1] << 8 | p[2]);
}
std::uint32_t Le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0] | p[1] << 8 | p[2] << 16) | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint64_t Be64(const std::uint8_t* p) {
  std::uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v = v << 8 | p[i];
  return v;
}

std::vector<std::uint8_t> ReadBody(const CFile& file, const MetadataBlock& block) {
  std::vector<std::uint8_t> body(block.length);
  if (file.ReadAt(body.data(), body.size(), block.offset) != body.size()) body.clear();
  return body;
}

void ReadComments(const std::vector<std::uint8_t>& body, Metadata& m) {
  std::size_t at = 0;
  const auto text = [&](std::string& out) {
    if (at + 4 > body.size()) return false;
    const std::uint32_t length = Le32(body.data() + at);
    at += 4;
    if (length > body.size() - at) return false;
    out.assign(reinterpret_cast<const char*>(body.data() + at),
               std::min<std::size_t>(length, kMaxCommentText));
    at += length;
    return true;
  };
  if (!text(m.vendor) || at + 4 > body.size()) return;
  m.commentCount = Le32(body.data() + at);
  at += 4;
  std::string comment;
  for (std::size_t i = 0; i < m.commentCount && m.comments.size() < kMaxKeptComments; ++i) {
    if (!text(comment)) return;
    m.comments.push_back(comment);
  }
}

// CUESHEET: catalogue (128), lead-in (8), CD flag and reserved (1 + 258),
// tracks (1); each track: offset (8), number (1), ISRC (12), type and
// pre-emphasis (1), reserved (13), index points (1), 12 bytes a point.
void ReadCueSheet(const std::vector<std::uint8_t>& body, Metadata& m) {
  std::size_t at = 396;
  if (body.size() < at) return;
  const unsigned tracks = body[395];
  for (unsigned t = 0; t < tracks; ++t) {
    if (at + 36 > body.size()) return;
    CueTrack track;
    const std::uint64_t offset = Be64(body.data() + at);
    track.offset = offset;
    track.number = body[at + 8];
    track.audio = (body[at + 21] & 0x80) == 0;
    const unsigned points = body[at + 35];
    at += 36;
    for (unsigned i = 0; i < points; ++i, at += 12) {
      if (at + 12 > body.size()) return;
      // INDEX 01 is where a track starts; INDEX 00 is its pregap.
      if (body[at + 8] == 1) track.offset = offset + Be64(body.data() + at);
      if (body[at + 8] == 0) track.pregap = offset + Be64(body.data() + at);
    }
    if (track.number != 170 && track.number != 255) m.cueTracks.push_back(track);
  }
}

}  // namespace

std::string Metadata::Comment(const std::string& name) const {
  for (const std::string& c : comments) {
    const std::size_t eq = c.find('=');
    if (eq == name.size() && ::strncasecmp(c.c_str(), name.c_str(), eq) == 0) return c.substr(eq + 1);
  }
  return {};
}

Metadata ReadMetadata(const CFile& file, MetadataFault& fault) {
  Metadata m;
  fault = MetadataFault::NotFlac;
  const std::uint64_t length = file.GetLength();
  std::uint8_t head[10];
  if (file.ReadAt(head, 10, 0) == 10 && std::memcmp(head, "ID3", 3) == 0) {
    const std::uint64_t size =
        (head[6] & 0x7Fu) << 21 | (head[7] & 0x7Fu) << 14 | (head[8] & 0x7Fu) << 7 | (head[9] & 0x7Fu);
    m.streamStart = 10 + size + ((head[5] & 0x10) ? 10 : 0);
  }
  std::uint8_t mark[4];
  if (file.ReadAt(mark, 4, m.streamStart) != 4) return m;
  if (std::memcmp(mark, "OggS", 4) == 0) {
    fault = MetadataFault::OggFlac;
    return m;
  }
  if (std::memcmp(mark, "fLaC", 4) != 0) return m;
  fault = MetadataFault::Damaged;
  std::uint64_t at = m.streamStart + 4;
  for (bool last = false; !last;) {
    std::uint8_t header[4];
    if (file.ReadAt(header, 4, at) != 4) return m;
    last = header[0] & 0x80;
    MetadataBlock block{static_cast<std::uint8_t>(header[0] & 0x7F), at + 4, Be24(header + 1)};
    if (block.type == 127 || block.length > length - block.offset || block.offset > length) return m;
    // STREAMINFO comes first, once, and is 34 bytes.
    if ((block.type == 0) != m.blocks.empty() || (block.type == 0 && block.length != kStreamInfoSize))
      return m;
    switch (static_cast<BlockType>(block.type)) {
      case BlockType::StreamInfo: {
        const std::vector<std::uint8_t> body = ReadBody(file, block);
        if (body.size() != kStreamInfoSize) return m;
        const std::optional<StreamInfo> info = ParseStreamInfo(body.data());
        if (!info) return m;
        m.info = *info;
        break;
      }
      case BlockType::VorbisComment:
        if (m.vendor.empty() && m.comments.empty()) ReadComments(ReadBody(file, block), m);
        break;
      case BlockType::SeekTable:
        m.seekPoints += block.length / 18;
        break;
      case BlockType::CueSheet:
        if (m.cueTracks.empty()) ReadCueSheet(ReadBody(file, block), m);
        break;
      case BlockType::Picture:
        ++m.pictures;
        break;
      default:
        break;
    }
    m.blocks.push_back(block);
    at = block.offset + block.length;
  }
  m.audioStart = at;
  fault = MetadataFault::None;
  return m;
}

std::vector<std::uint8_t> BlockHeader(std::uint8_t type, std::uint32_t length, bool last) {
  return {static_cast<std::uint8_t>(type | (last ? 0x80 : 0)), static_cast<std::uint8_t>(length >> 16),
          static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length)};
}

}  // namespace flac
