#include "settings/Registry.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "settings/RegistrySettings.h"

namespace {

// Points the store at a fresh folder for one test.
class RegistryTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    previous_ = qgetenv("KESTRUNE_CONFIG_DIR");
    qputenv("KESTRUNE_CONFIG_DIR", dir_.path().toLocal8Bit());
  }
  void TearDown() override { qputenv("KESTRUNE_CONFIG_DIR", previous_); }
  QString StoreFile() const { return dir_.filePath(QStringLiteral("registry.ini")); }
  void WriteStore(const QByteArray& text) {
    QFile f(StoreFile());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
  }

  QTemporaryDir dir_;
  QByteArray previous_;
};

TEST_F(RegistryTest, PathErrorsAreThrownAsTheirCodes) {
  auto code = [](const std::string& path) {
    try {
      CRegistry r(path);
    } catch (REGISTRYERROR e) {
      return static_cast<int>(e);
    }
    return 0;
  };
  EXPECT_EQ(code("HKEY_LOCAL_MACHINE"), -98);
  EXPECT_EQ(code("HKEY_LOCAL_MACHINE\\"), -100);
  EXPECT_EQ(code("HKEY_NOWHERE\\Software\\Kestrune"), -99);
  EXPECT_EQ(code("hkey_local_machine\\Software"), -99);       // root names are case-sensitive
  EXPECT_EQ(code("HKEY_CURRENT_USER/Software/Kestrune"), 0);  // slashes become backslashes
}

TEST_F(RegistryTest, MissingKeyIsCreatedAndFlaggedAndValuesRoundTrip) {
  CRegistry r("HKEY_LOCAL_MACHINE\\Software\\Kestrune");
  EXPECT_TRUE(r.Created());
  std::uint32_t value = 7;
  EXPECT_FALSE(r.ReadDword("Overlap time", value));
  EXPECT_EQ(value, 7u);
  ASSERT_TRUE(r.WriteDword("Overlap time", 0xDEADBEEF));
  ASSERT_TRUE(r.WriteString("Filename Suffix", "_part"));
  CRegistry again("HKEY_LOCAL_MACHINE/Software/Kestrune");
  EXPECT_FALSE(again.Created());
  EXPECT_TRUE(again.ReadDword("Overlap time", value));
  EXPECT_EQ(value, 0xDEADBEEFu);
  std::string text;
  EXPECT_TRUE(again.ReadString("Filename Suffix", text));
  EXPECT_EQ(text, "_part");
  // One section per key path in the INI file.
  QFile f(StoreFile());
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_TRUE(f.readAll().contains("[HKEY_LOCAL_MACHINE%5CSoftware%5CKestrune]"));
}

TEST_F(RegistryTest, StringsAreCutAtTheFirstByteOutsidePrintableAscii) {
  CRegistry r("HKEY_LOCAL_MACHINE\\Software\\Kestrune");
  std::string text;
  ASSERT_TRUE(r.WriteString("a", "ab\tcd"));
  EXPECT_TRUE(r.ReadString("a", text));
  EXPECT_EQ(text, "ab");
  ASSERT_TRUE(r.WriteString("b", std::string("ab\xE9"
                                             "cd")));
  EXPECT_TRUE(r.ReadString("b", text));
  EXPECT_EQ(text, "ab");
  ASSERT_TRUE(r.WriteString("c",
                            "x\x7F"
                            "y"));
  EXPECT_TRUE(r.ReadString("c", text));
  EXPECT_EQ(text, "x");
}

TEST_F(RegistryTest, LongStringsAreStoredAsTheirFirst1022Characters) {
  CRegistry r("HKEY_LOCAL_MACHINE\\Software\\Kestrune");
  const std::string longText(1500, 'q');
  ASSERT_TRUE(r.WriteString("s", longText));
  std::string text;
  EXPECT_TRUE(r.ReadString("s", text));
  EXPECT_EQ(text, std::string(1022, 'q'));
  std::uint32_t size = 4096, type = 0;
  std::vector<char> raw(4096);
  ASSERT_TRUE(r.QueryValue("s", size, type, raw.data()));
  EXPECT_EQ(size, 1023u);
  EXPECT_EQ(type, REG_SZ);
}

TEST_F(RegistryTest, ValuesLargerThanTheReadBufferReadAsMissing) {
  CRegistry r("HKEY_LOCAL_MACHINE\\Software\\Kestrune");
  std::vector<std::uint8_t> big(2000, 'a');
  ASSERT_TRUE(r.SetValue("big", REG_BINARY, big.data(), static_cast<std::uint32_t>(big.size())));
  std::string text = "keep";
  EXPECT_FALSE(r.ReadString("big", text));
  std::uint32_t dword = 1;
  EXPECT_FALSE(r.ReadDword("big", dword));
  std::uint32_t size = 16, type = 0;
  std::uint8_t small[16];
  EXPECT_FALSE(r.QueryValue("big", size, type, small));
  EXPECT_EQ(size, 2000u);  // tells what it needs
}

TEST_F(RegistryTest, HandWrittenValuesAreRead) {
  WriteStore(
      "[HKEY_LOCAL_MACHINE%5CSoftware%5CKestrune]\n"
      "Overlap%20time=12\n"
      "Filename%20Suffix=_take\n");
  EXPECT_EQ(ReadOverlapTime(), 12u);
  EXPECT_EQ(ReadSuffix(), "_take");
}

TEST_F(RegistryTest, SettingsDefaultToZeroAndEmptyAndRoundTrip) {
  EXPECT_EQ(ReadOverlapTime(), 0u);
  EXPECT_EQ(ReadSuffix(), "");
  // Reading alone writes nothing.
  EXPECT_FALSE(QFile::exists(StoreFile()));
  EXPECT_TRUE(WriteOverlapTime(42));
  EXPECT_TRUE(WriteSuffix("-cut"));
  EXPECT_EQ(ReadOverlapTime(), 42u);
  EXPECT_EQ(ReadSuffix(), "-cut");
}

TEST_F(RegistryTest, UnwritableStoreFailsWritesAndReadsDefaults) {
  // A folder that cannot exist: its parent is a regular file.
  WriteStore("not a folder");
  qputenv("KESTRUNE_CONFIG_DIR", (StoreFile() + QStringLiteral("/sub")).toLocal8Bit());
  EXPECT_FALSE(WriteOverlapTime(5));
  EXPECT_FALSE(WriteSuffix("x"));
  EXPECT_EQ(ReadOverlapTime(), 0u);
  EXPECT_EQ(ReadSuffix(), "");
  int code = 0;
  try {
    CRegistry r("HKEY_LOCAL_MACHINE\\Software\\Kestrune");
  } catch (REGISTRYERROR e) {
    code = e;
  }
  EXPECT_EQ(code, -99);
}

TEST_F(RegistryTest, StoreFollowsXdgConfigHomeWithoutOverride) {
  qunsetenv("KESTRUNE_CONFIG_DIR");
  const QByteArray xdg = qgetenv("XDG_CONFIG_HOME");
  qputenv("XDG_CONFIG_HOME", dir_.path().toLocal8Bit());
  EXPECT_EQ(RegistryFilePath(), dir_.path() + QStringLiteral("/Kestrune/registry.ini"));
  EXPECT_TRUE(WriteOverlapTime(3));
  EXPECT_TRUE(QFile::exists(dir_.filePath(QStringLiteral("Kestrune/registry.ini"))));
  if (xdg.isNull())
    qunsetenv("XDG_CONFIG_HOME");
  else
    qputenv("XDG_CONFIG_HOME", xdg);
}

}  // namespace
