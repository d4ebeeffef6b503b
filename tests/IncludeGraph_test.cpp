// The folders under src/ are the build targets, and their include graph is
// the architecture: core and settings stand alone, cli and gui build on both,
// nothing builds on cli or gui, and the folders (sub-folders included) form
// no loop of any length. The engine includes no Qt header at all. The
// formats stand behind one interface (core/AudioFormat.h, core/AudioFile.h):
// only the registry (core/open) reaches into a format's folder or names its
// file class, so a new format changes nothing else.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
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

// Every source under src/ by its path from there, with its text.
std::map<std::string, std::string> ReadSources() {
  std::map<std::string, std::string> sources;
  for (const auto& entry : fs::recursive_directory_iterator(kSourceRoot)) {
    const auto ext = entry.path().extension();
    if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp")) continue;
    std::ifstream in(entry.path());
    sources[fs::relative(entry.path(), kSourceRoot).generic_string()] =
        std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  return sources;
}

std::string TopFolder(const std::string& path) {
  return path.substr(0, path.find('/'));
}
std::string Folder(const std::string& path) {
  return fs::path(path).parent_path().generic_string();
}

// The format folders' file classes: the classes deriving from CAudioFile,
// each with its folder.
std::map<std::string, std::string> FormatClasses() {
  static const std::regex derived(R"(class\s+(\w+)\s*:\s*public\s+CAudioFile\b)");
  std::map<std::string, std::string> classes;
  for (const auto& [path, text] : ReadSources())
    for (std::sregex_iterator m(text.begin(), text.end(), derived), end; m != end; ++m)
      classes[(*m)[1].str()] = Folder(path);
  return classes;
}

// Who may include a header of a format folder besides that folder: the
// registry, and the engine for the WAV header writer decoders to WAV use.
bool MayReachIntoFormat(const std::string& from, const std::string& header) {
  if (Folder(from) == "core/open") return true;
  return header == "core/wav/WaveHeader.h" && TopFolder(from) == "core";
}

// What each target may include besides itself.
const std::map<std::string, std::set<std::string>> kAllowed = {
    {"core", {}},
    {"settings", {}},
    {"cli", {"core", "settings"}},
    {"gui", {"core", "settings"}},
};

// Which folders each folder includes from.
using FolderGraph = std::map<std::string, std::set<std::string>>;

// The graph's loops: every set of folders that reach each other through
// their includes (a strongly connected component of more than one folder),
// each sorted, in the order of their first folder. Tarjan's algorithm, so a
// loop of any length is found in one walk.
std::vector<std::vector<std::string>> FolderLoops(const FolderGraph& graph) {
  std::map<std::string, int> index, low;
  std::vector<std::string> stack;
  std::set<std::string> onStack;
  std::vector<std::vector<std::string>> loops;
  int next = 0;
  std::function<void(const std::string&)> visit = [&](const std::string& folder) {
    index[folder] = low[folder] = next++;
    stack.push_back(folder);
    onStack.insert(folder);
    if (const auto out = graph.find(folder); out != graph.end()) {
      for (const std::string& to : out->second) {
        if (!index.count(to)) {
          visit(to);
          low[folder] = std::min(low[folder], low[to]);
        } else if (onStack.count(to)) {
          low[folder] = std::min(low[folder], index[to]);
        }
      }
    }
    if (low[folder] != index[folder]) return;
    std::vector<std::string> component;
    std::string member;
    do {
      member = stack.back();
      stack.pop_back();
      onStack.erase(member);
      component.push_back(member);
    } while (member != folder);
    if (component.size() > 1) {
      std::sort(component.begin(), component.end());
      loops.push_back(component);
    }
  };
  for (const auto& [folder, targets] : graph)
    if (!index.count(folder)) visit(folder);
  std::sort(loops.begin(), loops.end());
  return loops;
}

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

TEST(IncludeGraph, TheLoopFinderFindsLoopsOfAnyLength) {
  struct Case {
    const char* what;
    FolderGraph graph;
    std::vector<std::vector<std::string>> loops;
  };
  const Case cases[] = {
      {"a chain", {{"a", {"b"}}, {"b", {"c"}}}, {}},
      {"a diamond", {{"a", {"b", "c"}}, {"b", {"d"}}, {"c", {"d"}}}, {}},
      {"two folders", {{"a", {"b"}}, {"b", {"a"}}}, {{"a", "b"}}},
      {"three folders", {{"a", {"b"}}, {"b", {"c"}}, {"c", {"a"}}, {"d", {"a"}}}, {{"a", "b", "c"}}},
      {"two separate loops",
       {{"a", {"b"}}, {"b", {"a"}}, {"c", {"d"}}, {"d", {"e"}}, {"e", {"c"}}},
       {{"a", "b"}, {"c", "d", "e"}}},
      {"loops joined into one",
       {{"a", {"b"}}, {"b", {"a", "c"}}, {"c", {"d"}}, {"d", {"b"}}},
       {{"a", "b", "c", "d"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(FolderLoops(c.graph), c.loops);
  }
}

TEST(IncludeGraph, TheFoldersFormNoLoop) {
  FolderGraph graph;
  std::map<std::pair<std::string, std::string>, std::string> examples;  // (from, to) -> an include
  for (const auto& inc : ReadIncludes()) {
    if (inc.angled || inc.target.find('/') == std::string::npos) continue;
    const std::string from = Folder(inc.file), to = Folder(inc.target);
    if (from == to) continue;
    graph[from].insert(to);
    examples.emplace(std::pair{from, to}, inc.file + " -> " + inc.target);
  }
  for (const auto& loop : FolderLoops(graph)) {
    std::string text;
    for (const std::string& from : loop)
      for (const std::string& to : graph[from])
        if (std::find(loop.begin(), loop.end(), to) != loop.end()) text += "\n  " + examples.at({from, to});
    ADD_FAILURE() << "these folders include each other in a loop:" << text;
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

TEST(IncludeGraph, OnlyTheRegistryReachesIntoAFormatFolder) {
  std::set<std::string> formatFolders;
  for (const auto& [name, folder] : FormatClasses()) formatFolders.insert(folder);
  ASSERT_GE(formatFolders.size(), 2u) << "no format classes found under " << kSourceRoot;
  for (const auto& inc : ReadIncludes()) {
    const std::string target = Folder(inc.target);
    if (inc.angled || !formatFolders.count(target) || Folder(inc.file) == target) continue;
    EXPECT_TRUE(MayReachIntoFormat(inc.file, inc.target)) << inc.file << " includes " << inc.target;
  }
}

TEST(IncludeGraph, NoCodeOutsideItsFolderNamesAFormatsFileClass) {
  const auto sources = ReadSources();
  for (const auto& [name, folder] : FormatClasses()) {
    const std::regex word("\\b" + name + "\\b");
    for (const auto& [path, text] : sources) {
      if (Folder(path) == folder || Folder(path) == "core/open") continue;
      EXPECT_FALSE(std::regex_search(text, word)) << path << " names " << name;
    }
  }
}
