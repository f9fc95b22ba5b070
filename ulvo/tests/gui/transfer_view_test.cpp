#include <gtest/gtest.h>
#include <unistd.h>

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QThread>
#include <QToolButton>
#include <atomic>
#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>

#include "ulvo/gui/ctransfer_prop_sheet.h"
#include "ulvo/gui/ctransfer_view.h"
#include "ulvo/gui/line_pane.h"
#include "ulvo/gui/main_frame.h"
#include "ulvo/tests/gui/gui_test_support.h"
#include "ulvo/tests/transfer/fake_device.h"
#include "ulvo/tests/transfer/scripted_transfer_prompts.h"

namespace ulvo {
namespace {

namespace tt = transfer_texts;

using ScriptedPrompts = test::ScriptedTransferPrompts;

// An instrument on the other end of the line, fed by the test: reads hand out what the test
// queued and otherwise wait a little, as a real port with read time-outs does.
struct Line {
  std::mutex mutex;
  std::string pending;
  std::atomic<bool> trickle{false};  // one byte "x" per read, for a transfer that never ends
  std::atomic<bool> closed{false};
  std::atomic<bool> unplugged{false};  // every read fails, as with a pulled USB adapter
  std::string openedName;
  test::FakeClock clock;  // a read that finds nothing counts 100 ms on it
  void Feed(const std::string& bytes) {
    std::lock_guard<std::mutex> lock(mutex);
    pending += bytes;
  }
};

class LineDevice : public SerialDevice {
 public:
  explicit LineDevice(Line& line) : line_(line) {}
  OpenResult Open(const std::string& name, const PortSettings&) override {
    line_.openedName = name;
    if (name.empty()) return OpenResult::kCannotOpen;
    open_ = true;
    return OpenResult::kOk;
  }
  bool IsOpen() const override { return open_; }
  bool SetTimeouts(const ReadTimeouts&) override { return true; }
  bool Purge() override { return true; }
  long Read(std::string& out, size_t max) override {
    QThread::msleep(5);
    if (line_.unplugged) return -1;
    if (line_.trickle) {
      out += 'x';
      return 1;
    }
    std::lock_guard<std::mutex> lock(line_.mutex);
    const size_t n = std::min(max, line_.pending.size());
    out += line_.pending.substr(0, n);
    line_.pending.erase(0, n);
    if (n == 0) line_.clock.SleepFor(std::chrono::milliseconds(100));
    return static_cast<long>(n);
  }
  bool Write(std::string_view, std::chrono::milliseconds) override { return true; }
  bool WaitTransmitEmpty(std::chrono::milliseconds) override { return true; }
  bool Close() override {
    open_ = false;
    line_.closed = true;
    return true;
  }

 private:
  Line& line_;
  bool open_ = false;
};

class NoPorts : public PortProbe {
 public:
  std::vector<std::string> CandidatePorts() const override { return ports; }
  Result Probe(const std::string&) const override { return Result::kFree; }
  std::vector<std::string> ports;
};

// Plain text both ways; the receive option presets a conversion format.
const char* kTerminal =
    "[HEADER]\nVERSION=1\nTITLE=INSTRUMENT INTERFACE FILE\nINSTRUMENT=Terminal\n"
    "[CAPABILITIES]\nSENDBAUDRATES=64\nSENDPARITY=1\nSENDDATABITS=8\nSENDSTOPBITS=1\n"
    "SENDSOFTHANDSHAKE=7\nSENDHARDHANDSHAKE=3\nSENDDATAFORMAT=15\n"
    "RECEIVEBAUDRATES=64\nRECEIVEDATAFORMAT=1\n"
    "[DEFAULTS]\nSENDBAUDRATES=64\nSENDPARITY=1\nSENDDATABITS=8\nSENDSTOPBITS=1\n"
    "SENDDATAFORMAT=1\n"
    "[FORMATPROTOCOLSTICK]\nsend=1\ns1=8,4\n"
    "[SENDOPTIONS]\nITEMS=1\nITEMM_1=Points\nITEMH_1=Press SEND on the instrument\n"
    "ITEMF_1=Point list (comma-separated)\nITEMD_1=1\n"
    "[RECEIVEOPTIONS]\nITEMS=1\nITEMM_1=Text\n";

template <typename T>
T* Find(QWidget* parent, const char* name) {
  T* w = parent->findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(w, nullptr) << name;
  return w;
}

bool WaitFor(const std::function<bool()>& done, int ms = 5000) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < ms) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(1);
  }
  return done();
}

class TransferViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureApplication();
    CInstrument i;
    ASSERT_TRUE(i.LoadInterfaceText(EncodeInterfaceText(kTerminal), nullptr));
    instruments = {i};
    context.instruments = &instruments;
    context.profile = &store;
    dir = std::filesystem::temp_directory_path() /
          ("ulvo_transfer_view_test-" +
           std::to_string(getpid()));  // tests of one fixture run side by side
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  std::unique_ptr<CTransferView> Open() {
    doc = std::make_unique<CTransferDoc>([this] { return std::make_unique<LineDevice>(line); },
                                         nullptr, &line.clock);
    auto view = std::make_unique<CTransferView>(context, *doc, ports);
    view->SetPrompts(&prompts);
    view->onReceived = [this](const std::string& format, const std::string& file) {
      received.emplace_back(format, file);
    };
    return view;
  }

  // Receive direction, the one option, a file in the test folder, then Next.
  void Prepare(CTransferView& view, const std::string& file) {
    Find<QRadioButton>(&view, "receive")->click();
    Find<QComboBox>(&view, "instrument")->setCurrentIndex(0);
    Find<QComboBox>(&view, "option")->setCurrentIndex(0);
    QLineEdit* edit = Find<QLineEdit>(&view, "file");
    edit->setText(QString::fromStdString(file));
    emit edit->textEdited(edit->text());
    Find<QComboBox>(&view, "port")->setEditText(QStringLiteral("/dev/fake"));
    Find<QPushButton>(&view, "next")->click();
  }

  std::vector<CInstrument> instruments;
  MemoryProfileStore store;
  TaskContext context;
  NoPorts ports;
  Line line;
  ScriptedPrompts prompts;
  std::unique_ptr<CTransferDoc> doc;
  std::vector<std::pair<std::string, std::string>> received;
  std::filesystem::path dir;
};

TEST_F(TransferViewTest, ReceiveShowsProgressWhileBytesFlowAndSetsTheConversionSource) {
  auto view = Open();
  const std::string file = (dir / "points.txt").string();
  Prepare(*view, file);
  QPushButton* next = Find<QPushButton>(view.get(), "next");
  EXPECT_EQ(next->text(), "&Start");
  EXPECT_EQ(Find<QLabel>(view.get(), "messages")->text(), "Press SEND on the instrument");
  next->click();
  EXPECT_FALSE(next->isEnabled());
  EXPECT_FALSE(Find<QPushButton>(view.get(), "close")->isEnabled());

  // The first bytes show while the transfer still runs.
  line.Feed("P1,1.000,2.000,3.000\r\n");
  QLabel* bytes = Find<QLabel>(view.get(), "bytes");
  ASSERT_TRUE(WaitFor([&] { return bytes->text() == "22"; }));
  EXPECT_TRUE(doc->Runner().Running());
  QProgressBar* progress = Find<QProgressBar>(view.get(), "progress");
  EXPECT_EQ(progress->maximum(), 0);  // busy: a receive has no known length
  EXPECT_EQ(Find<QLabel>(view.get(), "messages")->text(), "Downloading file to instument");

  line.Feed(std::string("P2,4.000,5.000,6.000\r\n") + '\x04');
  ASSERT_TRUE(WaitFor([&] { return !doc->Runner().Running(); }));
  EXPECT_EQ(Find<QLabel>(view.get(), "messages")->text(),
            QString::fromStdString("Transfer succesful\nThe received data was saved in\n" + file));
  EXPECT_EQ(bytes->text(), "45");
  EXPECT_EQ(progress->maximum(), 100);
  EXPECT_EQ(progress->value(), 100);
  EXPECT_TRUE(next->isEnabled());
  EXPECT_EQ(next->text(), "Ne&xt >");
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].first, "Point list (comma-separated)");
  EXPECT_EQ(received[0].second, file);
  std::ifstream in(file, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}),
            "P1,1.000,2.000,3.000\r\nP2,4.000,5.000,6.000\r\n");
  EXPECT_TRUE(line.closed);
  Find<QRadioButton>(view.get(), "send")->click();
  EXPECT_EQ(progress->value(), 0);
  EXPECT_EQ(bytes->text(), "0");
}

