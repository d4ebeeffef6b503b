// The MP3 format behind the engine's format interface: what the registry
// knows of it, and the format-neutral side of CMp3File (facts, decoding,
// analysis, tags, the conversion it offers).

#include <taglib/commentsframe.h>
#include <taglib/id3v2frame.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/textidentificationframe.h>
#include <taglib/unsynchronizedlyricsframe.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "core/AudioFailure.h"
#include "core/PcmSink.h"
#include "core/PieceTags.h"
#include "core/StringTable.h"
#include "core/mp3/MadDecoder.h"
#include "core/mp3/Mp3File.h"
#include "core/mp3/Mp3Levels.h"
#include "core/mp3/Mp3Peaks.h"

namespace {

class CMp3Format : public CAudioFormat {
 public:
  const char* Name() const override { return "MP3"; }
  const char* Extension() const override { return ".mp3"; }
  const char* FileNoun() const override { return "an MP3 file"; }
  const char* DefaultExtension() const override { return "*.MP3"; }
  const char* FileFilter() const override { return mp3::kFileFilter; }
  const char* CueFileType() const override { return "MP3"; }
  std::string PieceName(const std::string& base, const std::string& suffix,
                        std::uint32_t number) const override {
    return Mp3PieceName(Mp3PieceBase(base), suffix, number);
  }
  std::optional<Conversion> MadeBy() const override { return Conversion::ToMp3; }
  bool Converts(Conversion conversion) const override {
    return conversion == Conversion::ToWav || conversion == Conversion::ToFlac;
  }
  std::unique_ptr<CAudioFile> Open(const std::string& path, CWriteFaults* writeFaults) const override {
    return std::make_unique<CMp3File>(path, writeFaults);
  }
  void TagPiece(const std::string& source, const std::string& piece,
                const split::PieceTagFacts& facts) const override {
    split::TagMp3Piece(source, piece, facts);
  }
};

// ID3v2 tags larger than this (big cover pictures) are described by size only.
constexpr std::uint64_t kMaxId3v2Bytes = 16u << 20;

std::string Latin1ToUtf8(const std::string& text) {
  std::string utf8;
  for (const unsigned char c : text) {
    if (c < 0x80) {
      utf8 += static_cast<char>(c);
    } else {
      utf8 += static_cast<char>(0xC0 | (c >> 6));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return utf8;
}

std::string Utf8(const TagLib::String& text) {
  return text.to8Bit(true);
}

// The text of a frame: the strings of a text frame (joined by " / "), the
// text of a comment or lyrics frame; empty for frames that hold no text.
std::string FrameText(const TagLib::ID3v2::Frame& frame) {
  if (const auto* text = dynamic_cast<const TagLib::ID3v2::TextIdentificationFrame*>(&frame)) {
    std::string joined;
    bool first = true;
    for (const TagLib::String& part : text->fieldList()) {
      joined += (first ? "" : " / ") + Utf8(part);
      first = false;
    }
    return joined;
  }
  if (const auto* comment = dynamic_cast<const TagLib::ID3v2::CommentsFrame*>(&frame))
    return Utf8(comment->text());
  if (const auto* lyrics = dynamic_cast<const TagLib::ID3v2::UnsynchronizedLyricsFrame*>(&frame))
    return Utf8(lyrics->text());
  return {};
}

FactValue Id3v2Facts(const CMp3File& mp3) {
  const std::uint64_t length = mp3.GetId3v2End();
  if (length == 0) return {};
  FactObject tag{{"bytes", length}};
  CFile file;
  if (length > kMaxId3v2Bytes || !file.Open(mp3.GetFilePath(), CFile::Mode::ReadShared)) return tag;
  TagLib::ByteVector bytes(static_cast<unsigned>(length), '\0');
  if (file.ReadAt(bytes.data(), bytes.size(), 0) != bytes.size()) return tag;
  // TagLib reads the tag from the bytes read here, so a file that changes
  // meanwhile cannot make it read past them.
  TagLib::ByteVectorStream stream(bytes);
  TagLib::MPEG::File parsed(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
  const TagLib::ID3v2::Tag* id3 = parsed.hasID3v2Tag() ? parsed.ID3v2Tag() : nullptr;
  if (!id3) return tag;
  tag.emplace_back("version", "2." + std::to_string(id3->header()->majorVersion()) + "." +
                                  std::to_string(id3->header()->revisionNumber()));
  FactList frames;
  for (const TagLib::ID3v2::Frame* frame : id3->frameList()) {
    const TagLib::ByteVector id = frame->frameID();
    // Frame ids are Latin-1.
    FactObject entry{{"id", Latin1ToUtf8(std::string(id.data(), id.size()))}};
    const std::string text = FrameText(*frame);
    if (!text.empty()) entry.emplace_back("text", text);
    frames.emplace_back(std::move(entry));
  }
  tag.emplace_back("frames", std::move(frames));
  return tag;
}

FactValue Id3v1Facts(const CMp3File& mp3) {
  if (!mp3.HasTag()) return {};
  // ID3v1 fields are Latin-1.
  const Mp3TagFields fields = mp3.GetId3v1Fields();
  return FactObject{{"title", Latin1ToUtf8(fields.title)},     {"artist", Latin1ToUtf8(fields.artist)},
                    {"album", Latin1ToUtf8(fields.album)},     {"year", Latin1ToUtf8(fields.year)},
                    {"comment", Latin1ToUtf8(fields.comment)}, {"genre", Latin1ToUtf8(fields.genre)}};
}

FactValue LameFacts(CMp3File& mp3) {
  const std::optional<mp3::LameTag>& tag = mp3.GetTrustedLameTag();
  if (!tag) return {};
  FactObject lame{{"constantBitrate", tag->constant},
                  {"frames", tag->frames},
                  {"bytes", tag->bytes},
                  {"quality", tag->quality}};
  if (tag->hasExtension) {
    lame.emplace_back(
        "encoder",
        Latin1ToUtf8(std::string(tag->version.data(), ::strnlen(tag->version.data(), tag->version.size()))));
    lame.emplace_back("delay", tag->delay);
    lame.emplace_back("padding", tag->padding);
    lame.emplace_back("lowpassHz", std::int64_t{tag->lowpass} * 100);
  }
  return lame;
}

// Counts what passes on to the caller's sink.
class CCountingSink : public CPcmSink {
 public:
  explicit CCountingSink(CPcmSink& to) : to_(to) {}
  void Write(const std::uint8_t* bytes, std::size_t count) override {
    to_.Write(bytes, count);
    written_ += count;
  }
  std::uint64_t Written() const { return written_; }

 private:
  CPcmSink& to_;
  std::uint64_t written_ = 0;
};

}  // namespace

const CAudioFormat& Mp3FileFormat() {
  static const CMp3Format format;
  return format;
}

const CAudioFormat& CMp3File::Format() const {
  return Mp3FileFormat();
}

std::uint16_t CMp3File::GetChannels() const {
  return reference_.ChannelMode() == 3 ? 1 : 2;
}

std::uint64_t CMp3File::CountDecodedSamples() {
  return split::Mp3TotalSamples(*this);
}

std::vector<CAudioFile::TagField> CMp3File::GetTagFields() const {
  const Mp3TagFields tag = GetId3v1Fields();
  // The file name is the system's bytes; the six fields ID3v1's Latin-1.
  return {{"File name", tag.fileName, false}, {"Title", tag.title, true}, {"Artist", tag.artist, true},
          {"Album", tag.album, true},         {"Year", tag.year, true},   {"Comments", tag.comment, true},
          {"Genre", tag.genre, true}};
}

std::uint64_t CMp3File::GetLeadInSamples() {
  const std::optional<mp3::LameTag>& tag = GetTrustedLameTag();
  return tag ? tag->delay + mp3::kDecoderDelay : 0;
}

FactObject CMp3File::DescribeFacts() {
  const mp3::FrameHeader header{GetHeader()};
  const unsigned version = header.Version();
  return {{"type", "mp3"},
          {"mpegVersion", version == 0   ? "2.5"
                          : version == 2 ? "2"
                                         : "1"},
          {"layer", header.LayerNumber()},
          {"bitrate", GetDisplayBitrate()},
          {"frameLength", GetFrameLength()},
          {"copyrighted", header.Copyright() != 0},
          {"original", header.Original() != 0},
          {"audioStart", GetAudioStart()},
          {"audioEnd", GetAudioEnd()},
          {"id3v1", Id3v1Facts(*this)},
          {"id3v2", Id3v2Facts(*this)},
          {"lame", LameFacts(*this)}};
}

SplitEstimate CMp3File::EstimateSplit(std::uint32_t splits) const {
  return EstimateMp3Split(GetSplitFacts(), splits);
}

std::uint64_t CMp3File::DecodeSpan(std::uint64_t firstSample, std::uint64_t endSample, CPcmSink& sink) {
  if (!scanned_ || Rewind() != err::kNone) throw CAudioFailure(error, GetFilePath());
  // The samples of the whole decode are those a conversion to WAV keeps.
  const DecodeTrim trim = GetDecodeTrim();
  const std::uint64_t end = std::min(endSample, trim.keep);
  if (firstSample >= end) return 0;
  CCountingSink counted(sink);
  CMadDecoder decoder(file, audioEnd_, counted, nullptr);
  decoder.SetTrim(trim.skip + firstSample, end - firstSample);
  decoder.StopAfterKept();
  decoder.Run();
  if (const std::exception_ptr failure = decoder.Failure()) std::rethrow_exception(failure);
  if (decoder.Error() != err::kNone) throw CAudioFailure(decoder.Error(), GetFilePath());
  const std::uint64_t frameBytes = std::uint64_t{decoder.Channels() ? decoder.Channels() : GetChannels()} * 2;
  return counted.Written() / frameBytes;
}

split::WindowLevels CMp3File::ScanLevels(const split::LevelScanOptions& options,
                                         split::LevelScanStats* stats) {
  return split::ScanMp3Levels(*this, options, stats);
}

std::unique_ptr<peaks::CPeakSource> CMp3File::MakePeakSource(std::string& whyNot) {
  return peaks::MakeMp3PeakSource(*this, whyNot);
}
