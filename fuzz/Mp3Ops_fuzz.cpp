// Cutting a fuzzed MP3 file: selections and equal splits, optionally
// cancelled. The first four input bytes choose the operation and its
// arguments; the rest is the file.
#include "FuzzSupport.h"
#include "core/mp3/Mp3File.h"
#include "support/TestSupport.h"

namespace {

void RunOne(CMp3File& file, const fz::Controls& c, kt::ScriptedOwner& owner) {
  fz::FuzzProgress progress((c.op & 0x80) ? (c.c % 5u) + 1u : 0u);
  switch ((c.op & 0x7F) % 3) {
    case 0:
      // Whole seconds, or sample positions anywhere in the first seconds.
      if (c.op & 0x40)
        file.SaveSelectionSamples(fz::ScratchFile("out.mp3"), c.a * 331u, c.b * 997u, &progress);
      else
        file.SaveSelection(fz::ScratchFile("out.mp3"), c.a % 8u, c.b % 8u, &progress);
      break;
    case 1:
      owner.shred.numberOfSplits = c.a % 12u;
      owner.shred.baseFilename = fz::ScratchFile("piece.mp3");
      if (c.c & 2)
        file.SetOverlapMicros(c.b * 12345u);
      else
        file.SetOverlapTime(c.b % 4u);
      file.SetSuffix((c.c & 1) ? "_part" : "");
      file.SplitEqually(&progress);
      break;
    case 2:
      file.ConvertToWav(fz::ScratchFile("out.wav"), &progress);
      break;
  }
  fz::CheckOutcome(file.GetError());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fz::Controls c = fz::Controls::Take(data, size);
  const std::string path = fz::WriteInput("input.mp3", data, size);
  fz::Guarded([&] {
    kt::ScriptedOwner owner;
    kt::Owned<CMp3File> file(path, &owner);
    if (file.GetError() != err::kNone) return;
    RunOne(file, c, owner);
    fz::Controls next = c;
    next.op = static_cast<std::uint8_t>(c.op + 1);
    fz::Guarded([&] { RunOne(file, next, owner); });
  });
  fz::ClearScratch("input.mp3");
  return 0;
}