// A bare name goes to the user's data folder, and the status says where.
class ListedPorts final : public PortLister {
 public:
  std::vector<PortInfo> Ports() const override { return ports; }
  std::vector<PortInfo> ports;
};

// The free ports by name; an adapter that comes back under another device is found again and
// followed while the window is open; a typed path is taken as it is.
TEST_F(TransferViewTest, PortsByNameFollowTheAdapter) {
  ports.ports = {"/dev/pts/7", "/dev/ttyUSB0"};
  ListedPorts lister;
  lister.ports = {{"/dev/ttyS0", "", "", ""}, {"/dev/ttyUSB0", "FT232R USB UART", "FTDI", "A10K"}};
  const QString ftdi0 = QString::fromUtf8("FT232R USB UART \u2013 FTDI (/dev/ttyUSB0)");
  const QString ftdi3 = QString::fromUtf8("FT232R USB UART \u2013 FTDI (/dev/ttyUSB3)");
  auto items = [](QComboBox* box) {
    QStringList l;
    for (int i = 0; i < box->count(); ++i) l << box->itemText(i);
    return l;
  };
  {
    auto view = Open();
    view->SetPortLister(&lister);
    QComboBox* port = Find<QComboBox>(view.get(), "port");
    EXPECT_EQ(items(port), (QStringList{"/dev/pts/7", ftdi0, "/dev/ttyS0"}));
    port->setCurrentIndex(1);
    EXPECT_EQ(view->ChosenPort(), "/dev/ttyUSB0");
    // Unplugged: gone from the list, the field keeps the device it named.
    lister.ports = {{"/dev/ttyS0", "", "", ""}};
    view->RefreshPorts();
    EXPECT_EQ(items(port), (QStringList{"/dev/pts/7", "/dev/ttyS0"}));
    EXPECT_EQ(view->ChosenPort(), "/dev/ttyUSB0");
    // Back as ttyUSB3.
    lister.ports.push_back({"/dev/ttyUSB3", "FT232R USB UART", "FTDI", "A10K"});
    view->RefreshPorts();
    EXPECT_EQ(items(port), (QStringList{"/dev/pts/7", "/dev/ttyS0", ftdi3}));
    port->setCurrentIndex(2);
    Prepare(*view, (dir / "got.txt").string());  // types /dev/fake and starts
    EXPECT_EQ(view->Form().Port(), "/dev/fake");
    WaitFor([&] { return !doc->Runner().Running(); });
  }
  // The typed path had no serial number: the next window starts at it if listed, else first.
  EXPECT_EQ(store.GetText("Transfer", "PortSerial").value_or("?"), "");
  store.SetText("Transfer", "Port", "/dev/ttyUSB0");
  store.SetText("Transfer", "PortSerial", "A10K");
  auto again = Open();
  again->SetPortLister(&lister);
  EXPECT_EQ(Find<QComboBox>(again.get(), "port")->currentText(), ftdi3);
  EXPECT_EQ(again->ChosenPort(), "/dev/ttyUSB3");
}

