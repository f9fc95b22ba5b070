#include "kavex/comm/hk_line_sum.h"

#include <gtest/gtest.h>

namespace kavex {
namespace {

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
