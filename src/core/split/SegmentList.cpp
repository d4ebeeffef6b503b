#include "core/split/SegmentList.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "core/AudioFile.h"
#include "core/File.h"
#include "core/PieceTags.h"
#include "core/Progress.h"
#include "core/split/CutListExport.h"

namespace split {

bool CSegmentList::Add(Segment segment) {
  if (segment.end <= segment.first) return false;
  items_.push_back(std::move(segment));
  return true;
}

bool CSegmentList::Remove(std::size_t index) {
  if (index >= items_.size()) return false;
  items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index));
  return true;
}

bool CSegmentList::Rename(std::size_t index, std::string name) {
  if (index >= items_.size() || items_[index].name == name) return false;
  items_[index].name = std::move(name);
  return true;
}

bool CSegmentList::Move(std::size_t from, std::size_t to) {
  if (from >= items_.size() || to >= items_.size() || from == to) return false;
  Segment moved = std::move(items_[from]);
  items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(from));
  items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(to), std::move(moved));
  return true;
}

std::string CSegmentList::NextName() const {
  for (std::size_t n = 1;; ++n) {
    std::string name = "Segment " + std::to_string(n);
    if (std::none_of(items_.begin(), items_.end(), [&](const Segment& s) { return s.name == name; }))
      return name;
  }
}

std::vector<Segment> SegmentsOfPlan(const SplitPlan& plan) {
  std::vector<Segment> segments;
  for (const PlannedPiece& p : plan.Pieces())
    // The audio before a cue sheet's first track (piece 0) is no track of it.
    if (p.number != 0)
      segments.push_back(
          {p.facts.title.empty() ? "Piece " + std::to_string(p.number) : p.facts.title, p.start, p.end});
  return segments;
}

std::string SegmentLabelsText(const std::vector<Segment>& segments, std::uint32_t rate) {
  std::string text;
  for (const Segment& s : segments)
    text += SecondsText(s.first, rate) + '\t' + SecondsText(s.end, rate) + '\t' + s.name + '\n';
  return text;
}

namespace {

// Seconds as a labels file writes them, to the nearest sample.
bool ReadSeconds(const std::string& field, std::uint32_t rate, std::uint64_t& sample) {
  if (field.empty()) return false;
  char* end = nullptr;
  const double seconds = std::strtod(field.c_str(), &end);
  if (end != field.c_str() + field.size() || !(seconds >= 0.0) || seconds > 1e7) return false;
  sample = static_cast<std::uint64_t>(seconds * rate + 0.5);
  return true;
}

}  // namespace

SegmentsRead ReadSegmentLabels(const std::string& text, std::uint32_t rate, std::uint64_t length) {
  SegmentsRead read;
  std::istringstream lines(text);
  std::string line;
  for (int number = 1; std::getline(lines, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    const std::size_t tab1 = line.find('\t');
    const std::size_t tab2 = tab1 == std::string::npos ? tab1 : line.find('\t', tab1 + 1);
    Segment s;
    const std::string where = "line " + std::to_string(number) + ": ";
    if (tab1 == std::string::npos || !ReadSeconds(line.substr(0, tab1), rate, s.first) ||
        !ReadSeconds(line.substr(tab1 + 1, tab2 == std::string::npos ? std::string::npos : tab2 - tab1 - 1),
                     rate, s.end)) {
      read.problem = where + "expected a start and an end in seconds, separated by a tab.";
      return read;
    }
    s.end = std::min(s.end, length);
    if (s.end <= s.first) {
      read.problem = where + "the end must come after the start, inside the audio.";
      return read;
    }
    s.name = tab2 == std::string::npos ? std::string() : line.substr(tab2 + 1);
    if (s.name.empty()) s.name = "Segment " + std::to_string(read.segments.size() + 1);
    read.segments.push_back(std::move(s));
  }
  return read;
}

std::string SegmentCueText(const std::vector<Segment>& segments, std::uint32_t rate,
                           const std::string& audioPath) {
  std::string text = "FILE \"" + FileNamePart(audioPath) + "\" WAVE\n";
  char line[64];
  for (std::size_t i = 0; i < segments.size(); ++i) {
    const Segment& s = segments[i];
    // Cue sheets count in frames of 1/75 s.
    const std::uint64_t frames = rate ? s.first * 75 / rate : 0;
    std::snprintf(line, sizeof line, "  TRACK %02zu AUDIO\n", i + 1);
    text += line;
    std::string title = s.name;
    std::replace(title.begin(), title.end(), '"', '\'');
    text += "    TITLE \"" + title + "\"\n";
    std::snprintf(line, sizeof line, "    INDEX 01 %02llu:%02llu:%02llu\n",
                  static_cast<unsigned long long>(frames / 75 / 60),
                  static_cast<unsigned long long>(frames / 75 % 60),
                  static_cast<unsigned long long>(frames % 75));
    text += line;
  }
  return text;
}

WriteOutcome WriteSegments(CAudioFile& file, const std::vector<Segment>& segments, const std::string& folder,
                           CProgress* progress) {
  WriteOutcome outcome;
  const auto count = static_cast<unsigned>(segments.size());
  for (unsigned i = 0; i < count; ++i) {
    const Segment& s = segments[i];
    // A plan of one piece from the segment's first sample to its end,
    // named as a track: the split writer's refusals, removal of a broken
    // piece and tag.
    SplitPlan plan;
    plan.sampleRate = file.GetSampleRate();
    plan.start = s.first;
    plan.totalSamples = s.end;
    plan.first.title = s.name;
    plan.first.track = i + 1;
    plan.naming.tracks = true;
    plan.naming.base = folder;
    plan.naming.format = &file.Format();
    const WriteOutcome one = WriteSplit(file, plan, progress);
    outcome.written.insert(outcome.written.end(), one.written.begin(), one.written.end());
    if (one.cancelled) {
      outcome.cancelled = true;
      return outcome;
    }
    // The plan counted one piece; the tag counts them all.
    PieceTagFacts facts;
    facts.title = s.name;
    facts.track = i + 1;
    facts.tracks = count;
    for (const std::string& piece : one.written) file.TagPiece(piece, facts);
  }
  return outcome;
}

}  // namespace split
