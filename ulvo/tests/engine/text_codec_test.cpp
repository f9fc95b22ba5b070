#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ulvo/engine/text_codec.h"

namespace ulvo {
namespace {

TEST(TextCodec, LatinOneRoundTripsEveryByte) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(TextToBytes(BytesToText(all)), all);
  EXPECT_EQ(BytesToText("\xE9"), "\xC3\xA9");
  EXPECT_EQ(TextToBytes("\xE2\x82\xAC"), "?");  // the euro sign has no Latin-1 byte
  EXPECT_EQ(TextToBytes("a\xC3"), "a\xC3");     // cut sequence passes as it is
}

TEST(TextCodec, NumbersIgnoreTheProcessLocale) {
  // A comma-decimal locale must not turn 1.5 into 1,5 (skipped where it is not installed).
  const char* old = std::setlocale(LC_ALL, nullptr);
  const std::string saved = old ? old : "C";
  const bool german = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
  EXPECT_EQ(FormatFixed(1.5, 2), "1.50");
  EXPECT_DOUBLE_EQ(ReadDouble("1.25"), 1.25);
  std::setlocale(LC_ALL, saved.c_str());
  if (!german) GTEST_SKIP() << "de_DE.UTF-8 not installed";
}

struct ReadCase {
  const char* text;
  double value;
};

class Lenient : public testing::TestWithParam<ReadCase> {};

TEST_P(Lenient, ReadsAsAtof) {
  EXPECT_DOUBLE_EQ(ReadDouble(GetParam().text), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, Lenient,
    testing::Values(ReadCase{"  -12.5xyz", -12.5}, ReadCase{"+3", 3.0}, ReadCase{"1e3", 1000.0},
                    ReadCase{"abc", 0.0}, ReadCase{"", 0.0}, ReadCase{".5", 0.5},
                    // Decimal only: no hexadecimal, infinity or NaN.
                    ReadCase{"0x10", 0.0}, ReadCase{"-0X1p4", 0.0}, ReadCase{"inf", 0.0},
                    ReadCase{"-INFINITY", 0.0}, ReadCase{"nan", 0.0}, ReadCase{"+.e5", 0.0},
                    ReadCase{"2e", 2.0}, ReadCase{"2e+", 2.0}, ReadCase{"\t-1.5E-1x", -0.15},
                    ReadCase{"1e400", HUGE_VAL}));

TEST(TextCodec, FormatFixedAsPrintf) {
  EXPECT_EQ(FormatFixed(123.4567, 3), "123.457");
  EXPECT_EQ(FormatFixed(-0.005, 3), "-0.005");
  EXPECT_EQ(FormatFixed(2.0, -1), "2.000000");
  EXPECT_EQ(FormatFixed(1e20, 0), "100000000000000000000");
  EXPECT_EQ(ReadInt("99999999999"), 0x7FFFFFFF);
  EXPECT_EQ(ReadInt(" -7x"), -7);
}

TEST(TextCodec, XmlNames) {
  EXPECT_TRUE(IsXmlName("PT"));
  EXPECT_TRUE(IsXmlName("_a.b-1"));
  EXPECT_FALSE(IsXmlName(""));
  EXPECT_FALSE(IsXmlName("1A"));
  EXPECT_FALSE(IsXmlName("a b"));
  EXPECT_FALSE(IsXmlName("a<b"));
}

// Plain decimals take a shorter way than other text; both must give strtod's exact double.
TEST(TextCodec, ReadDoubleRoundsAsStrtod) {
  for (const char* text :
       {"0", "-0", "12.345", "-66.726642", "0.1", "9007199254740993", "2.2250738585072011e-308",
        "123456789012345678901234567890.123456789", "1.", "-.5", "12.5e2", "- 1", "00012.50",
        "1e400", "4.9e-325", "3.14159265358979323846264338327950288"}) {
    const double expected = std::strtod(text, nullptr);
    const double got = ReadDouble(text);
    EXPECT_EQ(std::memcmp(&got, &expected, sizeof got), 0) << text;
  }
}

TEST(TextCodec, FormatFixedBeyondTheShortBuffer) {
  char expected[600];
  for (const auto& [value, decimals] : {std::pair{1e300, 2}, std::pair{-1.0 / 3.0, 80},
                                        std::pair{123.456, 0}, std::pair{5e-324, 340}}) {
    std::snprintf(expected, sizeof expected, "%.*f", decimals, value);
    EXPECT_EQ(FormatFixed(value, decimals), expected) << decimals;
  }
}

TEST(TextCodec, CharactersAFileCannotKeepAreNamed) {
  struct Case {
    std::string text;
    const char* refused;
  };
  for (const Case& c :
       {Case{"", ""}, Case{"H\xC3\xB6he 1.5", ""}, Case{"\xC2\xA0", ""},
        Case{"\xF0\x9F\x93\x90", ""}, Case{"a\tb", "U+0009"}, Case{std::string("a\0", 2), "U+0000"},
        Case{"\x1F", "U+001F"}, Case{"x\x7F", "U+007F"}, Case{"\xC2\x85", "U+0085"},
        Case{"\xC2\x9F", "U+009F"}, Case{"\xEF\xBF\xBE", "U+FFFE"}, Case{"ok\xFF", "byte 0xFF"},
        Case{"\xE2\x82", "byte 0xE2"}}) {
    EXPECT_EQ(FirstUnstorableCharacter(c.text), c.refused) << c.text;
  }
  std::string first;
  EXPECT_EQ(RemoveUnstorableCharacters("a\x01"
                                       "b\tc\xC3\xA9\xFF",
                                       &first),
            "abc\xC3\xA9");
  EXPECT_EQ(first, "U+0001");
  EXPECT_EQ(RemoveUnstorableCharacters("clean", &first), "clean");
  EXPECT_EQ(first, "");
}

// Rounding on the text must give what printing the read double gives, or decline.
TEST(TextCodec, RoundDecimalTextAsFormatFixed) {
  struct Case {
    const char* text;
    int decimals;
    const char* rounded;  // nullptr: declined
  };
  const Case cases[] = {
      {"12", 3, "12.000"},
      {"-12.5", 0, nullptr},  // a tie
      {"12.51", 0, "13"},
      {"9.9996", 3, "10.000"},
      {"-9.9996", 3, "-10.000"},
      {"0.0004", 3, "0.000"},
      {"-0.0004", 3, "-0.000"},
      {"-0.000", 3, nullptr},  // negative zero
      {"0.1235", 3, nullptr},
      {"0.12350001", 3, "0.124"},
      {"1.2344999", 3, "1.234"},
      {"123456789012.345", 3, "123456789012.345"},
      {"123456789012.34", 4, nullptr},  // 16 digits once padded
      {"1234567890123456", 0, nullptr},
      {"007", 1, nullptr},
      {"+1", 1, nullptr},
      {"1.", 1, nullptr},
      {".5", 1, nullptr},
      {"1e3", 1, nullptr},
      {"0", 2, "0.00"},
      {"5", -1, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " to " + std::to_string(c.decimals));
    std::string text = c.text;
    EXPECT_EQ(RoundDecimalText(text, c.decimals), c.rounded != nullptr);
    EXPECT_EQ(text, c.rounded ? c.rounded : c.text);
  }
  // Every decimal of up to 15 digits, wherever its point, rounded to 0 to 8 places.
  unsigned seed = 7;
  const auto next = [&seed](unsigned range) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) % range;
  };
  int rounded = 0;
  for (int n = 0; n < 200000; ++n) {
    const unsigned digits = 1 + next(15);
    std::string text = next(2) ? "-" : "";
    text += static_cast<char>('1' + next(9));
    for (unsigned d = 1; d < digits; ++d) text += static_cast<char>('0' + next(10));
    const unsigned point = next(digits);  // digits before the point
    if (point > 0) text.insert(text.size() - (digits - point), ".");
    if (point == 0 && next(4) == 0) text.insert(text[0] == '-' ? 1 : 0, "0.");
    const int decimals = static_cast<int>(next(9));
    std::string fast = text;
    if (!RoundDecimalText(fast, decimals)) continue;
    ++rounded;
    ASSERT_EQ(fast, FormatFixed(ReadDouble(text) + 0.0, decimals)) << text << " " << decimals;
  }
  EXPECT_GT(rounded, 100000);
}

}  // namespace
}  // namespace ulvo

