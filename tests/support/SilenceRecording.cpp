#include "support/SilenceRecording.h"

#include <cmath>

namespace kt {

Recording MakeRecording(const std::vector<Stretch>& stretches, int channels, std::uint32_t rate) {
  Recording r;
  r.rate = rate;
  std::vector<std::uint8_t> data;
  std::uint32_t noise = 987654321u;
  auto random = [&] {
    noise = noise * 1664525u + 1013904223u;
    return static_cast<double>(noise >> 8) / (1u << 24) * 2.0 - 1.0;
  };
  std::uint64_t pos = 0;
  for (const Stretch& s : stretches) {
    const auto count = static_cast<std::uint64_t>(std::llround(s.seconds * rate));
    if (s.silent) r.silences.push_back({pos, pos + count});
    const double noisePeak = s.noiseDb < -150 ? 0.0 : std::pow(10.0, s.noiseDb / 20.0);
    for (std::uint64_t i = 0; i < count; ++i, ++pos) {
      const double t = static_cast<double>(pos) / rate;
      for (int c = 0; c < channels; ++c) {
        double v;
        if (s.silent) {
          v = noisePeak * random();
        } else {
          // Never quiet for long: a tone under the beat keeps every 10 ms loud.
          const double beat = std::exp(-8.0 * std::fmod(t, 0.25));
          v = 0.3 * std::sin(2 * M_PI * (220.0 + 55.0 * c) * t) + 0.1 * std::sin(2 * M_PI * 1700.0 * t) +
              0.25 * beat * random();
        }
        PutLe16(data, static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(v * 32767.0))));
      }
    }
  }
  r.samples = pos;
  WavSpec layout;
  layout.channels = static_cast<std::uint16_t>(channels);
  layout.sampleRate = rate;
  r.wav = BuildWav(layout, data);
  return r;
}

}  // namespace kt
