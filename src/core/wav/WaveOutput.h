#pragma once
// One WAV file being written: the header sized for the audio planned, the
// audio, then the pad byte of an odd data chunk. When the file holds other
// audio than planned (a cancel, a full disk, a source that shrank), it is
// cut to whole sample frames and its header is written again with the
// sizes of what it really holds.

#include <cstdint>
#include <functional>
#include <vector>

#include "core/File.h"

class CWaveOutput {
 public:
  // The header of a file of dataSize audio bytes; its length may not
  // depend on dataSize.
  using HeaderBuilder = std::function<std::vector<std::uint8_t>(std::uint64_t dataSize)>;

  CWaveOutput(CFile& out, HeaderBuilder header, std::uint64_t plannedBytes, std::uint16_t blockAlign);

  // Writes the header, runs body (which appends the audio), and completes
  // the file. A failure on the way leaves the file closed with a header
  // that tells the truth; when even that cannot be written, the file is
  // removed, and the file failure, which goes on to the caller, says so.
  template <class Body>
  void Write(Body&& body) {
    try {
      WriteHeader();
      body();
      Complete(false);
    } catch (CFileException& failure) {
      const Outcome outcome = Salvage();
      if (outcome != Outcome::Corrected) failure.AddNote(Note(outcome));
      throw;
    } catch (...) {
      Salvage();
      throw;
    }
  }

  // Audio bytes the completed file holds.
  std::uint64_t AudioBytes() const { return audio_; }

 private:
  void WriteHeader();
  // Cuts the audio to whole frames, pads it and rewrites the header if it
  // differs from the plan, then closes. salvaging: a pad byte that cannot
  // be written costs the last frame instead.
  void Complete(bool salvaging);
  enum class Outcome { Corrected, Removed, Left };
  Outcome Salvage() noexcept;
  static std::string Note(Outcome outcome);

  CFile& out_;
  HeaderBuilder header_;
  std::uint64_t planned_;
  std::uint16_t blockAlign_;
  std::uint64_t headerSize_ = 0;
  std::uint64_t audio_ = 0;
};
