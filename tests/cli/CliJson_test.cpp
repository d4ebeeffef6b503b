// kestrune-cli's --json output read back with Qt's JSON parser: info on WAV
// and MP3 files (tags and the LAME header frame as lame wrote them), the
// shred estimate beside its text form, and batch's line per finished file,
// with the file lists of --files-from and the folders of --recursive.
#include <gtest/gtest.h>

#include <QJsonArray>
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

// Each line of text as a JSON object; fails the test on anything else.
std::vector<QJsonObject> JsonLines(const std::string& text) {
  std::vector<QJsonObject> objects;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << line;
    EXPECT_TRUE(doc.isObject()) << line;
    objects.push_back(doc.object());
  }
  return objects;
}

class CliJson : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("KESTRUNE_CONFIG_DIR", dir.File("config").c_str(), 1);
    setenv("KESTRUNE_STATE_DIR", dir.File("state").c_str(), 1);
  }
  kt::CliResult Run(const std::vector<std::string>& args) { return kt::RunCli(dir.Path().string(), args); }
  std::string Wav(const std::string& name, std::uint32_t frames, std::uint16_t channels = 2) {
    kt::WavSpec layout;
    layout.channels = channels;
    return kt::MakeWav(dir, name, layout, kt::Sine16(frames, channels, 44100, 440.0));
  }
  // lame's own MP3 with both tags; the artist has a letter outside ASCII.
  std::string TaggedMp3(const std::string& wav, const std::string& name) {
    const std::string mp3 = dir.File(name);
    const kt::CliResult r =
        kt::RunProgram(dir.Path().string(), "lame",
                       {"--quiet", "-b", "128", "--tt", "Night Train", "--ta", "Ren\xc3\xa9", "--ty", "1999",
                        "--tg", "Jazz", "--add-id3v2", "--id3v2-latin1", wav, mp3});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return mp3;
  }
  kt::TempDir dir;
};

TEST_F(CliJson, InfoOfAWavFileHoldsEveryHeaderFact) {
  const std::string wav = Wav("tone.wav", 44100);
  const kt::CliResult r = Run({"info", "--json", wav});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const auto lines = JsonLines(r.out);
  ASSERT_EQ(lines.size(), 1u);
  const std::map<QString, QJsonValue> expected = {{"file", QString::fromStdString(wav)},
                                                  {"type", "wav"},
                                                  {"bytes", 44 + 176400},
                                                  {"sampleRate", 44100},
                                                  {"samples", 44100},
                                                  {"seconds", 1.0},
                                                  {"formatTag", 1},
                                                  {"channels", 2},
                                                  {"bitsPerSample", 16},
                                                  {"blockAlign", 4},
                                                  {"bytesPerSecond", 176400},
                                                  {"dataOffset", 44},
                                                  {"dataBytes", 176400},
                                                  {"channelMask", 0}};
  for (const auto& [key, value] : expected) EXPECT_EQ(lines[0].value(key), value) << key.toStdString();
}

TEST_F(CliJson, InfoOfAnMp3FileHoldsBothTagsAndTheEncoderDelayAndPadding) {
  const std::string mp3 = TaggedMp3(Wav("one second.wav", 44100), "tagged.mp3");
  const kt::CliResult r = Run({"info", "--json", mp3});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const auto lines = JsonLines(r.out);
  ASSERT_EQ(lines.size(), 1u);
  const QJsonObject info = lines[0];
  EXPECT_EQ(info["type"], "mp3");
  EXPECT_EQ(info["mpegVersion"], "1");
  EXPECT_EQ(info["layer"], 3);
  EXPECT_EQ(info["bitrate"], 128000);
  EXPECT_EQ(info["sampleRate"], 44100);
  EXPECT_EQ(info["bytes"], static_cast<qint64>(fs::file_size(mp3)));

  const QJsonObject v1 = info["id3v1"].toObject();
  EXPECT_EQ(v1["title"], "Night Train");
  EXPECT_EQ(v1["artist"], QStringLiteral("Ren\u00e9"));
  EXPECT_EQ(v1["year"], "1999");
  EXPECT_EQ(v1["genre"], "Jazz");

  const QJsonObject v2 = info["id3v2"].toObject();
  EXPECT_TRUE(v2["version"].toString().startsWith("2.")) << v2["version"].toString().toStdString();
  EXPECT_EQ(v2["bytes"].toInteger(), info["audioStart"].toInteger() - 417)
      << "the tag, then the header frame";
  std::map<QString, QString> frames;
  for (const QJsonValue& frame : v2["frames"].toArray())
    frames[frame["id"].toString()] = frame["text"].toString();
  EXPECT_EQ(frames["TIT2"], "Night Train");
  EXPECT_EQ(frames["TPE1"], QStringLiteral("Ren\u00e9"));

  // lame's delay and padding add up with the audio to whole frames.
  const QJsonObject lame = info["lame"].toObject();
  EXPECT_TRUE(lame["encoder"].toString().startsWith("LAME"));
  const qint64 frameCount = lame["frames"].toInteger();
  EXPECT_GT(lame["delay"].toInteger(), 0);
  EXPECT_EQ(lame["delay"].toInteger() + 44100 + lame["padding"].toInteger(), frameCount * 1152);
  // The sample count is the audio's own: the encoder's delay and padding are not in it.
  EXPECT_EQ(info["samples"].toInteger(), 44100);

  // A file without tags says so with nulls.
  const std::string bare = dir.File("bare.mp3");
  ASSERT_EQ(kt::RunProgram(dir.Path().string(), "lame", {"--quiet", "-t", dir.File("one second.wav"), bare})
                .exitCode,
            0);
  const auto plain = JsonLines(Run({"info", "--json", bare}).out);
  ASSERT_EQ(plain.size(), 1u);
  for (const char* key : {"id3v1", "id3v2", "lame"}) EXPECT_TRUE(plain[0][key].isNull()) << key;
}

