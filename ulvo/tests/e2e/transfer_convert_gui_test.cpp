// A file received from instrument-sim through the Transfer window becomes the source of the
// Convert window, which turns it into the comma-separated point list.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>
#include <QToolButton>
#include <chrono>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "ulvo/gui/cconvert_view.h"
#include "ulvo/gui/ctransfer_view.h"
#include "ulvo/gui/id_name_combo.h"
#include "ulvo/gui/line_pane.h"
#include "ulvo/gui/main_frame.h"
#include "ulvo/gui/task_windows.h"
#include "ulvo/tests/e2e/simulator.h"
#include "ulvo/transfer/capture_file.h"

namespace ulvo {
namespace {

class NoQuestions : public TransferFormPrompts, public ConversionPrompts {
 public:
  void ShowInfo(const std::string& text) override { ADD_FAILURE() << text; }
  bool AskYesNo(const std::string& text) override {
    ADD_FAILURE() << text;
    return false;
  }
  void ShowMessage(const Message& m) override { shown.push_back(m.text.defaultText); }
  bool AskReplace(const Message&) override {
    ADD_FAILURE() << "replace?";
    return false;
  }
  std::vector<std::string> shown;
};

QApplication& App() {
  static int argc = 1;
  static char name[] = "ulvo_gui_e2e_tests";
  static char* argv[] = {name, nullptr};
  static auto* app = new QApplication(argc, argv);
  return *app;
}

template <typename T>
T* Child(QWidget* parent, const char* name) {
  T* w = parent->findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(w, nullptr) << name;
  return w;
}

void Select(QComboBox* combo, const char* text) {
  combo->setCurrentIndex(combo->findText(QString::fromLatin1(text)));
  ASSERT_GE(combo->currentIndex(), 0) << text;
}

// Types the file name and the port, presses Next and Start and waits for the end.
std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// whileRunning: what the user does once the transfer has started.
void RunTransfer(CTransferView* transfer, const std::string& fileName, const std::string& port,
                 const std::function<void()>& whileRunning = {}) {
  QLineEdit* file = Child<QLineEdit>(transfer, "file");
  file->setText(QString::fromStdString(fileName));
  emit file->textEdited(file->text());
  Child<QComboBox>(transfer, "port")->setEditText(QString::fromStdString(port));
  QPushButton* next = Child<QPushButton>(transfer, "next");
  next->click();
  ASSERT_EQ(next->text(), "&Start");
  next->click();
  if (whileRunning) whileRunning();
  QElapsedTimer timer;
  timer.start();
  while (!next->isEnabled() && timer.elapsed() < 20000) {
    QApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(2);
  }
}

TEST(TransferConvertGui, ReceivedFileConvertsWithOneClick) {
  App();
  const std::filesystem::path home = std::filesystem::temp_directory_path() / "ulvo_gui_e2e";
  std::filesystem::remove_all(home);
  std::filesystem::create_directories(home / "IIF");
  std::filesystem::copy(ULVO_SHIPPED_DATA_DIR "/Formats", home / "Formats");
  std::filesystem::copy_file(ULVO_SHIPPED_DATA_DIR "/IIF/TS60.IIF", home / "IIF" / "TS60.IIF");
  std::filesystem::copy_file(ULVO_SHIPPED_DATA_DIR "/Settings.xml", home / "Settings.xml");

  // Two points in the field stream of ITF00 blocks: x, y, z in millimetres.
  const std::string stream =
      "_"
      "+ST7       _ x  +4500123_ y  -1200456_ z     +1234_"
      "+9         _ x        +5_ y       +50_ z      -500_"
      "_";
  std::ofstream(home / "job.itf", std::ios::binary) << stream;
  Simulator sim({"ulvo-send", "--format", "ITF00", "--handshake", "acknak", "--file",
                 (home / "job.itf").string()});
  ASSERT_FALSE(sim.Path().empty());

  MemoryProfileStore profile;
  CDunmarkApp app;
  app.Start(home, &profile);
  CMainFrame frame(app);
  frame.SetMessageHandler([](const QString& text) { ADD_FAILURE() << text.toStdString(); });
  RegisterTaskWindows(frame);
  NoQuestions prompts;

  auto* transfer = qobject_cast<CTransferView*>(frame.OpenTask(kTransferType));
  ASSERT_NE(transfer, nullptr);
  EXPECT_EQ(transfer->parentWidget()->size(), QSize(600, 524));  // the "Line" pane closed
  transfer->SetPrompts(&prompts);
  Child<QRadioButton>(transfer, "receive")->click();
  Select(Child<QComboBox>(transfer, "instrument"), "Total station TS-60");
  Select(Child<QComboBox>(transfer, "option"), "Job file in numbered blocks");
  const std::string received = (home / "received.itf").string();
  LinePane* pane = transfer->Pane();
  ASSERT_FALSE(pane->IsOpen());
  // The user opens the pane while the blocks come.
  RunTransfer(transfer, received, sim.Path(), [&] { pane->Toggle()->click(); });
  EXPECT_EQ(
      Child<QLabel>(transfer, "messages")->text(),
      "Transfer succesful\nThe received data was saved in\n" + QString::fromStdString(received));
  EXPECT_EQ(Child<QLabel>(transfer, "bytes")->text(), "128");
  EXPECT_EQ(sim.Wait(), 0);
  // Taller for the pane, as far as the main window has room.
  EXPECT_EQ(transfer->parentWidget()->width(), 600);
  EXPECT_GT(transfer->parentWidget()->height(), 524);
  EXPECT_LE(transfer->parentWidget()->height(), 720);
  EXPECT_EQ(profile.GetNumber("Transfer", "LinePaneOpen"), 1);
  pane->Refresh();
  const QString shown = pane->Text()->toPlainText();
  EXPECT_TRUE(shown.contains(" -> <ENQ>")) << shown.toStdString();
  EXPECT_TRUE(shown.contains(" <- <STX>")) << shown.toStdString();
  const std::filesystem::path trace = home / "trace.txt";
  pane->choosePath = [&] { return QString::fromStdString(trace.string()); };
  pane->SaveButton()->click();
  // The saved trace is the whole of it, as the pane shows it when nothing has scrolled out.
  EXPECT_EQ(QString::fromStdString(ReadAll(trace)), shown + "\n");

  const pugi::xml_node from =
      app.Settings().Root().child("conversion").child("dialog").child("from");
  EXPECT_STREQ(from.child("type").attribute("id").value(), "ITF00");
  EXPECT_STREQ(from.child("format").attribute("name").value(), "ITF00 coordinates");
  EXPECT_STREQ(from.child("file").attribute("name").value(), received.c_str());

  Child<QPushButton>(transfer, "close")->click();
  QApplication::processEvents();
  EXPECT_FALSE(frame.TaskIsOpen(kTransferType));
  EXPECT_EQ(profile.GetText("INSTRUMENT", "LASTUSED"), "Total station TS-60");

  auto* convert = qobject_cast<CConvertView*>(frame.OpenTask(kConvertType));
  ASSERT_NE(convert, nullptr);
  convert->SetPrompts(&prompts);
  EXPECT_EQ(convert->SourceFormat()->currentText(), "ITF00 coordinates");
  EXPECT_EQ(convert->SourceFile()->text().toStdString(), received);
  ASSERT_TRUE(convert->TargetType()->SelectId("POINTS"));
  emit convert->TargetType()->activated(convert->TargetType()->currentIndex());
  Select(convert->TargetFormat(), "Point list (comma-separated)");
  const std::filesystem::path points = home / "points.csv";
  convert->TargetFile()->setText(QString::fromStdString(points.string()));
  Child<QPushButton>(convert, "2001")->click();
  EXPECT_EQ(prompts.shown, std::vector<std::string>{"Converted successfully"});
  std::ifstream in(points, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}),
            "ST7,4500.123,-1200.456,1.234,\r\n"
            "9,0.005,0.050,-0.500,\r\n");
  std::filesystem::remove_all(home);
}

