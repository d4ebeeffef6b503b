#include "audio/WaveHeader.h"

#include <algorithm>
#include <cstring>

#include "audio/File.h"

namespace {
void Put16(std::uint8_t* at, std::uint32_t v) {
  at[0] = static_cast<std::uint8_t>(v);
  at[1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(std::uint8_t* at, std::uint32_t v) {
  Put16(at, v);
  Put16(at + 2, v >> 16);
}
}  // namespace

std::array<std::uint8_t, kFixedWaveHeaderSize> BuildFixedWaveHeader(std::uint16_t channels,
                                                                    std::uint32_t samplesPerSec,
                                                                    std::uint64_t totalLength) {
  // Sizes are 32-bit fields; a longer file keeps the low 32 bits, as any
  // 32-bit RIFF writer would.
  const auto length = static_cast<std::uint32_t>(std::max<std::uint64_t>(totalLength, kFixedWaveHeaderSize));
  std::array<std::uint8_t, kFixedWaveHeaderSize> h{};
  std::memcpy(&h[0], "RIFF", 4);
  Put32(&h[4], length - 8);
  std::memcpy(&h[8], "WAVE", 4);
  std::memcpy(&h[12], "fmt ", 4);
  Put32(&h[16], 16);
  Put16(&h[20], 1);
  Put16(&h[22], channels);
  Put32(&h[24], samplesPerSec);
  Put32(&h[28], static_cast<std::uint32_t>(channels) * samplesPerSec * 2);
  Put16(&h[32], static_cast<std::uint32_t>(channels) * 2);
  Put16(&h[34], 16);
  std::memcpy(&h[36], "data", 4);
  Put32(&h[40], length - kFixedWaveHeaderSize);
  return h;
}

void WriteFixedWaveHeader(CFile& out, std::uint16_t channels, std::uint32_t samplesPerSec) {
  const std::uint64_t position = out.GetPosition();
  const auto header = BuildFixedWaveHeader(channels, samplesPerSec, out.GetLength());
  out.SeekToBegin();
  out.Write(header.data(), header.size());
  out.Seek(static_cast<std::int64_t>(std::max<std::uint64_t>(position, kFixedWaveHeaderSize)),
           CFile::From::Begin);
}
