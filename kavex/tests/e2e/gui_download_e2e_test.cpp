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
#include <thread>

#include "kavex/comm/capture_file.h"
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
  commands.TransferForms().StorePaths({device, "/dev/null", {}, {}});

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

// The main window of a program of its own, running a download from `device` until it is
// killed; it never returns.
[[noreturn]] void RunWindowDownload(const fs::path& dir, const std::string& device,
                                    QAction* TMainForm::*command, bool ackNak) {
  int argc = 1;
  char name[] = "kavex";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  TMainForm form({dir / "Kavex.ini", dir / "Kavex.ibk"}, dir.string());
  MainCommands commands(form);
  form.show();
  CommSettings& comm = form.Logic().Settings().comm;
  comm.useAckNak = ackNak;
  comm.delayTime = "10 ";
  commands.TransferForms().StorePaths({device, "/dev/null", {}, {}});
  QTimer answer;
  answer.setInterval(5);
  QObject::connect(&answer, &QTimer::timeout, [] {
    if (auto* status = qobject_cast<TTusinSetDlg*>(QApplication::activeModalWidget()))
      status->GoButton()->click();
  });
  answer.start();
  (form.*command)->trigger();
  // The download ended before the kill: the parent sees no capture.
  _exit(0);
}

// The window killed in the middle of a slow download leaves its capture; recover restores
// every line accepted up to the kill, whole lines only, in order.
TEST(GuiDownload, WindowKilledMidDownloadIsRecovered) {
  const fs::path dir = fs::temp_directory_path() / ("kavex_gui_kill_" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  // The window's settings and captures and kavex-cli's go to the test's folder.
  setenv("XDG_DATA_HOME", dir.c_str(), 1);
  setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
  setenv("KAVEX_CONFIG_DIR", dir.c_str(), 1);
  setenv("QT_QPA_PLATFORM", "offscreen", 1);

  std::string text;
  for (int i = 0; i < 60; ++i) text += "PT" + std::to_string(2000 + i) + ",12.345,67.890\r\n";
  std::string blocks;
  for (int i = 0; i < 40; ++i) blocks += BlockLine("_+W" + std::to_string(i) + "_", i % 10);
  struct Case {
    const char* kind;
    std::string sent;  // what the instrument sends, as a saved file would hold it
    std::vector<std::string> sim;
    QAction* TMainForm::*command;
    bool ackNak;
  };
  const Case cases[] = {
      // A second before the first line: by then the port is open and purged.
      {"terminal",
       text,
       {"kavex-text", "--baud", "1200", "--start-ms", "1000"},
       &TMainForm::DldTerminal,
       false},
      {"qrx6", blocks, {"kavex-qrx6", "--ack-nak", "--baud", "2400"}, &TMainForm::DldQRX6, true},
  };
  const fs::path captures = dir / "Kavex" / "Captures";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    fs::remove_all(captures);
    const fs::path sent = dir / (std::string(c.kind) + ".in");
    std::ofstream(sent, std::ios::binary) << c.sent;
    std::vector<std::string> simArgs = {std::string(SURVEY_BIN_DIR) + "/instrument-sim"};
    simArgs.insert(simArgs.end(), c.sim.begin(), c.sim.end());
    simArgs.insert(simArgs.end(), {"--file", sent.string()});
    ChildProcess sim(simArgs);
    const std::string device = sim.FirstLine();
    ASSERT_FALSE(device.empty());
    const pid_t window = fork();
    ASSERT_GE(window, 0);
    if (window == 0) RunWindowDownload(dir, device, c.command, c.ackNak);

    // Killed once a few lines are in: the line is far from its end at these rates.
    std::vector<CaptureInfo> found;
    bool ended = false;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < until) {
      found = ListCaptures(captures);
      if (found.size() == 1 && found[0].records >= 3) break;
      if (waitpid(window, nullptr, WNOHANG) == window) {
        ended = true;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!ended) {
      kill(window, SIGKILL);
      waitpid(window, nullptr, 0);
    }
    sim.Kill(SIGTERM);
    EXPECT_FALSE(ended);
    ASSERT_EQ(found.size(), 1u);
    ASSERT_GE(found[0].records, 3u);

    const std::vector<CaptureInfo> left = ListCaptures(captures);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_FALSE(left[0].inUse);
    EXPECT_EQ(left[0].header.kind, c.kind);
    EXPECT_EQ(left[0].header.destination, "");  // the current data
    const std::string restored = (dir / "restored").string();
    ChildProcess recover({std::string(SURVEY_BIN_DIR) + "/kavex-cli", "recover", "restore",
                          left[0].name, "-o", restored, "--force"});
    EXPECT_EQ(recover.Wait(), 0);
    std::ifstream in(restored, std::ios::binary);
    const std::string got(std::istreambuf_iterator<char>(in), {});
    EXPECT_GE(got.size(), found[0].dataBytes);
    EXPECT_LT(got.size(), c.sent.size());
    EXPECT_EQ(got, c.sent.substr(0, got.size()));
    EXPECT_TRUE(got.ends_with("\r\n"));
    EXPECT_TRUE(ListCaptures(captures).empty());
  }
  for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "KAVEX_CONFIG_DIR"}) unsetenv(name);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace kavex
