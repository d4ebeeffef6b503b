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
  WavePiece piece;
  if (pieces == 0 || number == 0 || number > pieces) return piece;
  const std::uint64_t each = AlignDown(dataSize / pieces, blockAlign);
  piece.start = each * (number - 1);
  piece.length = number < pieces ? each : AlignDown(dataSize - piece.start, blockAlign);
  if (number > 1 && overlapSeconds > 0) {
    const std::uint64_t wanted = AlignDown(std::uint64_t{overlapSeconds} * avgBytesPerSec, blockAlign);
    piece.overlap = std::min(wanted, piece.start);
  }
  return piece;
}

WaveSelection PlanWaveSelection(std::uint64_t dataSize, std::uint16_t blockAlign,
                                std::uint32_t avgBytesPerSec, std::uint32_t startSecond,
                                std::uint32_t endSecond) {
  WaveSelection selection;
  const std::uint64_t offset = AlignUp(std::uint64_t{startSecond} * avgBytesPerSec, blockAlign);
  if (offset >= dataSize || endSecond <= startSecond) {
    selection.offset = std::min(offset, dataSize);
    return selection;
  }
  const std::uint64_t length = AlignDown(std::uint64_t{endSecond - startSecond} * avgBytesPerSec, blockAlign);
  selection.offset = offset;
  // A truncated data chunk may end inside a frame: the selection does not.
  selection.length = std::min(length, AlignDown(dataSize - offset, blockAlign));
  return selection;
}

std::string WavePieceName(const std::string& base, const std::string& suffix, std::uint32_t number) {
  std::string name = ToUpperAscii(FileNamePart(base));
  for (auto at = name.find(".WAV"); at != std::string::npos; at = name.find(".WAV")) name.erase(at, 4);
  return FolderPart(base) + name + suffix + "-" + std::to_string(number) + ".wav";
}
