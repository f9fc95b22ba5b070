// The download as the main window runs it: "Comm Status" and "Advanced Options" answered
// by clicks, the real serial adapter, instrument-sim on a pseudo-terminal.
#include <gtest/gtest.h>

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "kavex/gui/data_memo.h"
#include "kavex/gui/main_commands.h"
#include "kavex/gui/main_form.h"
#include "kavex/gui/message_box_dialog.h"
#include "kavex/gui/save_current_dialog.h"
#include "kavex/gui/save_now_dialog.h"
#include "kavex/gui/tcvt_q6to7_dlg.h"
#include "kavex/gui/transfer_dialogs.h"
#include "kavex/gui/ttusin_set_dlg.h"
#include "kavex/gui/tupdw_dlg.h"
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
  prompts.autoNameFolder = dir;
  QtSerialDevice serial;
  CommPort port(serial, clock,
                [&](const std::string& t) { logic.ShowMessage(t, kModeMessage, true); });
  QtTransferDialogs dialogs(nullptr, port, dir / "KavexPorts.ini");
  bool converted = false;
  DownloadHandOver handOver;
  handOver.convertToNwf = [&](MainLogic& l) { converted = l.hasFile; };
  DownloadCommands downloads(logic, port, dialogs, handOver);

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

// The whole road in the main window: Download -> QRX-6 with "Write text file", the saved
// file handed to the conversion, and the NWF lines left as the unsaved current data.
TEST(GuiDownload, MainWindowDownloadEndsWithNwfLines) {
  int argc = 1;
  char name[] = "kavex_gui_e2e_tests";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  const fs::path dir =
      fs::temp_directory_path() / ("kavex_gui_e2e_main_" + std::to_string(getpid()));
  fs::create_directories(dir);
  qputenv("KAVEX_CONFIG_DIR", QByteArray::fromStdString(dir.string()));

  std::string disk = BlockLine("_'S1_(1.5_)0_+T1_ <0900000+1800000****d000_", 0);
  disk += BlockLine("_+T2_ <0450000+0900000****d000_", 1);
  const fs::path file = dir / "sent.qr6";
  std::ofstream(file, std::ios::binary) << disk;
  ChildProcess sim({std::string(SURVEY_BIN_DIR) + "/instrument-sim", "kavex-qrx6", "--file",
                    file.string(), "--ack-nak", "--baud", "38400"});
  const std::string device = sim.FirstLine();
  ASSERT_FALSE(device.empty());

  TMainForm form({dir / "Kavex.ini", dir / "Kavex.ibk"}, dir.string());
  MainCommands commands(form);
  form.show();
  CommSettings& comm = form.Logic().Settings().comm;
  comm.rateCode = 5;
  comm.useAckNak = true;
  comm.writeTextFile = true;
  comm.delayTime = "10 ";
  commands.TransferForms().StorePaths({device, "/dev/null"});

  // The user answers each form as it comes up: GO, OK to the automatic name, OK to the
  // conversion options.
  std::vector<std::string> seen;
  QTimer answer;
  answer.setInterval(5);
  QObject::connect(&answer, &QTimer::timeout, [&] {
    QWidget* w = QApplication::activeModalWidget();
    if (!w || !w->isVisible()) return;
    if (auto* status = qobject_cast<TTusinSetDlg*>(w)) {
      seen.push_back("Comm Status");
      status->GoButton()->click();
    } else if (auto* save = qobject_cast<TCrrSaveDlg1*>(w)) {
      seen.push_back("Save current");
      save->OkButton()->click();
    } else if (auto* cvt = qobject_cast<TCvtQ6to7Dlg*>(w)) {
      seen.push_back("Convert");
      cvt->accept();
    } else if (auto* box = qobject_cast<TMBoxDlg*>(w)) {
      seen.push_back("message " + box->Text().toStdString());
      box->close();
    } else if (!qobject_cast<TSaveNowDlg*>(w) && !qobject_cast<TUpDwDlg*>(w)) {
      // Progress windows come and go by themselves; anything else is a question too many.
      seen.push_back("unexpected " + w->windowTitle().toStdString());
      w->close();
    }
  });
  answer.start();
  form.DldQRX6->trigger();
  answer.stop();
  EXPECT_EQ(sim.Wait(), 0);

  EXPECT_EQ(seen, (std::vector<std::string>{"Comm Status", "Save current", "Convert"}));
  EXPECT_EQ(form.CurrFilePass->text(), "(unsaved)");
  const std::vector<std::string> lines = form.DataMemo1->Lines();
  for (const char* expected :
       {"STN     S1,0,1.5", "HV      180.00000,90.00000", "HV      90.00000,45.00000"})
    EXPECT_NE(std::find(lines.begin(), lines.end(), expected), lines.end()) << expected;
  // The downloaded blocks stay in the file that was saved for the conversion.
  std::string saved;
  for (const auto& entry : fs::directory_iterator(dir))
    if (entry.path().extension() == ".qr6" && entry.path() != file) {
      std::ifstream in(entry.path(), std::ios::binary);
      saved.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
  EXPECT_EQ(saved, disk);
  qunsetenv("KAVEX_CONFIG_DIR");
  fs::remove_all(dir);
}

}  // namespace
}  // namespace kavex
