// Opening a WAV file and deriving what the information window and the
// writers take from its header.
#include <cstdio>
#include <cstdlib>

#include "FuzzSupport.h"
#include "core/SplitEstimate.h"
#include "core/wav/WaveFile.h"
#include "support/TestSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = fz::WriteInput("input.wav", data, size);
  fz::Guarded([&] {
    CWaveFile wav(path);
    fz::CheckOutcome(wav.GetError());
    if (wav.GetError() != err::kNone) return;
    if (wav.GetInformationLines().empty()) std::abort();
    // The Shred Equally estimate divides by what the header says.
    for (std::uint32_t splits : {0u, 1u, 2u, 7u, 1000u})
      fz::CheckOutcome(EstimateWaveSplit(wav.GetSplitFacts(), splits).error);
    (void)wav.IsPcm();
    (void)wav.GetChannelMask();
    // A derived header must describe itself: RIFF size = length - 8, and
    // the data size at the end.
    const std::uint64_t dataSize = wav.GetDataSize();
    const auto header = wav.BuildDerivedHeader(wav.GetFormat(), wav.GetExtraFormatBytes(), dataSize);
    if (header.size() < 12 || kt::GetLe32(header, header.size() - 4) != dataSize) {
      std::fprintf(stderr, "derived header does not end with the data size\n");
      std::abort();
    }
    const std::uint64_t total = header.size() + dataSize + (dataSize & 1u);  // with the pad byte
    if (total - 8 <= 0xFFFFFFFFu && kt::GetLe32(header, 4) != total - 8) {
      std::fprintf(stderr, "derived header's RIFF size is not the file length - 8\n");
      std::abort();
    }
  });
  return 0;
}
