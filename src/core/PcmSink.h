#pragma once
// Where decoded samples go: interleaved little-endian PCM, handed over in
// blocks as a decode produces them (a WAV writer, an encoder, a test's
// buffer).

#include <cstddef>
#include <cstdint>

#include "core/File.h"

class CPcmSink {
 public:
  virtual ~CPcmSink() = default;
  virtual void Write(const std::uint8_t* bytes, std::size_t count) = 0;
};

// The samples written on into an open file (a WAV conversion's data chunk).
class CFilePcmSink : public CPcmSink {
 public:
  explicit CFilePcmSink(CFile& file) : file_(file) {}
  void Write(const std::uint8_t* bytes, std::size_t count) override { file_.Write(bytes, count); }

 private:
  CFile& file_;
};
