// Where the settings file lies: the program's own variable, else the XDG
// folder (absolute only), else the home folder's default.
#include "settings/StatePaths.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <utility>

namespace {

TEST(StatePaths, SettingsFileFollowsXdgConfigHomeWithoutOverride) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QByteArray custom = qgetenv("KESTRUNE_CONFIG_DIR");
  const QByteArray xdg = qgetenv("XDG_CONFIG_HOME");
  qunsetenv("KESTRUNE_CONFIG_DIR");
  qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());
  EXPECT_EQ(SettingsFilePath(), dir.path() + QStringLiteral("/Kestrune/registry.ini"));
  qputenv("XDG_CONFIG_HOME", "relative/ignored");
  EXPECT_EQ(SettingsFilePath(), QDir::homePath() + QStringLiteral("/.config/Kestrune/registry.ini"));
  qputenv("KESTRUNE_CONFIG_DIR", dir.path().toLocal8Bit());
  EXPECT_EQ(SettingsFilePath(), dir.filePath(QStringLiteral("registry.ini")));
  for (const auto& [name, value] :
       {std::pair{"KESTRUNE_CONFIG_DIR", custom}, std::pair{"XDG_CONFIG_HOME", xdg}}) {
    if (value.isNull())
      qunsetenv(name);
    else
      qputenv(name, value);
  }
}

// The batch log's default folder is never under the working folder, whatever
// HOME holds.
TEST(StatePaths, BatchLogFollowsHomeOnlyWhenItIsAnAbsolutePath) {
  const QByteArray state = qgetenv("KESTRUNE_STATE_DIR"), xdg = qgetenv("XDG_STATE_HOME"),
                   home = qgetenv("HOME");
  qunsetenv("KESTRUNE_STATE_DIR");
  qunsetenv("XDG_STATE_HOME");
  for (const char* value : std::initializer_list<const char*>{"", "relative/home", nullptr, "/some/home"}) {
    SCOPED_TRACE(value ? value : "(unset)");
    if (value)
      qputenv("HOME", value);
    else
      qunsetenv("HOME");
    const std::string log = DefaultBatchLogPath();
    EXPECT_EQ(log.front(), '/') << log;
    EXPECT_NE(log.find("/.local/state/Kestrune/batchconvert.log"), std::string::npos) << log;
    if (value && value[0] == '/') {
      EXPECT_EQ(log, "/some/home/.local/state/Kestrune/batchconvert.log");
    }
  }
  for (const auto& [name, value] :
       {std::pair{"KESTRUNE_STATE_DIR", state}, std::pair{"XDG_STATE_HOME", xdg}, std::pair{"HOME", home}}) {
    if (value.isNull())
      qunsetenv(name);
    else
      qputenv(name, value);
  }
}

}  // namespace
