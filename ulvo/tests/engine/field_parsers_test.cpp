#include <gtest/gtest.h>

#include "ulvo/engine/field_parsers.h"
#include "ulvo/tests/engine/engine_test_support.h"

namespace ulvo {
namespace {

using test::DataDocumentText;
using test::LoadDefinition;
using test::ParseBytes;
using test::TempDir;
using test::WriteDocumentText;

// The value a single element field reads from the whole input, or nullopt when it fails.
std::optional<std::string> ReadField(const std::string& attributes, const std::string& input) {
  TempDir dir;
  auto format = LoadDefinition(dir, "<format><element id=\"V\" " + attributes + "/></format>");
  EXPECT_TRUE(format);
  if (!format) return std::nullopt;
  const auto result = ParseBytes(dir, *format, input);
  if (!result.ok) {
    EXPECT_EQ(result.document, DataDocumentText(""));
    return std::nullopt;
  }
  pugi::xml_document doc;
  EXPECT_TRUE(LoadDataDocumentFromText(doc, result.document));
  return std::string(doc.child("data").child("V").text().get());
}

// The bytes a single element field writes for the value, or nullopt when it fails.
std::optional<std::string> WriteField(const std::string& attributes, const std::string& value) {
  TempDir dir;
  auto format = LoadDefinition(dir, "<format><element id=\"V\" " + attributes + "/></format>");
  EXPECT_TRUE(format);
  if (!format) return std::nullopt;
  const auto result = WriteDocumentText(dir, *format, "<data><V>" + value + "</V></data>");
  if (!result.ok) {
    EXPECT_EQ(result.bytes, "");
    return std::nullopt;
  }
  return result.bytes;
}

struct FieldCase {
  const char* attributes;
  const char* text;                   // input when reading, value when writing
  std::optional<std::string> result;  // value read or bytes written; nullopt: the field fails
};

class FieldRead : public testing::TestWithParam<FieldCase> {};

TEST_P(FieldRead, CleansTheValue) {
  const FieldCase& c = GetParam();
  EXPECT_EQ(ReadField(c.attributes, c.text), c.result) << c.attributes << " '" << c.text << "'";
}

INSTANTIATE_TEST_SUITE_P(
    Padding, FieldRead,
    testing::Values(FieldCase{R"(width="6" align="right" fill="0")", "+00012", "+12"},
                    FieldCase{R"(width="6" align="right" fill="0" sign="true")", "+00012", "12"},
                    FieldCase{R"(width="6" align="right" fill="0" sign="true")", "-00012", "-12"},
                    FieldCase{R"(width="4" align="right" fill="0")", "0000", "0"},
                    FieldCase{R"(width="2" align="right" fill="0")", "-0", "-0"},
                    FieldCase{R"(width="5" align="right")", "   ab", "ab"},
                    FieldCase{R"(width="5" align="right")", " a b ", "a b "},
                    FieldCase{R"(width="5")", "ab   ", "ab"},
                    FieldCase{R"(width="5")", " a   ", " a"}, FieldCase{R"(width="4")", "    ", ""},
                    FieldCase{R"(width="4" sign="true")", "    ", std::nullopt},
                    FieldCase{R"(width="3" sign="true")", "12 ", std::nullopt},
                    FieldCase{R"(width="4" fill="*")", "ab**", "ab"},
                    FieldCase{R"(width="4" fill="*")", "ab  ", "ab  "}));

INSTANTIATE_TEST_SUITE_P(
    Numbers, FieldRead,
    testing::Values(
        FieldCase{R"(precision="3")", "12.5", std::nullopt},
        FieldCase{R"(precision="0")", "12", "12"}, FieldCase{R"(precision="1")", "12.5", "12.5"},
        FieldCase{R"(factor="1000")", "123450", "123.450"},
        FieldCase{R"(factor="1000" precision="0")", "-5", "-0.005"},
        // a factor of 0.001 adds -2 decimals; a negative count prints six
        FieldCase{R"(factor="0.001")", "5", "5000.000000"},
        FieldCase{R"(factor="0.01")", "2.50", "250.0"},
        // "inf" is no number: no factor at all; a factor beyond double is infinite
        FieldCase{R"(factor="inf")", "5", "5"}, FieldCase{R"(factor="1e400")", "5", "0.000000"},
        FieldCase{R"(factor="1e-320")", "0", "0.000000"},
        FieldCase{R"(offset="100")", "250", "150"}, FieldCase{R"(offset="0.5")", "1.25", "0.75"},
        // lenient reading: stops at the first character that cannot belong to the number
        FieldCase{R"(offset="1")", "7xyz", "6"}, FieldCase{R"(offset="1")", "abc", "-1"},
        // decimals count every character after the first point
        FieldCase{R"(precision="2")", "1.5x", "1.50"},
        FieldCase{R"(width="8" align="right" sign="true" factor="1000" precision="0")", "  -12345",
                  "-12.345"},
        // decimal numbers only: no hexadecimal, infinity or NaN
        FieldCase{R"(precision="0")", "0x10", "0"}, FieldCase{R"(offset="1")", "inf", "-1"},
        FieldCase{R"(offset="1")", "nan", "-1"}, FieldCase{R"(offset="1")", "2e1", "19"}));

// A plain decimal of up to 15 digits reads as its own text; everything else still goes
// through the number: leading zeros, a sign, a bare point, more digits than a double keeps.
INSTANTIATE_TEST_SUITE_P(
    NumberText, FieldRead,
    testing::Values(
        FieldCase{R"(precision="3")", "-66.727", "-66.727"},
        FieldCase{R"(precision="3")", "-0.000", "-0.000"},
        FieldCase{R"(precision="0")", "-0", "-0"},
        FieldCase{R"(precision="0" offset="-0")", "-0", "0"},
        FieldCase{R"(precision="3")", "007.250", "7.250"},
        FieldCase{R"(precision="1")", "+5.0", "5.0"}, FieldCase{R"(precision="1")", ".5", "0.5"},
        FieldCase{R"(precision="0")", "5.", "5"}, FieldCase{R"(precision="0")", "-", "0"},
        FieldCase{R"(precision="3")", "123456789012.345", "123456789012.345"},
        FieldCase{R"(precision="0")", "12345678901234567", "12345678901234568"},
        FieldCase{R"(precision="19")", "0.1234567890123456789", "0.1234567890123456774"}));

class FieldWrite : public testing::TestWithParam<FieldCase> {};

TEST_P(FieldWrite, FormatsTheValue) {
  const FieldCase& c = GetParam();
  EXPECT_EQ(WriteField(c.attributes, c.text), c.result) << c.attributes << " '" << c.text << "'";
}

INSTANTIATE_TEST_SUITE_P(
    Padding, FieldWrite,
    testing::Values(FieldCase{R"(sign="true")", "5", "+5"}, FieldCase{R"(sign="true")", "-5", "-5"},
                    FieldCase{R"(sign="true")", "+5", "+5"},
                    FieldCase{R"(width="5" align="right")", "-12", "  -12"},
                    FieldCase{R"(width="5" align="right" fill="0")", "-12", "-0012"},
                    FieldCase{R"(width="5" align="right" fill="0")", "12", "00012"},
                    FieldCase{R"(width="5" align="right" fill=" ")", "-5", "-   5"},
                    FieldCase{R"(width="5" align="right" fill="x")", "-5", "xxx-5"},
                    FieldCase{R"(width="5" align="right" fill="0" sign="true")", "5", "+0005"},
                    FieldCase{R"(width="5")", "ab", "ab   "},
                    FieldCase{R"(width="5" fill="_")", "ab", "ab___"},
                    FieldCase{R"(width="3")", "12345", "12345"},
                    FieldCase{R"(width="-4")", "ab", "ab"}));

INSTANTIATE_TEST_SUITE_P(Numbers, FieldWrite,
                         testing::Values(FieldCase{R"(factor="1000")", "123.450", "123450.000"},
                                         FieldCase{R"(factor="1000" precision="0")", "123.456",
                                                   "123456"},
                                         FieldCase{R"(offset="100")", "150", "250"},
                                         FieldCase{R"(precision="2")", "1", "1.00"},
                                         FieldCase{R"(precision="0")", "2.5", "2"},
                                         FieldCase{R"(precision="1")", "abc", "0.0"},
                                         FieldCase{R"(offset="1")", "1.50", "2.50"},
                                         FieldCase{R"(precision="0")", "0x1A", "0"},
                                         FieldCase{R"(offset="1")", "-inf", "1"}));

TEST(ElementField, EmptyIdReadsAndDropsButCannotWrite) {
  TempDir dir;
  auto format =
      LoadDefinition(dir, R"(<format><element width="2"/><element id="V" width="2"/></format>)");
  ASSERT_TRUE(format);
  const auto parsed = ParseBytes(dir, *format, "xxab");
  EXPECT_TRUE(parsed.ok);
  EXPECT_EQ(parsed.document, DataDocumentText("\t\t<V>ab</V>\r\n"));
  const auto written = WriteDocumentText(dir, *format, "<data><V>ab</V></data>");
  EXPECT_FALSE(written.ok);
  EXPECT_EQ(written.bytes, "");
}

TEST(ElementField, WritesTheFirstOccurrenceThatHasText) {
  TempDir dir;
  auto format = LoadDefinition(dir, R"(<format><element id="V"/></format>)");
  ASSERT_TRUE(format);
  EXPECT_EQ(WriteDocumentText(dir, *format, "<data><V/><W>w</W><V>one</V><V>two</V></data>").bytes,
            "one");
  // Only the direct children of the source count.
  EXPECT_FALSE(WriteDocumentText(dir, *format, "<data><R><V>deep</V></R></data>").ok);
}

TEST(ElementField, FieldNeedsAtLeastOneByteAndTheWholeWidth) {
  EXPECT_EQ(ReadField("", ""), std::nullopt);
  EXPECT_EQ(ReadField(R"(width="4")", "abc"), std::nullopt);
}

TEST(ElementField, BytesAboveAsciiSurviveTheDocument) {
  TempDir dir;
  auto format = LoadDefinition(dir, R"(<format><element id="V"/></format>)");
  ASSERT_TRUE(format);
  const auto parsed = ParseBytes(dir, *format,
                                 "Stra\xDF"
                                 "e");
  ASSERT_TRUE(parsed.ok);
  // Latin-1 byte 0xDF is U+00DF, two bytes in the document's UTF-8.
  EXPECT_EQ(parsed.document, DataDocumentText("\t\t<V>Stra\xC3\x9F"
                                              "e</V>\r\n"));
  EXPECT_EQ(WriteDocumentText(dir, *format, parsed.document).bytes,
            "Stra\xDF"
            "e");
}

TEST(LiteralField, MatchesOrFailsWithoutMoving) {
  InputBuffer in("ABC");
  pugi::xml_document doc;
  pugi::xml_node data = NewDataDocument(doc);
  LiteralParser ab("AB", false);
  EXPECT_FALSE(ab.Parse(in, 1, data));  // more than is available: fails without reading
  EXPECT_EQ(in.Position(), 0u);
  EXPECT_TRUE(ab.Parse(in, 3, data));
  EXPECT_EQ(in.Position(), 2u);
  EXPECT_FALSE(ab.Parse(in, 1, data));
  EXPECT_EQ(in.Position(), 2u);

  LiteralParser empty("", false);
  InputBuffer none("");
  EXPECT_TRUE(empty.Parse(none, 0, data));

  // Short read at the end of the input.
  InputBuffer shortInput("A");
  EXPECT_FALSE(ab.Parse(shortInput, 2, data));
  EXPECT_EQ(shortInput.Position(), 0u);
}

TEST(LiteralField, HexTextAndZeroBytes) {
  EXPECT_EQ(LiteralParser("0D0A", true).Text(), "\r\n");
  EXPECT_EQ(LiteralParser("0d0a5", true).Text(), "\r\n");  // odd last digit dropped
  EXPECT_EQ(LiteralParser("ZZ41", true).Text(), "A");      // a pair that reads nothing
  EXPECT_EQ(LiteralParser("", true).Text(), "");

  // Bytes behind a zero byte take no part in the comparison.
  LiteralParser zero("4100", true);
  ASSERT_EQ(zero.Text(), std::string("A\0", 2));
  pugi::xml_document doc;
  pugi::xml_node data = NewDataDocument(doc);
  InputBuffer in(std::string("A\0", 2));
  EXPECT_TRUE(zero.Parse(in, 2, data));
}

TEST(CountField, CountsRecordsAtTheMomentOfWriting) {
  TempDir dir;
  auto format = LoadDefinition(dir, R"(<format>
      <count id="PT" width="3" align="right" fill="0"/><literal>;</literal>
      <repeat><node><group id="PT"><element id="NR"/><literal>;</literal></group></node></repeat>
      <count id="PT"/><literal>;</literal><count id="XX"/></format>)");
  ASSERT_TRUE(format);
  const auto written = WriteDocumentText(
      dir, *format, "<data><PT><NR>a</NR></PT><Q/><PT><NR>b</NR></PT><PT/></data>");
  EXPECT_TRUE(written.ok);
  // Three PT before; the empty PT cannot be written and stays; no XX at all.
  EXPECT_EQ(written.bytes, "003;a;b;1;0");
}

TEST(CountField, SelectsByTheRelativePath) {
  struct Case {
    const char* id;
    std::optional<std::string> bytes;  // nullopt: the field fails
  };
  const Case cases[] = {
      {"PT", "2"},           {"*", "3"},         {"PT[NR='b']", "1"},   {"PT|Q", "3"}, {"NR", "0"},
      {"PT[", std::nullopt}, {"", std::nullopt}, {"1+1", std::nullopt},
  };
  for (const Case& c : cases) {
    TempDir dir;
    auto format = LoadDefinition(dir, std::string("<format><count id=\"") + c.id + "\"/></format>");
    ASSERT_TRUE(format) << c.id;
    const auto written =
        WriteDocumentText(dir, *format, "<data><PT><NR>a</NR></PT><Q/><PT><NR>b</NR></PT></data>");
    EXPECT_EQ(written.ok, c.bytes.has_value()) << c.id;
    EXPECT_EQ(written.bytes, c.bytes.value_or("")) << c.id;
  }
}

TEST(CountField, CountReadFromInputIsCheckedAndDropped) {
  TempDir dir;
  auto format = LoadDefinition(dir, R"(<format><count id="PT" width="3" sign="true"/></format>)");
  ASSERT_TRUE(format);
  const auto good = ParseBytes(dir, *format, "+12");
  EXPECT_TRUE(good.ok);
  EXPECT_EQ(good.document, DataDocumentText(""));
  EXPECT_FALSE(ParseBytes(dir, *format, "012").ok);
}

// A block keeps its bytes through every way it grows: in small steps, across the size from
// which it is mapped instead of allocated, in place once mapped, and when moved.
TEST(ByteBlock, KeepsItsBytesAsItGrows) {
  ByteBlock block;
  std::string expected;
  const auto append = [&](size_t n) {
    for (size_t i = 0; i < n; ++i) {
      const char c = static_cast<char>('a' + (expected.size() * 7) % 26);
      if (i % 3)
        block.Append(c);
      else
        block.Append(std::string_view(&c, 1));
      expected += c;
    }
  };
  const auto same = [&] { return std::string_view(block.Data(), block.Size()) == expected; };
  append(1000);
  EXPECT_TRUE(same());
  append((1u << 20) + 5);  // on from malloc to a mapping
  EXPECT_TRUE(same());
  block.Reserve(9u << 20);  // a mapping grown
  EXPECT_TRUE(same());
  append(3u << 20);
  EXPECT_TRUE(same());
  const std::string big(5u << 20, 'z');
  block.Append(big);  // more than the room left at once
  expected += big;
  EXPECT_TRUE(same());
  ByteBlock moved(std::move(block));
  EXPECT_EQ(std::string_view(moved.Data(), moved.Size()), expected);
  EXPECT_EQ(block.Size(), 0u);
  moved.Resize(3);
  moved.Append("xyz");
  EXPECT_EQ(std::string_view(moved.Data(), moved.Size()), expected.substr(0, 3) + "xyz");

  struct Entry {
    uint64_t wide;
    uint32_t narrow;
  };
  BlockArray<Entry> entries;
  for (uint32_t i = 0; i < 200000; ++i) entries.PushBack({uint64_t{i} << 33, i});
  ASSERT_EQ(entries.Size(), 200000u);
  EXPECT_EQ(entries[0].narrow, 0u);
  EXPECT_EQ(entries[199999].wide, uint64_t{199999} << 33);
  EXPECT_EQ(entries[123456].narrow, 123456u);
}

}  // namespace
}  // namespace ulvo
