// The README's recipe for converting a large library with GNU parallel, run
// as written against this machine (HOSTS=:) on a small generated library:
// every file converted beside its source, one report line each, and the
// status count at the end.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "support/CliRunner.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

// The first sh block after the "Converting a large library" heading.
std::string RecipeFromReadme() {
  std::ifstream readme(std::string(KESTRUNE_SOURCE_DIR) + "/README.md");
  std::stringstream text;
  text << readme.rdbuf();
  const std::string all = text.str();
  const auto section = all.find("## Converting a large library");
  const auto begin = all.find("```sh\n", section);
  const auto end = all.find("```\n", begin + 6);
  if (section == std::string::npos || begin == std::string::npos || end == std::string::npos) return {};
  return all.substr(begin + 6, end - begin - 6);
}

TEST(ParallelRecipe, ConvertsEveryFileOfALibraryAndMergesOneReport) {
  const std::string recipe = RecipeFromReadme();
  ASSERT_NE(recipe.find("parallel"), std::string::npos);
  kt::TempDir dir;
  const std::string library = dir.File("library");
  std::map<std::string, std::string> outputs;  // source -> expected output
  for (int album = 0; album < 3; ++album) {
    const std::string folder = "library/album " + std::to_string(album);
    fs::create_directories(dir.File(folder));
    for (int track = 0; track < 4; ++track) {
      kt::WavSpec layout;
      layout.sampleRate = 22050;
      const std::string name = folder + "/track " + std::to_string(track);
      const std::string wav =
          kt::MakeWav(dir, name + ".wav", layout, kt::Sine16(11025, 2, 22050, 220.0 * (track + 1)));
      if (track % 2 == 0) {
        outputs[wav] = dir.File(name + ".mp3");
      } else {
        // Half the library is MP3 already (made by lame), to go back to WAV.
        const std::string mp3 = dir.File(name + "-lame.mp3");
        ASSERT_EQ(kt::RunProgram(dir.Path().string(), "lame", {"--quiet", wav, mp3}).exitCode, 0);
        fs::remove(wav);
        outputs[mp3] = dir.File(name + "-lame.wav");
      }
    }
  }
  kt::WriteAll(dir.File("library/cover.jpg"), {0xFF, 0xD8});

  const std::string cliFolder = fs::path(KESTRUNE_CLI_PATH).parent_path().string();
  const std::string script = dir.File("recipe.sh");
  {
    std::ofstream out(script);
    out << "set -e\ncd '" << dir.Path().string() << "'\nexport HOME='" << dir.File("home") << "'\n"
        << "export PATH='" << cliFolder << "':$PATH\n"
        << "export KESTRUNE_CONFIG_DIR='" << dir.File("config") << "' KESTRUNE_STATE_DIR='"
        << dir.File("state") << "'\nLIBRARY='" << library << "' HOSTS=:\n"
        << recipe;
  }
  fs::create_directories(dir.File("home"));
  const kt::CliResult run = kt::RunProgram(dir.Path().string(), "bash", {script});
  ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_EQ(run.out, "{'Done': 12}\n");
  const auto checkReport = [&] {
    std::ifstream report(dir.File("report.jsonl"));
    std::map<std::string, QJsonObject> lines;
    for (std::string line; std::getline(report, line);) {
      QJsonParseError error;
      const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
      ASSERT_EQ(error.error, QJsonParseError::NoError) << line;
      lines[doc["source"].toString().toStdString()] = doc.object();
    }
    ASSERT_EQ(lines.size(), outputs.size());
    for (const auto& [source, output] : outputs) {
      SCOPED_TRACE(source);
      ASSERT_TRUE(lines.count(source));
      EXPECT_TRUE(lines[source]["status"] == "Done" || lines[source]["status"] == "Skipped");
      EXPECT_EQ(lines[source]["output"].toString().toStdString(), output);
      ASSERT_TRUE(fs::exists(output));
      // Each output is a file the tool itself reads back.
      EXPECT_EQ(kt::RunCli(dir.Path().string(), {"info", output}).exitCode, 0);
    }
  };
  checkReport();

  // A run that ended early (two outputs missing, a killed writer's hidden
  // file left): the recipe run again converts the two and skips the rest.
  auto missing = outputs.begin();
  fs::remove(missing->second);
  fs::remove((++missing)->second);
  kt::WriteAll(dir.File("library/album 0/.track 0.mp3.kestrune-AAAAAA.part"), {1, 2, 3});
  const kt::CliResult again = kt::RunProgram(dir.Path().string(), "bash", {script});
  ASSERT_EQ(again.exitCode, 0) << again.out << again.err;
  EXPECT_EQ(again.out, "{'Done': 2, 'Skipped': 10}\n");
  EXPECT_FALSE(fs::exists(dir.File("library/album 0/.track 0.mp3.kestrune-AAAAAA.part")));
}

}  // namespace
