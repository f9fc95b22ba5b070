#include "kavex/shell/convert_commands.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "kavex/formats/point_lists.h"
#include "kavex/formats/text_file.h"
#include "kavex/tests/support/fake_clock.h"
#include "kavex/tests/support/scripted_prompts.h"

namespace fs = std::filesystem;

namespace kavex {
namespace {

using Lines = std::vector<std::string>;

// Answers the options dialog and records the file it was shown with.
class ScriptedOptionsDialog : public CvtQ6to7OptionsDialog {
 public:
  bool Run(const std::string& currentFile, CvtQ6to7Options& options) override {
    shownWith.push_back(currentFile);
    if (!ok) return false;
    if (change) change(options);
    return true;
  }
  bool ok = true;
  std::function<void(CvtQ6to7Options&)> change;
  Lines shownWith;
};

// One block line whose payload is the given stream piece (the test's own xor check).
std::string Block(const std::string& payload, int number) {
  std::string line = "\x02" + payload;
  line.resize(129, ' ');
  line += static_cast<char>('0' + number);
  unsigned x = 0;
  for (size_t i = 1; i <= 129; ++i) x ^= static_cast<unsigned char>(line[i]);
  char sum[8];
  std::snprintf(sum, sizeof sum, "%03u", x);
  return line + sum + "\x03";
}

class ConvertCommandsTest : public ::testing::Test {
 public:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("kavex_convert_" +
           std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    logic.workDir = dir;
    prompts.autoNameFolder = dir;
    logic.Settings().dataDir = dir.string();
    options.addHeader = false;
  }
  void TearDown() override { fs::remove_all(dir); }

  static std::string ReadBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  fs::path WriteFile(const std::string& name, const std::string& bytes) {
    std::ofstream(dir / name, std::ios::binary) << bytes;
    return dir / name;
  }
  void FreshData(const Lines& lines) {
    view.SetLines(lines);
    logic.hasFile = false;
  }
  void FiledData(const fs::path& path, const Lines& lines, bool modified) {
    view.SetLines(lines);
    view.SetModified(modified);
    logic.SetCurrentFile(path.string());
  }
  int Nwf() { return ConvertToNwf(logic, dialog, options, counter); }
  void ExpectUnsavedResult(const Lines& lines) {
    EXPECT_EQ(view.Lines(), lines);
    EXPECT_EQ(view.FileLabel(), "(unsaved)");
    EXPECT_FALSE(logic.hasFile);
    EXPECT_FALSE(prompts.busy);
  }

