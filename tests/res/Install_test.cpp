// What `cmake --install` and the Debian package deliver: the file list, the
// desktop entry and AppStream data as the validators judge them, the man
// pages against the programs' own --help, and the package's dependencies.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "Version.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

struct Shell {
  int code = -1;
  std::string output;  // stdout and stderr together
};

Shell Sh(const std::string& command) {
  Shell result;
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return result;
  char buffer[4096];
  while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) result.output.append(buffer, n);
  const int status = ::pclose(pipe);
  result.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string Quoted(const std::string& path) {
  return "'" + path + "'";
}

std::string ReadText(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

const std::string kAppId = KESTRUNE_APP_ID;

// Every file the install puts under the prefix, relative to it.
const std::set<std::string> kInstalledFiles = {
    "bin/kestrune",
    "bin/kestrune-cli",
    "share/applications/" + kAppId + ".desktop",
    "share/metainfo/" + kAppId + ".metainfo.xml",
    "share/icons/hicolor/scalable/apps/" + kAppId + ".svg",
    "share/man/man1/kestrune.1.gz",
    "share/man/man1/kestrune-cli.1.gz",
};

std::set<std::string> FilesUnder(const fs::path& root) {
  std::set<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(root))
    if (!entry.is_directory()) files.insert(fs::relative(entry.path(), root).string());
  return files;
}

// One install into a temporary prefix, shared by the tests that read it.
class InstallTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new kt::TempDir;
    const Shell install = Sh(std::string(KESTRUNE_CMAKE) + " --install " + Quoted(KESTRUNE_BUILD_DIR) +
                             " --prefix " + Quoted(Prefix().string()));
    ASSERT_EQ(install.code, 0) << install.output;
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  static fs::path Prefix() { return dir_->Path() / "prefix"; }
  static fs::path Installed(const std::string& relative) { return Prefix() / relative; }

  static kt::TempDir* dir_;
};
kt::TempDir* InstallTest::dir_ = nullptr;

TEST_F(InstallTest, InstallsBothProgramsTheDesktopDataAndTheManPages) {
  EXPECT_EQ(FilesUnder(Prefix()), kInstalledFiles);
  const Shell version = Sh(Quoted(Installed("bin/kestrune-cli").string()) + " --version");
  EXPECT_EQ(version.code, 0);
  EXPECT_EQ(version.output, std::string("kestrune-cli ") + KESTRUNE_VERSION + "\n");
}

TEST_F(InstallTest, DesktopEntryValidatesAndOpensAudioFilesWithTheProgram) {
  const fs::path entry = Installed("share/applications/" + kAppId + ".desktop");
  const Shell check = Sh("desktop-file-validate " + Quoted(entry.string()));
  EXPECT_EQ(check.code, 0) << check.output;
  EXPECT_EQ(check.output, "");
  const std::string text = ReadText(entry);
  for (const std::string& line :
       std::vector<std::string>{"Name=Kestrune", "GenericName=Audio Cutter", "Exec=kestrune %f",
                                "Icon=" + kAppId, "Categories=AudioVideo;Audio;AudioVideoEditing;",
                                "MimeType=audio/x-wav;audio/wav;audio/vnd.wave;audio/mpeg;audio/mp3;"})
    EXPECT_NE(text.find("\n" + line + "\n"), std::string::npos) << line;
  EXPECT_TRUE(fs::exists(Installed("share/icons/hicolor/scalable/apps/" + kAppId + ".svg")));
}

TEST_F(InstallTest, MetainfoValidatesAndNamesThisVersionAndTheDesktopEntry) {
  const fs::path metainfo = Installed("share/metainfo/" + kAppId + ".metainfo.xml");
  const Shell check = Sh("appstreamcli validate --no-net " + Quoted(metainfo.string()));
  EXPECT_EQ(check.code, 0) << check.output;
  EXPECT_EQ(check.output.find("E:"), std::string::npos) << check.output;
  EXPECT_EQ(check.output.find("W:"), std::string::npos) << check.output;
  const std::string text = ReadText(metainfo);
  EXPECT_NE(text.find("<id>" + kAppId + "</id>"), std::string::npos);
  EXPECT_NE(text.find("<launchable type=\"desktop-id\">" + kAppId + ".desktop</launchable>"),
            std::string::npos);
  EXPECT_NE(text.find(std::string("<release version=\"") + KESTRUNE_VERSION + "\""), std::string::npos);
}

// The source of a compressed man page, roff's "\-" read as a hyphen.
std::string ManText(const fs::path& page) {
  const Shell source = Sh("gzip -dc " + Quoted(page.string()));
  EXPECT_EQ(source.code, 0) << source.output;
  return std::regex_replace(source.output, std::regex(R"(\\-)"), "-");
}

