#include "core/mp3/Mp3PieceWriter.h"

#include <lame/lame.h>

#include <algorithm>
#include <cstring>

#include "core/File.h"
#include "core/Progress.h"
#include "core/StringTable.h"
#include "core/mp3/Mp3Reservoir.h"
#include "core/mp3/Mp3SampleMap.h"

namespace {

// How far around a cut the lead-in search looks: far more than the frames
// that hold 511 bytes of main data, even at the lowest bitrates.
constexpr std::uint64_t kLeadInWindow = 8192;
using mp3::kDecoderDelay;

// The encoder version string of a header frame written for a source
// without one: the format marks its extension by the encoder's name.
std::array<char, 9> DefaultVersion() {
  std::array<char, 9> version{};
  const std::string text = std::string("LAME") + get_lame_short_version();
  std::memcpy(version.data(), text.data(), std::min(text.size(), version.size()));
  return version;
}

// True when every frame the piece writer made (laid end to end in bytes)
// has the bitrate index bitrate.
bool FramesHaveBitrate(const std::vector<std::uint8_t>& bytes, unsigned bitrate) {
  for (std::size_t at = 0; at + 4 <= bytes.size();) {
    const mp3::FrameHeader header = mp3::FrameHeader::FromBytes(bytes.data() + at);
    if (header.BitrateIndex() != bitrate || header.FrameLength() == 0) return false;
    at += header.FrameLength();
  }
  return true;
}

// Source bytes around a cut, read once for the lead-in search.
struct SourceWindow {
  std::uint64_t lo = 0;
  std::vector<std::uint8_t> bytes;

  const std::uint8_t* At(std::uint64_t at) const { return bytes.data() + static_cast<std::size_t>(at - lo); }
  mp3::FrameHeader HeaderAt(std::uint64_t at) const {
    const std::size_t i = static_cast<std::size_t>(at - lo);
    return i + 4 <= bytes.size() ? mp3::FrameHeader::FromBytes(bytes.data() + i) : mp3::FrameHeader{};
  }
};

// The offsets of a run of stream frames in the window that ends exactly at
// first (its last frame is the one before first); empty when there is none.
std::vector<std::uint64_t> ChainEndingAt(const SourceWindow& window, std::uint64_t first,
                                         mp3::FrameHeader stream) {
  std::vector<std::uint64_t> chain;
  for (std::uint64_t start = window.lo; start < first; ++start) {
    std::uint64_t at = start;
    while (at < first && IsStreamFrame(window.HeaderAt(at), stream)) {
      chain.push_back(at);
      at += window.HeaderAt(at).FrameLength();
    }
    if (at == first && !chain.empty()) break;
    chain.clear();
  }
  return chain;
}

// The main data of the chain's frames, all but the last, end to end.
std::vector<std::uint8_t> MainDataBefore(const SourceWindow& window,
                                         const std::vector<std::uint64_t>& chain) {
  std::vector<std::uint8_t> mainData;
  for (std::size_t k = 0; k + 1 < chain.size(); ++k) {
    const mp3::FrameHeader h = window.HeaderAt(chain[k]);
    const std::uint8_t* frame = window.At(chain[k]);
    const std::size_t begin = mp3::MainDataOffset(h);
    if (begin < h.FrameLength()) mainData.insert(mainData.end(), frame + begin, frame + h.FrameLength());
  }
  return mainData;
}

// How many bytes of the main data before the frame at before that frame and
// the ones after it reach back for.
std::size_t ReservoirReachBefore(const SourceWindow& window, std::uint64_t before, mp3::FrameHeader stream) {
  std::vector<mp3::FrameReach> reach;
  std::uint64_t mainBytes = 0;
  for (std::uint64_t at = before; IsStreamFrame(window.HeaderAt(at), stream);) {
    const mp3::FrameHeader h = window.HeaderAt(at);
    if (static_cast<std::size_t>(at - window.lo) + h.FrameLength() > window.bytes.size()) break;
    const std::uint32_t own = h.FrameLength() - static_cast<std::uint32_t>(mp3::MainDataOffset(h));
    reach.push_back({mp3::MainDataBegin(window.At(at), h.FrameLength()), own});
    mainBytes += own;
    if (mainBytes >= mp3::MaxMainDataBegin(h)) break;
    at += h.FrameLength();
  }
  return mp3::ReservoirNeeded(reach);
}

// The byte position in the piece (of total bytes, the header frame of
// headerSize first, then leadSize bytes of lead-in frames) of the frame that
// starts i percent of the way in, for every i, as the header frame's seek table.
void FillSeekTable(mp3::LameTag& tag, const Mp3FrameScan& scan, std::uint64_t leadFrames,
                   std::uint64_t headerSize, std::uint64_t leadSize, std::uint64_t total) {
  const std::uint64_t frames = leadFrames + scan.frames;
  for (std::size_t i = 0; i < tag.toc.size(); ++i) {
    const std::uint64_t frame = i * frames / 100;
    std::uint64_t offset = headerSize;
    if (frame >= leadFrames && !scan.samples.empty()) {
      const std::size_t sample = std::min<std::size_t>(
          static_cast<std::size_t>((frame - leadFrames) / scan.stride), scan.samples.size() - 1);
      offset += leadSize + scan.samples[sample];
    }
    tag.toc[i] = static_cast<std::uint8_t>(std::min<std::uint64_t>(255, total ? offset * 256 / total : 0));
  }
}

}  // namespace

