#include "core/FlacEncoder.h"

#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>

#include "core/File.h"
#include "core/SampleConvert.h"

struct CFlacEncoder::Impl {
  FLAC__StreamEncoder* encoder = FLAC__stream_encoder_new();
  CFile* out = nullptr;
  FrameSink sink;
  std::vector<FLAC__StreamMetadata*> metadata;
  // A write failure of the output, kept until libFLAC has returned.
  std::exception_ptr failure;

  ~Impl() {
    if (encoder) FLAC__stream_encoder_delete(encoder);
    for (FLAC__StreamMetadata* block : metadata) FLAC__metadata_object_delete(block);
  }

  static FLAC__StreamEncoderWriteStatus Write(const FLAC__StreamEncoder*, const FLAC__byte buffer[],
                                              size_t bytes, uint32_t samples, uint32_t, void* client) {
    auto* self = static_cast<Impl*>(client);
    try {
      if (self->out) {
        self->out->Write(buffer, bytes);
      } else if (samples > 0) {
        self->sink(buffer, bytes, samples);
      }
    } catch (...) {
      self->failure = std::current_exception();
      return FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
    }
    return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
  }
  static FLAC__StreamEncoderSeekStatus Seek(const FLAC__StreamEncoder*, FLAC__uint64 offset, void* client) {
    auto* self = static_cast<Impl*>(client);
    try {
      self->out->Seek(static_cast<std::int64_t>(offset), CFile::From::Begin);
    } catch (...) {
      self->failure = std::current_exception();
      return FLAC__STREAM_ENCODER_SEEK_STATUS_ERROR;
    }
    return FLAC__STREAM_ENCODER_SEEK_STATUS_OK;
  }
  static FLAC__StreamEncoderTellStatus Tell(const FLAC__StreamEncoder*, FLAC__uint64* offset, void* client) {
    *offset = static_cast<Impl*>(client)->out->GetPosition();
    return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
  }

  bool Configure(const Shape& shape, const FlacEncodeSettings& settings) {
    if (!encoder) return false;
    bool ok = FLAC__stream_encoder_set_channels(encoder, shape.channels) &&
              FLAC__stream_encoder_set_bits_per_sample(encoder, shape.bitsPerSample) &&
              FLAC__stream_encoder_set_sample_rate(encoder, shape.sampleRate) &&
              FLAC__stream_encoder_set_compression_level(encoder, settings.compression) &&
              FLAC__stream_encoder_set_total_samples_estimate(encoder, shape.totalSamples);
    if (shape.blockSize) ok = ok && FLAC__stream_encoder_set_blocksize(encoder, shape.blockSize);
    return ok;
  }
};

CFlacEncoder::CFlacEncoder(const Shape& shape, const FlacEncodeSettings& settings, CFile& out,
                           const std::vector<std::string>& comments)
    : impl_(std::make_unique<Impl>()) {
  impl_->out = &out;
  if (!impl_->Configure(shape, settings)) return;
  if (!comments.empty()) {
    FLAC__StreamMetadata* tags = FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT);
    if (!tags) return;
    impl_->metadata.push_back(tags);
    for (const std::string& comment : comments) {
      FLAC__StreamMetadata_VorbisComment_Entry entry{
          static_cast<FLAC__uint32>(comment.size()),
          reinterpret_cast<FLAC__byte*>(const_cast<char*>(comment.data()))};
      if (!FLAC__metadata_object_vorbiscomment_append_comment(tags, entry, true)) return;
    }
  }
  // Room for tags written later without moving the audio.
  FLAC__StreamMetadata* padding = FLAC__metadata_object_new(FLAC__METADATA_TYPE_PADDING);
  if (!padding) return;
  padding->length = 8192;
  impl_->metadata.push_back(padding);
  if (!FLAC__stream_encoder_set_metadata(impl_->encoder, impl_->metadata.data(),
                                         static_cast<unsigned>(impl_->metadata.size())))
    return;
  ready_ = FLAC__stream_encoder_init_stream(impl_->encoder, &Impl::Write, &Impl::Seek, &Impl::Tell, nullptr,
                                            impl_.get()) == FLAC__STREAM_ENCODER_INIT_STATUS_OK;
}

CFlacEncoder::CFlacEncoder(const Shape& shape, const FlacEncodeSettings& settings, FrameSink sink)
    : impl_(std::make_unique<Impl>()) {
  impl_->sink = std::move(sink);
  if (!impl_->Configure(shape, settings)) return;
  ready_ = FLAC__stream_encoder_init_stream(impl_->encoder, &Impl::Write, nullptr, nullptr, nullptr,
                                            impl_.get()) == FLAC__STREAM_ENCODER_INIT_STATUS_OK;
}

CFlacEncoder::~CFlacEncoder() = default;

bool CFlacEncoder::Encode(const std::int32_t* interleaved, std::uint32_t frames) {
  const bool ok = ready_ && FLAC__stream_encoder_process_interleaved(impl_->encoder, interleaved, frames);
  if (impl_->failure) std::rethrow_exception(std::exchange(impl_->failure, nullptr));
  return ok;
}

bool CFlacEncoder::Finish() {
  const bool ok = ready_ && FLAC__stream_encoder_finish(impl_->encoder);
  ready_ = false;
  if (impl_->failure) std::rethrow_exception(std::exchange(impl_->failure, nullptr));
  return ok;
}

std::string CFlacEncoder::Failure() const {
  return impl_->encoder ? FLAC__stream_encoder_get_resolved_state_string(impl_->encoder) : "no memory";
}

void CFlacEncodingSink::Write(const std::uint8_t* pcm, std::size_t count) {
  const std::size_t samples = count / bytes_;
  values_.resize(samples);
  PcmToInt32(pcm, samples, bytes_, bytes_ * 8, values_.data());
  if (!encoder_.Encode(values_.data(), static_cast<std::uint32_t>(samples / channels_))) failed_ = true;
}
