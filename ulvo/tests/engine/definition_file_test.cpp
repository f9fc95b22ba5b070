#include <gtest/gtest.h>

#include "ulvo/engine/definition_file.h"
#include "ulvo/engine/format_definition.h"
#include "ulvo/engine/text_codec.h"
#include "ulvo/tests/engine/engine_test_support.h"

namespace ulvo {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

struct WellFormedCase {
  const char* name;
  std::string xml;
  bool wellFormed;
};

class WellFormed : public testing::TestWithParam<WellFormedCase> {};

TEST_P(WellFormed, DefinitionLoadsOnlyWhenWellFormed) {
  EXPECT_EQ(IsWellFormedXml(GetParam().xml), GetParam().wellFormed);
  TempDir dir;
  WriteBytes(dir / "f.xml", GetParam().xml);
  FormatDefinition format(dir / "f.xml");
  EXPECT_EQ(format.Load(), GetParam().wellFormed);
}

INSTANTIATE_TEST_SUITE_P(
    Files, WellFormed,
    testing::Values(
        WellFormedCase{"Plain", "<?xml version=\"1.0\"?>\n<!--c-->\n<format/>\n", true},
        WellFormedCase{"SecondRoot", "<format/><format/>", false},
        WellFormedCase{"SecondRootAfterComment", "<format/><!--x--><multi/>", false},
        WellFormedCase{"TextAfterRoot", "<format/>tail", false},
        WellFormedCase{"TextBeforeRoot", "head<format/>", false},
        WellFormedCase{"UndeclaredEntity", "<format><literal>&nbsp;</literal></format>", false},
        WellFormedCase{"UndeclaredEntityInAttribute", "<format name=\"a&b;\"/>", false},
        WellFormedCase{"BareAmpersand", "<format><literal>a & b</literal></format>", false},
        WellFormedCase{"KnownEntities",
                       "<format name=\"&lt;&gt;&amp;&apos;&quot;\"><literal>&amp;&#65;&#x41;"
                       "</literal></format>",
                       true},
        WellFormedCase{"CharacterZero", "<format><literal>&#0;</literal></format>", false},
        WellFormedCase{"HexReferenceWithoutDigits", "<format><literal>&#x;</literal></format>",
                       false},
        WellFormedCase{"RawControlCharacter", "<format><literal>\x01</literal></format>", false},
        WellFormedCase{"TabAndLineEndsInText", "<format><literal>\t\r\n</literal></format>", true},
        WellFormedCase{"RepeatedAttribute", "<format name=\"a\" name=\"b\"/>", false},
        WellFormedCase{"LessThanInAttribute", "<format name=\"a<b\"/>", false},
        WellFormedCase{"BadElementName", "<format><1a/></format>", false},
        WellFormedCase{"AmpersandInCommentAndCdata",
                       "<format><!-- a & b --><literal><![CDATA[&x;]]></literal></format>", true},
        WellFormedCase{"DeclarationAfterComment", "<!--c--><?xml version=\"1.0\"?><format/>",
                       false},
        WellFormedCase{"ProcessingInstruction", "<?xml version=\"1.0\"?><?style a?><format/>",
                       true},
        WellFormedCase{"Unclosed", "<format><multi>", false}),
    [](const testing::TestParamInfo<WellFormedCase>& param) {
      return std::string(param.param.name);
    });

// 'Vermessung' with a-umlaut, a literal e-acute, both single bytes in Latin-1.
constexpr const char* kLatin1Definition =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
    "<format name=\"Gel\xE4nde\" simple=\"true\"><repeat><node><radio>"
    "<group id=\"PT\" name=\"Caf\xE9\"><element id=\"NR\" width=\"4\"/>"
    "<literal>\xE9</literal></group></radio></node></repeat></format>\n";

TEST(DefinitionFile, Latin1FileIsWrittenBackInLatin1) {
  TempDir dir;
  WriteBytes(dir / "l.xml", kLatin1Definition);
  FormatDefinition format(dir / "l.xml");
  ASSERT_TRUE(format.Load());
  EXPECT_EQ(format.Name(), "Gel\xC3\xA4nde");
  auto* literal = dynamic_cast<LiteralDefinition*>(format.Group(0)->Item(1));
  ASSERT_TRUE(literal);
  EXPECT_EQ(literal->Text(), "\xE9");  // the data byte
  EXPECT_FALSE(format.IsModified());

  // The euro sign has no Latin-1 byte: it becomes a reference; the u-umlaut is one byte.
  format.SetName("Gel\xC3\xA4nde \xE2\x82\xAC");
  format.Group(0)->SetName("M\xC3\xBCller");
  ASSERT_TRUE(format.Save());
  // Only the two names change; the line ends stay.
  EXPECT_EQ(ReadBytes(dir / "l.xml"),
            "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
            "<format name=\"Gel\xE4nde &#8364;\" simple=\"true\"><repeat><node><radio>"
            "<group id=\"PT\" name=\"M\xFCller\"><element id=\"NR\" width=\"4\"/>"
            "<literal>\xE9</literal></group></radio></node></repeat></format>\n");

  FormatDefinition again(dir / "l.xml");
  ASSERT_TRUE(again.Load());
  EXPECT_EQ(again.Name(), "Gel\xC3\xA4nde \xE2\x82\xAC");
  EXPECT_EQ(again.Group(0)->Name(), "M\xC3\xBCller");
  literal = dynamic_cast<LiteralDefinition*>(again.Group(0)->Item(1));
  ASSERT_TRUE(literal);
  EXPECT_EQ(literal->Text(), "\xE9");
}

TEST(DefinitionFile, Utf16FileKeepsItsByteOrderMark) {
  TempDir dir;
  // UTF-16 little endian with its mark, worked by hand: every ASCII character then a zero.
  std::string bytes = "\xFF\xFE";
  for (char c : std::string("<format name=\"")) bytes += std::string{c, '\0'};
  bytes += std::string("\xE9\x00", 2);
  for (char c : std::string("\"/>")) bytes += std::string{c, '\0'};
  WriteBytes(dir / "u.xml", bytes);
  FormatDefinition format(dir / "u.xml");
  ASSERT_TRUE(format.Load());
  EXPECT_EQ(format.Name(), "\xC3\xA9");
  format.SetName("\xF0\x9F\x93\x90");  // U+1F4D0, a surrogate pair
  ASSERT_TRUE(format.Save());
  std::string expected = "\xFF\xFE";
  for (char c : std::string("<format name=\"")) expected += std::string{c, '\0'};
  expected += std::string("\x3D\xD8\xD0\xDC", 4);
  for (char c : std::string("\"/>")) expected += std::string{c, '\0'};
  EXPECT_EQ(ReadBytes(dir / "u.xml"), expected);
  FormatDefinition again(dir / "u.xml");
  ASSERT_TRUE(again.Load());
  EXPECT_EQ(again.Name(), "\xF0\x9F\x93\x90");
}

TEST(DefinitionFile, Utf8MarkStaysAndPlainUtf8IsUnchanged) {
  EXPECT_EQ(EncodeDocumentText("<a/>", FileEncoding{pugi::encoding_utf8, true}),
            "\xEF\xBB\xBF<a/>");
  EXPECT_EQ(EncodeDocumentText("\xC3\xA9", FileEncoding{}), "\xC3\xA9");
  // Latin-1: the last one-byte character, the first that needs a reference.
  EXPECT_EQ(EncodeDocumentText("\xC3\xBF\xC4\x80", FileEncoding{pugi::encoding_latin1, false}),
            "\xFF&#256;");
}

constexpr const char* kCommentedDefinition =
    "<?xml version=\"1.0\"?>\n"
    "<?xml-stylesheet href=\"f.css\"?>\n"
    "<!--ULVO File Format Definition-->\n"
    "<format simple=\"true\"><!--skeleton--><repeat><node><radio>"
    "<group id=\"PT\" name=\"A\"><!--one point--><element id=\"NR\" width=\"3\"/>"
    "<literal>;</literal></group>"
    "<group id=\"PT\" name=\"B\"><element id=\"E\" width=\"8\" factor=\"1000\" precision=\"2\"/>"
    "<literal>;</literal></group>"
    "</radio></node></repeat></format>\n";

TEST(DefinitionFile, SavingKeepsInstructionCommentsAndUntouchedGroups) {
  TempDir dir;
  WriteBytes(dir / "c.xml", kCommentedDefinition);
  FormatDefinition format(dir / "c.xml");
  ASSERT_TRUE(format.Load());
  // Reading literals is no edit.
  EXPECT_FALSE(format.IsModified());
  EXPECT_FALSE(format.Group(1)->IsModified());
  // Only group A changes; group B keeps factor and precision.
  auto* width = dynamic_cast<ElementDefinition*>(format.Group(0)->Item(0));
  ASSERT_TRUE(width);
  width->SetWidth(4);
  width->SetModified(true);
  ASSERT_TRUE(format.Save());
  EXPECT_EQ(ReadBytes(dir / "c.xml"),
            "<?xml version=\"1.0\"?>\n"
            "<?xml-stylesheet href=\"f.css\"?>\n"
            "<!--ULVO File Format Definition-->\n"
            "<format simple=\"true\"><!--skeleton--><repeat><node><radio>"
            "<group id=\"PT\" name=\"A\"><!--one point--><element id=\"NR\" width=\"4\"/>"
            "<literal>;</literal></group>"
            "<group id=\"PT\" name=\"B\"><element id=\"E\" width=\"8\" factor=\"1000\" "
            "precision=\"2\"/><literal>;</literal></group>"
            "</radio></node></repeat></format>\n");
}

TEST(DefinitionFile, LiteralWithoutTextIsReadUnmodified) {
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_string(R"(<group><element id="X" factor="2"/><literal/></group>)"));
  GroupDefinition group(doc.first_child());
  ASSERT_EQ(group.ItemCount(), 2u);
  EXPECT_FALSE(group.IsModified());
}

}  // namespace
}  // namespace ulvo
