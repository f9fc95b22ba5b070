// The real serial adapter against instrument-sim over a pseudo-terminal.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "kavex/comm/capture_file.h"
#include "kavex/formats/point_lists.h"
#include "kavex/platform/qt_serial_device.h"
#include "kavex/shell/download_commands.h"
#include "kavex/tests/comm/test_blocks.h"
#include "kavex/tests/support/scripted_prompts.h"
#include "sim_process.h"

namespace kavex {
namespace {

namespace fs = std::filesystem;
using testing::BlockLine;
using testing::ChildProcess;
using testing::ScriptedPrompts;

const std::string kBin = SURVEY_BIN_DIR;

struct GoDialogs : TransferDialogs {
  bool ShowCommStatus(TransferCommand command, CommSettings& settings) override {
    settings = ApplyPreparation(settings, CommStatusPreparationFor(command));
    return true;
  }
  TransferProgress& Progress() override { return progress; }
  TransferProgress progress;
};

class E2e : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "kavex_e2e_tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) app_ = new QCoreApplication(argc, argv);
  }
  static void TearDownTestSuite() {
    delete app_;
    app_ = nullptr;
  }

  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("kavex_e2e_" + std::to_string(getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    // kavex-cli's captures go to the test's folder, never the user's.
    setenv("XDG_DATA_HOME", dir_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("XDG_DATA_HOME");
    fs::remove_all(dir_);
  }

  std::string WriteFile(const std::string& name, const std::string& bytes) {
    const fs::path p = dir_ / name;
    std::ofstream(p, std::ios::binary) << bytes;
    return p.string();
  }
  static std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  // Runs one download of the program's own flow against the simulator.
  DownloadOutcome Download(DownloadKind kind, std::vector<std::string> simArgs,
                           const CommSettings& settings) {
    simArgs.insert(simArgs.begin(), kBin + "/instrument-sim");
    ChildProcess sim(simArgs);
    EXPECT_TRUE(sim.Started());
    const std::string device = sim.FirstLine();
    EXPECT_FALSE(device.empty());
    SystemClock clock;
    MainLogic logic(view, prompts, clock);
    logic.Settings().comm = settings;
    QtSerialDevice serial;
    CommPort port(serial, clock,
                  [&](const std::string& t) { logic.ShowMessage(t, kModeMessage, true); });
    port.SetPortPath("COM1", device);
    GoDialogs dialogs;
    const DownloadOutcome outcome = RunDownload(kind, logic, port, dialogs);
    simExit = sim.Wait();
    return outcome;
  }

  static CommSettings Fast() {
    CommSettings s;
    s.rateCode = 5;  // 38400
    s.delayTime = "10 ";
    s.receiveTimeout = "5000 ";
    return s;
  }

  MemoryDataView view;
  ScriptedPrompts prompts;
  int simExit = -1;
  fs::path dir_;
  static inline QCoreApplication* app_ = nullptr;
};

TEST_F(E2e, TerminalLinesUntilDc1) {
  EXPECT_EQ(Download(DownloadKind::Terminal,
                     {"kavex-text", "--line", "A", "--line", "B C", "--end", "dc1"}, Fast()),
            DownloadOutcome::Completed);
  EXPECT_EQ(view.Lines(), (std::vector<std::string>{"A", "B C"}));
  EXPECT_EQ(simExit, 0);
}

TEST_F(E2e, NwfFileUntilEot) {
  const std::string file = WriteFile("job.qr7", "JOB     SITE1\r\nSTN     1,1.5,\r\n");
  EXPECT_EQ(Download(DownloadKind::Nwf, {"kavex-text", "--file", file, "--baud", "9600"}, Fast()),
            DownloadOutcome::Completed);
  EXPECT_EQ(view.Lines(), (std::vector<std::string>{"JOB     SITE1", "STN     1,1.5,"}));
}

TEST_F(E2e, Qrx6AckNakWithASpoiledBlockArrivesByteExact) {
  std::string disk;
  for (int i = 0; i < 12; ++i) disk += BlockLine("_+P" + std::to_string(i) + "_ x1000_", i % 10);
  const std::string file = WriteFile("data.qr6", disk);
  CommSettings s = Fast();
  s.useAckNak = true;
  EXPECT_EQ(
      Download(DownloadKind::Qrx6,
               {"kavex-qrx6", "--file", file, "--ack-nak", "--spoil", "4", "--baud", "38400"}, s),
      DownloadOutcome::Completed);
  std::string got;
  for (const auto& l : view.Lines()) got += l + "\r\n";
  EXPECT_EQ(got, disk);
  EXPECT_EQ(simExit, 0);  // the simulator saw ENQ, the NAK, the repeat and the final ACK
}

TEST_F(E2e, Qrx6WithoutHandshakeStopsAtASpoiledBlock) {
  prompts.ExpectMessage("Invalid Data.");
  EXPECT_EQ(Download(DownloadKind::Qrx6, {"kavex-qrx6", "--blocks", "5", "--spoil", "2"}, Fast()),
            DownloadOutcome::Failed);
  EXPECT_EQ(view.LineCount(), 2u);
}

// The made-up blocks are coordinate records the data edit and the DXF export can read; the
// one made bad on purpose is found with its line and field.
TEST_F(E2e, Qrx6MadeUpBlocksAreCoordinateRecords) {
  const struct {
    std::vector<std::string> extra;
    size_t rows;
    const char* stop;
  } cases[] = {
      // 6 blocks: 768 characters, 15 whole records of 51 after the leading "_".
      {{}, 15, ""},
      {{"--bad-record", "3"}, 0, "line 2, field x: 11 characters where the record holds 10"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stop);
    std::vector<std::string> args = {"kavex-qrx6", "--blocks", "6"};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    view.SetLines({});
    view.SetModified(false);
    ASSERT_EQ(Download(DownloadKind::Qrx6, args, Fast()), DownloadOutcome::Completed);
    ASSERT_EQ(view.LineCount(), 6u);
    RecordStop stop;
    const auto rows = ReadCoordinateList(view.Lines(), &stop);
    EXPECT_EQ(rows ? rows->size() : 0u, c.rows);
    if (rows && c.rows > 1) {
      // P2 at x 1017, y 2029, z 103 millimetres.
      EXPECT_EQ((*rows)[1].name, "P2        ");
      EXPECT_EQ((*rows)[1].x, "      1.017");
      EXPECT_EQ((*rows)[1].y, "      2.029");
      EXPECT_EQ((*rows)[1].z, "      0.103");
    }
    EXPECT_EQ(rows ? "" : RecordStopText(stop), c.stop);
  }
}

TEST_F(E2e, HkLinesAnsweredUntilZ) {
  CommSettings s = Fast();
  EXPECT_EQ(
      Download(DownloadKind::Hk,
               {"kavex-hk", "--line", "a,11,JOB1,M1,,1612311200,", "--line", "Z,", "--spoil", "0"},
               s),
      DownloadOutcome::Completed);
  // "a,11,JOB1,M1,,1612311200," sums to 1350, 1350 mod 64 = 6, check 38 "&";
  // "Z," sums to 134, mod 64 = 6, check "&" too.
  EXPECT_EQ(view.Lines(), (std::vector<std::string>{"a,11,JOB1,M1,,1612311200,& ", "Z,& "}));
  EXPECT_EQ(simExit, 0);
}

TEST_F(E2e, CliDownloadsQrx6WithTrace) {
  std::string disk;
  for (int i = 0; i < 15; ++i) disk += BlockLine("_+Q" + std::to_string(i) + "_", i % 10);
  const std::string file = WriteFile("cli.qr6", disk);
  ChildProcess sim(
      {kBin + "/instrument-sim", "kavex-qrx6", "--file", file, "--ack-nak", "--baud", "38400"});
  const std::string device = sim.FirstLine();
  const std::string out = (dir_ / "out.qr6").string();
  const std::string trace = (dir_ / "trace.txt").string();
  ChildProcess cli({kBin + "/kavex-cli", "download", "qrx6", "--port", device, "--ack-nak",
                    "--baud", "38400", "--delay", "10", "-o", out, "--trace", trace});
  EXPECT_EQ(cli.Wait(), 0);
  EXPECT_EQ(sim.Wait(), 0);
  EXPECT_EQ(ReadFile(out), disk);
  const std::string t = ReadFile(trace);
  EXPECT_NE(t.find("TX <ENQ>"), std::string::npos);
  EXPECT_NE(t.find("RX <EOT>"), std::string::npos);
  EXPECT_NE(t.find("<STX>_+Q14_"), std::string::npos);
}

TEST_F(E2e, CliKeepsTheLinesBeforeAFailure) {
  ChildProcess sim({kBin + "/instrument-sim", "kavex-hk", "--line", "a,11,", "--line", "b,11,"});
  const std::string device = sim.FirstLine();
  const std::string out = (dir_ / "levels.hk1").string();
  // The simulator stops after two lines without a "Z" line: the third read times out.
  ChildProcess cli({kBin + "/kavex-cli", "download", "hk", "--port", device, "--delay", "10",
                    "--timeout", "1000", "-o", out});
  EXPECT_EQ(cli.Wait(), 4);  // the instrument fell silent: a device error
  EXPECT_EQ(sim.Wait(), 0);
  // "a,11," sums to 97+44+49+49+44 = 283, mod 64 = 27, check 59 ";"; "b,11," 284 -> "<".
  EXPECT_EQ(ReadFile(out), "a,11,; \r\nb,11,< \r\n");
}

// kavex-cli killed in the middle of a slow download leaves its capture; recover restores
// every line accepted up to the kill, whole lines only, in order.
TEST_F(E2e, CliKilledMidDownloadIsRecovered) {
  std::string text;
  for (int i = 0; i < 60; ++i) text += "PT" + std::to_string(1000 + i) + ",12.345,67.890\r\n";
  std::string blocks;
  for (int i = 0; i < 40; ++i) blocks += BlockLine("_+K" + std::to_string(i) + "_", i % 10);
  struct Case {
    const char* kind;
    std::string sent;  // what the instrument sends, as the output file would hold it
    std::vector<std::string> sim;
    std::vector<std::string> cli;
  };
  const Case cases[] = {
      // A second before the first line: by then the port is open and purged.
      {"terminal",
       text,
       {"kavex-text", "--baud", "1200", "--start-ms", "1000"},
       {"--baud", "1200"}},
      {"qrx6",
       blocks,
       {"kavex-qrx6", "--ack-nak", "--baud", "2400"},
       {"--baud", "2400", "--ack-nak", "--delay", "10"}},
  };
  const fs::path captures = dir_ / "Kavex" / "Captures";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    fs::remove_all(captures);
    std::vector<std::string> simArgs = {kBin + "/instrument-sim"};
    simArgs.insert(simArgs.end(), c.sim.begin(), c.sim.end());
    simArgs.push_back("--file");
    simArgs.push_back(WriteFile(std::string(c.kind) + ".in", c.sent));
    ChildProcess sim(simArgs);
    const std::string device = sim.FirstLine();
    const std::string out = (dir_ / (std::string(c.kind) + ".out")).string();
    std::vector<std::string> cliArgs = {
        kBin + "/kavex-cli", "download", c.kind, "--port", device, "-o", out};
    cliArgs.insert(cliArgs.end(), c.cli.begin(), c.cli.end());
    ChildProcess cli(cliArgs);
    // Killed once a few lines are in: the line is far from its end at these rates.
    std::vector<CaptureInfo> found;
    for (int i = 0; i < 500; ++i) {
      found = ListCaptures(captures);
      if (found.size() == 1 && found[0].records >= 3) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    cli.Kill();
    sim.Kill(SIGTERM);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_FALSE(fs::exists(out));

    const std::vector<CaptureInfo> left = ListCaptures(captures);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].header.kind, c.kind);
    EXPECT_EQ(left[0].header.destination, out);
    const std::string restored = (dir_ / "restored").string();
    ChildProcess recover(
        {kBin + "/kavex-cli", "recover", "restore", left[0].name, "-o", restored, "--force"});
    EXPECT_EQ(recover.Wait(), 0);
    const std::string got = ReadFile(restored);
    EXPECT_GE(got.size(), found[0].dataBytes);
    EXPECT_LT(got.size(), c.sent.size());
    EXPECT_EQ(got, c.sent.substr(0, got.size()));
    EXPECT_TRUE(got.ends_with("\r\n"));
    EXPECT_TRUE(ListCaptures(captures).empty());
  }
}