CMp3PieceWriter::CMp3PieceWriter(CFile& source, const Mp3StreamFacts& facts, CopyFunction copy)
    : source_(source), facts_(facts), copy_(std::move(copy)) {
  if (facts_.frameNumbers) facts_.frameNumbers->emplace(facts_.audioStart, 0);
}

mp3::FrameHeader CMp3PieceWriter::FrameHeaderAt(std::uint64_t at) const {
  std::uint8_t bytes[4] = {};
  const bool readable = source_.ReadAt(bytes, 4, at) == 4;
  const mp3::FrameHeader read = mp3::FrameHeader::FromBytes(bytes);
  return readable && IsStreamFrame(read, facts_.stream) ? read : facts_.stream;
}

std::uint64_t CMp3PieceWriter::FrameNumberAt(std::uint64_t at) {
  std::map<std::uint64_t, std::uint64_t> local{{facts_.audioStart, 0}};
  auto& numbers = facts_.frameNumbers ? *facts_.frameNumbers : local;
  auto mark = numbers.upper_bound(at);
  --mark;  // the nearest known number at or before at
  const std::uint64_t number =
      mark->second + ScanMp3Frames(source_, mark->first, at, facts_.stream, false).frames;
  numbers[at] = number;
  return number;
}

CMp3PieceWriter::LeadIn CMp3PieceWriter::FirstPieceLeadIn(std::uint64_t first, mp3::FrameHeader like) const {
  // The first piece starts as the source does: with its own delay, or,
  // without a header frame in the source, with one silent frame the delay
  // skips, so the decoder's fixed delay does not cut the first samples.
  if (facts_.sourceTag) return {{}, 0, first, facts_.sourceTag->delay, 0};
  const std::uint32_t spf = like.SamplesPerFrame();
  return {mp3::BuildSilentFrame(like), 1, first, spf - kDecoderDelay, spf};
}

CMp3PieceWriter::LeadIn CMp3PieceWriter::MakeLeadIn(std::uint64_t first, std::uint32_t headTrim) {
  const mp3::FrameHeader like = FrameHeaderAt(first);
  if (first <= facts_.audioStart) return FirstPieceLeadIn(first, like);
  // The frame before (for the filterbank's overlap) and, ahead of it, a
  // reservoir frame with the main data that frame and the next reach back for.
  SourceWindow window;
  window.lo = first - std::min(first - facts_.audioStart, kLeadInWindow);
  const std::uint64_t hi = std::min(facts_.audioEnd, first + kLeadInWindow);
  window.bytes.resize(static_cast<std::size_t>(hi - window.lo));
  window.bytes.resize(source_.ReadAt(window.bytes.data(), window.bytes.size(), window.lo));
  std::vector<std::uint64_t> chain = ChainEndingAt(window, first, facts_.stream);
  if (window.bytes.size() < first - window.lo) chain.clear();  // the source ended early
  const std::uint32_t spf = like.SamplesPerFrame();
  if (chain.empty())  // damaged data before the cut: start as a first piece would
    return {mp3::BuildSilentFrame(like), 1, first, spf - kDecoderDelay, spf};

  const std::vector<std::uint8_t> mainData = MainDataBefore(window, chain);
  const std::size_t needed =
      std::min<std::size_t>(ReservoirReachBefore(window, chain.back(), facts_.stream), mainData.size());
  LeadIn lead{{}, 0, chain.back(), 2 * spf, 2 * spf};
  MatchDecoderPhase(lead, like, first, headTrim);
  const std::vector<std::uint8_t> reservoir =
      mp3::BuildReservoirFrame(like, mainData.data() + mainData.size() - needed, needed);
  lead.bytes.insert(lead.bytes.end(), reservoir.begin(), reservoir.end());
  ++lead.frames;
  return lead;
}

