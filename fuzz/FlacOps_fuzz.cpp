// Cutting and converting a fuzzed FLAC file: selections, equal splits and
// the conversions it offers, optionally cancelled, then a second operation
// on the same object. The first four input bytes choose the operation and
// its arguments; the rest is the file.
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return fz::RunOperations(".flac", data, size);
}
