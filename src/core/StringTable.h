#pragma once
// The application's string table: message texts addressed by numeric id.

#include <cstdint>
#include <cstdio>
#include <string>

enum class FileCause;

namespace ids {
constexpr std::uint32_t kRefusedNameChars = 0;  // characters a file-name field refuses
constexpr std::uint32_t kAboutMenuItem = 101;
constexpr std::uint32_t kSupportedFilesFilter = 10000;
constexpr std::uint32_t kGenreFirst = 300;
constexpr std::uint32_t kGenreLast = 379;
constexpr std::uint32_t kBatchColumnFirst = 5999;
constexpr std::uint32_t kBatchColumnLast = 6006;
constexpr std::uint32_t kBatchCloseWithFiles = 10001;
constexpr std::uint32_t kBatchCloseInProgress = 10003;
constexpr std::uint32_t kBatchCloseWithProblems = 10005;
}  // namespace ids

// The text of a string-table entry, or an empty text when there is none.
std::string LoadMessage(std::uint32_t id);

// A message filled in printf style, as the windows format their lines (at
// most 999 characters, like their text buffers).
template <typename... Args>
std::string FormatText(const char* format, Args... args) {
  char buffer[1000];
  std::snprintf(buffer, sizeof buffer, format, args...);
  return buffer;
}

// The message shown when a file operation fails, "%1" replaced by the path.
std::string FileFailureMessage(FileCause cause, const std::string& path);

// The name of an ID3v1 genre number, empty for numbers without a name.
std::string GenreName(unsigned genre);

// Fixed message texts that windows show themselves.
namespace msg {
inline constexpr const char* kTypeNotSupported = "This file type is not supported";
inline constexpr const char* kSingleChannelFile = "This is a single channel file";
inline constexpr const char* kMakeSelection = "Please make a selection by dragging the slider thumb.";
inline constexpr const char* kUnableSaveOverlap = "Unable save overlap time";
inline constexpr const char* kUnableSaveSuffix = "Unable save filename suffix";
inline constexpr const char* kUnableSaveGapless = "Unable save gapless setting";
inline constexpr const char* kEnterBaseFilename = "Please enter the base filename.";
inline constexpr const char* kEnterMp3Filename = "Please enter the MP3 filename.";
inline constexpr const char* kSelectChannel = "Select a channel to rip.";
inline constexpr const char* kEnterFilename = "Enter filename to save";
inline constexpr const char* kCaptionError = "Error";
// Added to a file failure's message when a WAV output's header still
// describes the audio planned instead of the audio written.
inline constexpr const char* kHeaderNotCorrected =
    "Its header could not be corrected: it claims more audio than the file holds.";
// Added to a file failure's message when the output it left could not be
// made a valid file and was removed.
inline constexpr const char* kOutputRemoved = "The incomplete output was removed.";
inline constexpr const char* kCaptionConfirm = "Confirm";
inline constexpr const char* kCaptionComfirm = "Comfirm";
inline constexpr const char* kCaptionInformation = "Information";
}  // namespace msg