  const std::string stationBlock = Block("_'S1_(1.5_)0_+T1_ <0900000+1800000****d000_", 0);
  const Lines stationNwf = {"STN     S1,0,1.5", "BS      T1,,", "HV      180.00000,90.00000"};
  fs::path dir;
  MemoryDataView view;
  testing::ScriptedPrompts prompts;
  testing::FakeClock clock;
  MainLogic logic{view, prompts, clock};
  ScriptedOptionsDialog dialog;
  CvtQ6to7Options options;
  TargetCounter counter;
};

TEST_F(ConvertCommandsTest, NoDataAsksForAFile) {
  const fs::path input = WriteFile("job.qr6", stationBlock + "\r\n");
  prompts.ExpectOpen(input.string());
  EXPECT_EQ(Nwf(), kConversionSuccess);
  EXPECT_EQ(prompts.lastRequest.title, "Open File");
  EXPECT_EQ(prompts.lastRequest.filter, "QRX-6 Data(*.qr6)|*.qr6|All Files(*.*)|*.*");
  EXPECT_EQ(dialog.shownWith, Lines{input.string()});
  ExpectUnsavedResult(stationNwf);
  EXPECT_TRUE(view.Modified());  // unsaved results are not lost silently
  EXPECT_EQ(logic.conversionResult, kConversionSuccess);
}

TEST_F(ConvertCommandsTest, EndingsBeforeTheRun) {
  struct Case {
    const char* name;
    std::function<void(ConvertCommandsTest&)> arrange;
    int result;
  } cases[] = {
      {"open cancelled", [](ConvertCommandsTest& t) { t.prompts.ExpectOpen(std::nullopt); },
       kConversionCancelled},
      {"file missing",
       [](ConvertCommandsTest& t) {
         t.prompts.ExpectOpen((t.dir / "none.qr6").string()).ExpectMessage("Fail to open file.");
       },
       kConversionFileError},
      {"options cancelled",
       [](ConvertCommandsTest& t) {
         t.prompts.ExpectOpen(t.WriteFile("a.qr6", "x\n").string());
         t.dialog.ok = false;
       },
       kConversionCancelled},
      {"save-current cancelled",
       [](ConvertCommandsTest& t) {
         t.FreshData({"line"});
         t.prompts.ExpectSaveCurrent("Cvt to NWF", "16123101.qr6", false);
       },
       kConversionCancelled},
      {"save changes cancelled",
       [](ConvertCommandsTest& t) {
         t.FiledData(t.WriteFile("b.qr6", "old\r\n"), {"new"}, true);
         t.prompts.ExpectMessage("Save changes?", kModeQuestion, kResultCancel);
       },
       kConversionCancelled},
      {"yes, but the file cannot be written",
       [](ConvertCommandsTest& t) {
         t.FiledData(t.dir / "missing-folder" / "d.qr6", {"new"}, true);
         // This step's own text has no full stop, unlike the automatic-name save.
         t.prompts.ExpectMessage("Save changes?", kModeQuestion, kResultYes)
             .ExpectMessage("Saving Aborted\n" + (t.dir / "missing-folder" / "d.qr6").string() +
                            ": No such file or directory");
       },
       kConversionFileError},
      {"no, then save-current cancelled",
       [](ConvertCommandsTest& t) {
         t.FiledData(t.WriteFile("c.qr6", "old\r\n"), {"new"}, true);
         t.prompts.ExpectMessage("Save changes?", kModeQuestion, kResultNo)
             .ExpectSaveCurrent("Cvt to NWF", "16123101.qr6", false)
             .ExpectMessage("Conversion failed.");
       },
       kConversionFileError},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    view.SetLines({"keep"});
    view.SetModified(false);
    logic.hasFile = false;
    dialog.ok = true;
    c.arrange(*this);
    const Lines before = view.Lines();
    EXPECT_EQ(Nwf(), c.result);
    EXPECT_EQ(logic.conversionResult, c.result);
    EXPECT_EQ(view.Lines(), before);  // nothing converted, nothing lost
    EXPECT_TRUE(prompts.Done());
  }
}

TEST_F(ConvertCommandsTest, FreshDataIsSavedUnderAnAutomaticName) {
  FreshData({stationBlock});
  prompts.ExpectSaveCurrent("Cvt to NWF", "16123101.qr6", true);
  EXPECT_EQ(Nwf(), kConversionSuccess);
  EXPECT_EQ(ReadBytes(dir / "16123101.qr6"), stationBlock + "\r\n");
  EXPECT_EQ(dialog.shownWith, Lines{(dir / "16123101.qr6").string()});
  ExpectUnsavedResult(stationNwf);
}

TEST_F(ConvertCommandsTest, FreshDataThatCannotBeSaved) {
  logic.workDir = dir / "missing-folder";
  prompts.autoNameFolder = logic.workDir;
  FreshData({stationBlock});
  prompts.ExpectSaveCurrent("Cvt to NWF", "16123101.qr6", true)
      .ExpectMessage("Saving Aborted.\n" + (logic.workDir / "16123101.qr6").string() +
                     ": No such file or directory");
  EXPECT_EQ(Nwf(), kConversionFileError);
  EXPECT_TRUE(dialog.shownWith.empty());
  EXPECT_EQ(view.Lines(), Lines{stationBlock});
}

TEST_F(ConvertCommandsTest, SaveChangesYesRewritesTheFile) {
  const fs::path file = WriteFile("job.qr6", "old\r\n");
  FiledData(file, {stationBlock}, true);
  prompts.ExpectMessage("Save changes?", kModeQuestion, kResultYes);
  EXPECT_EQ(Nwf(), kConversionSuccess);
  EXPECT_EQ(ReadBytes(file), stationBlock + "\r\n");
  ExpectUnsavedResult(stationNwf);
}

TEST_F(ConvertCommandsTest, SaveChangesNoKeepsTheOriginalFile) {
  const fs::path file = WriteFile("job.qr6", "old\r\n");
  FiledData(file, {stationBlock}, true);
  prompts.ExpectMessage("Save changes?", kModeQuestion, kResultNo)
      .ExpectSaveCurrent("Cvt to NWF", "16123101.qr6", true);
  EXPECT_EQ(Nwf(), kConversionSuccess);
  EXPECT_EQ(ReadBytes(file), "old\r\n");
  EXPECT_EQ(ReadBytes(dir / "16123101.qr6"), stationBlock + "\r\n");
  EXPECT_EQ(logic.currentPath, (dir / "16123101.qr6").string());
  ExpectUnsavedResult(stationNwf);
}

TEST_F(ConvertCommandsTest, FiledUnchangedDataGoesStraightToTheOptions) {
  const fs::path file = WriteFile("job.qr6", stationBlock + "\r\n");
  FiledData(file, {"whatever the view shows"}, false);
  options.addHeader = true;
  dialog.change = [](CvtQ6to7Options& o) { o.addHeader = false; };
  EXPECT_EQ(Nwf(), kConversionSuccess);
  EXPECT_FALSE(options.addHeader);  // the dialog's choice is kept for the next run
  ExpectUnsavedResult(stationNwf);
  EXPECT_EQ(counter.count, 1);
}

TEST_F(ConvertCommandsTest, InputThatDisappearedFails) {
  FiledData(dir / "gone.qr6", {"x"}, false);
  prompts.ExpectMessage("Failed to open file.");
  EXPECT_EQ(Nwf(), kConversionFileError);
  ExpectUnsavedResult({});
}

TEST_F(ConvertCommandsTest, TargetCounterIsTheCallersAcrossRuns) {
  const fs::path file = WriteFile("t.qr6", Block("_+P_ <0900000+0000000****d000_", 0) + "\r\n");
  FiledData(file, {}, false);
  EXPECT_EQ(Nwf(), kConversionSuccess);
  EXPECT_EQ(view.Lines().at(0), "BS      P,,");
  FiledData(file, {}, false);
  EXPECT_EQ(Nwf(), kConversionSuccess);
  EXPECT_EQ(view.Lines().at(0), "SS      P,,");
}

TEST_F(ConvertCommandsTest, HkReportRoads) {
  const std::string record = "t,01,JOB1,,1612311100,";
  const Lines report = {"      HK-100 TEXT ", "   END JOB#:JOB1       16/12/31  11:00"};
  // No data: open dialog with the level filter.
  const fs::path file = WriteFile("lev.hk1", record + "\r\n");
  prompts.ExpectOpen(file.string());
  EXPECT_EQ(ConvertToHkText(logic), kConversionNotDone);
  EXPECT_EQ(prompts.lastRequest.filter, "HK-100(*.hk1)|*.hk1|All Files(*.*)|*.*");
  ExpectUnsavedResult(report);

  // Fresh data: automatic ".hk1" name.
  FreshData({record});
  prompts.ExpectSaveCurrent("Cvt to HK-101/102 Text", "16123101.hk1", true);
  EXPECT_EQ(ConvertToHkText(logic), kConversionNotDone);
  ExpectUnsavedResult(report);

  // Filed and changed, "No", then the copy is refused: its own capitalised message.
  FiledData(file, {record}, true);
  prompts.ExpectMessage("Save changes?", kModeQuestion, kResultNo)
      .ExpectSaveCurrent("Cvt to HK-101/102 Text", "16123102.hk1", false)
      .ExpectMessage("Conversion Failed.");
  EXPECT_EQ(ConvertToHkText(logic), kConversionFileError);

  // Filed and changed, "Yes", but the file cannot be rewritten.
  FiledData(dir / "missing-folder" / "lev.hk1", {record}, true);
  prompts.ExpectMessage("Save changes?", kModeQuestion, kResultYes)
      .ExpectMessage("Saving Aborted.\n" + (dir / "missing-folder" / "lev.hk1").string() +
                     ": No such file or directory");
  EXPECT_EQ(ConvertToHkText(logic), kConversionFileError);
  EXPECT_EQ(view.Lines(), Lines{record});

  FiledData(dir / "gone.hk1", {}, false);
  prompts.ExpectMessage("Failed to open file.");
  EXPECT_EQ(ConvertToHkText(logic), kConversionFileError);
  ExpectUnsavedResult({});
}

TEST_F(ConvertCommandsTest, PointAndCodeListsToBlocks) {
  struct Case {
    const char* name;
    int (*run)(MainLogic&);
    const char* ext;
    const char* caption;
    const char* filter;
    std::string file;
    Lines blocks;
  } cases[] = {
      {"coords",
       ConvertToQrx6Coords,
       ".pts",
       "Cvt to QRX/WNV Coords",
       "Points(*.pts)|*.pts|All Files(*.*)|*.*",
       "P1,100.5,200.25,10\r\n",
       {Block("_+P1        _ x +00200250_ y +00100500_ z +00010000_", 0)}},
      {"codes",
       ConvertToQrx6Codes,
       ".cod",
       "Cvt to QRX/WNV Pcode",
       "Code Data(*.cod)|*.cod|All Files(*.*)|*.*",
       "TREE,\r\n 7,WALL\r\nPOLE\r\n",
       {Block("_:001TREE      _:007WALL      _:002POLE      _", 0)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // No data: the open dialog with the command's filter.
    FiledData(dir / "none", {}, false);
    logic.hasFile = false;
    const fs::path input = WriteFile(std::string("list") + c.ext, c.file);
    prompts.ExpectOpen(input.string());
    EXPECT_EQ(c.run(logic), kConversionSuccess);
    EXPECT_EQ(prompts.lastRequest.filter, c.filter);
    ExpectUnsavedResult(c.blocks);
    EXPECT_EQ(logic.conversionResult, kConversionSuccess);

    // Fresh data is saved under an automatic name with the command's extension first.
    FreshData({"P9"});
    prompts.ExpectSaveCurrent(c.caption, std::string("16123101") + c.ext, true);
    EXPECT_EQ(c.run(logic), kConversionSuccess);
    EXPECT_EQ(ReadBytes(dir / (std::string("16123101") + c.ext)), "P9\r\n");
    fs::remove(dir / (std::string("16123101") + c.ext));
  }
}

TEST_F(ConvertCommandsTest, ListCommandsOwnMessages) {
  // A bad third line: the finished first block stays, the open one is dropped.
  const fs::path points = WriteFile("bad.pts", "P1\nP2\nP3\nP{\n");
  FiledData(points, {}, false);
  prompts.ExpectMessage("Invalid data.\n" + points.string() + ": line 4");
  EXPECT_EQ(ConvertToQrx6Coords(logic), kConversionFileError);
  ASSERT_EQ(view.Lines().size(), 1u);
  EXPECT_EQ(view.Lines()[0].size(), 134u);
  EXPECT_FALSE(prompts.busy);

  FiledData(WriteFile("bad.cod", "TREE\n\n"), {}, false);
  prompts.ExpectMessage("Invalid data\n" + (dir / "bad.cod").string() + ": line 2");
  EXPECT_EQ(ConvertToQrx6Codes(logic), kConversionFileError);
  ExpectUnsavedResult({});

  FiledData(dir / "gone.pts", {}, false);
  prompts.ExpectMessage("Failed to open file.");
  EXPECT_EQ(ConvertToQrx6Coords(logic), kConversionFileError);
  FiledData(dir / "gone.cod", {}, false);
  prompts.ExpectMessage("Failed to open file");
  EXPECT_EQ(ConvertToQrx6Codes(logic), kConversionFileError);

  FiledData(WriteFile("c.cod", "old\r\n"), {"new"}, true);
  prompts.ExpectMessage("Save changes?", kModeQuestion, kResultNo)
      .ExpectSaveCurrent("Cvt to QRX/WNV Pcode", "16123101.cod", false)
      .ExpectMessage("Conversion Failed.");
  EXPECT_EQ(ConvertToQrx6Codes(logic), kConversionFileError);
  EXPECT_TRUE(prompts.Done());
}

// Records how many lines the view held each time the window was let repaint.
class PumpWatcher : public testing::ScriptedPrompts {
 public:
  explicit PumpWatcher(const DataView& view) : view_(view) {}
  void PumpEvents() override {
    ScriptedPrompts::PumpEvents();
    shown.push_back(view_.LineCount());
  }
  std::vector<size_t> shown;

 private:
  const DataView& view_;
};

TEST_F(ConvertCommandsTest, LongConversionsRepaintAFewTimesASecond) {
  // 640 points: the list reader reports after every 64 lines, ten times, each report one
  // look at the clock (the first look makes the gate).
  std::string points;
  for (int i = 1; i <= 640; ++i) points += "P" + std::to_string(i) + ",1,2,3\r\n";
  const fs::path input = WriteFile("many.pts", points);
  Lines all;
  WriteListTextBlocks(FromDiskText(points), ListKind::kPoints,
                      [&all](const std::string& line) { all.push_back(line); });
  ASSERT_GT(all.size(), 200u);
  struct Case {
    int tick;
    size_t pumps;
  };
  for (const Case& c : std::vector<Case>{{0, 0}, {100, 3}, {250, 10}}) {
    MemoryDataView shownView;
    PumpWatcher watcher(shownView);
    testing::FakeClock ticking;
    ticking.tick = std::chrono::milliseconds(c.tick);
    MainLogic run(shownView, watcher, ticking);
    run.SetCurrentFile(input.string());
    EXPECT_EQ(ConvertToQrx6Coords(run), kConversionSuccess);
    // Every line arrives, in order, however few the repaints.
    EXPECT_EQ(shownView.Lines(), all) << c.tick;
    EXPECT_EQ(watcher.shown.size(), c.pumps) << c.tick;
    EXPECT_EQ(watcher.positions.size(), c.pumps) << c.tick;
    // Each repaint shows the lines made so far, never an empty or stale view.
    for (size_t i = 0; i < watcher.shown.size(); ++i) {
      EXPECT_GT(watcher.shown[i], i == 0 ? 0u : watcher.shown[i - 1]) << c.tick;
      EXPECT_LT(watcher.shown[i], all.size()) << c.tick;
    }
  }
}

}  // namespace
}  // namespace kavex
