// Cutting a FLAC file: a piece is the source's frames copied byte for byte
// with new numbers, and the two edge frames decoded and encoded again to
// hold exactly the samples asked for. A piece that starts inside a frame, or
// whose frames differ in size, counts its frames by sample number (variable
// block size); one that starts on a frame of a fixed-size stream keeps
// frame numbers.

#include <algorithm>
#include <cstring>

#include "core/FlacEncoder.h"
#include "core/Progress.h"
#include "core/StringTable.h"
#include "core/TimeText.h"
#include "core/flac/FlacDecoder.h"
#include "core/flac/FlacFile.h"

namespace {

using flac::FrameIndex;

// One frame of the piece: a run of the source's frame, or one encoded anew.
struct PlannedFrame {
  std::size_t source = 0;             // the source frame it is copied from
  std::vector<std::uint8_t> encoded;  // the frame's bytes, when encoded anew
  std::uint32_t samples = 0;
};

// The seek table of a piece: a point about every ten seconds.
constexpr std::uint64_t kSeekSpacingSeconds = 10;
constexpr std::size_t kSeekPointSize = 18;
constexpr std::uint32_t kPadding = 8192;
// Frames are copied in runs of about this many bytes.
constexpr std::size_t kCopyRun = 1 << 20;

void PutBe(std::vector<std::uint8_t>& out, std::uint64_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

}  // namespace

void CFlacFile::CheckSpan(const FrameIndex& index, std::uint64_t first, std::uint64_t end) const {
  end = std::min(end, index.samples);
  if (first >= end) return;
  const std::size_t a = index.FrameAt(first), b = index.FrameAt(end - 1) + 1;
  const std::size_t damaged = index.FirstDamaged(a, b);
  if (damaged < b) flac::ThrowDamagedFrame(GetFilePath(), index, damaged, meta_.info.sampleRate);
}

std::uint64_t CFlacFile::WriteSpan(const FrameIndex& index, CFile& out, std::uint64_t first,
                                   std::uint64_t end, CProgress& progress) const {
  const flac::StreamInfo& info = meta_.info;
  const unsigned channels = info.channels;
  const std::size_t a = index.FrameAt(first), b = index.FrameAt(end - 1);

  // An edge: the samples [from, to) of one source frame, encoded as one frame.
  const auto encodeEdge = [&](std::uint64_t from, std::uint64_t to) {
    PlannedFrame frame;
    frame.samples = static_cast<std::uint32_t>(to - from);
    std::vector<std::int32_t> samples;
    samples.reserve(std::size_t{frame.samples} * channels);
    flac::DecodeInterleaved(file, meta_, index, from, to,
                            [&](const std::int32_t* block, std::uint32_t count) {
                              samples.insert(samples.end(), block, block + std::size_t{count} * channels);
                            });
    CFlacEncoder::Shape shape{info.sampleRate, channels, info.bitsPerSample, frame.samples,
                              std::max<std::uint32_t>(16, frame.samples)};
    CFlacEncoder encoder(shape, {}, [&](const std::uint8_t* bytes, std::size_t count, std::uint32_t) {
      frame.encoded.insert(frame.encoded.end(), bytes, bytes + count);
    });
    if (!encoder.IsReady() || !encoder.Encode(samples.data(), frame.samples) || !encoder.Finish())
      throw CAudioFailure(err::kFlacEncoder, GetFilePath());
    return frame;
  };
  std::vector<PlannedFrame> plan;
  const auto whole = [&](std::size_t i) { return PlannedFrame{i, {}, index.frames[i].blockSize}; };
  const std::uint64_t aStart = index.frames[a].firstSample,
                      bEnd = index.frames[b].firstSample + index.frames[b].blockSize;
  if (a == b) {
    plan.push_back(first == aStart && end == bEnd ? whole(a) : encodeEdge(first, end));
  } else {
    plan.push_back(first == aStart
                       ? whole(a)
                       : encodeEdge(first, index.frames[a].firstSample + index.frames[a].blockSize));
    for (std::size_t i = a + 1; i < b; ++i) plan.push_back(whole(i));
    plan.push_back(end == bEnd ? whole(b) : encodeEdge(index.frames[b].firstSample, end));
  }
  // Frame numbers need every frame but the last the size of the first.
  bool variable = false;
  for (std::size_t i = 0; i + 1 < plan.size(); ++i) variable |= plan[i].samples != plan[0].samples;
  variable |= plan.size() > 1 && plan.back().samples > plan[0].samples;
  std::uint8_t sourceHead[2];
  if (index.frames[a].length >= 2 && file.ReadAt(sourceHead, 2, index.frames[a].offset) == 2)
    variable |= (sourceHead[1] & 1) != 0;

  // The piece's frame sizes and sample positions are known before any byte
  // is written: the numbers change a header's length by a few bytes at most.
  const auto frameLength = [&](const PlannedFrame& f) {
    return f.encoded.empty() ? index.frames[f.source].length : static_cast<std::uint32_t>(f.encoded.size());
  };
  flac::StreamInfo piece = info;
  piece.totalSamples = end - first;
  piece.md5 = {};  // the copied frames are not decoded: no MD5 is claimed
  piece.minBlock = piece.maxBlock =
      static_cast<std::uint16_t>(std::min<std::uint32_t>(plan[0].samples, 65535));
  for (std::size_t i = 0; i < plan.size(); ++i) {
    if (!variable && i + 1 == plan.size()) break;
    piece.minBlock = static_cast<std::uint16_t>(std::min<std::uint32_t>(piece.minBlock, plan[i].samples));
    piece.maxBlock = static_cast<std::uint16_t>(
        std::min<std::uint32_t>(std::max<std::uint32_t>(piece.maxBlock, plan[i].samples), 65535));
  }
  piece.minBlock = std::max<std::uint16_t>(piece.minBlock, 16);
  piece.maxBlock = std::max(piece.maxBlock, piece.minBlock);

  // Metadata: STREAMINFO (rewritten at the end), the seek table, the
  // source's comments, pictures and application blocks, then padding.
  std::vector<std::uint8_t> head{'f', 'L', 'a', 'C'};
  const std::uint64_t streamInfoAt = 8;
  std::vector<const flac::MetadataBlock*> carried;
  for (const flac::MetadataBlock& block : meta_.blocks)
    if (block.type == static_cast<std::uint8_t>(flac::BlockType::VorbisComment) ||
        block.type == static_cast<std::uint8_t>(flac::BlockType::Picture) ||
        block.type == static_cast<std::uint8_t>(flac::BlockType::Application))
      carried.push_back(&block);
  const std::uint64_t spacing = kSeekSpacingSeconds * info.sampleRate;
  // The points' count is known now; their offsets come from the frames as
  // written (a new number may lengthen a header by a byte or two).
  std::vector<std::uint8_t> seekTable;
  std::uint64_t plannedBytes = 0;
  {
    std::uint64_t sample = 0, nextPoint = 0;
    for (const PlannedFrame& f : plan) {
      if (sample >= nextPoint && seekTable.size() / kSeekPointSize < 65536) {
        PutBe(seekTable, sample, 8);
        PutBe(seekTable, 0, 8);
        PutBe(seekTable, f.samples, 2);
        nextPoint = sample + spacing;
      }
      sample += f.samples;
      plannedBytes += frameLength(f);
    }
  }
  const auto appendHeader = [&](std::uint8_t type, std::uint32_t length, bool last) {
    const std::vector<std::uint8_t> h = flac::BlockHeader(type, length, last);
    head.insert(head.end(), h.begin(), h.end());
  };
  appendHeader(0, flac::kStreamInfoSize, false);
  head.resize(head.size() + flac::kStreamInfoSize);
  appendHeader(3, static_cast<std::uint32_t>(seekTable.size()), false);
  const std::size_t seekTableAt = head.size();
  head.insert(head.end(), seekTable.begin(), seekTable.end());
  out.Write(head.data(), head.size());
  std::vector<std::uint8_t> buffer;
  for (const flac::MetadataBlock* block : carried) {
    const std::vector<std::uint8_t> h = flac::BlockHeader(block->type, block->length, false);
    out.Write(h.data(), h.size());
    for (std::uint64_t done = 0; done < block->length;) {
      buffer.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kCopyRun, block->length - done)));
      if (file.ReadAt(buffer.data(), buffer.size(), block->offset + done) != buffer.size())
        throw CFileException(FileCause::EndOfFile, GetFilePath());
      out.Write(buffer.data(), buffer.size());
      done += buffer.size();
    }
  }
  const std::vector<std::uint8_t> padHeader = flac::BlockHeader(1, kPadding, true);
  out.Write(padHeader.data(), padHeader.size());
  out.Write(std::vector<std::uint8_t>(kPadding).data(), kPadding);

  // The frames, each numbered for its place in the piece.
  std::uint64_t sample = 0, written = 0, frameNumber = 0;
  std::uint32_t minFrame = 0, maxFrame = 0;
  std::vector<std::uint64_t> frameOffsets;
  frameOffsets.reserve(plan.size());
  std::uint64_t stepped = 0;
  const auto emit = [&](const std::uint8_t* bytes, std::size_t length,
                        const std::vector<std::uint8_t>& newHeader, std::size_t oldHeaderLength,
                        std::uint16_t crc) {
    frameOffsets.push_back(written);
    out.Write(newHeader.data(), newHeader.size());
    out.Write(bytes + oldHeaderLength, length - oldHeaderLength - 2);
    const std::uint8_t tail[2] = {static_cast<std::uint8_t>(crc >> 8), static_cast<std::uint8_t>(crc)};
    out.Write(tail, 2);
    const auto size = static_cast<std::uint32_t>(newHeader.size() + length - oldHeaderLength);
    written += size;
    minFrame = minFrame == 0 ? size : std::min(minFrame, size);
    maxFrame = std::max(maxFrame, size);
  };
  progress.SetFileRange(ProgressTotal(plannedBytes), static_cast<std::uint32_t>(kCopyBlock));
  bool cancelled = false;
  for (std::size_t i = 0; i < plan.size() && !cancelled;) {
    const std::uint64_t number = variable ? sample : frameNumber;
    if (!plan[i].encoded.empty()) {
      const std::vector<std::uint8_t>& bytes = plan[i].encoded;
      const std::optional<flac::FrameHeader> h = flac::ParseFrameHeader(bytes.data(), bytes.size(), info);
      if (!h) throw CAudioFailure(err::kFlacEncoder, GetFilePath());
      std::vector<std::uint8_t> frame = flac::RenumberHeader(bytes.data(), *h, number, variable);
      frame.insert(frame.end(), bytes.begin() + static_cast<std::ptrdiff_t>(h->length), bytes.end() - 2);
      const std::uint16_t crc = flac::Crc16(frame.data(), frame.size());
      emit(frame.data(), frame.size() + 2, frame, frame.size(), crc);
      sample += plan[i].samples;
      ++frameNumber;
      ++i;
      continue;
    }
    // A run of source frames lying one after another, read at once.
    std::size_t j = i;
    std::uint64_t runBytes = 0;
    while (j < plan.size() && plan[j].encoded.empty() && (j == i || runBytes < kCopyRun) &&
           (j == i || index.frames[plan[j].source].offset == index.frames[plan[j - 1].source].offset +
                                                                 index.frames[plan[j - 1].source].length)) {
      runBytes += index.frames[plan[j].source].length;
      ++j;
    }
    buffer.resize(static_cast<std::size_t>(runBytes));
    const std::uint64_t runAt = index.frames[plan[i].source].offset;
    // The source shrank since its frames were indexed.
    if (file.ReadAt(buffer.data(), buffer.size(), runAt) != buffer.size())
      throw CFileException(FileCause::EndOfFile, GetFilePath());
    for (; i < j; ++i) {
      const flac::Frame& f = index.frames[plan[i].source];
      const std::uint8_t* bytes = buffer.data() + (f.offset - runAt);
      const std::optional<flac::FrameHeader> h = flac::ParseFrameHeader(bytes, f.length, info);
      if (!h) throw CFileException(FileCause::InvalidFile, GetFilePath());
      const std::uint64_t renumbered = variable ? sample : frameNumber;
      std::vector<std::uint8_t> newHeader = flac::RenumberHeader(bytes, *h, renumbered, variable);
      const std::vector<std::uint8_t> oldHeader(bytes, bytes + h->length);
      const std::uint16_t oldCrc = static_cast<std::uint16_t>(bytes[f.length - 2] << 8 | bytes[f.length - 1]);
      const std::uint16_t crc =
          newHeader == oldHeader
              ? oldCrc
              : flac::RenumberedFrameCrc(oldCrc, oldHeader, newHeader, f.length - h->length - 2);
      emit(bytes, f.length, newHeader, h->length, crc);
      sample += plan[i].samples;
      ++frameNumber;
    }
    for (; stepped + kCopyBlock <= written; stepped += kCopyBlock) progress.StepFile();
    cancelled = progress.IsCancelled();
  }

  // What the piece holds, now that it is known: a cancelled piece states
  // the frames it has.
  piece.totalSamples = sample;
  piece.minFrame = minFrame;
  piece.maxFrame = maxFrame;
  const auto streamInfo = flac::WriteStreamInfo(piece);
  std::vector<std::uint8_t> table;
  {
    std::uint64_t s = 0, nextPoint = 0;
    for (std::size_t k = 0; k < frameOffsets.size() && table.size() < seekTable.size(); ++k) {
      if (s >= nextPoint) {
        PutBe(table, s, 8);
        PutBe(table, frameOffsets[k], 8);
        PutBe(table, plan[k].samples, 2);
        nextPoint = s + spacing;
      }
      s += plan[k].samples;
    }
    // Points the cancel left without a frame are placeholders.
    while (table.size() < seekTable.size()) {
      PutBe(table, 0xFFFFFFFFFFFFFFFFull, 8);
      PutBe(table, 0, 8);
      PutBe(table, 0, 2);
    }
  }
  const std::uint64_t end_ = out.GetPosition();
  out.Seek(static_cast<std::int64_t>(streamInfoAt), CFile::From::Begin);
  out.Write(streamInfo.data(), streamInfo.size());
  out.Seek(static_cast<std::int64_t>(seekTableAt), CFile::From::Begin);
  out.Write(table.data(), table.size());
  out.Seek(static_cast<std::int64_t>(end_), CFile::From::Begin);
  return sample;
}

