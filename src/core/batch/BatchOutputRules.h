#pragma once
// The rules every batch output passes before its job starts, one copy for the
// batch window and for kestrune-cli batch: an output never replaces a file
// the run protects (its listed sources and any file the caller names, such
// as the file open in the main window), and replaces an existing file only
// when Overwrite says so.

#include <sys/types.h>

#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/AudioError.h"

// A set of files known by their resolved paths and, for those that exist, by
// device and inode: a hard link, a symbolic link or a ".." path to one of
// them is that file too.
class CSameFileSet {
 public:
  explicit CSameFileSet(const std::vector<std::string>& paths = {});
  void Add(const std::string& path);
  bool Contains(const std::string& path) const;

 private:
  std::set<std::filesystem::path> resolved_;
  std::set<std::pair<dev_t, ino_t>> identities_;
};

class CBatchOutputRules {
 public:
  // sources: the files of the list; alsoProtected: further files no output
  // may replace.
  explicit CBatchOutputRules(const std::vector<std::string>& sources,
                             const std::vector<std::string>& alsoProtected = {});

  // err::kOutputIsSource when output is a protected file, whatever overwrite
  // says; err::kBatchOutputExists when an earlier Check of these rules
  // claimed it, or it exists and overwrite is off; else err::kNone, and the
  // output is claimed.
  AudioError Check(const std::string& output, bool overwrite);
  // True when an earlier Check claimed output.
  bool Claimed(const std::string& output) const { return claimed_.Contains(output); }

 private:
  CSameFileSet protected_;
  CSameFileSet claimed_;
};
