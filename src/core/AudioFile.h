#pragma once
// The audio file object: one open WAV or MP3 file and the operations on it.
// Operations leave their outcome in the error code (see AudioError.h); a file
// failure that an operation does not handle itself ends it with a
// CFileException, which the caller reports.

#include <cstdint>
#include <string>
#include <vector>

#include "core/AudioError.h"
#include "core/File.h"
#include "core/Mp3EncodeSettings.h"

class CAudioOwner;
class CProgress;

class CAudioFile {
 public:
  static constexpr std::size_t kCopyBlock = 10000;

  // writeFaults: what every output of the file's operations is written
  // through (tests); none in production.
  CAudioFile(const std::string& path, CAudioOwner* owner, CWriteFaults* writeFaults = nullptr);
  virtual ~CAudioFile();
  CAudioFile(const CAudioFile&) = delete;
  CAudioFile& operator=(const CAudioFile&) = delete;

  virtual int GetFileType() const = 0;  // 0 WAV, 1 MP3
  virtual AudioError SplitEqually(CProgress* progress) = 0;
  // Selections in samples. A sample position counts sample frames (one
  // sample of every channel) of the whole file's decode at GetSampleRate(),
  // from 0; a time becomes one with timetext::SampleAt (core/TimeText.h).
  //
  // Saves the samples [firstSample, endSample) to outputPath; ends past the
  // end of the audio are clipped, an end at or before the start selects
  // nothing. WAV files cut to the sample frame (whole blocks of compressed
  // formats); gapless MP3 pieces play exactly those samples in decoders that
  // honour the LAME header frame, plain MP3 copies hold the whole frames
  // that cover them. On success the owner is told the written length.
  virtual AudioError SaveSelectionSamples(const std::string& outputPath, std::uint64_t firstSample,
                                          std::uint64_t endSample, CProgress* progress) = 0;
  // The same for the whole seconds of the window's slider marks:
  // [startSecond × rate, endSecond × rate).
  AudioError SaveSelection(const std::string& outputPath, std::uint32_t startSecond, std::uint32_t endSecond,
                           CProgress* progress);
  // Samples per second of one channel (0 when the file could not be read).
  virtual std::uint32_t GetSampleRate() const = 0;
  // Sample frames of the whole decode: the end of every selection. Exact
  // for WAV and for MP3 files with a trusted LAME header frame or frames
  // that differ in bitrate; for other MP3 files the duration × rate until
  // their frames are counted (CMp3File::GetSampleMap, or the first cut).
  virtual std::uint64_t GetSampleCount() const = 0;
  // Hands the file to the owner's information window.
  virtual void ShowInformation();
  virtual std::string GetDefaultExtension() const = 0;
  virtual std::string GetFileFilter() const = 0;
  virtual int ConvertToMp3(const std::string& outputPath, CProgress* progress,
                           Mp3EncodeSettings settings) = 0;
  virtual int ConvertToWav(const std::string& outputPath, CProgress* progress) = 0;
  // The lines of the file's information window, in order.
  virtual std::vector<std::string> GetInformationLines() const = 0;

  std::string GetFileName() const;
  const std::string& GetFilePath() const { return path_; }
  AudioError GetError() const { return error; }
  // For a file that could not be opened or created (errors 102 and 103):
  // the path as the operation named it and the system's errno; 0 otherwise.
  const std::string& GetErrorPath() const { return errorPath_; }
  int GetErrorCause() const { return errorCause_; }
  // The output the last operation created (for a split, its last piece);
  // empty when it created none since ForgetLastOutput.
  const std::string& GetLastOutputPath() const { return lastOutputPath_; }
  void ForgetLastOutput() { lastOutputPath_.clear(); }
  double GetDuration() const { return duration; }
  // The overlap of equal splits: whole seconds for the estimate and its
  // texts, exact microseconds for the cut (a typed "1.5" overlaps 1.5 s
  // and is shown as 2 seconds).
  std::uint32_t GetOverlapTime() const { return overlapTime; }
  void SetOverlapTime(std::uint32_t seconds);
  std::uint64_t GetOverlapMicros() const { return overlapMicros; }
  void SetOverlapMicros(std::uint64_t micros);
  const std::string& GetSuffix() const { return suffix; }
  void SetSuffix(const std::string& text) { suffix = text; }
  CAudioOwner* GetOwner() const { return owner; }
  // Shows the message of a non-zero error through owner (none: nothing is
  // shown) and returns the error unchanged.
  AudioError ReportError(CAudioOwner* reportTo) const;

 protected:
  // Searches the first 1000 bytes of the file for a four-byte tag; on success
  // the file stands on the tag's first byte, otherwise where it was.
  bool FindChunk(const char* tag);
  // Copies count bytes from the current position of file to output in
  // 10000-byte blocks, stepping the file bar once per full block; stops at
  // the end of the file or on cancel. Returns the bytes copied.
  std::uint64_t CopyData(CFile& output, std::uint64_t count, CProgress* progress);
  // True (and error 119) when outputPath names the open source file.
  bool RefuseOwnSource(const std::string& outputPath);
  // Creates an output file; false (and error 103) when it cannot be created.
  bool CreateOutput(CFile& output, const std::string& outputPath);

  CFile file;
  CAudioOwner* owner = nullptr;
  double duration = 0.0;
  AudioError error = err::kNone;
  std::uint32_t overlapTime = 0;
  std::uint64_t overlapMicros = 0;
  std::string suffix;

 private:
  std::string path_;
  std::string errorPath_;
  int errorCause_ = 0;
  std::string lastOutputPath_;
  CWriteFaults* writeFaults_;
};
