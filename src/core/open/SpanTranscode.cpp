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
  CWaveSpanWriter(CFile& out, const CAudioFile& source, std::uint64_t samples)
      : out_(out),
        format_(PcmWaveFormat(source.GetChannels(), source.GetSampleRate(),
                              (source.GetBitsPerSample() + 7u) / 8u)),
        parts_(PcmWaveHeaderParts(format_, format_.bitsPerSample)),
        form_(WaveFormFor(parts_, samples * format_.blockAlign)) {
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
  WaveForm form_;
  std::uint64_t written_ = 0;
};

class CFlacSpanWriter : public CSpanWriter {
 public:
  CFlacSpanWriter(CFile& out, const CAudioFile& source, std::uint64_t samples,
                  const FlacEncodeSettings& settings)
      : encoder_({source.GetSampleRate(), source.GetChannels(), Bytes(source) * 8, samples, 0}, settings,
                 out),
        sink_(encoder_, source.GetChannels(), Bytes(source)) {
    if (!encoder_.IsReady()) throw CAudioFailure(err::kFlacEncoder, out.GetFilePath());
  }
  void Write(const std::uint8_t* pcm, std::size_t count) override {
    sink_.Write(pcm, count);
    if (sink_.Failed()) throw CAudioFailure(err::kFlacEncoder);
  }
  void Finish() override {
    if (!encoder_.Finish()) throw CAudioFailure(err::kFlacEncoder);
  }

 private:
  static unsigned Bytes(const CAudioFile& source) { return (source.GetBitsPerSample() + 7u) / 8u; }
  CFlacEncoder encoder_;
  CFlacEncodingSink sink_;
};

class CMp3SpanWriter : public CSpanWriter {
 public:
  CMp3SpanWriter(CFile& out, const CAudioFile& source, const Mp3EncodeSettings& settings) : out_(out) {
    if (source.GetChannels() > 2) throw CAudioFailure(err::kTooManyChannels);
    AudioError error = err::kNone;
    encoder_ = CLameEncoder::Open(settings, source.GetSampleRate(), source.GetChannels(), error);
    if (!encoder_) throw CAudioFailure(error);
    sink_ = std::make_unique<CLameEncodingSink>(*encoder_, out, source.GetChannels(),
                                                (source.GetBitsPerSample() + 7u) / 8u);
  }
  void Write(const std::uint8_t* pcm, std::size_t count) override {
    sink_->Write(pcm, count);
    if (sink_->Failed()) throw CAudioFailure(err::kEncoderInit);
  }
  void Finish() override {
    if (!encoder_->Finish(out_)) throw CAudioFailure(err::kEncoderInit);
  }

 private:
  CFile& out_;
  std::unique_ptr<CLameEncoder> encoder_;
  std::unique_ptr<CLameEncodingSink> sink_;
};

}  // namespace

std::uint64_t SaveSpanAs(CAudioFile& source, Conversion made, const std::string& path, std::uint64_t first,
                         std::uint64_t end, CProgress& progress, const Mp3EncodeSettings& mp3,
                         const FlacEncodeSettings& flac, CFile::BeforeCommit finish) {
  end = std::max(first, std::min(end, source.GetSampleCount()));
  // A hidden output that is not closed is removed as it goes: whatever
  // throws below leaves no file.
  CFile out;
  out.OpenOrThrow(path, CFile::Mode::CreateWhole);
  out.SetBeforeCommit(std::move(finish));
  std::unique_ptr<CSpanWriter> writer;
  if (made == Conversion::ToMp3)
    writer = std::make_unique<CMp3SpanWriter>(out, source, mp3);
  else if (made == Conversion::ToFlac)
    writer = std::make_unique<CFlacSpanWriter>(out, source, end - first, flac);
  else
    writer = std::make_unique<CWaveSpanWriter>(out, source, end - first);
  progress.SetFileRange(ProgressTotal((end - first + kBlock - 1) / kBlock), 1);
  std::uint64_t written = 0;
  for (std::uint64_t at = first; at < end; at += kBlock) {
    written += source.DecodeSpan(at, std::min(end, at + kBlock), *writer);
    progress.StepFile();
    if (progress.IsCancelled()) break;
  }
  writer->Finish();
  out.Close();
  return written;
}
