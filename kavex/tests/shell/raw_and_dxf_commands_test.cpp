#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "kavex/shell/convert_commands.h"
#include "kavex/tests/comm/test_blocks.h"
#include "kavex/tests/support/fake_clock.h"
#include "kavex/tests/support/scripted_prompts.h"

namespace fs = std::filesystem;

namespace kavex {
namespace {

using Lines = std::vector<std::string>;

// Answers TConfirmDlg and records what it was shown with.
class ScriptedConfirm : public ConfirmDialog {
 public:
  bool ConfirmNwfToQrx6(const std::string& currentFile, NwfToQrx6Options& options) override {
    shownWith.push_back("nwf " + currentFile);
    if (before) before();
    if (!ok) return false;
    if (change) change(options);
    return true;
  }
  bool ConfirmDxf(const std::string& currentFile) override {
    shownWith.push_back("dxf " + currentFile);
    if (before) before();
    return ok;
  }
  bool ok = true;
  std::function<void(NwfToQrx6Options&)> change;
  std::function<void()> before;  // runs while the dialog is up
  Lines shownWith;
};

// A block line without its line end.
std::string Block(const std::string& payload, int number) {
  std::string line = testing::BlockLine(payload, number);
  line.resize(134);
  return line;
}

class RawAndDxfCommandsTest : public ::testing::Test {
 public:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("kavex_rawdxf_" +
           std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    logic.workDir = dir;
    prompts.autoNameFolder = dir;
    logic.Settings().dataDir = dir.string();
  }
  void TearDown() override { fs::remove_all(dir); }

  fs::path WriteFile(const std::string& name, const std::string& bytes) {
    std::ofstream(dir / name, std::ios::binary) << bytes;
    return dir / name;
  }
  static std::string ReadBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  void FiledData(const fs::path& path, const Lines& lines, bool modified) {
    view.SetLines(lines);
    view.SetModified(modified);
    logic.SetCurrentFile(path.string());
  }
  void ExpectUnsavedResult(const Lines& lines) {
    EXPECT_EQ(view.Lines(), lines);
    EXPECT_EQ(view.FileLabel(), "(unsaved)");
    EXPECT_FALSE(logic.hasFile);
    EXPECT_TRUE(view.Modified());
    EXPECT_FALSE(prompts.busy);
  }
  int Raw() { return ConvertToQrx6Raw(logic, confirm, options); }
  int Dxf() { return ConvertToDxf(logic, confirm); }

  // "_'S1_(A_)1.5" then the closing "_".
  const std::string stationNwf = "STN     S1,1.5,A\r\n";
  const Lines stationBlocks = {Block("_'S1_(A_)1.5_", 0)};
  // One point: 1.000 m, 2.000 m, 3.000 m.
  const std::string pointFile =
      Block("_+P1        _ x +00001000_ y +00002000_ z +00003000_", 0) + "\r\n";

