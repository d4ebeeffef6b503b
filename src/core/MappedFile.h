#pragma once
// A stretch of a file mapped read-only into memory, for walks that look at a
// few bytes of every page (the MP3 frame headers): the pages are mapped
// rather than copied, so such a walk costs a fraction of reading the file.
//
// A mapped file that shrinks turns a read of its lost part into SIGBUS. Reads
// of the map therefore run inside Guarded, which turns that signal on its
// thread into a false result; the signal anywhere else keeps the action it
// had. The handler is installed once, on first use, for the whole process.

#include <cstddef>
#include <cstdint>

class CFile;

class CMappedFile {
 public:
  // Maps length bytes of file from offset; IsMapped() is false when the
  // system refuses (the caller then reads the file instead).
  CMappedFile(const CFile& file, std::uint64_t offset, std::uint64_t length);
  ~CMappedFile();
  CMappedFile(const CMappedFile&) = delete;
  CMappedFile& operator=(const CMappedFile&) = delete;

  bool IsMapped() const { return bytes_ != nullptr; }
  std::uint64_t Offset() const { return offset_; }
  std::uint64_t Length() const { return length_; }
  // The mapped byte at the file offset at (Offset() <= at < Offset() + Length()).
  const std::uint8_t* At(std::uint64_t at) const { return bytes_ + (at - offset_); }

  // Unmaps the whole pages before the file offset upTo, once a walk is past
  // them, so that they stop counting in the process's memory; the file's
  // pages stay in the page cache. Reading them afterwards is not allowed.
  void Release(std::uint64_t upTo);

  // Runs read(context), which reads the map; true when it ran to its end,
  // false when it read a part of the map the file no longer holds. read is
  // left by a jump at that read, so it must not make objects that need
  // destroying; it writes what it finds into plain data of context.
  bool Guarded(void (*read)(void* context), void* context) const;

 private:
  const std::uint8_t* bytes_ = nullptr;  // the byte at offset_
  std::uint8_t* mapping_ = nullptr;      // page-aligned start of the mapping
  std::size_t mappingLength_ = 0;
  std::size_t released_ = 0;  // bytes from the mapping's start already given back
  std::uint64_t offset_ = 0, length_ = 0;
};
