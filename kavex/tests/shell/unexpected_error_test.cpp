// What the window and the command line do with an exception no command foresaw, and how long
// the capture of a download stays beside the current data.
#include "kavex/shell/unexpected_error.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <new>
#include <stdexcept>

#include "kavex/comm/capture_file.h"
#include "kavex/tests/support/fake_clock.h"
#include "kavex/tests/support/scripted_prompts.h"

namespace kavex {
namespace {

namespace fs = std::filesystem;

class UnexpectedErrorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("kavex_unexpected_" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    logic.workDir = dir;
  }
  void TearDown() override { fs::remove_all(dir); }
  size_t Captures() { return ListCaptures(dir / "Captures").size(); }

  fs::path dir;
  MemoryDataView view;
  testing::ScriptedPrompts prompts;
  testing::FakeClock clock;
  MainLogic logic{view, prompts, clock};
};

TEST_F(UnexpectedErrorTest, ExceptionsAreNamedForTheUser) {
  const auto described = [](auto thrown) {
    try {
      throw thrown;
    } catch (...) {
      return DescribeException(std::current_exception());
    }
  };
  EXPECT_EQ(described(std::bad_alloc()), "out of memory");
  EXPECT_EQ(described(std::bad_array_new_length()), "out of memory");
  EXPECT_EQ(described(std::runtime_error("disk gone")), "disk gone");
  EXPECT_EQ(described(42), "an unexpected error");
}

TEST_F(UnexpectedErrorTest, TheFilesACommandLineNames) {
  std::ofstream(dir / "in.nwf") << "x";
  const std::string in = (dir / "in.nwf").string();
  const std::string out = (dir / "out.qr6").string();
  EXPECT_EQ(FilesNamed({"nwf", in, "-o", out}), std::vector<std::string>{in});
  // None exists yet: every operand is named.
  EXPECT_EQ(FilesNamed({"qrx6", "--port", "/dev/none", out}),
            (std::vector<std::string>{"qrx6", "/dev/none", out}));
}

TEST_F(UnexpectedErrorTest, TheCurrentDataIsKeptUntilItIsSaved) {
  view.SetLines({"POINT   P1", "POINT   P2"});
  std::string problem;
  const fs::path kept = KeepCurrentDataForRecovery(logic, dir / "Captures", problem);
  ASSERT_FALSE(kept.empty()) << problem;
  const CaptureContents capture = ReadCapture(kept);
  EXPECT_EQ(capture.lines, (std::vector<std::string>{"POINT   P1", "POINT   P2"}));
  EXPECT_EQ(capture.info.header.kind, "unsaved data");
  EXPECT_FALSE(capture.info.tail);
  EXPECT_EQ(UnexpectedErrorMessage("out of memory", kept, ""),
            "The command could not be finished: out of memory.\nThe current data is kept in " +
                kept.string() + " and is offered again at the next start.");

  // Saved: the copy has done its work and is not offered again.
  ASSERT_TRUE(logic.WriteCurrentData(dir / "job.nwf", false));
  EXPECT_EQ(Captures(), 0u);
}

TEST_F(UnexpectedErrorTest, ADownloadsCaptureStaysUntilItsLinesAreSavedOrLetGo) {
  const auto hold = [&] {
    std::string problem;
    CaptureHeader h;
    h.kind = "qrx6";
    auto capture = CaptureWriter::Create(dir / "Captures", h, clock, problem);
    ASSERT_TRUE(capture) << problem;
    capture->Append("line");
    logic.HoldCapture(std::move(capture));
    view.SetLines({"line"});
  };
  hold();
  EXPECT_EQ(Captures(), 1u);  // the lines are only in the window: a crash must not lose them
  ASSERT_TRUE(logic.WriteCurrentData(dir / "saved.qr6", false));
  EXPECT_EQ(Captures(), 0u);

  hold();
  logic.ClearCurrentData();  // New, or another download after "Current DATA will be lost."
  EXPECT_EQ(Captures(), 0u);

  hold();
  {
    MemoryDataView other;
    MainLogic closing(other, prompts, clock);
    std::string problem;
    auto capture = CaptureWriter::Create(dir / "Captures", CaptureHeader{}, clock, problem);
    closing.HoldCapture(std::move(capture));
  }  // the window ended without saving: its capture stays for the next start
  EXPECT_EQ(Captures(), 2u);
}

}  // namespace
}  // namespace kavex
