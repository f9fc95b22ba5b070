#include "kavex/platform/config_paths.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace kavex {
namespace {

class ConfigPathsTest : public ::testing::Test {
 protected:
  void TearDown() override {
    unsetenv("KAVEX_CONFIG_DIR");
    unsetenv("XDG_CONFIG_HOME");
  }
};

TEST_F(ConfigPathsTest, EnvironmentFolderWins) {
  setenv("KAVEX_CONFIG_DIR", "/tmp/kavex cfg/", 1);
  setenv("XDG_CONFIG_HOME", "/tmp/xdg", 1);
  const SettingsPaths p = KavexSettingsPaths();
  EXPECT_EQ(p.settingsFile, "/tmp/kavex cfg/Kavex.ini");
  EXPECT_EQ(p.backupFile, "/tmp/kavex cfg/Kavex.ibk");
}

TEST_F(ConfigPathsTest, OtherwiseThePerUserConfigurationFolder) {
  setenv("KAVEX_CONFIG_DIR", "", 1);
  setenv("XDG_CONFIG_HOME", "/tmp/xdg", 1);
  const SettingsPaths p = KavexSettingsPaths();
  EXPECT_EQ(p.settingsFile, "/tmp/xdg/Kavex/Kavex.ini");
  EXPECT_EQ(p.backupFile, "/tmp/xdg/Kavex/Kavex.ibk");
}

}  // namespace
}  // namespace kavex
