#pragma once
// The WAV and MP3 files a folder gives the batch list: every regular file
// below it, in its subfolders too, whose type the batch list knows (see
// BatchSourceType), in name order.

#include <cstddef>
#include <string>
#include <vector>

// The walk looks at no more than this many entries, so a drop of "/" or of a
// network share ends in bounded time.
inline constexpr std::size_t kBatchFolderEntryLimit = 200000;

struct BatchFolderScan {
  std::vector<std::string> files;
  // False when the walk stopped at the entry limit: files are then those
  // found among the entries looked at.
  bool complete = true;
};

// Subfolders are entered where they sort, so a folder's files follow its
// name. Symbolic links to folders are not followed (no loops); unreadable
// folders are passed over. A path that is not a folder gives no files.
BatchFolderScan BatchFolderFiles(const std::string& folder, std::size_t entryLimit = kBatchFolderEntryLimit);