  fs::path dir;
  MemoryDataView view;
  testing::ScriptedPrompts prompts;
  testing::FakeClock clock;
  MainLogic logic{view, prompts, clock};
  ScriptedConfirm confirm;
  NwfToQrx6Options options;
};

TEST_F(RawAndDxfCommandsTest, RawFromAChosenFile) {
  const fs::path input = WriteFile("job.qr7", "SS      T1,1.6\r\nHV      10.00000,90.00000\r\n");
  prompts.ExpectOpen(input.string());
  confirm.change = [](NwfToQrx6Options& o) { o.angleUnit = 'G'; };
  EXPECT_EQ(Raw(), kConversionSuccess);
  EXPECT_EQ(prompts.lastRequest.title, "Open File");
  EXPECT_EQ(prompts.lastRequest.filter, "QRX-7 Data(*.qr7)|*.qr7|All Files(*.*)|*.*");
  EXPECT_EQ(confirm.shownWith, Lines{"nwf " + input.string()});
  EXPECT_EQ(options.angleUnit, 'G');  // kept for the next run
  // "<0900000+0100000+****g": 0x3C ^ 0x39 ^ 0x31 ^ 0x67 (the pairs of "0", "+" and "*"
  // cancel) = 0x53.
  ExpectUnsavedResult({Block("_+T1_ <0900000+0100000+****g083_,1.6_", 0)});
  EXPECT_EQ(logic.conversionResult, kConversionSuccess);
}

TEST_F(RawAndDxfCommandsTest, RawRoads) {
  // Fresh data: saved as YYMMDDnn.qr7 first.
  view.SetLines({"STN     S1,1.5,A"});
  prompts.ExpectSaveCurrent("Cvt to QRX6", "16123101.qr7", true);
  EXPECT_EQ(Raw(), kConversionSuccess);
  EXPECT_EQ(ReadBytes(dir / "16123101.qr7"), stationNwf);
  ExpectUnsavedResult(stationBlocks);

  // Filed and changed: "Save changes?" Yes rewrites the file.
  const fs::path file = WriteFile("j.qr7", "old\r\n");
  FiledData(file, {"STN     S1,1.5,A"}, true);
  prompts.ExpectMessage("Save changes?", kModeQuestion, kResultYes);
  EXPECT_EQ(Raw(), kConversionSuccess);
  EXPECT_EQ(ReadBytes(file), stationNwf);
  ExpectUnsavedResult(stationBlocks);
}

TEST_F(RawAndDxfCommandsTest, RawEndingsKeepTheData) {
  struct Case {
    const char* name;
    std::function<void(RawAndDxfCommandsTest&)> arrange;
    int result;
  } cases[] = {
      {"open cancelled", [](auto& t) { t.prompts.ExpectOpen(std::nullopt); }, kConversionCancelled},
      {"file missing",
       [](auto& t) {
         t.prompts.ExpectOpen((t.dir / "none.qr7").string()).ExpectMessage("Fail to open file.");
       },
       kConversionFileError},
      {"confirmation cancelled",
       [](auto& t) {
         t.FiledData(t.WriteFile("a.qr7", t.stationNwf), {"keep"}, false);
         t.confirm.ok = false;
       },
       kConversionCancelled},
      {"input gone while confirming",
       [](auto& t) {
         t.FiledData(t.WriteFile("b.qr7", t.stationNwf), {"keep"}, false);
         t.confirm.before = [&t] { fs::remove(t.dir / "b.qr7"); };
         t.prompts.ExpectMessage("Fail to open file.");
       },
       kConversionFileError},
      {"yes, but the file cannot be written",
       [](auto& t) {
         t.FiledData(t.dir / "no-folder" / "c.qr7", {"keep"}, true);
         t.prompts.ExpectMessage("Save changes?", kModeQuestion, kResultYes)
             .ExpectMessage("Saving Aborted\n" + (t.dir / "no-folder" / "c.qr7").string() +
                            ": No such file or directory");
       },
       kConversionFileError},
      {"no, then save-current cancelled",
       [](auto& t) {
         t.FiledData(t.WriteFile("d.qr7", "old\r\n"), {"keep"}, true);
         t.prompts.ExpectMessage("Save changes?", kModeQuestion, kResultNo)
             .ExpectSaveCurrent("Cvt to QRX6", "16123101.qr7", false)
             .ExpectMessage("Conversion Failed.");
       },
       kConversionFileError},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    view.SetLines({"keep"});
    view.SetModified(false);
    logic.hasFile = false;
    confirm = ScriptedConfirm{};
    c.arrange(*this);
    const bool hadFile = logic.hasFile;
    EXPECT_EQ(Raw(), c.result);
    EXPECT_EQ(logic.conversionResult, c.result);
    EXPECT_EQ(view.Lines(), Lines{"keep"});
    EXPECT_EQ(logic.hasFile, hadFile);
    EXPECT_TRUE(prompts.Done());
  }
}

TEST_F(RawAndDxfCommandsTest, DxfFromAChosenFile) {
  const fs::path input = WriteFile("pts.qr6", pointFile);
  prompts.ExpectOpen(input.string());
  EXPECT_EQ(Dxf(), kConversionSuccess);
  EXPECT_EQ(prompts.lastRequest.filter, "Points(*.qr6)|*.qr6|All Files(*.*)|*.*");
  EXPECT_EQ(confirm.shownWith, Lines{"dxf " + input.string()});
  const Lines lines = view.Lines();
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(Lines(lines.begin(), lines.begin() + 2), (Lines{"  0", "SECTION"}));
  EXPECT_EQ(Lines(lines.end() - 4, lines.end()), (Lines{"  0", "ENDSEC", "  0", "EOF"}));
  EXPECT_EQ(view.FileLabel(), "(unsaved)");
  EXPECT_TRUE(view.Modified());
  EXPECT_FALSE(logic.hasFile);
}

TEST_F(RawAndDxfCommandsTest, DxfFreshDataIsSavedFirst) {
  view.SetLines({pointFile.substr(0, pointFile.size() - 2)});
  prompts.ExpectSaveCurrent("Cvt to DXF", "16123101.qr6", true);
  EXPECT_EQ(Dxf(), kConversionSuccess);
  EXPECT_EQ(ReadBytes(dir / "16123101.qr6"), pointFile);
  EXPECT_EQ(view.Lines().back(), "EOF");
}

TEST_F(RawAndDxfCommandsTest, DxfFailureTable) {
  struct Case {
    const char* name;
    std::function<void(RawAndDxfCommandsTest&)> arrange;
    int result;
    bool dataKept;  // after the confirmation the data is already cleared
  } cases[] = {
      {"open cancelled", [](auto& t) { t.prompts.ExpectOpen(std::nullopt); }, kConversionCancelled,
       true},
      {"chosen file missing",
       [](auto& t) {
         t.prompts.ExpectOpen((t.dir / "none.qr6").string()).ExpectMessage("Fail to open file");
       },
       kConversionFileError, true},
      {"input cannot be read",
       [](auto& t) {
         fs::create_directories(t.dir / "folder.qr6");
         t.FiledData(t.dir / "folder.qr6", {"keep"}, false);
         t.prompts.ExpectMessage("Loading Aborted.");
       },
       kConversionFileError, true},
      {"point codes",
       [](auto& t) {
         t.FiledData(t.WriteFile("c.cod", Block("_:001TREE      _", 0) + "\r\n"), {"keep"}, false);
         t.prompts.ExpectMessage("Can't convert this type");
       },
       kConversionFileError, true},
      {"confirmation cancelled",
       [](auto& t) {
         t.FiledData(t.WriteFile("p.qr6", t.pointFile), {"keep"}, false);
         t.confirm.ok = false;
       },
       kConversionNotDone, true},
      {"file gone after the confirmation",
       [](auto& t) {
         t.FiledData(t.WriteFile("q.qr6", t.pointFile), {"keep"}, false);
         t.confirm.before = [&t] { fs::remove(t.dir / "q.qr6"); };
         t.prompts.ExpectMessage("Fail to open file.");
       },
       kConversionNotDone, true},
      {"coordinate that is not a number",
       [](auto& t) {
         t.FiledData(
             t.WriteFile("r.qr6",
                         Block("_+P1        _ x +0000x000_ y +00000001_ z +00000001_", 0) + "\r\n"),
             {"keep"}, false);
         t.prompts.ExpectMessage("Invalid data.\n" + (t.dir / "r.qr6").string() +
                                 ": line 1, field x: \" +0000x000\" is not a number");
       },
       kConversionNotDone, false},
      {"a record that does not line up",
       [](auto& t) {
         t.FiledData(
             t.WriteFile("w.qr6", Block("_+P1        _ x +00000001_ y +1_ z +1_", 0) + "\r\n"),
             {"keep"}, false);
         t.prompts.ExpectMessage("Invalid data.\n" + (t.dir / "w.qr6").string() +
                                 ": line 1, field y: 3 characters where the record holds 10");
       },
       kConversionNotDone, false},
      {"no, then save-current cancelled",
       [](auto& t) {
         t.FiledData(t.WriteFile("s.qr6", t.pointFile), {"keep"}, true);
         t.prompts.ExpectMessage("Save changes?", kModeQuestion, kResultNo)
             .ExpectSaveCurrent("Cvt to DXF", "16123101.qr6", false)
             .ExpectMessage("Conversion Failed.");
       },
       kConversionFileError, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    view.SetLines({"keep"});
    view.SetModified(false);
    logic.hasFile = false;
    confirm = ScriptedConfirm{};
    c.arrange(*this);
    EXPECT_EQ(Dxf(), c.result);
    EXPECT_EQ(logic.conversionResult, c.result);
    // No half drawing is ever left in the view.
    EXPECT_EQ(view.Lines(), c.dataKept ? Lines{"keep"} : Lines{});
    EXPECT_FALSE(prompts.busy);
    EXPECT_TRUE(prompts.Done());
  }
}

}  // namespace
}  // namespace kavex