void CMp3PieceWriter::MatchDecoderPhase(LeadIn& lead, mp3::FrameHeader like, std::uint64_t first,
                                        std::uint32_t headTrim) {
  // Some decoders (mpg123) round the synthesis of mono and MPEG 2 streams
  // differently depending on how many frames came before, modulo 4 (MPEG 1)
  // or 8 (MPEG 2 and 2.5). One more silent frame matches that count where
  // it can without taking the delay field or the frame count too far; the
  // decode of other decoders does not depend on it.
  const bool phased = like.Version() != 3 || like.ChannelMode() == 3;
  if (!phased) return;
  const std::uint64_t period = like.Version() == 3 ? 4 : 8;
  const std::uint32_t spf = like.SamplesPerFrame();
  const std::uint64_t number = FrameNumberAt(first);
  if (facts_.frameNumbers && number > 0) (*facts_.frameNumbers)[lead.sourceFrom] = number - 1;
  if (number % period == 3 && mp3::FitsDelayField(mp3::PieceDelay(lead.slotStart + spf, headTrim))) {
    lead.bytes = mp3::BuildSilentFrame(like);
    ++lead.frames;
    lead.delay += spf;
    lead.slotStart += spf;
  }
}

std::uint64_t CMp3PieceWriter::CopyFrames(CFile& output, std::uint64_t from, std::uint64_t progressFrom,
                                          std::uint64_t progressTo, std::uint64_t to, CProgress* progress,
                                          bool& cancelled, const CFile::CopyObserver* observer) {
  cancelled = false;
  source_.Seek(static_cast<std::int64_t>(from), CFile::From::Begin);
  if (progressFrom > from && !copy_(output, progressFrom - from, nullptr, observer))
    return source_.GetPosition();
  if (!copy_(output, progressTo - progressFrom, progress, observer)) {
    cancelled = progress && progress->IsCancelled();
    return source_.GetPosition();
  }
  if (to > progressTo) copy_(output, to - progressTo, nullptr, observer);
  return source_.GetPosition();
}

std::uint64_t CMp3PieceWriter::CutToWholeFrames(CFile& output, std::uint64_t audioAt, std::uint64_t from,
                                                std::uint64_t reached) {
  // What could not be written is dropped; the frames are those that reached
  // the output (the source may have shrunk since they were copied).
  try {
    output.Flush();
  } catch (const CFileException&) {
  }
  const std::uint64_t written = output.GetLength();
  if (written < audioAt) throw CFileException(FileCause::DiskFull, output.GetFilePath());
  const std::uint64_t copied = std::min(written - audioAt, reached - from);
  const std::uint64_t end = ScanMp3Frames(output, audioAt, audioAt + copied, facts_.stream, false).wholeEnd;
  output.SetLength(end);
  output.Seek(static_cast<std::int64_t>(end), CFile::From::Begin);
  return from + (end - audioAt);
}

bool CMp3PieceWriter::MendOrRemove(CFile& output, const std::function<bool()>& mend) noexcept {
  try {
    if (mend()) {
      // Mended, the piece is honest: it appears under its name.
      output.Close();
      return false;
    }
  } catch (...) {
  }
  // Not one whole frame of the source, or a header frame that cannot be
  // written: no reader could trust the file, so it goes.
  return output.RemoveAndClose();
}

void CMp3PieceWriter::MendAfterFailure(CFile& output, const std::function<void()>& write,
                                       const std::function<bool()>& mend) {
  try {
    write();
  } catch (CFileException& failure) {
    if (MendOrRemove(output, mend)) failure.AddNote(msg::kOutputRemoved);
    throw;
  } catch (...) {
    MendOrRemove(output, mend);
    throw;
  }
}

