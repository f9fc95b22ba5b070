#include "kavex/comm/upload_protocols.h"

#include <gtest/gtest.h>

#include "kavex/shell/transfer_families.h"

#include "kavex/tests/support/scripted_device.h"

namespace kavex {
namespace {

using namespace std::chrono_literals;
using testing::FakeClock;
using testing::ScriptedDevice;

const std::string kAckLine = "\x06\r\n";
const std::string kStart =
    "\x02"
    "F00F000\x03\r\n";
const std::string kEnd = "\x02\x04\x03\r\n";
const std::string kInitial =
    "\x02Site1     +00001.0000000000"
    "00-000000S112\x03\r\n";

struct UploadFixture : ::testing::Test {
  FakeClock clock;
  ScriptedDevice device{clock};
  std::vector<std::string> portMessages;
  CommPort port{device, clock, [this](const std::string& t) { portMessages.push_back(t); }};
  TransferProgress progress;
  UploadOptions options;
  int pumps = 0;
  std::function<void()> onPump;

  void SetUp() override {
    ASSERT_EQ(port.OpenPort("COM1"), 0);
    ASSERT_EQ(port.ConfigurePort(10000), 0);
    port.StartTimer();
  }
  UploadResult Run(UploadKind kind, const std::vector<std::string>& lines) {
    return RunUploadProtocol(
        kind, port, progress,
        [this] {
          ++pumps;
          if (onPump) onPump();
        },
        lines, options, kInitial);
  }
};

// A fresh instrument on an open port, for one case of a table.
struct FreshPort {
  FakeClock clock;
  ScriptedDevice device{clock};
  CommPort port{device, clock, [](const std::string&) {}};
  TransferProgress progress;
  FreshPort() {
    EXPECT_EQ(port.OpenPort("COM1"), 0);
    EXPECT_EQ(port.ConfigurePort(10000), 0);
  }
};

TEST_F(UploadFixture, TerminalSkipsEmptyLinesAndCutsLongOnes) {
  const std::string longLine(250, 'L');
  device.acceptAnyWrite = true;
  const UploadResult r = Run(UploadKind::Terminal, {"A", "", "B", longLine});
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(device.AllSent(), "A\r\nB\r\n" + std::string(191, 'L') + "\r\n");
  EXPECT_EQ(progress.Display().secondLabel, "   4 / 4   ");  // the empty line still counts
  EXPECT_FALSE(progress.Display().cancelVisible);
  EXPECT_EQ(r.linesSent, 3u);
}

TEST_F(UploadFixture, NwfEndByteOnlyWithTheOption) {
  device.acceptAnyWrite = true;
  EXPECT_TRUE(Run(UploadKind::Nwf, {"JOB     X"}).ok);
  EXPECT_EQ(device.AllSent(), "JOB     X\r\n\x04");
  EXPECT_TRUE(progress.Display().cancelVisible);
  device.sent.clear();
  options.addEndBlock = false;
  EXPECT_TRUE(Run(UploadKind::Nwf, {"JOB     X"}).ok);
  EXPECT_EQ(device.AllSent(), "JOB     X\r\n");
}

TEST_F(UploadFixture, NwfCancelBeforeTheNextLine) {
  device.acceptAnyWrite = true;
  onPump = [this] {
    if (pumps == 2) progress.PressCancel();
  };
  const UploadResult r = Run(UploadKind::Nwf, {"L1", "L2", "L3"});
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(r.cancelled);
  EXPECT_TRUE(r.message.empty());
  EXPECT_EQ(device.AllSent(), "L1\r\n");  // no END byte after a cancel
}

TEST_F(UploadFixture, CoordinatesAckNakEveryBlockAcknowledgedButTheEnd) {
  options.ackNak = true;
  options.blockIntervalMs = 100;
  device.Expect(kStart)
      .Send(kAckLine, 30ms)
      .Expect(kInitial)
      .Send(kAckLine)
      .Expect("B0\r\n")
      .Send(kAckLine, 250ms)
      .Expect("B1\r\n")
      .Send(kAckLine)
      .Expect(kEnd);
  const UploadResult r = Run(UploadKind::Coordinates, {"B0", "", "B1"});
  EXPECT_TRUE(r.ok) << r.message;
  EXPECT_FALSE(progress.Display().cancelVisible);
  ASSERT_EQ(device.sent.size(), 5u);
  // Each write starts more than 100 ms after the previous write ended, not after the
  // acknowledgement: the one 30 ms after the start block adds nothing, the late one for B0
  // lets B1 go at once.
  EXPECT_EQ(device.sent[0].at, 100ms + 1us);
  EXPECT_EQ(device.sent[1].at, device.sent[0].at + 100ms + 1us);
  EXPECT_EQ(device.sent[3].at - device.sent[2].at, 250ms);
  EXPECT_EQ(device.sent[4].at - device.sent[3].at, 100ms + 1us);
}

TEST_F(UploadFixture, CoordinatesNoneSendsWithoutReading) {
  device.acceptAnyWrite = true;
  const UploadResult r = Run(UploadKind::Coordinates, {"B0"});
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(device.AllSent(), kStart + kInitial + "B0\r\n" + kEnd);
  EXPECT_TRUE(progress.Display().cancelVisible);
  for (size_t i = 1; i < device.sent.size(); ++i)
    EXPECT_EQ(device.sent[i].at - device.sent[i - 1].at, 400ms + 1us);
}

TEST_F(UploadFixture, NoneModeCancelIsSeenAfterASentLine) {
  device.acceptAnyWrite = true;
  progress.PressCancel();  // pressed before the upload: showing the window clears it
  onPump = [this] { progress.PressCancel(); };
  const UploadResult r = Run(UploadKind::PointCodes, {"", "C0", "C1"});
  EXPECT_TRUE(r.cancelled);
  EXPECT_EQ(device.AllSent(), "C0\r\n");
}

TEST_F(UploadFixture, WrongAcknowledgementsEndTheUpload) {
  const std::string replies[] = {"\x15\r\n", "\x06\n", "\x06\r\r\n", "A\x06\n", "\x04"};
  for (const std::string& reply : replies) {
    FreshPort t;
    UploadOptions o;
    o.ackNak = true;
    t.device.Expect("C0\r\n").Send(reply);
    const UploadResult r =
        RunUploadProtocol(UploadKind::PointCodes, t.port, t.progress, {}, {"C0", "C1"}, o);
    EXPECT_FALSE(r.ok) << ScriptedDevice::Show(reply);
    EXPECT_EQ(r.message, "No response.");
    EXPECT_EQ(r.linesSent, 0u);  // written, but the instrument did not take it
    EXPECT_EQ(UploadStoppedNote(r), "0 of 2 lines were sent before the upload stopped.");
  }
}

// The stop note counts what the instrument took, out of every data line of the upload,
// wherever the upload stops.
TEST(UploadStopNote, RefusalAtEachRecord) {
  const std::vector<std::string> lines = {"B0", "", "B1", "B2"};
  const std::string records[] = {kStart, kInitial, "B0\r\n", "B1\r\n", "B2\r\n"};
  const struct {
    int refused;  // index into records; 5: none refused
    const char* note;
  } cases[] = {
      {0, "0 of 3"}, {1, "0 of 3"}, {2, "0 of 3"}, {3, "1 of 3"}, {4, "2 of 3"}, {5, "3 of 3"},
  };
  for (const auto& c : cases) {
    FreshPort t;
    UploadOptions o;
    o.ackNak = true;
    for (int i = 0; i < 5 && i <= c.refused; ++i)
      t.device.Expect(records[i]).Send(i == c.refused ? "\x15\r\n" : kAckLine);
    if (c.refused == 5) t.device.Expect(kEnd);
    const UploadResult r =
        RunUploadProtocol(UploadKind::Coordinates, t.port, t.progress, {}, lines, o, kInitial);
    EXPECT_EQ(r.ok, c.refused == 5) << c.refused;
    EXPECT_EQ(std::to_string(r.linesSent) + " of " + std::to_string(r.lineTotal), c.note)
        << "refused record " << c.refused;
  }
}

// Without Ack/Nak a line counts once written: a write that fails does not count.
TEST(UploadStopNote, FailedWriteAtEachRecord) {
  const std::vector<std::string> lines = {"B0", "B1"};
  const struct {
    int failWrite;  // start block 1, initial block 2, B0 3, B1 4, END 5
    unsigned sent;
  } cases[] = {{1, 0}, {2, 0}, {3, 0}, {4, 1}, {5, 2}};
  for (const auto& c : cases) {
    FreshPort t;
    t.device.acceptAnyWrite = true;
    t.device.failWrite = c.failWrite;
    const UploadResult r = RunUploadProtocol(UploadKind::Coordinates, t.port, t.progress, {}, lines,
                                             UploadOptions{}, kInitial);
    EXPECT_EQ(r.message, "Write error.") << c.failWrite;
    EXPECT_EQ(r.linesSent, c.sent) << c.failWrite;
    EXPECT_EQ(r.lineTotal, 2u) << c.failWrite;
  }
}

TEST(UploadLines, LongestLineThatCanBeSent) {
  EXPECT_EQ(UploadLineTooLong({"A", std::string(191, 'x'), ""}), std::nullopt);
  EXPECT_EQ(UploadLineTooLong({"A", "B", std::string(192, 'x'), std::string(300, 'y')}),
            "Line 3 has 192 characters: at most 191 can be sent.");
}

TEST_F(UploadFixture, AcknowledgementMayComeInPiecesWithinTheTimeOut) {
  options.ackNak = true;
  options.addEndBlock = false;
  // Each byte may take up to the time-out plus 5 ms; the first one just makes it.
  device.Expect("C0\r\n").Send("\x06", 10005ms).Send("\r", 9000ms).Send("\n", 10005ms);
  device.Expect("C1\r\n").Send("\x06\r\n", 10006ms);
  const UploadResult r = Run(UploadKind::PointCodes, {"C0", "C1"});
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.message, "No response.");
  EXPECT_EQ(r.linesSent, 1u);
}

TEST_F(UploadFixture, SilenceIsNoResponseAfterTheTimeOut) {
  options.ackNak = true;
  device.Expect(kStart);
  const UploadResult r = Run(UploadKind::Coordinates, {"B0"});
  EXPECT_EQ(r.message, "No response.");
  EXPECT_EQ(r.linesSent, 0u);
  EXPECT_EQ(clock.Elapsed(), 400ms + 10005ms);  // 1 us later than the write
}

TEST_F(UploadFixture, FailedWriteIsWriteError) {
  device.acceptAnyWrite = true;
  device.failWrite = 2;
  const UploadResult r = Run(UploadKind::Coordinates, {"B0"});
  EXPECT_EQ(r.message, "Write error.");
  EXPECT_EQ(portMessages, std::vector<std::string>{"Failed to send data."});
  EXPECT_EQ(device.AllSent(), kStart);
}

TEST(UploadSettings, OptionsOfTheSettings) {
  CommSettings s;
  s.blockInterval = "999 ";
  s.useAckNak = true;
  s.addEndBlock = false;
  const UploadOptions o = UploadOptionsOf(s);
  EXPECT_EQ(o.blockIntervalMs, 999u);
  EXPECT_TRUE(o.ackNak);
  EXPECT_FALSE(o.addEndBlock);
}

}  // namespace
}  // namespace kavex
