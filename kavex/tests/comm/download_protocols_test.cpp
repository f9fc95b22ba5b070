#include "kavex/comm/download_protocols.h"

#include <gtest/gtest.h>

#include "kavex/shell/transfer_families.h"

#include <functional>

#include "kavex/comm/fault_device.h"
#include "kavex/tests/support/scripted_device.h"
#include "test_blocks.h"

namespace kavex {
namespace {

using namespace std::chrono_literals;
using testing::BadSumLine;
using testing::BlockLine;
using testing::FakeClock;
using testing::ScriptedDevice;

const std::string kEnqByte = "\x05";
const std::string kAckByte = "\x06";
const std::string kNakByte = "\x15";
const std::string kEotByte = "\x04";

struct Receiver : DownloadReceiver {
  void Accepted(const std::string& line) override {
    accepted.push_back(StoredLineOf(line));
    answersBefore.push_back(sent ? sent->size() : 0);
  }
  void StoreLine(const std::string& line) override { lines.push_back(StoredLineOf(line)); }
  void PumpEvents() override { ++pumps; }
  std::vector<std::string> lines;
  int pumps = 0;
  // Each accepted line, and how many writes had gone out by then.
  std::vector<std::string> accepted;
  std::vector<size_t> answersBefore;
  const std::vector<ScriptedDevice::Sent>* sent = nullptr;
};

struct Progress : TransferProgress {
  void Changed() override { shown.push_back(Display().firstLabel + "|" + Display().secondLabel); }
  std::vector<std::string> shown;
};

struct DownloadFixture : ::testing::Test {
  FakeClock clock;
  ScriptedDevice device{clock};
  std::vector<std::string> portMessages;
  CommPort port{device, clock, [this](const std::string& t) { portMessages.push_back(t); }};
  Receiver receiver;
  Progress progress;
  DownloadOptions options;

