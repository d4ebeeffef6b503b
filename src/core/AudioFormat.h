#pragma once
// One kind of audio file behind the engine's one interface: how a path is
// recognised, how a file of the kind opens, how the dialogs and messages
// name it, and which conversions its files may offer. Every format lives in
// a folder of its own under core/ and is listed once, in
// core/open/Formats.cpp; nothing outside its folder and that list names the
// concrete classes.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class CAudioFile;
class CWriteFaults;
namespace split {
struct PieceTagFacts;
}

// The conversions of the Convert menu, the CLI's verbs and the batch.
enum class Conversion { ToMp3, ToWav, To16Bit, To8Bit, RipChannels, ToFlac };

class CAudioFormat {
 public:
  virtual ~CAudioFormat() = default;
  // "WAV", "MP3": the batch list's Type column and the JSON's format.
  virtual const char* Name() const = 0;
  // The lower-case extension with its dot (".wav"): a path holding it after
  // its first character is a file of this kind.
  virtual const char* Extension() const = 0;
  // "a WAV file", "an MP3 file": how messages speak of a file of this kind.
  virtual const char* FileNoun() const = 0;
  // What the save dialogs of an output of this kind show: "*.WAV" and the
  // filter in the "text|pattern|...||" form.
  virtual const char* DefaultExtension() const = 0;
  virtual const char* FileFilter() const = 0;
  // The file type a cue sheet's FILE line gives a file of this kind
  // ("WAVE", "MP3").
  virtual const char* CueFileType() const = 0;
  // The name of piece number (from 1) of an equal split: the base path
  // with its file name as Shred Equally writes it, the suffix, the number
  // and the extension.
  virtual std::string PieceName(const std::string& base, const std::string& suffix,
                                std::uint32_t number) const = 0;
  // The conversion that makes a file of this kind from another (ToWav,
  // ToMp3); nothing when none does.
  virtual std::optional<Conversion> MadeBy() const = 0;
  // Whether files of this kind can be converted so (an open file's own
  // facts may still rule it out: CAudioFile::Offers).
  virtual bool Converts(Conversion conversion) const = 0;
  // Opens path read-only; the object's error code tells whether it opened.
  // Every output of its operations is written through writeFaults (tests).
  virtual std::unique_ptr<CAudioFile> Open(const std::string& path, CWriteFaults* writeFaults) const = 0;
  // Tags a piece of this kind written from source (of any kind) with the
  // facts given, built on the source's own tag where the kinds allow.
  // Throws split::TagError naming the piece.
  virtual void TagPiece(const std::string& source, const std::string& piece,
                        const split::PieceTagFacts& facts) const = 0;

  // True when path is a file of this kind by its name (letter case ignored).
  bool ClaimsPath(const std::string& path) const;
};
