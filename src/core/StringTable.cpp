#include "core/StringTable.h"

#include <array>
#include <string_view>
#include <unordered_map>

#include "core/File.h"

namespace {

constexpr std::array<std::string_view, 80> kGenres = {"Blues",
                                                      "Classic Rock",
                                                      "Country",
                                                      "Dance",
                                                      "Disco",
                                                      "Funk",
                                                      "Grunge",
                                                      "Hip-Hop",
                                                      "Jazz",
                                                      "Metal",
                                                      "New Age",
                                                      "Oldies",
                                                      "Other",
                                                      "Pop",
                                                      "R&B",
                                                      "Rap",
                                                      "Reggae",
                                                      "Rock",
                                                      "Techno",
                                                      "Industrial",
                                                      "Alternative",
                                                      "Ska",
                                                      "Death Metal",
                                                      "Pranks",
                                                      "Soundtrack",
                                                      "Euro-Techno",
                                                      "Ambient",
                                                      "Trip-Hop",
                                                      "Vocal",
                                                      "Jazz+Funk",
                                                      "Fusion",
                                                      "Trance",
                                                      "Classical",
                                                      "Instrumental",
                                                      "Acid",
                                                      "House",
                                                      "Game",
                                                      "Sound Clip",
                                                      "Gospel",
                                                      "Noise",
                                                      "AlternRock",
                                                      "Bass",
                                                      "Soul",
                                                      "Punk",
                                                      "Space",
                                                      "Meditative",
                                                      "Instrumental Pop",
                                                      "Instrumental Rock",
                                                      "Ethnic",
                                                      "Gothic",
                                                      "Darkwave",
                                                      "Techno-Industrial",
                                                      "Electronic",
                                                      "Pop-Folk",
                                                      "Euro-Dance",
                                                      "Dream",
                                                      "Southern Rock",
                                                      "Comedy",
                                                      "Cult",
                                                      "Gangsta",
                                                      "Top 40",
                                                      "Christian Rap",
                                                      "Pop/Funk",
                                                      "Jungle",
                                                      "Native American",
                                                      "Cabaret",
                                                      "New Wave",
                                                      "Psychadelic",
                                                      "Rave",
                                                      "Showtunes",
                                                      "Trailer",
                                                      "Lo-Fi",
                                                      "Tribal",
                                                      "Acid Punk",
                                                      "Acid Jazz",
                                                      "Polka",
                                                      "Retro",
                                                      "Musical",
                                                      "Rock & Roll",
                                                      "Hard Rock"};

const std::unordered_map<std::uint32_t, std::string_view>& Table() {
  static const std::unordered_map<std::uint32_t, std::string_view> table = {
      {0, "*:?\\//<>\""},
      {101, "&About Kestrune..."},
      {102, "Cannot open audio file."},
      {103, "Cannot create output file."},
      {104, "AIFF Wave header not found. This WAV file is corrupted."},
      {105, "Format Chunck not found. This WAV file is corrupted."},
      {106, "Data Chunk not found. This wav file is corrupted."},
      {107, "Format Chunk is damaged. This WAV file is corrupted."},
      {108, "Audio file does not have any data !!! ( Zero length )"},
      {109, "Invalid MP3 file !!!"},
      {110, "Frame synchronisation lost. Possibly the MP3 data is corrupt."},
      {111, "Invalid MP3 audio version found in frame header."},
      {112, "Invalid layer version version found in frame header."},
      {113, "Invalid Sampling rate found in frame header."},
      {114, "Invalid Bitrate found in frame header."},
      {116, "Cannot rip single channel audio stream"},
      {117, "File has compressed data. Cannot perfom the requested operation."},
      {118, "Cannot allocate memory to complete the requested operation."},
      {119, "Output file cannot be the same as the source file."},
      {121, "Encoder initialization error"},
      {122, "Encoder parameter initialization error. Please change encoding parameters and try again."},
      {125, "Source file is not a 8 bit PCM wav file"},
      {126, "Source file's bits per sample is not supported in this version"},
      {127, "Source file has more than two channels. This format is not supported by the encoder."},
      {129, "Source file is not a 16 bit PCM wav file"},
      {130, "Internal Error : Error while converting 8 bit data to 16 bit."},
      {3000, "The number of splits is too large so that it will not play even for 1 second"},
      {3001, "Please enter splits value greater than 1"},
      {3002, "Please enter the number of splits"},
      {4000, "Unrecoverable error while decoding MP3 stream"},
      {4001, "MP3 stream has more than two channels. MP3 decoding failed."},
      {7010, "Invalid FLAC file: its stream information is missing or damaged."},
      {7011, "This is FLAC in an Ogg container, which Kestrune does not read. Only native FLAC files can be opened."},
      {7012, "The FLAC encoder could not encode the audio with these parameters."},
      {5999, "   "},
      {6000, "Source"},
      {6001, "Type"},
      {6002, "Convert to"},
      {6003, "Output"},
      {6004, "Status"},
      {6005, "Source Path"},
      {6006, "Output Path"},
      {10000,
       "All Supported files| *.wav; *.mp3; *.flac;|Wave Files (*.wav)| *.wav|MP3 files (*.mp3)| "
       "*.mp3|FLAC files (*.flac)| *.flac|All Files (*.*)|*.*||"},
      {10001, "Batch convert has files to convert. Do you wish to close?"},
      {10002, "File conversion failed - Unknown file type"},
      {10003, "Batch conversion is in progress. Do you wish to close?"},
      {10004, "Output file already exists"},
      {10005,
       "There are some unconverted files with minor problems. Please view log file to fix the "
       "problems.\n Do you still wish to quit Batch conversion?"},
      {10006, "File not selected for conversion"},
  };
  return table;
}

std::string_view FileFailureTemplate(FileCause cause) {
  switch (cause) {
    case FileCause::FileNotFound:
      return "%1 was not found.";
    case FileCause::BadPath:
      return "%1 contains an invalid path.";
    case FileCause::TooManyOpenFiles:
      return "%1 could not be opened because there are too many open files.";
    case FileCause::AccessDenied:
      return "Access to %1 was denied.";
    case FileCause::InvalidFile:
      return "An invalid file handle was associated with %1.";
    case FileCause::RemoveCurrentDir:
      return "%1 could not be removed because it is the current directory.";
    case FileCause::DirectoryFull:
      return "%1 could not be created because the directory is full.";
    case FileCause::BadSeek:
      return "Seek failed on %1";
    case FileCause::HardIO:
      return "A hardware I/O error was reported while accessing %1.";
    case FileCause::SharingViolation:
      return "A sharing violation occurred while accessing %1.";
    case FileCause::LockViolation:
      return "A locking violation occurred while accessing %1.";
    case FileCause::DiskFull:
      return "Disk full while accessing %1.";
    case FileCause::EndOfFile:
      return "An attempt was made to access %1 past its end.";
    case FileCause::Generic:
      break;
  }
  return "An unknown error occurred while accessing %1.";
}

}  // namespace

std::string LoadMessage(std::uint32_t id) {
  if (id >= ids::kGenreFirst && id <= ids::kGenreLast) return std::string(kGenres[id - ids::kGenreFirst]);
  const auto& table = Table();
  const auto it = table.find(id);
  return it == table.end() ? std::string() : std::string(it->second);
}

std::string FileFailureMessage(FileCause cause, const std::string& path) {
  std::string text(FileFailureTemplate(cause));
  const auto at = text.find("%1");
  if (at != std::string::npos) text.replace(at, 2, path);
  return text;
}

std::string GenreName(unsigned genre) {
  return genre < kGenres.size() ? std::string(kGenres[genre]) : std::string();
}
