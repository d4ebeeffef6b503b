#include "core/split/SplitWriter.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/AudioFile.h"
#include "core/File.h"
#include "core/PieceTags.h"
#include "core/Progress.h"
#include "core/StringTable.h"

namespace split {

namespace {

// Shows the pieces' saves as one split: the display opens once, counts the
// pieces, and is closed by the caller (each save would close it after its
// own piece). Ends the pieces however the writing ends.
class PiecesShown {
 public:
  PiecesShown(CProgress& whole, std::uint32_t pieces) : whole_(whole) { whole_.BeginPieces(pieces); }
  ~PiecesShown() { whole_.EndPieces(); }
  PiecesShown(const PiecesShown&) = delete;
  PiecesShown& operator=(const PiecesShown&) = delete;

 private:
  CProgress& whole_;
};

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

// The system's reason a piece could not be created, in parentheses; a lock
// another writer holds in its own words.
std::string SystemReason(int cause) {
  if (cause == 0) return "";
  return std::string(" (") + (cause == EWOULDBLOCK ? "locked by another program" : std::strerror(cause)) +
         ")";
}

std::string WrittenNote(const std::vector<std::string>& written) {
  if (written.empty()) return " No piece was written.";
  return " The " + std::to_string(written.size()) + " pieces before it were written whole; the last is " +
         written.back() + ".";
}

// The file a piece was made as, known once it is written and tagged: only
// that file is removed under the piece's name, never one that was there
// before and a failed piece left alone.
struct MadeFile {
  dev_t device = 0;
  ino_t inode = 0;
  bool known = false;
  void Take(const std::string& path) {
    struct stat st {};
    known = ::stat(path.c_str(), &st) == 0;
    device = st.st_dev;
    inode = st.st_ino;
  }
};

void RemovePiece(const std::string& piece, const MadeFile& made) {
  struct stat st {};
  if (made.known && ::stat(piece.c_str(), &st) == 0 && st.st_dev == made.device && st.st_ino == made.inode)
    ::unlink(piece.c_str());
}

void Refuse(const std::vector<PlannedPiece>& pieces, const CAudioFile& file) {
  for (const PlannedPiece& p : pieces) {
    if (SameFile(p.path, file.GetFilePath()) || AbsolutePath(p.path) == AbsolutePath(file.GetFilePath()))
      throw WriteError(p.path, p.path + ": a piece would replace the source; nothing was written.");
    const std::string folder = FolderPart(p.path);
    struct stat st {};
    if (!folder.empty() && (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)))
      throw WriteError(folder, folder + ": the folder of the pieces does not exist; nothing was written.");
  }
}

PieceTagFacts TagFacts(const SplitPlan& plan, const PlannedPiece& p, std::uint32_t count) {
  PieceTagFacts facts;
  facts.title = p.facts.title;
  facts.artist = p.facts.performer;
  facts.album = plan.album;
  facts.track = p.facts.track != 0 ? p.facts.track : p.number;
  facts.tracks = count;
  return facts;
}

// The text of a tag failure on the hidden file, naming the piece instead.
std::string NamingThePiece(std::string text, const std::string& written, const std::string& piece) {
  for (std::size_t at = text.find(written); at != std::string::npos;
       at = text.find(written, at + piece.size()))
    text.replace(at, written.size(), piece);
  return text;
}

// Tags each piece the file writes before it appears under its name; the
// finisher goes when the writing ends, however it ends.
class PieceTagging {
 public:
  PieceTagging(CAudioFile& file, const PlannedPiece& piece, PieceTagFacts facts, MadeFile& made)
      : file_(file) {
    file.SetOutputFinisher([&file, &piece, facts, &made](const std::string& written) {
      try {
        file.TagPiece(written, facts);
      } catch (const TagError& e) {
        throw TagError(piece.path, NamingThePiece(e.Text(), written, piece.path));
      }
      made.Take(written);
    });
  }
  ~PieceTagging() { file_.SetOutputFinisher(nullptr); }
  PieceTagging(const PieceTagging&) = delete;
  PieceTagging& operator=(const PieceTagging&) = delete;

 private:
  CAudioFile& file_;
};

}  // namespace

WriteOutcome WriteSplit(CAudioFile& file, const SplitPlan& plan, CProgress* progress, bool keepCancelled) {
  const std::vector<PlannedPiece> pieces = plan.Pieces();
  Refuse(pieces, file);
  CProgress silent;
  CProgress& each = progress ? *progress : silent;
  const PiecesShown shown(each, static_cast<std::uint32_t>(pieces.size()));
  WriteOutcome outcome;
  const auto count = static_cast<std::uint32_t>(pieces.size());
  for (const PlannedPiece& p : pieces) {
    each.SetPiece(p.number);
    MadeFile made;
    try {
      const PieceTagging tagging(file, p, TagFacts(plan, p, count), made);
      const AudioError error = file.SaveSelectionSamples(p.path, p.start, p.end, &each).error;
      if (each.IsCancelled()) {
        if (keepCancelled && made.known)
          outcome.written.push_back(p.path);
        else
          RemovePiece(p.path, made);
        outcome.cancelled = true;
        return outcome;
      }
      if (error != err::kNone) {
        RemovePiece(p.path, made);
        throw WriteError(p.path,
                         p.path + ": " + LoadMessage(error) + SystemReason(file.GetErrorCause()) +
                             WrittenNote(outcome.written),
                         file.GetErrorCause());
      }
    } catch (const TagError& e) {
      RemovePiece(p.path, made);
      throw WriteError(e.Path(), e.Text() + "; the piece was removed." + WrittenNote(outcome.written));
    } catch (const CFileException& e) {
      RemovePiece(p.path, made);
      throw WriteError(e.Path(), e.Message() + " The piece was removed." + WrittenNote(outcome.written),
                       e.OsError());
    }
    outcome.written.push_back(p.path);
  }
  return outcome;
}

}  // namespace split
