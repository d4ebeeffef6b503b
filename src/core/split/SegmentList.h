#pragma once
// Named stretches of the open file kept side by side (the main window's
// segments): the list itself, its forms as a labels file and a cue sheet,
// and the writing of every segment as a sample-exact piece the way a split
// writes its pieces ("NN - Name.ext", tagged with title, track and count).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/split/SplitPlan.h"
#include "core/split/SplitWriter.h"

class CAudioFile;
class CProgress;

namespace split {

struct Segment {
  std::string name;
  std::uint64_t first = 0;  // the first sample
  std::uint64_t end = 0;    // one past the last
  bool operator==(const Segment&) const = default;
};

class CSegmentList {
 public:
  const std::vector<Segment>& Items() const { return items_; }
  std::size_t Size() const { return items_.size(); }
  bool Empty() const { return items_.empty(); }
  // An empty stretch is no segment: refused.
  bool Add(Segment segment);
  bool Remove(std::size_t index);
  bool Rename(std::size_t index, std::string name);
  // Moves the segment at from to index to (the others close up).
  bool Move(std::size_t from, std::size_t to);
  void Assign(std::vector<Segment> items) { items_ = std::move(items); }
  // "Segment N" with the first N no segment is called yet.
  std::string NextName() const;
  bool operator==(const CSegmentList&) const = default;

 private:
  std::vector<Segment> items_;
};

// The segments of a plan's pieces (a split's cut list): named by their
// titles, or "Piece N"; the audio before a cue sheet's first track is left out.
std::vector<Segment> SegmentsOfPlan(const SplitPlan& plan);

// One line per segment: start, end (seconds, six decimals) and name, tab
// separated, as labels files are.
std::string SegmentLabelsText(const std::vector<Segment>& segments, std::uint32_t rate);

// A labels file read back. problem names the first line it could not read
// ("line 3: ..."); the segments before it are kept.
struct SegmentsRead {
  std::vector<Segment> segments;
  std::string problem;
};
SegmentsRead ReadSegmentLabels(const std::string& text, std::uint32_t rate, std::uint64_t length);

// A cue sheet with one track per segment (INDEX 01 at its start) over the
// audio file's name; a cue sheet keeps no ends, so a segment runs to the next.
std::string SegmentCueText(const std::vector<Segment>& segments, std::uint32_t rate,
                           const std::string& audioPath);

// Writes each segment into folder as "NN - Name.ext" of file's kind, cut
// sample-exact and tagged with its name, its number and the count. The
// refusals and clean-up are the split writer's.
WriteOutcome WriteSegments(CAudioFile& file, const std::vector<Segment>& segments, const std::string& folder,
                           CProgress* progress);

}  // namespace split