TEST_F(TransferViewTest, BareFileNameIsReceivedIntoTheDataFolder) {
  context.dataFolder = dir / "data";
  auto view = Open();
  Prepare(*view, "job.txt");
  Find<QPushButton>(view.get(), "next")->click();
  line.Feed(std::string("P1\r\n") + '\x04');
  ASSERT_TRUE(WaitFor([&] { return !doc->Runner().Running(); }));
  const std::string file = (dir / "data" / "job.txt").string();
  EXPECT_EQ(Find<QLabel>(view.get(), "messages")->text(),
            QString::fromStdString("Transfer succesful\nThe received data was saved in\n" + file));
  EXPECT_EQ(std::filesystem::file_size(file), 4u);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].second, file);
}

// The Instrument and Computer boxes share the width equally whatever the lists held when
// the window opened.
TEST_F(TransferViewTest, InstrumentAndComputerColumnsKeepTheirWidths) {
  std::string longOption = kTerminal;
  longOption.replace(longOption.find("ITEMM_1=Text"), 12, "ITEMM_1=" + std::string(40, 'W'));
  longOption.replace(longOption.find("ITEMM_1=Points"), 14, "ITEMM_1=" + std::string(40, 'W'));
  longOption.replace(longOption.find("INSTRUMENT=Terminal"), 19, "INSTRUMENT=Wide");
  CInstrument wide;
  ASSERT_TRUE(wide.LoadInterfaceText(EncodeInterfaceText(longOption), nullptr));
  instruments.push_back(wide);
  std::set<int> widths;
  for (const char* last : {"Terminal", "Wide"}) {
    store.SetText("INSTRUMENT", "LASTUSED", last);
    auto view = Open();
    view->resize(584, 470);
    view->show();
    QWidget* instrumentBox = Find<QComboBox>(view.get(), "instrument")->parentWidget();
    QWidget* computerBox = Find<QLineEdit>(view.get(), "file")->parentWidget();
    EXPECT_EQ(instrumentBox->width(), computerBox->width()) << last;
    widths.insert(instrumentBox->width());
  }
  EXPECT_EQ(widths.size(), 1u);
}

TEST_F(TransferViewTest, SendShowsTheShareOfRecordsSent) {
  auto view = Open();
  const std::filesystem::path file = dir / "out.txt";
  std::ofstream(file, std::ios::binary) << std::string(253 * 4 + 10, 'a');  // five records
  Find<QComboBox>(view.get(), "instrument")->setCurrentIndex(0);
  Find<QComboBox>(view.get(), "option")->setCurrentIndex(0);
  QLineEdit* edit = Find<QLineEdit>(view.get(), "file");
  edit->setText(QString::fromStdString(file.string()));
  emit edit->textEdited(edit->text());
  Find<QComboBox>(view.get(), "port")->setEditText(QStringLiteral("/dev/fake"));
  QPushButton* next = Find<QPushButton>(view.get(), "next");
  next->click();
  std::vector<int> seen;
  QProgressBar* progress = Find<QProgressBar>(view.get(), "progress");
  QObject::connect(progress, &QProgressBar::valueChanged, [&](int v) { seen.push_back(v); });
  next->click();
  ASSERT_TRUE(WaitFor([&] { return !doc->Runner().Running(); }));
  EXPECT_EQ(progress->maximum(), 100);
  // itemIndex * 100 / (records - 1) after each accepted record.
  EXPECT_EQ(seen, (std::vector<int>{25, 50, 75, 100}));
  EXPECT_EQ(Find<QLabel>(view.get(), "bytes")->text(), "1023");  // the text and its EOT
  EXPECT_TRUE(received.empty());
}

TEST_F(TransferViewTest, NoPortFailsAtOpeningAndSetsNoSource) {
  auto view = Open();
  EXPECT_EQ(Find<QComboBox>(view.get(), "port")->count(), 0);
  Prepare(*view, (dir / "x.txt").string());
  Find<QComboBox>(view.get(), "port")->setEditText(QString());
  Find<QPushButton>(view.get(), "next")->click();
  ASSERT_TRUE(WaitFor([&] { return !doc->Runner().Running(); }));
  // The status is shown last; why it failed comes under it.
  EXPECT_EQ(Find<QLabel>(view.get(), "messages")->text(),
            "Transfer failed\n(no port): the port could not be opened\n"
            "Nothing was received; no file was written.");
  EXPECT_EQ(line.openedName, "");
  EXPECT_TRUE(received.empty());
}

