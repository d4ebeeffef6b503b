// Cutting an MP3 file without decoding: equal pieces and a selection, each a
// run of whole frames of the source, written gapless or plain by
// CMp3PieceWriter, with the source's ID3v1 tag appended.

#include <algorithm>
#include <cstdio>

#include "core/Progress.h"
#include "core/StringTable.h"
#include "core/TimeText.h"
#include "core/mp3/Mp3File.h"

namespace {

constexpr const char* kSavedCaption = "MP3 Split Saved";
constexpr const char* kSavedText = "This selection will last for %.2lf seconds";
// The largest multiple of the copy block that fits one CopyData call.
constexpr std::uint64_t kLargestCopy = (UINT32_MAX / CAudioFile::kCopyBlock) * CAudioFile::kCopyBlock;

std::uint32_t Clamp32(std::uint64_t value) {
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(value, UINT32_MAX));
}

}  // namespace

std::string Mp3PieceName(const std::string& base, const std::string& suffix, std::uint32_t number) {
  char tail[32];
  std::snprintf(tail, sizeof tail, "-%u.mp3", number);
  return base + suffix + tail;
}

std::string Mp3PieceBase(const std::string& base) {
  // Only the name is upper-cased and loses ".MP3": folders on a
  // case-sensitive file system must stay as they are to exist.
  std::string name = ToUpperAscii(FileNamePart(base));
  for (auto at = name.find(".MP3"); at != std::string::npos; at = name.find(".MP3")) name.erase(at, 4);
  return FolderPart(base) + name;
}

std::string CMp3File::PieceBase(const ShredRequest& request) const {
  return Mp3PieceBase(request.baseFilename.empty() ? GetFilePath() : request.baseFilename);
}

std::uint64_t CMp3File::NextBoundary(std::uint64_t from) {
  if (from >= audioEnd_) return audioEnd_;
  const std::uint64_t to = std::min(audioEnd_, from + kSearchWindow);
  // Every frame of the stream shares version, layer and sampling rate, and
  // its successor does too, unless it is the last frame before the end of
  // the audio. Demanding that makes a false sync inside frame data
  // practically impossible.
  const auto found = SearchFrame(from, to, [this](std::uint64_t at, mp3::FrameHeader candidate) {
    if (!candidate.SameStreamAs(firstAudio_) || mp3::CheckFields(candidate) != err::kNone) return false;
    const std::uint64_t next = at + candidate.FrameLength();
    if (next == audioEnd_) return true;
    if (next > audioEnd_) return false;
    std::uint8_t bytes[4];
    file.Seek(static_cast<std::int64_t>(next), CFile::From::Begin);
    if (file.Read(bytes, 4) != 4) return false;
    const mp3::FrameHeader following = mp3::FrameHeader::FromBytes(bytes);
    return following.HasSync() && following.SameStreamAs(firstAudio_) &&
           mp3::CheckFields(following) == err::kNone;
  });
  if (found) return *found;
  // No frame starts between here and the end of the audio: the rest belongs
  // to the piece. Otherwise the data is damaged here and is cut as it is.
  return to == audioEnd_ ? audioEnd_ : from;
}

bool CMp3File::CopyRange(CFile& output, std::uint64_t count, CProgress* progress,
                         const CFile::CopyObserver* observer) {
  std::uint64_t part = count % kLargestCopy;
  if (part == 0) part = std::min(count, kLargestCopy);
  while (count > 0) {
    if (CopyData(output, static_cast<std::uint32_t>(part), progress, observer) < part) return false;
    if (progress && progress->IsCancelled()) return false;
    count -= part;
    part = std::min(count, kLargestCopy);
  }
  return true;
}

std::optional<mp3::LameTag> CMp3File::CandidateLameTag() {
  if (vbrHeaderAt_ == UINT64_MAX) return std::nullopt;
  std::uint8_t frame[512] = {};
  const std::size_t got = file.ReadAt(frame, sizeof frame, vbrHeaderAt_);
  std::optional<mp3::LameTag> tag = mp3::ReadLameTag(frame, got);
  // A header frame copied from a longer file counts more bytes than this one holds.
  if (!tag || !tag->hasExtension || tag->frames == 0 || tag->musicLength > audioEnd_ - vbrHeaderAt_)
    return std::nullopt;
  // "Info" promises one bitrate: its count lies near the audio bytes over
  // the size of a frame from the middle (a few lead-in frames of other sizes
  // aside). One copied from another file of other length is refused
  // without a count.
  const mp3::FrameHeader middle = StreamFrameAt(NextBoundary(audioStart_ + GetAudioBytes() / 2));
  const std::uint64_t bitsPerFrame = std::uint64_t{middle.Bitrate()} * middle.SamplesPerFrame();
  if (tag->constant && bitsPerFrame != 0) {
    const std::uint64_t estimate = GetAudioBytes() * 8 * firstAudio_.SampleRate() / bitsPerFrame;
    const std::uint64_t stated = tag->frames, slack = stated / 50 + 8;
    if (estimate + slack < stated || estimate > stated + slack) return std::nullopt;
  }
  return tag;
}

