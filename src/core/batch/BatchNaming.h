#pragma once
// How a file added to the batch list is typed and named: its extension,
// source type, target, output name and output path.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// The text after the last "." of path, upper-cased; empty when there is no
// "." or the only one is the first character.
std::string BatchExtension(const std::string& path);
// WAV when the extension contains "WAV", else MP3 when it contains "MP3",
// else unknown (sourcetype values).
std::int32_t BatchSourceType(const std::string& extension);
// "MP3" for a WAV source, "WAV" for an MP3 source, empty otherwise.
std::string BatchTargetText(std::int32_t sourceType);
// The target extension in lower case: "mp3", "wav" or "$$$".
std::string BatchTargetExtension(std::int32_t sourceType);
// The name after the last "/" and the folder up to and including it.
std::string BatchFileName(const std::string& path);
std::string BatchFolder(const std::string& path);
// name up to and including its last "." followed by extension, or name and
// extension joined directly when name has no ".".
std::string BatchOutputName(const std::string& name, const std::string& extension);
// folder, a "/" unless it ends in one, and name.
std::string BatchJoinPath(const std::string& folder, const std::string& name);
// The target of a "Convert to" cell: MP3 when it holds "MP3", else WAV when
// it holds "WAV", else current unchanged.
std::int32_t BatchTargetType(const std::string& cell, std::int32_t current);

// A path with symbolic links and ".." resolved, as far as it exists.
std::filesystem::path BatchResolvedPath(const std::string& path);
