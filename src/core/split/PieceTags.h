#pragma once
// The tag of a written piece, through TagLib. An MP3 piece gets an ID3v2.4
// tag built on the source's own tag (every text field and picture kept); a
// WAV piece gets a LIST/INFO chunk built on the source's (INAM, IART, IPRD,
// ITRK). The facts given replace the source's; empty ones keep them.

#include <stdexcept>
#include <string>

namespace split {

class TagError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct PieceTagFacts {
  std::string title;
  std::string artist;
  std::string album;
  unsigned track = 0;
  unsigned tracks = 0;
};

// Throws TagError naming the piece when its tag cannot be written.
void TagMp3Piece(const std::string& source, const std::string& piece, const PieceTagFacts& facts);
void TagWavePiece(const std::string& source, const std::string& piece, const PieceTagFacts& facts);

}  // namespace split