OperationResult CFlacFile::SaveSelectionSamples(const std::string& outputPath, std::uint64_t firstSample,
                                                std::uint64_t endSample, CProgress* progress) {
  error = err::kNone;
  if (RefuseOwnSource(outputPath)) return {error};
  // A cut from a file not scanned yet reads only its own stretch.
  std::optional<flac::FrameIndex> span;
  {
    std::lock_guard<std::mutex> lock(indexLock_);
    if (!index_ && firstSample < endSample) span = flac::ScanFrameSpan(file, meta_, firstSample, endSample);
  }
  const FrameIndex& index = span ? *span : Frames();
  endSample = std::min(endSample, index.samples);
  if (firstSample >= endSample) {
    error = err::kZeroLength;
    return {error};
  }
  CheckSpan(index, firstSample, endSample);
  CFile out;
  if (!CreateOutput(out, outputPath)) return {error};
  CProgress silent;
  CProgress& p = progress ? *progress : silent;
  p.Start();
  p.SetFileCount(1);
  p.SetShreddingText(GetFileName(), FileNamePart(outputPath));
  p.SetFileNumber(1);
  // A piece that is not closed is removed as it goes: a failure leaves none.
  const std::uint64_t written = WriteSpan(index, out, firstSample, endSample, p);
  out.Close();
  p.StepOverall();
  p.Close();
  OperationResult result;
  if (!p.IsCancelled()) {
    result.notice = OperationNotice{"FLAC Split Saved",
                                    FormatText("This selection will last for %.2lf seconds",
                                               timetext::SecondsOf(written, meta_.info.sampleRate)),
                                    MessageIcon::Information};
  }
  return result;
}

