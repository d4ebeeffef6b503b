#pragma once
// The metadata of a native FLAC file, read with every length checked against
// the file: an ID3v2 tag in front is stepped over, STREAMINFO is parsed, the
// Vorbis comment is read for display (its texts bounded), an embedded
// CUESHEET gives its tracks, and every block's place is kept so a piece can
// carry the blocks over without holding them in memory.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/flac/FlacStream.h"

class CFile;

namespace flac {

enum class BlockType : std::uint8_t {
  StreamInfo = 0,
  Padding = 1,
  Application = 2,
  SeekTable = 3,
  VorbisComment = 4,
  CueSheet = 5,
  Picture = 6,
};

struct MetadataBlock {
  std::uint8_t type = 0;
  std::uint64_t offset = 0;  // of the body, after the four-byte block header
  std::uint32_t length = 0;
};

struct CueTrack {
  std::uint8_t number = 0;
  std::uint64_t offset = 0;             // samples from the stream's start (INDEX 01)
  std::optional<std::uint64_t> pregap;  // INDEX 00, when the track has one
  bool audio = true;
};

struct Metadata {
  std::uint64_t streamStart = 0;  // the "fLaC" mark (after an ID3v2 tag)
  std::uint64_t audioStart = 0;   // the first frame
  StreamInfo info;
  std::vector<MetadataBlock> blocks;
  std::string vendor;
  std::vector<std::string> comments;  // "NAME=value", as stored (UTF-8)
  std::size_t commentCount = 0;       // as the block counts them
  std::size_t seekPoints = 0;
  std::size_t pictures = 0;
  std::vector<CueTrack> cueTracks;  // the embedded CUESHEET's tracks, lead-out excluded
  // The first comment of name (letter case ignored); empty when none.
  std::string Comment(const std::string& name) const;
};

// Why a file is not a FLAC stream Kestrune reads.
enum class MetadataFault { None, NotFlac, OggFlac, Damaged };

// Reads the metadata of file; fault tells why it could not.
Metadata ReadMetadata(const CFile& file, MetadataFault& fault);

// The four-byte header of a metadata block.
std::vector<std::uint8_t> BlockHeader(std::uint8_t type, std::uint32_t length, bool last);

}  // namespace flac