// Each kind of failure has its own status: a script tells a typo in its options from a bad
// file and from an unplugged cable.
TEST_F(E2e, CliExitStatuses) {
  const std::string noPort = (dir_ / "no-such-port").string();
  const std::string existing = WriteFile("old.txt", "keep\r\n");
  const std::string trace = (dir_ / "no" / "trace.txt").string();
  struct Case {
    std::vector<std::string> args;
    int exit;
  };
  const Case cases[] = {
      {{"--help"}, 0},
      {{}, 2},
      {{"transfer"}, 2},
      {{"download"}, 2},
      {{"download", "qrx7", "--port", "/dev/null"}, 2},
      {{"download", "qrx6"}, 2},
      {{"download", "qrx6", "--port", "x", "--baud", "9601"}, 2},
      {{"download", "hk", "--port", "x", "--delay", "5"}, 2},
      {{"upload", "terminal", existing, "--port", "x", "--bogus"}, 2},
      {{"download", "terminal", "--port", noPort, "-o", existing}, 1},
      {{"download", "terminal", "--port", noPort, "-o", (dir_ / "no" / "x.txt").string()}, 1},
      {{"download", "terminal", "--port", noPort, "--trace", trace}, 1},
      {{"upload", "terminal", (dir_ / "missing.txt").string(), "--port", noPort}, 1},
      {{"upload", "terminal", existing, "--port", noPort, "--trace", trace}, 1},
      {{"download", "terminal", "--port", noPort}, 4},
      {{"download", "terminal", "--port", noPort, "--force", "-o", existing}, 4},
      {{"upload", "terminal", existing, "--port", noPort}, 4},
  };
  for (const auto& c : cases) {
    std::vector<std::string> argv = {kBin + "/kavex-cli"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    ChildProcess cli(argv);
    std::string shown;
    for (const std::string& a : c.args) shown += a + " ";
    EXPECT_EQ(cli.Wait(), c.exit) << shown;
  }
}

}  // namespace
}  // namespace kavex
