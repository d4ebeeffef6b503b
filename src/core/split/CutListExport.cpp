#include "core/split/CutListExport.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/AudioFailure.h"
#include "core/File.h"
#include "core/TimeText.h"

namespace split {

namespace {

std::string CueFrames(std::uint64_t sample, std::uint32_t rate) {
  const std::uint64_t frames = (sample * 75 + rate / 2) / rate;
  char text[48];
  std::snprintf(text, sizeof text, "%02llu:%02llu:%02llu", static_cast<unsigned long long>(frames / 75 / 60),
                static_cast<unsigned long long>(frames / 75 % 60),
                static_cast<unsigned long long>(frames % 75));
  return text;
}

// Cue sheet strings are quoted: an inner quote becomes an apostrophe.
std::string Quoted(std::string text) {
  for (char& c : text)
    if (c == '"' || c == '\n' || c == '\r') c = c == '"' ? '\'' : ' ';
  return "\"" + text + "\"";
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

// A piece's title, or its file name without the extension.
std::string PieceLabel(const PlannedPiece& p) {
  if (!p.facts.title.empty()) return p.facts.title;
  const std::string name = FileNamePart(p.path);
  const std::size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::string SilenceNote(const CutPoint& cut, std::uint32_t rate) {
  if (cut.noSilenceNear) return "no silence near, stays at its equal point";
  if (!cut.silence) return "";
  const Silence& s = *cut.silence;
  char level[32];
  std::snprintf(level, sizeof level, "%.1f dBFS", DbfsOf(s.peak));
  return "in silence " + ClockText(s.start, rate) + " - " + ClockText(s.end, rate) + " (" +
         timetext::FormatTime(timetext::MicrosOf(s.Length(), rate)) + " long, peak " + level + ")";
}

}  // namespace

std::string SecondsText(std::uint64_t sample, std::uint32_t rate) {
  const std::uint64_t micros = timetext::MicrosOf(sample, rate);
  char text[40];
  std::snprintf(text, sizeof text, "%llu.%06llu", static_cast<unsigned long long>(micros / 1000000),
                static_cast<unsigned long long>(micros % 1000000));
  return text;
}

std::string ClockText(std::uint64_t sample, std::uint32_t rate) {
  return timetext::FormatTime(timetext::MicrosOf(sample, rate));
}

std::string CueSheetText(const SplitPlan& plan, const std::string& audioPath) {
  std::string text;
  if (!plan.first.performer.empty()) text += "PERFORMER " + Quoted(plan.first.performer) + "\n";
  if (!plan.album.empty()) text += "TITLE " + Quoted(plan.album) + "\n";
  text += "FILE " + Quoted(FileNamePart(audioPath)) + " " +
          std::string(plan.naming.format ? plan.naming.format->CueFileType() : "WAVE") + "\n";
  char number[8];
  for (const PlannedPiece& p : plan.Pieces()) {
    std::snprintf(number, sizeof number, "%02u", p.number);
    text += std::string("  TRACK ") + number + " AUDIO\n";
    text += "    TITLE " + Quoted(PieceLabel(p)) + "\n";
    if (!p.facts.performer.empty()) text += "    PERFORMER " + Quoted(p.facts.performer) + "\n";
    text += "    INDEX 01 " + CueFrames(p.start, plan.sampleRate) + "\n";
  }
  return text;
}

std::string LabelsText(const SplitPlan& plan) {
  std::string text;
  for (const PlannedPiece& p : plan.Pieces())
    text += SecondsText(p.start, plan.sampleRate) + "\t" + SecondsText(p.end, plan.sampleRate) + "\t" +
            PieceLabel(p) + "\n";
  return text;
}

std::string CutListJson(const SplitPlan& plan) {
  const std::uint32_t rate = plan.sampleRate;
  std::string json = "{\"cuts\": [";
  bool first = true;
  for (const CutPoint& cut : plan.cuts) {
    if (!cut.enabled) continue;
    if (!first) json += ", ";
    first = false;
    json += "{\"at\": " + SecondsText(cut.at, rate) + ", \"silence\": ";
    if (cut.silence) {
      json += '[';
      json += SecondsText(cut.silence->start, rate);
      json += ", ";
      json += SecondsText(cut.silence->end, rate);
      json += ']';
    } else {
      json += "null";
    }
    json += "}";
  }
  json += "], \"pieces\": [";
  first = true;
  for (const PlannedPiece& p : plan.Pieces()) {
    if (!first) json += ", ";
    first = false;
    json += "{\"file\": " + JsonString(p.path) + ", \"start\": " + SecondsText(p.start, rate) +
            ", \"end\": " + SecondsText(p.end, rate) + "}";
  }
  return json + "]}\n";
}

std::string CutListText(const SplitPlan& plan) {
  const std::uint32_t rate = plan.sampleRate;
  std::string text;
  unsigned number = 0;
  for (const CutPoint& cut : plan.cuts) {
    ++number;
    const std::string note = SilenceNote(cut, rate);
    text += "cut " + std::to_string(number) + (cut.enabled ? "" : " (left out)") + " at " +
            ClockText(cut.at, rate) + (note.empty() ? "" : ", " + note) + "\n";
  }
  if (plan.firstNumber == 0)
    text += "piece 0 is the audio before track 1's INDEX 01 (a hidden track); it holds more than silence\n";
  for (const PlannedPiece& p : plan.Pieces())
    text += "piece " + std::to_string(p.number) + ": " + ClockText(p.start, rate) + " - " +
            ClockText(p.end, rate) + " (" + timetext::FormatTime(timetext::MicrosOf(p.end - p.start, rate)) +
            ") " + p.path + "\n";
  return text;
}

namespace {

// Why an export could not be opened, for its message: the lock another
// writer holds in its own words, any other failure in the system's.
std::string OpenFailureReason(int cause) {
  if (cause == EWOULDBLOCK) return "another writer holds it locked; it was left as it is";
  return std::strerror(cause);
}

}  // namespace

void WriteTextFile(const std::string& path, const std::string& text, const std::vector<std::string>& keep) {
  struct stat target {};
  if (::stat(path.c_str(), &target) == 0) {
    for (const std::string& other : keep) {
      struct stat st {};
      if (::stat(other.c_str(), &st) == 0 && st.st_dev == target.st_dev && st.st_ino == target.st_ino)
        throw CAudioFailure(err::kExport, path, 0,
                            path + ": the export would replace " + other + "; nothing was written");
    }
  }
  // CFile opens regular files only (a FIFO fails at once instead of waiting
  // for a reader), holds an existing file's lock and replaces it only once
  // the new text is whole.
  CFile out;
  if (const CFile::Opened opened = out.Open(path, CFile::Mode::CreateWhole); !opened)
    throw CAudioFailure(err::kExport, path, opened.osError,
                        path + ": cannot create the file: " + OpenFailureReason(opened.osError));
  try {
    out.Write(text.data(), text.size());
    out.Close();
  } catch (const CFileException& failure) {
    const int cause = failure.OsError() != 0 ? failure.OsError() : EIO;
    out.RemoveAndClose();
    throw CAudioFailure(err::kExport, path, cause,
                        path + ": cannot write the file: " + std::strerror(cause) + "; it was removed");
  }
}

}  // namespace split