TEST_F(InstallTest, CommandLineManPageListsEveryVerbOptionAndExitCode) {
  const std::string page = ManText(Installed("share/man/man1/kestrune-cli.1.gz"));
  const std::string cli = Quoted(Installed("bin/kestrune-cli").string());
  const Shell top = Sh(cli + " --help");
  ASSERT_EQ(top.code, 0);
  // Verbs: the "Subcommands:" block of the tool's own help.
  std::vector<std::string> verbs;
  const std::string block = top.output.substr(top.output.find("Subcommands:"));
  const std::regex verbLine(R"(\n  ([a-z0-9-]+) )");
  for (std::sregex_iterator it(block.begin(), block.end(), verbLine), end; it != end; ++it)
    verbs.push_back((*it)[1]);
  ASSERT_GE(verbs.size(), 8u);
  const std::regex longOption(R"(--[a-z][a-z0-9-]*)");
  std::set<std::string> options;
  for (std::sregex_iterator it(top.output.begin(), top.output.end(), longOption), end; it != end; ++it)
    options.insert(it->str());
  for (const std::string& verb : verbs) {
    EXPECT_NE(page.find(".BI \"" + verb + " "), std::string::npos) << "verb " << verb;
    const Shell help = Sh(cli + " " + verb + " --help");
    EXPECT_EQ(help.code, 0) << verb;
    for (std::sregex_iterator it(help.output.begin(), help.output.end(), longOption), end; it != end; ++it)
      options.insert(it->str());
  }
  EXPECT_GE(options.size(), 15u);
  for (const std::string& option : options) EXPECT_NE(page.find(option), std::string::npos) << option;
  const std::string exits = page.substr(page.find(".SH EXIT STATUS"));
  for (const char* code : {"\n.B 0\n", "\n.B 1\n", "\n.B 2\n", "\n.B 130\n"})
    EXPECT_NE(exits.find(code), std::string::npos) << code;
}

TEST_F(InstallTest, ProgramManPageListsTheOptionsOfItsHelp) {
  const std::string page = ManText(Installed("share/man/man1/kestrune.1.gz"));
  const Shell help =
      Sh("QT_QPA_PLATFORM=offscreen " + Quoted(Installed("bin/kestrune").string()) + " --help");
  ASSERT_EQ(help.code, 0) << help.output;
  const std::regex longOption(R"(--[a-z][a-z0-9-]*)");
  int seen = 0;
  for (std::sregex_iterator it(help.output.begin(), help.output.end(), longOption), end; it != end;
       ++it, ++seen)
    EXPECT_NE(page.find(it->str()), std::string::npos) << it->str();
  EXPECT_GE(seen, 3);
  EXPECT_NE(page.find(".SH EXIT STATUS"), std::string::npos);
}

TEST(PackageTest, DebianPackageHoldsTheInstalledFilesAndNeedsTheRuntimeLibraries) {
  kt::TempDir dir;
  const Shell pack = Sh(std::string(KESTRUNE_CPACK) + " -G DEB --config " +
                        Quoted(std::string(KESTRUNE_BUILD_DIR) + "/CPackConfig.cmake") + " -B " +
                        Quoted(dir.Path().string()));
  ASSERT_EQ(pack.code, 0) << pack.output;
  const Shell arch = Sh("dpkg --print-architecture");
  const fs::path deb = dir.Path() / (std::string("kestrune_") + KESTRUNE_VERSION + "_" +
                                     arch.output.substr(0, arch.output.find('\n')) + ".deb");
  ASSERT_TRUE(fs::exists(deb)) << pack.output;

  const Shell contents = Sh("dpkg-deb --fsys-tarfile " + Quoted(deb.string()) + " | tar -t");
  ASSERT_EQ(contents.code, 0) << contents.output;
  std::set<std::string> files;
  std::istringstream lines(contents.output);
  for (std::string line; std::getline(lines, line);)
    if (!line.empty() && line.back() != '/') files.insert(line.substr(line.find("usr/") + 4));
  EXPECT_EQ(files, kInstalledFiles);

  const Shell depends = Sh("dpkg-deb -f " + Quoted(deb.string()) + " Depends");
  for (const char* package : {"libqt6widgets6", "libqt6multimedia6", "libqt6svg6", "libmp3lame0", "libmad0",
                              "gstreamer1.0-plugins-base", "gstreamer1.0-plugins-good"})
    EXPECT_NE(depends.output.find(package), std::string::npos) << package << " in " << depends.output;
}

}  // namespace