void CMp3PieceWriter::AppendId3v1(CFile& output) {
  if (facts_.id3v1) output.Write(facts_.id3v1, 128);
}

bool CMp3PieceWriter::WritePlain(CFile& output, const Span& span, CProgress* progress) {
  const std::uint64_t audioAt = output.GetPosition();
  bool cancelled = false;
  // A failure leaves the frames that reached the output, up to the last
  // whole one, or no file.
  MendAfterFailure(
      output,
      [&] {
        const std::uint64_t reached =
            CopyFrames(output, span.first, span.progressFrom, span.progressTo, span.end, progress, cancelled);
        if (reached < span.end) CutToWholeFrames(output, audioAt, span.first, reached);
        AppendId3v1(output);
        output.Flush();  // a failure to write shows here, while the piece can still be mended
      },
      [&] { return CutToWholeFrames(output, audioAt, span.first, span.end) > span.first; });
  return !cancelled;
}

std::uint64_t CMp3PieceWriter::LeadOutEnd(const Span& span, std::uint32_t spf, std::uint32_t& padding) const {
  // The lead-out: the frame after the piece, whose first samples (the
  // decoder's fixed delay) still belong to the piece's span. A sample-exact
  // span holds it already.
  padding = facts_.sourceTag ? facts_.sourceTag->padding : kDecoderDelay;
  if (span.sampleExact) {
    padding = span.padding;
    return span.end;
  }
  std::uint8_t next[4] = {};
  if (span.end < facts_.audioEnd && source_.ReadAt(next, 4, span.end) == 4 &&
      IsStreamFrame(mp3::FrameHeader::FromBytes(next), facts_.stream)) {
    padding = spf;
    return std::min(facts_.audioEnd, span.end + mp3::FrameHeader::FromBytes(next).FrameLength());
  }
  return span.end;
}

mp3::LameTag CMp3PieceWriter::StartTag(const Span& span, const LeadIn& lead, std::uint32_t padding) const {
  mp3::LameTag tag;
  const std::optional<mp3::LameTag>& from = facts_.sourceTag;
  if (from && from->hasExtension) {
    tag.version = from->version;
    tag.revisionAndMethod = from->revisionAndMethod;
    tag.lowpass = from->lowpass;
    tag.quality = from->quality;
  } else {
    tag.version = DefaultVersion();
  }
  tag.delay = span.sampleExact ? static_cast<std::uint32_t>(std::min<std::uint64_t>(
                                     mp3::PieceDelay(lead.slotStart, span.headTrim), mp3::kMaxDelayOrPadding))
                               : lead.delay;
  tag.padding = padding;
  return tag;
}

CMp3PieceWriter::GaplessPlan CMp3PieceWriter::PlanGapless(const Span& span, std::uint64_t outputAt) {
  GaplessPlan plan;
  plan.lead = MakeLeadIn(span.first, span.sampleExact ? span.headTrim : kDecoderDelay);
  plan.firstHeader = FrameHeaderAt(span.first);
  std::uint32_t padding = 0;
  plan.to = LeadOutEnd(span, plan.firstHeader.SamplesPerFrame(), padding);
  plan.tag = StartTag(span, plan.lead, padding);
  plan.headerSize = mp3::BuildHeaderFrame(plan.firstHeader, plan.tag).size();
  plan.headerAt = outputAt + facts_.id3v2End;
  plan.audioAt = plan.headerAt + plan.headerSize + plan.lead.bytes.size();
  plan.crcSeed = mp3::Crc16(plan.lead.bytes.data(), plan.lead.bytes.size());
  return plan;
}

