#include <gtest/gtest.h>

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>
#include <filesystem>
#include <fstream>
#include <functional>

#include "kavex/comm/tracing_device.h"
#include "kavex/gui/line_pane.h"
#include "kavex/gui/transfer_dialogs.h"
#include "kavex/gui/tupdw_dlg.h"
#include "kavex/shell/download_commands.h"
#include "kavex/tests/support/fake_clock.h"
#include "kavex/tests/support/scripted_device.h"
#include "kavex/tests/support/scripted_prompts.h"

namespace kavex {
namespace {

namespace fs = std::filesystem;

class Forms : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "kavex_gui_comm_tests";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) app_ = new QApplication(argc, argv);
  }
  static void TearDownTestSuite() {
    delete app_;
    app_ = nullptr;
  }
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("kavex_forms_" + std::to_string(getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path dir_;
  static inline QApplication* app_ = nullptr;
};

// Passes the line through and tells the test of each byte read, so it can act mid-transfer.
struct WatchedDevice final : SerialDevice {
  WatchedDevice(SerialDevice& inner, std::function<void(int)> read)
      : inner_(inner), read_(std::move(read)) {}
  bool Open(const std::string& name) override { return inner_.Open(name); }
  bool IsOpen() const override { return inner_.IsOpen(); }
  bool QueryState() override { return inner_.QueryState(); }
  bool Configure(const LineSettings& s) override { return inner_.Configure(s); }
  bool SupportsReadTimeouts() const override { return inner_.SupportsReadTimeouts(); }
  void ClearError() override { inner_.ClearError(); }
  int ReadByte(std::chrono::milliseconds timeout) override {
    const int b = inner_.ReadByte(timeout);
    read_(b);
    return b;
  }
  void ExpectBytes(size_t count) override { inner_.ExpectBytes(count); }
  bool Write(const std::string& bytes) override { return inner_.Write(bytes); }
  void PurgeInput() override { inner_.PurgeInput(); }
  void Close() override { inner_.Close(); }
  SerialDevice& inner_;
  std::function<void(int)> read_;
};

// The Qt progress window without the modal port dialog.
struct GoDialogs final : TransferDialogs {
  explicit GoDialogs(QtTransferDialogs& dialogs) : qt(dialogs) {}
  bool ShowCommStatus(TransferCommand command, CommSettings& settings) override {
    settings = ApplyPreparation(settings, CommStatusPreparationFor(command));
    return true;
  }
  TransferProgress& Progress() override { return qt.Progress(); }
  void TransferStarting() override { qt.TransferStarting(); }
  QtTransferDialogs& qt;
};

// The "Line" pane opened in the middle of a download that then fails: it shows the line as
// it passed, stays on screen after the failure, saves the whole trace as --trace writes it,
// and the next transfer starts it afresh.
TEST_F(Forms, LinePaneOpenedDuringADownloadSavesTheFailedTrace) {
  testing::FakeClock clock;
  testing::ScriptedDevice device(clock);
  device.Send("A\r\n").Send("B\x02\r\n", std::chrono::milliseconds(250));
  TraceModel trace;
  QtTransferDialogs* forms = nullptr;
  int lineEnds = 0;
  WatchedDevice watched(device, [&](int b) {
    if (b == '\n' && ++lineEnds == 1) {  // the user opens the pane after the first line
      forms->UpDw().Pane()->Toggle()->click();
      forms->UpDw().Pane()->Refresh();
    }
  });
  TracingDevice tracing(watched, clock, trace);
  MemoryDataView view;
  testing::ScriptedPrompts prompts;
  MainLogic logic(view, prompts, clock);
  logic.Settings().comm.receiveTimeout = "1000 ";
  CommPort port(tracing, clock, [&](const std::string& t) { logic.ShowMessage(t); });
  QtTransferDialogs qt(nullptr, port, dir_ / "ports.ini");
  port.SetPortPath("COM1", "/dev/ttyUSB0");
  forms = &qt;
  qt.SetTrace(trace);
  LinePane& pane = *qt.UpDw().Pane();
  EXPECT_FALSE(pane.IsOpen());  // closed until the user opens it
  GoDialogs dialogs(qt);
  prompts.ExpectMessage("No response.");
  EXPECT_EQ(RunDownload(DownloadKind::Terminal, logic, port, dialogs), DownloadOutcome::Failed);
  EXPECT_EQ(view.Lines(), (std::vector<std::string>{"A", "B\x02"}));

  // After the failure message the window is still there for the open pane.
  EXPECT_TRUE(qt.UpDw().isVisible());
  EXPECT_EQ(qt.UpDw().CancelButton()->text(), "CLOSE");
  EXPECT_EQ(qt.UpDw().FirstLabel()->text(), "Download stopped");
  EXPECT_EQ(qt.UpDw().SecondLabel()->text(), "2 lines");
  pane.Refresh();
  const std::string whole =
      "     0.000 -- open /dev/ttyUSB0\n"
      "     0.000 -- configure 9600 baud, 8 bits, parity none, 1 stop\n"
      "     0.000 RX A<CR><LF>\n"
      "     0.250 RX B<STX><CR><LF>\n"
      // The read waits the receive time-out and 5 ms more.
      "     1.255 RX time-out\n"
      "     1.255 -- close\n";
  EXPECT_EQ(pane.Text()->toPlainText().toStdString() + "\n", whole);
  pane.HexBox()->click();
  EXPECT_TRUE(pane.Text()->toPlainText().contains("     0.250 RX 42 02 0D 0A"));

  const fs::path saved = dir_ / "trace.txt";
  pane.choosePath = [&] { return QString::fromStdString(saved.string()); };
  pane.SaveButton()->click();
  std::ifstream in(saved, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), whole);

  qt.UpDw().CancelButton()->click();  // CLOSE
  EXPECT_FALSE(qt.UpDw().isVisible());
  dialogs.TransferStarting();  // the next transfer: the old trace gives way
  pane.Refresh();
  EXPECT_EQ(pane.Text()->toPlainText(), "");
}