TEST_F(CliJson, ShredEstimateMatchesItsTextAndNeedsEstimate) {
  const std::string wav = Wav("four.wav", 4 * 44100);
  const kt::CliResult text = Run({"shred", wav, "-n", "2", "--estimate", "--overlap", "3"});
  const kt::CliResult json = Run({"shred", wav, "-n", "2", "--estimate", "--overlap", "3", "--json"});
  ASSERT_EQ(json.exitCode, 0) << json.err;
  const auto lines = JsonLines(json.out);
  ASSERT_EQ(lines.size(), 1u);
  const QJsonObject e = lines[0];
  EXPECT_EQ(e["file"], QString::fromStdString(wav));
  EXPECT_EQ(e["splits"], 2);
  EXPECT_EQ(e["overlapSeconds"], 3);
  EXPECT_EQ(e["overlapTooHigh"], true);
  EXPECT_EQ(e["pieceSeconds"], 2.0);
  const std::string sizeLine =
      "File splits' size - " + std::to_string(e["pieceBytes"].toInteger()) + " bytes";
  EXPECT_NE(text.out.find(sizeLine), std::string::npos) << text.out;
  EXPECT_FALSE(fs::exists(dir.File("FOUR-1.wav")));
  EXPECT_EQ(Run({"shred", wav, "-n", "2", "--json"}).exitCode, 2);
}

TEST_F(CliJson, BatchPrintsOneObjectPerFinishedFileFromListsAndFolderTrees) {
  fs::create_directories(dir.File("lib/disc 2"));
  const std::string a = Wav("lib/a.wav", 22050), b = Wav("lib/disc 2/b.wav", 22050, 1);
  const std::string c = TaggedMp3(a, "lib/disc 2/c.mp3");
  kt::WriteAll(dir.File("lib/disc 2/broken.wav"), std::vector<std::uint8_t>(300, 7));
  kt::WriteAll(dir.File("lib/notes.txt"), {'x'});
  const std::string out = dir.File("out");

  kt::CliResult r = Run({"-q", "batch", "--json", "--recursive", dir.File("lib"), "--out-dir", out});
  EXPECT_EQ(r.exitCode, 1) << "the broken file fails";
  std::map<std::string, QJsonObject> bySource;
  for (const QJsonObject& line : JsonLines(r.out)) bySource[line["source"].toString().toStdString()] = line;
  ASSERT_EQ(bySource.size(), 4u) << r.out;
  const std::map<std::string, std::string> outputs = {
      {a, out + "/a.mp3"},
      {b, out + "/disc 2/b.mp3"},
      {c, out + "/disc 2/c.wav"},
      {dir.File("lib/disc 2/broken.wav"), out + "/disc 2/broken.mp3"}};
  for (const auto& [source, output] : outputs) {
    SCOPED_TRACE(source);
    const QJsonObject& line = bySource[source];
    EXPECT_EQ(line["output"].toString().toStdString(), output);
    EXPECT_GE(line["seconds"].toDouble(), 0.0);
    const bool broken = source.find("broken") != std::string::npos;
    EXPECT_EQ(line["status"], broken ? "Failed" : "Done");
    EXPECT_EQ(line["reason"].isString(), broken);
    EXPECT_EQ(fs::exists(output), !broken);
  }
  EXPECT_NE(r.err.find("1 failures encountered."), std::string::npos)
      << "the summary goes to standard error: " << r.err;

  // A NUL-separated list, from a file and from standard input.
  const std::string list = dir.File("list");
  kt::WriteAll(list, {});
  {
    std::ofstream names(list, std::ios::binary);
    names << a << '\0' << c << '\0';
  }
  r = Run(
      {"-q", "batch", "--json", "--files-from", list, "-0", "--out-dir", dir.File("listed"), "--overwrite"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(JsonLines(r.out).size(), 2u);
  const std::string cli = KESTRUNE_CLI_PATH;
  r = kt::RunProgram(dir.Path().string(), "sh",
                     {"-c", "printf '%s\\n' \"$1\" | \"$0\" -q batch --json --files-from - --out-dir \"$2\"",
                      cli, b, dir.File("piped")});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  ASSERT_EQ(JsonLines(r.out).size(), 1u);
  EXPECT_TRUE(fs::exists(dir.File("piped/b.mp3")));
  // A list written on Windows: its line ends are no part of the names.
  {
    std::ofstream names(list, std::ios::binary);
    names << a << "\r\n" << c << "\r\n";
  }
  r = Run({"-q", "batch", "--json", "--files-from", list, "--out-dir", dir.File("crlf"), "--overwrite"});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(JsonLines(r.out).size(), 2u);

  const kt::CliResult missing = Run({"batch", "--files-from", dir.File("no list")});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(missing.err, "kestrune-cli: " + dir.File("no list") +
                             ": The file list cannot be read. (No such file or directory)\n");
}

}  // namespace