  void SetUp() override {
    receiver.sent = &device.sent;
    ASSERT_EQ(port.OpenPort("COM1"), 0);
    ASSERT_EQ(port.ConfigurePort(10000), 0);
  }
  DownloadResult Run(DownloadKind kind) {
    return RunDownloadProtocol(kind, port, progress, receiver, options);
  }
  std::string Block(int n) { return BlockLine("_+P" + std::to_string(n) + "_", n % 10); }
  std::string Stored(int n) { return StoredLineOf(Block(n)); }
};

TEST_F(DownloadFixture, TerminalStoresLinesWithoutLineEndsUntilEotOrDc1) {
  for (const std::string& end : {kEotByte, std::string("\x11")}) {
    FakeClock clk;
    ScriptedDevice dev(clk);
    CommPort p(dev, clk, [](const std::string&) {});
    Receiver r;
    Progress pr;
    dev.Send("A\n").Send("B\r\n").Send(end);
    ASSERT_EQ(p.OpenPort("COM1"), 0);
    ASSERT_EQ(p.ConfigurePort(10000), 0);
    const DownloadResult result = RunTextDownload(p, pr, r);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(r.lines, (std::vector<std::string>{"A", "B"}));
    EXPECT_TRUE(dev.sent.empty());  // nothing is ever sent
    EXPECT_EQ(pr.shown.back(), "Download in progress  :|   2 ");
  }
}

TEST_F(DownloadFixture, TerminalWithoutAnyByteEndsWithNoResponse) {
  const DownloadResult result = Run(DownloadKind::Terminal);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.message, "No response.");
  EXPECT_TRUE(receiver.lines.empty());
}

TEST_F(DownloadFixture, Qrx6WithoutHandshakeAcceptsNumbersWrappingAfterNine) {
  for (int n = 0; n < 12; ++n) device.Send(Block(n));
  device.Send(kEotByte);
  const DownloadResult result = Run(DownloadKind::Qrx6);
  EXPECT_TRUE(result.ok);
  ASSERT_EQ(receiver.lines.size(), 12u);
  EXPECT_EQ(receiver.lines[10], Stored(10));
  EXPECT_EQ(receiver.lines[10].size(), 134u);
  EXPECT_TRUE(device.sent.empty());
}

TEST_F(DownloadFixture, Qrx6WithoutHandshakeStopsAtABadBlockKeepingEarlierOnes) {
  struct Case {
    const char* what;
    std::string second;
    bool checkNumber;
    bool ok;
  };
  const Case cases[] = {
      {"number 2 where 1 is expected", BlockLine("_+P1_", 2), true, false},
      {"number not checked", BlockLine("_+P1_", 2), false, true},
      {"bad sum", BadSumLine("_+P1_", 1), true, false},
      {"137 characters", "x" + BlockLine("_+P1_", 1), true, false},
  };
  for (const auto& c : cases) {
    FakeClock clk;
    ScriptedDevice dev(clk);
    CommPort p(dev, clk, [](const std::string&) {});
    Receiver r;
    Progress pr;
    dev.Send(Block(0)).Send(c.second).Send(kEotByte);
    ASSERT_EQ(p.OpenPort("COM1"), 0);
    ASSERT_EQ(p.ConfigurePort(10000), 0);
    DownloadOptions o;
    o.checkBlockNumber = c.checkNumber;
    const DownloadResult result = RunQrx6Download(p, pr, r, o);
    EXPECT_EQ(result.ok, c.ok) << c.what;
    EXPECT_EQ(result.message, c.ok ? "" : "Invalid Data.") << c.what;
    EXPECT_EQ(r.lines.size(), c.ok ? 2u : 1u) << c.what;
  }
}

TEST_F(DownloadFixture, AckNakRepeatsABadBlockAndAnswersEotOnceAfterTheDelay) {
  options.ackNak = true;
  options.delayMs = 100;
  device.Expect(kEnqByte)
      .Send(Block(0))
      .Expect(kAckByte)
      .Send(BadSumLine("_+P1_", 1), 20ms)
      .Expect(kNakByte)
      .Send(Block(1), 20ms)
      .Expect(kAckByte)
      .Send(kEotByte, 20ms)
      .Expect(kAckByte);
  const DownloadResult result = Run(DownloadKind::Qrx6);
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(receiver.lines, (std::vector<std::string>{Stored(0), Stored(1)}));
  // Each answer leaves no sooner than 100 ms after its line arrived:
  // block 0 at 0, ACK 100; bad block 120, NAK 220; block 1 240, ACK 340; EOT 360, ACK 460.
  ASSERT_EQ(device.sent.size(), 5u);
  const std::chrono::microseconds at[] = {0us, 100ms, 220ms, 340ms, 460ms};
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_GE(device.sent[i].at, at[i]) << i;
    EXPECT_LT(device.sent[i].at, at[i] + 1ms) << i;
    EXPECT_EQ(device.sent[i].bytes.size(), 1u) << i;  // single bytes, never a line
  }
  EXPECT_EQ(progress.shown.front(), "Sending ENQ|");
}

TEST_F(DownloadFixture, AckNakBadFirstBlockIsExpectedAgainAsBlockZero) {
  options.ackNak = true;
  device.Expect(kEnqByte)
      .Send(BlockLine("_+P0_", 1))  // wrong number for the first block
      .Expect(kNakByte)
      .Send(Block(0))
      .Expect(kAckByte)
      .Send(kEotByte)
      .Expect(kAckByte);
  EXPECT_TRUE(Run(DownloadKind::Qrx6).ok);
  EXPECT_EQ(receiver.lines, std::vector<std::string>{Stored(0)});
}

