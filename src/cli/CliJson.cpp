#include "cli/CliJson.h"

#include <id3tag.h>

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

QString Utf8(const id3_ucs4_t* text) {
  if (!text) return {};
  std::unique_ptr<id3_utf8_t, void (*)(void*)> utf8(id3_ucs4_utf8duplicate(text), std::free);
  return utf8 ? QString::fromUtf8(reinterpret_cast<const char*>(utf8.get())) : QString();
}

// The text of a frame: the strings of a text frame (joined by " / "), the
// full text of a comment; empty for frames that hold no text.
QString FrameText(const id3_frame& frame) {
  QStringList parts;
  for (unsigned i = 0; i < frame.nfields; ++i) {
    const id3_field* field = id3_frame_field(&frame, i);
    if (!field) continue;
    if (id3_field_type(field) == ID3_FIELD_TYPE_STRINGLIST) {
      for (unsigned n = 0; n < id3_field_getnstrings(field); ++n)
        parts << Utf8(id3_field_getstrings(field, n));
    } else if (id3_field_type(field) == ID3_FIELD_TYPE_STRINGFULL) {
      parts << Utf8(id3_field_getfullstring(field));
    }
  }
  return parts.join(QStringLiteral(" / "));
}

QJsonValue Id3v2Json(const CMp3File& mp3) {
  const std::uint64_t length = mp3.GetId3v2End();
  if (length == 0) return QJsonValue::Null;
  QJsonObject tag{{QStringLiteral("bytes"), static_cast<qint64>(length)}};
  CFile file;
  if (length > kMaxId3v2Bytes || !file.Open(mp3.GetFilePath(), CFile::Mode::ReadShared)) return tag;
  std::vector<id3_byte_t> bytes(length);
  if (file.ReadAt(bytes.data(), bytes.size(), 0) != bytes.size()) return tag;
  std::unique_ptr<id3_tag, void (*)(id3_tag*)> parsed(id3_tag_parse(bytes.data(), bytes.size()),
                                                      id3_tag_delete);
  if (!parsed) return tag;
  const unsigned version = id3_tag_version(parsed.get());
  tag[QStringLiteral("version")] =
      QStringLiteral("2.%1.%2").arg(ID3_TAG_VERSION_MAJOR(version)).arg(ID3_TAG_VERSION_MINOR(version));
  QJsonArray frames;
  for (unsigned i = 0; i < parsed->nframes; ++i) {
    const id3_frame& frame = *parsed->frames[i];
    QJsonObject entry{{QStringLiteral("id"), QString::fromLatin1(frame.id)}};
    const QString text = FrameText(frame);
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