// Opened in the middle of a long transfer, the pane shows the end of what passed and
// follows the traffic; scrolled up by the user, it stays where the user looks.
TEST_F(Forms, LinePaneFollowsTheTrafficUntilScrolledUp) {
  TraceModel trace;
  trace.Begin();
  const auto add = [&trace](int from, int to) {
    for (int i = from; i < to; ++i)
      trace.Add({std::chrono::milliseconds(i), TraceDirection::kReceived,
                 "line " + std::to_string(i) + "\r\n", ""});
  };
  add(0, 300);
  TUpDwDlg window;
  window.AttachLinePane(trace);
  window.BeginTransfer();
  window.Show(false);
  QApplication::processEvents();
  LinePane& pane = *window.Pane();
  pane.Toggle()->click();
  QApplication::processEvents();
  QScrollBar* bar = pane.Text()->verticalScrollBar();
  EXPECT_GT(bar->maximum(), 0);
  EXPECT_EQ(bar->value(), bar->maximum());
  EXPECT_TRUE(pane.Text()->toPlainText().startsWith("     0.000 RX line 0<CR><LF>"));
  const struct {
    const char* what;
    bool scrolledUp;
  } steps[] = {{"more lines while at the end", false}, {"more lines after scrolling up", true}};
  int next = 300;
  for (const auto& step : steps) {
    SCOPED_TRACE(step.what);
    if (step.scrolledUp) bar->setValue(10);
    add(next, next + 100);
    next += 100;
    pane.Refresh();
    QApplication::processEvents();
    EXPECT_EQ(bar->value(), step.scrolledUp ? 10 : bar->maximum());
  }
}

TEST_F(Forms, CommStatusForHkForcesAndDisables) {
  CommSettings s;
  s.stopBits = 2;
  s.rateCode = 0;  // 19200: radio item 3
  TTusinSetDlg dlg(
      {s, CommStatusPreparationFor(TransferCommand::HkDownload), {"/dev/a", "/dev/b", {}, {}}});
  EXPECT_EQ(dlg.InstrumentLabel()->text(), "HK-101/102        ");
  EXPECT_EQ(dlg.DirectionLabel()->text(), "Download :");
  EXPECT_EQ(dlg.Characters()->checkedId(), 0);  // 7 Bits
  EXPECT_FALSE(dlg.CharactersBox()->isEnabled());
  EXPECT_EQ(dlg.StopBits()->checkedId(), 0);  // 1
  EXPECT_FALSE(dlg.StopBitsBox()->isEnabled());
  EXPECT_EQ(dlg.Protocol()->checkedId(), 1);  // Ack/Nak
  EXPECT_FALSE(dlg.ProtocolBox()->isEnabled());
  EXPECT_FALSE(dlg.WriteTextFile()->isHidden());
  EXPECT_TRUE(dlg.ReadTextFile()->isHidden());
  EXPECT_EQ(dlg.BaudRate()->checkedId(), 3);
  EXPECT_EQ(dlg.DevicePath(0)->text(), "/dev/a");
  EXPECT_TRUE(dlg.GoButton()->isDefault());
  // "GO" keeps the forced values.
  const CommSettings stored = dlg.options().settings;
  EXPECT_TRUE(stored.sevenBits);
  EXPECT_EQ(stored.stopBits, 1);
  EXPECT_TRUE(stored.useAckNak);
  EXPECT_EQ(stored.rateCode, 0);
}

