#include <gtest/gtest.h>

#include <functional>

#include "ulvo/engine/format_design.h"
#include "ulvo/tests/engine/engine_test_support.h"

namespace ulvo {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

// A hand-indented simple definition, one line per entry below.
const std::vector<std::string> kLines = {
    "<?xml version=\"1.0\"?>",                                                      // 0
    "<!--ULVO File Format Definition-->",                                           // 1
    "<format type=\"POINTS\" name=\"Points\" simple=\"true\">",                     // 2
    "\t<repeat>",                                                                   // 3
    "\t\t<node>",                                                                   // 4
    "\t\t\t<radio>",                                                                // 5
    "\t\t\t\t<group id=\"PT\" name=\"Point\">",                                     // 6
    "\t\t\t\t\t<!-- name, then easting -->",                                        // 7
    "\t\t\t\t\t<terminated><element id=\"NR\"/><literal>,</literal></terminated>",  // 8
    "\t\t\t\t\t<element id='E'  width=\"10\" align=\"right\" precision=\"3\"/>",    // 9
    "\t\t\t\t\t<literal hex=\"true\">0D0A</literal>",                               // 10
    "\t\t\t\t</group>",                                                             // 11
    "\t\t\t\t<group id=\"CD\" name=\"Code\"/>",                                     // 12
    "\t\t\t</radio>",                                                               // 13
    "\t\t</node>",                                                                  // 14
    "\t</repeat>",                                                                  // 15
    "</format>",                                                                    // 16
};

std::string Join(const std::vector<std::string>& lines, const std::string& end) {
  std::string text;
  for (const std::string& line : lines) text += line + end;
  return text;
}

struct LineEdit {
  size_t line;     // where, in the original lines
  size_t removed;  // lines taken out there
  std::vector<std::string> inserted;
};

struct LayoutCase {
  const char* name;
  std::function<void(FormatDefinition&)> edit;
  std::vector<LineEdit> changes;  // from the last line up, so earlier numbers stay valid
};

ElementDefinition& Element(FormatDefinition& f, size_t group, size_t item) {
  auto* element = dynamic_cast<ElementDefinition*>(f.Group(group)->Item(item));
  if (!element) throw std::logic_error("not an element");
  return *element;
}

class Layout : public testing::TestWithParam<std::tuple<LayoutCase, const char*>> {};

TEST_P(Layout, OnlyEditedLinesChange) {
  const auto& [c, end] = GetParam();
  TempDir dir;
  WriteBytes(dir / "f.xml", Join(kLines, end));
  FormatDefinition format(dir / "f.xml");
  ASSERT_TRUE(format.Load()) << format.LoadError();
  c.edit(format);
  std::string reason;
  ASSERT_TRUE(format.Save(&reason)) << reason;
  std::vector<std::string> expected = kLines;
  for (const LineEdit& change : c.changes) {
    expected.erase(expected.begin() + static_cast<long>(change.line),
                   expected.begin() + static_cast<long>(change.line + change.removed));
    expected.insert(expected.begin() + static_cast<long>(change.line), change.inserted.begin(),
                    change.inserted.end());
  }
  EXPECT_EQ(ReadBytes(dir / "f.xml"), Join(expected, end));
  FormatDefinition again(dir / "f.xml");
  EXPECT_TRUE(again.Load()) << again.LoadError();
}

INSTANTIATE_TEST_SUITE_P(
    Edits, Layout,
    testing::Combine(
        testing::Values(
            LayoutCase{
                "RenameFormat",
                [](FormatDefinition& f) { FormatDesign::RenameFormat(f, "Points & more"); },
                {{2, 1, {"<format type=\"POINTS\" name=\"Points &amp; more\" simple=\"true\">"}}}},
            LayoutCase{"WidthKeepsQuotesAndSpacing",
                       [](FormatDefinition& f) { EditElementWidth(Element(f, 0, 2), "12"); },
                       {{9,
                         1,
                         {"\t\t\t\t\t<element id='E'  width=\"12\" align=\"right\" "
                          "precision=\"3\"/>"}}}},
            LayoutCase{"AppendedElement",
                       [](FormatDefinition& f) { EditElementId(*AppendElement(*f.Group(0)), "Z"); },
                       {{11, 0, {"\t\t\t\t\t<element id=\"Z\"/>"}}}},
            LayoutCase{"RemovedElement",
                       [](FormatDefinition& f) { f.Group(0)->RemoveItem(2); },
                       {{9, 1, {}}}},
            LayoutCase{"RemovedFieldUnpairsItsTerminator",
                       [](FormatDefinition& f) { f.Group(0)->RemoveItem(0); },
                       {{8, 1, {"\t\t\t\t\t<literal>,</literal>"}}}},
            LayoutCase{"NewGroupWithAnItem",
                       [](FormatDefinition& f) {
                         GroupDefinition* g = FormatDesign::AddGroup(f, "New", "PT");
                         EditElementWidth(*AppendElement(*g), "5");
                       },
                       {{13,
                         0,
                         {"\t\t\t\t<group name=\"New\" id=\"PT\">",
                          "\t\t\t\t\t<element id=\"\" width=\"5\"/>", "\t\t\t\t</group>"}}}},
            LayoutCase{"EmptyGroupGetsAPair",
                       [](FormatDefinition& f) {
                         EditElementId(*AppendElement(*f.Group(1)), "C");
                         AppendLiteral(*f.Group(1))->SetText(";");
                       },
                       {{12,
                         1,
                         {"\t\t\t\t<group id=\"CD\" name=\"Code\">",
                          "\t\t\t\t\t<terminated><element id=\"C\"/><literal>;</literal>"
                          "</terminated>",
                          "\t\t\t\t</group>"}}}},
            LayoutCase{"RemovedGroup",
                       [](FormatDefinition& f) { f.RemoveGroup(f.Group(1)); },
                       {{12, 1, {}}}},
            LayoutCase{"RemovedFirstGroup",
                       [](FormatDefinition& f) { f.RemoveGroup(f.Group(0)); },
                       {{6, 6, {}}}}),
        testing::Values("\n", "\r\n")),
    [](const testing::TestParamInfo<std::tuple<LayoutCase, const char*>>& param) {
      return std::string(std::get<0>(param.param).name) +
             (std::string(std::get<1>(param.param)) == "\n" ? "Lf" : "CrLf");
    });

struct FileCase {
  const char* name;
  std::string before;
  std::function<void(FormatDefinition&)> edit;
  std::string after;
};

class LayoutFile : public testing::TestWithParam<FileCase> {};

TEST_P(LayoutFile, KeepsWhatWasNotEdited) {
  TempDir dir;
  WriteBytes(dir / "f.xml", GetParam().before);
  FormatDefinition format(dir / "f.xml");
  ASSERT_TRUE(format.Load()) << format.LoadError();
  GetParam().edit(format);
  std::string reason;
  ASSERT_TRUE(format.Save(&reason)) << reason;
  EXPECT_EQ(ReadBytes(dir / "f.xml"), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    Files, LayoutFile,
    testing::Values(
        FileCase{"OneLineStaysOneLine",
                 "<format simple=\"true\"><repeat><node><radio><group id=\"A\">"
                 "<element id=\"X\" width=\"2\"/></group></radio></node></repeat></format>",
                 [](FormatDefinition& f) { AppendLiteral(*f.Group(0))->SetText(";"); },
                 "<format simple=\"true\"><repeat><node><radio><group id=\"A\">"
                 "<element id=\"X\" width=\"2\"/><literal>;</literal></group></radio></node>"
                 "</repeat></format>"},
        FileCase{"ReferencesOutsideTheEditStay",
                 "<format simple=\"true\"><repeat><node><radio><group id=\"A\">\n"
                 "  <literal>&#x41;&amp;</literal>\n"
                 "  <element id=\"X\" width=\"2\" fill=\"&#48;\"/>\n"
                 "</group></radio></node></repeat></format>\n",
                 [](FormatDefinition& f) { EditElementAlign(Element(f, 0, 1), true); },
                 "<format simple=\"true\"><repeat><node><radio><group id=\"A\">\n"
                 "  <literal>&#x41;&amp;</literal>\n"
                 "  <element id=\"X\" width=\"2\" fill=\"&#48;\" align=\"right\"/>\n"
                 "</group></radio></node></repeat></format>\n"},
        FileCase{"ByteOrderMarkOnce",
                 "\xEF\xBB\xBF<format name=\"a\">\r\n  <literal>x</literal>\r\n</format>\r\n",
                 [](FormatDefinition& f) { FormatDesign::RenameFormat(f, "b"); },
                 "\xEF\xBB\xBF<format name=\"b\">\r\n  <literal>x</literal>\r\n</format>\r\n"},
        FileCase{"Latin1KeepsLayoutAndBytes",
                 "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<format name=\"Caf\xE9\">\n"
                 "\t<literal>\xE9</literal>\n</format>\n",
                 [](FormatDefinition& f) { FormatDesign::RenameFormat(f, "Th\xC3\xA9"); },
                 "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<format name=\"Th\xE9\">\n"
                 "\t<literal>\xE9</literal>\n</format>\n"},
        FileCase{"TypeAddedToTheRootOnly",
                 "<?xml version='1.0'?>\n<format  name = \"a\" >\n  <literal/>\n</format>",
                 [](FormatDefinition& f) { FormatDesign::SetFormatType(f, "POINTS"); },
                 "<?xml version='1.0'?>\n<format  name = \"a\" type=\"POINTS\" >\n  <literal/>\n"
                 "</format>"}),
    [](const testing::TestParamInfo<FileCase>& param) { return std::string(param.param.name); });

TEST(LayoutSave, WhatWouldNotLoadIsNotWritten) {
  TempDir dir;
  const std::string original = Join(kLines, "\n");
  WriteBytes(dir / "f.xml", original);
  FormatDefinition format(dir / "f.xml");
  ASSERT_TRUE(format.Load());
  // Past the editor's checks, straight into the model: a control character in the name.
  format.SetName("a\x01");
  std::string reason;
  EXPECT_FALSE(format.Save(&reason));
  EXPECT_EQ(reason.rfind((dir / "f.xml").string() + ": the definition would not load again: ", 0),
            0u)
      << reason;
  EXPECT_EQ(ReadBytes(dir / "f.xml"), original);
  EXPECT_TRUE(format.IsModified());
}

TEST(LayoutSave, DeepDocumentIsSavedWithoutItsLayout) {
  // Nesting inside a literal is not the parser's, so it loads however deep it goes.
  std::string deep;
  for (int i = 0; i < 5000; ++i) deep += "<a>";
  for (int i = 0; i < 5000; ++i) deep += "</a>";
  TempDir dir;
  WriteBytes(dir / "f.xml", "<format name=\"a\">\n<literal>" + deep + "</literal>\n</format>\n");
  FormatDefinition format(dir / "f.xml");
  ASSERT_TRUE(format.Load()) << format.LoadError();
  FormatDesign::RenameFormat(format, "b");
  std::string reason;
  ASSERT_TRUE(format.Save(&reason)) << reason;
  // Written as new documents are: no white space added, empty elements closed at once.
  std::string written;
  for (int i = 0; i < 4999; ++i) written += "<a>";
  written += "<a/>";
  for (int i = 0; i < 4999; ++i) written += "</a>";
  EXPECT_EQ(ReadBytes(dir / "f.xml"),
            "<format name=\"b\"><literal>" + written + "</literal></format>\r\n");
}

}  // namespace
}  // namespace ulvo
