#include "core/wav/WaveOutput.h"

#include "core/wav/WaveCut.h"
#include "core/StringTable.h"

CWaveOutput::CWaveOutput(CFile& out, HeaderBuilder header, std::uint64_t plannedBytes,
                         std::uint16_t blockAlign)
    : out_(out), header_(std::move(header)), planned_(plannedBytes), blockAlign_(blockAlign) {}

void CWaveOutput::WriteHeader() {
  const std::vector<std::uint8_t> header = header_(planned_);
  headerSize_ = header.size();
  out_.Write(header.data(), header.size());
}

void CWaveOutput::Complete(bool salvaging) {
  out_.Flush();
  const std::uint64_t length = out_.GetLength();
  const std::uint64_t written = length > headerSize_ ? length - headerSize_ : 0;
  std::uint64_t audio = AlignDown(written, blockAlign_);
  if (audio != written) out_.SetLength(headerSize_ + audio);
  if (audio & 1u) {
    // RIFF chunks have even lengths: an odd data chunk is followed by a pad byte.
    static constexpr std::uint8_t kPad = 0;
    try {
      out_.Seek(0, CFile::From::End);
      out_.Write(&kPad, 1);
      out_.Flush();
    } catch (const CFileException&) {
      if (!salvaging) throw;
      // No room for the pad byte: one frame less (block align is odd) needs none.
      audio -= blockAlign_;
      out_.SetLength(headerSize_ + audio);
    }
  }
  if (audio != planned_ || length < headerSize_) {
    const std::vector<std::uint8_t> header = header_(audio);
    out_.SeekToBegin();
    out_.Write(header.data(), header.size());
  }
  out_.Close();
  audio_ = audio;
}

CWaveOutput::Outcome CWaveOutput::Salvage() noexcept {
  try {
    Complete(true);
    return Outcome::Corrected;
  } catch (...) {
    // A header that claims audio the file does not hold (or no header at
    // all) is no WAV file: it goes.
    return out_.RemoveAndClose() ? Outcome::Removed : Outcome::Left;
  }
}

std::string CWaveOutput::Note(Outcome outcome) {
  return outcome == Outcome::Removed ? msg::kOutputRemoved : msg::kHeaderNotCorrected;
}
