#include "cli/CliJson.h"

#include <taglib/commentsframe.h>
#include <taglib/id3v2frame.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/textidentificationframe.h>
#include <taglib/unsynchronizedlyricsframe.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "core/File.h"
#include "core/SplitEstimate.h"
#include "core/mp3/Mp3File.h"
#include "core/wav/WaveFile.h"

namespace {

// ID3v2 tags larger than this (big cover pictures) are reported by size only.
constexpr std::uint64_t kMaxId3v2Bytes = 16u << 20;

QString Text(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string Line(const QJsonObject& object) {
  return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString() + "\n";
}

QString Text(const TagLib::String& text) {
  return QString::fromStdString(text.to8Bit(true));
}

// The text of a frame: the strings of a text frame (joined by " / "), the
// text of a comment or lyrics frame; empty for frames that hold no text.
QString FrameText(const TagLib::ID3v2::Frame& frame) {
  if (const auto* text = dynamic_cast<const TagLib::ID3v2::TextIdentificationFrame*>(&frame)) {
    QStringList parts;
    for (const TagLib::String& part : text->fieldList()) parts << Text(part);
    return parts.join(QStringLiteral(" / "));
  }
  if (const auto* comment = dynamic_cast<const TagLib::ID3v2::CommentsFrame*>(&frame))
    return Text(comment->text());
  if (const auto* lyrics = dynamic_cast<const TagLib::ID3v2::UnsynchronizedLyricsFrame*>(&frame))
    return Text(lyrics->text());
  return {};
}

QJsonValue Id3v2Json(const CMp3File& mp3) {
  const std::uint64_t length = mp3.GetId3v2End();
  if (length == 0) return QJsonValue::Null;
  QJsonObject tag{{QStringLiteral("bytes"), static_cast<qint64>(length)}};
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
  tag[QStringLiteral("version")] =
      QStringLiteral("2.%1.%2").arg(id3->header()->majorVersion()).arg(id3->header()->revisionNumber());
  QJsonArray frames;
  for (const TagLib::ID3v2::Frame* frame : id3->frameList()) {
    const TagLib::ByteVector id = frame->frameID();
    QJsonObject entry{
        {QStringLiteral("id"), QString::fromLatin1(id.data(), static_cast<qsizetype>(id.size()))}};
    const QString text = FrameText(*frame);
    if (!text.isEmpty()) entry[QStringLiteral("text")] = text;
    frames.append(entry);
  }
  tag[QStringLiteral("frames")] = frames;
  return tag;
}

QJsonValue Id3v1Json(const CMp3File& mp3) {
  if (!mp3.HasTag()) return QJsonValue::Null;
  // ID3v1 fields are Latin-1.
  const Mp3TagFields fields = mp3.GetTagFields();
  const auto latin1 = [](const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
  };
  return QJsonObject{
      {QStringLiteral("title"), latin1(fields.title)},     {QStringLiteral("artist"), latin1(fields.artist)},
      {QStringLiteral("album"), latin1(fields.album)},     {QStringLiteral("year"), latin1(fields.year)},
      {QStringLiteral("comment"), latin1(fields.comment)}, {QStringLiteral("genre"), latin1(fields.genre)}};
}

QJsonValue LameJson(CMp3File& mp3) {
  const std::optional<mp3::LameTag>& tag = mp3.GetTrustedLameTag();
  if (!tag) return QJsonValue::Null;
  QJsonObject lame{{QStringLiteral("constantBitrate"), tag->constant},
                   {QStringLiteral("frames"), static_cast<qint64>(tag->frames)},
                   {QStringLiteral("bytes"), static_cast<qint64>(tag->bytes)},
                   {QStringLiteral("quality"), static_cast<qint64>(tag->quality)}};
  if (tag->hasExtension) {
    lame[QStringLiteral("encoder")] = QString::fromLatin1(
        tag->version.data(), static_cast<qsizetype>(::strnlen(tag->version.data(), tag->version.size())));
    lame[QStringLiteral("delay")] = static_cast<qint64>(tag->delay);
    lame[QStringLiteral("padding")] = static_cast<qint64>(tag->padding);
    lame[QStringLiteral("lowpassHz")] = static_cast<qint64>(tag->lowpass) * 100;
  }
  return lame;
}

void AddMp3(QJsonObject& info, CMp3File& mp3) {
  const mp3::FrameHeader header{mp3.GetHeader()};
  const unsigned version = header.Version();
  info[QStringLiteral("type")] = QStringLiteral("mp3");
  info[QStringLiteral("mpegVersion")] = version == 0   ? QStringLiteral("2.5")
                                        : version == 2 ? QStringLiteral("2")
                                                       : QStringLiteral("1");
  info[QStringLiteral("layer")] = static_cast<int>(header.LayerNumber());
  info[QStringLiteral("bitrate")] = static_cast<qint64>(mp3.GetDisplayBitrate());
  info[QStringLiteral("frameLength")] = static_cast<qint64>(mp3.GetFrameLength());
  info[QStringLiteral("copyrighted")] = header.Copyright() != 0;
  info[QStringLiteral("original")] = header.Original() != 0;
  info[QStringLiteral("audioStart")] = static_cast<qint64>(mp3.GetAudioStart());
  info[QStringLiteral("audioEnd")] = static_cast<qint64>(mp3.GetAudioEnd());
  info[QStringLiteral("id3v1")] = Id3v1Json(mp3);
  info[QStringLiteral("id3v2")] = Id3v2Json(mp3);
  info[QStringLiteral("lame")] = LameJson(mp3);
}

void AddWave(QJsonObject& info, const CWaveFile& wave) {
  info[QStringLiteral("type")] = QStringLiteral("wav");
  info[QStringLiteral("formatTag")] = wave.GetFormatTag();
  info[QStringLiteral("channels")] = wave.GetChannels();
  info[QStringLiteral("bitsPerSample")] = wave.GetBitsPerSample();
  info[QStringLiteral("blockAlign")] = wave.GetBlockAlign();
  info[QStringLiteral("bytesPerSecond")] = static_cast<qint64>(wave.GetAvgBytesPerSec());
  info[QStringLiteral("channelMask")] = static_cast<qint64>(wave.GetChannelMask());
  info[QStringLiteral("dataOffset")] = static_cast<qint64>(wave.GetDataOffset());
  info[QStringLiteral("dataBytes")] = static_cast<qint64>(wave.GetDataSize());
}

}  // namespace

std::string InfoJson(CAudioFile& file, const std::string& path) {
  std::error_code ec;
  const auto bytes = std::filesystem::file_size(file.GetFilePath(), ec);
  QJsonObject info{
      {QStringLiteral("file"), Text(path)},
      {QStringLiteral("bytes"), ec ? QJsonValue(QJsonValue::Null) : QJsonValue(static_cast<qint64>(bytes))},
      {QStringLiteral("sampleRate"), static_cast<qint64>(file.GetSampleRate())},
      {QStringLiteral("samples"), static_cast<qint64>(file.GetSampleCount())},
      {QStringLiteral("seconds"), file.GetDuration()}};
  if (auto* mp3 = dynamic_cast<CMp3File*>(&file)) AddMp3(info, *mp3);
  if (const auto* wave = dynamic_cast<const CWaveFile*>(&file)) AddWave(info, *wave);
  return Line(info);
}

std::string EstimateJson(const std::string& path, std::uint32_t splits, std::uint32_t overlap,
                         const SplitEstimate& estimate, bool overlapTooHigh) {
  return Line(QJsonObject{{QStringLiteral("file"), Text(path)},
                          {QStringLiteral("splits"), static_cast<qint64>(splits)},
                          {QStringLiteral("overlapSeconds"), static_cast<qint64>(overlap)},
                          {QStringLiteral("overlapTooHigh"), overlapTooHigh},
                          {QStringLiteral("pieceBytes"), static_cast<qint64>(estimate.size)},
                          {QStringLiteral("pieceSeconds"), estimate.playtime}});
}

std::string BatchJson(const BatchJsonLine& line) {
  return Line(QJsonObject{{QStringLiteral("source"), Text(line.source)},
                          {QStringLiteral("output"), Text(line.output)},
                          {QStringLiteral("status"), Text(line.status)},
                          {QStringLiteral("reason"), line.reason.empty() ? QJsonValue(QJsonValue::Null)
                                                                         : QJsonValue(Text(line.reason))},
                          {QStringLiteral("seconds"), line.seconds}});
}
