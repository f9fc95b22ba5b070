#include "kavex/comm/block_check.h"

#include <gtest/gtest.h>

#include "test_blocks.h"

namespace kavex {
namespace {

std::string Line(const std::string& payload, char number, const char* sum) {
  std::string p = payload;
  p.resize(128, ' ');
  return "\x02" + p + number + sum + "\x03\r\n";
}

TEST(BlockCheck, ErrorBitsOfReceivedLines) {
  // Worked by hand: 128 spaces cancel out, so the check is the digit itself ("0" = 48);
  // "_" (0x5F) and 127 spaces (0x20) give 0x7F, with "0" 0x4F = 79.
  struct Case {
    std::string line;
    int expected;
    bool checkNumber, checkSum;
    int errors;
  };
  const Case cases[] = {
      {Line("", '0', "048"), 0, true, true, 0},
      {Line("", '1', "049"), 1, true, true, 0},
      {Line("_", '0', "079"), 0, true, true, 0},
      {Line("_", '0', "078"), 0, true, true, kBlockBadChecksum},
      {Line("_", '0', "078"), 0, true, false, 0},
      {Line("", '2', "050"), 1, true, true, kBlockBadNumber},
      {Line("", '2', "050"), 1, false, true, 0},
      {Line("", '2', "051"), 1, true, true, kBlockBadNumber | kBlockBadChecksum},
      {Line("", '0', "048") + "x", 0, true, true, kBlockBadLength},  // 137 characters
      {Line("", '0', "048").substr(0, 135), 0, true, true, kBlockBadLength},
      {"\x04", 0, true, true, kBlockBadLength | kBlockBadNumber | kBlockBadChecksum},
      {"", 0, false, false, kBlockBadLength},
  };
  for (const auto& c : cases)
    EXPECT_EQ(CheckBlock(c.line, c.expected, c.checkNumber, c.checkSum), c.errors)
        << ::testing::PrintToString(c.line);
}

TEST(BlockCheck, BlockNumbersWrapAfterNine) {
  for (int n = 0; n <= 9; ++n)
    EXPECT_EQ(CheckBlock(kavex::testing::BlockLine("_!JOB_", n), n, true, true), 0) << n;
}

TEST(HkSumCheck, SecondToLastCharacterChecksTheRest) {
  struct Case {
    std::string line;
    bool ok;
  };
  const Case cases[] = {
      {"AB#x", true},                       // 65 + 66 = 131, 131 mod 64 = 3, 32 + 3 = "#"
      {"AB$x", false},     {"Z,&x", true},  // 90 + 44 = 134, mod 64 = 6 -> "&"
      {"\x80 x", true},                     // -128 mod 64 = 0 -> " "
      {"\x81\xE1x", true},                  // -127 mod 64 = -63 -> -31 = 0xE1 as a signed byte
      {" x", true},                         // nothing before the check: 32
      {"A", false},        {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(HkLineSumOk(c.line), c.ok) << c.line;
}

}  // namespace
}  // namespace kavex
