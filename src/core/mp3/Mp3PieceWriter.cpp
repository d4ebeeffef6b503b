#include "core/mp3/Mp3PieceWriter.h"

#include <lame/lame.h>

#include <algorithm>
#include <cstring>
#include <future>
#include <memory>

#include "core/File.h"
#include "core/Progress.h"
#include "core/StringTable.h"
#include "core/mp3/Mp3Reservoir.h"
#include "core/mp3/Mp3SampleMap.h"

namespace {

constexpr std::size_t kScanBlock = 128 << 10;
// Seek-table samples kept per scan; beyond, every other one is dropped.
constexpr std::size_t kMaxSamples = 2048;
// How far around a cut the lead-in search looks: far more than the frames
// that hold 511 bytes of main data, even at the lowest bitrates.
constexpr std::uint64_t kLeadInWindow = 8192;
using mp3::kDecoderDelay;

bool IsStreamFrame(mp3::FrameHeader header, mp3::FrameHeader stream) {
  return header.HasSync() && header.SameStreamAs(stream) && mp3::CheckFields(header) == err::kNone &&
         header.FrameLength() > 0;
}

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

}  // namespace

Mp3FrameScan ScanMp3Frames(const CFile& source, std::uint64_t from, std::uint64_t to, mp3::FrameHeader stream,
                           bool crc, std::uint16_t crcSeed) {
  Mp3FrameScan scan;
  scan.crc = crcSeed;
  scan.wholeEnd = from;
  unsigned bitrate = 16;  // none seen yet
  auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(kScanBlock + 3);
  std::uint64_t next = from;  // where the next frame should begin
  for (std::uint64_t block = from; block < to; block += kScanBlock) {
    const std::uint64_t blockEnd = std::min(to, block + kScanBlock);
    // Three bytes more, so a header that straddles blocks is read whole.
    const std::size_t want = static_cast<std::size_t>(std::min(to, blockEnd + 3) - block);
    const std::size_t got = source.ReadAt(buffer.get(), want, block);
    if (got < want) throw CFileException(FileCause::EndOfFile, source.GetFilePath());
    if (crc) scan.crc = mp3::Crc16(buffer.get(), static_cast<std::size_t>(blockEnd - block), scan.crc);
    while (next < blockEnd) {
      const std::size_t i = static_cast<std::size_t>(next - block);
      if (i + 4 > got) {  // fewer than four bytes left before the end: no frame
        next = to;
        break;
      }
      const mp3::FrameHeader header = mp3::FrameHeader::FromBytes(buffer.get() + i);
      if (!IsStreamFrame(header, stream)) {
        ++next;  // not a frame: look at the next byte
        continue;
      }
      const std::uint64_t end = next + header.FrameLength();
      if (end > to) {  // a frame cut off at the end
        next = to;
        break;
      }
      if (scan.frames % scan.stride == 0) {
        if (scan.samples.size() == kMaxSamples) {
          for (std::size_t k = 0; k < kMaxSamples / 2; ++k) scan.samples[k] = scan.samples[2 * k];
          scan.samples.resize(kMaxSamples / 2);
          scan.stride *= 2;
        }
        if (scan.frames % scan.stride == 0) scan.samples.push_back(next - from);
      }
      if (bitrate != 16 && bitrate != header.BitrateIndex()) scan.oneBitrate = false;
      if (bitrate == 16) scan.bitrateIndex = header.BitrateIndex();
      bitrate = header.BitrateIndex();
      ++scan.frames;
      scan.wholeEnd = end;
      next = end;
    }
  }
  return scan;
}

