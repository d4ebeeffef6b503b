#include "core/batch/BatchOutputRules.h"

#include <sys/stat.h>

#include <system_error>

#include "core/batch/BatchNaming.h"

CSameFileSet::CSameFileSet(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) Add(path);
}

void CSameFileSet::Add(const std::string& path) {
  if (path.empty()) return;
  resolved_.insert(BatchResolvedPath(path));
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) identities_.insert({info.st_dev, info.st_ino});
}

bool CSameFileSet::Contains(const std::string& path) const {
  if (resolved_.count(BatchResolvedPath(path)) != 0) return true;
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && identities_.count({info.st_dev, info.st_ino}) != 0;
}

CBatchOutputRules::CBatchOutputRules(const std::vector<std::string>& sources,
                                     const std::vector<std::string>& alsoProtected)
    : protected_(sources) {
  for (const std::string& path : alsoProtected) protected_.Add(path);
}

AudioError CBatchOutputRules::Check(const std::string& output, bool overwrite) {
  if (protected_.Contains(output)) return err::kOutputIsSource;
  std::error_code ec;
  // Two jobs of one run never write the same file, Overwrite or not.
  if (claimed_.Contains(output) || (!overwrite && std::filesystem::exists(output, ec)))
    return err::kBatchOutputExists;
  claimed_.Add(output);
  return err::kNone;
}