const std::optional<mp3::LameTag>& CMp3File::GetTrustedLameTag() {
  if (trustedTag_) return *trustedTag_;
  std::optional<mp3::LameTag> tag = CandidateLameTag();
  // The frame count costs a pass over the file: the index's, or a count
  // where the stream is too long to index.
  if (tag) {
    const std::uint64_t frames = EnsureIndex()
                                     ? index_.Frames()
                                     : ScanMp3Frames(file, audioStart_, audioEnd_, firstAudio_, false).frames;
    if (frames != tag->frames) tag.reset();
  }
  trustedTag_ = tag;
  return *trustedTag_;
}

Mp3StreamFacts CMp3File::StreamFacts() {
  Mp3StreamFacts facts;
  facts.id3v2End = searchStart_;
  facts.audioStart = audioStart_;
  facts.audioEnd = audioEnd_;
  facts.stream = firstAudio_;
  facts.sourceTag = GetTrustedLameTag();
  facts.id3v1 = hasTag_ ? tag_.data() : nullptr;
  facts.frameNumbers = &frameNumbers_;
  return facts;
}

bool CMp3File::WritePiece(CFile& output, const CMp3PieceWriter::Span& span, CProgress* progress) {
  const Mp3StreamFacts facts = StreamFacts();
  CMp3PieceWriter writer(
      file, facts,
      [this](CFile& out, std::uint64_t count, CProgress* p, const CFile::CopyObserver* observer) {
        return CopyRange(out, count, p, observer);
      });
  if (WritesGapless()) return writer.WriteGapless(output, span, progress);
  return writer.WritePlain(output, span, progress);
}

OperationResult CMp3File::SplitEqually(const ShredRequest& request, CProgress* progress) {
  if (!scanned_) return {error};
  error = err::kNone;
  if (Rewind() != err::kNone) return {error};
  const std::uint32_t pieces = request.numberOfSplits;
  if (pieces == 0) return {error};
  CProgress silent;
  if (!progress) progress = &silent;

  const std::string base = PieceBase(request);
  for (std::uint64_t i = 1; i <= pieces; ++i) {
    if (IsSameFile(file, Mp3PieceName(base, suffix, static_cast<std::uint32_t>(i)))) {
      error = err::kOutputIsSource;
      return {error};
    }
  }
  progress->Start();
  progress->SetFileCount(pieces);
  Rewind();
  // Gapless pieces count samples; plain copies keep the frames of before.
  if (const std::optional<mp3::SampleMap> map = WritesGapless() ? GetSampleMap() : std::nullopt)
    return {SplitBySamples(*map, base, pieces, progress)};
  return {SplitByBytes(base, pieces, progress)};
}

bool CMp3File::WritesGapless() const {
  // The header frame and the lead-in are Layer III's: other layers are copied plain.
  return gapless_ && firstAudio_.Layer() == 1;
}

CMp3File::PiecePlan CMp3File::PlanPiece(const mp3::SampleMap& map, std::uint64_t first, std::uint64_t end,
                                        std::uint64_t ownFirst) {
  PiecePlan plan;
  end = std::min(end, map.samples);
  first = std::min(first, end);
  ownFirst = std::clamp(ownFirst, first, end);
  const mp3::PieceCut cut = mp3::PlanPieceCut(map, first, end);
  CMp3PieceWriter::Span& span = plan.span;
  span.first = index_.Offset(cut.firstFrame);
  span.end = index_.Offset(cut.endFrame);
  span.progressFrom = std::clamp(index_.Offset(map.FrameHolding(ownFirst)), span.first, span.end);
  span.progressTo = span.end;
  span.sampleExact = true;
  span.headTrim = cut.headTrim;
  span.padding = cut.padding;
  plan.seconds = timetext::SecondsOf(end - first, firstAudio_.SampleRate());
  return plan;
}

double CMp3File::PlainSeconds(std::uint64_t begin, std::uint64_t end) {
  const std::uint64_t frames = !index_.Empty() ? index_.FrameAtByte(end) - index_.FrameAtByte(begin) +
                                                     (end >= audioEnd_ && end > begin ? 1 : 0)
                                               : ScanMp3Frames(file, begin, end, firstAudio_, false).frames;
  return timetext::SecondsOf(frames * firstAudio_.SamplesPerFrame(), firstAudio_.SampleRate());
}