CMp3PieceWriter::CMp3PieceWriter(CFile& source, const Mp3StreamFacts& facts, CopyFunction copy)
    : source_(source), facts_(facts), copy_(std::move(copy)) {
  if (facts_.frameNumbers) facts_.frameNumbers->emplace(facts_.audioStart, 0);
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

CMp3PieceWriter::LeadIn CMp3PieceWriter::MakeLeadIn(std::uint64_t first, std::uint32_t headTrim) {
  std::uint8_t bytes[4] = {};
  const bool readable = source_.ReadAt(bytes, 4, first) == 4;
  const mp3::FrameHeader read = mp3::FrameHeader::FromBytes(bytes);
  const mp3::FrameHeader like = readable && IsStreamFrame(read, facts_.stream) ? read : facts_.stream;
  const std::uint32_t spf = like.SamplesPerFrame();
  // The first piece starts as the source does: with its own delay, or,
  // without a header frame in the source, with one silent frame the delay
  // skips, so the decoder's fixed delay does not cut the first samples.
  if (first <= facts_.audioStart) {
    if (facts_.sourceTag) return {{}, 0, first, facts_.sourceTag->delay, 0};
    return {mp3::BuildSilentFrame(like), 1, first, spf - kDecoderDelay, spf};
  }
  // The frame before (for the filterbank's overlap) and, ahead of it, a
  // reservoir frame with the main data that frame and the next reach back for.
  const std::uint64_t lo = first - std::min(first - facts_.audioStart, kLeadInWindow);
  const std::uint64_t hi = std::min(facts_.audioEnd, first + kLeadInWindow);
  std::vector<std::uint8_t> window(static_cast<std::size_t>(hi - lo));
  window.resize(source_.ReadAt(window.data(), window.size(), lo));
  auto headerAt = [&](std::uint64_t at) {
    const std::size_t i = static_cast<std::size_t>(at - lo);
    return i + 4 <= window.size() ? mp3::FrameHeader::FromBytes(window.data() + i) : mp3::FrameHeader{};
  };
  // A run of frames that ends exactly at first; its last frame is the one before.
  std::vector<std::uint64_t> chain;
  for (std::uint64_t start = lo; start < first; ++start) {
    std::uint64_t at = start;
    while (at < first && IsStreamFrame(headerAt(at), facts_.stream)) {
      chain.push_back(at);
      at += headerAt(at).FrameLength();
    }
    if (at == first && !chain.empty()) break;
    chain.clear();
  }
  if (window.size() < first - lo) chain.clear();  // the source ended early
  if (chain.empty())                              // damaged data before the cut: start as a first piece would
    return {mp3::BuildSilentFrame(like), 1, first, spf - kDecoderDelay, spf};

  const std::uint64_t before = chain.back();
  std::vector<std::uint8_t> mainData;
  for (std::size_t k = 0; k + 1 < chain.size(); ++k) {
    const mp3::FrameHeader h = headerAt(chain[k]);
    const std::size_t begin = static_cast<std::size_t>(chain[k] - lo) + mp3::MainDataOffset(h);
    const std::size_t end = static_cast<std::size_t>(chain[k] - lo) + h.FrameLength();
    if (begin < end)
      mainData.insert(mainData.end(), window.begin() + static_cast<long>(begin),
                      window.begin() + static_cast<long>(end));
  }
  std::vector<mp3::FrameReach> reach;
  std::uint64_t mainBytes = 0;
  for (std::uint64_t at = before; IsStreamFrame(headerAt(at), facts_.stream);) {
    const mp3::FrameHeader h = headerAt(at);
    const std::size_t i = static_cast<std::size_t>(at - lo);
    if (i + h.FrameLength() > window.size()) break;
    const std::uint32_t own = h.FrameLength() - static_cast<std::uint32_t>(mp3::MainDataOffset(h));
    reach.push_back({mp3::MainDataBegin(window.data() + i, h.FrameLength()), own});
    mainBytes += own;
    if (mainBytes >= mp3::MaxMainDataBegin(h)) break;
    at += h.FrameLength();
  }
  const std::size_t needed = std::min<std::size_t>(mp3::ReservoirNeeded(reach), mainData.size());
  LeadIn lead{{}, 0, before, 2 * spf, 2 * spf};
  // Some decoders (mpg123) round the synthesis of mono and MPEG 2 streams
  // differently depending on how many frames came before, modulo 4 (MPEG 1)
  // or 8 (MPEG 2 and 2.5). One more silent frame matches that count where
  // it can without taking the delay field or the frame count too far; the
  // decode of other decoders does not depend on it.
  const bool phased = like.Version() != 3 || like.ChannelMode() == 3;
  const std::uint64_t period = like.Version() == 3 ? 4 : 8;
  if (phased) {
    const std::uint64_t number = FrameNumberAt(first);
    if (facts_.frameNumbers && number > 0) (*facts_.frameNumbers)[before] = number - 1;
    if (number % period == 3 && mp3::FitsDelayField(mp3::PieceDelay(lead.slotStart + spf, headTrim))) {
      lead.bytes = mp3::BuildSilentFrame(like);
      ++lead.frames;
      lead.delay += spf;
      lead.slotStart += spf;
    }
  }
  const std::vector<std::uint8_t> reservoir =
      mp3::BuildReservoirFrame(like, mainData.data() + mainData.size() - needed, needed);
  lead.bytes.insert(lead.bytes.end(), reservoir.begin(), reservoir.end());
  ++lead.frames;
  return lead;
}

std::uint64_t CMp3PieceWriter::CopyFrames(CFile& output, std::uint64_t from, std::uint64_t progressFrom,
                                          std::uint64_t progressTo, std::uint64_t to, CProgress* progress,
                                          bool& cancelled) {
  cancelled = false;
  source_.Seek(static_cast<std::int64_t>(from), CFile::From::Begin);
  if (progressFrom > from && !copy_(output, progressFrom - from, nullptr)) return source_.GetPosition();
  if (!copy_(output, progressTo - progressFrom, progress)) {
    cancelled = progress && progress->IsCancelled();
    return source_.GetPosition();
  }
  if (to > progressTo) copy_(output, to - progressTo, nullptr);
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
      output.Flush();
      return false;
    }
  } catch (...) {
  }
  // Not one whole frame of the source, or a header frame that cannot be
  // written: no reader could trust the file, so it goes.
  return output.RemoveAndClose();
}

