#pragma once
// Where the user is in the open file and what is marked, in samples: the
// play position, the START and END marks, and whether playback runs. The
// main window's slider and the waveform both show it and both change it;
// it knows nothing of either.

#include <cstdint>
#include <optional>

class CSelectionModel {
 public:
  enum class Marking { None, Started, Done };
  enum class Play { Stopped, Playing, Paused };
  struct Span {
    std::uint64_t first = 0;  // the first sample of the selection
    std::uint64_t end = 0;    // one past its last sample
  };

  // A new stream: everything cleared.
  void SetStream(std::uint32_t sampleRate, std::uint64_t lengthSamples);
  std::uint32_t SampleRate() const { return sampleRate_; }
  std::uint64_t Length() const { return length_; }

  void SetPosition(std::uint64_t sample) { position_ = Clamp(sample); }
  std::uint64_t Position() const { return position_; }

  // START at a sample: the selection runs from there to the position.
  void Start(std::uint64_t sample);
  // END at a sample: the selection is done.
  void End(std::uint64_t sample);
  // Both marks at once (in either order), as a drag or typed times give them.
  void Select(std::uint64_t a, std::uint64_t b);
  void Clear();
  Marking GetMarking() const { return marking_; }
  std::uint64_t StartMark() const { return start_; }
  std::uint64_t EndMark() const { return end_; }
  // The selection, lower mark first: while marking, from START to the
  // position; nullopt when nothing is marked or it is empty.
  std::optional<Span> Selection() const;
  // True when the marks came from sample-exact input (a drag, typed times)
  // rather than from the slider's steps.
  bool Exact() const { return exact_; }
  void SetExact(bool exact) { exact_ = exact; }

  void SetPlay(Play state) { play_ = state; }
  Play GetPlay() const { return play_; }

  // Seconds of a sample, and the sample of seconds (rounded, clamped).
  double Seconds(std::uint64_t sample) const;
  std::uint64_t SampleAt(double seconds) const;
  // Moves the END mark (or, while marking, the START mark) by a signed
  // number of milliseconds, keeping it inside the stream.
  void Nudge(bool endMark, int milliseconds);
  // The same by a signed number of samples.
  void NudgeSamples(bool endMark, std::int64_t samples);

  // The marks alone (not the position or playback), as undo keeps them.
  struct Marks {
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    Marking marking = Marking::None;
    bool exact = false;
    bool operator==(const Marks&) const = default;
  };
  Marks GetMarks() const { return {start_, end_, marking_, exact_}; }
  void SetMarks(const Marks& marks);

 private:
  std::uint64_t Clamp(std::uint64_t sample) const { return sample > length_ ? length_ : sample; }

  std::uint32_t sampleRate_ = 0;
  std::uint64_t length_ = 0;
  std::uint64_t position_ = 0;
  std::uint64_t start_ = 0;
  std::uint64_t end_ = 0;
  Marking marking_ = Marking::None;
  bool exact_ = false;
  Play play_ = Play::Stopped;
};
