// Cutting and converting a fuzzed WAV file. The first four input bytes choose
// the operation and its arguments; the rest is the file.
#include "FuzzSupport.h"
#include "core/wav/WaveFile.h"
#include "support/TestSupport.h"

namespace {

void RunOne(CWaveFile& wav, const fz::Controls& c, kt::ScriptedOwner& owner) {
  fz::FuzzProgress progress((c.op & 0x80) ? (c.c % 5u) + 1u : 0u);
  const std::string out = fz::ScratchFile("out.wav");
  switch ((c.op & 0x7F) % 6) {
    case 0:
      wav.SaveSelection(out, c.a % 8u, c.b % 8u, &progress);
      break;
    case 1:
      owner.shred.numberOfSplits = c.a % 12u;
      owner.shred.baseFilename = fz::ScratchFile("piece.wav");
      wav.SetOverlapTime(c.b % 4u);
      wav.SetSuffix((c.c & 1) ? "_part" : "");
      wav.SplitEqually(&progress);
      break;
    case 2:
      wav.ConvertTo16Bit(out, &progress);
      break;
    case 3:
      wav.ConvertTo8Bit(out, &progress);
      break;
    case 4:
      wav.RipChannels(c.a, out, &progress);
      break;
    case 5: {
      Mp3EncodeSettings settings;
      static const std::uint16_t kBitrates[] = {0, 8, 32, 64, 128, 320};
      settings.bitrate = kBitrates[c.a % 6u];
      settings.encodingMode = static_cast<std::uint16_t>(c.b % 4u);
      settings.vbrQuality = static_cast<std::uint16_t>(c.c % 10u);
      settings.monoFlag = c.a & 0x80;
      settings.crcFlag = c.b & 0x80;
      wav.ConvertToMp3(fz::ScratchFile("out.mp3"), &progress, settings);
      break;
    }
  }
  fz::CheckOutcome(wav.GetError());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fz::Controls c = fz::Controls::Take(data, size);
  const std::string path = fz::WriteInput("input.wav", data, size);
  fz::Guarded([&] {
    kt::ScriptedOwner owner;
    kt::Owned<CWaveFile> wav(path, &owner);
    if (wav.GetError() != err::kNone) return;
    RunOne(wav, c, owner);
    // A second operation on the same object starts from wherever the first
    // left the shared read position.
    fz::Controls next = c;
    next.op = static_cast<std::uint8_t>(c.op + 1);
    fz::Guarded([&] { RunOne(wav, next, owner); });
  });
  fz::ClearScratch("input.wav");
  return 0;
}
