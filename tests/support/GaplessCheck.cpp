#include "support/GaplessCheck.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "support/CliRunner.h"

namespace kt {

const char* Name(RefDecoder decoder) {
  return decoder == RefDecoder::Ffmpeg ? "ffmpeg" : "mpg123";
}

Pcm Decode(const TempDir& dir, RefDecoder decoder, const std::string& mp3) {
  CliResult run;
  const std::string raw = dir.File("decoded.raw");
  if (decoder == RefDecoder::Ffmpeg)
    run = RunProgram(dir.Path().string(), "ffmpeg",
                     {"-nostdin", "-v", "error", "-y", "-i", mp3, "-f", "s16le", "-c:a", "pcm_s16le", raw});
  else
    run = RunProgram(dir.Path().string(), "mpg123", {"-q", "-s", mp3});
  Pcm pcm;
  pcm.ok = run.exitCode == 0;
  pcm.error = run.err;
  std::vector<std::uint8_t> bytes;
  if (pcm.ok && decoder == RefDecoder::Ffmpeg) bytes = ReadAll(raw);
  if (pcm.ok && decoder == RefDecoder::Mpg123) bytes.assign(run.out.begin(), run.out.end());
  pcm.samples.resize(bytes.size() / 2);
  for (std::size_t i = 0; i < pcm.samples.size(); ++i)
    pcm.samples[i] = static_cast<std::int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  return pcm;
}

std::string PcmCompare::Describe() const {
  std::ostringstream s;
  s << "expected " << expectedSize << " samples, got " << actualSize;
  if (firstDifference != npos)
    s << "; first difference at sample " << firstDifference << ", largest " << largestError;
  return s.str();
}

PcmCompare ComparePcm(const std::vector<std::int16_t>& expected, std::size_t from,
                      const std::vector<std::int16_t>& actual, bool wholeLength) {
  PcmCompare c;
  c.actualSize = actual.size();
  c.expectedSize = wholeLength ? expected.size()
                               : std::min(actual.size(), expected.size() - std::min(from, expected.size()));
  for (std::size_t i = 0; i < actual.size(); ++i) {
    const std::size_t at = from + i;
    const int want = at < expected.size() ? expected[at] : 0;
    if (at >= expected.size() || want != actual[i]) {
      if (c.firstDifference == PcmCompare::npos) c.firstDifference = i;
      c.largestError = std::max(c.largestError, std::abs(want - actual[i]));
    }
  }
  return c;
}

PcmCompare CompareJoinedPieces(const TempDir& dir, RefDecoder decoder, const std::string& source,
                               const std::vector<std::string>& pieces,
                               std::vector<std::size_t>* pieceSamples) {
  const Pcm whole = Decode(dir, decoder, source);
  std::vector<std::int16_t> joined;
  for (const std::string& piece : pieces) {
    const Pcm part = Decode(dir, decoder, piece);
    joined.insert(joined.end(), part.samples.begin(), part.samples.end());
    if (pieceSamples) pieceSamples->push_back(part.samples.size());
  }
  return ComparePcm(whole.samples, 0, joined, true);
}

std::vector<std::uint8_t> MusicWav(double seconds, int channels, int rate) {
  const auto frames = static_cast<std::uint32_t>(seconds * rate);
  std::vector<std::uint8_t> data;
  data.reserve(static_cast<std::size_t>(frames) * channels * 2);
  std::uint32_t noise = 12345;
  for (std::uint32_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / rate;
    // A beat four times a second makes quiet and loud frames, so the
    // encoder saves bits in some and spends them from the reservoir in others.
    const double beat = std::exp(-12.0 * std::fmod(t, 0.25));
    for (int c = 0; c < channels; ++c) {
      noise = noise * 1664525u + 1013904223u;
      const double n = (static_cast<double>(noise >> 8) / (1u << 24) - 0.5);
      const double v = 0.25 * std::sin(2 * M_PI * (330.0 + 40.0 * c) * t) +
                       0.15 * std::sin(2 * M_PI * 1250.0 * t) + 0.35 * beat * n;
      const auto s = static_cast<std::int16_t>(std::lround(std::clamp(v, -1.0, 1.0) * 32000.0));
      PutLe16(data, static_cast<std::uint16_t>(s));
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
  args.push_back(wav);
  args.push_back(dir.File(name));
  const CliResult run = RunProgram(dir.Path().string(), "lame", args);
  return run.exitCode == 0 ? dir.File(name) : std::string();
}

double ProbeDuration(const TempDir& dir, const std::string& mp3) {
  const CliResult run =
      RunProgram(dir.Path().string(), "ffprobe",
                 {"-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", mp3});
  return run.exitCode == 0 && !run.out.empty() ? std::atof(run.out.c_str()) : -1.0;
}

std::string Mp3valWarnings(const TempDir& dir, const std::string& mp3) {
  const CliResult run = RunProgram(dir.Path().string(), "mp3val", {mp3});
  // mp3val prints "Analyzing file ...", an INFO line and "Done!"; problems begin with WARNING or ERROR.
  std::istringstream lines(run.out);
  std::string line, warnings;
  for (; std::getline(lines, line);)
    if ((line.rfind("WARNING", 0) == 0 || line.rfind("ERROR", 0) == 0) &&
        line.find("No supported tags") == std::string::npos)
      warnings += line + "\n";
  return warnings;
}

}  // namespace kt
