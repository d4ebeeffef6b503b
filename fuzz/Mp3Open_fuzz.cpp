// Opening an MP3 file: the frame search, the ID3v1 tag area, what precedes
// the first frame (ID3v2 tags), the Xing/Info/VBRI header frames, the APE
// tag at the end and the frame index of a variable-bitrate stream.
#include <cstdlib>

#include "FuzzSupport.h"
#include "core/SplitEstimate.h"
#include "core/mp3/ApeTag.h"
#include "core/mp3/Mp3File.h"
#include "core/mp3/Mp3Frame.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The byte-level parsers straight on the input, with exact bounds.
  if (size >= 4) {
    const mp3::FrameHeader header = mp3::FrameHeader::FromBytes(data);
    (void)header.FrameLength();
    (void)header.SamplesPerFrame();
    (void)mp3::CheckFields(header);
    (void)mp3::IsFollowingHeader(data, size);
    (void)mp3::ParseVbrHeader(header, data, size);
  }
  (void)mp3::Id3v2TagLength(data, size);
  (void)ape::TagLength(data, size, size);

  const std::string path = fz::WriteInput("input.mp3", data, size);
  fz::Guarded([&] {
    CMp3File file(path);
    fz::CheckOutcome(file.GetError());
    if (file.GetError() != err::kNone) return;
    (void)file.GetInformationLines();
    (void)file.GetTagFields();
    for (std::uint32_t splits : {0u, 1u, 2u, 7u, 1000u})
      fz::CheckOutcome(EstimateMp3Split(file.GetSplitFacts(), splits).error);
    // The re-scan every operation starts with must find the same stream.
    if (file.Rewind() != err::kNone) std::abort();
  });
  return 0;
}
