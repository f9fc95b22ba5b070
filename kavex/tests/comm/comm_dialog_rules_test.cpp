#include "kavex/comm/comm_dialog_rules.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace kavex {
namespace {

TEST(CommDialogRules, RateItemsAndAdvancedFields) {
  const int codes[] = {4, 1, 3, 0, 2, 5};
  for (int item = 0; item < 6; ++item) {
    EXPECT_EQ(RateCodeOfItem(item), codes[item]);
    EXPECT_EQ(RateItemOfCode(codes[item]), item);
  }
  struct Case {
    int field;
    const char* text;
    std::optional<std::string> result;
  };
  const Case cases[] = {
      {kBlockIntervalField, "99", std::nullopt},
      {kBlockIntervalField, "250", "250 "},
      {kBlockIntervalField, "1000", std::nullopt},
      {kDelayTimeField, "9", std::nullopt},
      {kDelayTimeField, " 10", "10 "},
      {kReceiveTimeoutField, "60000", "60000"},
      {kReceiveTimeoutField, "60001", std::nullopt},
      {kReceiveTimeoutField, "1000", "1000 "},
      {kReceiveTimeoutField, "abc", std::nullopt},
      {kReceiveTimeoutField, "99999999999999999999", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(CheckAdvancedField(c.field, c.text), c.result) << c.text;
}

}  // namespace
}  // namespace kavex
