#include "core/split/SplitWriter.h"

#include <sys/stat.h>
#include <unistd.h>

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

std::string WrittenNote(const std::vector<std::string>& written) {
  if (written.empty()) return " No piece was written.";
  return " The " + std::to_string(written.size()) + " pieces before it were written whole; the last is " +
         written.back() + ".";
}

// Removes a piece that is not whole; never the source.
void RemovePiece(const std::string& piece, const CAudioFile& file) {
  if (!SameFile(piece, file.GetFilePath())) ::unlink(piece.c_str());
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

void Tag(const CAudioFile& file, const SplitPlan& plan, const PlannedPiece& p, std::uint32_t count) {
  PieceTagFacts facts;
  facts.title = p.facts.title;
  facts.artist = p.facts.performer;
  facts.album = plan.album;
  facts.track = p.facts.track != 0 ? p.facts.track : p.number;
  facts.tracks = count;
  facts.date = plan.date;
  facts.genre = plan.genre;
  plan.naming.format->TagPiece(file.GetFilePath(), p.path, facts);
}

}  // namespace

WriteOutcome WriteSplit(CAudioFile& file, const SplitPlan& plan, CProgress* progress) {
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
    try {
      // Pieces of the file's own kind are cut from it; of another kind,
      // decoded and encoded.
      const std::optional<Conversion> made = plan.naming.format->MadeBy();
      const AudioError error =
          plan.naming.format == &file.Format() || !made
              ? file.SaveSelectionSamples(p.path, p.start, p.end, &each).error
              : (SaveSpanAs(file, *made, p.path, p.start, p.end, each, {}, {}), err::kNone);
      if (each.IsCancelled()) {
        RemovePiece(p.path, file);
        outcome.cancelled = true;
        return outcome;
      }
      if (error != err::kNone) {
        RemovePiece(p.path, file);
        throw WriteError(p.path, p.path + ": " + LoadMessage(error) + WrittenNote(outcome.written),
                         file.GetErrorCause());
      }
      Tag(file, plan, p, count);
    } catch (const TagError& e) {
      RemovePiece(p.path, file);
      throw WriteError(e.Path(), e.Text() + "; the piece was removed." + WrittenNote(outcome.written));
    } catch (const CFileException& e) {
      RemovePiece(p.path, file);
      throw WriteError(e.Path(), e.Message() + " The piece was removed." + WrittenNote(outcome.written),
                       e.OsError());
    } catch (const WriteError&) {
      throw;
    } catch (const CAudioFailure& e) {
      // A damaged stretch of the source, or an encoder that refused it.
      RemovePiece(p.path, file);
      const std::string reason = e.Text().empty() ? LoadMessage(e.Code()) : e.Text();
      throw WriteError(p.path,
                       p.path + ": " + reason + " The piece was removed." + WrittenNote(outcome.written));
    }
    outcome.written.push_back(p.path);
  }
  return outcome;
}

}  // namespace split