// TS-60 in blocks with ENQ, waiting 20 ms per read: a silent instrument is given up on in
// a fifth of a second.
void WriteQuickInstrument(const std::filesystem::path& folder) {
  std::ifstream in(ULVO_SHIPPED_DATA_DIR "/IIF/TS60.IIF", std::ios::binary);
  std::string plain = DecodeInterfaceText(std::string(std::istreambuf_iterator<char>(in), {}));
  plain.replace(plain.find("INSTRUMENT=Total station TS-60"), 30, "INSTRUMENT=Quick TS-60");
  plain = plain.substr(0, plain.find("[TIMEOUTS]")) +
          "[TIMEOUTS]\nREADINTERVALTIMEOUT=20\nREADTOTALTIMEOUTMULTIPLIER=0\n"
          "READTOTALTIMEOUTCONSTANT=20\n";
  std::filesystem::create_directories(folder / "IIF");
  std::ofstream(folder / "IIF" / "QUICK.IIF", std::ios::binary) << EncodeInterfaceText(plain);
}

// Yes and No in turn, each question recorded.
class Answers : public NoQuestions {
 public:
  bool AskYesNo(const std::string& text) override {
    asked.push_back(text);
    if (answers.empty()) return NoQuestions::AskYesNo(text);
    const bool a = answers.front();
    answers.pop_front();
    return a;
  }
  std::deque<bool> answers;
  std::vector<std::string> asked;
};

