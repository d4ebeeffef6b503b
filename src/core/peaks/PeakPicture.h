#pragma once
// What scripts and pictures get from a peak model: a raster of the
// waveform (one band per channel, min/max with an inner RMS band, on a
// transparent background) and the peaks as JSON.

#include <cstdint>
#include <string>
#include <vector>

#include "core/PeakModel.h"

namespace peaks {

struct Rgba {
  std::uint8_t r = 0, g = 0, b = 0, a = 0;
};

struct Raster {
  int width = 0;
  int height = 0;
  std::vector<Rgba> pixels;  // row by row
  Rgba At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

struct PictureColours {
  Rgba peak{0x34, 0x65, 0xa4, 0xff};
  Rgba rms{0x72, 0x9f, 0xcf, 0xff};
};

// The y (0 at the top of a band of height rows) a sample value is drawn at.
int RowOf(int value, int top, int rows);

// Draws the samples [first, last) of the model across width columns.
Raster DrawWaveform(const CPeakModel& model, std::uint64_t first, std::uint64_t last, int width, int height,
                    const PictureColours& colours = {});

// The peaks as {"sample_rate", "channels", "samples_per_point",
// "length_samples", "min": [[...] per channel], "max": [[...]]}, with at
// most maxPoints points a channel; samples_per_point is a whole number of
// the model's blocks, so every point is exact.
std::string PeaksJson(const CPeakModel& model, std::uint64_t maxPoints);

}  // namespace peaks