TEST_F(Forms, CommStatusControlsBecomeTheSettings) {
  TTusinSetDlg dlg(
      {{}, CommStatusPreparationFor(TransferCommand::Qrx6Download), {"/dev/a", "/dev/b", {}, {}}});
  dlg.ComPort()->button(1)->click();
  dlg.BaudRate()->button(5)->click();  // 38400
  dlg.Parity()->button(2)->click();
  dlg.Protocol()->button(1)->click();
  dlg.WriteTextFile()->click();
  dlg.DevicePath(1)->setText(" /dev/ttyUSB3 ");
  const CommStatusOptions o = dlg.options();
  EXPECT_TRUE(o.settings.useCom2);
  EXPECT_EQ(o.settings.rateCode, 5);
  EXPECT_EQ(o.settings.parityCode, 2);
  EXPECT_TRUE(o.settings.useAckNak);
  EXPECT_TRUE(o.settings.writeTextFile);
  EXPECT_EQ(o.paths.com2, "/dev/ttyUSB3");
  EXPECT_TRUE(dlg.ProtocolBox()->isEnabled());
}

// What Detect found becomes the controls; a speed Kavex lacks leaves the rate as it was. The
// button hands over to the owner, on the device of the chosen port.
TEST_F(Forms, CommStatusTakesTheDetectedSettings) {
  struct Case {
    int baud, dataBits, parity, stopBits;
    int rateCode;  // expected
  };
  const Case cases[] = {
      {9600, 7, 1, 1, 1}, {1200, 8, 2, 2, 4}, {57600, 7, 2, 1, 3},  // stays at 2400, as set before
  };
  for (const Case& c : cases) {
    CommSettings s;
    s.rateCode = 3;
    TTusinSetDlg dlg(
        {s, CommStatusPreparationFor(TransferCommand::NwfDownload), {"/dev/a", "/dev/b", {}, {}}});
    dlg.ComPort()->button(1)->click();
    int asked = 0;
    dlg.SetDetectHandler([&] { ++asked; });
    dlg.DetectButton()->click();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(dlg.ChosenDevice(), "/dev/b");
    dlg.ApplyDetected(c.baud, c.dataBits, c.parity, c.stopBits);
    const CommSettings o = dlg.options().settings;
    EXPECT_EQ(o.rateCode, c.rateCode) << c.baud;
    EXPECT_EQ(o.sevenBits, c.dataBits == 7) << c.baud;
    EXPECT_EQ(o.parityCode, c.parity) << c.baud;
    EXPECT_EQ(o.stopBits, c.stopBits) << c.baud;
  }
}

TEST_F(Forms, AdvancedFieldChecksOnLeaving) {
  CommSettings s;
  std::vector<std::string> shown;
  TAdvancedDlg dlg({s, AdvancedPreparationFor(TransferCommand::TerminalUpload)});
  dlg.SetMessageSink([&](const std::string& t) { shown.push_back(t); });
  struct Case {
    int field;
    const char* typed;
    bool ok;
    const char* after;
  };
  const Case cases[] = {
      {kBlockIntervalField, "99", false, "400 "},     {kBlockIntervalField, "250", true, "250 "},
      {kReceiveTimeoutField, "60000", true, "60000"}, {kReceiveTimeoutField, "6000", true, "6000 "},
      {kDelayTimeField, "5", false, "100"},
  };
  for (const auto& c : cases) {
    shown.clear();
    dlg.Field(c.field)->setText(c.typed);
    EXPECT_EQ(dlg.LeaveField(c.field), c.ok) << c.typed;
    EXPECT_EQ(dlg.Field(c.field)->text().toStdString(), c.after) << c.typed;
    EXPECT_EQ(shown.size(), c.ok ? 0u : 1u) << c.typed;
    if (!c.ok) {
      EXPECT_EQ(shown[0], AdvancedFieldAt(c.field).invalidMessage);
    }
  }
  dlg.Field(kReceiveTimeoutField)->setText("60001");
  dlg.LeaveField(kReceiveTimeoutField);
  EXPECT_EQ(shown.back(), "Invalid value entered in Receiving time out");
  const CommSettings kept = dlg.options().settings;
  EXPECT_EQ(kept.blockInterval, "250 ");
  EXPECT_EQ(kept.receiveTimeout, "10000");
}

