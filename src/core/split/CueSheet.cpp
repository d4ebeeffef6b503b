#include "core/split/CueSheet.h"

#include <libcue.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <memory>
#include <mutex>
#include <sstream>

#include "core/AudioFile.h"
#include "core/File.h"
#include "core/Progress.h"
#include "core/TimeText.h"

namespace split {

namespace {

struct CdDeleter {
  void operator()(Cd* cd) const { cd_delete(cd); }
};
using CdPtr = std::unique_ptr<Cd, CdDeleter>;

// libcue reports what it cannot read on standard error; the messages are
// caught here (standard error points at a temporary file meanwhile) so that
// they become part of our own message and do not reach the terminal.
struct ParseOutcome {
  CdPtr cd;
  std::string messages;
};

ParseOutcome Parse(const std::string& text) {
  static std::mutex parsing;  // libcue keeps its parser state in globals
  const std::lock_guard lock(parsing);
  ParseOutcome outcome;
  std::FILE* capture = std::tmpfile();
  const int saved = capture ? ::dup(STDERR_FILENO) : -1;
  std::fflush(stderr);
  if (saved >= 0) ::dup2(::fileno(capture), STDERR_FILENO);
  outcome.cd.reset(cue_parse_string(text.c_str()));
  std::fflush(stderr);
  if (saved >= 0) {
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    std::rewind(capture);
    char buffer[512];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, capture)) > 0 && outcome.messages.size() < 4096)
      outcome.messages.append(buffer, n);
  }
  if (capture) std::fclose(capture);
  while (!outcome.messages.empty() && (outcome.messages.back() == '\n' || outcome.messages.back() == '\r'))
    outcome.messages.pop_back();
  for (char& c : outcome.messages)
    if (c == '\n') c = ';';
  return outcome;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string Prefix(const std::vector<std::string>& lines, std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) text += lines[i] + "\n";
  return text;
}

bool Fails(const ParseOutcome& o) {
  return !o.cd || !o.messages.empty();
}

// Prefixes whose line is looked for; a longer sheet's fault is reported
// without its line (each look parses a prefix again).
constexpr std::size_t kMaxSearchedLines = 1000;

// The line at which libcue stops reading the sheet, 0 when unknown. A
// character it cannot read draws a message as soon as a prefix holds it:
// the shortest such prefix ends on that line. Otherwise (a syntax error, or
// a sheet refused silently) the fault lies on the line after the longest
// prefix that reads cleanly.
std::size_t BadLine(const std::vector<std::string>& lines, const std::string& messages) {
  if (lines.size() > kMaxSearchedLines) return 0;
  if (messages.find("bad character") != std::string::npos) {
    std::size_t good = 0, bad = lines.size();
    while (bad - good > 1) {
      const std::size_t mid = good + (bad - good) / 2;
      if (Parse(Prefix(lines, mid)).messages.find("bad character") != std::string::npos)
        bad = mid;
      else
        good = mid;
    }
    return bad;
  }
  std::size_t clean = 0;
  for (std::size_t k = 1; k < lines.size(); ++k)
    if (!Fails(Parse(Prefix(lines, k)))) clean = k;
  return clean + 1;
}

std::string Text(const char* value) {
  return value ? value : "";
}

// libcue keeps no REM GENRE: the album's, from the lines before the first
// TRACK, its quotes taken off.
std::string RemGenre(const std::string& text) {
  for (const std::string& raw : Lines(text)) {
    std::string line = raw;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    const std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos) continue;
    line.erase(0, start);
    if (ToUpperAscii(line.substr(0, 6)) == "TRACK ") break;
    if (ToUpperAscii(line.substr(0, 10)) != "REM GENRE ") continue;
    std::string value = line.substr(10);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
      value = value.substr(1, value.size() - 2);
    return value;
  }
  return {};
}

std::string ReadSheetText(const std::string& path) {
  // Through CFile: only a regular file is opened, so a FIFO or a device is
  // refused at once instead of blocking the read.
  CFile in;
  if (!in.Open(path, CFile::Mode::ReadShared)) throw CueError(path, path + ": cannot open the cue sheet");
  std::string text;
  text.resize(kMaxCueBytes + 1);
  text.resize(in.Read(text.data(), text.size()));
  if (text.size() > kMaxCueBytes) throw CueError(path, path + ": the cue sheet is larger than 1 MiB");
  if (text.find('\0') != std::string::npos)
    throw CueError(path, path + ": this is not a cue sheet (it holds binary data)");
  // A byte order mark is no part of the first keyword.
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
  return text;
}

