// The engine's formats stand behind one interface (core/AudioFormat.h,
// core/AudioFile.h): each lives in its own folder under core/, and only the
// registry (core/open) names what is inside. Anything else that reached
// into a format folder, or named its file class, would have to change with
// every new format.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <string>

namespace fs = std::filesystem;

namespace {

const fs::path kSourceRoot = fs::path(KESTRUNE_SOURCE_DIR) / "src";

std::map<std::string, std::string> ReadSources() {
  std::map<std::string, std::string> sources;  // path from src/ -> text
  for (const auto& entry : fs::recursive_directory_iterator(kSourceRoot)) {
    const auto ext = entry.path().extension();
    if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp")) continue;
    std::ifstream in(entry.path());
    sources[fs::relative(entry.path(), kSourceRoot).generic_string()] =
        std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  return sources;
}

std::string Folder(const std::string& path) {
  return fs::path(path).parent_path().generic_string();
}

// The format folders and their file classes: where a class derives from CAudioFile.
std::map<std::string, std::string> FormatClasses(const std::map<std::string, std::string>& sources) {
  static const std::regex derived(R"(class\s+(\w+)\s*:\s*public\s+CAudioFile\b)");
  std::map<std::string, std::string> classes;  // class -> folder
  for (const auto& [path, text] : sources)
    for (std::sregex_iterator m(text.begin(), text.end(), derived), end; m != end; ++m)
      classes[(*m)[1].str()] = Folder(path);
  return classes;
}

// Who may look inside a format folder besides itself.
bool MayReachIn(const std::string& from, const std::string& formatFolder, const std::string& header) {
  if (Folder(from) == "core/open") return true;  // the registry
  // Decoders to WAV write the WAV header through the WAV folder's writer.
  return formatFolder == "core/wav" && header == "core/wav/WaveHeader.h" &&
         Folder(from).rfind("core/", 0) == 0;
}

}  // namespace

TEST(FormatFolders, OnlyTheRegistryReachesIntoAFormatFolder) {
  const auto sources = ReadSources();
  const auto classes = FormatClasses(sources);
  ASSERT_GE(classes.size(), 2u) << "no format classes found under " << kSourceRoot;
  std::set<std::string> formatFolders;
  for (const auto& [name, folder] : classes) formatFolders.insert(folder);

  static const std::regex include(R"re(#\s*include\s*"([^"]+)")re");
  for (const auto& [path, text] : sources) {
    for (std::sregex_iterator m(text.begin(), text.end(), include), end; m != end; ++m) {
      const std::string header = (*m)[1].str();
      const std::string target = Folder(header);
      if (!formatFolders.count(target) || Folder(path) == target) continue;
      EXPECT_TRUE(MayReachIn(path, target, header)) << path << " includes " << header;
    }
  }
}

TEST(FormatFolders, NoCodeOutsideItsFolderNamesAFormatsFileClass) {
  const auto sources = ReadSources();
  for (const auto& [name, folder] : FormatClasses(sources)) {
    const std::regex word("\\b" + name + "\\b");
    for (const auto& [path, text] : sources) {
      if (Folder(path) == folder || Folder(path) == "core/open") continue;
      EXPECT_FALSE(std::regex_search(text, word)) << path << " names " << name;
    }
  }
}
