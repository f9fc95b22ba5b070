#include <gtest/gtest.h>

#include "ulvo/transfer/link_framing.h"
#include "ulvo/transfer/link_protocol.h"
#include "ulvo/transfer/transfer_codes.h"
#include "ulvo/transfer/transfer_params.h"

namespace ulvo {
namespace {

using namespace std::string_literals;

TEST(Framing, ControlRecordsAndCheckCharacters) {
  const ControlChars cc;
  struct Case {
    int kind;
    std::string expected;
  };
  // Checks worked by hand: ENQ ",01," 0x05+0x2C+0x30+0x31+0x2C = 0xBE -> 0x3E+0x20 '^';
  // ACK 0x06+0x2C = 0x32 -> 'R'; NAK 0x15+0x2C = 0x41 -> 0x01+0x20 '!'; EOT 0x30 -> 'P'.
  const Case cases[] = {
      {0, "\x05,01,^,\r\n"s}, {1, "\x06,R,\r\n"s}, {2, "\x15,!,\r\n"s}, {3, "\x04,P,\r\n"s}};
  for (const auto& c : cases) EXPECT_EQ(BuildControlRecord(c.kind, cc), c.expected) << c.kind;
  // 0x41+0x42+0x43+0x2C = 0xF2 -> 0x32+0x20 'R'.
  EXPECT_EQ(BuildLineRecord("ABC"), "ABC,R,\r\n");
  EXPECT_TRUE(LineCheckOk("ABC,R,\r\n"));
  EXPECT_FALSE(LineCheckOk("ABD,R,\r\n"));
  EXPECT_FALSE(LineCheckOk("\n"));
  // Signed bytes: 0xE9 is -23; -23+0x2C = 21 -> 0x15+0x20 = 0x35 '5'.
  EXPECT_EQ(CheckCharacter("\xE9,"), '5');
}

TEST(Framing, BlockCheckText) {
  struct Case {
    std::string bytes;
    std::string expected;
  };
  const Case cases[] = {
      {"", "000"},
      {"0", "048"},
      {"AA0", "048"},
      {"\x7F", "127"},
      // -100 ^ 0x10 = -116, printed "-116", cut to three characters.
      {"\x9C\x10", "-11"},
      {"\xFF", "-01"},
  };
  for (size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(BlockCheck(cases[i].bytes), cases[i].expected) << i;
}

std::string Block(const std::string& data, char number, const std::string& check) {
  std::string padded = data + std::string(128 - data.size(), ' ');
  return "\x02"s + padded + number + check + "\x03\r\n";
}

// Every protocol's records for a file as they go on the wire, and the bytes of each sent.
TEST(Framing, SendRecordsOfEveryProtocol) {
  const ControlChars cc;
  const std::string framedEnd = "\x02\x04\x03\r\n"s + std::string(129, '\0') + "\r\n";
  const std::string end = "\x02\x04\x03\r\n"s;
  const std::string header0 =
      "\x02"
      "F00F000\x03\r\n"s;
  // 128 'A' cancel out: the check is the block number's own value, '0' = 48 up to '9' = 57,
  // and the eleventh block is '0' again.
  std::vector<std::string> elevenBlocks;
  for (int n = 0; n < 11; ++n)
    elevenBlocks.push_back(Block(std::string(128, 'A'), static_cast<char>('0' + n % 10),
                                 "0" + std::to_string(48 + n % 10)));
  elevenBlocks.push_back(framedEnd);

  struct Case {
    const char* what;
    LinkProtocol protocol;
    std::string file;
    bool sendable;
    std::vector<std::string> records;
    std::vector<size_t> onWire;
  };
  const Case cases[] = {
      // Block 0: 128 'A' and '0' give 048. Block 1: 72 'A' and 56 spaces cancel, '1' gives 049.
      {"ITF00, 200 bytes",
       LinkProtocol::kItf00,
       std::string(200, 'A'),
       true,
       {Block(std::string(128, 'A'), '0', "048"), Block(std::string(72, 'A'), '1', "049"),
        framedEnd},
       {136, 136, 136}},
      {"ITF00, 256 bytes: no third block",
       LinkProtocol::kItf00,
       std::string(256, 'A'),
       true,
       {Block(std::string(128, 'A'), '0', "048"), Block(std::string(128, 'A'), '1', "049"),
        framedEnd},
       {136, 136, 136}},
      {"ITF00, eleven blocks", LinkProtocol::kItf00, std::string(11 * 128, 'A'), true, elevenBlocks,
       std::vector<size_t>(12, 136)},
      {"ITF00, empty", LinkProtocol::kItf00, "", true, {framedEnd}, {136}},
      // Headers, one block of the last 4 bytes, the 5-byte end record. Header check: 36 'B'
      // cancel, 'S' = 0x53 = 83. 4 'C' and 124 spaces cancel; '0' -> 048.
      {"ITF01, 40 bytes",
       LinkProtocol::kItf01,
       std::string(36, 'B') + "CCCC",
       true,
       {header0, "\x02"s + std::string(36, 'B') + "S083\x03\r\n" + "\0\0\r\n"s,
        Block("CCCC", '0', "048"), end},
       {11, 48, 136, 5}},
      // Shorter than 36 bytes: spaces fill the header. "AB" + 34 spaces + 'S':
      // 0x41^0x42 = 0x03, 34 spaces cancel, ^0x53 = 0x50 = 80.
      {"ITF01, 2 bytes",
       LinkProtocol::kItf01,
       "AB",
       true,
       {header0,
        "\x02"
        "AB"s +
            std::string(34, ' ') + "S080\x03\r\n" + "\0\0\r\n"s,
        end},
       {11, 48, 5}},
      {"ASCII, 10 bytes", LinkProtocol::kAscii, "0123456789", true, {"0123456789\x04"}, {11}},
      {"ASCII, one full record",
       LinkProtocol::kAscii,
       std::string(253, 'x'),
       true,
       {std::string(253, 'x'), "\x04"},
       {253, 1}},
      {"ASCII, empty", LinkProtocol::kAscii, "", false, {"\x04"}, {1}},
      {"no format bit, empty", LinkProtocol::kNone, "", false, {"\x04"}, {1}},
      // LF alone and a last line without a line end go as CR LF lines.
      // "DE": 0x44+0x45+0x2C = 0xB5 -> 0x35+0x20 'U'; "F": 0x46+0x2C = 0x72 -> 0x32+0x20 'R'.
      {"ITF02, three lines",
       LinkProtocol::kItf02,
       "ABC\r\nDE\nF",
       true,
       {"\x05,01,^,\r\n"s, "ABC,R,\r\n", "DE,U,\r\n", "F,R,\r\n", "\x04,P,\r\n"s},
       {9, 8, 7, 6, 6}},
      {"ITF02, empty",
       LinkProtocol::kItf02,
       "",
       false,
       {"\x05,01,^,\r\n"s, "\x04,P,\r\n"s},
       {9, 6}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const LinkDescription& link = Describe(c.protocol);
    std::vector<std::string> records;
    EXPECT_EQ(link.buildRecords(c.file, cc, records), c.sendable);
    EXPECT_EQ(records, c.records);
    std::vector<size_t> onWire;
    for (const std::string& r : records) onWire.push_back(link.transmitLength(r, cc.eot));
    EXPECT_EQ(onWire, c.onWire);
  }
}

// What of a received record reaches the file.
TEST(Framing, ReceivedRecordsToTheFile) {
  struct Case {
    LinkProtocol protocol;
    std::string record;
    size_t fileBytes;
  };
  const Case cases[] = {
      {LinkProtocol::kAscii, "abc\x04zz", 3},
      {LinkProtocol::kAscii, std::string(300, 'x'), 253},
      {LinkProtocol::kNone, "abc\x04", 3},
      {LinkProtocol::kItf00, std::string(128, 'x'), 128},
      {LinkProtocol::kItf01, std::string(36, 'x'), 36},
      {LinkProtocol::kItf02, "ABC\r\nDE", 5},
      {LinkProtocol::kItf02, "AB", 2},
  };
  for (size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(Describe(cases[i].protocol).fileBytes(cases[i].record, '\x04'), cases[i].fileBytes)
        << i;
}

TEST(Framing, JudgeBlock) {
  const ControlChars cc;
  const std::string good = BuildBlock("hello", '3', cc);
  EXPECT_TRUE(JudgeBlock(good, '3').numberOk);
  EXPECT_TRUE(JudgeBlock(good, '3').checkOk);
  EXPECT_FALSE(JudgeBlock(good, '4').numberOk);
  std::string bad = good;
  bad[5] = 'X';
  EXPECT_FALSE(JudgeBlock(bad, '3').checkOk);
  // A block whose check prints as four characters is still its own match.
  const std::string high = BuildBlock("\x9C", '0', cc);
  EXPECT_EQ(high.substr(130, 3), "-11");  // -100 ^ 0x20 (127 spaces) ^ 0x30 = -116
  EXPECT_TRUE(JudgeBlock(high, '0').checkOk);
  EXPECT_FALSE(JudgeBlock(good.substr(0, 100), '3').numberOk);
}

// Where a block receive's next frame starts and how much of it is still to come, for the
// receive's steps and its reads alike.
TEST(Framing, ScanBlockFrames) {
  const ControlChars cc;
  const std::string block = BuildBlock("data", '0', cc);
  const std::string header0 =
      "\x02"
      "F00F000\x03\r\n"s;
  struct Case {
    const char* what;
    std::string pending;
    bool headers;
    int headerState;
    BlockScan expected;
  };
  const Case cases[] = {
      {"nothing", "", false, 0, {0, BlockFrame::kNone, 1}},
      {"padding only", "\r\n\0"s, false, 0, {3, BlockFrame::kNone, 1}},
      {"noise without STX", "xyz", false, 0, {3, BlockFrame::kNone, 1}},
      {"end record", "\x02\x04\x03\r\n", false, 0, {0, BlockFrame::kEndRecord, 0}},
      {"short end record", "\x04\r\n", false, 0, {0, BlockFrame::kEndRecord, 0}},
      {"start of the short end record", "\x04", false, 0, {0, BlockFrame::kEndRecord, 2}},
      // Line ends and noise skipped; STX and 9 bytes of a block: 126 to come.
      {"part of a block",
       "\r\nzz\x02" + std::string(9, 'A'),
       false,
       0,
       {4, BlockFrame::kBlock, 126}},
      // STX EOT may be the end record's start: at the least 3 bytes more.
      {"block or end record", "\x02\x04", false, 0, {0, BlockFrame::kBlock, 3}},
      {"whole block", block + "\x02", false, 0, {0, BlockFrame::kBlock, 0}},
      {"header 0", header0 + "\x02", true, 0, {0, BlockFrame::kHeader0, 0}},
      {"part of header 0",
       "\x02"
       "F00",
       true,
       0,
       {0, BlockFrame::kHeader0, 7}},
      // STX alone: the end record is the shortest frame it may start.
      {"STX before header 0", "\x02", true, 0, {0, BlockFrame::kHeader0, 4}},
      {"no header 0: a block",
       "\x02"
       "ABC",
       true,
       0,
       {0, BlockFrame::kBlock, 132}},
      {"part of header 1", "\x02" + std::string(20, 'A'), true, 1, {0, BlockFrame::kHeader1, 21}},
      {"header 1", "\x02" + std::string(41, 'A'), true, 1, {0, BlockFrame::kHeader1, 0}},
      {"block after the headers",
       "\x02" + std::string(20, 'A'),
       true,
       2,
       {0, BlockFrame::kBlock, 115}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const BlockScan scan = ScanBlockFrame(c.pending, c.headers, c.headerState, cc);
    EXPECT_EQ(scan.skip, c.expected.skip);
    EXPECT_EQ(scan.frame, c.expected.frame);
    EXPECT_EQ(scan.need, c.expected.need);
  }
}

// One row per format bit, in bit order; the highest bit chooses.
TEST(LinkProtocols, OneRowPerFormatBit) {
  struct Case {
    LinkProtocol protocol;
    uint32_t bit;
    const char* name;
  };
  const Case cases[] = {{LinkProtocol::kAscii, 1, "ASCII"},
                        {LinkProtocol::kItf00, 2, "ITF00"},
                        {LinkProtocol::kItf01, 4, "ITF01"},
                        {LinkProtocol::kItf02, 8, "ITF02"}};
  ASSERT_EQ(LinkProtocols().size(), std::size(cases));
  ASSERT_EQ(static_cast<size_t>(kFormatBitCount), std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.name);
    EXPECT_EQ(&Describe(c.protocol), &LinkProtocols()[i]);
    EXPECT_EQ(LinkProtocols()[i].formatBit, c.bit);
    EXPECT_STREQ(LinkProtocols()[i].name, c.name);
    EXPECT_EQ(ProtocolOf(c.bit), c.protocol);
    EXPECT_EQ(ProtocolOf(c.bit | (c.bit - 1)), c.protocol);
    EXPECT_EQ(DefaultFormatName(c.bit), c.name);
  }
  EXPECT_EQ(&Describe(LinkProtocol::kNone), &Describe(LinkProtocol::kAscii));
  EXPECT_EQ(ProtocolOf(16), LinkProtocol::kNone);  // beyond the format bits
  EXPECT_EQ(DefaultFormatName(16), "");
  EXPECT_EQ(DefaultFormatName(0), "");
}

TEST(TransferParams, PortSettingsFromMasks) {
  struct Case {
    uint32_t baud, line, hard;
    PortSettings expected;
  };
  const auto soft = [](uint32_t b) { return MakeLineFormat(0, 0, 0, b); };
  const Case cases[] = {
      {(1u << 6) | (1u << 8), 0, 0, {19200, {}, {}, {}, false, false, false}},
      {0, 0, 0, {}},
      {1u << 14,
       MakeLineFormat(0x04, 0x08, 0x04, 0),
       0,
       {256000, Parity::kEven, 8, StopBits::kTwo, false, false, false}},
      {1,
       MakeLineFormat(0x11, 0x03, 0x03, 0),
       0,
       {110, Parity::kSpace, 6, StopBits::kOneAndHalf, false, false, false}},
      {0, 0, kHardRequireDsr | kHardRequireCts, {}},
      {0, 0, kHardDtr | kHardRts, {{}, {}, {}, {}, true, true, false}},
      {0, soft(1), 0, {{}, {}, {}, {}, false, false, true}},
      {0, soft(2), 0, {}},
      {0, soft(4), 0, {}},
      {0, soft(3), 0, {}},  // XON and ACK bits: ACK NAK wins
  };
  for (size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(DecodePortSettings(cases[i].baud, cases[i].line, cases[i].hard), cases[i].expected)
        << i;
  EXPECT_EQ(SoftHandshakeMode(soft(3)), 2);
  EXPECT_EQ(SoftHandshakeMode(soft(0)), 0);
  EXPECT_EQ(ProtocolOf(0), LinkProtocol::kNone);
  EXPECT_EQ(ProtocolOf(8 | 2), LinkProtocol::kItf02);
}

TEST(TransferCodes, TextsAndKeys) {
  EXPECT_STREQ(TransferErrorText(2)->text, "Could not initialize the compot");
  EXPECT_STREQ(TransferErrorText(17)->key, "EMSG_PROTNOTIMPLEMENTED");
  EXPECT_STREQ(TransferStatusText(10)->text, "Transfer succesful");
  EXPECT_STREQ(TransferStatusText(16)->key, "MSG_TMES_XOFFRECEIVED");
  EXPECT_EQ(TransferErrorText(18), nullptr);
  EXPECT_EQ(TransferStatusText(17), nullptr);
}

}  // namespace
}  // namespace ulvo