// A typed name of an existing file: replaced only after a yes and only by received data;
// the open Convert window follows a successful receive.
TEST(TransferConvertGui, ExistingFileIsReplacedOnlyAfterYesAndOnlyByData) {
  App();
  const std::filesystem::path home = std::filesystem::temp_directory_path() / "ulvo_gui_e2e_keep";
  std::filesystem::remove_all(home);
  std::filesystem::create_directories(home);
  std::filesystem::copy(ULVO_SHIPPED_DATA_DIR "/Formats", home / "Formats");
  std::filesystem::copy_file(ULVO_SHIPPED_DATA_DIR "/Settings.xml", home / "Settings.xml");
  WriteQuickInstrument(home);
  const std::string job = (home / "job.itf").string();
  const std::string yesterday = "_+OLD1      _ x     +1000_ y     +2000_ z     +3000__";
  std::ofstream(job, std::ios::binary) << yesterday;
  const std::string question = job + "\nThis file already exists.\nReplace existing file?";

  MemoryProfileStore profile;
  CDunmarkApp app;
  app.Start(home, &profile);
  CMainFrame frame(app);
  frame.SetMessageHandler([](const QString& text) { ADD_FAILURE() << text.toStdString(); });
  RegisterTaskWindows(frame);
  Answers prompts;
  auto* convert = qobject_cast<CConvertView*>(frame.OpenTask(kConvertType));
  ASSERT_NE(convert, nullptr);
  convert->SetPrompts(&prompts);
  auto* transfer = qobject_cast<CTransferView*>(frame.OpenTask(kTransferType));
  ASSERT_NE(transfer, nullptr);
  transfer->SetPrompts(&prompts);
  Child<QRadioButton>(transfer, "receive")->click();
  Select(Child<QComboBox>(transfer, "instrument"), "Quick TS-60");
  Select(Child<QComboBox>(transfer, "option"), "Job file in numbered blocks");
  QLabel* messages = Child<QLabel>(transfer, "messages");

  {
    SCOPED_TRACE("silent instrument, yes");
    Simulator sim({"ulvo-receive", "--format", "ITF00", "--handshake", "acknak", "--silent"});
    prompts.answers = {true};
    RunTransfer(transfer, job, sim.Path());
    EXPECT_EQ(prompts.asked, std::vector<std::string>{question});
    EXPECT_TRUE(
        messages->text().startsWith("Transfer failed\nno answer from the instrument within "))
        << messages->text().toStdString();
    EXPECT_TRUE(messages->text().endsWith("\nNothing was received; " + QString::fromStdString(job) +
                                          " was left as it was."));
    EXPECT_EQ(ReadAll(job), yesterday);
    EXPECT_NE(convert->SourceFile()->text().toStdString(), job);
  }
  // Two points, x, y and z in millimetres.
  const std::string stream = "_+ST7       _ x  +4500123_ y  -1200456_ z     +1234__";
  std::ofstream(home / "send.itf", std::ios::binary) << stream;
  {
    SCOPED_TRACE("instrument sends, no");
    Simulator sim({"ulvo-send", "--format", "ITF00", "--handshake", "acknak", "--file",
                   (home / "send.itf").string()});
    prompts.asked.clear();
    prompts.answers = {false};
    QLineEdit* file = Child<QLineEdit>(transfer, "file");
    file->setText(QString::fromStdString(job));
    emit file->textEdited(file->text());
    Child<QComboBox>(transfer, "port")->setEditText(QString::fromStdString(sim.Path()));
    QPushButton* next = Child<QPushButton>(transfer, "next");
    next->click();
    EXPECT_EQ(prompts.asked, std::vector<std::string>{question});
    EXPECT_EQ(next->text(), "Ne&xt >");  // not started
    EXPECT_EQ(ReadAll(job), yesterday);
  }
  {
    SCOPED_TRACE("instrument sends, yes");
    Simulator sim({"ulvo-send", "--format", "ITF00", "--handshake", "acknak", "--file",
                   (home / "send.itf").string()});
    prompts.asked.clear();
    prompts.answers = {true};
    RunTransfer(transfer, job, sim.Path());
    EXPECT_EQ(prompts.asked, std::vector<std::string>{question});
    EXPECT_EQ(messages->text(),
              "Transfer succesful\nThe received data was saved in\n" + QString::fromStdString(job));
    EXPECT_EQ(sim.Wait(), 0);
    EXPECT_EQ(ReadAll(job), stream + std::string(128 - stream.size(), ' '));
    // The Convert window that stayed open now starts from the received file.
    EXPECT_EQ(convert->SourceFile()->text().toStdString(), job);
    EXPECT_EQ(convert->SourceFormat()->currentText(), "ITF00 coordinates");
  }
  std::filesystem::remove_all(home);
}

