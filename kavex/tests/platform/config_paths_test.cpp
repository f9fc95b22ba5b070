#include "kavex/platform/config_paths.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <cstdlib>
#include <filesystem>

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

TEST(DataDirTest, TheBuildTreeHoldsTheManualWhereAnInstallationWould) {
  static int argc = 1;
  static char name[] = "kavex_platform_tests";
  static char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  // Test programs sit in tests/, the programs in bin/: both beside share/.
  const std::string help = HelpFilePath();
  EXPECT_TRUE(help.ends_with("/share/kavex/help/index.html")) << help;
  EXPECT_TRUE(std::filesystem::is_regular_file(help)) << help;
}

}  // namespace
}  // namespace kavex