void CMp3PieceWriter::Describe(CFile& output, GaplessPlan& plan, const Mp3FrameScan& scan,
                               std::uint64_t wholeEnd) {
  const LeadIn& lead = plan.lead;
  const std::uint64_t frames = lead.frames + scan.frames;
  const std::uint64_t total = plan.headerSize + lead.bytes.size() + (wholeEnd - lead.sourceFrom);
  mp3::LameTag& tag = plan.tag;
  // "Info" only when every frame, the lead-in's too, has one bitrate:
  // readers then take any frame's bitrate for the whole stream.
  tag.constant = scan.oneBitrate && (scan.frames == 0 || FramesHaveBitrate(lead.bytes, scan.bitrateIndex));
  tag.frames = static_cast<std::uint32_t>(std::min<std::uint64_t>(frames, UINT32_MAX));
  tag.bytes = tag.musicLength = static_cast<std::uint32_t>(std::min<std::uint64_t>(total, UINT32_MAX));
  tag.musicCrc = scan.crc;
  FillSeekTable(tag, scan, lead.frames, plan.headerSize, lead.bytes.size(), total);
  const std::vector<std::uint8_t> headerFrame = mp3::BuildHeaderFrame(plan.firstHeader, tag);
  const std::uint64_t back = output.GetPosition();
  output.Seek(static_cast<std::int64_t>(plan.headerAt), CFile::From::Begin);
  output.Write(headerFrame.data(), headerFrame.size());
  output.Seek(static_cast<std::int64_t>(back), CFile::From::Begin);
}

bool CMp3PieceWriter::CutShort(CFile& output, GaplessPlan& plan, std::uint64_t reached) {
  plan.tag.padding = kDecoderDelay;
  const std::uint64_t from = plan.lead.sourceFrom;
  const std::uint64_t wholeEnd = CutToWholeFrames(output, plan.audioAt, from, reached);
  // What reached the output is walked there: the source may have shrunk meanwhile.
  const std::uint64_t writtenEnd = plan.audioAt + (wholeEnd - from);
  Describe(output, plan, ScanMp3Frames(output, plan.audioAt, writtenEnd, facts_.stream, true, plan.crcSeed),
           wholeEnd);
  return wholeEnd > from;
}

void CMp3PieceWriter::RememberFrameNumber(const GaplessPlan& plan, const Span& span, std::uint64_t frames) {
  if (!facts_.frameNumbers) return;
  const auto known = facts_.frameNumbers->find(plan.lead.sourceFrom);
  if (known != facts_.frameNumbers->end())
    (*facts_.frameNumbers)[span.end] = known->second + frames - (plan.to > span.end ? 1 : 0);
}

std::uint64_t CMp3PieceWriter::CopyGapless(CFile& output, GaplessPlan& plan, const Span& span,
                                           CProgress* progress, bool& cancelled) {
  if (facts_.id3v2End > 0) {
    source_.Seek(0, CFile::From::Begin);
    copy_(output, facts_.id3v2End, nullptr, nullptr);
  }
  const std::vector<std::uint8_t> placeholder = mp3::BuildHeaderFrame(plan.firstHeader, plan.tag);
  output.Write(placeholder.data(), placeholder.size());
  output.Write(plan.lead.bytes.data(), plan.lead.bytes.size());
  // The frame walk and the music CRC see each block of the copy in memory,
  // between its read and its write, so no byte of the source is read twice.
  const std::uint64_t from = plan.lead.sourceFrom;
  CMp3FrameWalker walker(from, plan.to, facts_.stream, true, plan.crcSeed);
  const CFile::CopyObserver observe = [&walker](const std::uint8_t* bytes, std::size_t count) {
    walker.Feed(bytes, count);
  };
  const std::uint64_t reached =
      CopyFrames(output, from, span.progressFrom, span.progressTo, plan.to, progress, cancelled, &observe);
  if (reached < plan.to) {
    CutShort(output, plan, reached);
    return reached;
  }
  // Every byte of the piece has passed the walk; a copy that fed it less is walked again.
  const Mp3FrameScan scan = walker.FedEnd() == plan.to
                                ? walker.Result()
                                : ScanMp3Frames(source_, from, plan.to, facts_.stream, true, plan.crcSeed);
  Describe(output, plan, scan, plan.to);
  RememberFrameNumber(plan, span, scan.frames);
  return reached;
}

bool CMp3PieceWriter::WriteGapless(CFile& output, const Span& span, CProgress* progress) {
  GaplessPlan plan = PlanGapless(span, output.GetPosition());
  bool cancelled = false;
  MendAfterFailure(
      output,
      [&] {
        CopyGapless(output, plan, span, progress, cancelled);
        AppendId3v1(output);
        output.Flush();  // a failure to write shows here, while the piece can still be mended
      },
      [&] { return CutShort(output, plan, plan.to); });
  return !cancelled;
}
