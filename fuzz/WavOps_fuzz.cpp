// Cutting and converting a fuzzed WAV file: selections, equal splits with
// overlap and suffix, 8/16 bit, channel ripping and MP3 encoding, optionally
// cancelled, then a second operation on the same object. The first four
// input bytes choose the operation and its arguments; the rest is the file.
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return fz::RunOperations(".wav", data, size);
}