TEST_F(TransferViewTest, ClosingDuringATransferAsksStopsAndKeepsThePartialFile) {
  auto view = Open();
  bool closed = false;
  QObject::connect(view.get(), &CTransferView::CloseRequested, [&] { closed = true; });
  const std::string file = (dir / "partial.txt").string();
  Prepare(*view, file);
  line.trickle = true;
  Find<QPushButton>(view.get(), "next")->click();
  QLabel* bytes = Find<QLabel>(view.get(), "bytes");
  ASSERT_TRUE(WaitFor([&] { return bytes->text().toInt() >= 300; }));

  prompts.answers = {false};
  EXPECT_FALSE(view->CanClose());  // No: the transfer goes on
  EXPECT_TRUE(doc->Runner().Running());

  prompts.answers = {true};
  EXPECT_FALSE(view->CanClose());  // Yes: closes once the port is closed
  EXPECT_TRUE(view->property(kClosesWhenStoppedProperty).toBool());  // an Exit waits for it
  ASSERT_TRUE(WaitFor([&] { return closed; }));
  EXPECT_EQ(prompts.asked, std::vector<std::string>(2, tt::kStopTransfer.text));
  EXPECT_TRUE(line.closed);
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0],
            "The transfer was stopped.\nThe data received so far was kept in\n" + file);
  EXPECT_TRUE(received.empty());
  // Every byte received reached the file, the unfinished last record included.
  EXPECT_GE(std::filesystem::file_size(file), 300u);
  EXPECT_EQ(std::filesystem::file_size(file), bytes->text().toULongLong());
  EXPECT_EQ(store.GetText("INSTRUMENT", "LASTUSED"), "Terminal");
  EXPECT_EQ(store.GetNumber("INSTRUMENT", "ACTION"), kReceiveButtonId);
}

TEST_F(TransferViewTest, TranslatedCaptionsAndSummary) {
  context.translate = [](const std::string& key, const std::string& text) {
    return key == "DT_FILESAVEAS"  ? std::string("Ontvangen als:")
           : key == "GT_HSXONXOFF" ? std::string("XAAN")
                                   : text;
  };
  store.SetText("INSTRUMENT", "LASTUSED", "Terminal");
  store.SetNumber("INSTRUMENT", "ACTION", kReceiveButtonId);
  CInstrument& i = instruments[0];
  i.SetParams(kDirectionReceive, {64, MakeLineFormat(1, 8, 1, 1), 3, 1});
  auto view = Open();
  EXPECT_TRUE(Find<QRadioButton>(view.get(), "receive")->isChecked());
  EXPECT_EQ(Find<QComboBox>(view.get(), "option")->currentIndex(), 0);
  EXPECT_EQ(Find<QLabel>(view.get(), "fileLabel")->text(), "Ontvangen als:");
  EXPECT_EQ(Find<QLabel>(view.get(), "softValue")->text(), "XAAN");
  EXPECT_EQ(Find<QLabel>(view.get(), "hardValue")->text(), "DTR/RTS");
  EXPECT_EQ(Find<QLabel>(view.get(), "lineValue")->text(), "9600,none,8,1");
  EXPECT_EQ(Find<QLabel>(view.get(), "formatValue")->text(), "Dataformat: ASCII");
  Find<QRadioButton>(view.get(), "send")->click();
  EXPECT_EQ(Find<QLabel>(view.get(), "fileLabel")->text(), "Fi&le to send:");
  EXPECT_EQ(Find<QComboBox>(view.get(), "option")->itemText(0), "Text");
}

