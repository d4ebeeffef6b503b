#include "core/batch/BatchFolderFiles.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "core/batch/BatchNaming.h"
#include "core/batch/BatchTypes.h"

namespace fs = std::filesystem;

BatchFolderScan BatchFolderFiles(const std::string& folder, std::size_t entryLimit) {
  BatchFolderScan scan;
  std::vector<fs::path> found;
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) return scan;
  fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
  std::size_t seen = 0;
  for (const fs::recursive_directory_iterator end; !ec && it != end; it.increment(ec)) {
    if (++seen > entryLimit) {
      scan.complete = false;
      break;
    }
    std::error_code typeError;
    if (!it->is_regular_file(typeError)) continue;
    const std::string name = it->path().filename().string();
    if (BatchSourceFormat(BatchExtension(name)) != nullptr) found.push_back(it->path());
  }
  // Paths compare name by name, so a subfolder's files sit where the
  // subfolder's name sorts among its neighbours.
  std::sort(found.begin(), found.end());
  scan.files.reserve(found.size());
  for (const fs::path& path : found) scan.files.push_back(path.string());
  return scan;
}
