#include "kavex/shell/upload_commands.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "kavex/tests/comm/test_blocks.h"
#include "kavex/tests/support/scripted_device.h"
#include "kavex/tests/support/scripted_prompts.h"
#include "kavex/tests/support/scripted_transfer_dialogs.h"

namespace kavex {
namespace {

namespace fs = std::filesystem;
using testing::FakeClock;
using testing::ScriptedDevice;
using testing::ScriptedPrompts;
using Lines = std::vector<std::string>;

using Dialogs = testing::ScriptedTransferDialogs;

struct Details : PointDetailsDialog {
  bool Run(PointDetails& d) override {
    ++shown;
    if (change) change(d);
    return ok;
  }
  bool ok = true;
  int shown = 0;
  std::function<void(PointDetails&)> change;
};

const std::string kAckLine = "\x06\r\n";

std::string Block(const std::string& payload, int number) {
  const std::string line = testing::BlockLine(payload, number);
  return line.substr(0, line.size() - 2);
}

struct UploadFlow : ::testing::Test {
  FakeClock clock;
  ScriptedDevice device{clock};
  MemoryDataView view;
  ScriptedPrompts prompts;
  MainLogic logic{view, prompts, clock};
  CommPort port{device, clock,
                [this](const std::string& t) { logic.ShowMessage(t, kModeMessage, true); }};
  Dialogs dialogs;
  Details details;
  PointDetails values;
  fs::path dir;

  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("kavex_ul_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    logic.workDir = dir;
    prompts.autoNameFolder = dir;
    port.SetPortPath("COM1", "/dev/ttyUSB0");
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path WriteFile(const std::string& name, const std::string& bytes) {
    std::ofstream(dir / name, std::ios::binary) << bytes;
    return dir / name;
  }
  UploadOutcome Run(UploadKind kind) {
    return RunUpload(kind, logic, port, dialogs, details, values);
  }
};

TEST_F(UploadFlow, PointsFileReadAsTextThenSentWithAckNak) {
  logic.Settings().comm.useAckNak = true;
  logic.Settings().comm.readTextFile = true;
  const fs::path pts = WriteFile("job.pts", "P1,100.5,200.25,10\r\n");
  prompts.ExpectOpen(pts.string());
  details.change = [](PointDetails& d) { d.points = "0001"; };
  const std::string coords =
      Block("_+P1        _ x +00200250_ y +00100500_ z +00010000_", 0) + "\r\n";
  // The defaults give 113; "0001" for "0000" flips the lowest bit: 112.
  const std::string initial = "\x02Site1     +00001.000000200020-100001S112\x03\r\n";
  device
      .Expect(
          "\x02"
          "F00F000\x03\r\n")
      .Send(kAckLine)
      .Expect(initial)
      .Send(kAckLine)
      .Expect(coords)
      .Send(kAckLine)
      .Expect("\x02\x04\x03\r\n");
  EXPECT_EQ(Run(UploadKind::Coordinates), UploadOutcome::Completed);
  EXPECT_EQ(prompts.lastRequest.filter, "Points(*.pts)|*.pts|All Files(*.*)|*.*");
  EXPECT_EQ(details.shown, 1);
  EXPECT_EQ(values.points, "0001");  // kept for the next upload
  EXPECT_EQ(view.FileLabel(), "(unsaved)");
  EXPECT_FALSE(prompts.busy);
  EXPECT_EQ(device.closes, 1);
  EXPECT_FALSE(dialogs.progress.Visible());
}

TEST_F(UploadFlow, NothingToSendAsksForAFile) {
  const fs::path file = WriteFile("job.qr7", "JOB     A\r\n\r\nSTN     B\r\n");
  prompts.ExpectOpen(file.string());
  device.Expect("JOB     A\r\n").Expect("STN     B\r\n").Expect("\x04");
  EXPECT_EQ(Run(UploadKind::Nwf), UploadOutcome::Completed);
  EXPECT_EQ(prompts.lastRequest.filter,
            "QRX-7 Data(*.qr7)|*.qr7|Text Files(*.txt)|*.txt|All Files(*.*)|*.*");
  EXPECT_EQ(view.Lines(), (Lines{"JOB     A", "", "STN     B"}));
  EXPECT_TRUE(logic.hasFile);
  EXPECT_FALSE(view.Modified());
  EXPECT_EQ(view.FileLabel(), file.string());
}

TEST_F(UploadFlow, EndingsBeforeThePortOpens) {
  struct Case {
    const char* name;
    UploadKind kind;
    std::function<void(UploadFlow&)> arrange;
  } cases[] = {
      {"open cancelled", UploadKind::PointCodes,
       [](UploadFlow& t) { t.prompts.ExpectOpen(std::nullopt); }},
      {"file missing", UploadKind::Terminal,
       [](UploadFlow& t) {
         t.prompts.ExpectOpen((t.dir / "none.qr7").string()).ExpectMessage("Fail to open file.");
       }},
      {"comm status cancelled", UploadKind::Nwf, [](UploadFlow& t) { t.dialogs.go = false; }},
      {"point details cancelled", UploadKind::Coordinates,
       [](UploadFlow& t) {
         t.view.SetLines({"B"});
         t.logic.SetCurrentFile((t.dir / "x.qr6").string());
         t.view.SetModified(false);
         t.details.ok = false;
       }},
      {"fresh data, save declined", UploadKind::PointCodes,
       [](UploadFlow& t) {
         t.view.SetLines({"B"});
         t.prompts.ExpectSaveCurrent("Cvt to QRX/WNV Coords", "16123101.cod", false);
       }},
      {"save changes cancelled", UploadKind::Terminal,
       [](UploadFlow& t) {
         t.view.SetLines({"B"});
         t.logic.SetCurrentFile((t.dir / "x.qr7").string());
         t.view.SetModified(true);
         t.prompts.ExpectMessage("Save changes?", kModeQuestion, kResultCancel);
       }},
      {"save changes yes, not writable", UploadKind::Nwf,
       [](UploadFlow& t) {
         t.view.SetLines({"B"});
         t.logic.SetCurrentFile((t.dir / "no" / "x.qr7").string());
         t.view.SetModified(true);
         t.prompts.ExpectMessage("Save changes?", kModeQuestion, kResultYes)
             .ExpectMessage("Saving Aborted.\n" + (t.dir / "no" / "x.qr7").string() +
                            ": No such file or directory");
       }},
      {"read text file, bad code line", UploadKind::PointCodes,
       [](UploadFlow& t) {
         t.logic.Settings().comm.readTextFile = true;
         const std::string file = t.WriteFile("bad.cod", "ABCDEFGHIJK\n").string();
         t.prompts.ExpectOpen(file).ExpectMessage("Invalid data\n" + file + ": line 1");
       }},
      {"read text file, coordinate wider than its field", UploadKind::Coordinates,
       [](UploadFlow& t) {
         t.logic.Settings().comm.readTextFile = true;
         const std::string file = t.WriteFile("wide.pts", "P0\nP1,32512345.678,1,2\n").string();
         t.prompts.ExpectOpen(file).ExpectMessage(
             "Invalid data.\n" + file +
             ": line 2: 32512345.678 does not fit its 10-character field");
       }},
      {"a line longer than can be sent", UploadKind::Nwf,
       [](UploadFlow& t) {
         const std::string file =
             t.WriteFile("long.qr7", "JOB     A\r\n" + std::string(192, 'x') + "\r\n").string();
         t.prompts.ExpectOpen(file).ExpectMessage(
             "Line 2 has 192 characters: at most 191 can be sent.");
       }},
      {"a file too large to be data", UploadKind::Terminal,
       [](UploadFlow& t) {
         const fs::path file = t.WriteFile("huge.txt", "");
         fs::resize_file(file, kDataFileLimit + 1);
         t.prompts.ExpectOpen(file.string()).ExpectMessage(kFileTooLargeMessage);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    view.SetLines({});
    view.SetModified(false);
    logic.hasFile = false;
    dialogs.go = true;
    details.ok = true;
    logic.Settings().comm.readTextFile = false;
    c.arrange(*this);
    EXPECT_EQ(Run(c.kind), UploadOutcome::NotStarted);
    EXPECT_TRUE(device.opened.empty());
    EXPECT_TRUE(prompts.Done());
  }
}

TEST_F(UploadFlow, FreshDataIsSavedThenSent) {
  view.SetLines({"C0"});
  logic.Settings().comm.addEndBlock = false;
  prompts.ExpectSaveCurrent("Cvt to QRX/WNV Coords", "16123101.cod", true);
  device.Expect("C0\r\n");
  EXPECT_EQ(Run(UploadKind::PointCodes), UploadOutcome::Completed);
  EXPECT_TRUE(fs::exists(dir / "16123101.cod"));
  EXPECT_EQ(dialogs.commands, std::vector<TransferCommand>{TransferCommand::PointCodeUpload});
}

TEST_F(UploadFlow, NoResponseSaysHowFarItCame) {
  logic.Settings().comm.useAckNak = true;
  view.SetLines({"C0", "C1", "C2"});
  logic.SetCurrentFile((dir / "x.qr6").string());
  view.SetModified(false);
  device.Expect("C0\r\n").Send(kAckLine).Expect("C1\r\n").Send("\x15\r\n");
  prompts.ExpectMessage("No response.\n1 of 3 lines were sent before the upload stopped.");
  EXPECT_EQ(Run(UploadKind::PointCodes), UploadOutcome::Failed);
  EXPECT_EQ(device.closes, 1);
  EXPECT_FALSE(prompts.busy);
}

TEST_F(UploadFlow, PortFailureStopsBeforeAnything) {
  view.SetLines({"C0"});
  logic.SetCurrentFile((dir / "x.qr6").string());
  view.SetModified(false);
  device.failOpen = true;
  prompts.ExpectMessage("COM ERROR.");
  EXPECT_EQ(Run(UploadKind::PointCodes), UploadOutcome::NotStarted);
  EXPECT_TRUE(device.sent.empty());
}

}  // namespace
}  // namespace kavex
