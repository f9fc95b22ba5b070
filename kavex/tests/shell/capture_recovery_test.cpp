#include "kavex/shell/capture_recovery.h"

#include <gtest/gtest.h>

#include "kavex/tests/support/fake_clock.h"
#include "kavex/tests/support/scripted_prompts.h"

namespace kavex {
namespace {

class CaptureRecoveryTest : public ::testing::Test {
 protected:
  CaptureContents Capture() {
    CaptureContents c;
    c.lines = {
        "\x02"
        "A\x03",
        "B"};
    return c;
  }
  MemoryDataView view;
  testing::ScriptedPrompts prompts;
  testing::FakeClock clock;
  MainLogic logic{view, prompts, clock};
};

TEST_F(CaptureRecoveryTest, RestoresAsIfTheDownloadHadEndedThere) {
  // Data of a file, not modified: replaced without a question, as a download does.
  view.SetLines({"old"});
  view.SetModified(false);
  logic.SetCurrentFile("/data/old.qr6");
  ASSERT_TRUE(RestoreCaptureIntoCurrentData(logic, Capture()));
  EXPECT_EQ(view.Lines(), Capture().lines);
  EXPECT_TRUE(view.Modified());
  EXPECT_FALSE(logic.hasFile);
  EXPECT_EQ(view.FileLabel(), "(unsaved)");
}

TEST_F(CaptureRecoveryTest, ModifiedDataIsOnlyReplacedWhenTheUserAgrees) {
  view.SetLines({"typed"});
  prompts.ExpectMessage("Current DATA will be lost.", kModeConfirmation, kResultCancel);
  EXPECT_FALSE(RestoreCaptureIntoCurrentData(logic, Capture()));
  EXPECT_EQ(view.Lines(), std::vector<std::string>{"typed"});
  prompts.ExpectMessage("Current DATA will be lost.", kModeConfirmation, kResultOk);
  EXPECT_TRUE(RestoreCaptureIntoCurrentData(logic, Capture()));
  EXPECT_EQ(view.Lines(), Capture().lines);
}

}  // namespace
}  // namespace kavex
