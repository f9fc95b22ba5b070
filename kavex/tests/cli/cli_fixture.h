#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace kavex::testing {

// Runs kavex-cli in a shell inside a folder of the test's own and gives its exit status.
class CliFixture : public ::testing::Test {
 public:
  void SetUp() override {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    // Test programs run side by side under ctest -j, so the folder names the suite and process.
    dir = std::filesystem::temp_directory_path() /
          ("kavex_cli_" + std::string(test->test_suite_name()) + "_" + test->name() + "_" +
           std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  int Run(const std::string& args) {
    const std::string command = std::string(SURVEY_BIN_DIR) + "/kavex-cli " + args + " >" +
                                (dir / "stdout").string() + " 2>" + (dir / "stderr").string();
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Read(const std::string& name) {
    std::ifstream in(dir / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  std::string Write(const std::string& name, const std::string& bytes) {
    std::ofstream(dir / name, std::ios::binary) << bytes;
    return (dir / name).string();
  }

  std::filesystem::path dir;
};

}  // namespace kavex::testing
