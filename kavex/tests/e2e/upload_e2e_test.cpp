// kavex-cli upload over the real serial adapter against instrument-sim's receiving side.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "kavex/tests/comm/test_blocks.h"
#include "sim_process.h"

namespace kavex {
namespace {

namespace fs = std::filesystem;
using testing::BlockLine;
using testing::ChildProcess;

const std::string kBin = SURVEY_BIN_DIR;
const std::string kStart =
    "\x02"
    "F00F000\x03\r\n";
const std::string kEnd = "\x02\x04\x03\r\n";

class UploadE2e : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("kavex_ul_e2e_" + std::to_string(getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  std::string WriteFile(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
    return Path(name);
  }
  std::string ReadFile(const std::string& name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  // Runs the simulator's receiving side and kavex-cli upload against it; the bytes the
  // instrument received are in "received".
  void Upload(const std::vector<std::string>& simArgs, const std::string& cliArgs) {
    std::vector<std::string> argv = {kBin + "/instrument-sim", "kavex-receive"};
    argv.insert(argv.end(), simArgs.begin(), simArgs.end());
    argv.insert(argv.end(), {"--out", Path("received"), "--idle-ms", "700"});
    ChildProcess sim(argv);
    ASSERT_TRUE(sim.Started());
    const std::string device = sim.FirstLine();
    ASSERT_FALSE(device.empty());
    const std::string command = kBin + "/kavex-cli upload " + cliArgs + " --port " + device +
                                " --interval 100 --timeout 1000 2>" + Path("stderr");
    const int status = std::system(command.c_str());
    cliExit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    simExit = sim.Wait();
  }

  fs::path dir_;
  int cliExit = -1;
  int simExit = -1;
};

std::string Sent(const std::string& payload, int number) {
  return BlockLine(payload, number);
}

TEST_F(UploadE2e, PointsFileWithAckNakReachesTheInstrumentByteExact) {
  const std::string pts = WriteFile("job.PTS", "P1,100.5,200.25,10\r\nP2,1,2,3\r\nP3\r\n");
  Upload({"coords", "--ack-nak"}, "coords " + pts + " --ack-nak --site JOB7 --points 3");
  EXPECT_EQ(cliExit, 0) << ReadFile("stderr");
  EXPECT_EQ(simExit, 0);
  const std::string stream =
      "_+P1        _ x +00200250_ y +00100500_ z +00010000_"
      "+P2        _ x +00002000_ y +00001000_ z +00003000_"
      "+P3        _ x +00000000_ y +00000000_ z +00000000_";
  // The xor of the 37 characters after STX is 56.
  const std::string initial = "\x02JOB7      +00001.000000200020-100003S056\x03\r\n";
  EXPECT_EQ(initial.size(), 44u);
  EXPECT_EQ(ReadFile("received"),
            kStart + initial + Sent(stream.substr(0, 128), 0) + Sent(stream.substr(128), 1) + kEnd);
}

TEST_F(UploadE2e, CodeBlocksWithoutHandshake) {
  const std::string blocks = Sent("_:001TREE      _:007WALL      _", 0);
  const std::string qr6 = WriteFile("codes.qr6", blocks);
  Upload({"codes"}, "codes " + qr6);
  EXPECT_EQ(cliExit, 0) << ReadFile("stderr");
  EXPECT_EQ(simExit, 0);
  EXPECT_EQ(ReadFile("received"), blocks + kEnd);
}

TEST_F(UploadE2e, NwfAndTerminalLines) {
  const std::string qr7 =
      WriteFile("job.qr7", "JOB     A\r\n\r\n" + std::string(191, 'L') + "\r\n");
  Upload({"nwf"}, "nwf " + qr7);
  EXPECT_EQ(cliExit, 0) << ReadFile("stderr");
  EXPECT_EQ(simExit, 0);
  EXPECT_EQ(ReadFile("received"), "JOB     A\r\n" + std::string(191, 'L') + "\r\n\x04");

  Upload({"terminal", "--lines", "2"}, "terminal " + qr7);
  EXPECT_EQ(cliExit, 0) << ReadFile("stderr");
  EXPECT_EQ(simExit, 0);
  EXPECT_EQ(ReadFile("received"), "JOB     A\r\n" + std::string(191, 'L') + "\r\n");
}

TEST_F(UploadE2e, RefusedBlockEndsTheUpload) {
  const std::string cod = WriteFile("list.cod", "TREE\r\nWALL\r\n");
  for (const char* how : {"--refuse", "--silent"}) {
    Upload({"codes", "--ack-nak", how, "0"}, "codes " + cod + " --ack-nak");
    EXPECT_EQ(cliExit, 4);
    EXPECT_EQ(simExit, 0);
    EXPECT_EQ(ReadFile("stderr"),
              "No response.\n0 of 1 lines were sent before the upload stopped.\n");
    EXPECT_EQ(ReadFile("received"), Sent("_:001TREE      _:002WALL      _", 0));
  }
}

}  // namespace
}  // namespace kavex