TEST_F(TransferViewTest, SheetEnablesOnlyCapabilitiesAndKeepsUnshownPage) {
  CInstrument& i = instruments[0];
  const TransferParams before{64, MakeLineFormat(1, 8, 1, 1), 3, 1};
  i.SetParams(kDirectionReceive, before);
  CTransferPropSheet sheet(i, kDirectionReceive, context);
  EXPECT_EQ(sheet.windowTitle(), "Download parameters");
  sheet.show();
  QButtonGroup* baud = sheet.SpeedPage()->Group(0);
  ASSERT_EQ(baud->buttons().size(), 15);
  for (int bit = 0; bit < 15; ++bit) EXPECT_EQ(baud->button(bit)->isEnabled(), bit == 6) << bit;
  EXPECT_EQ(baud->checkedId(), 6);
  EXPECT_TRUE(sheet.SpeedPage()->WasShown());
  EXPECT_FALSE(sheet.HandshakePage()->WasShown());
  // Change the handshake page's controls without showing it: they do not count.
  sheet.HandshakePage()->HardBox(0)->setChecked(false);
  EXPECT_EQ(sheet.Result(), before);
  sheet.Tabs()->setCurrentIndex(1);
  EXPECT_TRUE(sheet.HandshakePage()->WasShown());
  EXPECT_EQ(sheet.Result(), (TransferParams{64, MakeLineFormat(1, 8, 1, 1), 2, 1}));
}

TEST_F(TransferViewTest, SheetFormatNeedingAckNak2SwitchesTheHandshake) {
  CInstrument& i = instruments[0];
  i.SetParams(kDirectionReceive, {64, MakeLineFormat(1, 8, 1, 1), 0, 1});
  CTransferPropSheet sheet(i, kDirectionReceive, context);
  std::vector<QString> messages;
  sheet.HandshakePage()->showMessage = [&](const QString& m) { messages.push_back(m); };
  QComboBox* soft = sheet.HandshakePage()->SoftList();
  ASSERT_EQ(soft->count(), 4);  // empty entry and three handshakes
  EXPECT_EQ(soft->currentText(), "XON XOFF");
  QListWidget* formats = sheet.HandshakePage()->FormatList();
  ASSERT_EQ(formats->count(), 4);
  EXPECT_EQ(formats->item(3)->text(), "ITF02");
  formats->setCurrentRow(3);
  EXPECT_EQ(soft->currentText(), "ACK NAK2");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], QString::fromLatin1(sheet_texts::kFormatHandshake.text));
  formats->setCurrentRow(1);  // ITF00 names no handshake
  EXPECT_EQ(messages.size(), 1u);
  sheet.Tabs()->setCurrentIndex(1);
  sheet.show();
  EXPECT_EQ(SoftHandshakeByte(sheet.Result().lineFormat), 4u);
  EXPECT_EQ(sheet.Result().dataFormat, 2u);
}

}  // namespace
}  // namespace ulvo

