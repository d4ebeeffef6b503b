#pragma once
// Recordings made for silence detection: stretches of sound (tones with a
// beat and noise, loud enough everywhere to stay above any threshold the
// tests use) and stretches of silence at known places — digital silence or
// white noise at a chosen level — as 16-bit WAV data.

#include <cstdint>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace kt {

struct Stretch {
  double seconds = 0;
  bool silent = false;
  double noiseDb = -200;  // silent stretches: level of the noise peaks (below -150: digital silence)
};

struct Recording {
  std::vector<std::uint8_t> wav;
  std::uint32_t rate = 44100;
  struct Place {
    std::uint64_t start = 0, end = 0;  // samples
    std::uint64_t Middle() const { return start + (end - start) / 2; }
  };
  std::vector<Place> silences;  // where the silent stretches lie
  std::uint64_t samples = 0;
};

Recording MakeRecording(const std::vector<Stretch>& stretches, int channels = 2, std::uint32_t rate = 44100);

}  // namespace kt
