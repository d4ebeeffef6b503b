#include "FuzzSupport.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "core/StringTable.h"

namespace fz {
namespace fs = std::filesystem;

namespace {
void RemoveScratch() {
  std::error_code ec;
  fs::remove_all(Scratch(), ec);
}
}  // namespace

const std::string& Scratch() {
  static const std::string dir = [] {
    const fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    const fs::path made = base / ("kestrune-fuzz-" + std::to_string(::getpid()));
    fs::create_directories(made);
    return made.string();
  }();
  static const bool registered = (std::atexit(RemoveScratch), true);
  (void)registered;
  return dir;
}

std::string ScratchFile(const std::string& name) {
  return Scratch() + "/" + name;
}

std::string WriteInput(const std::string& name, const std::uint8_t* data, std::size_t size) {
  const std::string path = ScratchFile(name);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  if (!out) {
    std::fprintf(stderr, "cannot write the fuzz input to %s\n", path.c_str());
    std::abort();
  }
  return path;
}

void ClearScratch(const std::string& keep) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(Scratch(), ec)) {
    if (entry.path().filename() == keep) continue;
    fs::remove_all(entry.path(), ec);
  }
}

void FuzzProgress::Count() {
  ++steps_;
  if (cancelAfter_ != 0 && steps_ >= cancelAfter_) RequestCancel();
}

void FuzzProgress::StepFile() {
  CProgressCounter::StepFile();
  Count();
}

void FuzzProgress::StepBoth() {
  CProgressCounter::StepBoth();
  Count();
}

void CheckOutcome(AudioError code) {
  if (code != err::kNone && LoadMessage(code).empty()) {
    std::fprintf(stderr, "outcome %u has no message in the catalogue\n", code);
    std::abort();
  }
}

Controls Controls::Take(const std::uint8_t*& data, std::size_t& size) {
  Controls c;
  std::uint8_t bytes[kSize] = {};
  for (std::size_t i = 0; i < kSize && i < size; ++i) bytes[i] = data[i];
  const std::size_t used = size < kSize ? size : kSize;
  data += used;
  size -= used;
  c.op = bytes[0];
  c.a = bytes[1];
  c.b = bytes[2];
  c.c = bytes[3];
  return c;
}

}  // namespace fz
