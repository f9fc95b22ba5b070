#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "kavex/comm/capture_file.h"
#include "kavex/tests/cli/cli_fixture.h"
#include "kavex/tests/support/fake_clock.h"

namespace kavex {
namespace {

namespace fs = std::filesystem;

// The captures live in the per-user data folder, which XDG_DATA_HOME moves into the test's.
class RecoverCli : public testing::CliFixture {
 public:
  void SetUp() override {
    CliFixture::SetUp();
    setenv("XDG_DATA_HOME", dir.c_str(), 1);
    captures = dir / "Kavex" / "Captures";
  }

  // A capture left as a crash leaves it; its file name without the extension.
  std::string Capture(const std::string& destination, const std::vector<std::string>& lines,
                      int64_t started = 1767609067) {
    CaptureHeader h;
    h.kind = "qrx6";
    h.port = "/dev/pts/3 9600 8N1 Ack/Nak";
    h.started = started;
    h.destination = destination;
    std::string problem;
    auto w = CaptureWriter::Create(captures, h, clock, problem);
    EXPECT_TRUE(w) << problem;
    for (const auto& l : lines) w->Append(l);
    return w->Path().stem().string();
  }
  bool Exists(const std::string& name) { return fs::exists(captures / (name + ".kcapture")); }

  fs::path captures;
  testing::FakeClock clock;
};

TEST_F(RecoverCli, ListsEachUnfinishedDownload) {
  EXPECT_EQ(Run("recover list"), 0);
  EXPECT_EQ(Read("stdout"), "");
  const std::string first = Capture("/home/me/a.qr6", {"A", "B"}, 100);
  const std::string second = Capture("", {"C"}, 200);
  // The second's last record torn by the crash.
  const fs::path file = captures / (second + ".kcapture");
  fs::resize_file(file, fs::file_size(file) - 1);

  EXPECT_EQ(Run("recover"), 0);
  const std::string out = Read("stdout");
  const size_t cut = out.find('\n') + 1;
  EXPECT_TRUE(out.substr(0, cut).starts_with(first + "\t")) << out;
  EXPECT_TRUE(out.substr(0, cut).ends_with(
      "\tqrx6\t2 lines\t/home/me/a.qr6\t/dev/pts/3 9600 8N1 Ack/Nak\t\n"))
      << out;
  EXPECT_TRUE(out.substr(cut).starts_with(second + "\t")) << out;
  EXPECT_TRUE(
      out.substr(cut).ends_with("\tqrx6\t0 lines\t(current data)\t/dev/pts/3 9600 8N1 Ack/Nak\t"
                                "record 1 is unfinished (1 of 1 bytes)\n"))
      << out;
}

TEST_F(RecoverCli, RestoresToAFileAndThenRemovesTheCapture) {
  const std::string name = Capture("", {"\x02"
                                        "AB\x03",
                                        "Z end"});
  EXPECT_EQ(Run("recover restore " + name + " -o " + (dir / "out.qr6").string()), 0)
      << Read("stderr");
  EXPECT_EQ(Read("out.qr6"),
            "\x02"
            "AB\x03\r\nZ end\r\n");
  EXPECT_EQ(Read("stderr"), "Restored 2 lines to " + (dir / "out.qr6").string() + "\n");
  EXPECT_FALSE(Exists(name));
}

TEST_F(RecoverCli, RestoresToTheDownloadsOwnFileOrStandardOutput) {
  const std::string toFile = Capture((dir / "job.qr6").string(), {"1"});
  EXPECT_EQ(Run("recover restore " + toFile), 0);
  EXPECT_EQ(Read("job.qr6"), "1\r\n");
  EXPECT_FALSE(Exists(toFile));

  // The current data had no file: standard output, and the capture stays.
  const std::string toOutput = Capture("", {"2", "3"});
  EXPECT_EQ(Run("recover restore " + toOutput), 0);
  EXPECT_EQ(Read("stdout"), "2\r\n3\r\n");
  EXPECT_TRUE(Exists(toOutput));
}

TEST_F(RecoverCli, NeverReplacesAFileUnasked) {
  const std::string name = Capture((dir / "job.qr6").string(), {"new"});
  Write("job.qr6", "old\r\n");
  EXPECT_EQ(Run("recover restore " + name), 1);
  EXPECT_EQ(Read("stderr"), "File exists Overwrite?\n" + (dir / "job.qr6").string() +
                                " (give --force to replace it)\n");
  EXPECT_EQ(Read("job.qr6"), "old\r\n");
  EXPECT_TRUE(Exists(name));
  EXPECT_EQ(Run("recover restore " + name + " --force"), 0);
  EXPECT_EQ(Read("job.qr6"), "new\r\n");
}

TEST_F(RecoverCli, ADestinationThatHasDisappearedKeepsTheCapture) {
  const std::string gone = (dir / "gone" / "job.qr6").string();
  const std::string name = Capture(gone, {"kept"});
  EXPECT_EQ(Run("recover restore " + name), 1);
  EXPECT_EQ(Read("stderr"), "Saving Aborted.\n" + gone + ": No such file or directory\n");
  EXPECT_TRUE(Exists(name));
  EXPECT_EQ(Run("recover restore " + name + " -o " + (dir / "elsewhere.qr6").string()), 0);
  EXPECT_EQ(Read("elsewhere.qr6"), "kept\r\n");
}

TEST_F(RecoverCli, DiscardsAndRefusesWhatIsInUseOrUnknown) {
  const std::string name = Capture("", {"x"});
  EXPECT_EQ(Run("recover discard " + name), 0);
  EXPECT_FALSE(Exists(name));

  CaptureHeader h;
  h.started = 300;
  std::string problem;
  auto running = CaptureWriter::Create(captures, h, clock, problem);
  ASSERT_TRUE(running);
  const std::string busy = running->Path().stem().string();
  for (const std::string action : {"discard ", "restore "}) {
    SCOPED_TRACE(action);
    EXPECT_EQ(Run("recover " + action + busy), 1);
    EXPECT_NE(Read("stderr").find("a running download is writing it"), std::string::npos)
        << Read("stderr");
  }
  EXPECT_TRUE(fs::exists(running->Path()));
  running->Finish();

  EXPECT_EQ(Run("recover discard 19990101-000000-1"), 1);
  EXPECT_EQ(Read("stderr"),
            "kavex-cli recover: no unfinished download '19990101-000000-1' (see kavex-cli "
            "recover list)\n");
}

TEST_F(RecoverCli, UsageErrors) {
  for (const char* args : {"recover what", "recover list extra", "recover restore",
                           "recover restore a b", "recover restore a -o", "recover restore a --x",
                           "recover discard", "recover discard a b"}) {
    SCOPED_TRACE(args);
    EXPECT_EQ(Run(args), 2);
    EXPECT_NE(Read("stderr").find("kavex-cli recover: "), std::string::npos);
  }
}

}  // namespace
}  // namespace kavex
