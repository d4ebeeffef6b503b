#pragma once
// The cut list in the forms other programs and people read: a cue sheet, a
// labels file (tab-separated start, end and label in seconds), JSON, and the
// plain text of a preview. Only ticked cuts count.

#include <string>
#include <vector>

#include "core/split/SplitPlan.h"

namespace split {

// A cue sheet of the plan's pieces over audioPath (its file name goes into FILE).
std::string CueSheetText(const SplitPlan& plan, const std::string& audioPath);

// One line per piece: start, end and label (the title, or the piece's file name).
std::string LabelsText(const SplitPlan& plan);

// {"cuts": [{"at": s, "silence": [start, end] or null}], "pieces": [{"file": path, "start": s, "end": s}]}
std::string CutListJson(const SplitPlan& plan);

// The preview: one line per cut (its time, the silence it sits in and its
// length and level, or why there is none), then one per piece (start, end,
// length and file).
std::string CutListText(const SplitPlan& plan);

// A sample position as seconds with six decimals ("83.456000").
std::string SecondsText(std::uint64_t sample, std::uint32_t rate);

// "H:MM:SS.mmm" of a sample position.
std::string ClockText(std::uint64_t sample, std::uint32_t rate);

// Writes text to path whole, or removes what it wrote; throws a CAudioFailure
// (err::kExport) naming the file and the reason. A path that is (by device and inode) one of
// keep, such as the source, is refused before anything is written.
void WriteTextFile(const std::string& path, const std::string& text,
                   const std::vector<std::string>& keep = {});

}  // namespace split
