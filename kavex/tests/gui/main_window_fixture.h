#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <filesystem>
#include <memory>
#include <string>

#include "kavex/gui/main_commands.h"
#include "kavex/gui/main_form.h"
#include "kavex/tests/gui/gui_test_support.h"

namespace kavex::testing {

// The main window with its commands, its settings files in a folder of the test's own
// (named prefix plus the test's name, so two tests never share one), shown.
class MainWindowTest : public ::testing::Test {
 protected:
  explicit MainWindowTest(std::string prefix) : prefix_(std::move(prefix)) {}

  void SetUp() override {
    App();
    dir = std::filesystem::temp_directory_path() /
          (prefix_ + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    qputenv("KAVEX_CONFIG_DIR", QByteArray::fromStdString(dir.string()));
    form = std::make_unique<TMainForm>(SettingsPaths{dir / "Kavex.ini", dir / "Kavex.ibk"},
                                       dir.string());
    commands = std::make_unique<MainCommands>(*form);
    form->show();
  }
  void TearDown() override {
    commands.reset();
    form.reset();
    qunsetenv("KAVEX_CONFIG_DIR");
    std::filesystem::remove_all(dir);
  }

  std::filesystem::path dir;
  std::unique_ptr<TMainForm> form;
  std::unique_ptr<MainCommands> commands;

 private:
  std::string prefix_;
};

}  // namespace kavex::testing
