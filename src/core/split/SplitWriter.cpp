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
#include "core/open/SpanTranscode.h"

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
  facts.date = plan.date;
  facts.genre = plan.genre;
  return facts;
}

// The text of a tag failure on the hidden file, naming the piece instead.
std::string NamingThePiece(std::string text, const std::string& written, const std::string& piece) {
  for (std::size_t at = text.find(written); at != std::string::npos;
       at = text.find(written, at + piece.size()))
    text.replace(at, written.size(), piece);
  return text;
}

// Tags a piece of its format before it appears under its name: run on the
// hidden file as it is committed.
CFile::BeforeCommit TagHook(const CAudioFormat& format, const std::string& source, const PlannedPiece& piece,
                            PieceTagFacts facts, MadeFile& made) {
  return [&format, source, &piece, facts, &made](const std::string& written) {
    try {
      format.TagPiece(source, written, facts);
    } catch (const TagError& e) {
      throw TagError(piece.path, NamingThePiece(e.Text(), written, piece.path));
    }
    made.Take(written);
  };
}

// Tags each piece the file writes before it appears under its name; the
// finisher goes when the writing ends, however it ends.
class PieceTagging {
 public:
  PieceTagging(CAudioFile& file, CFile::BeforeCommit hook) : file_(file) {
    file.SetOutputFinisher(std::move(hook));
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
  // A hidden track (piece 0) is no track of the sheet's count.
  const auto count =
      static_cast<std::uint32_t>(pieces.size() - (plan.firstNumber == 0 && !pieces.empty() ? 1 : 0));
  for (const PlannedPiece& p : pieces) {
    each.SetPiece(p.number);
    MadeFile made;
    try {
      CFile::BeforeCommit hook =
          TagHook(*plan.naming.format, file.GetFilePath(), p, TagFacts(plan, p, count), made);
      // Pieces of the file's own kind are cut from it; of another kind,
      // decoded and encoded.
      const std::optional<Conversion> conversion = plan.naming.format->MadeBy();
      AudioError error = err::kNone;
      if (plan.naming.format == &file.Format() || !conversion) {
        const PieceTagging tagging(file, std::move(hook));
        error = file.SaveSelectionSamples(p.path, p.start, p.end, &each).error;
      } else {
        SaveSpanAs(file, *conversion, p.path, p.start, p.end, each, {}, {}, std::move(hook));
      }
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
    } catch (const WriteError&) {
      throw;
    } catch (const CAudioFailure& e) {
      // A damaged stretch of the source, or an encoder that refused it.
      RemovePiece(p.path, made);
      const std::string reason = e.Text().empty() ? LoadMessage(e.Code()) : e.Text();
      throw WriteError(p.path,
                       p.path + ": " + reason + " The piece was removed." + WrittenNote(outcome.written));
    }
    outcome.written.push_back(p.path);
  }
  return outcome;
}

}  // namespace split
