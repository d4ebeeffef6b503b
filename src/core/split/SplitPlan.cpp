#include "core/split/SplitPlan.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/File.h"
#include "core/Progress.h"

namespace split {

namespace {

std::uint64_t CutIn(const Silence& s, CutPlace place) {
  switch (place) {
    case CutPlace::Start:
      return s.start;
    case CutPlace::End:
      return s.end;
    case CutPlace::Middle:
      break;
  }
  return s.Middle();
}

SplitPlan EmptyPlan(const SilenceScan& scan) {
  SplitPlan plan;
  plan.sampleRate = scan.sampleRate;
  plan.totalSamples = scan.totalSamples;
  return plan;
}

}  // namespace

std::size_t SplitPlan::EnabledCuts() const {
  return static_cast<std::size_t>(
      std::count_if(cuts.begin(), cuts.end(), [](const CutPoint& c) { return c.enabled; }));
}

std::vector<PlannedPiece> SplitPlan::Pieces() const {
  std::vector<PlannedPiece> pieces;
  PlannedPiece current{start, totalSamples, firstNumber, {}, first};
  for (const CutPoint& cut : cuts) {
    if (!cut.enabled || cut.at <= current.start || cut.at >= totalSamples) continue;
    current.end = cut.at;
    pieces.push_back(current);
    current = {cut.at, totalSamples, current.number + 1, {}, cut.next};
  }
  if (current.start < totalSamples) pieces.push_back(current);
  for (PlannedPiece& p : pieces) p.path = PieceName(naming, p.number, p.facts);
  return pieces;
}

SplitPlan PlanAtSilences(const SilenceScan& scan, CutPlace place, std::uint64_t minPiece) {
  SplitPlan plan = EmptyPlan(scan);
  std::uint64_t pieceStart = 0;
  for (const Silence& s : scan.silences) {
    const std::uint64_t at = CutIn(s, place);
    if (at < pieceStart + minPiece || at + minPiece > scan.totalSamples) continue;
    if (at == 0 || at >= scan.totalSamples) continue;
    CutPoint cut;
    cut.at = at;
    cut.silence = s;
    plan.cuts.push_back(cut);
    pieceStart = at;
  }
  return plan;
}

SplitPlan PlanEqualAtSilences(const SilenceScan& scan, std::uint32_t pieces, std::uint64_t window) {
  SplitPlan plan = EmptyPlan(scan);
  std::uint64_t previous = 0;
  for (std::uint32_t k = 1; k < pieces; ++k) {
    CutPoint cut;
    // k × total / pieces without overflow for any length.
    const std::uint64_t total = scan.totalSamples;
    cut.equalPoint = total / pieces * k + total % pieces * k / pieces;
    cut.at = cut.equalPoint;
    const std::uint64_t from = cut.equalPoint > window ? cut.equalPoint - window : 0;
    const std::uint64_t to = std::min(total, cut.equalPoint + window);
    std::uint64_t best = 0;
    for (const Silence& s : scan.silences) {
      const std::uint64_t a = std::max(s.start, from), b = std::min(s.end, to);
      if (a >= b || b - a <= best) continue;
      const std::uint64_t at = a + (b - a) / 2;
      if (at <= previous || at == 0 || at >= total) continue;
      best = b - a;
      cut.at = at;
      cut.silence = s;
    }
    cut.noSilenceNear = !cut.silence;
    if (cut.at <= previous) continue;  // two points in one silence: one cut
    previous = cut.at;
    plan.cuts.push_back(cut);
  }
  return plan;
}

std::string SafeFileName(const std::string& title) {
  std::string name;
  for (unsigned char c : title) {
    if (c < 0x20 || c == 0x7F || std::strchr("/\\:*?\"<>|", c))
      name += '_';
    else
      name += static_cast<char>(c);
  }
  while (!name.empty() && (name.front() == '.' || name.front() == ' ')) name.erase(name.begin());
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
  constexpr std::size_t kMaxBytes = 180;
  if (name.size() > kMaxBytes) {
    std::size_t cut = kMaxBytes;
    // Never cut inside a UTF-8 sequence: back up over continuation bytes.
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    name.resize(cut);
  }
  return name;
}

std::string PieceName(const PieceNaming& naming, std::uint32_t number, const PieceFacts& facts) {
  // A plan not named for a file yet has no piece names.
  if (!naming.format) return {};
  if (!naming.tracks) {
    return naming.format->PieceName(naming.base, naming.suffix, number);
  }
  char prefix[16];
  std::snprintf(prefix, sizeof prefix, "%02u", facts.track != 0 ? facts.track : number);
  std::string safe = SafeFileName(facts.title);
  if (safe.empty()) safe = std::string("Track ") + prefix;
  std::string folder = naming.base;
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder + prefix + " - " + safe + naming.format->Extension();
}

}  // namespace split
