// The real serial adapter against instrument-sim over a pseudo-terminal: each link protocol
// once in each direction.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include "ulvo/platform/qt_serial_device.h"
#include "ulvo/tests/e2e/simulator.h"
#include "ulvo/transfer/capture_file.h"
#include "ulvo/transfer/culvo_serial.h"

namespace ulvo {
namespace {

class PtyTransfer : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "ulvo_transfer_pty_tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) app_ = std::make_unique<QCoreApplication>(argc, argv);
  }
  static void TearDownTestSuite() { app_.reset(); }

  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("ulvo_pty_" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string Path(const char* name) const { return (dir_ / name).string(); }
  void Write(const char* name, const std::string& bytes) const {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
  }
  std::string Read(const char* name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  static CInstrument Instrument(uint32_t formatBit, uint32_t softBit) {
    std::ostringstream plain;
    plain << "[HEADER]\nVERSION=1\nTITLE=INSTRUMENT INTERFACE FILE\nINSTRUMENT=Pty\n"
          << "[CAPABILITIES]\n";
    for (const char* d : {"SEND", "RECEIVE"})
      plain << d << "BAUDRATES=64\n"
            << d << "PARITY=1\n"
            << d << "DATABITS=8\n"
            << d << "STOPBITS=1\n"
            << d << "DATAFORMAT=" << formatBit << "\n"
            << d << "SOFTHANDSHAKE=" << softBit << "\n";
    plain << "[DEFAULTS]\n";
    for (const char* d : {"SEND", "RECEIVE"}) plain << d << "SOFTHANDSHAKE=" << softBit << "\n";
    CInstrument i;
    EXPECT_TRUE(i.LoadInterfaceText(EncodeInterfaceText(plain.str()), nullptr));
    return i;
  }

  // Whole CR LF lines, as every layout carries them.
  static std::string Sample(size_t lines) {
    std::string s;
    for (size_t n = 0; n < lines; ++n)
      s += "PT" + std::to_string(1000 + n) + ",4500.123,1200.456,12.345\r\n";
    return s;
  }

  static std::unique_ptr<QCoreApplication> app_;
  std::filesystem::path dir_;
};

std::unique_ptr<QCoreApplication> PtyTransfer::app_;

struct Case {
  const char* format;
  uint32_t formatBit;
  const char* handshake;
  uint32_t softBit;
};

const Case kReceiveCases[] = {
    {"ASCII", 1, "none", 0},
    {"ITF00", 2, "acknak", 2},
    {"ITF01", 4, "none", 0},
    {"ITF02", 8, "acknak2", 4},
};

const Case kSendCases[] = {
    {"ASCII", 1, "acknak", 2},
    {"ITF00", 2, "acknak", 2},
    {"ITF01", 4, "acknak", 2},
    {"ITF02", 8, "acknak2", 4},
};

TEST_F(PtyTransfer, ReceiveEachProtocol) {
  for (const Case& c : kReceiveCases) {
    const std::string data = Sample(30);
    Write("source", data);
    Simulator sim(
        {"ulvo-send", "--format", c.format, "--handshake", c.handshake, "--file", Path("source")});
    ASSERT_FALSE(sim.Path().empty());
    QtSerialDevice device;
    CULVOSerial serial(device);
    const uint32_t result = serial.Run(nullptr, Instrument(c.formatBit, c.softBit), sim.Path(),
                                       kDirectionReceive, Path("received"));
    EXPECT_EQ(result, 0u) << c.format;
    EXPECT_EQ(serial.Status(), 10u) << c.format;
    EXPECT_EQ(sim.Wait(), 0) << c.format;
    std::string got = Read("received");
    if (c.formatBit == 2 || c.formatBit == 4) {
      // Blocks arrive padded with spaces to their full length.
      ASSERT_GE(got.size(), data.size()) << c.format;
      EXPECT_EQ(got.find_first_not_of(' ', data.size()), std::string::npos) << c.format;
      got.resize(data.size());
    }
    EXPECT_EQ(got, data) << c.format;
  }
}

TEST_F(PtyTransfer, SendEachProtocol) {
  for (const Case& c : kSendCases) {
    const std::string data = Sample(20);
    Write("source", data);
    Simulator sim({"ulvo-receive", "--format", c.format, "--handshake", c.handshake, "--expect",
                   Path("source")});
    ASSERT_FALSE(sim.Path().empty());
    QtSerialDevice device;
    CULVOSerial serial(device);
    const uint32_t result = serial.Run(nullptr, Instrument(c.formatBit, c.softBit), sim.Path(),
                                       kDirectionSend, Path("source"));
    EXPECT_EQ(result, 0u) << c.format;
    EXPECT_EQ(serial.Status(), 10u) << c.format;
    EXPECT_EQ(sim.Wait(), 0) << c.format;
  }
}

TEST_F(PtyTransfer, SendRecoversFromRejectedBlocks) {
  Write("source", Sample(12));
  Simulator sim({"ulvo-receive", "--format", "ITF00", "--handshake", "acknak", "--nak-first", "2",
                 "--expect", Path("source")});
  QtSerialDevice device;
  CULVOSerial serial(device);
  EXPECT_EQ(serial.Run(nullptr, Instrument(2, 2), sim.Path(), kDirectionSend, Path("source")), 0u);
  EXPECT_EQ(sim.Wait(), 0);
}

// In acknak the instrument sends once the computer's ENQ has come, and waits for it as long
// as --wait-ms says: a computer that comes late within it is served, one that does not come
// is given up on long before the default wait.
TEST_F(PtyTransfer, SendingInstrumentWaitsForEnqAsLongAsTold) {
  struct WaitCase {
    const char* waitMs;
    int computerAfterMs;  // -1: no computer at all
    int exitCode;
  };
  const WaitCase cases[] = {
      {"300", -1, 1},
      {"6000", 1500, 0},
  };
  const std::string data = Sample(3);
  Write("source", data);
  for (const WaitCase& c : cases) {
    SCOPED_TRACE(c.waitMs);
    std::filesystem::remove(Path("received"));
    const auto start = std::chrono::steady_clock::now();
    Simulator sim({"ulvo-send", "--format", "ITF00", "--handshake", "acknak", "--wait-ms", c.waitMs,
                   "--file", Path("source")});
    ASSERT_FALSE(sim.Path().empty());
    if (c.computerAfterMs >= 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(c.computerAfterMs));
      QtSerialDevice device;
      CULVOSerial serial(device);
      EXPECT_EQ(
          serial.Run(nullptr, Instrument(2, 2), sim.Path(), kDirectionReceive, Path("received")),
          0u);
      const std::string got = Read("received");
      EXPECT_EQ(got.substr(0, std::min(got.size(), data.size())), data);
    }
    EXPECT_EQ(sim.Wait(), c.exitCode);
    // Far below the default wait of 15 s: the option was taken.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  }
}

// Runs ulvo-cli with the program folder of the build tree (or home) and a private per-user
// store and data folder; standard error goes to errors, else to the file "stderr" there.
int RunCli(const std::vector<std::string>& args, const std::filesystem::path& config,
           const std::string& home = SURVEY_BIN_DIR, const std::string& errors = {}) {
  const pid_t pid = fork();
  if (pid == 0) {
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    setenv("XDG_DATA_HOME", config.c_str(), 1);
    const std::string into = errors.empty() ? (config / "stderr").string() : errors;
    if (!std::freopen(into.c_str(), "w", stderr)) _exit(126);
    std::vector<std::string> all = {SURVEY_BIN_DIR "/ulvo-cli", "--home", home};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// ulvo-cli killed in the middle of a slow receive leaves its capture; recover restores the
// bytes of every record accepted up to the kill, whole records only.
TEST_F(PtyTransfer, CliKilledMidReceiveIsRecovered) {
  namespace fs = std::filesystem;
  struct KillCase {
    const char* instrument;
    const char* format;
    const char* handshake;
    const char* baud;
    size_t record;  // the bytes one accepted record adds (0: as the reads come)
  };
  const KillCase cases[] = {
      {"TS40", "ITF02", "acknak2", "1200", 0},
      {"TS60", "ITF00", "acknak", "4800", 128},
      {"TERMINAL", "ASCII", "none", "1200", 0},
  };
  const std::string data = Sample(120);
  Write("source", data);
  const fs::path captures = dir_ / "ULVO" / "Captures";
  for (const KillCase& c : cases) {
    SCOPED_TRACE(c.format);
    fs::remove_all(captures);
    fs::remove(Path("received"));
    // The instrument starts a second after: by then the port is open and purged.
    Simulator sim({"ulvo-send", "--format", c.format, "--handshake", c.handshake, "--baud", c.baud,
                   "--delay-ms", "1000", "--file", Path("source")});
    const pid_t cli = fork();
    if (cli == 0) {
      setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
      setenv("XDG_DATA_HOME", dir_.c_str(), 1);
      if (!std::freopen(Path("stderr").c_str(), "w", stderr)) _exit(126);
      execl(SURVEY_BIN_DIR "/ulvo-cli", "ulvo-cli", "--home", SURVEY_BIN_DIR, "transfer",
            "--receive", "--instrument", c.instrument, "--port", sim.Path().c_str(), "--format",
            c.format, "--handshake", c.handshake, "--baud", c.baud, Path("received").c_str(),
            static_cast<char*>(nullptr));
      _exit(127);
    }
    std::vector<CaptureInfo> found;
    for (int i = 0; i < 1000; ++i) {
      found = ListCaptures(captures);
      if (found.size() == 1 && found[0].records >= 3) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(cli, SIGKILL);
    waitpid(cli, nullptr, 0);
    ASSERT_EQ(found.size(), 1u) << Read("stderr");
    EXPECT_FALSE(fs::exists(Path("received")));

    const std::vector<CaptureInfo> left = ListCaptures(captures);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].header.destination, Path("received"));
    EXPECT_EQ(RunCli({"recover", "restore", left[0].name, "-o", Path("restored")}, dir_), 0)
        << Read("stderr");
    const std::string got = Read("restored");
    fs::remove(Path("restored"));
    EXPECT_GE(got.size(), found[0].dataBytes);
    EXPECT_LT(got.size(), data.size());
    EXPECT_EQ(got, data.substr(0, got.size()));
    if (c.record != 0) {
      EXPECT_EQ(got.size() % c.record, 0u);
    }
    if (std::string(c.format) == "ITF02") {
      EXPECT_TRUE(got.ends_with("\r\n"));
    }
    EXPECT_TRUE(ListCaptures(captures).empty());
  }
}

TEST_F(PtyTransfer, CliReceivesBlocksByteExact) {
  std::string data;
  for (int n = 0; n < 5 * 128; ++n) data += static_cast<char>(n % 251);
  Write("source", data);
  Simulator sim(
      {"ulvo-send", "--format", "ITF00", "--handshake", "acknak", "--file", Path("source")});
  EXPECT_EQ(RunCli({"transfer", "--receive", "--instrument", "Total station TS-60", "--port",
                    sim.Path(), "--format", "ITF00", "--handshake", "acknak", "--trace",
                    Path("trace"), Path("received")},
                   dir_),
            0);
  EXPECT_EQ(sim.Wait(), 0);
  EXPECT_EQ(Read("received"), data);
  EXPECT_NE(Read("trace").find("-> <ENQ>"), std::string::npos);
}

TEST_F(PtyTransfer, CliSendsLinesCheckedByTheInstrument) {
  Write("source", "PT1 100.0 200.0\r\nPT2 110.5 210.25\r\nCODE TREE\r\n");
  Simulator sim(
      {"ulvo-receive", "--format", "ITF02", "--handshake", "acknak2", "--expect", Path("source")});
  EXPECT_EQ(RunCli({"transfer", "--send", "--instrument", "Total station TS-40", "--port",
                    sim.Path(), "--option", "0", Path("source")},
                   dir_),
            0);
  EXPECT_EQ(sim.Wait(), 0);
}

TEST_F(PtyTransfer, CliRefusesSettingsOutsideTheInstrument) {
  Write("source", "x");
  const std::vector<std::vector<std::string>> cases = {
      {"transfer", "--send", "--instrument", "Total station TS-40", "--port", "/dev/null", "--baud",
       "600", Path("source")},
      {"transfer", "--send", "--instrument", "Total station TS-40", "--port", "/dev/null",
       "--format", "ITF00", Path("source")},
      {"transfer", "--send", "--instrument", "Total station TS-40", "--port", "/dev/null",
       "--handshake", "acknak", Path("source")},
      {"transfer", "--send", "--instrument", "No such instrument", "--port", "/dev/null",
       Path("source")},
      {"transfer", "--send", "--instrument", "Total station TS-40", "--port", "/dev/null",
       "--option", "7", Path("source")},
      {"transfer", "--instrument", "Total station TS-40", "--port", "/dev/null", Path("source")},
  };
  for (const auto& args : cases) EXPECT_EQ(RunCli(args, dir_), 2) << args[6];
}

// Each kind of failure has its own status: a script tells a typo in its options from a bad
// file, an unplugged cable and a conversion that lost data.
TEST_F(PtyTransfer, CliExitStatuses) {
  Write("source", "x\r\n");
  Write("empty", "");
  Write("def.xml", "<format name=\"f\" type=\"Coordinates\"><record></format>");
  const std::string noPort = Path("no-such-port");
  const std::vector<std::string> send = {"transfer", "--send", "--instrument", "TS40", "--port"};
  auto with = [](std::vector<std::string> all, const std::vector<std::string>& more) {
    all.insert(all.end(), more.begin(), more.end());
    return all;
  };
  struct Status {
    std::vector<std::string> args;
    int exit;
  };
  const Status cases[] = {
      {{"--help"}, 0},
      {{"ports"}, 0},
      {{}, 2},
      {{"no-such-command"}, 2},
      {{"ports", "extra"}, 2},
      {with(send, {noPort, "--bogus", Path("source")}), 2},
      {with(send, {noPort, "--baud", "600", Path("source")}), 2},
      {{"iif", "decode", Path("missing")}, 1},
      {{"parse", Path("def.xml"), Path("source")}, 1},
      {with(send, {noPort, Path("missing")}), 1},
      {with(send, {noPort, dir_.string()}), 1},
      {with(send, {noPort, "--trace", Path("no/trace"), Path("source")}), 1},
      {with(send, {noPort, Path("source")}), 4},
  };
  for (const Status& c : cases) {
    std::string shown;
    for (const std::string& a : c.args) shown += a + " ";
    EXPECT_EQ(RunCli(c.args, dir_), c.exit) << shown << Read("stderr");
  }
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST_F(PtyTransfer, CliReceiveNeverLosesData) {
  const std::vector<std::string> receive = {"transfer",    "--receive", "--instrument", "TS60.IIF",
                                            "--handshake", "ACK NAK",   "--port"};
  auto with = [&](std::vector<std::string> more) {
    std::vector<std::string> all = receive;
    all.insert(all.end(), more.begin(), more.end());
    return all;
  };
  // An existing file is kept unless --force says otherwise; the port is not touched.
  Write("received", "keep");
  EXPECT_EQ(RunCli(with({"/dev/null", Path("received")}), dir_), 1);
  EXPECT_EQ(Read("received"), "keep");
  EXPECT_TRUE(Has(Read("stderr"),
                  Path("received") + "\nThis file already exists.\nReplace existing file?\n"));
  EXPECT_FALSE(Has(Read("stderr"), "Initializing the comport"));

  // A folder that does not exist: refused before the instrument is asked for anything.
  EXPECT_EQ(RunCli(with({"/dev/null", Path("missing/received")}), dir_), 1);
  EXPECT_TRUE(Has(Read("stderr"), "Error: Failed writing the destinationfile\n"));
  EXPECT_TRUE(Has(Read("stderr"), Path("missing/received") + ": No such file or directory\n"));

  // A port that is not there: a device error, with the transfer's text and the device's own
  // reason.
  EXPECT_EQ(RunCli(with({Path("no-tty"), Path("new")}), dir_), 4);
  EXPECT_TRUE(Has(Read("stderr"), "Error: Could not initialize the compot\n" + Path("no-tty") +
                                      ": No such file or directory\n"));

  // A disk that fills up while the instrument sends: the data lands in the data folder.
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  const std::string data = Sample(4);
  Write("source", data);
  Simulator sim(
      {"ulvo-send", "--format", "ITF00", "--handshake", "acknak", "--file", Path("source")});
  EXPECT_EQ(RunCli(with({sim.Path(), "--force", "/dev/full"}), dir_), 1);
  EXPECT_EQ(sim.Wait(), 0);
  const auto fallback = dir_ / "ULVO" / "Received" / "full";
  EXPECT_TRUE(Has(Read("stderr"),
                  "/dev/full: No space left on device\n"
                  "The received data was saved to " +
                      fallback.string() + "\n"))
      << Read("stderr");
  std::ifstream in(fallback, std::ios::binary);
  const std::string saved(std::istreambuf_iterator<char>(in), {});
  EXPECT_EQ(saved.substr(0, data.size()), data);  // the last block is padded with blanks
}

// ulvo-cli transfer --receive --force against a silent instrument: the existing file stays
// byte for byte, and the error says why.
TEST_F(PtyTransfer, CliReceiveOfNothingKeepsTheExistingFile) {
  namespace fs = std::filesystem;
  const fs::path home = dir_ / "home";
  fs::create_directories(home / "IIF");
  std::ifstream in(fs::path(SURVEY_BIN_DIR) / "IIF" / "TS60.IIF", std::ios::binary);
  std::string plain = DecodeInterfaceText(std::string(std::istreambuf_iterator<char>(in), {}));
  // Reads of 20 ms: the ten polls of a silent instrument take a fifth of a second.
  plain = plain.substr(0, plain.find("[TIMEOUTS]")) +
          "[TIMEOUTS]\nREADINTERVALTIMEOUT=20\nREADTOTALTIMEOUTMULTIPLIER=0\n"
          "READTOTALTIMEOUTCONSTANT=20\n";
  Write("home/IIF/TS60.IIF", EncodeInterfaceText(plain));
  Write("job.itf", "yesterday's job");
  Simulator sim({"ulvo-receive", "--format", "ITF00", "--handshake", "acknak", "--silent"});
  EXPECT_EQ(RunCli({"transfer", "--receive", "--instrument", "TS60", "--port", sim.Path(),
                    "--force", Path("job.itf")},
                   dir_, home.string()),
            4);  // "No response was received": a device error
  EXPECT_EQ(Read("job.itf"), "yesterday's job");
  const std::string errors = Read("stderr");
  EXPECT_TRUE(Has(errors, "Error: No response was received from the intrument\n")) << errors;
  EXPECT_TRUE(Has(errors, "\nno answer from the instrument within 0.")) << errors;
  EXPECT_TRUE(Has(errors, "Nothing was received; " + Path("job.itf") + " was left as it was\n"))
      << errors;
  EXPECT_FALSE(Has(errors, "Writing the destinationfile")) << errors;
  for (const auto& entry : fs::directory_iterator(dir_))  // nothing left beside it
    EXPECT_EQ(entry.path().filename().string().find("job.itf."), std::string::npos);
}

TEST_F(PtyTransfer, CliTextsComeFromTheTranslationsFile) {
  namespace fs = std::filesystem;
  const fs::path home = dir_ / "home";
  fs::create_directories(home);
  fs::copy(fs::path(SURVEY_BIN_DIR) / "IIF", home / "IIF");
  Write("home/ulvo.tft",
        "TRANSLATIONS FILE ULVO\r\nVERSION 1.0\r\n"
        "MSG_TMES_INITIALIZING = \"Poort instellen\"\r\n"
        "MSG_TMES_TRANSFERFAIL = \"Mislukt\"\r\n");
  Write("source", "x\r\n");
  EXPECT_EQ(RunCli({"transfer", "--send", "--instrument", "Total station TS-40", "--port",
                    Path("no-such-port"), Path("source")},
                   dir_, home.string(), Path("errors")),
            4);  // "Could not initialize the compot"
  const std::string errors = Read("errors");
  EXPECT_NE(errors.find("Poort instellen\n"), std::string::npos) << errors;
  EXPECT_NE(errors.find("Mislukt\n"), std::string::npos) << errors;
  EXPECT_EQ(errors.find("Transfer failed"), std::string::npos) << errors;
}

}  // namespace
}  // namespace ulvo
