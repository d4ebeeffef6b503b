#pragma once
// Helpers shared by the engine tests: temporary folders, synthetic WAV files,
// a recording progress window and a scripted owner.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/AudioFile.h"
#include "core/File.h"
#include "core/OperationResult.h"
#include "core/Progress.h"

namespace kt {

// A fresh folder under the system temp dir, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& Path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

std::vector<std::uint8_t> ReadAll(const std::string& path);
void WriteAll(const std::string& path, const std::vector<std::uint8_t>& bytes);

void PutLe16(std::vector<std::uint8_t>& out, std::uint16_t v);
void PutLe32(std::vector<std::uint8_t>& out, std::uint32_t v);
void PutTag(std::vector<std::uint8_t>& out, const char* tag);
std::uint16_t GetLe16(const std::vector<std::uint8_t>& in, std::size_t at);
std::uint32_t GetLe32(const std::vector<std::uint8_t>& in, std::size_t at);

// A chunk to place in a synthetic RIFF file.
struct Chunk {
  std::string tag;  // four characters
  std::vector<std::uint8_t> body;
  std::uint32_t sizeOverride = 0xFFFFFFFFu;  // write this size instead of body.size()
};

// Builds RIFF WAV files byte by byte, so tests control every field.
struct WavSpec {
  std::uint16_t formatTag = 1;
  std::uint16_t channels = 2;
  std::uint32_t sampleRate = 44100;
  std::uint16_t bitsPerSample = 16;
  std::uint32_t byteRateOverride = 0;    // 0: computed
  std::uint16_t blockAlignOverride = 0;  // 0: computed
  std::uint32_t fmtSize = 16;            // 16, 18, or 40 for WAVE_FORMAT_EXTENSIBLE
  std::vector<std::uint8_t> fmtExtra;    // bytes after the 16-byte record (cbSize etc.)
  std::vector<Chunk> before;             // chunks between "fmt " and "data"
  std::vector<Chunk> after;              // chunks after "data"
  std::uint32_t dataSizeOverride = 0xFFFFFFFFu;
  std::uint16_t BlockAlign() const;
  std::uint32_t ByteRate() const;
};

// IMA ADPCM, 8000 Hz mono: 256-byte blocks of 505 samples (extra bytes:
// count 2, samples per block), with a fact chunk holding factCount.
WavSpec ImaAdpcmSpec(std::uint32_t factCount);

std::vector<std::uint8_t> BuildWav(const WavSpec& layout, const std::vector<std::uint8_t>& data);
// Interleaved PCM with a distinct, deterministic value in every byte position.
std::vector<std::uint8_t> PatternData(std::size_t bytes, std::uint32_t seed = 1);
// 16-bit interleaved sine, amplitude in [0,1].
std::vector<std::uint8_t> Sine16(std::uint32_t frames, std::uint16_t channels, std::uint32_t rate,
                                 double frequency, double amplitude = 0.5);
// Writes a WAV of the given layout and data; returns its path.
std::string MakeWav(const TempDir& dir, const std::string& name, const WavSpec& layout,
                    const std::vector<std::uint8_t>& data);
// A stereo 22050 Hz WAV of the given length and bits, filled with PatternData.
std::string PatternWav(const TempDir& dir, const std::string& name, std::uint32_t seconds,
                       std::uint16_t bits = 16);

// Records what an operation reports, as the calls that changed it, so tests
// can check the calling pattern; cancels on request.
class ProgressRecord : public CProgressSink {
 public:
  std::vector<std::string> calls;
  std::uint32_t fileSteps = 0;
  std::uint32_t overallSteps = 0;
  // Cancel once the file bar has been stepped this many times (0: never).
  std::uint32_t cancelAfterFileSteps = 0;
  // Runs at every file step, after it is counted.
  std::function<void()> onFileStep;

  void Changed(const CProgressState& state, ProgressChange change) override;
  bool IsCancelled() override { return cancelled_; }

 private:
  bool cancelled_ = false;
};

// A progress reporter whose sink is its own record: operations take it as
// their CProgress, tests read the record.
class RecordingProgress : public ProgressRecord, public CProgress {
 public:
  RecordingProgress() : CProgress(static_cast<ProgressRecord*>(this)) {}
};

// A disk that fills up: handed to a file object (CWaveFile, CMp3File), it
// lets the given number of bytes through, over all the file's outputs, and
// fails every later write as a full disk. Clear makes it roomy again.
class DiskFullAfter : public CWriteFaults {
 public:
  explicit DiskFullAfter(std::uint64_t bytes) : budget_(bytes) {}
  void FailWritesAfter(std::uint64_t bytes) { budget_ = bytes; }
  void Clear() { budget_ = UINT64_MAX; }
  std::size_t Allow(std::size_t count) override;

 private:
  std::atomic<std::uint64_t> budget_;
};

// Plays the window's part around an operation: answers the Shred Equally
// request from fields and records every notice an operation returns.
class ScriptedOwner {
 public:
  struct Shown {
    std::string caption, text;
    MessageIcon icon;
  };
  std::vector<Shown> messages;
  bool acceptShred = true;
  ShredRequest shred;
  int shredRequests = 0;

  // The request as the dialog would give it; false when it is cancelled.
  bool AskShred(ShredRequest& request);
  // Records the result's notice and returns its code.
  AudioError Take(const OperationResult& result);
};

// A file object driven as the main window drives it: the equal split asks
// the owner first, and every notice goes to the owner. Without an owner
// the split is cancelled and notices are dropped.
template <class File>
class Owned : public File {
 public:
  Owned(const std::string& path, ScriptedOwner* owner, CWriteFaults* writeFaults = nullptr)
      : File(path, writeFaults), owner_(owner) {}
  using File::SplitEqually;
  ScriptedOwner* Owner() const { return owner_; }

  AudioError SplitEqually(CProgress* progress) {
    ShredRequest request;
    if (!owner_ || !owner_->AskShred(request)) return this->GetError();
    return Take(File::SplitEqually(request, progress));
  }
  // Hides the file's own (the extra argument keeps it from overriding it),
  // so every call made on this object hands its notice to the owner.
  AudioError SaveSelectionSamples(const std::string& output, std::uint64_t first, std::uint64_t end,
                                  CProgress* progress, int /*ownerSees*/ = 0) {
    return Take(File::SaveSelectionSamples(output, first, end, progress));
  }
  AudioError SaveSelection(const std::string& output, std::uint32_t start, std::uint32_t end,
                           CProgress* progress) {
    return Take(File::SaveSelection(output, start, end, progress));
  }

 private:
  AudioError Take(const OperationResult& result) { return owner_ ? owner_->Take(result) : result.error; }

  ScriptedOwner* owner_;
};

}  // namespace kt