void CMp3PieceWriter::AppendId3v1(CFile& output) {
  if (facts_.id3v1) output.Write(facts_.id3v1, 128);
}

bool CMp3PieceWriter::WritePlain(CFile& output, const Span& span, CProgress* progress) {
  const std::uint64_t audioAt = output.GetPosition();
  bool cancelled = false;
  // A failure leaves the frames that reached the output, up to the last
  // whole one, or no file.
  auto mend = [&] { return CutToWholeFrames(output, audioAt, span.first, span.end) > span.first; };
  try {
    const std::uint64_t reached =
        CopyFrames(output, span.first, span.progressFrom, span.progressTo, span.end, progress, cancelled);
    if (reached < span.end) CutToWholeFrames(output, audioAt, span.first, reached);
    AppendId3v1(output);
    output.Flush();  // a failure to write shows here, while the piece can still be mended
  } catch (CFileException& failure) {
    if (MendOrRemove(output, mend)) failure.AddNote(msg::kOutputRemoved);
    throw;
  } catch (...) {
    MendOrRemove(output, mend);
    throw;
  }
  return !cancelled;
}

bool CMp3PieceWriter::WriteGapless(CFile& output, const Span& span, CProgress* progress) {
  const std::uint64_t first = span.first;
  const std::uint64_t end = span.end;
  const LeadIn lead = MakeLeadIn(first, span.sampleExact ? span.headTrim : kDecoderDelay);
  std::uint8_t bytes[4] = {};
  const mp3::FrameHeader firstHeader =
      source_.ReadAt(bytes, 4, first) == 4 && IsStreamFrame(mp3::FrameHeader::FromBytes(bytes), facts_.stream)
          ? mp3::FrameHeader::FromBytes(bytes)
          : facts_.stream;
  const std::uint32_t spf = firstHeader.SamplesPerFrame();

  // The lead-out: the frame after the piece, whose first samples (the
  // decoder's fixed delay) still belong to the piece's span. A sample-exact
  // span holds it already.
  std::uint64_t to = end;
  std::uint32_t padding = facts_.sourceTag ? facts_.sourceTag->padding : kDecoderDelay;
  std::uint8_t next[4] = {};
  if (span.sampleExact) {
    padding = span.padding;
  } else if (end < facts_.audioEnd && source_.ReadAt(next, 4, end) == 4 &&
             IsStreamFrame(mp3::FrameHeader::FromBytes(next), facts_.stream)) {
    to = std::min(facts_.audioEnd, end + mp3::FrameHeader::FromBytes(next).FrameLength());
    padding = spf;
  }

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

  std::vector<std::uint8_t> headerFrame = mp3::BuildHeaderFrame(firstHeader, tag);
  const std::uint64_t headerAt = output.GetPosition() + facts_.id3v2End;
  const std::uint64_t audioAt = headerAt + headerFrame.size() + lead.bytes.size();

  // The walk over the source frames and their CRC, run beside the copy of
  // the same bytes; after a cut-short copy, the walk over what reached the
  // output instead (the source may have shrunk meanwhile).
  const std::uint16_t seed = mp3::Crc16(lead.bytes.data(), lead.bytes.size());
  auto scanOf = [this, &lead, seed](std::uint64_t wholeEnd) {
    return ScanMp3Frames(source_, lead.sourceFrom, wholeEnd, facts_.stream, true, seed);
  };
  auto scanWritten = [&](std::uint64_t wholeEnd) {
    return ScanMp3Frames(output, audioAt, audioAt + (wholeEnd - lead.sourceFrom), facts_.stream, true, seed);
  };
  std::future<Mp3FrameScan> ahead;
  auto settle = [&ahead] {
    try {
      if (ahead.valid()) ahead.get();
    } catch (...) {  // the copy reports the same failure
    }
  };

  // Describes the scanned [lead.sourceFrom, wholeEnd) after the lead-in
  // frames; returns the source frames there.
  auto finish = [&](const Mp3FrameScan& scan, std::uint64_t wholeEnd) {
    const std::uint64_t leadFrames = lead.frames;
    const std::uint64_t frames = leadFrames + scan.frames;
    const std::uint64_t total = headerFrame.size() + lead.bytes.size() + (wholeEnd - lead.sourceFrom);
    // "Info" only when every frame, the lead-in's too, has one bitrate:
    // readers then take any frame's bitrate for the whole stream.
    tag.constant = scan.oneBitrate && (scan.frames == 0 || FramesHaveBitrate(lead.bytes, scan.bitrateIndex));
    tag.frames = static_cast<std::uint32_t>(std::min<std::uint64_t>(frames, UINT32_MAX));
    tag.bytes = tag.musicLength = static_cast<std::uint32_t>(std::min<std::uint64_t>(total, UINT32_MAX));
    tag.musicCrc = scan.crc;
    for (std::size_t i = 0; i < tag.toc.size(); ++i) {
      // The byte position of the frame that starts i percent of the way in.
      const std::uint64_t frame = i * frames / 100;
      std::uint64_t offset = headerFrame.size();
      if (frame >= leadFrames && !scan.samples.empty()) {
        const std::size_t sample = std::min<std::size_t>(
            static_cast<std::size_t>((frame - leadFrames) / scan.stride), scan.samples.size() - 1);
        offset += lead.bytes.size() + scan.samples[sample];
      }
      tag.toc[i] = static_cast<std::uint8_t>(std::min<std::uint64_t>(255, total ? offset * 256 / total : 0));
    }
    headerFrame = mp3::BuildHeaderFrame(firstHeader, tag);
    const std::uint64_t back = output.GetPosition();
    output.Seek(static_cast<std::int64_t>(headerAt), CFile::From::Begin);
    output.Write(headerFrame.data(), headerFrame.size());
    output.Seek(static_cast<std::int64_t>(back), CFile::From::Begin);
    return scan.frames;
  };
  // Cut short: every written frame plays, up to the end of the last one, and
  // the header frame describes them; false when not one frame is there.
  auto cutShort = [&](std::uint64_t reached) {
    tag.padding = kDecoderDelay;
    const std::uint64_t wholeEnd = CutToWholeFrames(output, audioAt, lead.sourceFrom, reached);
    finish(scanWritten(wholeEnd), wholeEnd);
    return wholeEnd > lead.sourceFrom;
  };

  bool cancelled = false;
  try {
    if (facts_.id3v2End > 0) {
      source_.Seek(0, CFile::From::Begin);
      copy_(output, facts_.id3v2End, nullptr);
    }
    output.Write(headerFrame.data(), headerFrame.size());
    output.Write(lead.bytes.data(), lead.bytes.size());
    ahead = std::async(std::launch::async, scanOf, to);
    const std::uint64_t reached =
        CopyFrames(output, lead.sourceFrom, span.progressFrom, span.progressTo, to, progress, cancelled);
    if (reached < to) {
      settle();
      cutShort(reached);
    } else {
      const std::uint64_t frames = finish(ahead.get(), to);
      // The next piece's count of frames starts here.
      if (facts_.frameNumbers) {
        const auto known = facts_.frameNumbers->find(lead.sourceFrom);
        if (known != facts_.frameNumbers->end())
          (*facts_.frameNumbers)[end] = known->second + frames - (to > end ? 1 : 0);
      }
    }
    AppendId3v1(output);
    output.Flush();  // a failure to write shows here, while the piece can still be mended
  } catch (CFileException& failure) {
    settle();
    if (MendOrRemove(output, [&] { return cutShort(to); })) failure.AddNote(msg::kOutputRemoved);
    throw;
  } catch (...) {
    settle();
    MendOrRemove(output, [&] { return cutShort(to); });
    throw;
  }
  return !cancelled;
}
