#pragma once
// A span of any file written as a file of another kind: decoded through the
// file's own DecodeSpan (the samples a conversion to WAV holds), then
// written as PCM WAV of the decode's depth, encoded as FLAC, or encoded as
// MP3 by LAME (whose header frame makes the piece play its exact samples).
// The split writes pieces in another format through it.

#include <cstdint>
#include <string>

#include "core/AudioFile.h"

// Writes the samples [first, end) of source to path as a file that the
// conversion made makes (ToWav, ToFlac, ToMp3). Throws CFileException when
// the output cannot be made or written (it is then removed), CAudioFailure
// when the source cannot be decoded or the encoder refuses it. Returns the
// sample frames written, fewer when progress was cancelled. The output is
// written under a hidden name and renamed into place when whole; finish
// runs on it first (a piece's tag).
std::uint64_t SaveSpanAs(CAudioFile& source, Conversion made, const std::string& path, std::uint64_t first,
                         std::uint64_t end, CProgress& progress, const Mp3EncodeSettings& mp3,
                         const FlacEncodeSettings& flac, CFile::BeforeCommit finish = nullptr);
