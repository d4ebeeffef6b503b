#include "support/GaplessCheck.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>

#include "core/TimeText.h"
#include "support/CliRunner.h"
#include "support/Mp3Builder.h"

namespace kt {
namespace {

std::uint32_t GetBe32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) | (std::uint32_t{b[at + 2]} << 8) |
         b[at + 3];
}

}  // namespace

std::vector<std::int16_t> Decode(const TempDir& dir, RefDecoder decoder, const std::string& mp3) {
  const std::string raw = dir.File("decoded.raw");
  const CliResult run =
      decoder == RefDecoder::Ffmpeg
          ? RunProgram(dir.Path().string(), "ffmpeg",
                       {"-nostdin", "-v", "error", "-y", "-i", mp3, "-f", "s16le", "-c:a", "pcm_s16le", raw})
          : RunProgram(dir.Path().string(), "mpg123", {"-q", "-s", mp3});
  if (run.exitCode != 0) return {};
  const std::vector<std::uint8_t> bytes = decoder == RefDecoder::Ffmpeg
                                              ? ReadAll(raw)
                                              : std::vector<std::uint8_t>(run.out.begin(), run.out.end());
  std::vector<std::int16_t> samples(bytes.size() / 2);
  for (std::size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<std::int16_t>(GetLe16(bytes, 2 * i));
  return samples;
}

std::string PcmDiff(const std::vector<std::int16_t>& expected, std::size_t from,
                    const std::vector<std::int16_t>& actual, bool wholeLength, int tolerance) {
  std::ostringstream s;
  if (from + actual.size() > expected.size() || (wholeLength && actual.size() != expected.size()))
    s << "expected " << expected.size() << " samples from " << from << ", got " << actual.size() << "; ";
  for (std::size_t i = 0; i < actual.size() && from + i < expected.size(); ++i)
    if (std::abs(expected[from + i] - actual[i]) > tolerance) {
      s << "first difference at sample " << i;
      break;
    }
  return s.str();
}

std::size_t SampleAtTime(const std::string& time, std::uint32_t rate) {
  const timetext::ParsedTime parsed = timetext::ParseTime(time);
  EXPECT_TRUE(parsed.micros.has_value()) << time;
  // Exact decimal arithmetic: the time in microseconds, rounded half up.
  return parsed.micros ? static_cast<std::size_t>((*parsed.micros * rate + 500000) / 1000000) : 0;
}

std::string SpanDiff(const std::vector<std::int16_t>& whole, std::size_t first, std::size_t end, int channels,
                     const std::vector<std::int16_t>& cut, int tolerance) {
  const std::size_t c = static_cast<std::size_t>(channels);
  end = std::min(end, whole.size() / c);
  first = std::min(first, end);
  if (cut.size() != (end - first) * c) {
    std::ostringstream s;
    s << "expected " << end - first << " sample frames, got " << cut.size() / c << "; ";
    return s.str() + PcmDiff(whole, first * c, cut, false, tolerance);
  }
  return PcmDiff(whole, first * c, cut, false, tolerance);
}

std::vector<std::uint8_t> MusicWav(double seconds, int channels, int rate) {
  const auto frames = static_cast<std::uint32_t>(seconds * rate);
  std::vector<std::uint8_t> data;
  std::uint32_t noise = 12345;
  for (std::uint32_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / rate;
    // A beat four times a second makes quiet and loud frames, so the
    // encoder saves bits in some and spends them from the reservoir in others.
    const double beat = std::exp(-12.0 * std::fmod(t, 0.25));
    for (int c = 0; c < channels; ++c) {
      noise = noise * 1664525u + 1013904223u;
      const double n = static_cast<double>(noise >> 8) / (1u << 24) - 0.5;
      const double v = 0.25 * std::sin(2 * M_PI * (330.0 + 40.0 * c) * t) +
                       0.15 * std::sin(2 * M_PI * 1250.0 * t) + 0.35 * beat * n;
      PutLe16(data, static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(v * 32000.0))));
    }
  }
  WavSpec layout;
  layout.channels = static_cast<std::uint16_t>(channels);
  layout.sampleRate = static_cast<std::uint32_t>(rate);
  return BuildWav(layout, data);
}

std::string LameEncode(const TempDir& dir, const std::string& name, const std::string& wav,
                       const std::vector<std::string>& options) {
  std::vector<std::string> args{"--quiet"};
  args.insert(args.end(), options.begin(), options.end());
  args.insert(args.end(), {wav, dir.File(name)});
  return RunProgram(dir.Path().string(), "lame", args).exitCode == 0 ? dir.File(name) : "";
}

std::string FlacEncode(const TempDir& dir, const std::string& name, const std::string& wav,
                       const std::vector<std::string>& options) {
  std::vector<std::string> args{"--silent", "--force"};
  args.insert(args.end(), options.begin(), options.end());
  args.insert(args.end(), {"-o", dir.File(name), wav});
  return RunProgram(dir.Path().string(), "flac", args).exitCode == 0 ? dir.File(name) : "";
}

std::uint16_t BitwiseCrc16(const std::uint8_t* p, std::size_t n, std::uint16_t crc) {
  for (std::size_t i = 0; i < n; ++i) {
    crc ^= p[i];
    for (int b = 0; b < 8; ++b) crc = static_cast<std::uint16_t>(crc & 1u ? (crc >> 1) ^ 0xA001u : crc >> 1);
  }
  return crc;
}

HeaderFrame ReadHeaderFrame(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  HeaderFrame h;
  h.at = at;
  const std::vector<std::size_t> frames = WalkFrames(bytes, at, bytes.size());
  h.audio = frames.size() > 1 ? frames[1] : at;
  const std::size_t x = at + 36, l = x + 120;
  h.marker.assign(bytes.begin() + static_cast<long>(x), bytes.begin() + static_cast<long>(x) + 4);
  h.frames = GetBe32(bytes, x + 8);
  h.bytes = GetBe32(bytes, x + 12);
  h.toc.assign(bytes.begin() + static_cast<long>(x) + 16, bytes.begin() + static_cast<long>(x) + 116);
  h.delay = (bytes[l + 21] << 4) | (bytes[l + 22] >> 4);
  h.padding = ((bytes[l + 22] & 15) << 8) | bytes[l + 23];
  h.musicLength = GetBe32(bytes, l + 28);
  h.musicCrc = static_cast<std::uint16_t>((bytes[l + 32] << 8) | bytes[l + 33]);
  return h;
}

double ProbeDuration(const TempDir& dir, const std::string& path) {
  const CliResult run =
      RunProgram(dir.Path().string(), "ffprobe",
                 {"-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", path});
  return run.exitCode == 0 && !run.out.empty() ? std::atof(run.out.c_str()) : -1.0;
}

}  // namespace kt
