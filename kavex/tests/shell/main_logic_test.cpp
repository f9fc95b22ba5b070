#include "kavex/shell/main_logic.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "kavex/tests/support/fake_clock.h"
#include "kavex/tests/support/scripted_prompts.h"

namespace fs = std::filesystem;

namespace kavex {
namespace {

class MainLogicTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("kavex_main_logic_" +
           std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    logic.workDir = dir;
    prompts.autoNameFolder = dir;
  }
  void TearDown() override { fs::remove_all(dir); }

  static std::string ReadBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  void Touch(const std::string& name) { std::ofstream(dir / name) << "x"; }

  fs::path dir;
  MemoryDataView view;
  testing::ScriptedPrompts prompts;
  testing::FakeClock clock;
  MainLogic logic{view, prompts, clock};
};

TEST_F(MainLogicTest, DefaultFileNameSkipsTakenNamesAndNormalisesExtension) {
  clock.today = {2016, 12, 31};
  EXPECT_EQ(logic.MakeDefaultFileName(".qr6"), "16123101.qr6");
  Touch("16123101.qr6");
  EXPECT_EQ(logic.MakeDefaultFileName(".qr6"), "16123102.qr6");
  EXPECT_EQ(logic.MakeDefaultFileName("pts"), "16123101.pts");
  EXPECT_EQ(logic.MakeDefaultFileName("ptsx"), "16123101.pts");
  EXPECT_EQ(logic.MakeDefaultFileName(".hk1x"), "16123101.hk1");
  clock.today = {2009, 3, 7};
  EXPECT_EQ(logic.MakeDefaultFileName(".qr7"), "09030701.qr7");
}

TEST_F(MainLogicTest, AllNamesOfTheDayTakenSavesNothing) {
  for (int n = 1; n <= 99; ++n)
    Touch("161231" + std::string(n < 10 ? "0" : "") + std::to_string(n) + ".qr6");
  view.SetLines({"data"});
  prompts.ExpectMessage("No free file name: 16123101.qr6 to 16123199.qr6 all exist.");
  EXPECT_EQ(logic.SaveCurrentData("Cvt to NWF", ".qr6"), kConversionFileError);
  EXPECT_EQ(logic.conversionResult, kConversionFileError);
  EXPECT_EQ(ReadBytes(dir / "16123101.qr6"), "x");
  EXPECT_FALSE(logic.hasFile);
}

TEST_F(MainLogicTest, SaveCurrentDataWritesCrLfAndRecordsTheFile) {
  view.SetLines({"A,1", "B,2"});
  prompts.ExpectSaveCurrent("Cvt to NWF", "16123101.qr6", true);
  EXPECT_EQ(logic.SaveCurrentData("Cvt to NWF", ".qr6"), kConversionSuccess);
  EXPECT_EQ(ReadBytes(dir / "16123101.qr6"), "A,1\r\nB,2\r\n");
  EXPECT_TRUE(logic.hasFile);
  EXPECT_EQ(logic.currentPath, (dir / "16123101.qr6").string());
  EXPECT_EQ(view.FileLabel(), logic.currentPath);
  EXPECT_FALSE(view.Modified());
}

TEST_F(MainLogicTest, SaveCurrentDataCancelledAndUnwritable) {
  view.SetLines({"A"});
  prompts.ExpectSaveCurrent("Save NWF", "16123101.qr7", false);
  EXPECT_EQ(logic.SaveCurrentData("Save NWF", ".qr7"), kConversionCancelled);
  EXPECT_FALSE(fs::exists(dir / "16123101.qr7"));

  logic.workDir = dir / "missing-folder";

  prompts.autoNameFolder = logic.workDir;
  prompts.ExpectSaveCurrent("Save NWF", "16123101.qr7", true)
      .ExpectMessage("Saving Aborted.\n" + (logic.workDir / "16123101.qr7").string() +
                     ": No such file or directory");
  EXPECT_EQ(logic.SaveCurrentData("Save NWF", ".qr7"), kConversionFileError);
  EXPECT_FALSE(logic.hasFile);
  EXPECT_TRUE(view.Modified());
}

TEST_F(MainLogicTest, WriteWithProgressReportsAFewTimesASecond) {
  // The clock moves by tick at every look: the gate is made at the first look, and each
  // line looks once before it is written. Line i of 4 shows i x 25 when it opens the gate.
  struct Case {
    int tick;
    std::vector<int> positions;
    int pumps;
  };
  for (const Case& c : std::vector<Case>{
           {0, {0, 100}, 0},                   // no time passes: only the ends
           {124, {0, 50, 100}, 1},             // 248 ms is not yet enough, 372 is
           {125, {0, 25, 75, 100}, 2},         // exactly 250 ms opens, counted afresh
           {250, {0, 0, 25, 50, 75, 100}, 4},  // every look opens it
       }) {
    testing::ScriptedPrompts counted;
    testing::FakeClock ticking;
    ticking.tick = std::chrono::milliseconds(c.tick);
    MemoryDataView lines;
    MainLogic writer(lines, counted, ticking);
    lines.SetLines({"1", "2", "3", "4"});
    ASSERT_TRUE(writer.WriteCurrentData(dir / "out.txt", true));
    EXPECT_EQ(counted.texts, std::vector<std::string>{"Saving Now ..."});
    EXPECT_EQ(counted.positions, c.positions) << c.tick;
    EXPECT_EQ(counted.pumps, c.pumps) << c.tick;
    EXPECT_EQ(ReadBytes(dir / "out.txt"), "1\r\n2\r\n3\r\n4\r\n");
  }
}

}  // namespace
}  // namespace kavex