// INDEX times are minutes, seconds and frames of 1/75 s: libcue takes a
// frame count of 75 or more (or 60 seconds) as more time, which the sheet's
// writer did not mean. A time it cannot read at all is libcue's to report.
void CheckIndexTimes(const std::string& path, const std::vector<std::string>& lines) {
  for (std::size_t k = 0; k < lines.size(); ++k) {
    const std::string& line = lines[k];
    const std::size_t word = line.find_first_not_of(" \t");
    if (word == std::string::npos || line.compare(word, 6, "INDEX ") != 0) continue;
    unsigned minutes = 0, seconds = 0, frames = 0;
    char end = 0;
    const std::size_t time = line.find_last_of(" \t", line.find_last_not_of(" \t\r")) + 1;
    if (std::sscanf(line.c_str() + time, "%u:%u:%u%c", &minutes, &seconds, &frames, &end) < 3) continue;
    if (seconds >= 60 || frames >= 75)
      throw CueError(path, path + ": line " + std::to_string(k + 1) + ": the INDEX time " +
                               line.substr(time, line.find_last_not_of(" \t\r") + 1 - time) +
                               " has more than 59 seconds or 74 frames");
  }
}

void CheckTracks(const CueSheet& sheet) {
  if (sheet.tracks.empty()) throw CueError(sheet.path, sheet.path + ": the cue sheet has no tracks");
  for (std::size_t i = 0; i < sheet.tracks.size(); ++i) {
    const CueTrack& t = sheet.tracks[i];
    const std::string where = sheet.path + ": track " + std::to_string(t.number) + ": ";
    if (t.start < 0) throw CueError(sheet.path, where + "it has no INDEX 01");
    if (t.pregap > t.start) throw CueError(sheet.path, where + "its INDEX 00 comes after its INDEX 01");
    if (i > 0 && t.start <= sheet.tracks[i - 1].start)
      throw CueError(sheet.path, where + "its INDEX 01 is not after the INDEX 01 of track " +
                                     std::to_string(sheet.tracks[i - 1].number));
    if (i > 0 && t.pregap >= 0 && t.pregap < sheet.tracks[i - 1].start)
      throw CueError(sheet.path, where + "its INDEX 00 lies before the INDEX 01 of track " +
                                     std::to_string(sheet.tracks[i - 1].number));
  }
}

// What is wrong with a line, in plain words: libcue's own messages count
// tokens, not lines, and quote its grammar.
std::string PlainReason(std::string line, const std::string& messages) {
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
  line.erase(0, std::min(line.size(), line.find_first_not_of(" \t")));
  if (line.size() > 60) line = line.substr(0, 57) + "...";
  const std::string quoted = line.empty() ? std::string("the sheet") : "\"" + line + "\"";
  if (messages.find("bad character") != std::string::npos)
    return quoted + " holds a character a cue sheet does not allow there (text belongs in double quotes)";
  if (line.empty()) return "the cue sheet cannot be read";
  return quoted + " is not a cue sheet command in the form it takes (a keyword, then its values; "
                  "times as MM:SS:FF)";
}

}  // namespace

CueSheet ReadCueSheet(const std::string& path) {
  const std::string text = ReadSheetText(path);
  CheckIndexTimes(path, Lines(text));
  ParseOutcome outcome = Parse(text);
  if (Fails(outcome)) {
    const std::vector<std::string> lines = Lines(text);
    const std::size_t line = BadLine(lines, outcome.messages);
    throw CueError(path, path + (line != 0 ? ": line " + std::to_string(line) : std::string()) + ": " +
                             PlainReason(line != 0 && line <= lines.size() ? lines[line - 1] : std::string(),
                                         outcome.messages));
  }
  Cd* cd = outcome.cd.get();
  CueSheet sheet;
  sheet.path = path;
  sheet.title = Text(cdtext_get(PTI_TITLE, cd_get_cdtext(cd)));
  sheet.performer = Text(cdtext_get(PTI_PERFORMER, cd_get_cdtext(cd)));
  sheet.date = Text(rem_get(REM_DATE, cd_get_rem(cd)));
  sheet.genre = RemGenre(text);
  for (int i = 1; i <= cd_get_ntrack(cd); ++i) {
    const Track* track = cd_get_track(cd, i);
    CueTrack t;
    t.number = static_cast<unsigned>(i);
    t.pregap = track_get_index(track, 0);
    t.start = track_get_index(track, 1);
    t.title = Text(cdtext_get(PTI_TITLE, track_get_cdtext(track)));
    t.performer = Text(cdtext_get(PTI_PERFORMER, track_get_cdtext(track)));
    if (t.performer.empty()) t.performer = sheet.performer;
    const std::string file = Text(track_get_filename(track));
    if (i == 1) sheet.fileName = file;
    if (file != sheet.fileName)
      throw CueError(path, path + ": track " + std::to_string(i) + ": it is in \"" + file + "\", not in \"" +
                               sheet.fileName + "\"; a sheet of several files cannot be split");
    sheet.tracks.push_back(t);
  }
  CheckTracks(sheet);
  if (sheet.fileName.empty()) throw CueError(path, path + ": the cue sheet names no FILE");
  return sheet;
}

