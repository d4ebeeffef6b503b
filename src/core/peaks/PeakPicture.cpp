#include "core/peaks/PeakPicture.h"

#include <algorithm>

namespace peaks {

int RowOf(int value, int top, int rows) {
  // +32767 on the first row, -32768 on the last.
  const int span = std::max(rows - 1, 0);
  return top + static_cast<int>((32767 - value) * static_cast<std::int64_t>(span) / 65535);
}

Raster DrawWaveform(const CPeakModel& model, std::uint64_t first, std::uint64_t last, int width, int height,
                    const PictureColours& colours) {
  Raster raster;
  raster.width = std::max(width, 0);
  raster.height = std::max(height, 0);
  raster.pixels.assign(static_cast<std::size_t>(raster.width) * raster.height, Rgba{});
  const unsigned channels = model.Shape().channels;
  if (channels == 0 || raster.width == 0 || raster.height == 0) return raster;
  const auto columns = model.Columns(first, last, raster.width);
  auto fill = [&](int x, int y0, int y1, Rgba colour) {
    for (int y = std::min(y0, y1); y <= std::max(y0, y1); ++y)
      if (y >= 0 && y < raster.height) raster.pixels[static_cast<std::size_t>(y) * raster.width + x] = colour;
  };
  for (unsigned c = 0; c < channels; ++c) {
    const int top = raster.height * static_cast<int>(c) / static_cast<int>(channels);
    const int rows = raster.height * static_cast<int>(c + 1) / static_cast<int>(channels) - top;
    for (int x = 0; x < raster.width; ++x) {
      const Column& column = columns[c][static_cast<std::size_t>(x)];
      if (column.empty) continue;
      fill(x, RowOf(column.max, top, rows), RowOf(column.min, top, rows), colours.peak);
      const int rms =
          std::min<int>({column.rms, column.max < 0 ? 0 : column.max, column.min > 0 ? 0 : -column.min});
      if (rms > 0) fill(x, RowOf(rms, top, rows), RowOf(-rms, top, rows), colours.rms);
    }
  }
  return raster;
}

std::string PeaksJson(const CPeakModel& model, std::uint64_t maxPoints) {
  const StreamShape& shape = model.Shape();
  const std::uint64_t blocks = model.Blocks();
  const std::uint64_t blocksPerPoint = std::max<std::uint64_t>(
      1, (blocks + std::max<std::uint64_t>(maxPoints, 1) - 1) / std::max<std::uint64_t>(maxPoints, 1));
  const std::uint64_t samplesPerPoint = blocksPerPoint * model.SamplesPerBlock();
  std::string json = "{\"sample_rate\": " + std::to_string(shape.sampleRate) +
                     ", \"channels\": " + std::to_string(shape.channels) +
                     ", \"samples_per_point\": " + std::to_string(samplesPerPoint) +
                     ", \"length_samples\": " + std::to_string(shape.lengthSamples);
  std::vector<std::vector<Point>> channels;
  for (unsigned c = 0; c < shape.channels; ++c) channels.push_back(model.ChannelPoints(c));
  for (const bool wantMax : {false, true}) {
    json += wantMax ? ", \"max\": [" : ", \"min\": [";
    for (unsigned c = 0; c < shape.channels; ++c) {
      json += c ? ", [" : "[";
      const std::vector<Point>& points = channels[c];
      for (std::uint64_t b = 0; b < blocks; b += blocksPerPoint) {
        int value = wantMax ? -32768 : 32767;
        for (std::uint64_t k = b; k < std::min(blocks, b + blocksPerPoint); ++k)
          value = wantMax ? std::max<int>(value, points[k].max) : std::min<int>(value, points[k].min);
        if (b) json += ", ";
        json += std::to_string(value);
      }
      json += "]";
    }
    json += "]";
  }
  json += "}\n";
  return json;
}

}  // namespace peaks
