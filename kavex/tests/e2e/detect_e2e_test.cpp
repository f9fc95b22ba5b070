// kavex-cli detect and a download at 7 data bits against instrument-sim's line model.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "sim_process.h"

namespace kavex {
namespace {

namespace fs = std::filesystem;
using testing::ChildProcess;

const std::string kBin = SURVEY_BIN_DIR;

std::string LinesFile(int count) {
  const fs::path path = fs::temp_directory_path() / ("kavex_detect_" + std::to_string(getpid()));
  std::ofstream out(path, std::ios::binary);
  for (int i = 0; i < count; ++i)
    out << "1100" << (10 + i % 90) << "+00000000000" << (1000 + i) << " 81..00+0000000000" << i
        << "\r\n";
  return path.string();
}

TEST(DetectE2e, CliFindsTheInstrumentsSettings) {
  const std::string lines = LinesFile(3000);
  struct Case {
    const char* line;  // instrument-sim --line
    std::vector<std::string> scenario;
    const char* found;
  };
  const Case cases[] = {
      {"9600,7,even,1", {"kavex-text", "--file", lines}, "9600 7E1\n"},
      {"2400,8,odd,1", {"kavex-qrx6", "--blocks", "40"}, "2400 8O1\n"},
      {"57600,8,none,1", {"kavex-text", "--file", lines}, "57600 8N1\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> argv = {kBin + "/instrument-sim", "--line", c.line};
    argv.insert(argv.end(), c.scenario.begin(), c.scenario.end());
    argv.insert(argv.end(), {"--start-ms", "500"});
    ChildProcess sim(argv);
    const std::string device = sim.FirstLine();
    ASSERT_FALSE(device.empty());
    ChildProcess cli({kBin + "/kavex-cli", "detect", "--port", device, "--seconds", "12"});
    EXPECT_EQ(cli.ReadAll(), c.found) << c.line;
    EXPECT_EQ(cli.Wait(), 0) << c.line;
  }
  fs::remove(lines);
}

// A port set to 7E1 as the instrument is gets its lines; set to 8N1 at another speed, nothing
// that makes a line.
TEST(DetectE2e, SevenBitsEvenParityReachThePort) {
  struct Case {
    std::vector<std::string> port;
    int exit;
    const char* lines;
  };
  const Case cases[] = {
      {{"--baud", "9600", "--bits", "7", "--parity", "even"}, 0, "PT1 12.345\r\nPT2 0.5\r\n"},
      {{"--baud", "19200"}, 4, ""},
  };
  for (const Case& c : cases) {
    ChildProcess sim({kBin + "/instrument-sim", "--line", "9600,7,even,1", "kavex-text", "--line",
                      "PT1 12.345", "--line", "PT2 0.5", "--start-ms", "300"});
    const std::string device = sim.FirstLine();
    std::vector<std::string> argv = {kBin + "/kavex-cli", "download", "terminal", "--port", device,
                                     "--timeout",         "2000"};
    argv.insert(argv.end(), c.port.begin(), c.port.end());
    ChildProcess cli(argv);
    EXPECT_EQ(cli.ReadAll(), c.lines);
    EXPECT_EQ(cli.Wait(), c.exit);
  }
}

}  // namespace
}  // namespace kavex
