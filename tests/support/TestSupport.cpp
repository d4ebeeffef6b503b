#include "support/TestSupport.h"

#include <cmath>
#include <fstream>
#include <random>
#include <stdexcept>

namespace kt {

TempDir::TempDir() {
  static std::mt19937_64 rng{std::random_device{}()};
  for (;;) {
    path_ = std::filesystem::temp_directory_path() / ("kestrune-test-" + std::to_string(rng()));
    if (std::filesystem::create_directory(path_)) break;
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                               ec);
  std::filesystem::remove_all(path_, ec);
}

std::vector<std::uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

void PutLe16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void PutLe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void PutTag(std::vector<std::uint8_t>& out, const char* tag) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(tag[i]));
}

std::uint16_t GetLe16(const std::vector<std::uint8_t>& in, std::size_t at) {
  return static_cast<std::uint16_t>(in.at(at) | (in.at(at + 1) << 8));
}

std::uint32_t GetLe32(const std::vector<std::uint8_t>& in, std::size_t at) {
  return static_cast<std::uint32_t>(in.at(at)) | (static_cast<std::uint32_t>(in.at(at + 1)) << 8) |
         (static_cast<std::uint32_t>(in.at(at + 2)) << 16) |
         (static_cast<std::uint32_t>(in.at(at + 3)) << 24);
}

std::uint16_t WavSpec::BlockAlign() const {
  return blockAlignOverride ? blockAlignOverride
                            : static_cast<std::uint16_t>(channels * ((bitsPerSample + 7) / 8));
}

std::uint32_t WavSpec::ByteRate() const {
  return byteRateOverride ? byteRateOverride : sampleRate * BlockAlign();
}

WavSpec ImaAdpcmSpec(std::uint32_t factCount) {
  WavSpec s;
  s.formatTag = 0x11;
  s.channels = 1;
  s.sampleRate = 8000;
  s.bitsPerSample = 4;
  s.blockAlignOverride = 256;
  s.byteRateOverride = 4055;
  s.fmtSize = 20;
  s.fmtExtra = {2, 0, 0xF9, 0x01};
  s.before.push_back(Chunk{"fact", {}});
  PutLe32(s.before.back().body, factCount);
  return s;
}

namespace {
void PutChunk(std::vector<std::uint8_t>& out, const Chunk& c) {
  PutTag(out, c.tag.c_str());
  PutLe32(out, c.sizeOverride != 0xFFFFFFFFu ? c.sizeOverride : static_cast<std::uint32_t>(c.body.size()));
  out.insert(out.end(), c.body.begin(), c.body.end());
  if (c.body.size() % 2) out.push_back(0);
}
}  // namespace

std::vector<std::uint8_t> BuildWav(const WavSpec& layout, const std::vector<std::uint8_t>& data) {
  std::vector<std::uint8_t> out;
  PutTag(out, "RIFF");
  PutLe32(out, 0);
  PutTag(out, "WAVE");
  PutTag(out, "fmt ");
  PutLe32(out, layout.fmtSize);
  PutLe16(out, layout.formatTag);
  PutLe16(out, layout.channels);
  PutLe32(out, layout.sampleRate);
  PutLe32(out, layout.ByteRate());
  PutLe16(out, layout.BlockAlign());
  PutLe16(out, layout.bitsPerSample);
  std::vector<std::uint8_t> extra = layout.fmtExtra;
  extra.resize(layout.fmtSize > 16 ? layout.fmtSize - 16 : 0, 0);
  out.insert(out.end(), extra.begin(), extra.end());
  if (layout.fmtSize % 2) out.push_back(0);
  for (const auto& c : layout.before) PutChunk(out, c);
  PutTag(out, "data");
  PutLe32(out, layout.dataSizeOverride != 0xFFFFFFFFu ? layout.dataSizeOverride
                                                      : static_cast<std::uint32_t>(data.size()));
  out.insert(out.end(), data.begin(), data.end());
  if (data.size() % 2) out.push_back(0);
  for (const auto& c : layout.after) PutChunk(out, c);
  const auto riffSize = static_cast<std::uint32_t>(out.size() - 8);
  for (int i = 0; i < 4; ++i) out[4 + i] = static_cast<std::uint8_t>(riffSize >> (8 * i));
  return out;
}

