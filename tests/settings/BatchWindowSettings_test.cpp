// The batch window's remembered geometry and column widths: round trips, and
// stored values that are damaged read as nothing rather than as garbage.
#include "settings/BatchWindowSettings.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "settings/Registry.h"
#include "settings/RegistrySettings.h"

namespace {

class BatchWindowSettingsTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    previous_ = qgetenv("KESTRUNE_CONFIG_DIR");
    qputenv("KESTRUNE_CONFIG_DIR", dir_.path().toLocal8Bit());
  }
  void TearDown() override { qputenv("KESTRUNE_CONFIG_DIR", previous_); }
  static void Store(const char* name, const std::string& text) {
    CRegistry registry(kSettingsKeyPath);
    ASSERT_TRUE(registry.WriteString(name, text));
  }

  QTemporaryDir dir_;
  QByteArray previous_;
};

TEST_F(BatchWindowSettingsTest, NothingStoredReadsAsNothing) {
  EXPECT_TRUE(ReadBatchWindowGeometry().isEmpty());
  EXPECT_TRUE(ReadBatchColumnWidths(8).empty());
}

TEST_F(BatchWindowSettingsTest, GeometryAndWidthsRoundTrip) {
  QByteArray geometry;
  for (int i = 0; i < 66; ++i) geometry.append(char(i * 7));
  ASSERT_TRUE(WriteBatchWindowGeometry(geometry));
  EXPECT_EQ(ReadBatchWindowGeometry(), geometry);
  const std::vector<int> widths = {26, 120, 80, 80, 200, 90, 320, 10000};
  ASSERT_TRUE(WriteBatchColumnWidths(widths));
  EXPECT_EQ(ReadBatchColumnWidths(8), widths);
  EXPECT_TRUE(ReadBatchColumnWidths(7).empty());  // another layout
  // Too long for the store's strings: refused, the old value stays.
  EXPECT_FALSE(WriteBatchWindowGeometry(QByteArray(600, 'x')));
  EXPECT_EQ(ReadBatchWindowGeometry(), geometry);
}

TEST_F(BatchWindowSettingsTest, DamagedValuesReadAsNothing) {
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
    EXPECT_TRUE(ReadBatchWindowGeometry().isEmpty());
    EXPECT_TRUE(ReadBatchColumnWidths(8).empty());
  }
}

}  // namespace