TEST(TransferConvertGui, SendsLinesThatTheInstrumentChecks) {
  App();
  const std::filesystem::path home = std::filesystem::temp_directory_path() / "ulvo_gui_e2e_send";
  std::filesystem::remove_all(home);
  std::filesystem::create_directories(home / "IIF");
  std::filesystem::copy_file(ULVO_SHIPPED_DATA_DIR "/IIF/TS40.IIF", home / "IIF" / "TS40.IIF");
  std::ofstream(home / "points.txt", std::ios::binary)
      << "PT1 100.0 200.0\r\nPT2 110.5 210.25\r\nCODE TREE\r\n";
  Simulator sim({"ulvo-receive", "--format", "ITF02", "--handshake", "acknak2", "--expect",
                 (home / "points.txt").string()});
  ASSERT_FALSE(sim.Path().empty());

  MemoryProfileStore profile;
  CDunmarkApp app;
  app.Start(home, &profile);
  CMainFrame frame(app);
  frame.SetMessageHandler([](const QString& text) { ADD_FAILURE() << text.toStdString(); });
  RegisterTaskWindows(frame);
  NoQuestions prompts;
  auto* transfer = qobject_cast<CTransferView*>(frame.OpenTask(kTransferType));
  ASSERT_NE(transfer, nullptr);
  transfer->SetPrompts(&prompts);
  Select(Child<QComboBox>(transfer, "instrument"), "Total station TS-40");
  Select(Child<QComboBox>(transfer, "option"), "Coordinates as lines with check characters");
  RunTransfer(transfer, (home / "points.txt").string(), sim.Path());
  EXPECT_EQ(Child<QLabel>(transfer, "messages")->text(), "Transfer succesful");
  EXPECT_EQ(Child<QProgressBar>(transfer, "progress")->value(), 100);
  EXPECT_EQ(sim.Wait(), 0);
  // Sending presets no conversion.
  EXPECT_STRNE(app.Settings()
                   .Root()
                   .child("conversion")
                   .child("dialog")
                   .child("from")
                   .child("file")
                   .attribute("name")
                   .value(),
               (home / "points.txt").c_str());
  std::filesystem::remove_all(home);
}

// Any question or message ends the window's program: the receive was to run undisturbed.
class Unasked : public TransferFormPrompts {
 public:
  void ShowInfo(const std::string& text) override { Quit(text); }
  bool AskYesNo(const std::string& text) override { Quit(text); }
  [[noreturn]] static void Quit(const std::string& text) {
    std::fprintf(stderr, "unexpected: %s\n", text.c_str());
    _exit(3);
  }
};