TEST_F(DownloadFixture, AckNakFailures) {
  struct Case {
    const char* what;
    int failWrite;  // 0: none
    bool answerEnq;
    std::string message;
    std::vector<std::string> portMessages;
    size_t lines;
  };
  const Case cases[] = {
      {"no answer to ENQ", 0, false, "No response.", {}, 0},
      {"ENQ not sent", 1, true, "Write error.", {"Failed to send data."}, 0},
      {"ACK not sent", 2, true, "Write error.", {"Failed to send data."}, 0},
      {"final ACK not sent", 4, true, "", {"Failed to send data."}, 2},
  };
  for (const auto& c : cases) {
    FakeClock clk;
    ScriptedDevice dev(clk);
    std::vector<std::string> shown;
    CommPort p(dev, clk, [&](const std::string& t) { shown.push_back(t); });
    Receiver r;
    Progress pr;
    if (c.answerEnq) {
      dev.Send(Block(0)).Send(Block(1)).Send(kEotByte);
      dev.acceptAnyWrite = true;
    } else {
      dev.Expect(kEnqByte);
    }
    dev.failWrite = c.failWrite;
    ASSERT_EQ(p.OpenPort("COM1"), 0);
    ASSERT_EQ(p.ConfigurePort(10000), 0);
    DownloadOptions o;
    o.ackNak = true;
    const DownloadResult result = RunQrx6Download(p, pr, r, o);
    EXPECT_FALSE(result.ok) << c.what;
    EXPECT_EQ(result.message, c.message) << c.what;
    EXPECT_EQ(shown, c.portMessages) << c.what;
    EXPECT_EQ(r.lines.size(), c.lines) << c.what;
  }
}

TEST_F(DownloadFixture, AckNakCorruptedBlockFromAFaultyLineIsRepeated) {
  // The instrument sends a good block; a fault on the line spoils it once.
  FaultInjectingDevice faulty(device, clock, Faults{.corruptLine = 2});
  CommPort p(faulty, clock, [](const std::string&) {});
  ASSERT_EQ(p.OpenPort("COM1"), 0);
  ASSERT_EQ(p.ConfigurePort(10000), 0);
  device.Expect(kEnqByte)
      .Send(Block(0))
      .Expect(kAckByte)
      .Send(Block(1))
      .Expect(kNakByte)
      .Send(Block(1))
      .Expect(kAckByte)
      .Send(kEotByte)
      .Expect(kAckByte);
  options.ackNak = true;
  EXPECT_TRUE(RunQrx6Download(p, progress, receiver, options).ok);
  EXPECT_EQ(receiver.lines, (std::vector<std::string>{Stored(0), Stored(1)}));
}

TEST_F(DownloadFixture, HkAnswersEachLineAndEndsAfterTheZLine) {
  options.delayMs = 50;
  device.Send("AB#x\r\n")
      .Expect("\x06,R,\r\n")
      .Send("AB$x\r\n")  // wrong check character
      .Expect("\x15,!,\r\n")
      .Send("AB#x\r\n")
      .Expect("\x06,R,\r\n")
      .Send("Z,&x\r\n")
      .Expect("\x06,R,\r\n");
  const DownloadResult result = Run(DownloadKind::Hk);
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(receiver.lines, (std::vector<std::string>{"AB#x", "AB#x", "Z,&x"}));
  ASSERT_EQ(device.sent.size(), 4u);
  EXPECT_GE(device.sent[0].at, 50ms);
  EXPECT_GE(device.sent[1].at, 100ms);
  // The count shown starts at 1 and grows with each stored line.
  EXPECT_EQ(progress.shown.back(), "Download in progress  :|   3 ");
}

TEST_F(DownloadFixture, HkWithoutSumCheckAcceptsEveryLine) {
  options.checkBlockSum = false;
  device.Send("x\r\n").Expect("\x06,R,\r\n").Send("Zy\r\n").Expect("\x06,R,\r\n");
  EXPECT_TRUE(Run(DownloadKind::Hk).ok);
  EXPECT_EQ(receiver.lines, (std::vector<std::string>{"x", "Zy"}));
}

