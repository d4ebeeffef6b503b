// Cutting a fuzzed MP3 file: selections, equal splits (gapless or plain
// frame copies) and decoding, optionally cancelled, then a second operation
// on the same object. The first four input bytes choose the operation and
// its arguments; the rest is the file.
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return fz::RunOperations(".mp3", data, size);
}
