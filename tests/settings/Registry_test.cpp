#include "settings/Registry.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "settings/SettingsStore.h"
#include "settings/StatePaths.h"

namespace {

// Points the store at a fresh folder for one test.
class RegistryTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
  QString StoreFile() const { return dir_.filePath(QStringLiteral("registry.ini")); }
  void WriteStore(const QByteArray& text) {
    QFile f(StoreFile());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
  }

  QTemporaryDir dir_;
  CSettingsStore store_{StoreFile()};
};

TEST_F(RegistryTest, PathErrorsAreThrownAsTheirCodes) {
  auto code = [this](const std::string& path) {
    try {
      CRegistry r(StoreFile(), path);
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
  CRegistry r(StoreFile(), "HKEY_LOCAL_MACHINE\\Software\\Kestrune");
  EXPECT_TRUE(r.Created());
  std::uint32_t value = 7;
  EXPECT_FALSE(r.ReadDword("Overlap time", value));
  EXPECT_EQ(value, 7u);
  ASSERT_TRUE(r.WriteDword("Overlap time", 0xDEADBEEF));
  ASSERT_TRUE(r.WriteString("Filename Suffix", "_part"));
  CRegistry again(StoreFile(), "HKEY_LOCAL_MACHINE/Software/Kestrune");
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
  CRegistry r(StoreFile(), "HKEY_LOCAL_MACHINE\\Software\\Kestrune");
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
  CRegistry r(StoreFile(), "HKEY_LOCAL_MACHINE\\Software\\Kestrune");
  const std::string longText(1500, 'q');
  ASSERT_TRUE(r.WriteString("s", longText));
  std::string text;
  EXPECT_TRUE(r.ReadString("s", text));
  EXPECT_EQ(text, std::string(1022, 'q'));
  std::uint32_t size = 4096, type = 0;
  std::vector<char> raw(4096);
  ASSERT_TRUE(r.QueryValue("s", size, type, raw.data()));
  EXPECT_EQ(size, 1023u);
  EXPECT_EQ(type, stored::kText);
}

TEST_F(RegistryTest, ValuesLargerThanTheReadBufferReadAsMissing) {
  CRegistry r(StoreFile(), "HKEY_LOCAL_MACHINE\\Software\\Kestrune");
  std::vector<std::uint8_t> big(2000, 'a');
  ASSERT_TRUE(r.SetValue("big", stored::kBytes, big.data(), static_cast<std::uint32_t>(big.size())));
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
  EXPECT_EQ(store_.OverlapTime(), 12u);
  EXPECT_EQ(store_.Suffix(), "_take");
}

TEST_F(RegistryTest, SettingsDefaultToZeroAndEmptyAndRoundTrip) {
  EXPECT_EQ(store_.OverlapTime(), 0u);
  EXPECT_EQ(store_.Suffix(), "");
  // Reading alone writes nothing.
  EXPECT_FALSE(QFile::exists(StoreFile()));
  EXPECT_TRUE(store_.SetOverlapTime(42));
  EXPECT_TRUE(store_.SetSuffix("-cut"));
  EXPECT_EQ(store_.OverlapTime(), 42u);
  EXPECT_EQ(store_.Suffix(), "-cut");
}

TEST_F(RegistryTest, UnwritableStoreFailsWritesAndReadsDefaults) {
  // A folder that cannot exist: its parent is a regular file.
  WriteStore("not a folder");
  const QString unreachable = StoreFile() + QStringLiteral("/sub/registry.ini");
  CSettingsStore store(unreachable);
  EXPECT_FALSE(store.SetOverlapTime(5));
  EXPECT_FALSE(store.SetSuffix("x"));
  EXPECT_EQ(store.OverlapTime(), 0u);
  EXPECT_EQ(store.Suffix(), "");
  int code = 0;
  try {
    CRegistry r(unreachable, "HKEY_LOCAL_MACHINE\\Software\\Kestrune");
  } catch (REGISTRYERROR e) {
    code = e;
  }
  EXPECT_EQ(code, -99);
}

TEST_F(RegistryTest, SettingsFileFollowsXdgConfigHomeWithoutOverride) {
  const QByteArray custom = qgetenv("KESTRUNE_CONFIG_DIR");
  const QByteArray xdg = qgetenv("XDG_CONFIG_HOME");
  qunsetenv("KESTRUNE_CONFIG_DIR");
  qputenv("XDG_CONFIG_HOME", dir_.path().toLocal8Bit());
  EXPECT_EQ(SettingsFilePath(), dir_.path() + QStringLiteral("/Kestrune/registry.ini"));
  qputenv("XDG_CONFIG_HOME", "relative/ignored");
  EXPECT_EQ(SettingsFilePath(), QDir::homePath() + QStringLiteral("/.config/Kestrune/registry.ini"));
  qputenv("KESTRUNE_CONFIG_DIR", dir_.path().toLocal8Bit());
  EXPECT_EQ(SettingsFilePath(), dir_.filePath(QStringLiteral("registry.ini")));
  for (const auto& [name, value] :
       {std::pair{"KESTRUNE_CONFIG_DIR", custom}, std::pair{"XDG_CONFIG_HOME", xdg}}) {
    if (value.isNull())
      qunsetenv(name);
    else
      qputenv(name, value);
  }
}

}  // namespace
