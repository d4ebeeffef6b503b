// Opening a FLAC file: its metadata, what the information window and the
// JSON show, the frame scan, and the decode of a few spans.
#include <cstdlib>

#include "FuzzSupport.h"
#include "core/AudioFile.h"
#include "core/open/Formats.h"

namespace {

class CCountingSink : public CPcmSink {
 public:
  void Write(const std::uint8_t*, std::size_t count) override { bytes += count; }
  std::size_t bytes = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = fz::WriteInput("input.flac", data, size);
  fz::Guarded([&] {
    const std::unique_ptr<CAudioFile> file = OpenAudioFile(path);
    fz::CheckOutcome(file->GetError());
    if (file->GetError() != err::kNone) return;
    if (file->GetInformationLines().empty()) std::abort();
    (void)file->GetTagFields();
    (void)file->DescribeFacts();
    (void)file->GetEmbeddedCue();
    const std::uint64_t total = file->CountDecodedSamples();
    const std::size_t frameBytes = std::size_t{file->GetChannels()} * file->GetBitsPerSample() / 8u;
    for (const auto& [first, end] : {std::pair<std::uint64_t, std::uint64_t>{0, 5000}, {total / 2, total / 2 + 1},
                                     {total > 3 ? total - 3 : 0, total + 10}}) {
      CCountingSink sink;
      const std::uint64_t got = file->DecodeSpan(first, end, sink);
      // A decode hands over exactly the frames it says, never more than asked.
      if (sink.bytes != got * frameBytes || got > (end > first ? end - first : 0)) std::abort();
    }
  });
  return 0;
}
