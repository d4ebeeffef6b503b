#pragma once
// Undo and redo over whole states of an edit: each change records the state
// it left and the one it made, undo goes back one change, redo forward. A
// change that leaves the state as it was is not one. Old changes fall off
// past the depth; a new change after undos drops what could be redone.

#include <cstddef>
#include <deque>
#include <optional>

template <typename State>
class CUndoHistory {
 public:
  static constexpr std::size_t kDefaultDepth = 500;

  explicit CUndoHistory(std::size_t depth = kDefaultDepth) : depth_(depth ? depth : 1) {}

  void Changed(const State& before, const State& after) {
    if (before == after) return;
    undo_.push_back(before);
    if (undo_.size() > depth_) undo_.pop_front();
    redo_.clear();
  }
  bool CanUndo() const { return !undo_.empty(); }
  bool CanRedo() const { return !redo_.empty(); }
  std::size_t UndoCount() const { return undo_.size(); }
  // The state to go back to from current (nullopt: nothing to undo).
  std::optional<State> Undo(const State& current) { return Step(undo_, redo_, current); }
  std::optional<State> Redo(const State& current) { return Step(redo_, undo_, current); }
  void Clear() {
    undo_.clear();
    redo_.clear();
  }

 private:
  static std::optional<State> Step(std::deque<State>& from, std::deque<State>& to, const State& current) {
    if (from.empty()) return std::nullopt;
    State state = from.back();
    from.pop_back();
    to.push_back(current);
    return state;
  }

  std::size_t depth_;
  std::deque<State> undo_;
  std::deque<State> redo_;
};