namespace ulvo {
namespace {

TEST_F(TransferViewTest, FailedReceiveNamesThePartialFile) {
  auto view = Open();
  const std::string file = (dir / "partial.txt").string();
  Prepare(*view, file);
  Find<QPushButton>(view.get(), "next")->click();
  line.Feed("P1,1.000,2.0");  // cut mid-record
  QLabel* bytes = Find<QLabel>(view.get(), "bytes");
  ASSERT_TRUE(WaitFor([&] { return bytes->text() == "12"; }));
  line.unplugged = true;
  ASSERT_TRUE(WaitFor([&] { return !doc->Runner().Running(); }));
  EXPECT_EQ(Find<QLabel>(view.get(), "messages")->text(),
            "Transfer failed\n/dev/fake: reading from the port failed after 12 bytes\n"
            "Received data kept: 12 bytes in\n" +
                QString::fromStdString(file));
  std::ifstream in(file, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "P1,1.000,2.0");
  EXPECT_TRUE(received.empty());
  EXPECT_TRUE(prompts.shown.empty());

  // The next start clears the note; the partial file is replaced after a yes.
  line.unplugged = false;
  prompts.answers = {true};
  Find<QPushButton>(view.get(), "next")->click();
  Find<QPushButton>(view.get(), "next")->click();
  line.Feed(std::string("P2\r\n") + '\x04');
  ASSERT_TRUE(WaitFor([&] { return !doc->Runner().Running(); }));
  EXPECT_EQ(Find<QLabel>(view.get(), "messages")->text(),
            "Transfer succesful\nThe received data was saved in\n" + QString::fromStdString(file));
}

// A typed name of an existing file is replaced only after a yes, and a receive that gets
// nothing leaves it byte for byte, saying why.
TEST_F(TransferViewTest, SilentInstrumentLeavesTheExistingFile) {
  auto view = Open();
  const std::string file = (dir / "job.txt").string();
  std::ofstream(file, std::ios::binary) << "yesterday's job\r\n";
  prompts.answers = {true};
  Prepare(*view, file);
  EXPECT_EQ(prompts.asked,
            std::vector<std::string>{file + "\nThis file already exists.\nReplace existing file?"});
  Find<QPushButton>(view.get(), "next")->click();  // Start: no second question
  ASSERT_TRUE(WaitFor([&] { return !doc->Runner().Running(); }));
  EXPECT_EQ(prompts.asked.size(), 1u);
  // Thirty reads find nothing, 100 ms each.
  EXPECT_EQ(Find<QLabel>(view.get(), "messages")->text(),
            "Transfer failed\nno answer from the instrument within 3.0 s\n"
            "Nothing arrived on /dev/fake in 3.0 s: check the cable, the port, and that the "
            "instrument is sending\n"
            "Nothing was received; " +
                QString::fromStdString(file) + " was left as it was.");
  std::ifstream in(file, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "yesterday's job\r\n");
  EXPECT_TRUE(received.empty());  // nothing new to convert
}

TEST_F(TransferViewTest, DataTheFileCannotTakeGoesToTheFallbackFolder) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  auto view = Open();
  doc->Runner().SetFallbackFolder(dir / "Received");
  Prepare(*view, "/dev/full");  // opens like a file, then refuses every byte as a full disk
  Find<QPushButton>(view.get(), "next")->click();
  line.Feed(std::string("abcd") + '\x04');
  ASSERT_TRUE(WaitFor([&] { return !doc->Runner().Running(); }));
  const QString fallback = QString::fromStdString((dir / "Received" / "full").string());
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0],
            "The received data could not be written:\n"
            "/dev/full: No space left on device\nIt was kept (4 bytes) in\n" +
                fallback.toStdString());
  EXPECT_TRUE(Find<QLabel>(view.get(), "messages")
                  ->text()
                  .endsWith("\nReceived data kept: 4 bytes in\n" + fallback));
  std::ifstream in((dir / "Received" / "full").string(), std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "abcd");
  EXPECT_TRUE(received.empty());
}

// Opened in the middle of a transfer, the pane shows the latest lines and keeps them in view
// as more arrive, until the user scrolls up to read.
TEST(LinePaneTest, FollowsTheTrafficUntilScrolledUp) {
  EnsureApplication();
  TraceModel trace;
  trace.Begin();
  const auto add = [&trace](int from, int to) {
    for (int i = from; i < to; ++i)
      trace.Add({std::chrono::milliseconds(i),
                 TraceDirection::kFromInstrument,
                 "line " + std::to_string(i) + "\r\n",
                 {}});
  };
  add(0, 300);
  LinePane pane(trace, [](const char*, const char* text) { return QString::fromUtf8(text); });
  pane.resize(600, 300);
  pane.show();
  pane.Toggle()->click();
  QCoreApplication::processEvents();
  // The Transfer window makes room for the pane after it opened, as it does on the screen.
  pane.resize(600, 150);
  QCoreApplication::processEvents();
  QScrollBar* bar = pane.Text()->verticalScrollBar();
  ASSERT_GT(bar->maximum(), 0);
  EXPECT_EQ(bar->value(), bar->maximum());
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
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->value(), step.scrolledUp ? 10 : bar->maximum());
  }
}

}  // namespace
}  // namespace ulvo
