#include "FuzzSupport.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "core/AudioFile.h"
#include "core/StringTable.h"
#include "core/open/Formats.h"

namespace fz {
namespace fs = std::filesystem;

namespace {
void RemoveScratch() {
  std::error_code ec;
  fs::remove_all(Scratch(), ec);
}

fs::path ScratchBase() {
  std::error_code ec;
  if (const char* given = std::getenv("KESTRUNE_FUZZ_SCRATCH"); given && *given) return given;
  if (fs::is_directory("/dev/shm", ec)) return "/dev/shm";
  const fs::path temp = fs::temp_directory_path(ec);
  return ec ? fs::path("/tmp") : temp;
}

}  // namespace

const std::string& Scratch() {
  static const std::string dir = [] {
    const fs::path made = ScratchBase() / ("kestrune-fuzz-" + std::to_string(::getpid()));
    std::error_code ec;
    fs::create_directories(made, ec);
    if (ec) {
      std::fprintf(stderr, "cannot make the scratch folder %s: %s\n", made.c_str(), ec.message().c_str());
      std::abort();
    }
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

void CancelAfterSteps::Changed(const CProgressState&, ProgressChange change) {
  if (change == ProgressChange::FileStep) ++steps_;
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

namespace {

// One operation of the engine's interface on an open file. The controls give
// the operation, its arguments and whether it is cancelled after a few steps.
void RunOne(CAudioFile& file, const Controls& c) {
  using Operation = void (*)(CAudioFile&, const Controls&, FuzzProgress&);
  static const Operation kCuts[] = {
      // Whole seconds, as the slider marks them.
      [](CAudioFile& f, const Controls& k, FuzzProgress& p) {
        const std::string out = ScratchFile(std::string("out") + f.Format().Extension());
        CheckOutcome(f.SaveSelection(out, k.a % 8u, k.b % 8u, &p).error);
      },
      // Sample positions anywhere in the first seconds.
      [](CAudioFile& f, const Controls& k, FuzzProgress& p) {
        const std::string out = ScratchFile(std::string("out") + f.Format().Extension());
        CheckOutcome(f.SaveSelectionSamples(out, k.a * 331u, k.b * 997u, &p).error);
      },
      [](CAudioFile& f, const Controls& k, FuzzProgress& p) {
        ShredRequest request;
        request.numberOfSplits = k.a % 12u;
        request.baseFilename = ScratchFile(std::string("piece") + f.Format().Extension());
        if (k.c & 2)
          f.SetOverlapMicros(k.b * 12345u);
        else
          f.SetOverlapTime(k.b % 4u);
        f.SetSuffix((k.c & 1) ? "_part" : "");
        f.SetGaplessPieces(!(k.c & 4));
        CheckOutcome(f.SplitEqually(request, &p).error);
      },
  };
  struct Converting {
    Conversion conversion;
    Operation run;
  };
  static const Converting kConversions[] = {
      {Conversion::ToWav, [](CAudioFile& f, const Controls&,
                             FuzzProgress& p) { f.ConvertToWav(ScratchFile("decoded.wav"), &p); }},
      {Conversion::To16Bit, [](CAudioFile& f, const Controls&,
                               FuzzProgress& p) { f.ConvertTo16Bit(ScratchFile("out16.wav"), &p); }},
      {Conversion::To8Bit,
       [](CAudioFile& f, const Controls&, FuzzProgress& p) { f.ConvertTo8Bit(ScratchFile("out8.wav"), &p); }},
      {Conversion::RipChannels, [](CAudioFile& f, const Controls& k,
                                   FuzzProgress& p) { f.RipChannels(k.a, ScratchFile("ripped.wav"), &p); }},
      {Conversion::ToMp3,
       [](CAudioFile& f, const Controls& k, FuzzProgress& p) {
         static const std::uint16_t kBitrates[] = {0, 8, 32, 64, 128, 320};
         Mp3EncodeSettings settings;
         settings.bitrate = kBitrates[k.a % 6u];
         settings.encodingMode = static_cast<std::uint16_t>(k.b % 4u);
         settings.vbrQuality = static_cast<std::uint16_t>(k.c % 10u);
         settings.monoFlag = k.a & 0x80;
         settings.crcFlag = k.b & 0x80;
         f.ConvertToMp3(ScratchFile("encoded.mp3"), &p, settings);
       }},
      {Conversion::ToFlac,
       [](CAudioFile& f, const Controls& k, FuzzProgress& p) {
         f.ConvertToFlac(ScratchFile("encoded.flac"), &p, FlacEncodeSettings{k.a % 9u});
       }},
  };
  // The cuts every file offers, then the conversions this one offers: no
  // input is spent on an operation the file refuses outright.
  std::vector<Operation> offered(std::begin(kCuts), std::end(kCuts));
  for (const Converting& conversion : kConversions)
    if (file.Offers(conversion.conversion)) offered.push_back(conversion.run);
  FuzzProgress progress((c.op & 0x80) ? (c.c % 5u) + 1u : 0u);
  offered[static_cast<std::size_t>(c.op & 0x7F) % offered.size()](file, c, progress);
  CheckOutcome(file.GetError());
}

}  // namespace

int RunOperations(const char* extension, const std::uint8_t* data, std::size_t size) {
  const Controls c = Controls::Take(data, size);
  const std::string input = std::string("input") + extension;
  const std::string path = WriteInput(input, data, size);
  Guarded([&] {
    const std::unique_ptr<CAudioFile> file = OpenAudioFile(path);
    if (!file) {
      std::fprintf(stderr, "no format claims %s\n", path.c_str());
      std::abort();
    }
    if (file->GetError() != err::kNone) return;
    RunOne(*file, c);
    // A second operation on the same object starts from wherever the first
    // left the shared read position.
    Controls next = c;
    next.op = static_cast<std::uint8_t>(c.op + 1);
    Guarded([&] { RunOne(*file, next); });
  });
  ClearScratch(input);
  return 0;
}

}  // namespace fz
