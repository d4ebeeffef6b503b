#include "core/batch/BatchFolderFiles.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "core/batch/BatchNaming.h"
#include "core/batch/BatchTypes.h"

namespace fs = std::filesystem;

std::vector<std::string> BatchFolderFiles(const std::string& folder) {
  std::vector<fs::path> found;
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) return {};
  fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
  for (const fs::recursive_directory_iterator end; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (!it->is_regular_file(typeError)) continue;
    const std::string name = it->path().filename().string();
    if (BatchSourceType(BatchExtension(name)) != sourcetype::kUnknown) found.push_back(it->path());
  }
  // Paths compare name by name, so a subfolder's files sit where the
  // subfolder's name sorts among its neighbours.
  std::sort(found.begin(), found.end());
  std::vector<std::string> paths;
  paths.reserve(found.size());
  for (const fs::path& path : found) paths.push_back(path.string());
  return paths;
}
