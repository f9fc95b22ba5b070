#include "kavex/shell/download_commands.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "kavex/comm/fault_device.h"
#include "kavex/tests/comm/test_blocks.h"
#include "kavex/tests/support/scripted_device.h"
#include "kavex/tests/support/scripted_prompts.h"
#include "kavex/tests/support/scripted_transfer_dialogs.h"

namespace kavex {
namespace {

namespace fs = std::filesystem;
using testing::BlockLine;
using testing::FakeClock;
using testing::ScriptedDevice;
using testing::ScriptedPrompts;

using Dialogs = testing::ScriptedTransferDialogs;

struct FlowFixture : ::testing::Test {
  FakeClock clock;
  ScriptedDevice device{clock};
  MemoryDataView view;
  ScriptedPrompts prompts;
  MainLogic logic{view, prompts, clock};
  CommPort port{device, clock,
                [this](const std::string& t) { logic.ShowMessage(t, kModeMessage, true); }};
  Dialogs dialogs;
  fs::path dir;

  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("kavex_dl_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    logic.workDir = dir;
    prompts.autoNameFolder = dir;
    port.SetPortPath("COM1", "/dev/ttyUSB0");
    port.SetPortPath("COM2", "/dev/ttyUSB1");
  }
  void TearDown() override { fs::remove_all(dir); }

