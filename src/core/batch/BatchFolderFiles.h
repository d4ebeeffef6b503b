#pragma once
// The WAV and MP3 files a folder gives the batch list: every regular file
// below it, in its subfolders too, whose type the batch list knows (see
// BatchSourceType), in name order.

#include <string>
#include <vector>

// Subfolders are entered where they sort, so a folder's files follow its
// name. Symbolic links to folders are not followed (no loops); unreadable
// folders are passed over. A path that is not a folder gives no files.
std::vector<std::string> BatchFolderFiles(const std::string& folder);