OperationResult CFlacFile::SplitEqually(const ShredRequest& request, CProgress* progress) {
  error = err::kNone;
  const std::uint32_t pieces = request.numberOfSplits;
  if (pieces == 0) {
    error = err::kNoSplits;
    return {error};
  }
  const std::uint64_t total = Frames().samples;
  if (total < pieces) {
    error = err::kZeroLength;
    return {error};
  }
  const std::string base = request.baseFilename.empty() ? GetFilePath() : request.baseFilename;
  for (std::uint32_t i = 1; i <= pieces; ++i)
    if (RefuseOwnSource(Format().PieceName(base, suffix, i))) return {error};
  const std::uint64_t overlap = timetext::SampleAt(overlapMicros, meta_.info.sampleRate);
  CProgress silent;
  CProgress& p = progress ? *progress : silent;
  p.Start();
  p.SetFileCount(pieces);
  for (std::uint32_t i = 1; i <= pieces; ++i) {
    const std::uint64_t start = total * (i - 1) / pieces, end = total * i / pieces;
    const std::uint64_t first = start - std::min(overlap, start);
    CheckSpan(Frames(), first, end);
    const std::string name = Format().PieceName(base, suffix, i);
    CFile out;
    if (!CreateOutput(out, name)) break;
    p.SetShreddingText(GetFileName(), FileNamePart(name));
    p.SetFileNumber(i);
    WriteSpan(Frames(), out, first, end, p);
    out.Close();
    p.StepOverall();
    if (p.IsCancelled()) break;
  }
  return {error};
}
