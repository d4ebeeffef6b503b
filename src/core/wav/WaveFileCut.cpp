// Cutting a WAV file: equal pieces and a saved selection.

#include <cstdio>

#include "core/Progress.h"
#include "core/StringTable.h"
#include "core/TimeText.h"
#include "core/wav/WaveCut.h"
#include "core/wav/WaveFile.h"
#include "core/wav/WaveOutput.h"

OperationResult CWaveFile::SplitEqually(const ShredRequest& request, CProgress* progress) {
  error = err::kNone;
  const std::uint32_t pieces = request.numberOfSplits;
  if (pieces == 0) {
    error = err::kNoSplits;
    return {error};
  }
  // Pieces without a sample frame would pass for a split.
  if (WholeFrameBytes() == 0) {
    error = err::kZeroLength;
    return {error};
  }
  const std::string base = request.baseFilename.empty() ? GetFilePath() : request.baseFilename;
  // No piece may replace the source: refuse before anything is created.
  for (std::uint32_t i = 1; i <= pieces; ++i) {
    if (RefuseOwnSource(WavePieceName(base, suffix, i))) return {error};
  }

  // The overlap: its samples, as bytes (exact for PCM).
  const std::uint64_t overlapBytes =
      WaveBytesOfSamples(timetext::SampleAt(overlapMicros, format_.samplesPerSec), format_.avgBytesPerSec,
                         format_.samplesPerSec);
  CProgress silent;
  CProgress& p = progress ? *progress : silent;
  p.Start();
  p.SetFileCount(pieces);
  for (std::uint32_t i = 1; i <= pieces; ++i) {
    const std::string name = WavePieceName(base, suffix, i);
    CFile out;
    if (!CreateOutput(out, name)) break;
    p.SetShreddingText(GetFileName(), FileNamePart(name));
    p.SetFileNumber(i);
    const WavePiece piece = PlanWavePieceBytes(dataSize_, format_.blockAlign, pieces, i, overlapBytes);
    WritePiece(out, piece.start, piece.length, piece.overlap, p);
    p.StepOverall();
    if (p.IsCancelled()) break;
  }
  return {error};
}

// One piece: the derived header sized for the overlap and the piece's own
// audio, the overlap bytes, then the piece's own audio with progress.
void CWaveFile::WritePiece(CFile& out, std::uint64_t start, std::uint64_t length, std::uint64_t overlap,
                           CProgress& progress) {
  CWaveOutput output(out, DerivedHeaders(format_, extraFormatBytes_, length + overlap), length + overlap,
                     format_.blockAlign);
  output.Write([&] {
    if (overlap) {
      file.Seek(static_cast<std::int64_t>(dataOffset_ + start - overlap), CFile::From::Begin);
      CopyData(out, overlap, nullptr);
    }
    file.Seek(static_cast<std::int64_t>(dataOffset_ + start), CFile::From::Begin);
    progress.SetFileRange(ProgressTotal(length), static_cast<std::uint32_t>(kCopyBlock));
    CopyData(out, length, &progress);
  });
}

std::uint64_t CWaveFile::GetSampleCount() const {
  return SamplesIn(format_, extraFormatBytes_, dataSize_);
}

OperationResult CWaveFile::SaveSelectionSamples(const std::string& outputPath, std::uint64_t firstSample,
                                                std::uint64_t endSample, CProgress* progress) {
  error = err::kNone;
  if (RefuseOwnSource(outputPath)) return {error};
  const WaveSelection selection = PlanWaveSampleSelection(
      dataSize_, format_.blockAlign, format_.avgBytesPerSec, format_.samplesPerSec, firstSample, endSample);
  // A selection without a sample frame would pass for a cut.
  if (selection.length < format_.blockAlign) {
    error = err::kZeroLength;
    return {error};
  }
  CFile out;
  if (!CreateOutput(out, outputPath)) return {error};
  CProgress silent;
  CProgress& p = progress ? *progress : silent;
  p.Start();
  CWaveOutput output(out, DerivedHeaders(format_, extraFormatBytes_, selection.length), selection.length,
                     format_.blockAlign);
  output.Write([&] {
    file.Seek(static_cast<std::int64_t>(dataOffset_ + selection.offset), CFile::From::Begin);
    p.SetFileCount(1);
    p.SetFileRange(ProgressTotal(selection.length), static_cast<std::uint32_t>(kCopyBlock));
    p.SetShreddingText(GetFileName(), FileNamePart(outputPath));
    p.SetFileNumber(1);
    CopyData(out, selection.length, &p);
  });
  p.StepOverall();
  p.Close();
  error = err::kNone;
  OperationResult result;
  if (!p.IsCancelled()) {
    result.notice =
        OperationNotice{wav::kSelectionSavedCaption,
                        FormatText("This selection will last for %.2lf seconds",
                                   static_cast<double>(output.AudioBytes()) / format_.avgBytesPerSec),
                        MessageIcon::Information};
  }
  return result;
}
