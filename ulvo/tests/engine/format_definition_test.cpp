#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "ulvo/engine/format_definition.h"
#include "ulvo/tests/engine/engine_test_support.h"

namespace ulvo {
namespace {

using test::DataDocumentText;
using test::LoadDefinition;
using test::ParseBytes;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;
using test::WriteDocumentText;

// The worked example: lines 'P1,100.5' ended by CR LF.
constexpr const char* kExample =
    R"(<format simple="true"><repeat><node><radio><group id="PT" name="Point">)"
    R"(<terminated><element id="NR"/><literal>,</literal></terminated>)"
    R"(<terminated><element id="E" precision="1"/><literal hex="true">0D0A</literal></terminated>)"
    R"(</group></radio></node></repeat></format>)";

TEST(FormatDefinition, WorkedExampleBothWays) {
  TempDir dir;
  auto format = LoadDefinition(dir, kExample);
  ASSERT_TRUE(format);
  EXPECT_TRUE(format->Simple());
  ASSERT_EQ(format->GroupCount(), 1u);
  EXPECT_EQ(format->Group(0)->Id(), "PT");

  const std::string input = "P1,100.5\r\nP2,-3.0\r\n";
  const auto parsed = ParseBytes(dir, *format, input);
  EXPECT_TRUE(parsed.ok);
  EXPECT_EQ(parsed.document,
            DataDocumentText("\t<PT>\r\n\t\t<NR>P1</NR>\r\n\t\t<E>100.5</E>\r\n\t</PT>\r\n"
                             "\t<PT>\r\n\t\t<NR>P2</NR>\r\n\t\t<E>-3.0</E>\r\n\t</PT>\r\n"));
  const auto written = WriteDocumentText(dir, *format, parsed.document);
  EXPECT_TRUE(written.ok);
  EXPECT_EQ(written.bytes, input);

  // A final line end the format does not describe: the parse fails.
  EXPECT_FALSE(ParseBytes(dir, *format, input + "\r\n").ok);
  // One decimal is required.
  EXPECT_FALSE(ParseBytes(dir, *format, "P1,100\r\n").ok);
}

struct LoadCase {
  const char* name;
  std::string xml;
  bool loads;
};

std::string Nested(int depth) {
  std::string xml = "<format>";
  for (int i = 0; i < depth; ++i) xml += "<multi>";
  xml += "<literal>x</literal>";
  for (int i = 0; i < depth; ++i) xml += "</multi>";
  return xml + "</format>";
}

class DefinitionLoad : public testing::TestWithParam<LoadCase> {};

TEST_P(DefinitionLoad, LoadsOrRefuses) {
  TempDir dir;
  const auto path = dir / "f.xml";
  WriteBytes(path, GetParam().xml);
  FormatDefinition format(path);
  EXPECT_EQ(format.Load(), GetParam().loads);
}

INSTANTIATE_TEST_SUITE_P(
    Files, DefinitionLoad,
    testing::Values(
        LoadCase{"Minimal", "<format/>", true},
        LoadCase{"OnlyComments", "<format><!--a--><!--b--></format>", true},
        LoadCase{"RootFormats", "<formats/>", false}, LoadCase{"RootCapital", "<Format/>", false},
        LoadCase{"NotWellFormed", "<format><multi></format>", false}, LoadCase{"Empty", "", false},
        LoadCase{"Garbage", std::string("\x00\xFF\xFE<<&&", 7), false},
        LoadCase{"UnknownTag", "<format><multi><blob/></multi></format>", false},
        LoadCase{"CountWithoutId", "<format><count width=\"3\"/></format>", false},
        LoadCase{"CountWithEmptyId", "<format><count id=\"\"/></format>", true},
        LoadCase{"EmptyRepeat", "<format><repeat/></format>", true},
        LoadCase{"Depth256", Nested(255), true}, LoadCase{"Depth257", Nested(256), false},
        LoadCase{"DeepHostile", Nested(100000), false},
        LoadCase{"HugeWidth", "<format><element id=\"A\" width=\"2000000000\"/></format>", false},
        LoadCase{"HugePrecision", "<format><element id=\"A\" precision=\"99999\"/></format>",
                 false},
        LoadCase{"SimpleWithoutSkeleton", "<format simple=\"true\"><literal>a</literal></format>",
                 true}),
    [](const testing::TestParamInfo<LoadCase>& param) { return std::string(param.param.name); });

TEST(FormatDefinition, MissingFileDoesNotLoad) {
  TempDir dir;
  FormatDefinition format(dir / "none.xml");
  EXPECT_FALSE(format.Load());
  pugi::xml_document doc;
  EXPECT_FALSE(format.ParseFile(dir / "none.xml", NewDataDocument(doc)));
  // A folder is not a file, whichever role it is given.
  FormatDefinition folder(dir.Path());
  EXPECT_FALSE(folder.Load());
  auto good = LoadDefinition(dir, "<format><repeat><literal>a</literal></repeat></format>");
  ASSERT_TRUE(good);
  EXPECT_FALSE(good->ParseFile(dir.Path(), NewDataDocument(doc)));
  EXPECT_FALSE(LoadDataDocument(doc, dir.Path()));
}

TEST(FormatDefinition, EmptyTreeFailsToParse) {
  TempDir dir;
  auto format = LoadDefinition(dir, "<format><!--nothing--></format>");
  ASSERT_TRUE(format);
  EXPECT_FALSE(ParseBytes(dir, *format, "").ok);
  EXPECT_FALSE(WriteDocumentText(dir, *format, "<data/>").ok);
}

TEST(FormatDefinition, EmptyRepeatNeverHangs) {
  TempDir dir;
  auto format = LoadDefinition(dir, "<format><repeat/><repeat><optional/></repeat></format>");
  ASSERT_TRUE(format);
  EXPECT_TRUE(ParseBytes(dir, *format, "").ok);
  EXPECT_FALSE(ParseBytes(dir, *format, "abc").ok);
  EXPECT_TRUE(WriteDocumentText(dir, *format, "<data><A/></data>").ok);
}

TEST(FormatDefinition, BacktrackingWithoutEndStops) {
  // Each terminator is itself a terminated field: every offset of every level is tried,
  // which would take longer than the age of the universe without the step budget.
  std::string nested = "<literal>#</literal>";
  for (int i = 0; i < 6; ++i) {
    nested = "<terminated><element id=\"V\"/>" + nested + "</terminated>";
  }
  TempDir dir;
  auto format = LoadDefinition(dir, "<format>" + nested + "</format>");
  ASSERT_TRUE(format);
  EXPECT_FALSE(ParseBytes(dir, *format, std::string(3000, 'x')).ok);
}

TEST(FormatDefinition, InvalidRecordNameFailsTheRun) {
  TempDir dir;
  auto format =
      LoadDefinition(dir, "<format><group id=\"a b\"><literal>x</literal></group></format>");
  ASSERT_TRUE(format);
  EXPECT_FALSE(ParseBytes(dir, *format, "x").ok);
}

TEST(FormatDefinition, NewDefinitionSavesTheDefaultSkeleton) {
  TempDir dir;
  FormatDefinition format(dir / "new.xml");
  EXPECT_TRUE(format.IsModified());
  EXPECT_TRUE(format.Simple());
  ASSERT_TRUE(format.Save());
  EXPECT_FALSE(format.IsModified());
  EXPECT_EQ(ReadBytes(dir / "new.xml"),
            "<?xml version=\"1.0\"?>\r\n<!--ULVO File Format Definition-->\r\n"
            "<format simple=\"true\"><repeat><node><radio/></node></repeat></format>\r\n");
}

TEST(FormatDefinition, EditedSimpleFormatSavesAndLoadsAgain) {
  TempDir dir;
  FormatDefinition format(dir / "edit.xml");
  format.SetName("Survey");
  format.SetType("POINTS");
  GroupDefinition* group = format.AddGroup();
  group->SetId("PT");
  group->InsertElement(0)->SetId("NR");
  group->InsertLiteral(1)->SetText(" ");
  ASSERT_TRUE(format.Save());
  EXPECT_EQ(ReadBytes(dir / "edit.xml"),
            "<?xml version=\"1.0\"?>\r\n<!--ULVO File Format Definition-->\r\n"
            "<format simple=\"true\" name=\"Survey\" type=\"POINTS\"><repeat><node><radio>"
            "<group id=\"PT\"><terminated><element id=\"NR\"/><literal hex=\"true\">20</literal>"
            "</terminated></group></radio></node></repeat></format>\r\n");

  FormatDefinition again(dir / "edit.xml");
  ASSERT_TRUE(again.Load());
  EXPECT_EQ(again.Name(), "Survey");
  EXPECT_EQ(again.Type(), "POINTS");
  ASSERT_EQ(again.GroupCount(), 1u);
  EXPECT_EQ(again.Group(0)->ItemCount(), 2u);
  const auto parsed = ParseBytes(dir, again, "a b ");
  EXPECT_TRUE(parsed.ok);
  EXPECT_EQ(parsed.document, DataDocumentText("\t<PT>\r\n\t\t<NR>a</NR>\r\n\t</PT>\r\n"
                                              "\t<PT>\r\n\t\t<NR>b</NR>\r\n\t</PT>\r\n"));

  again.RemoveGroup(again.Group(0));
  EXPECT_EQ(again.GroupCount(), 0u);
  EXPECT_TRUE(again.IsModified());
}

TEST(FormatDefinition, SaveToAnUnwritablePlaceFails) {
  TempDir dir;
  FormatDefinition format(dir / "no-such-folder" / "f.xml");
  EXPECT_FALSE(format.Save());
  EXPECT_TRUE(format.IsModified());
}

TEST(FormatDefinition, FailedWriteLeavesTheFileCreatedAfresh) {
  TempDir dir;
  auto format = LoadDefinition(dir, "<format><literal>head;</literal><element id=\"Q\"/></format>");
  ASSERT_TRUE(format);
  const auto path = dir / "out.txt";
  WriteBytes(path, "old contents");
  pugi::xml_document doc;
  std::string why = "stale";
  EXPECT_FALSE(format->WriteFile(NewDataDocument(doc), path, &why));
  // The root sequence rolled back its own output; the file was still created afresh.
  EXPECT_EQ(ReadBytes(path), "");
  // A record the format cannot write has no file reason; the caller says so.
  EXPECT_EQ(why, "");
  EXPECT_FALSE(format->WriteFile(NewDataDocument(doc), dir / "missing" / "out.txt", &why));
  EXPECT_EQ(why, std::strerror(ENOENT));
  EXPECT_FALSE(format->WriteFile(NewDataDocument(doc), dir.Path(), &why));
  EXPECT_EQ(why, std::strerror(EISDIR));
}

TEST(FormatList, RefreshFindAddRemove) {
  TempDir dir;
  std::filesystem::create_directories(dir / "Formats");
  WriteBytes(dir / "Formats" / "a.xml", R"(<format name="Twin" type="T1"/>)");
  WriteBytes(dir / "Formats" / "b.txt", R"(<format name="Twin" type="T2"/>)");
  WriteBytes(dir / "Formats" / "c.xml", R"(<format name="Other"><bad/></format>)");
  WriteBytes(dir / "Formats" / "d", "not xml at all");
  std::filesystem::create_directories(dir / "Formats" / "sub");

  FormatList list;
  list.Refresh(dir.Path());
  ASSERT_EQ(list.Count(), 2u);
  EXPECT_EQ(list.Find("Twin")->Type(), "T1");
  EXPECT_EQ(list.Find("twin"), nullptr);
  EXPECT_EQ(list.Find("Other"), nullptr);

  FormatDefinition* added = list.AddNew();
  EXPECT_TRUE(added->Path().empty());
  EXPECT_EQ(list.Count(), 3u);
  list.Remove(list.At(0));
  EXPECT_EQ(list.Find("Twin")->Type(), "T2");
  list.Refresh(dir.Path());
  EXPECT_EQ(list.Count(), 2u);

  FormatList none;
  none.Refresh(dir / "nowhere");
  EXPECT_EQ(none.Count(), 0u);
}

TEST(FormatFileName, NumbersUntilFree) {
  TempDir dir;
  std::filesystem::create_directories(dir / "Formats");
  EXPECT_EQ(NewFormatFilePath(dir.Path(), "Survey"), dir / "Formats" / "Survey.xml");
  WriteBytes(dir / "Formats" / "Survey.xml", "");
  WriteBytes(dir / "Formats" / "Survey2.xml", "");
  EXPECT_EQ(NewFormatFilePath(dir.Path(), "Survey"), dir / "Formats" / "Survey3.xml");
}

struct NameCase {
  const char* name;
  const char* file;
};

class FormatFileNameSafety : public testing::TestWithParam<NameCase> {};

TEST_P(FormatFileNameSafety, StaysInsideFormats) {
  EXPECT_EQ(SafeFileName(GetParam().name), GetParam().file);
  const std::filesystem::path path = NewFormatFilePath("/prog", GetParam().name);
  EXPECT_EQ(path.parent_path(), std::filesystem::path("/prog/Formats"));
}

INSTANTIATE_TEST_SUITE_P(Names, FormatFileNameSafety,
                         testing::Values(NameCase{"Survey", "Survey"},
                                         NameCase{"../../etc/passwd", "______etc_passwd"},
                                         NameCase{"..", "__"}, NameCase{".hidden", "_hidden"},
                                         NameCase{"a\\b:c*d?e\"f<g>h|i", "a_b_c_d_e_f_g_h_i"},
                                         NameCase{"", "Format"}, NameCase{"tab\there", "tab_here"},
                                         NameCase{"1.5 m grid", "1.5 m grid"}));

}  // namespace
}  // namespace ulvo
