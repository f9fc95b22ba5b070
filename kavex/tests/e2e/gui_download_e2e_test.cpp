// The download as the main window runs it: "Comm Status" and "Advanced Options" answered
// by clicks, the real serial adapter, instrument-sim on a pseudo-terminal.
#include <gtest/gtest.h>

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "kavex/gui/transfer_dialogs.h"
#include "kavex/platform/qt_serial_device.h"
#include "kavex/tests/comm/test_blocks.h"
#include "kavex/tests/support/fake_clock.h"
#include "kavex/tests/support/scripted_prompts.h"
#include "sim_process.h"

namespace kavex {
namespace {

namespace fs = std::filesystem;
using testing::BlockLine;
using testing::ChildProcess;

TEST(GuiDownload, Qrx6AckNakThroughTheFormsThenWriteTextFile) {
  int argc = 1;
  char name[] = "kavex_gui_e2e_tests";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  const fs::path dir = fs::temp_directory_path() / ("kavex_gui_e2e_" + std::to_string(getpid()));
  fs::create_directories(dir);

  std::string disk;
  for (int i = 0; i < 11; ++i) disk += BlockLine("_+G" + std::to_string(i) + "_", i % 10);
  const fs::path file = dir / "sent.qr6";
  std::ofstream(file, std::ios::binary) << disk;
  ChildProcess sim({std::string(SURVEY_BIN_DIR) + "/instrument-sim", "kavex-qrx6", "--file",
                    file.string(), "--ack-nak", "--spoil", "7", "--baud", "38400"});
  const std::string device = sim.FirstLine();
  ASSERT_FALSE(device.empty());

  testing::FakeClock calendar;  // only for the automatic file name's date
  SystemClock clock;
  MemoryDataView view;
  testing::ScriptedPrompts prompts;
  MainLogic logic(view, prompts, calendar);
  logic.workDir = dir;
  QtSerialDevice serial;
  CommPort port(serial, clock,
                [&](const std::string& t) { logic.ShowMessage(t, kModeMessage, true); });
  QtTransferDialogs dialogs(nullptr, port, dir / "KavexPorts.ini");
  bool converted = false;
  DownloadCommands downloads(logic, port, dialogs,
                             {[&](MainLogic& l) { converted = l.hasFile; }, {}});

  // The user: Advanced -> delay 10, OK; then COM1's device, 38400, Ack/Nak, Write text
  // file, GO.
  QTimer::singleShot(0, [&] {
    TTusinSetDlg& status = dialogs.CommStatus();
    QTimer::singleShot(0, [&] {
      TAdvancedDlg& advanced = dialogs.Advanced();
      advanced.Field(kDelayTimeField)->setText("10");
      advanced.OkButton()->click();
    });
    status.AdvancedButton()->click();
    status.DevicePath(0)->setText(QString::fromStdString(device));
    status.ComPort()->button(0)->click();
    status.BaudRate()->button(5)->click();
    status.Protocol()->button(1)->click();
    status.WriteTextFile()->setChecked(true);
    status.GoButton()->click();
  });
  prompts.ExpectSaveCurrent("Cvt to NWF", "16123101.qr6", true);
  EXPECT_EQ(downloads.DldQRX6(), DownloadOutcome::Completed);
  EXPECT_EQ(sim.Wait(), 0);

  std::string got;
  for (const auto& l : view.Lines()) got += l + "\r\n";
  EXPECT_EQ(got, disk);
  EXPECT_TRUE(converted);
  EXPECT_EQ(logic.Settings().comm.delayTime, "10 ");
  EXPECT_TRUE(logic.Settings().comm.useAckNak);
  EXPECT_EQ(LoadPortPaths(dir / "KavexPorts.ini").com1, device);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace kavex
