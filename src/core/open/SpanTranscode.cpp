#include "core/open/SpanTranscode.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "core/LameEncoder.h"
#include "core/Progress.h"
#include "core/wav/WaveHeader.h"

namespace {

// Samples decoded at a time: bounded memory for a span of any length.
constexpr std::uint64_t kBlock = 1 << 16;

// Where decoded PCM goes: each kind of output is one of these.
class CSpanWriter : public CPcmSink {
 public:
  virtual void Finish() = 0;
};

class CWaveSpanWriter : public CSpanWriter {
 public:
  CWaveSpanWriter(CFile& out, const CAudioFile& source, std::uint64_t samples) : out_(out) {
    const unsigned bytes = (source.GetBitsPerSample() + 7u) / 8u;
    format_.formatTag = 1;
    format_.channels = source.GetChannels();
    format_.samplesPerSec = source.GetSampleRate();
    format_.blockAlign = static_cast<std::uint16_t>(format_.channels * bytes);
    format_.avgBytesPerSec = format_.samplesPerSec * format_.blockAlign;
    format_.bitsPerSample = static_cast<std::uint16_t>(bytes * 8);
    parts_ = PcmWaveHeaderParts(format_, format_.bitsPerSample);
    form_ = WaveFormFor(parts_, samples * format_.blockAlign);
    WriteHeader(samples * format_.blockAlign);
  }
  void Write(const std::uint8_t* bytes, std::size_t count) override {
    out_.Write(bytes, count);
    written_ += count;
  }
  // The header states what the file holds (fewer samples when cancelled).
  void Finish() override {
    const std::uint64_t end = out_.GetPosition();
    out_.SeekToBegin();
    WriteHeader(written_);
    out_.Seek(static_cast<std::int64_t>(end), CFile::From::Begin);
  }

 private:
  void WriteHeader(std::uint64_t dataBytes) {
    const std::vector<std::uint8_t> header =
        BuildWaveHeader(parts_, dataBytes, dataBytes / format_.blockAlign, form_);
    out_.Write(header.data(), header.size());
  }
  CFile& out_;
  WaveFormat format_;
  WaveHeaderParts parts_;
  WaveForm form_ = WaveForm::Riff;
  std::uint64_t written_ = 0;
};

class CFlacSpanWriter : public CSpanWriter {
 public:
  CFlacSpanWriter(CFile& out, const CAudioFile& source, std::uint64_t samples,
                  const FlacEncodeSettings& settings)
      : bytes_((source.GetBitsPerSample() + 7u) / 8u),
        channels_(source.GetChannels()),
        encoder_({source.GetSampleRate(), channels_, bytes_ * 8, samples, 0}, settings, out) {
    if (!encoder_.IsReady()) throw CAudioFailure(err::kFlacEncoder, out.GetFilePath());
  }
  void Write(const std::uint8_t* pcm, std::size_t count) override {
    values_.resize(count / bytes_);
    PcmToInt32(pcm, values_.size(), bytes_, bytes_ * 8, values_.data());
    if (!encoder_.Encode(values_.data(), static_cast<std::uint32_t>(values_.size() / channels_)))
      throw CAudioFailure(err::kFlacEncoder);
  }
  void Finish() override {
    if (!encoder_.Finish()) throw CAudioFailure(err::kFlacEncoder);
  }

 private:
  unsigned bytes_, channels_;
  CFlacEncoder encoder_;
  std::vector<std::int32_t> values_;
};

class CMp3SpanWriter : public CSpanWriter {
 public:
  CMp3SpanWriter(CFile& out, const CAudioFile& source, const Mp3EncodeSettings& settings)
      : out_(out), bytes_((source.GetBitsPerSample() + 7u) / 8u), channels_(source.GetChannels()) {
    AudioError error = err::kNone;
    if (channels_ > 2) throw CAudioFailure(err::kTooManyChannels);
    encoder_ = CLameEncoder::Open(settings, source.GetSampleRate(), source.GetChannels(), error);
    if (!encoder_) throw CAudioFailure(error);
  }
  // 16-bit samples as they are (the bytes a WAV source's MP3 has), others
  // at full scale in 32 bits.
  void Write(const std::uint8_t* pcm, std::size_t count) override {
    const std::size_t values = count / bytes_;
    bool ok = true;
    if (bytes_ == 2) {
      narrow_.resize(values);
      for (std::size_t i = 0; i < values; ++i)
        narrow_[i] = static_cast<std::int16_t>(pcm[2 * i] | pcm[2 * i + 1] << 8);
      ok = encoder_->Encode(narrow_.data(), values / channels_, out_);
    } else {
      wide_.resize(values);
      PcmToInt32(pcm, values, bytes_, bytes_ * 8, wide_.data());
      for (std::int32_t& v : wide_)
        v = static_cast<std::int32_t>(static_cast<std::uint32_t>(v) << (32 - 8 * bytes_));
      ok = encoder_->Encode(wide_.data(), values / channels_, out_);
    }
    if (!ok) throw CAudioFailure(err::kEncoderInit);
  }
  void Finish() override {
    if (!encoder_->Finish(out_)) throw CAudioFailure(err::kEncoderInit);
  }

 private:
  CFile& out_;
  unsigned bytes_, channels_;
  std::unique_ptr<CLameEncoder> encoder_;
  std::vector<std::int16_t> narrow_;
  std::vector<std::int32_t> wide_;
};

}  // namespace

std::uint64_t SaveSpanAs(CAudioFile& source, Conversion made, const std::string& path, std::uint64_t first,
                         std::uint64_t end, CProgress& progress, const Mp3EncodeSettings& mp3,
                         const FlacEncodeSettings& flac, CFile::BeforeCommit finish) {
  end = std::max(first, std::min(end, source.GetSampleCount()));
  CFile out;
  out.OpenOrThrow(path, CFile::Mode::CreateWhole);
  out.SetBeforeCommit(std::move(finish));
  std::uint64_t written = 0;
  try {
    std::unique_ptr<CSpanWriter> writer;
    if (made == Conversion::ToMp3)
      writer = std::make_unique<CMp3SpanWriter>(out, source, mp3);
    else if (made == Conversion::ToFlac)
      writer = std::make_unique<CFlacSpanWriter>(out, source, end - first, flac);
    else
      writer = std::make_unique<CWaveSpanWriter>(out, source, end - first);
    progress.SetFileRange(ProgressTotal((end - first + kBlock - 1) / kBlock), 1);
    for (std::uint64_t at = first; at < end; at += kBlock) {
      written += source.DecodeSpan(at, std::min(end, at + kBlock), *writer);
      progress.StepFile();
      if (progress.IsCancelled()) break;
    }
    writer->Finish();
    out.Close();
  } catch (...) {
    out.RemoveAndClose();
    throw;
  }
  return written;
}
