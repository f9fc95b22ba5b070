#include <gtest/gtest.h>

#include "ulvo/transfer/link_framing.h"
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

TEST(Framing, SendRecordsOfBlockProtocols) {
  const ControlChars cc;
  std::vector<std::string> records;
  const std::string framedEnd = "\x02\x04\x03\r\n"s + std::string(129, '\0') + "\r\n";

  // 200 bytes: 128 'A' then 72 'A'. Block 0: xor of 128 'A' is 0, '0' gives 048. Block 1:
  // 72 'A' and 56 spaces cancel out, '1' gives 049.
  ASSERT_TRUE(BuildSendRecords(2, std::string(200, 'A'), cc, records));
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0], Block(std::string(128, 'A'), '0', "048"));
  EXPECT_EQ(records[1], Block(std::string(72, 'A'), '1', "049"));
  EXPECT_EQ(records[2], framedEnd);
  EXPECT_EQ(records[2].size(), 136u);

  ASSERT_TRUE(BuildSendRecords(2, std::string(256, 'A'), cc, records));
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[1], Block(std::string(128, 'A'), '1', "049"));

  ASSERT_TRUE(BuildSendRecords(2, std::string(11 * 128, 'A'), cc, records));
  ASSERT_EQ(records.size(), 12u);
  EXPECT_EQ(records[9][129], '9');
  EXPECT_EQ(records[10][129], '0');

  ASSERT_TRUE(BuildSendRecords(2, "", cc, records));
  ASSERT_EQ(records.size(), 1u);

  // ITF01, 40 bytes: headers, one block of the last 4 bytes, the 5-byte end record.
  // Header check: 36 'B' cancel, 'S' = 0x53 = 83.
  ASSERT_TRUE(BuildSendRecords(3, std::string(36, 'B') + "CCCC", cc, records));
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0],
            "\x02"
            "F00F000\x03\r\n"s);
  EXPECT_EQ(records[1], "\x02"s + std::string(36, 'B') + "S083\x03\r\n" + "\0\0\r\n"s);
  EXPECT_EQ(records[1].size(), 48u);
  // 4 'C' and 124 spaces cancel; '0' -> 048.
  EXPECT_EQ(records[2], Block("CCCC", '0', "048"));
  EXPECT_EQ(records[3], "\x02\x04\x03\r\n"s);

  // Shorter than 36 bytes: spaces fill the header. "AB" + 34 spaces + 'S':
  // 0x41^0x42 = 0x03, 34 spaces cancel, ^0x53 = 0x50 = 80.
  ASSERT_TRUE(BuildSendRecords(3, "AB", cc, records));
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[1],
            "\x02"
            "AB"s +
                std::string(34, ' ') + "S080\x03\r\n" + "\0\0\r\n"s);
}

TEST(Framing, SendRecordsOfTextProtocols) {
  const ControlChars cc;
  std::vector<std::string> records;
  ASSERT_TRUE(BuildSendRecords(1, "0123456789", cc, records));
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0], "0123456789\x04");
  EXPECT_EQ(TransmitLength(1, records[0], cc.eot), 11u);

  ASSERT_TRUE(BuildSendRecords(1, std::string(253, 'x'), cc, records));
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1], "\x04");
  EXPECT_FALSE(BuildSendRecords(1, "", cc, records));
  EXPECT_FALSE(BuildSendRecords(0, "", cc, records));

  // LF alone and a last line without a line end go as CR LF lines.
  // "DE": 0x44+0x45+0x2C = 0xB5 -> 0x35+0x20 'U'; "F": 0x46+0x2C = 0x72 -> 0x32+0x20 'R'.
  ASSERT_TRUE(BuildSendRecords(4, "ABC\r\nDE\nF", cc, records));
  ASSERT_EQ(records.size(), 5u);
  EXPECT_EQ(records[0], "\x05,01,^,\r\n"s);
  EXPECT_EQ(records[1], "ABC,R,\r\n");
  EXPECT_EQ(records[2], "DE,U,\r\n");
  EXPECT_EQ(records[3], "F,R,\r\n");
  EXPECT_EQ(records[4], "\x04,P,\r\n"s);
  EXPECT_FALSE(BuildSendRecords(4, "", cc, records));
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
  EXPECT_EQ(ProtocolOf(0), 0);
  EXPECT_EQ(ProtocolOf(8 | 2), 4);
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