TEST_F(Forms, AdvancedFieldsTakeAnyTextAndRefuseItOnLeaving) {
  std::vector<std::string> shown;
  TAdvancedDlg dlg({{}, AdvancedPreparationFor(TransferCommand::TerminalUpload)});
  dlg.SetMessageSink([&](const std::string& t) { shown.push_back(t); });
  for (const char* typed : {"x1y", "1234567", "-5"}) {
    dlg.Field(kBlockIntervalField)->clear();
    QTest::keyClicks(dlg.Field(kBlockIntervalField), typed);
    EXPECT_EQ(dlg.Field(kBlockIntervalField)->text().toStdString(), typed);
    EXPECT_FALSE(dlg.LeaveField(kBlockIntervalField)) << typed;
    EXPECT_EQ(dlg.Field(kBlockIntervalField)->text().toStdString(), "400 ") << typed;
  }
  EXPECT_EQ(shown, std::vector<std::string>(3, "Invalid value entered in Block Interval"));
}

TEST_F(Forms, AdvancedPreparationAndEnterOrder) {
  TAdvancedDlg dlg({{}, AdvancedPreparationFor(TransferCommand::Qrx6Download)});
  EXPECT_FALSE(dlg.Field(0)->isEnabled());
  EXPECT_TRUE(dlg.Field(1)->isEnabled());
  EXPECT_FALSE(dlg.CheckBlockNumber()->isHidden());
  EXPECT_TRUE(dlg.AddEndBlock()->isHidden());
  EXPECT_EQ(dlg.NextAfter(1), dlg.Field(2));
  EXPECT_EQ(dlg.NextAfter(2), dlg.OkButton());
  dlg.SetOptions({{}, AdvancedPreparationFor(TransferCommand::NwfUpload)});
  EXPECT_EQ(dlg.NextAfter(0), dlg.Field(2));  // delay time disabled
}

TEST_F(Forms, ProgressWindowShowsTheCoreDisplay) {
  TUpDwDlg dlg;
  dlg.Show(false);
  dlg.StartDownloadDisplay(0);
  dlg.Update(5);
  EXPECT_EQ(dlg.FirstLabel()->text(), "Download in progress  :");
  EXPECT_EQ(dlg.SecondLabel()->text(), "   5 ");
  EXPECT_TRUE(dlg.Bar()->isHidden());
  EXPECT_TRUE(dlg.CancelButton()->isHidden());
  EXPECT_TRUE(dlg.isVisible());
  dlg.Hide();
  EXPECT_FALSE(dlg.isVisible());
}

TEST(PortList, LabelsSayWhatTheSystemKnows) {
  const struct {
    PortInfo port;
    std::string label;
  } cases[] = {
      {{"/dev/ttyUSB0", "FT232R USB UART", "FTDI", "A10K"},
       "FT232R USB UART \u2013 FTDI (/dev/ttyUSB0)"},
      {{"/dev/ttyS0", "", "", ""}, "/dev/ttyS0"},
      {{"/dev/ttyACM0", "", "Prolific", ""}, "Prolific (/dev/ttyACM0)"},
      {{"/dev/ttyUSB1", "USB Serial", "USB Serial", ""}, "USB Serial (/dev/ttyUSB1)"},
  };
  for (const auto& c : cases) EXPECT_EQ(PortLabel(c.port), c.label) << c.port.device;
}

class ListedPorts final : public PortLister {
 public:
  std::vector<PortInfo> Ports() const override { return ports; }
  std::vector<PortInfo> ports;
};