std::string CueAudioPath(const CueSheet& sheet) {
  std::string name = sheet.fileName;
  // Sheets made on other systems may use backslashes.
  for (char& c : name)
    if (c == '\\') c = '/';
  const std::string audio = name.front() == '/' ? name : FolderPart(sheet.path) + name;
  struct stat st {};
  const std::string named = sheet.path + ": track 1: the file \"" + sheet.fileName + "\" named by FILE ";
  if (::stat(audio.c_str(), &st) != 0) throw CueError(sheet.path, named + "is not there (" + audio + ")");
  if (S_ISDIR(st.st_mode)) throw CueError(sheet.path, named + "is a folder (" + audio + ")");
  if (!S_ISREG(st.st_mode))
    throw CueError(sheet.path, named + "is not a regular file, but a FIFO, device or socket (" + audio + ")");
  return audio;
}

CueSheet EmbeddedCueSheet(const CAudioFile& file) {
  CueSheet sheet;
  sheet.path = file.GetFilePath();
  sheet.fileName = file.GetFileName();
  for (const CAudioFile::TagField& field : file.GetTagFields()) {
    if (ToUpperAscii(field.label) == "ALBUM" && sheet.title.empty()) sheet.title = field.text;
    if (ToUpperAscii(field.label) == "ARTIST" && sheet.performer.empty()) sheet.performer = field.text;
    if (ToUpperAscii(field.label) == "DATE" && sheet.date.empty()) sheet.date = field.text;
    if (ToUpperAscii(field.label) == "GENRE" && sheet.genre.empty()) sheet.genre = field.text;
  }
  const std::uint32_t rate = file.GetSampleRate();
  for (const CAudioFile::CueMark& mark : file.GetEmbeddedCue()) {
    CueTrack t;
    t.number = mark.number;
    t.startSample = mark.start;
    // Frames only order the tracks here; the samples place them.
    t.start = rate ? static_cast<long>(mark.start * 75 / rate) : 0;
    t.pregap = mark.pregap && rate ? static_cast<long>(*mark.pregap * 75 / rate) : -1;
    t.performer = sheet.performer;
    sheet.tracks.push_back(t);
  }
  return sheet;
}

std::uint64_t CueFrameToSample(long frames, std::uint32_t rate) {
  const std::uint64_t f = frames < 0 ? 0 : static_cast<std::uint64_t>(frames);
  return (f * rate + 37) / 75;
}

SplitPlan PlanFromCue(const CueSheet& sheet, std::uint32_t rate, std::uint64_t totalSamples) {
  SplitPlan plan;
  plan.sampleRate = rate;
  plan.totalSamples = totalSamples;
  plan.album = sheet.title;
  plan.date = sheet.date;
  plan.genre = sheet.genre;
  for (std::size_t i = 0; i < sheet.tracks.size(); ++i) {
    const CueTrack& t = sheet.tracks[i];
    const std::uint64_t at = t.startSample ? *t.startSample : CueFrameToSample(t.start, rate);
    if (at >= totalSamples)
      throw CueError(sheet.path, sheet.path + ": track " + std::to_string(t.number) + ": it starts at " +
                                     timetext::FormatTime(timetext::MicrosOf(at, rate)) +
                                     ", past the end of the audio (" +
                                     timetext::FormatTime(timetext::MicrosOf(totalSamples, rate)) + ")");
    const PieceFacts facts{t.title, t.performer, t.number};
    if (i == 0) {
      plan.start = at;
      plan.first = facts;
      continue;
    }
    CutPoint cut;
    cut.at = at;
    cut.equalPoint = at;
    cut.next = facts;
    plan.cuts.push_back(cut);
  }
  return plan;
}

}  // namespace split
