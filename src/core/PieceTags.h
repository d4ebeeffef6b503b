#pragma once
// The tag of a written piece, through TagLib. An MP3 piece gets an ID3v2.4
// tag built on the source's own tag (every text field and picture kept); a
// WAV piece gets a LIST/INFO chunk built on the source's (INAM, IART, IPRD,
// ITRK); a FLAC piece's Vorbis comment is updated. The facts given replace the source's; empty ones keep
// them.

#include <string>

#include "core/AudioFailure.h"

namespace split {

class TagError : public CAudioFailure {
 public:
  // path: the piece; text: the whole message, which names it.
  TagError(std::string path, std::string text)
      : CAudioFailure(err::kPieceTag, std::move(path), 0, std::move(text)) {}
};

struct PieceTagFacts {
  std::string title;
  std::string artist;
  std::string album;
  unsigned track = 0;
  unsigned tracks = 0;
  std::string date;   // a cue sheet's REM DATE
  std::string genre;  // and REM GENRE
};

// Throws TagError naming the piece when its tag cannot be written.
void TagMp3Piece(const std::string& source, const std::string& piece, const PieceTagFacts& facts);
void TagWavePiece(const std::string& source, const std::string& piece, const PieceTagFacts& facts);
// A FLAC piece carries its source's Vorbis comment and pictures already;
// the facts are set on it, the track as TRACKNUMBER and TRACKTOTAL.
void TagFlacPiece(const std::string& piece, const PieceTagFacts& facts);

}  // namespace split