TEST_F(Forms, PortsByNameFollowTheAdapterToItsNewDevice) {
  testing::FakeClock clock;
  testing::ScriptedDevice device(clock);
  CommPort port(device, clock, [](const std::string&) {});
  const fs::path file = dir_ / "KavexPorts.ini";
  ListedPorts lister;
  lister.ports = {{"/dev/ttyS0", "", "", ""},
                  {"/dev/ttyUSB0", "FT232R USB UART", "FTDI", "A10K"},
                  {"/dev/ttyUSB1", "CP2102 USB to UART Bridge", "Silicon Labs", ""}};
  const QString ftdi = QString::fromUtf8("FT232R USB UART \u2013 FTDI (/dev/ttyUSB0)");
  {
    QtTransferDialogs dialogs(nullptr, port, file);
    dialogs.SetPortLister(lister);
    TTusinSetDlg& dlg = dialogs.CommStatus();
    dlg.SetOptions({{},
                    CommStatusPreparationFor(TransferCommand::HkDownload),
                    {"/dev/ttyUSB0", "/dev/ttyUSB1", {}, {}}});
    QComboBox* com1 = dlg.DeviceList(0);
    ASSERT_EQ(com1->count(), 3);
    EXPECT_EQ(com1->itemText(0), "/dev/ttyS0");
    EXPECT_EQ(com1->currentText(), ftdi);
    EXPECT_EQ(dlg.DeviceList(1)->currentText(),
              QString::fromUtf8("CP2102 USB to UART Bridge \u2013 Silicon Labs (/dev/ttyUSB1)"));
    EXPECT_EQ(dlg.options().paths.com1, "/dev/ttyUSB0");
    // A path typed by hand is taken as it is.
    dlg.DevicePath(1)->setText("/dev/rfcomm0");
    EXPECT_EQ(dlg.options().paths.com2, "/dev/rfcomm0");
    dialogs.StorePaths(dlg.options().paths);
    EXPECT_EQ(dialogs.Paths().com1Serial, "A10K");
    EXPECT_EQ(dialogs.Paths().com2Serial, "");

    // Unplugged and back as ttyUSB2 while the dialog is open: the field follows it.
    lister.ports = {{"/dev/ttyS0", "", "", ""},
                    {"/dev/ttyUSB2", "FT232R USB UART", "FTDI", "A10K"}};
    dlg.RefreshPorts();
    ASSERT_EQ(com1->count(), 2);
    EXPECT_EQ(dlg.options().paths.com1, "/dev/ttyUSB0");  // the field still names the old one
    dlg.SetOptions({{}, CommStatusPreparationFor(TransferCommand::HkDownload), dialogs.Paths()});
    dialogs.FollowAdapters();
  }
  EXPECT_EQ(LoadPortPaths(file).com1Serial, "A10K");
  // Started again with the adapter elsewhere: COM1 is found under its new name.
  QtTransferDialogs again(nullptr, port, file);
  again.SetPortLister(lister);
  again.FollowAdapters();
  EXPECT_EQ(again.Paths().com1, "/dev/ttyUSB2");
  EXPECT_EQ(port.DevicePathOf("COM1"), "/dev/ttyUSB2");
  EXPECT_EQ(again.Paths().com2, "/dev/rfcomm0");
  // An adapter that is gone keeps its last path.
  lister.ports.clear();
  again.FollowAdapters();
  EXPECT_EQ(again.Paths().com1, "/dev/ttyUSB2");
}

TEST_F(Forms, DevicePathsPersistAndReachThePort) {
  testing::FakeClock clock;
  testing::ScriptedDevice device(clock);
  CommPort port(device, clock, [](const std::string&) {});
  const fs::path file = dir_ / "KavexPorts.ini";
  {
    QtTransferDialogs dialogs(nullptr, port, file);
    dialogs.StorePaths({"/dev/ttyUSB0", "/dev/ttyACM1", {}, {}});
  }
  EXPECT_EQ(LoadPortPaths(file), (PortPaths{"/dev/ttyUSB0", "/dev/ttyACM1", {}, {}}));
  QtTransferDialogs again(nullptr, port, file);
  EXPECT_EQ(port.DevicePathOf("COM2"), "/dev/ttyACM1");
  EXPECT_EQ(again.Paths().com1, "/dev/ttyUSB0");

  // Garbage in the file gives the defaults, never a control character in a device name.
  std::ofstream(file, std::ios::binary) << "[Ports]\nCOM1=\x01\x02\nCOM2=\n\xff\xfe garbage";
  EXPECT_EQ(LoadPortPaths(file), DefaultPortPaths());
}

TEST_F(Forms, StoringTheDialogsTouchesOnlyTheirOwnSettings) {
  CommSettings into, from;
  from.useCom2 = true;
  from.delayTime = "20 ";
  QtTransferDialogs::StoreCommStatus(from, into);
  EXPECT_TRUE(into.useCom2);
  EXPECT_EQ(into.delayTime, "100");
  QtTransferDialogs::StoreAdvanced(from, into);
  EXPECT_EQ(into.delayTime, "20 ");
}

}  // namespace
}  // namespace kavex
