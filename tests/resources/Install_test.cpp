// What `cmake --install` and the Debian package deliver: the file list, the
// desktop entry and AppStream data as the validators judge them, the man
// pages against the programs' own --help, and the package's dependencies.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "Version.h"
#include "support/CliRunner.h"
#include "support/TestSupport.h"

namespace {

// Runs command in sh from a scratch folder; out holds its standard output and error.
kt::CliResult Sh(const std::string& command) {
  static const kt::TempDir scratch;
  return kt::RunProgram(scratch.Path().string(), "sh", {"-c", command + " 2>&1"});
}

std::string Quoted(const std::string& path) {
  return "'" + path + "'";
}

const std::string kAppId = KESTRUNE_APP_ID;

// The files of each package, as the install puts them under the prefix.
const std::set<std::string> kCliFiles = {
    "bin/kestrune-cli", "share/man/man1/kestrune-cli.1.gz", "share/doc/kestrune-cli/copyright",
    "share/doc/kestrune-cli/changelog.gz", "share/lintian/overrides/kestrune-cli",
    "share/bash-completion/completions/kestrune-cli", "share/zsh/vendor-completions/_kestrune-cli",
    "share/fish/vendor_completions.d/kestrune-cli.fish"};
const std::set<std::string> kGuiFiles = {"bin/kestrune",
                                         "share/applications/" + kAppId + ".desktop",
                                         "share/metainfo/" + kAppId + ".metainfo.xml",
                                         "share/icons/hicolor/scalable/apps/" + kAppId + ".svg",
                                         "share/man/man1/kestrune.1.gz",
                                         "share/doc/kestrune/copyright",
                                         "share/doc/kestrune/changelog.gz",
                                         "share/lintian/overrides/kestrune"};

std::set<std::string> Union(std::set<std::string> a, const std::set<std::string>& b) {
  a.insert(b.begin(), b.end());
  return a;
}

// The files of a listing, one a line, each taken from after its first `after`.
std::set<std::string> Files(const std::string& listing, const std::string& after = "") {
  std::set<std::string> files;
  std::istringstream lines(listing);
  for (std::string line; std::getline(lines, line);)
    if (!line.empty() && line.back() != '/') files.insert(line.substr(line.find(after) + after.size()));
  return files;
}

// The long options a help text names.
std::set<std::string> LongOptions(const std::string& help) {
  static const std::regex option(R"(--[a-z][a-z0-9-]*)");
  std::set<std::string> found;
  for (std::sregex_iterator it(help.begin(), help.end(), option), end; it != end; ++it)
    found.insert(it->str());
  return found;
}

TEST(Install, ValidDesktopDataAndManPagesListingEveryVerbOptionAndExitCode) {
  const kt::TempDir dir;
  const std::string prefix = (dir.Path() / "prefix").string();
  const kt::CliResult install = Sh(std::string(KESTRUNE_CMAKE) + " --install " + Quoted(KESTRUNE_BUILD_DIR) +
                                   " --prefix " + Quoted(prefix));
  ASSERT_EQ(install.exitCode, 0) << install.out;
  EXPECT_EQ(Files(Sh("find " + Quoted(prefix) + " -type f -printf '%P\\n'").out),
            Union(kCliFiles, kGuiFiles));

  const std::string desktop = prefix + "/share/applications/" + kAppId + ".desktop";
  const std::string metainfo = prefix + "/share/metainfo/" + kAppId + ".metainfo.xml";
  for (const std::string& command :
       {"desktop-file-validate " + Quoted(desktop), "appstreamcli validate --no-net " + Quoted(metainfo)}) {
    const kt::CliResult check = Sh(command);
    EXPECT_EQ(check.exitCode, 0) << command << check.out;
    EXPECT_FALSE(std::regex_search(check.out, std::regex("E:|W:|error|warning"))) << check.out;
  }
  EXPECT_NE(Sh("cat " + Quoted(desktop)).out.find("\nExec=kestrune %f\n"), std::string::npos);
  EXPECT_NE(Sh("cat " + Quoted(metainfo)).out.find(std::string("<release version=\"") + KESTRUNE_VERSION),
            std::string::npos);

  // The man pages' sources, roff's "\-" read as a hyphen.
  const auto ManText = [&prefix](const std::string& name) {
    return std::regex_replace(Sh("gzip -dc " + Quoted(prefix + "/share/man/man1/" + name)).out,
                              std::regex(R"(\\-)"), "-");
  };
  const std::string cli = Quoted(prefix + "/bin/kestrune-cli");
  const std::string cliPage = ManText("kestrune-cli.1.gz");
  const kt::CliResult top = Sh(cli + " --help");
  std::set<std::string> cliOptions = LongOptions(top.out);
  // Verbs: the "Subcommands:" block of the tool's own help.
  const std::string block = top.out.substr(top.out.find("Subcommands:"));
  const std::regex verbLine(R"(\n  ([a-z0-9-]+) )");
  int verbs = 0;
  for (std::sregex_iterator it(block.begin(), block.end(), verbLine), end; it != end; ++it, ++verbs) {
    const std::string verb = (*it)[1];
    EXPECT_NE(cliPage.find(".BI \"" + verb + " "), std::string::npos) << "verb " << verb;
    cliOptions.merge(LongOptions(Sh(cli + " " + verb + " --help").out));
  }
  EXPECT_GE(verbs, 8);
  EXPECT_GE(cliOptions.size(), 15u);
  const std::string exits = cliPage.substr(cliPage.find(".SH EXIT STATUS"));
  for (const char* code : {"\n.B 0\n", "\n.B 1\n", "\n.B 2\n", "\n.B 129\n", "\n.B 130\n", "\n.B 143\n"})
    EXPECT_NE(exits.find(code), std::string::npos) << code;

  const kt::CliResult gui = Sh("QT_QPA_PLATFORM=offscreen " + Quoted(prefix + "/bin/kestrune") + " --help");
  const std::set<std::string> guiOptions = LongOptions(gui.out);
  EXPECT_GE(guiOptions.size(), 2u) << gui.out;
  const std::pair<std::string, std::set<std::string>> pages[] = {{cliPage, cliOptions},
                                                                 {ManText("kestrune.1.gz"), guiOptions}};
  for (const auto& [page, options] : pages) {
    for (const std::string& option : options) EXPECT_NE(page.find(option), std::string::npos) << option;
    EXPECT_NE(page.find(".SH EXIT STATUS"), std::string::npos);
  }
}

TEST(Package, TwoDebianPackagesHoldTheirFilesNeedOnlyWhatTheyLinkAndPassLintian) {
  const kt::TempDir dir;
  const kt::CliResult pack = Sh(std::string(KESTRUNE_CPACK) + " -G DEB --config " +
                                Quoted(std::string(KESTRUNE_BUILD_DIR) + "/CPackConfig.cmake") + " -B " +
                                Quoted(dir.Path().string()));
  ASSERT_EQ(pack.exitCode, 0) << pack.out;
  const auto Deb = [&dir](const std::string& package) {
    return Quoted(dir.Path().string()) + "/" + package + "_" + KESTRUNE_VERSION + "_*.deb";
  };
  const struct {
    std::string package;
    std::set<std::string> files;
    std::vector<std::string> needs, mustNotNeed;
  } packages[] = {
      {"kestrune-cli",
       kCliFiles,
       {"libqt6core6", "libmp3lame0", "libmad0"},
       {"libqt6gui6", "libqt6widgets6", "libqt6multimedia6", "gstreamer", "libx", "libgl", "libglib"}},
      {"kestrune",
       kGuiFiles,
       {"libqt6widgets6", "libqt6multimedia6", "libqt6svg6", "libmp3lame0", "libmad0",
        "gstreamer1.0-plugins-base", "gstreamer1.0-plugins-good"},
       {"kestrune-cli"}},
  };
  for (const auto& [package, files, needs, mustNotNeed] : packages) {
    SCOPED_TRACE(package);
    const std::string deb = Deb(package);
    const kt::CliResult contents = Sh("dpkg-deb --fsys-tarfile " + deb + " | tar -t");
    ASSERT_EQ(contents.exitCode, 0) << contents.out;
    EXPECT_EQ(Files(contents.out, "usr/"), files);
    const std::string depends = Sh("dpkg-deb -f " + deb + " Depends").out;
    for (const std::string& need : needs) EXPECT_NE(depends.find(need), std::string::npos) << need;
    for (const std::string& not_needed : mustNotNeed)
      EXPECT_EQ(depends.find(not_needed), std::string::npos) << depends;

    // The copyright file in the machine-readable format, the changelog of this version.
    const std::string doc = "dpkg-deb --fsys-tarfile " + deb + " | tar -xO ./usr/share/doc/" + package;
    EXPECT_EQ(
        Sh(doc + "/copyright")
            .out.rfind("Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n", 0),
        0u);
    EXPECT_NE(Sh(doc + "/copyright").out.find("License: GPL-3+\n"), std::string::npos);
    EXPECT_EQ(Sh(doc + "/changelog.gz | gzip -dc | head -1").out,
              std::string("kestrune (") + KESTRUNE_VERSION + ") unstable; urgency=medium\n");
    // Hardened and without the compiler's notes.
    const std::string program =
        "dpkg-deb --fsys-tarfile " + deb + " | tar -xO ./usr/bin/" + package + " > prog; ";
    const std::string elf = Sh(program + "readelf -S -d -h prog").out;
    EXPECT_EQ(elf.find(".comment"), std::string::npos);
    EXPECT_NE(elf.find("BIND_NOW"), std::string::npos);
    EXPECT_NE(elf.find("Position-Independent Executable"), std::string::npos);
  }
  // Debian's policy checker: nothing at all, the overridden tags aside.
  const kt::CliResult lintian = Sh("lintian -E -I --pedantic " + Deb("kestrune-cli") + " " + Deb("kestrune") +
                                   " | grep -v 'running with root privileges'");
  EXPECT_EQ(lintian.out, "");
}

}  // namespace
