// The typed settings store over a file of the test's own: defaults without a
// file, round trips, and stored values that are damaged read as nothing
// rather than as garbage.
#include "settings/SettingsStore.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>

#include "settings/Registry.h"

namespace {

class SettingsStoreTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
  QString File() const { return dir_.filePath(QStringLiteral("settings/registry.ini")); }
  void Store(const char* name, const std::string& text) {
    CRegistry registry(File(), kSettingsKeyPath);
    ASSERT_TRUE(registry.WriteString(name, text));
  }

  QTemporaryDir dir_;
  CSettingsStore store_{File()};
};

TEST_F(SettingsStoreTest, WithoutAFileEveryValueIsItsDefaultAndNothingIsCreated) {
  EXPECT_EQ(store_.OverlapTime(), 0u);
  EXPECT_EQ(store_.Suffix(), "");
  EXPECT_TRUE(store_.GaplessMp3());
  EXPECT_TRUE(store_.ShowWaveform());
  EXPECT_EQ(store_.WindowSize(), QSize(0, 0));
  EXPECT_TRUE(store_.RecentFiles().isEmpty());
  EXPECT_TRUE(store_.LastFolder().isEmpty());
  EXPECT_FALSE(QFileInfo::exists(QFileInfo(File()).absolutePath())) << "reading made the folder";
}

TEST_F(SettingsStoreTest, TwoStoresOnTwoFilesDoNotSeeEachOther) {
  CSettingsStore other(dir_.filePath(QStringLiteral("other.ini")));
  ASSERT_TRUE(store_.SetOverlapTime(7));
  ASSERT_TRUE(store_.SetGaplessMp3(false));
  ASSERT_TRUE(other.SetSuffix("_b"));
  EXPECT_EQ(other.OverlapTime(), 0u);
  EXPECT_TRUE(other.GaplessMp3());
  EXPECT_EQ(store_.Suffix(), "");
  EXPECT_EQ(CSettingsStore(File()).OverlapTime(), 7u);  // a later run reads it
}

TEST_F(SettingsStoreTest, WindowSidesAreKeptApartAndRecentFilesKeepTheNewestEight) {
  ASSERT_TRUE(store_.SetWindowSize(QSize(800, 600)));
  EXPECT_EQ(store_.WindowSize(), QSize(800, 600));
  ASSERT_TRUE(store_.WriteNumber(kWindowHeightValue, 0));
  EXPECT_EQ(store_.WindowSize(), QSize(800, 0));
  for (int i = 0; i < 10; ++i) store_.AddRecentFile(QStringLiteral("/m/%1.wav").arg(i));
  store_.AddRecentFile(QStringLiteral("/m/5.wav"));  // moves up, not in twice
  const QStringList files = store_.RecentFiles();
  ASSERT_EQ(files.size(), CSettingsStore::kMaxRecentFiles);
  EXPECT_EQ(files.front(), QStringLiteral("/m/5.wav"));
  EXPECT_EQ(files.count(QStringLiteral("/m/5.wav")), 1);
  store_.RemoveRecentFile(QStringLiteral("/m/5.wav"));
  EXPECT_EQ(store_.RecentFiles().front(), QStringLiteral("/m/9.wav"));
}

TEST_F(SettingsStoreTest, NothingStoredReadsAsNothing) {
  EXPECT_TRUE(store_.BatchWindowGeometry().isEmpty());
  EXPECT_TRUE(store_.BatchColumnWidths(8).empty());
}

TEST_F(SettingsStoreTest, GeometryAndWidthsRoundTrip) {
  QByteArray geometry;
  for (int i = 0; i < 66; ++i) geometry.append(char(i * 7));
  ASSERT_TRUE(store_.SetBatchWindowGeometry(geometry));
  EXPECT_EQ(store_.BatchWindowGeometry(), geometry);
  const std::vector<int> widths = {26, 120, 80, 80, 200, 90, 320, 10000};
  ASSERT_TRUE(store_.SetBatchColumnWidths(widths));
  EXPECT_EQ(store_.BatchColumnWidths(8), widths);
  EXPECT_TRUE(store_.BatchColumnWidths(7).empty());  // another layout
  // Too long for the store's strings: refused, the old value stays.
  EXPECT_FALSE(store_.SetBatchWindowGeometry(QByteArray(600, 'x')));
  EXPECT_EQ(store_.BatchWindowGeometry(), geometry);
}

TEST_F(SettingsStoreTest, DamagedValuesReadAsNothing) {
  struct Case {
    const char* geometry;
    const char* widths;
  };
  const Case cases[] = {
      {"0g", "1,2,3,4,5,6,7,x"},         // not hex; not a number
      {"abc", "1,2,3,4,5,6,7,0"},        // odd length; a zero width
      {"01 02", "1,2,3,4,5,6,7,10001"},  // a blank inside; too wide
      {"", "1,2,3,4,5,6,7,-5"},          // empty; negative
      {"zz", ",,,,,,,"},                 // empty numbers
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.geometry);
    Store(kBatchGeometryValue, c.geometry);
    Store(kBatchColumnWidthsValue, c.widths);
    EXPECT_TRUE(store_.BatchWindowGeometry().isEmpty());
    EXPECT_TRUE(store_.BatchColumnWidths(8).empty());
  }
}

}  // namespace
