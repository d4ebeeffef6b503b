// The folders under src/ are the build targets, and their include graph is
// the architecture: core and settings stand alone, cli and gui build on both,
// nothing builds on cli or gui, and no two folders (sub-folders included)
// include each other. The engine includes no Qt header at all.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path kSourceRoot = fs::path(KESTRUNE_SOURCE_DIR) / "src";

struct Include {
  std::string file;    // as written from src/, e.g. "core/wav/WaveFile.cpp"
  std::string target;  // the included path, e.g. "core/File.h" or "QString"
  bool angled;         // <...>: a system or library header
};

std::vector<Include> ReadIncludes() {
  static const std::regex line(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])");
  std::vector<Include> includes;
  for (const auto& entry : fs::recursive_directory_iterator(kSourceRoot)) {
    const auto ext = entry.path().extension();
    if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp")) continue;
    const std::string file = fs::relative(entry.path(), kSourceRoot).generic_string();
    std::ifstream in(entry.path());
    for (std::string text; std::getline(in, text);) {
      std::smatch m;
      if (!std::regex_search(text, m, line)) continue;
      includes.push_back({file, m[2].str(), m[1] == "<"});
    }
  }
  return includes;
}

std::string TopFolder(const std::string& path) {
  return path.substr(0, path.find('/'));
}
std::string Folder(const std::string& path) {
  return fs::path(path).parent_path().generic_string();
}

// What each target may include besides itself.
const std::map<std::string, std::set<std::string>> kAllowed = {
    {"core", {}},
    {"settings", {}},
    {"cli", {"core", "settings"}},
    {"gui", {"core", "settings"}},
};

}  // namespace

TEST(IncludeGraph, EveryProjectIncludeFollowsTheTargetArrows) {
  const auto includes = ReadIncludes();
  ASSERT_GT(includes.size(), 100u) << "no sources found under " << kSourceRoot;
  for (const auto& inc : includes) {
    if (inc.angled || inc.target.find('/') == std::string::npos) continue;
    const std::string from = TopFolder(inc.file);
    const std::string to = TopFolder(inc.target);
    ASSERT_TRUE(kAllowed.count(from)) << inc.file << " lies in no known target folder";
    EXPECT_TRUE(from == to || kAllowed.at(from).count(to)) << inc.file << " includes " << inc.target;
  }
}

TEST(IncludeGraph, NoTwoFoldersIncludeEachOther) {
  std::map<std::pair<std::string, std::string>, std::string> edges;  // (from, to) -> an example
  for (const auto& inc : ReadIncludes()) {
    if (inc.angled || inc.target.find('/') == std::string::npos) continue;
    const std::string from = Folder(inc.file), to = Folder(inc.target);
    if (from != to) edges.emplace(std::pair{from, to}, inc.file + " -> " + inc.target);
  }
  for (const auto& [edge, example] : edges) {
    const auto back = edges.find({edge.second, edge.first});
    if (edge.first < edge.second && back != edges.end())
      ADD_FAILURE() << edge.first << " and " << edge.second << " include each other: " << example << "; "
                    << back->second;
  }
}

TEST(IncludeGraph, TheEngineIncludesNoQtHeader) {
  static const std::regex qt(R"(^Q[A-Za-z]*(/.*)?$)");
  for (const auto& inc : ReadIncludes()) {
    if (TopFolder(inc.file) == "core" && inc.angled) {
      EXPECT_FALSE(std::regex_match(inc.target, qt)) << inc.file << " includes " << inc.target;
    }
  }
}

// The environment is read at the edges (settings, the programs); the
// engine is handed paths, so tests and front ends decide them.
TEST(IncludeGraph, TheEngineReadsNoEnvironmentVariable) {
  for (const auto& entry : fs::recursive_directory_iterator(kSourceRoot / "core")) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path());
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text.find("getenv("), std::string::npos) << entry.path();
  }
}
