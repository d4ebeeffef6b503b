#pragma once
// How a file added to the batch list is typed and named: its extension,
// source type, target, output name and output path.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "core/batch/BatchTypes.h"

// The text after the last "." of path, upper-cased; empty when there is no
// "." or the only one is the first character.
std::string BatchExtension(const std::string& path);
// FLAC when the extension contains "FLAC", else WAV when it contains "WAV",
// else MP3 when it contains "MP3", else unknown.
BatchFormat BatchSourceFormat(const std::string& extension);
// What a source converts to by default: MP3 for WAV and FLAC, WAV for MP3,
// else unknown.
BatchFormat BatchTargetFormat(BatchFormat source);
// Every format the source converts to, the default first: the Convert To
// list (FLAC last).
std::vector<BatchFormat> BatchTargetFormats(BatchFormat source);
// "WAV", "MP3", or empty for unknown (the "Convert To" text of the log).
std::string BatchFormatText(BatchFormat format);
// The extension of a target in lower case: "mp3", "wav", or "$$$" when unknown.
std::string BatchFormatExtension(BatchFormat target);
// The name after the last "/" and the folder up to and including it.
std::string BatchFileName(const std::string& path);
std::string BatchFolder(const std::string& path);
// name up to and including its last "." followed by extension, or name and
// extension joined directly when name has no ".".
std::string BatchOutputName(const std::string& name, const std::string& extension);
// folder, a "/" unless it ends in one, and name.
std::string BatchJoinPath(const std::string& folder, const std::string& name);

// A path with symbolic links and ".." resolved, as far as it exists.
std::filesystem::path BatchResolvedPath(const std::string& path);