AudioError CMp3File::SplitBySamples(const mp3::SampleMap& map, const std::string& base, std::uint32_t pieces,
                                    CProgress* progress) {
  // Equal pieces of the decode's samples, the last taking the rest; each
  // later piece begins the overlap's samples before its own start.
  const std::uint64_t each = map.samples / pieces;
  const std::uint64_t overlap = timetext::SampleAt(overlapMicros, firstAudio_.SampleRate());
  for (std::uint64_t i = 1; i <= pieces; ++i) {
    const std::string name = Mp3PieceName(base, suffix, static_cast<std::uint32_t>(i));
    CFile output;
    if (!CreateOutput(output, name)) break;
    progress->SetShreddingText(GetFileName(), FileNamePart(name));
    progress->SetFileNumber(static_cast<std::uint32_t>(i));
    const std::uint64_t own = each * (i - 1);
    const std::uint64_t ownEnd = i == pieces ? map.samples : each * i;
    const std::uint64_t first = own - std::min(own, overlap);
    const PiecePlan plan = PlanPiece(map, first, ownEnd, own);
    progress->SetFileRange(Clamp32(plan.span.progressTo - plan.span.progressFrom),
                           static_cast<std::uint32_t>(kCopyBlock));
    const bool whole = WritePiece(output, plan.span, progress);
    output.Close();
    progress->StepOverall();
    if (!whole || progress->IsCancelled()) break;
  }
  return error;
}

AudioError CMp3File::SplitByBytes(const std::string& base, std::uint32_t pieces, CProgress* progress) {
  const std::uint64_t pieceSize = GetAudioBytes() / pieces;
  std::uint64_t start = audioStart_;
  for (std::uint64_t i = 1; i <= pieces; ++i) {
    const std::string name = Mp3PieceName(base, suffix, static_cast<std::uint32_t>(i));
    CFile output;
    if (!CreateOutput(output, name)) break;
    progress->SetShreddingText(GetFileName(), FileNamePart(name));
    progress->SetFileNumber(static_cast<std::uint32_t>(i));
    progress->SetFileRange(Clamp32(pieceSize), static_cast<std::uint32_t>(kCopyBlock));

    // The overlap repeats whole frames before the piece's own start.
    std::uint64_t first = start;
    if (i > 1 && overlapMicros > 0) first = std::min(NextBoundary(OverlapStart(start)), start);

    // The piece runs to the first frame boundary at or after its share of
    // the audio; the last piece takes everything up to the end of the audio.
    const std::uint64_t target = i == pieces ? audioEnd_ : std::max(start, PieceEnd(i, pieces));
    const std::uint64_t end = target < audioEnd_ ? std::max(NextBoundary(target), target) : target;
    const bool whole = WritePiece(output, {first, start, target, end}, progress);
    output.Close();
    progress->StepOverall();
    start = end;
    if (!whole || progress->IsCancelled()) break;
  }
  return error;
}

CMp3File::PiecePlan CMp3File::PlanSelectionByBytes(std::uint64_t firstSample, std::uint64_t endSample) {
  // An end before the start selects nothing.
  const Span span = SelectionSpan(firstSample, endSample);
  const std::uint64_t begin = NextBoundary(span.begin);
  const std::uint64_t end = std::max(begin, NextBoundary(span.end));
  PiecePlan plan;
  plan.span = {begin, begin, end, end};
  plan.seconds = span.seconds;
  return plan;
}

OperationResult CMp3File::SaveSelectionSamples(const std::string& outputPath, std::uint64_t firstSample,
                                               std::uint64_t endSample, CProgress* progress) {
  if (!scanned_) return {error};
  error = err::kNone;
  if (RefuseOwnSource(outputPath)) return {error};
  if (Rewind() != err::kNone) return {error};
  CProgress silent;
  if (!progress) progress = &silent;

  // An end before the start selects nothing.
  const std::uint64_t end = std::max(firstSample, endSample);
  // Gapless pieces count samples; plain copies keep the frames of before.
  const std::optional<mp3::SampleMap> map = WritesGapless() ? GetSampleMap() : std::nullopt;
  PiecePlan plan =
      map ? PlanPiece(*map, firstSample, end, firstSample) : PlanSelectionByBytes(firstSample, endSample);
  if (!WritesGapless()) plan.seconds = PlainSeconds(plan.span.first, plan.span.end);
  // A selection without a sample or a whole frame would pass for a cut.
  if (end <= firstSample || plan.span.end <= plan.span.first || plan.seconds <= 0.0) {
    error = err::kZeroLength;
    return {error};
  }

  CFile output;
  if (!CreateOutput(output, outputPath)) return {error};
  progress->Start();
  progress->SetFileCount(1);
  progress->SetFileRange(Clamp32(plan.span.progressTo - plan.span.progressFrom),
                         static_cast<std::uint32_t>(kCopyBlock));
  progress->SetShreddingText(GetFileName(), FileNamePart(outputPath));
  progress->SetFileNumber(1);
  WritePiece(output, plan.span, progress);
  output.Close();
  progress->StepOverall();
  progress->Close();
  if (progress->IsCancelled()) return {error};

  // The length of what was written: the samples a gapless piece plays, the
  // whole frames of a plain one.
  return {error,
          OperationNotice{kSavedCaption, FormatText(kSavedText, plan.seconds), MessageIcon::Information}};
}