TEST_F(DownloadFixture, HkSilenceIsNoResponseWithLinesKept) {
  device.Send("AB#x\r\n").Expect("\x06,R,\r\n");
  const DownloadResult result = Run(DownloadKind::Hk);
  EXPECT_EQ(result.message, "No response.");
  EXPECT_EQ(receiver.lines, std::vector<std::string>{"AB#x"});
}

// Every kind tells its receiver of each line that passed its checks exactly once, before the
// answer that lets the instrument go on; a refused line never.
TEST_F(DownloadFixture, EachKindTellsOfAcceptedLinesBeforeAnsweringThem) {
  struct Case {
    const char* what;
    DownloadKind kind;
    bool ackNak;
    std::function<void(ScriptedDevice&)> script;
    std::vector<std::string> accepted;
    std::vector<size_t> answersBefore;
  };
  const std::string b0 = Block(0), b1 = Block(1);
  const Case cases[] = {
      {"terminal",
       DownloadKind::Terminal,
       false,
       [](ScriptedDevice& d) { d.Send("A\r\nB C\r\n\x04"); },
       {"A", "B C"},
       {0, 0}},
      {"qrx6 ack/nak, block 1 refused once",
       DownloadKind::Qrx6,
       true,
       [&](ScriptedDevice& d) {
         d.Expect(kEnqByte).Send(b0).Expect(kAckByte).Send(BadSumLine("_+P1_", 1));
         d.Expect(kNakByte).Send(b1).Expect(kAckByte).Send(kEotByte).Expect(kAckByte);
       },
       {StoredLineOf(b0), StoredLineOf(b1)},
       {1, 3}},
      {"qrx6 plain stops at a bad block",
       DownloadKind::Qrx6,
       false,
       [&](ScriptedDevice& d) { d.Send(b0).Send(BadSumLine("_+P1_", 1)); },
       {StoredLineOf(b0)},
       {0}},
      // "AB" sums to 131, mod 64 = 3, check 35 "#": "AB$" is refused, "AB#" taken.
      {"hk, a line refused once",
       DownloadKind::Hk,
       false,
       [](ScriptedDevice& d) {
         d.Send("AB$x\r\n").Expect(kHkBadReply).Send("AB#x\r\n").Expect(kHkGoodReply);
         d.Send("Z,&x\r\n").Expect(kHkGoodReply);
       },
       {"AB#x", "Z,&x"},
       {1, 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeClock clk;
    ScriptedDevice dev(clk);
    CommPort p(dev, clk, [](const std::string&) {});
    ASSERT_EQ(p.OpenPort("COM1"), 0);
    ASSERT_EQ(p.ConfigurePort(1000), 0);
    Receiver r;
    r.sent = &dev.sent;
    c.script(dev);
    DownloadOptions o;
    o.ackNak = c.ackNak;
    RunDownloadProtocol(c.kind, p, progress, r, o);
    EXPECT_EQ(r.accepted, c.accepted);
    EXPECT_EQ(r.answersBefore, c.answersBefore);
  }
}

TEST(TransferProgressDisplay, CountsAndBar) {
  TransferProgress p;
  p.StartDownloadDisplay(0);
  p.Update(12);
  EXPECT_EQ(p.Display().secondLabel, "  12 ");
  EXPECT_FALSE(p.Display().barVisible);
  p.StartUploadDisplay(0, 30, 0, 20);
  EXPECT_EQ(p.Display().firstLabel, "Upload in progress  :");
  EXPECT_EQ(p.Display().labelsTop, 16);
  p.Update(7);
  EXPECT_EQ(p.Display().secondLabel, "   7 / 30  ");
  EXPECT_EQ(p.Display().barPosition, 4);  // 7 * 20 / 30, rounded down
  p.StartConversionDisplay(5, 5, 0, 20);  // empty range: no division by zero
  p.Update(3);
  EXPECT_EQ(p.Display().barPosition, 0);
  p.PressCancel();
  p.Show(false);
  EXPECT_FALSE(p.CancelRequested());
}

}  // namespace
}  // namespace kavex
