#include "core/PieceTags.h"

#include <taglib/attachedpictureframe.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mpegfile.h>
#include <taglib/tfilestream.h>
#include <taglib/tpropertymap.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>

namespace split {

namespace {

TagLib::String Utf8(const std::string& text) {
  return TagLib::String(text, TagLib::String::UTF8);
}

std::string TrackText(const PieceTagFacts& facts) {
  std::string text = std::to_string(facts.track);
  if (facts.tracks != 0) text += '/' + std::to_string(facts.tracks);
  return text;
}

// The source's fields with the piece's own on top.
TagLib::PropertyMap MergedProperties(TagLib::PropertyMap properties, const PieceTagFacts& facts) {
  // The source's length (TLEN) is not the piece's.
  properties.erase("LENGTH");
  if (!facts.title.empty()) properties.replace("TITLE", Utf8(facts.title));
  if (!facts.artist.empty()) properties.replace("ARTIST", Utf8(facts.artist));
  if (!facts.album.empty()) properties.replace("ALBUM", Utf8(facts.album));
  if (facts.track != 0) properties.replace("TRACKNUMBER", Utf8(TrackText(facts)));
  if (!facts.date.empty()) properties.replace("DATE", Utf8(facts.date));
  if (!facts.genre.empty()) properties.replace("GENRE", Utf8(facts.genre));
  return properties;
}

void CopyPictures(TagLib::ID3v2::Tag* from, TagLib::ID3v2::Tag* to) {
  if (!from) return;
  for (TagLib::ID3v2::Frame* frame : from->frameList("APIC")) {
    const auto* picture = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame*>(frame);
    if (!picture) continue;
    auto* copy = new TagLib::ID3v2::AttachedPictureFrame;
    copy->setTextEncoding(picture->textEncoding());
    copy->setMimeType(picture->mimeType());
    copy->setType(picture->type());
    copy->setDescription(picture->description());
    copy->setPicture(picture->picture());
    to->addFrame(copy);  // the tag owns it
  }
}

}  // namespace

void TagMp3Piece(const std::string& source, const std::string& piece, const PieceTagFacts& facts) {
  // The source is only read: a TagLib file opened by name is opened to
  // write, which a watcher of the source sees as a change.
  TagLib::FileStream sourceStream(source.c_str(), true);
  TagLib::MPEG::File from(&sourceStream, TagLib::ID3v2::FrameFactory::instance(), false);
  TagLib::MPEG::File to(piece.c_str(), false);
  if (!to.isValid()) throw TagError(piece, piece + ": TagLib cannot open the piece to tag it");
  // Only the new ID3v2.4 tag stays on the piece.
  to.strip(TagLib::MPEG::File::AllTags);
  TagLib::ID3v2::Tag* tag = to.ID3v2Tag(true);
  tag->setProperties(MergedProperties(from.isValid() ? from.properties() : TagLib::PropertyMap(), facts));
  if (from.isValid()) CopyPictures(from.ID3v2Tag(false), tag);
  if (!to.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, TagLib::ID3v2::v4))
    throw TagError(piece, piece + ": TagLib cannot write the piece's tag");
}

void TagWavePiece(const std::string& source, const std::string& piece, const PieceTagFacts& facts) {
  TagLib::FileStream sourceStream(source.c_str(), true);
  TagLib::RIFF::WAV::File from(&sourceStream, false);
  TagLib::RIFF::WAV::File to(piece.c_str(), false);
  if (!to.isValid()) throw TagError(piece, piece + ": TagLib cannot open the piece to tag it");
  TagLib::RIFF::Info::Tag* tag = to.InfoTag();
  if (from.isValid() && from.hasInfoTag())
    for (const auto& [id, text] : from.InfoTag()->fieldListMap()) tag->setFieldText(id, text);
  if (!facts.title.empty()) tag->setFieldText("INAM", Utf8(facts.title));
  if (!facts.artist.empty()) tag->setFieldText("IART", Utf8(facts.artist));
  if (!facts.album.empty()) tag->setFieldText("IPRD", Utf8(facts.album));
  if (facts.track != 0) tag->setFieldText("ITRK", Utf8(TrackText(facts)));
  if (!to.save(TagLib::RIFF::WAV::File::Info, TagLib::File::StripOthers))
    throw TagError(piece, piece + ": TagLib cannot write the piece's tag");
}

void TagFlacPiece(const std::string& piece, const PieceTagFacts& facts) {
  TagLib::FLAC::File to(piece.c_str(), false);
  if (!to.isValid()) throw TagError(piece, piece + ": TagLib cannot open the piece to tag it");
  TagLib::Ogg::XiphComment* tag = to.xiphComment(true);
  const auto set = [tag](const char* name, const std::string& value) {
    if (!value.empty()) tag->addField(name, Utf8(value), true);
  };
  set("TITLE", facts.title);
  set("ARTIST", facts.artist);
  set("ALBUM", facts.album);
  set("DATE", facts.date);
  set("GENRE", facts.genre);
  if (facts.track != 0) set("TRACKNUMBER", std::to_string(facts.track));
  if (facts.tracks != 0) set("TRACKTOTAL", std::to_string(facts.tracks));
  if (!to.save()) throw TagError(piece, piece + ": TagLib cannot write the piece's tag");
}

}  // namespace split