  DownloadOutcome Run(DownloadKind kind, const DownloadHandOver& handOver = {}) {
    return RunDownload(kind, logic, port, dialogs, handOver);
  }
};

TEST_F(FlowFixture, CancellingTheLossQuestionChangesNothing) {
  view.SetLines({"kept"});
  prompts.ExpectMessage("Current DATA will be lost.", kModeConfirmation, kResultCancel);
  EXPECT_EQ(Run(DownloadKind::Terminal), DownloadOutcome::NotStarted);
  EXPECT_EQ(view.Lines(), std::vector<std::string>{"kept"});
  EXPECT_TRUE(dialogs.commands.empty());
  EXPECT_TRUE(device.opened.empty());
}

TEST_F(FlowFixture, FiledDataIsClearedWithoutAskingEvenWhenCommStatusIsCancelled) {
  view.SetLines({"old"});
  view.SetModified(false);
  logic.SetCurrentFile("/data/x.qr6");
  dialogs.go = false;
  EXPECT_EQ(Run(DownloadKind::Nwf), DownloadOutcome::NotStarted);
  EXPECT_TRUE(view.Lines().empty());
  EXPECT_FALSE(logic.hasFile);
  EXPECT_EQ(view.FileLabel(), "(unsaved)");
  EXPECT_EQ(dialogs.commands, std::vector<TransferCommand>{TransferCommand::NwfDownload});
  EXPECT_TRUE(device.opened.empty());
}

TEST_F(FlowFixture, TerminalDownloadOnCom2FillsTheView) {
  logic.Settings().comm.useCom2 = true;
  device.Send("A\n").Send("B\r\n").Send("\x04");
  EXPECT_EQ(Run(DownloadKind::Terminal), DownloadOutcome::Completed);
  EXPECT_EQ(device.opened, std::vector<std::string>{"/dev/ttyUSB1"});
  EXPECT_EQ(view.Lines(), (std::vector<std::string>{"A", "B"}));
  EXPECT_TRUE(view.Modified());
  EXPECT_FALSE(device.IsOpen());
  EXPECT_FALSE(prompts.busy);
  EXPECT_FALSE(dialogs.progress.Visible());
}

TEST_F(FlowFixture, PortFailureEndsBeforeBusy) {
  device.failOpen = true;
  prompts.ExpectMessage("COM ERROR.");
  EXPECT_EQ(Run(DownloadKind::Qrx6), DownloadOutcome::NotStarted);
  EXPECT_EQ(prompts.log, std::vector<std::string>{"message 0: COM ERROR."});
}

TEST_F(FlowFixture, NoResponseAfterSomeLinesKeepsThemAndClosesFirst) {
  device.Send("A\r\n");
  prompts.ExpectMessage("No response.");
  EXPECT_EQ(Run(DownloadKind::Terminal), DownloadOutcome::Failed);
  EXPECT_EQ(view.Lines(), std::vector<std::string>{"A"});
  EXPECT_EQ(device.closes, 1);
  EXPECT_FALSE(prompts.busy);
}

// A USB adapter pulled out mid-download: reads and writes fail at once. The download ends
// with its own message, the port is closed and the lines accepted so far stay in the view.
TEST_F(FlowFixture, UnpluggedAdapterKeepsTheAcceptedLines) {
  struct Case {
    DownloadKind kind;
    std::vector<std::string> messages;
    std::vector<std::string> kept;
  };
  const std::string b0 = BlockLine("_!J1_", 0), b1 = BlockLine("_\"N_", 1);
  const Case cases[] = {
      // Two lines came; the third read fails.
      {DownloadKind::Nwf, {"No response."}, {"A,", "B,"}},
      // The first block is acknowledged; the answer to the second cannot go out.
      {DownloadKind::Qrx6, {"Failed to send data.", "Write error."}, {b0.substr(0, 134)}},
      {DownloadKind::Hk, {"Failed to send data.", "Write error."}, {"A,"}},
  };
  for (const Case& c : cases) {
    view.SetLines({});
    view.SetModified(false);
    logic.Settings().comm.useAckNak = true;
    logic.Settings().comm.writeTextFile = false;
    logic.Settings().comm.checkBlockSum = false;
    ScriptedDevice instrument{clock};
    instrument.acceptAnyWrite = true;
    if (c.kind == DownloadKind::Qrx6)
      instrument.Send(b0).Send(b1).Send(BlockLine("_#I_", 2));
    else
      instrument.Send("A,\r\n").Send("B,\r\n").Send("C,\r\n");
    Faults faults;
    faults.unplugAfterLines = 2;
    FaultInjectingDevice adapter(instrument, clock, faults);
    CommPort cable{adapter, clock,
                   [this](const std::string& t) { logic.ShowMessage(t, kModeMessage, true); }};
    cable.SetPortPath("COM1", "/dev/ttyUSB0");
    for (const auto& m : c.messages) prompts.ExpectMessage(m);
    const auto before = clock.Now();
    EXPECT_EQ(RunDownload(c.kind, logic, cable, dialogs, {}), DownloadOutcome::Failed);
    EXPECT_EQ(view.Lines(), c.kept);
    EXPECT_FALSE(instrument.IsOpen());
    EXPECT_FALSE(prompts.busy);
    // A failed device ends the read at once; it is not waited out as a silent one is.
    if (c.kind == DownloadKind::Nwf) {
      EXPECT_EQ(clock.Now(), before);
    }
  }
}

TEST_F(FlowFixture, ReceiveTimeoutAndDelayComeFromTheSettingsTexts) {
  logic.Settings().comm.receiveTimeout = "2000 ";
  prompts.ExpectMessage(
      "No response.\nNothing arrived on /dev/ttyUSB0 in 2.0 s: check the cable, the port, and "
      "that the instrument is sending");
  Run(DownloadKind::Nwf);
  EXPECT_EQ(device.lastTimeout, std::chrono::milliseconds(2005));
}

// Bytes that make no record: what they say of the line goes under the protocol's message.
TEST(DownloadLineExplanation, SaysWhatArrived) {
  // "PT 12,A" and a block opening as 7E1 puts them on the line, read at 8N1: the eighth bit
  // makes the number of ones even (P 50, T D4, ' ' A0, 1 B1, 2 B2, ',' AC, A 41; STX 02 -> 82).
  std::string sevenEven = "\x82";
  for (int i = 0; i < 12; ++i) sevenEven += "\x50\xD4\xA0\xB1\xB2\xAC\x41";
  struct Case {
    const char* what;
    std::string bytes;
    const char* message;
  };
  const Case cases[] = {
      {"noise", std::string(260, '\xF8'),
       "No response.\n256 bytes arrived that fit no record (first: F8 F8 F8 F8\u2026): the "
       "instrument's speed or frame is probably not the port's; try Detect"},
      {"7E1 at 8N1", sevenEven + "\r\n",
       "Invalid Data.\nThe instrument seems to send at 19200 baud, 7E1; the port is set to 19200 "
       "baud, 8N1"},
  };
  for (const Case& c : cases) {
    FakeClock clock;
    ScriptedDevice device{clock};
    MemoryDataView view;
    ScriptedPrompts prompts;
    MainLogic logic{view, prompts, clock};
    CommPort port{device, clock, [&](const std::string& t) { logic.ShowMessage(t, kModeMessage); }};
    port.SetPortPath("COM1", "/dev/ttyUSB0");
    logic.Settings().comm.rateCode = 0;  // 19200
    device.Send(c.bytes);
    prompts.ExpectMessage(c.message);
    Dialogs dialogs;
    EXPECT_EQ(RunDownload(DownloadKind::Qrx6, logic, port, dialogs, {}), DownloadOutcome::Failed)
        << c.what;
  }
}

TEST_F(FlowFixture, HkForcesSevenBitsAndOneStopBitWhichStayInTheSettings) {
  logic.Settings().comm.stopBits = 2;
  device.Send("Z,&x\r\n").Expect("\x06,R,\r\n");
  EXPECT_EQ(Run(DownloadKind::Hk), DownloadOutcome::Completed);
  EXPECT_EQ(device.settings.dataBits, 7);
  EXPECT_EQ(device.settings.stopBits, 1);
  EXPECT_TRUE(logic.Settings().comm.sevenBits);
  EXPECT_TRUE(logic.Settings().comm.useAckNak);
}

TEST_F(FlowFixture, Qrx6WriteTextFileSavesThenHandsOverToTheConversion) {
  logic.Settings().comm.writeTextFile = true;
  const std::string b0 = BlockLine("_+P0_", 0), b1 = BlockLine("_+P1_", 1);
  device.Send(b0).Send(b1).Send("\x04");
  prompts.ExpectSaveCurrent("Cvt to NWF", "16123101.qr6", true);
  int converted = 0;
  DownloadHandOver handOver;
  handOver.convertToNwf = [&](MainLogic& l) {
    ++converted;
    EXPECT_TRUE(l.hasFile);
    EXPECT_EQ(fs::path(l.currentPath).filename(), "16123101.qr6");
  };
  EXPECT_EQ(Run(DownloadKind::Qrx6, handOver), DownloadOutcome::Completed);
  EXPECT_EQ(converted, 1);
  std::ifstream in(dir / "16123101.qr6", std::ios::binary);
  std::stringstream disk;
  disk << in.rdbuf();
  EXPECT_EQ(disk.str(), b0 + b1);  // each block followed by CR LF on disk
}

TEST_F(FlowFixture, HkWriteTextFileClearsTheDataAndConvertsTheSavedFile) {
  logic.Settings().comm.writeTextFile = true;
  device.Send("AB#x\r\n").Expect("\x06,R,\r\n").Send("Z,&x\r\n").Expect("\x06,R,\r\n");
  prompts.ExpectSaveCurrent("Cvt to HK-101/102 Text", "16123101.hk1", true);
  std::string given;
  DownloadHandOver handOver;
  handOver.hkToText = [&](MainLogic& l, const std::string& path) {
    given = path;
    EXPECT_FALSE(l.hasFile);
    EXPECT_EQ(l.View().LineCount(), 0u);
    l.View().AppendLine("      HK-100 TEXT ");
    return 0;
  };
  EXPECT_EQ(Run(DownloadKind::Hk, handOver), DownloadOutcome::Completed);
  EXPECT_EQ(fs::path(given).filename(), "16123101.hk1");
  EXPECT_EQ(logic.conversionResult, 0);
  EXPECT_EQ(view.Lines(), std::vector<std::string>{"      HK-100 TEXT "});
}

TEST_F(FlowFixture, WriteTextFileCancelledKeepsTheDownloadedLines) {
  logic.Settings().comm.writeTextFile = true;
  device.Send(BlockLine("_", 0)).Send("\x04");
  prompts.ExpectSaveCurrent("Cvt to NWF", "16123101.qr6", false);
  bool converted = false;
  DownloadHandOver handOver;
  handOver.convertToNwf = [&](MainLogic&) { converted = true; };
  EXPECT_EQ(Run(DownloadKind::Qrx6, handOver), DownloadOutcome::Completed);
  EXPECT_EQ(logic.conversionResult, kConversionCancelled);
  EXPECT_FALSE(converted);
  EXPECT_EQ(view.LineCount(), 1u);
}

TEST_F(FlowFixture, FailedFinalAckSkipsTheWriteTextFileStep) {
  logic.Settings().comm.writeTextFile = true;
  logic.Settings().comm.useAckNak = true;
  device.Expect("\x05").Send(BlockLine("_", 0)).Expect("\x06").Send("\x04");
  device.failWrite = 3;
  prompts.ExpectMessage("Failed to send data.");
  EXPECT_EQ(Run(DownloadKind::Qrx6), DownloadOutcome::Failed);
  EXPECT_EQ(view.LineCount(), 1u);
  EXPECT_FALSE(logic.hasFile);
}

}  // namespace
}  // namespace kavex
