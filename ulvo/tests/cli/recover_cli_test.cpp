#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "ulvo/transfer/capture_file.h"
#include "ulvo/transfer/clock.h"

namespace ulvo {
namespace {

namespace fs = std::filesystem;

// ulvo-cli recover with the per-user data folder moved into the test's own (XDG_DATA_HOME).
class UlvoRecoverCli : public ::testing::Test {
 public:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("ulvo_recover_" +
           std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "_" +
           std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    setenv("XDG_DATA_HOME", dir.c_str(), 1);
    captures = dir / "ULVO" / "Captures";
  }
  void TearDown() override { fs::remove_all(dir); }

  int Run(const std::string& args) {
    const std::string command = std::string(SURVEY_BIN_DIR) + "/ulvo-cli recover " + args + " >" +
                                (dir / "stdout").string() + " 2>" + (dir / "stderr").string();
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Read(const std::string& name) {
    std::ifstream in(dir / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  // A receive left as a kill leaves it; the capture's name.
  std::string Capture(const std::string& destination, const std::vector<std::string>& records,
                      int64_t started = 1767609067) {
    CaptureHeader h;
    h.instrument = "TS60";
    h.kind = "ITF02, ACK NAK2";
    h.port = "/dev/pts/5 9600,none,8,1";
    h.started = started;
    h.destination = destination;
    std::string problem;
    auto w = CaptureWriter::Create(captures, h, clock, problem);
    EXPECT_TRUE(w) << problem;
    for (const auto& r : records) w->Append(r);
    return w->Path().stem().string();
  }
  bool Exists(const std::string& name) { return fs::exists(captures / (name + ".ucapture")); }

  fs::path dir;
  fs::path captures;
  SteadyClock clock;
};

TEST_F(UlvoRecoverCli, ListsRestoresAndDiscards) {
  const std::string dest = (dir / "received.txt").string();
  const std::string a = Capture(dest, {"P1,1,2\r\n", "P2,3,4\r\n"}, 100);
  const std::string b = Capture((dir / "gone" / "r.txt").string(), {"x"}, 200);

  EXPECT_EQ(Run("list"), 0);
  const std::string out = Read("stdout");
  const size_t cut = out.find('\n') + 1;
  EXPECT_TRUE(out.starts_with(a + "\t")) << out;
  EXPECT_TRUE(out.substr(0, cut).ends_with("\tTS60\tITF02, ACK NAK2\t16 bytes\t" + dest +
                                           "\t/dev/pts/5 9600,none,8,1\t\n"))
      << out;
  EXPECT_TRUE(out.substr(cut).starts_with(b + "\t")) << out;

  // Into the receive's own file: the bytes the file would have had.
  EXPECT_EQ(Run("restore " + a), 0) << Read("stderr");
  EXPECT_EQ(Read("received.txt"), "P1,1,2\r\nP2,3,4\r\n");
  EXPECT_EQ(Read("stderr"), "Restored 16 bytes to " + dest + "\n");
  EXPECT_FALSE(Exists(a));

  // Its folder has gone: refused with the reason, the capture stays for another place.
  EXPECT_EQ(Run("restore " + b), 1);
  EXPECT_EQ(Read("stderr"), "Failed writing the destinationfile\n" +
                                (dir / "gone" / "r.txt").string() +
                                ": No such file or directory\n");
  EXPECT_TRUE(Exists(b));
  EXPECT_EQ(Run("restore " + b + " -o " + dest), 1);  // taken by now
  EXPECT_TRUE(Read("stderr").starts_with(dest + "\nThis file already exists.\n")) << Read("stderr");
  EXPECT_EQ(Read("received.txt"), "P1,1,2\r\nP2,3,4\r\n");
  EXPECT_EQ(Run("restore " + b + " -o " + dest + " --force"), 0);
  EXPECT_EQ(Read("received.txt"), "x");

  const std::string c = Capture(dest, {"y"});
  EXPECT_EQ(Run("discard " + c), 0);
  EXPECT_FALSE(Exists(c));
  EXPECT_EQ(Run("discard " + c), 1);
  EXPECT_EQ(Run("list"), 0);
  EXPECT_EQ(Read("stdout"), "");
}

TEST_F(UlvoRecoverCli, ARunningReceiveIsLeftAlone) {
  CaptureHeader h;
  h.destination = (dir / "r.txt").string();
  std::string problem;
  auto running = CaptureWriter::Create(captures, h, clock, problem);
  ASSERT_TRUE(running) << problem;
  const std::string name = running->Path().stem().string();
  EXPECT_EQ(Run("list"), 0);
  EXPECT_TRUE(Read("stdout").ends_with("\ta running receive is writing it\n")) << Read("stdout");
  for (const std::string action : {"restore ", "discard "}) {
    EXPECT_EQ(Run(action + name), 1);
    EXPECT_NE(Read("stderr").find("a running receive is writing it"), std::string::npos);
  }
  EXPECT_FALSE(fs::exists(dir / "r.txt"));
  running->Finish();
  EXPECT_FALSE(Exists(name));
}

TEST_F(UlvoRecoverCli, UsageErrors) {
  for (const char* args : {"what", "list x", "restore", "restore a b", "restore a -o",
                           "restore a --x", "discard", "discard a b"}) {
    SCOPED_TRACE(args);
    EXPECT_EQ(Run(args), 2);
    EXPECT_TRUE(Read("stderr").starts_with("ulvo-cli recover: ")) << Read("stderr");
  }
}

}  // namespace
}  // namespace ulvo
