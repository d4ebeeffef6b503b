#include "core/flac/FlacDecoder.h"

#include <FLAC/stream_decoder.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "core/AudioFailure.h"
#include "core/File.h"
#include "core/TimeText.h"

namespace flac {
namespace {

struct DecoderDeleter {
  void operator()(FLAC__StreamDecoder* d) const { FLAC__stream_decoder_delete(d); }
};

struct Feed {
  const CFile& file;
  std::vector<std::uint8_t> prefix;  // "fLaC" and STREAMINFO
  std::size_t prefixAt = 0;
  std::uint64_t at = 0, end = 0;  // the frames' bytes still to hand over
  const BlockSink& sink;
  std::size_t frame = 0;  // the frame being decoded, for messages
  bool failed = false;
  std::exception_ptr fault;
};

FLAC__StreamDecoderReadStatus Read(const FLAC__StreamDecoder*, FLAC__byte buffer[], size_t* bytes,
                                   void* client) {
  auto* feed = static_cast<Feed*>(client);
  std::size_t given = 0;
  if (feed->prefixAt < feed->prefix.size()) {
    given = std::min(*bytes, feed->prefix.size() - feed->prefixAt);
    std::memcpy(buffer, feed->prefix.data() + feed->prefixAt, given);
    feed->prefixAt += given;
  } else if (feed->at < feed->end) {
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(*bytes, feed->end - feed->at));
    try {
      given = feed->file.ReadAt(buffer, want, feed->at);
    } catch (...) {
      feed->fault = std::current_exception();
      return FLAC__STREAM_DECODER_READ_STATUS_ABORT;
    }
    // The file shrank under the decode.
    if (given < want) {
      feed->fault = std::make_exception_ptr(CFileException(FileCause::EndOfFile, feed->file.GetFilePath()));
      return FLAC__STREAM_DECODER_READ_STATUS_ABORT;
    }
    feed->at += given;
  }
  *bytes = given;
  return given == 0 ? FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM
                    : FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
}

FLAC__StreamDecoderWriteStatus Write(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                     const FLAC__int32* const buffer[], void* client) {
  auto* feed = static_cast<Feed*>(client);
  try {
    feed->sink(buffer, frame->header.blocksize);
  } catch (...) {
    feed->fault = std::current_exception();
    return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
  }
  ++feed->frame;
  return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

void Error(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void* client) {
  static_cast<Feed*>(client)->failed = true;
}

}  // namespace

void ThrowDamagedFrame(const std::string& path, const FrameIndex& index, std::size_t frame,
                       std::uint32_t sampleRate) {
  const std::uint64_t sample = frame < index.frames.size() ? index.frames[frame].firstSample : index.samples;
  throw CAudioFailure(err::kDamagedAudio, path, 0,
                      path + ": frame " + std::to_string(frame) + " (at " +
                          (sampleRate ? timetext::FormatTime(timetext::MicrosOf(sample, sampleRate)) : "?") +
                          ") is damaged: its checksum does not match its audio.");
}

void DecodeFrames(const CFile& file, const Metadata& meta, const FrameIndex& index, std::size_t first,
                  std::size_t end, const BlockSink& sink) {
  end = std::min(end, index.frames.size());
  if (first >= end) return;
  const std::size_t damaged = index.FirstDamaged(first, end);
  if (damaged < end) ThrowDamagedFrame(file.GetFilePath(), index, damaged, meta.info.sampleRate);

  StreamInfo info = meta.info;
  info.totalSamples = 0;
  info.md5 = {};
  // The frames' own sizes, which a lying STREAMINFO may not bound.
  info.minBlock = static_cast<std::uint16_t>(std::min<std::uint32_t>(index.minBlock, 65535));
  info.maxBlock = static_cast<std::uint16_t>(std::min<std::uint32_t>(index.maxBlock, 65535));
  info.minFrame = info.maxFrame = 0;
  Feed feed{file,
            {'f', 'L', 'a', 'C'},
            0,
            index.frames[first].offset,
            index.frames[end - 1].offset + index.frames[end - 1].length,
            sink,
            first,
            false,
            nullptr};
  const std::vector<std::uint8_t> header = BlockHeader(0, kStreamInfoSize, true);
  const auto body = WriteStreamInfo(info);
  feed.prefix.insert(feed.prefix.end(), header.begin(), header.end());
  feed.prefix.insert(feed.prefix.end(), body.begin(), body.end());

  std::unique_ptr<FLAC__StreamDecoder, DecoderDeleter> decoder(FLAC__stream_decoder_new());
  if (!decoder ||
      FLAC__stream_decoder_init_stream(decoder.get(), &Read, nullptr, nullptr, nullptr, nullptr, &Write,
                                       nullptr, &Error, &feed) != FLAC__STREAM_DECODER_INIT_STATUS_OK)
    throw CAudioFailure(err::kNoMemory, file.GetFilePath());
  while (feed.frame < end && !feed.failed && !feed.fault) {
    if (!FLAC__stream_decoder_process_single(decoder.get())) break;
    if (FLAC__stream_decoder_get_state(decoder.get()) == FLAC__STREAM_DECODER_END_OF_STREAM) break;
  }
  if (feed.fault) std::rethrow_exception(feed.fault);
  if (feed.failed || feed.frame < end)
    ThrowDamagedFrame(file.GetFilePath(), index, feed.frame, meta.info.sampleRate);
}

std::uint64_t DecodeInterleaved(const CFile& file, const Metadata& meta, const FrameIndex& index,
                                std::uint64_t first, std::uint64_t end, const InterleavedSink& sink) {
  end = std::min(end, index.samples);
  if (first >= end) return 0;
  const std::size_t firstFrame = index.FrameAt(first), endFrame = index.FrameAt(end - 1) + 1;
  const unsigned channels = meta.info.channels;
  std::vector<std::int32_t> interleaved;
  std::uint64_t at = index.frames[firstFrame].firstSample, delivered = 0;
  DecodeFrames(file, meta, index, firstFrame, endFrame,
               [&](const std::int32_t* const* planes, std::uint32_t samples) {
                 const std::uint64_t from = std::max(first, at), to = std::min(end, at + samples);
                 if (from < to) {
                   const auto count = static_cast<std::uint32_t>(to - from);
                   interleaved.resize(std::size_t{count} * channels);
                   for (std::uint32_t i = 0; i < count; ++i)
                     for (unsigned c = 0; c < channels; ++c)
                       interleaved[std::size_t{i} * channels + c] = planes[c][from - at + i];
                   sink(interleaved.data(), count);
                   delivered += count;
                 }
                 at += samples;
               });
  return delivered;
}

}  // namespace flac
