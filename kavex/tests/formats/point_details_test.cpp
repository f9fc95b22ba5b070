#include "kavex/formats/point_details.h"

#include <gtest/gtest.h>

namespace kavex {
namespace {

using F = PointDetailsField;

TEST(PointDetails, FieldChecks) {
  struct Case {
    F field;
    const char* text;
    const char* stored;  // nullptr: refused
    const char* message;
  } cases[] = {
      {F::kSite, "", "          ", ""},
      {F::kSite, "ABCDEFGHIJ", "ABCDEFGHIJ", ""},
      {F::kSite, "ABCDEFGHIJK", nullptr, "Invalid data entered in Site."},
      {F::kElevation, "-9999", "-9999", ""},
      {F::kElevation, "12", "+0012", ""},
      {F::kElevation, "10000", nullptr, "Invalid value entered in Elevation"},
      {F::kElevation, "1.5", nullptr, "Invalid value entered in Elevation"},
      {F::kScale, "0.9999", "0.999900", ""},
      {F::kScale, "1.000099", "1.000099", ""},
      {F::kScale, "1.0001", nullptr, "Invalid value entered in Scale"},
      {F::kScale, "0.99989", nullptr, "Invalid value entered in Scale"},
      {F::kScale, "1,0", nullptr, "Invalid value entered in Scale"},
      {F::kAccuracy, "0", "0000", ""},
      {F::kAccuracy, " 9999 ", "9999", ""},
      {F::kAccuracy, "10000", nullptr, "Invalid value entered in Accuracy."},
      {F::kAccuracy, "-1", nullptr, "Invalid value entered in Accuracy."},
      {F::kAccuracy, "", nullptr, "Invalid value entered in Accuracy"},
      {F::kAccuracy, "2k", nullptr, "Invalid value entered in Accuracy"},
      {F::kLimitDistance, "99", "99", ""},
      {F::kLimitDistance, "5", "05", ""},
      {F::kLimitDistance, "100", nullptr, "Invalid value entered in Limit(dist.)"},
      {F::kLimitTolerance, "-1", nullptr, "Invalid value entered in Limit(tol.)"},
      {F::kLimitTolerance, "0", "00", ""},
      {F::kPoints, "9999", "9999", ""},
      {F::kPoints, "10000", nullptr, "Invalid value entered in Number of points."},
      {F::kPoints, "x", nullptr, "Invalid value entered in Number of points."},
  };
  for (const Case& c : cases) {
    const PointDetailsCheck check = CheckPointDetailsField(c.field, c.text);
    if (c.stored) {
      ASSERT_TRUE(check.stored.has_value()) << c.text;
      EXPECT_EQ(*check.stored, c.stored);
    } else {
      EXPECT_FALSE(check.stored.has_value()) << c.text;
      EXPECT_EQ(check.message, c.message);
    }
  }
}

TEST(PointDetails, InitialBlock) {
  PointDetails d;
  d.accuracy = "0000";
  d.limitDistance = "00";
  d.limitTolerance = "00";
  const std::optional<std::string> block = MakeInitialBlock(d);
  ASSERT_TRUE(block.has_value());
  EXPECT_EQ(*block, "\x02Site1     +00001.0000000000" "00-000000S112\x03\r\n");
  EXPECT_EQ(block->size(), 44u);

  // The fresh defaults: only 2000, 20 and 10 differ, so the xor changes by their digits.
  const std::optional<std::string> defaults = MakeInitialBlock(PointDetails{});
  ASSERT_TRUE(defaults.has_value());
  EXPECT_EQ(defaults->substr(1, 37), "Site1     +00001.000000200020-100000S");
  // 112 ^ '2' ^ '0' (accuracy) ^ '2' ^ '0' (limit) ^ '1' ^ '0' (limit) = 112 ^ 1 = 113
  EXPECT_EQ(defaults->substr(38), "113\x03\r\n");

  d.site = "Site1";
  EXPECT_FALSE(MakeInitialBlock(d).has_value());
}

}  // namespace
}  // namespace kavex
