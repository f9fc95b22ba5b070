#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "fake_device.h"
#include "test_instrument.h"
#include "ulvo/transfer/capture_file.h"
#include "ulvo/transfer/check_port.h"
#include "ulvo/transfer/culvo_serial.h"
#include "ulvo/transfer/fault_device.h"
#include "ulvo/transfer/tracing_device.h"
#include "ulvo/transfer/transfer_failure.h"

namespace ulvo {
namespace {

using namespace std::string_literals;
using test::FakeClock;
using test::MakeInstrument;
using test::ScriptedDevice;

const std::string kAck = "\x06";
const std::string kNak = "\x15";
const std::string kEnq = "\x05";
const std::string kAckRecord = "\x06,R,\r\n"s;
const std::string kNakRecord = "\x15,!,\r\n"s;
const std::string kEnqRecord = "\x05,01,^,\r\n"s;
const std::string kEotRecord = "\x04,P,\r\n"s;
const std::string kEnd = "\x02\x04\x03\r\n"s;
const std::string kHeader0 =
    "\x02"
    "F00F000\x03\r\n"s;
// 'A' ^ 'B' ^ 34 spaces ^ 'S' = 0x50: check "080".
const std::string kHeader1 =
    "\x02"
    "AB"s +
    std::string(34, ' ') + "S080\x03\r\n\0\0\r\n"s;

class Recorder : public TransferOwner {
 public:
  void UpdateAllViews(uint8_t hint, const CULVOSerial& serial) override {
    hints.push_back(hint);
    progress.push_back(serial.SendProgress());
  }
  void StatusSet(uint32_t code) override { statuses.push_back(code); }
  void ErrorSet(uint32_t code) override { errors.push_back(code); }
  std::vector<uint8_t> hints;
  std::vector<int> progress;
  std::vector<uint32_t> statuses, errors;
};

class SerialTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          ("ulvo_serial_" +
           std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::string File(const std::string& name, const std::string& content) {
    const auto path = dir / name;
    std::ofstream(path, std::ios::binary) << content;
    return path.string();
  }
  std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  uint32_t Send(const CInstrument& i, const std::string& content) {
    return serial.Run(&owner, i, "COM1", kDirectionSend, File("source.dat", content));
  }
  uint32_t Receive(const CInstrument& i) {
    return serial.Run(&owner, i, "COM1", kDirectionReceive, (dir / "received.dat").string());
  }
  std::string Received() { return Read((dir / "received.dat").string()); }

  std::filesystem::path dir;
  FakeClock clock;
  ScriptedDevice device{clock};
  CULVOSerial serial{device};
  Recorder owner;
};

// An instrument that answers each message from the computer with the next of `frames`.
void ServeFrames(ScriptedDevice& device, std::vector<std::string> frames) {
  auto index = std::make_shared<size_t>(0);
  device.responder = [frames, index](const std::string&, ScriptedDevice& d) {
    if (*index < frames.size()) d.inbound.push_back(frames[(*index)++]);
  };
}

TEST_F(SerialTest, OpenAppliesPortRules) {
  device.responder = [](const std::string&, ScriptedDevice&) {};
  CULVOSerial s(device);
  EXPECT_EQ(s.OpenComPort((1u << 6) | (1u << 8), MakeLineFormat(0, 8, 1, 1), 0xC, "com2"), 0u);
  EXPECT_EQ(device.openedName, "COM2");
  EXPECT_EQ(device.openedSettings.baudRate, 19200u);
  EXPECT_EQ(device.openedSettings.dataBits, 8);
  EXPECT_TRUE(device.openedSettings.xonXoff);
  EXPECT_FALSE(device.openedSettings.dtrHandshake);
  EXPECT_FALSE(device.openedSettings.rtsHandshake);
  EXPECT_EQ(s.CloseComPort(), 0u);
  EXPECT_EQ(s.OpenComPort(0, 0, 0, "/dev/ttyUSB0"), 0u);
  EXPECT_EQ(device.openedName, "/dev/ttyUSB0");
  // A transfer while the port is open is refused and changes nothing else.
  EXPECT_EQ(s.Run(nullptr, MakeInstrument(1, 0), "COM1", kDirectionSend, "none"), 1u);
  EXPECT_TRUE(device.IsOpen());
  EXPECT_EQ(s.Status(), 12u);
  device.closeOk = false;
  EXPECT_EQ(s.CloseComPort(), 10u);
}

TEST_F(SerialTest, OpenFailuresReportTheirCodes) {
  struct Case {
    OpenResult result;
    uint32_t code;
  };
  for (const Case c : {Case{OpenResult::kCannotOpen, 2}, Case{OpenResult::kCannotReadState, 4},
                       Case{OpenResult::kCannotSetState, 3}}) {
    device.openResult = c.result;
    EXPECT_EQ(Send(MakeInstrument(1, 0), "x"), c.code);
    EXPECT_EQ(serial.Status(), 11u);
    EXPECT_EQ(serial.Error(), c.code);
    EXPECT_FALSE(device.IsOpen());
  }
  device.openResult = OpenResult::kOk;
  device.timeoutsOk = false;
  EXPECT_EQ(Send(MakeInstrument(1, 0), "x"), 5u);
  EXPECT_EQ(serial.Error(), 5u);
  EXPECT_FALSE(device.IsOpen());
}

TEST_F(SerialTest, HandshakeMessages) {
  ControlChars cc;
  struct Case {
    int mode;
    bool addCrLf;
    int kind;
    std::string expected;
  };
  const Case cases[] = {
      {2, false, 1, kAck},         {2, true, 1, kAck + "\r\n"}, {2, false, 0, kEnq},
      {2, true, 2, kNak + "\r\n"}, {2, false, 3, "\x04"},       {3, false, 1, kAckRecord},
      {3, true, 0, kEnqRecord},    {1, false, 1, ""},           {0, true, 1, ""},
  };
  for (const auto& c : cases) {
    cc.addCrLf = c.addCrLf;
    CULVOSerial s(device);
    s.SetLink(LinkProtocol::kItf00, c.mode, cc);
    s.PrepareHandshake(c.kind);
    EXPECT_EQ(s.HandshakeBuffer(), c.expected) << c.mode << c.kind;
  }
  // ACK of 0x06: check ((0x06 + 0x2C) & 0x3F) + 0x20 = 0x52.
  CULVOSerial s(device);
  EXPECT_EQ(s.BuildControlRecord(1), "\x06,R,\r\n"s);
}

TEST_F(SerialTest, SendBlocksAcknowledged) {
  device.responder = [](const std::string&, ScriptedDevice& d) { d.inbound.push_back(kAck); };
  const std::string file(200, 'A');
  EXPECT_EQ(Send(MakeInstrument(2, 2), file), 0u);
  ASSERT_EQ(device.writes.size(), 3u);
  EXPECT_EQ(device.writes[0].substr(0, 2),
            "\x02"
            "A"s);
  EXPECT_EQ(device.writes[0].substr(129, 7), "0048\x03\r\n"s);
  EXPECT_EQ(device.writes[1].substr(129, 7), "1049\x03\r\n"s);
  EXPECT_EQ(device.writes[2], kEnd + std::string(129, '\0') + "\r\n");
  EXPECT_EQ(serial.Status(), 10u);
  EXPECT_EQ(serial.BytesTransferred(), 3u * 136);
  // Each record is announced before the index moves on: 0/2, 1/2, 2/2, then the end.
  EXPECT_EQ(owner.progress, (std::vector<int>{0, 50, 100, 100}));
  EXPECT_EQ(owner.hints.back(), kUpdateProgress | kUpdateStatus | kUpdateFinished);
  EXPECT_EQ(device.timeouts.interval, 50u);
  EXPECT_EQ(device.purges, 1);
}

TEST_F(SerialTest, SendRepeatsRejectedRecords) {
  // First answer NAK, then ACK with CR LF around it: the record goes twice.
  device.inbound = {kNak, "\r" + kAck + "\r\n", kAck, kAck};
  EXPECT_EQ(Send(MakeInstrument(2, 2), "hello"), 0u);
  ASSERT_EQ(device.writes.size(), 3u);
  EXPECT_EQ(device.writes[0], device.writes[1]);
  EXPECT_EQ(device.writes[2].substr(0, 5), kEnd);
}

TEST_F(SerialTest, SendGivesUpAfterTenTries) {
  for (const bool silent : {true, false}) {
    device.writes.clear();
    device.inbound.clear();
    if (!silent)
      for (int n = 0; n < 20; ++n) device.inbound.push_back(kNak);
    EXPECT_EQ(Send(MakeInstrument(2, 2), "hello"), 12u);
    EXPECT_EQ(device.writes.size(), 10u);
    EXPECT_EQ(serial.Status(), 11u);
    EXPECT_EQ(serial.Error(), 12u);
    EXPECT_FALSE(device.IsOpen());
  }
}

TEST_F(SerialTest, SendLastRecordUnansweredSucceeds) {
  device.inbound = {kAck, ""};
  EXPECT_EQ(Send(MakeInstrument(2, 2), "hello"), 0u);
  EXPECT_EQ(device.writes.size(), 2u);
  EXPECT_EQ(serial.Status(), 10u);
}

TEST_F(SerialTest, SendEachProtocolAndMode) {
  struct Case {
    uint32_t format, soft;
    std::string file;
    std::string answer;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {1, 0, "0123456789", "", {"0123456789\x04"}},
      {0, 1, "0123456789", "", {"0123456789\x04"}},
      {1, 2, std::string(253, 'x') + "y", kAck, {std::string(253, 'x'), "y\x04"}},
      {8, 4, "ABC\r\n", kAckRecord, {kEnqRecord, "ABC,R,\r\n", kEotRecord}},
      {8, 2, "ABC\nDE\r\n", kAck, {kEnqRecord, "ABC,R,\r\n", "DE,U,\r\n", kEotRecord}},
      {4, 0, "AB", "", {kHeader0, kHeader1, kEnd}},
  };
  for (const auto& c : cases) {
    device.writes.clear();
    device.responder = [&c](const std::string&, ScriptedDevice& d) {
      if (!c.answer.empty()) d.inbound.push_back(c.answer);
    };
    EXPECT_EQ(Send(MakeInstrument(c.format, c.soft), c.file), 0u) << c.format;
    EXPECT_EQ(device.writes, c.expected) << c.format << "/" << c.soft;
    EXPECT_EQ(serial.Status(), 10u);
  }
}

TEST_F(SerialTest, SendAckNak2NeedsTheControlRecord) {
  // A bare ACK (then silence) is no acknowledgement in "ACK NAK2"; the record is repeated.
  ServeFrames(device, {kAck, kAckRecord, kAckRecord, kAckRecord});
  EXPECT_EQ(Send(MakeInstrument(8, 4), "ABC\r\n"), 0u);
  ASSERT_EQ(device.writes.size(), 4u);
  EXPECT_EQ(device.writes[0], kEnqRecord);
  EXPECT_EQ(device.writes[1], kEnqRecord);
}

TEST_F(SerialTest, SendFileProblems) {
  EXPECT_EQ(Send(MakeInstrument(1, 0), ""), 16u);
  EXPECT_EQ(owner.statuses[owner.statuses.size() - 2], 15u);
  EXPECT_EQ(serial.Status(), 11u);
  EXPECT_EQ(Send(MakeInstrument(8, 0), "no line end at all"), 0u);
  EXPECT_EQ(
      serial.Run(&owner, MakeInstrument(2, 0), "COM1", kDirectionSend, (dir / "missing").string()),
      9u);
  EXPECT_EQ(serial.Status(), 11u);
  EXPECT_FALSE(device.IsOpen());
  device.writes.clear();
  device.failWriteAt = 0;
  EXPECT_EQ(Send(MakeInstrument(2, 0), "x"), 15u);
  EXPECT_EQ(serial.Error(), 15u);
  EXPECT_FALSE(device.IsOpen());
}

TEST_F(SerialTest, ReceiveBlocksWithAckNak) {
  const ControlChars cc;
  const std::string data0(128, 'A');
  std::string bad = BuildBlock("second", '1', cc);
  bad[3] = 'X';
  ServeFrames(device, {BuildBlock(data0, '0', cc), bad, BuildBlock("second", '1', cc), kEnd});
  EXPECT_EQ(Receive(MakeInstrument(2, 2)), 0u);
  // ENQ, ACK, NAK (bad check), ACK, ACK for the end.
  EXPECT_EQ(device.writes, (std::vector<std::string>{kEnq, kAck, kNak, kAck, kAck}));
  EXPECT_EQ(Received(), data0 + "second" + std::string(122, ' '));
  EXPECT_EQ(serial.Status(), 10u);
  EXPECT_EQ(serial.BytesTransferred(), 256u);
  EXPECT_NE(std::find(owner.statuses.begin(), owner.statuses.end(), 13u), owner.statuses.end());
}

TEST_F(SerialTest, ReceiveStreamedFramesAndNoise) {
  const ControlChars cc;
  struct Case {
    uint32_t format;
    std::string stream;
    std::string file;
  };
  const std::string b0 = BuildBlock("one", '0', cc);
  const std::string b1 = BuildBlock("two", '1', cc);
  const Case cases[] = {
      {2, "noise" + b0 + b1 + kEnd + std::string(129, '\0') + "\r\n",
       "one" + std::string(125, ' ') + "two" + std::string(125, ' ')},
      {2, b0 + "\x04\r\n", "one" + std::string(125, ' ')},
      // STX inside the first block's data is data, not a frame start.
      {2, BuildBlock("a\x02z", '0', cc) + kEnd, "a\x02z" + std::string(125, ' ')},
      {4, "zz" + kHeader0 + kHeader1 + b0 + kEnd,
       "AB" + std::string(34, ' ') + "one" + std::string(125, ' ')},
      {4, kHeader0 + kHeader1.substr(0, 44) + kEnd, "AB" + std::string(34, ' ')},
      // An instrument that leaves the headers out is still understood.
      {4, b0 + kEnd, "one" + std::string(125, ' ')},
  };
  for (const auto& c : cases) {
    device.inbound.clear();
    device.writes.clear();
    // Arriving in uneven pieces.
    for (size_t at = 0; at < c.stream.size(); at += 50)
      device.inbound.push_back(c.stream.substr(at, 50));
    EXPECT_EQ(Receive(MakeInstrument(c.format, 0)), 0u) << c.format;
    EXPECT_EQ(Received(), c.file);
    EXPECT_TRUE(device.writes.empty());
  }
}

TEST_F(SerialTest, ReceiveFromASilentInstrumentLeavesTheFileAsItWas) {
  EXPECT_EQ(Receive(MakeInstrument(2, 2)), 12u);
  // The first ENQ and one per empty read until the countdown of 10 runs out.
  EXPECT_EQ(device.writes, std::vector<std::string>(11, kEnq));
  EXPECT_EQ(serial.Status(), 11u);
  EXPECT_EQ(serial.Error(), 12u);
  EXPECT_FALSE(std::filesystem::exists(dir / "received.dat"));
  EXPECT_FALSE(serial.FileWritten());

  // Nothing received, by failure or by an instrument that sends only its end: yesterday's
  // file stays byte for byte.
  for (const std::string& inbound : {std::string(), std::string("\x04")}) {
    File("received.dat", "yesterday's job\r\n");
    device.inbound = {inbound};
    Receive(MakeInstrument(1, 0));
    EXPECT_EQ(Received(), "yesterday's job\r\n");
    EXPECT_FALSE(serial.FileWritten());
    EXPECT_EQ(std::count(owner.statuses.begin(), owner.statuses.end(), 3u), 0);
  }
  // One byte is enough to replace it.
  device.inbound = {"z"};
  EXPECT_EQ(Receive(MakeInstrument(1, 0)), 12u);
  EXPECT_EQ(Received(), "z");
}

// What ulvo-cli prints and the Transfer window shows under "Transfer failed".
TEST_F(SerialTest, FailuresSayWhereAndWhy) {
  const ControlChars cc;
  std::string badBlock = BuildBlock("one", '0', cc);
  badBlock[5] = 'X';
  struct Case {
    const char* name;
    uint32_t format, soft;
    int direction;
    std::function<void(ScriptedDevice&)> prepare;
    uint32_t result;
    std::string because;
    std::string line = {};  // what happened on the line, when it is said
  } cases[] = {
      {"port that is not there", 1, 0, kDirectionSend,
       [](ScriptedDevice& d) {
         d.openResult = OpenResult::kCannotOpen;
         d.lastError = "No such file or directory";
       },
       2, "COM1: No such file or directory"},
      {"port without a reason", 1, 0, kDirectionSend,
       [](ScriptedDevice& d) { d.openResult = OpenResult::kCannotSetState; }, 3,
       "COM1: the port refused the line settings"},
      {"time-outs refused", 1, 0, kDirectionSend, [](ScriptedDevice& d) { d.timeoutsOk = false; },
       5, "COM1: the port refused the read time-outs"},
      // Ten silent reads of 136 bytes: 10 x (10 x 136 + 100) ms.
      {"silent instrument", 2, 2, kDirectionReceive, [](ScriptedDevice&) {}, 12,
       "no answer from the instrument within 15 s",
       "Nothing arrived on COM1 in 15 s: check the cable, the port, and that the instrument is "
       "sending"},
      // Twenty silent reads of the 250 bytes left of a record: 20 x 2600 ms.
      {"silent after some bytes", 1, 0, kDirectionReceive,
       [](ScriptedDevice& d) { d.inbound = {"abc"}; }, 12,
       "the instrument fell silent after 3 bytes: no answer from the instrument within 52 s"},
      {"damaged block", 2, 0, kDirectionReceive, [&](ScriptedDevice& d) { d.inbound = {badBlock}; },
       12, "block 1 came with a wrong block check and did not come right"},
      {"bytes that fit no block", 2, 0, kDirectionReceive,
       [](ScriptedDevice& d) { d.inbound = {std::string(136, '\xF8')}; }, 12,
       "no answer from the instrument within 42 s",
       "136 bytes arrived that fit no record (first: F8 F8 F8 F8\u2026): the instrument's speed or "
       "frame is probably not the port's; try Detect"},
      // "PT 12,A" as 7E1 puts it on the line, read at 8N1: the eighth bit makes the number of
      // ones even (P 50, T D4, ' ' A0, 1 B1, 2 B2, ',' AC, A 41).
      {"text at 7E1", 1, 0, kDirectionReceive,
       [](ScriptedDevice& d) {
         std::string text;
         for (int i = 0; i < 8; ++i) text += "\x50\xD4\xA0\xB1\xB2\xAC\x41";
         d.inbound = {text};
       },
       12, "the instrument fell silent after 56 bytes: no answer from the instrument within 41 s",
       "The instrument seems to send at 9600 baud, 7E1; the port is set to 9600 baud, 8N1"},
      {"every try rejected", 2, 2, kDirectionSend,
       [](ScriptedDevice& d) { d.inbound = std::deque<std::string>(10, kNak); }, 12,
       "record 1 of 2 was rejected by the instrument (NAK) on every try"},
      // Ten tries, each a silent read of 20 bytes: 10 x 300 ms.
      {"no answer to a record", 2, 2, kDirectionSend, [](ScriptedDevice&) {}, 12,
       "record 1 of 2: no answer from the instrument within 3.0 s",
       "Nothing arrived on COM1 in 3.0 s: check the cable, the port, and that the instrument is "
       "sending"},
      {"answers that are no acknowledgement", 2, 2, kDirectionSend,
       [](ScriptedDevice& d) {
         for (int n = 0; n < 10; ++n) d.inbound.insert(d.inbound.end(), {"?", ""});
       },
       12, "record 1 of 2: the instrument answered ?, which is not an acknowledgement"},
      {"record not written", 2, 0, kDirectionSend, [](ScriptedDevice& d) { d.failWriteAt = 0; }, 15,
       "COM1: record 1 of 2 could not be written within 30 s"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedDevice fresh{clock};
    c.prepare(fresh);
    LineWatch line(fresh, clock);
    CULVOSerial engine(line);
    const std::string file = c.direction == kDirectionSend ? File("source.dat", "hello")
                                                           : (dir / "received.dat").string();
    EXPECT_EQ(engine.Run(nullptr, MakeInstrument(c.format, c.soft), "COM1", c.direction, file),
              c.result);
    std::vector<std::string> expected = {c.because};
    if (!c.line.empty()) expected.push_back(c.line);
    EXPECT_EQ(ExplainTransferFailure(engine, c.result, "COM1", &line), expected);
  }
  // The file to send, named with the system's reason.
  EXPECT_EQ(
      serial.Run(nullptr, MakeInstrument(1, 0), "COM1", kDirectionSend, (dir / "missing").string()),
      9u);
  EXPECT_EQ(ExplainTransferFailure(serial, 9, "COM1", nullptr),
            std::vector<std::string>{(dir / "missing").string() + ": No such file or directory"});
  EXPECT_EQ(Send(MakeInstrument(1, 0), ""), 16u);
  EXPECT_EQ(
      ExplainTransferFailure(serial, 16, "COM1", nullptr),
      std::vector<std::string>{(dir / "source.dat").string() + ": the file holds no data to send"});
  EXPECT_TRUE(ExplainTransferFailure(serial, 0, "COM1", nullptr).empty());
}

TEST_F(SerialTest, ReceiveEndingsThatFail) {
  device.inbound = {"abc\x04"};
  EXPECT_EQ(serial.Run(&owner, MakeInstrument(1, 0), "COM1", kDirectionReceive,
                       (dir / "no-such-folder" / "out").string()),
            8u);
  EXPECT_EQ(serial.Error(), 8u);
  EXPECT_EQ(serial.Status(), 11u);
  device.inbound = {"abc\x04"};
  device.closeOk = false;
  EXPECT_EQ(Receive(MakeInstrument(1, 0)), 10u);
  EXPECT_EQ(Received(), "abc");  // written all the same
  EXPECT_EQ(owner.hints.back() & kUpdateFinished, kUpdateFinished);
}

TEST_F(SerialTest, ReceiveTextUntilEot) {
  device.inbound = {"01234", "56789\x04trailing"};
  EXPECT_EQ(Receive(MakeInstrument(1, 0)), 0u);
  EXPECT_EQ(Received(), "0123456789");

  // No EOT: what came is kept when the countdown runs out.
  device.inbound = {std::string(300, 'q')};
  EXPECT_EQ(Receive(MakeInstrument(1, 0)), 12u);
  EXPECT_EQ(Received(), std::string(300, 'q'));
  EXPECT_EQ(serial.Error(), 12u);
}

TEST_F(SerialTest, ReceiveLinesEachMode) {
  struct Case {
    uint32_t soft;
    std::vector<std::string> answers;
  };
  const Case cases[] = {
      {0, {}},
      {4, {kAckRecord, kNakRecord, kAckRecord, kAckRecord}},
      {2, {kEnq, kAck, kNak, kAck, kAck}},
  };
  for (const auto& c : cases) {
    device.writes.clear();
    device.inbound = {kEnqRecord + "ABD,R,\r\n" + "ABC,R,\r\n" + kEotRecord};
    EXPECT_EQ(Receive(MakeInstrument(8, c.soft)), 0u) << c.soft;
    EXPECT_EQ(Received(), "ABC\r\n");
    EXPECT_EQ(device.writes, c.answers) << c.soft;
    EXPECT_EQ(serial.BytesTransferred(), 5u);
  }
}

TEST_F(SerialTest, ReceiveGarbageEndsBounded) {
  // Endless bytes with no line end: overlong lines are rejected until the countdown ends.
  device.responder = [](const std::string&, ScriptedDevice& d) {
    d.inbound.push_back(std::string(600, 'x'));
  };
  device.inbound = {std::string(10000, 'x')};
  EXPECT_EQ(Receive(MakeInstrument(8, 4)), 12u);
  EXPECT_EQ(Received(), "");
  // Endless blocks with wrong numbers: rejected until the countdown ends.
  const ControlChars cc;
  device.responder = [&](const std::string&, ScriptedDevice& d) {
    d.inbound.push_back(BuildBlock("x", '7', cc));
  };
  device.inbound.clear();
  EXPECT_EQ(Receive(MakeInstrument(2, 2)), 12u);
  EXPECT_LE(device.writes.size(), 64u);
  // Endless line ends and padding between blocks.
  device.responder = nullptr;
  device.inbound = std::deque<std::string>(100, "\r\n\r\n\0\0");
  EXPECT_EQ(Receive(MakeInstrument(2, 0)), 12u);
  EXPECT_EQ(device.inbound.size(), 70u);  // given up after 30 reads
}

TEST_F(SerialTest, ReceiveLinesStartRecordRepeated) {
  // The instrument missed our first acknowledgement and sends its start record again.
  device.inbound = {kEnqRecord + kEnqRecord + "ABC,R,\r\n" + kEotRecord};
  EXPECT_EQ(Receive(MakeInstrument(8, 4)), 0u);
  EXPECT_EQ(Received(), "ABC\r\n");
  EXPECT_EQ(device.writes, std::vector<std::string>(4, kAckRecord));
}

// Streams holding every frame kind of each protocol, and the file each gives.
struct Stream {
  uint32_t format, soft;
  std::vector<std::string> frames;  // served one per message when soft is 2
  std::string file;
  size_t answers;  // messages the computer sends (mode 2)
};

std::vector<Stream> EveryFrameKind() {
  const ControlChars cc;
  const std::string b0 = BuildBlock("one", '0', cc), b1 = BuildBlock("two", '1', cc);
  const std::string one = "one" + std::string(125, ' '), two = "two" + std::string(125, ' ');
  const std::string head = "AB" + std::string(34, ' ');
  const std::string framedEnd = kEnd + std::string(129, '\0') + "\r\n";
  return {
      {1, 0, {"0123456789\x04"}, "0123456789", 0},
      {2, 0, {b0, b1, framedEnd}, one + two, 0},
      {2, 2, {b0, b1, kEnd}, one + two, 4},
      {4, 0, {kHeader0, kHeader1, b0, kEnd}, head + one, 0},
      {4, 2, {kHeader0, kHeader1, b0, b1, kEnd}, head + one + two, 6},
      {8, 0, {kEnqRecord, "ABC,R,\r\n", kEotRecord}, "ABC\r\n", 0},
      {8, 4, {kEnqRecord, "ABC,R,\r\n", "DE,U,\r\n", kEotRecord}, "ABC\r\nDE\r\n", 0},
  };
}

std::string Joined(const std::vector<std::string>& frames) {
  std::string all;
  for (const auto& f : frames) all += f;
  return all;
}

// Serial ports split reads anywhere: every frame kind, cut at every byte, gives the same file.
TEST_F(SerialTest, ReceiveSplitAtEveryByte) {
  for (const Stream& c : EveryFrameKind()) {
    const size_t total = Joined(c.frames).size();
    for (size_t cut = 1; cut < total; ++cut) {
      device.writes.clear();
      device.inbound.clear();
      device.responder = nullptr;
      if (c.soft == 2)
        ServeFrames(device, c.frames);
      else
        device.inbound = {Joined(c.frames)};
      Faults faults;
      faults.splitAt = cut;
      FaultInjectingDevice split(device, clock, faults);
      CULVOSerial engine(split);
      const auto out = (dir / "received.dat").string();
      ASSERT_EQ(
          engine.Run(&owner, MakeInstrument(c.format, c.soft), "COM1", kDirectionReceive, out), 0u)
          << "format " << c.format << " soft " << c.soft << " cut " << cut;
      ASSERT_EQ(Received(), c.file) << "format " << c.format << " cut " << cut;
      if (c.soft == 2) {
        ASSERT_EQ(device.writes.size(), c.answers) << "format " << c.format << " cut " << cut;
      }
    }
  }
}

// The capture of a receive holds what the file gets, record by record, however the reads
// are cut: the torn frames, the EOT and what follows it, the control records never.
TEST_F(SerialTest, CaptureHoldsTheFileBytesWhereverTheReadsAreCut) {
  for (const Stream& c : EveryFrameKind()) {
    const size_t total = Joined(c.frames).size();
    // Every small cut, then every 7th: each capture is a file made and synced.
    for (size_t cut = 1; cut <= total; cut += cut < 16 ? 1 : 7) {
      device.writes.clear();
      device.inbound.clear();
      device.responder = nullptr;
      if (c.soft == 2)
        ServeFrames(device, c.frames);
      else
        // Text: what follows EOT in the same read never reaches the file.
        device.inbound = {Joined(c.frames) + (c.format == 1 ? "after" : "")};
      Faults faults;
      faults.splitAt = cut;
      FaultInjectingDevice split(device, clock, faults);
      CULVOSerial engine(split);
      std::string problem;
      auto capture = CaptureWriter::Create(dir / "Captures", {}, clock, problem);
      ASSERT_TRUE(capture) << problem;
      engine.SetCapture(capture.get());
      const auto out = (dir / "received.dat").string();
      ASSERT_EQ(
          engine.Run(&owner, MakeInstrument(c.format, c.soft), "COM1", kDirectionReceive, out), 0u)
          << "format " << c.format << " soft " << c.soft << " cut " << cut;
      const std::filesystem::path file = capture->Path();
      capture.reset();  // as a kill leaves it
      ASSERT_EQ(ReadCapture(file).bytes, c.file) << "format " << c.format << " cut " << cut;
      std::filesystem::remove(file);
    }
  }
}

// The instrument's answers, too, may arrive in pieces: each record still goes out once.
TEST_F(SerialTest, SendAnswersSplitAtEveryByte) {
  struct Case {
    uint32_t format, soft;
    bool addCrLf;
    std::string answer;
  };
  const Case cases[] = {
      {2, 2, true, kAck + "\r\n"},
      {4, 2, false, kAck},
      {8, 4, false, kAckRecord},
      {1, 4, false, kAckRecord},
  };
  const std::string content = std::string(300, 'a') + "\r\n" + std::string(40, 'b') + "\r\n";
  for (const Case& c : cases) {
    const CInstrument instrument = MakeInstrument(c.format, c.soft, c.addCrLf);
    // Sent once whole, to learn how many records the file makes.
    device.writes.clear();
    device.responder = [&](const std::string&, ScriptedDevice& d) {
      d.inbound.push_back(c.answer);
    };
    ASSERT_EQ(Send(instrument, content), 0u);
    const std::vector<std::string> whole = device.writes;
    const size_t total = whole.size() * c.answer.size();
    for (size_t cut = 1; cut < total; ++cut) {
      device.writes.clear();
      device.inbound.clear();
      Faults faults;
      faults.splitAt = cut;
      FaultInjectingDevice split(device, clock, faults);
      CULVOSerial engine(split);
      ASSERT_EQ(engine.Run(&owner, instrument, "COM1", kDirectionSend, File("source.dat", content)),
                0u)
          << "format " << c.format << " cut " << cut;
      ASSERT_EQ(device.writes, whole) << "format " << c.format << " cut " << cut;
    }
  }
}

TEST_F(SerialTest, ReceiveNoiseBetweenFrames) {
  const ControlChars cc;
  const std::string b0 = BuildBlock("one", '0', cc), b1 = BuildBlock("two", '1', cc);
  const std::string one = "one" + std::string(125, ' '), two = "two" + std::string(125, ' ');
  struct Case {
    uint32_t format, soft;
    std::string stream;
    size_t noiseAt;
    std::string file;
  };
  const Case cases[] = {
      {2, 0, b0 + b1 + kEnd, 136, one + two},
      {2, 0, b0 + b1 + kEnd, 0, one + two},
      {4, 0, kHeader0 + kHeader1 + b0 + kEnd, 11 + 48, "AB" + std::string(34, ' ') + one},
      {8, 0, kEnqRecord + "ABC,R,\r\n" + kEotRecord, kEnqRecord.size(), "ABC\r\n"},
  };
  for (const auto& c : cases) {
    device.inbound = {c.stream};
    Faults faults;
    faults.noiseAt = c.noiseAt;
    faults.noise = "z\x01q\r\n";
    FaultInjectingDevice noisy(device, clock, faults);
    CULVOSerial engine(noisy);
    EXPECT_EQ(engine.Run(&owner, MakeInstrument(c.format, c.soft), "COM1", kDirectionReceive,
                         (dir / "received.dat").string()),
              0u)
        << c.format << " at " << c.noiseAt;
    EXPECT_EQ(Received(), c.file) << c.format << " at " << c.noiseAt;
  }
}

// An instrument that falls silent, and a USB adapter pulled out, in the middle of a receive:
// what was accepted is written, the port is closed and the error shown is 12.
TEST_F(SerialTest, ReceiveInterruptedKeepsWhatCame) {
  const ControlChars cc;
  const std::string b0 = BuildBlock("one", '0', cc), b1 = BuildBlock("two", '1', cc);
  struct Case {
    Faults faults;
    uint32_t result;
  };
  Faults silent, unplugged;
  silent.silentAfter = 136 + 70;
  unplugged.unplugAfter = 136 + 70;
  for (const Case& c : {Case{silent, 12u}, Case{unplugged, 6u}}) {
    device.inbound = {b0 + b1 + kEnd};
    FaultInjectingDevice faulty(device, clock, c.faults);
    CULVOSerial engine(faulty);
    EXPECT_EQ(engine.Run(&owner, MakeInstrument(2, 0), "COM1", kDirectionReceive,
                         (dir / "received.dat").string()),
              c.result);
    EXPECT_EQ(engine.Error(), 12u);
    EXPECT_EQ(engine.Status(), 11u);
    EXPECT_FALSE(device.IsOpen());
    EXPECT_EQ(Received(), "one" + std::string(125, ' '));
  }
}

TEST_F(SerialTest, ReceiveTextUnpluggedMidRecordKeepsEveryByte) {
  // Records of plain text are 253 bytes; the cut falls before, at and after that edge.
  std::string data;
  for (int i = 0; i < 600; ++i) data += static_cast<char>('a' + i % 26);
  struct Case {
    size_t unplugAfter;
    size_t maxRead;
  } cases[] = {{1, 0}, {252, 0}, {253, 0}, {254, 0}, {260, 0}, {260, 100}, {506, 7}, {507, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.unplugAfter << " max " << c.maxRead);
    std::filesystem::remove(dir / "received.dat");
    device.inbound = {data + "\x04"};
    Faults faults;
    faults.unplugAfter = c.unplugAfter;
    faults.maxRead = c.maxRead;
    FaultInjectingDevice faulty(device, clock, faults);
    CULVOSerial engine(faulty);
    EXPECT_EQ(engine.Run(&owner, MakeInstrument(1, 0), "COM1", kDirectionReceive,
                         (dir / "received.dat").string()),
              6u);
    EXPECT_EQ(engine.Error(), 12u);
    EXPECT_EQ(Received(), data.substr(0, c.unplugAfter));
    EXPECT_TRUE(engine.FileWritten());
    EXPECT_EQ(engine.BytesWritten(), c.unplugAfter);
  }
}

TEST_F(SerialTest, SendUnpluggedEndsWithWriteError) {
  const ControlChars cc;
  Faults faults;
  faults.unplugAtWrite = 2;
  FaultInjectingDevice faulty(device, clock, faults);
  CULVOSerial engine(faulty);
  ServeFrames(device, {kAck, kAck, kAck});
  EXPECT_EQ(engine.Run(&owner, MakeInstrument(2, 2), "COM1", kDirectionSend,
                       File("source.dat", std::string(200, 'x'))),
            15u);
  EXPECT_EQ(engine.Error(), 15u);
  EXPECT_EQ(engine.Status(), 11u);
  EXPECT_FALSE(device.IsOpen());
  EXPECT_EQ(device.writes.size(), 1u);
  EXPECT_EQ(engine.BytesTransferred(), 136u);
}

TEST_F(SerialTest, TracingNamesControlBytes) {
  std::ostringstream trace;
  TracingDevice tracing(device, clock, trace);
  CULVOSerial s(tracing);
  device.inbound = {"", kAck, kAck};
  EXPECT_EQ(s.Run(nullptr, MakeInstrument(2, 2), "COM1", kDirectionSend, File("t", "x")), 0u);
  const std::string text = trace.str();
  EXPECT_NE(text.find("-- open COM1 9600 baud: ok"), std::string::npos) << text;
  EXPECT_NE(text.find("-> <STX><EOT><ETX><CR><LF><NUL>"), std::string::npos) << text;
  EXPECT_NE(text.find("<- <ACK>"), std::string::npos);
  // The silent read took 20 * 10 + 100 ms of the fake clock.
  EXPECT_NE(text.find("     0.300 <- <ACK>"), std::string::npos) << text;
}

class ListedProbe : public PortProbe {
 public:
  std::vector<std::string> CandidatePorts() const override {
    return {"COM1", "COM2", "COM3", "COM4"};
  }
  Result Probe(const std::string& name) const override {
    if (name == "COM2") return inUse ? Result::kInUse : Result::kFree;
    if (name == "COM4") return Result::kAbsent;
    return allBusy ? Result::kInUse : Result::kFree;
  }
  bool inUse = true;
  bool allBusy = false;
};

TEST(CheckPort, ListsFreePorts) {
  ListedProbe probe;
  const CULVOCheckPort check(probe);
  EXPECT_EQ(check.ListFreePorts(), "COM1;COM3");
  ASSERT_EQ(check.Entries().size(), 3u);
  EXPECT_FALSE(check.Entries()[1].free);
  probe.allBusy = true;
  EXPECT_EQ(CULVOCheckPort(probe).ListFreePorts(), "");
}

}  // namespace
}  // namespace ulvo

namespace ulvo {
namespace {

using test::FakeClock;
using test::MakeInstrument;
using test::ScriptedDevice;

// The device as the next transfer finds it: closed, with "abc" and EOT to read.
void Reset(ScriptedDevice& device) {
  device.openResult = OpenResult::kOk;
  device.openedName.clear();
  device.reads = 0;
  device.inbound = {"abc\x04"};
}

TEST_F(SerialTest, ReceiveDestinationCheckedBeforeThePortOpens) {
  std::filesystem::create_directories(dir / "folder");
  std::ofstream(dir / "plain", std::ios::binary) << "x";
  const struct {
    std::filesystem::path path;
    const char* reason;
  } cases[] = {
      {dir / "missing" / "out.txt", "No such file or directory"},
      {dir / "folder", "Is a directory"},
      {dir / "plain" / "out.txt", "Not a directory"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    Reset(device);
    EXPECT_EQ(serial.Run(nullptr, MakeInstrument(1, 0), "COM1", kDirectionReceive, c.path.string()),
              8u);
    EXPECT_EQ(device.openedName, "");  // never opened: the instrument has sent nothing yet
    EXPECT_EQ(device.reads, 0);
    EXPECT_EQ(serial.Status(), 11u);
    EXPECT_EQ(serial.FileProblem(), c.path.string() + ": " + c.reason);
  }
  // A destination that can be written is not created by the check itself.
  Reset(device);
  device.openResult = OpenResult::kCannotOpen;
  EXPECT_EQ(serial.Run(nullptr, MakeInstrument(1, 0), "COM1", kDirectionReceive,
                       (dir / "new.txt").string()),
            2u);
  EXPECT_FALSE(std::filesystem::exists(dir / "new.txt"));
  EXPECT_EQ(serial.FileProblem(), "");
  EXPECT_FALSE(serial.FileWritten());
}

TEST_F(SerialTest, ReceivedDataThatCannotBeWrittenGoesToTheFallbackFile) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  // /dev/full opens like any file and then refuses every byte, as a full disk does.
  serial.SetFallbackFolder(dir / "data" / "Received");
  for (const char* expected : {"full", "full-2"}) {
    Reset(device);
    EXPECT_EQ(serial.Run(nullptr, MakeInstrument(1, 0), "COM1", kDirectionReceive, "/dev/full"),
              8u);
    EXPECT_EQ(serial.Error(), 8u);
    EXPECT_EQ(serial.FileProblem(), "/dev/full: No space left on device");
    EXPECT_EQ(serial.FallbackFile(), dir / "data" / "Received" / expected);
    std::ifstream in(serial.FallbackFile(), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "abc");
    EXPECT_TRUE(serial.FileWritten());
    EXPECT_EQ(serial.BytesWritten(), 3u);
  }
  // Without a fallback folder the failure is still reported.
  CULVOSerial plain{device};
  Reset(device);
  EXPECT_EQ(plain.Run(nullptr, MakeInstrument(1, 0), "COM1", kDirectionReceive, "/dev/full"), 8u);
  EXPECT_EQ(plain.FallbackFile(), "");
  EXPECT_FALSE(plain.FileWritten());
}

}  // namespace
}  // namespace ulvo
