#include "core/wav/WaveCut.h"

#include <algorithm>

#include "core/File.h"
#include "core/Progress.h"

std::uint64_t AlignDown(std::uint64_t value, std::uint16_t blockAlign) {
  return blockAlign ? value - value % blockAlign : value;
}

std::uint64_t AlignUp(std::uint64_t value, std::uint16_t blockAlign) {
  return blockAlign && value % blockAlign ? value + (blockAlign - value % blockAlign) : value;
}

WavePiece PlanWavePiece(std::uint64_t dataSize, std::uint16_t blockAlign, std::uint32_t avgBytesPerSec,
                        std::uint32_t pieces, std::uint32_t number, std::uint32_t overlapSeconds) {
  return PlanWavePieceBytes(dataSize, blockAlign, pieces, number,
                            std::uint64_t{overlapSeconds} * avgBytesPerSec);
}

WavePiece PlanWavePieceBytes(std::uint64_t dataSize, std::uint16_t blockAlign, std::uint32_t pieces,
                             std::uint32_t number, std::uint64_t overlapBytes) {
  WavePiece piece;
  if (pieces == 0 || number == 0 || number > pieces) return piece;
  const std::uint64_t each = AlignDown(dataSize / pieces, blockAlign);
  piece.start = each * (number - 1);
  piece.length = number < pieces ? each : AlignDown(dataSize - piece.start, blockAlign);
  if (number > 1 && overlapBytes > 0)
    piece.overlap = std::min(AlignDown(overlapBytes, blockAlign), piece.start);
  return piece;
}

std::uint64_t WaveBytesOfSamples(std::uint64_t samples, std::uint32_t avgBytesPerSec,
                                 std::uint32_t sampleRate, bool roundUp) {
  if (sampleRate == 0) return 0;
  const unsigned __int128 scaled = static_cast<unsigned __int128>(samples) * avgBytesPerSec;
  const unsigned __int128 bytes = (scaled + (roundUp ? sampleRate - 1 : 0)) / sampleRate;
  return bytes > UINT64_MAX ? UINT64_MAX : static_cast<std::uint64_t>(bytes);
}

WaveSelection PlanWaveSampleSelection(std::uint64_t dataSize, std::uint16_t blockAlign,
                                      std::uint32_t avgBytesPerSec, std::uint32_t sampleRate,
                                      std::uint64_t firstSample, std::uint64_t endSample) {
  WaveSelection selection;
  const std::uint64_t offset = std::min(
      dataSize, AlignUp(WaveBytesOfSamples(firstSample, avgBytesPerSec, sampleRate, true), blockAlign));
  if (offset >= dataSize || endSample <= firstSample) {
    selection.offset = offset;
    return selection;
  }
  const std::uint64_t length =
      AlignDown(WaveBytesOfSamples(endSample - firstSample, avgBytesPerSec, sampleRate), blockAlign);
  selection.offset = offset;
  // A truncated data chunk may end inside a frame: the selection does not.
  selection.length = std::min(length, AlignDown(dataSize - offset, blockAlign));
  return selection;
}

WaveSelection PlanWaveSelection(std::uint64_t dataSize, std::uint16_t blockAlign,
                                std::uint32_t avgBytesPerSec, std::uint32_t startSecond,
                                std::uint32_t endSecond) {
  return PlanWaveSampleSelection(dataSize, blockAlign, avgBytesPerSec, 1, startSecond, endSecond);
}

std::string WavePieceName(const std::string& base, const std::string& suffix, std::uint32_t number) {
  std::string name = ToUpperAscii(FileNamePart(base));
  for (auto at = name.find(".WAV"); at != std::string::npos; at = name.find(".WAV")) name.erase(at, 4);
  return FolderPart(base) + name + suffix + "-" + std::to_string(number) + ".wav";
}