// The Transfer window of a program of its own, receiving into `received` until it is
// killed; it never returns.
[[noreturn]] void RunWindowReceive(const std::filesystem::path& home, const char* instrument,
                                   const char* option, const std::string& port,
                                   const std::string& received) {
  App();
  MemoryProfileStore profile;
  CDunmarkApp app;
  app.Start(home, &profile);
  CMainFrame frame(app);
  frame.SetMessageHandler([](const QString& text) { Unasked::Quit(text.toStdString()); });
  RegisterTaskWindows(frame);
  Unasked prompts;
  auto* transfer = qobject_cast<CTransferView*>(frame.OpenTask(kTransferType));
  if (!transfer) _exit(4);
  transfer->SetPrompts(&prompts);
  Child<QRadioButton>(transfer, "receive")->click();
  Select(Child<QComboBox>(transfer, "instrument"), instrument);
  Select(Child<QComboBox>(transfer, "option"), option);
  RunTransfer(transfer, received, port);
  // The receive ended before the kill: the parent sees no capture.
  std::fprintf(stderr, "%s\n", Child<QLabel>(transfer, "messages")->text().toUtf8().constData());
  _exit(0);
}

// The Transfer window killed in the middle of a slow receive leaves its capture; recover
// restores the bytes of every record accepted up to the kill, whole records only.
TEST(TransferConvertGui, WindowKilledMidReceiveIsRecovered) {
  namespace fs = std::filesystem;
  const fs::path home = fs::temp_directory_path() / ("ulvo_gui_kill_" + std::to_string(getpid()));
  fs::remove_all(home);
  fs::create_directories(home / "IIF");
  for (const char* iif : {"TS40.IIF", "TS60.IIF", "TERMINAL.IIF"})
    fs::copy_file(fs::path(ULVO_SHIPPED_DATA_DIR) / "IIF" / iif, home / "IIF" / iif);
  // The window's captures and ulvo-cli's go to the test's folder.
  setenv("XDG_DATA_HOME", home.c_str(), 1);
  setenv("XDG_CONFIG_HOME", home.c_str(), 1);

  std::string data;
  for (int n = 0; n < 120; ++n) data += "PT" + std::to_string(3000 + n) + ",4500.123,1200.456\r\n";
  const fs::path source = home / "source";
  std::ofstream(source, std::ios::binary) << data;
  struct Case {
    const char* instrument;
    const char* option;
    const char* format;
    const char* handshake;
    const char* baud;
    size_t record;  // the bytes one accepted record adds (0: as the reads come)
  };
  const Case cases[] = {
      {"Total station TS-60", "Job file in numbered blocks", "ITF00", "acknak", "4800", 128},
      {"Total station TS-40", "Measurements as lines with check characters", "ITF02", "acknak2",
       "1200", 26},
      {"Generic text terminal", "Text ended by EOT", "ASCII", "none", "1200", 0},
  };
  const fs::path captures = home / "ULVO" / "Captures";
  const fs::path received = home / "received";
  const fs::path restored = home / "restored";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    fs::remove_all(captures);
    fs::remove(restored);
    // The instrument starts a second after: by then the port is open and purged.
    Simulator sim({"ulvo-send", "--format", c.format, "--handshake", c.handshake, "--baud", c.baud,
                   "--delay-ms", "1000", "--file", source.string()});
    ASSERT_FALSE(sim.Path().empty());
    const pid_t window = fork();
    ASSERT_GE(window, 0);
    if (window == 0) RunWindowReceive(home, c.instrument, c.option, sim.Path(), received.string());

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
    EXPECT_FALSE(ended);
    ASSERT_EQ(found.size(), 1u);
    ASSERT_GE(found[0].records, 3u);
    EXPECT_FALSE(fs::exists(received));

    const std::vector<CaptureInfo> left = ListCaptures(captures);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_FALSE(left[0].inUse);
    EXPECT_EQ(left[0].header.destination, received.string());
    const pid_t cli = fork();
    if (cli == 0) {
      execl(SURVEY_BIN_DIR "/ulvo-cli", "ulvo-cli", "--home", home.c_str(), "recover", "restore",
            left[0].name.c_str(), "-o", restored.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    int status = -1;
    waitpid(cli, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    const std::string got = ReadAll(restored);
    EXPECT_GE(got.size(), found[0].dataBytes);
    EXPECT_LT(got.size(), data.size());
    EXPECT_EQ(got, data.substr(0, got.size()));
    if (c.record != 0) {
      EXPECT_EQ(got.size() % c.record, 0u);
    }
    EXPECT_TRUE(ListCaptures(captures).empty());
  }
  unsetenv("XDG_DATA_HOME");
  unsetenv("XDG_CONFIG_HOME");
  fs::remove_all(home);
}

}  // namespace
}  // namespace ulvo