std::vector<std::uint8_t> PatternData(std::size_t bytes, std::uint32_t seed) {
  std::vector<std::uint8_t> out(bytes);
  std::uint32_t x = seed * 2654435761u + 12345u;
  for (auto& b : out) {
    x = x * 1664525u + 1013904223u;
    b = static_cast<std::uint8_t>(x >> 24);
  }
  return out;
}

std::vector<std::uint8_t> Sine16(std::uint32_t frames, std::uint16_t channels, std::uint32_t rate,
                                 double frequency, double amplitude) {
  std::vector<std::uint8_t> out;
  out.reserve(static_cast<std::size_t>(frames) * channels * 2);
  for (std::uint32_t i = 0; i < frames; ++i) {
    const double v = amplitude * std::sin(2.0 * M_PI * frequency * i / rate);
    const auto s = static_cast<std::int16_t>(std::lround(v * 32767.0));
    for (std::uint16_t c = 0; c < channels; ++c) PutLe16(out, static_cast<std::uint16_t>(s));
  }
  return out;
}

std::string MakeWav(const TempDir& dir, const std::string& name, const WavSpec& layout,
                    const std::vector<std::uint8_t>& data) {
  const std::string path = dir.File(name);
  WriteAll(path, BuildWav(layout, data));
  return path;
}

std::string PatternWav(const TempDir& dir, const std::string& name, std::uint32_t seconds,
                       std::uint16_t bits) {
  WavSpec layout;
  layout.sampleRate = 22050;
  layout.bitsPerSample = bits;
  return MakeWav(dir, name, layout, PatternData(seconds * layout.ByteRate()));
}

std::size_t DiskFullAfter::Allow(std::size_t count) {
  std::uint64_t budget = budget_.load();
  if (budget == UINT64_MAX) return count;
  std::size_t allowed;
  do {
    allowed = budget < count ? static_cast<std::size_t>(budget) : count;
  } while (!budget_.compare_exchange_weak(budget, budget - allowed));
  return allowed;
}

void ProgressRecord::Changed(const CProgressState& state, ProgressChange change) {
  switch (change) {
    case ProgressChange::Started:
      calls.push_back("Start");
      break;
    case ProgressChange::Title:
      calls.push_back("SetTitle " + state.title);
      break;
    case ProgressChange::FileCount:
      calls.push_back("SetFileCount " + std::to_string(state.fileCount));
      break;
    case ProgressChange::OverallStep:
      ++overallSteps;
      calls.push_back("StepOverall");
      break;
    case ProgressChange::FileRange:
      calls.push_back("SetFileRange " + std::to_string(state.file.maximum) + " " +
                      std::to_string(state.file.step));
      break;
    case ProgressChange::FileStep:
      ++fileSteps;
      if (cancelAfterFileSteps && fileSteps >= cancelAfterFileSteps) cancelled_ = true;
      if (onFileStep) onFileStep();
      break;
    case ProgressChange::Action: {
      const char* call = state.action.verb == "Converting " ? "SetConvertingText " : "SetShreddingText ";
      calls.push_back(call + state.action.source + " " + state.action.target);
      break;
    }
    case ProgressChange::Count:
      calls.push_back("SetFileNumber " + std::to_string(state.fileNumber));
      break;
    case ProgressChange::Closed:
      calls.push_back("Close");
      break;
  }
}

bool ScriptedOwner::AskShred(ShredRequest& request) {
  ++shredRequests;
  if (!acceptShred) return false;
  request = shred;
  return true;
}

AudioError ScriptedOwner::Take(const OperationResult& result) {
  if (result.notice) messages.push_back({result.notice->caption, result.notice->text, result.notice->icon});
  return result.error;
}

}  // namespace kt
