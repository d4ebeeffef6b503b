#pragma once
// The formats the engine knows, and opening a path as the right one. This is
// the only place that lists them: a new format is a folder under core/ and
// one line in Formats.cpp.

#include <memory>
#include <string>
#include <vector>

#include "core/AudioFile.h"
#include "core/AudioFormat.h"

// Every registered format, in the order a path is matched against them.
const std::vector<const CAudioFormat*>& AudioFormats();

// The format a path names by its extension (see CAudioFormat::ClaimsPath),
// the first that claims it; nullptr when none does.
const CAudioFormat* FormatOfPath(const std::string& path);

// The format called name ("WAV", "MP3"; letter case ignored); nullptr when none is.
const CAudioFormat* FormatNamed(const std::string& name);

// Opens path as its format; nullptr for a path no format claims. The
// object's error code tells whether it opened.
std::unique_ptr<CAudioFile> OpenAudioFile(const std::string& path, CWriteFaults* writeFaults = nullptr);

// The names of the formats that convert so, joined with " and "
// ("WAV"): for messages that say which files a verb takes.
std::string FormatsConverting(Conversion conversion);