namespace ulvo {
namespace {

// One UTF-8 reader for the program: what it takes for a character and what it refuses.
TEST(TextCodec, Utf8SequencesThatAreNoCharacter) {
  const struct {
    const char* what;
    std::string bytes;
    bool character;
    unsigned long code;
  } cases[] = {
      {"ASCII", "<", true, 0x3C},
      {"two bytes", "\xC3\xA9", true, 0xE9},
      {"three bytes", "\xE2\x82\xAC", true, 0x20AC},
      {"four bytes, the last code point", "\xF4\x8F\xBF\xBF", true, 0x10FFFF},
      {"overlong '<' in two bytes", "\xC0\xBC", false, 0},
      {"overlong '<' in three bytes", "\xE0\x80\xBC", false, 0},
      {"overlong U+FFFF in four bytes", "\xF0\x8F\xBF\xBF", false, 0},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", false, 0},
      {"a surrogate", "\xED\xA0\x80", false, 0},
      {"cut short", "\xE2\x82", false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    size_t i = 0;
    unsigned long code = 0;
    EXPECT_EQ(NextCodePoint(c.bytes, i, code), c.character);
    EXPECT_EQ(i, c.character ? c.bytes.size() : 1u);  // a refused sequence takes one byte
    if (c.character) {
      EXPECT_EQ(code, c.code);
    }
  }
}

}  // namespace
}  // namespace ulvo
