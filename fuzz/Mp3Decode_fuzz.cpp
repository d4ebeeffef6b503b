// Decoding a fuzzed MP3 file to WAV through the libmad driver.
#include "FuzzSupport.h"
#include "core/mp3/Mp3File.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = fz::WriteInput("input.mp3", data, size);
  fz::Guarded([&] {
    CMp3File file(path);
    if (file.GetError() != err::kNone) return;
    fz::FuzzProgress progress(0);
    file.ConvertToWav(fz::ScratchFile("out.wav"), &progress);
    fz::CheckOutcome(file.GetError());
  });
  fz::ClearScratch("input.mp3");
  return 0;
}
