#include "ulvo/engine/format_design.h"

#include <gtest/gtest.h>

#include "ulvo/tests/engine/engine_test_support.h"

namespace ulvo {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

constexpr const char* kSkeletonStart =
    "<?xml version=\"1.0\"?>\r\n<!--ULVO File Format Definition-->\r\n";

class Design : public testing::Test {
 protected:
  Design() { std::filesystem::create_directories(dir / "Formats"); }
  std::vector<std::string> Files() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir / "Formats")) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  TempDir dir;
};

TEST_F(Design, NewFormatsGetNumberedNamesAndRemovedNewOnesLeaveNothing) {
  FormatDesign design(dir.Path());
  design.Refresh();
  FormatDefinition* first = design.AddFormat("Format", "POINTS");
  design.AddFormat("Format", "");
  FormatDefinition* gone = design.AddFormat("Gone", "");
  design.RemoveFormat(gone);
  EXPECT_TRUE(design.DeleteQueue().empty());
  EXPECT_FALSE(FormatDesign::RenameFormat(*first, ""));
  EXPECT_EQ(first->Name(), "Format");
  ASSERT_EQ(design.Save().kind, FormatDesign::SaveResult::kSaved);
  EXPECT_EQ(Files(), (std::vector<std::string>{"Format.xml", "Format2.xml"}));
  EXPECT_EQ(ReadBytes(dir / "Formats/Format.xml"),
            std::string(kSkeletonStart) +
                "<format simple=\"true\" name=\"Format\" type=\"POINTS\"><repeat><node><radio/>"
                "</node></repeat></format>\r\n");
}

TEST_F(Design, RemovedSavedFormatIsDeletedAtSaveOnly) {
  WriteBytes(dir / "Formats/a.xml", "<format name=\"A\"/>");
  WriteBytes(dir / "Formats/b.xml", "<format name=\"B\"/>");
  FormatDesign design(dir.Path());
  design.Refresh();
  ASSERT_EQ(design.Formats().Count(), 2u);
  design.RemoveFormat(design.Formats().Find("A"));
  design.RemoveFormat(design.Formats().Find("B"));
  EXPECT_EQ(design.DeleteQueue().size(), 2u);
  EXPECT_EQ(Files().size(), 2u);  // nothing before OK
  // b.xml, queued last, is deleted first; a.xml cannot be deleted and stays queued.
  std::filesystem::remove(dir / "Formats/a.xml");
  std::filesystem::create_directories(dir / "Formats/a.xml/inside");
  const auto result = design.Save();
  EXPECT_EQ(result.kind, FormatDesign::SaveResult::kDeleteFailed);
  EXPECT_EQ(result.argument, (dir / "Formats/a.xml").string());
  ASSERT_EQ(design.DeleteQueue().size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(dir / "Formats/b.xml"));
  // Once the obstacle is gone the queue empties; a file already gone is no failure.
  std::filesystem::remove_all(dir / "Formats/a.xml");
  EXPECT_EQ(design.Save().kind, FormatDesign::SaveResult::kSaved);
  EXPECT_TRUE(design.DeleteQueue().empty());
}

TEST_F(Design, GroupsOnlyForSimpleFormatsWithTheSkeleton) {
  WriteBytes(dir / "Formats/a.xml",
             "<format name=\"A\" simple=\"true\"><literal>x</literal></format>");
  WriteBytes(dir / "Formats/b.xml",
             "<format name=\"B\"><repeat><node><radio/></node></repeat></format>");
  FormatDesign design(dir.Path());
  design.Refresh();
  EXPECT_FALSE(FormatDesign::CanAddGroups(*design.Formats().Find("A")));
  EXPECT_FALSE(FormatDesign::CanAddGroups(*design.Formats().Find("B")));
  EXPECT_TRUE(FormatDesign::CanAddGroups(*design.AddFormat("C", "")));
}

TEST_F(Design, SaveFailureNamesTheFormat) {
  FormatDesign design(dir / "nowhere");
  design.AddFormat("Survey", "");
  const auto result = design.Save();
  EXPECT_EQ(result.kind, FormatDesign::SaveResult::kSaveFailed);
  EXPECT_EQ(result.argument, "Survey");
}

TEST_F(Design, OnlyAWidthChangeRewritesTheGroup) {
  const std::string original =
      "<?xml version=\"1.0\"?>\n<format name=\"F\" simple=\"true\">\n\t<repeat><node><radio>\n"
      "\t\t<group id=\"PT\" name=\"P\"><element id=\"NR\" width=\"4\" factor=\"2\"/>"
      "<literal>;</literal></group>\n\t</radio></node></repeat>\n</format>\n";
  WriteBytes(dir / "Formats/f.xml", original);
  FormatDesign design(dir.Path());
  design.Refresh();
  EXPECT_EQ(design.Save().kind, FormatDesign::SaveResult::kSaved);
  EXPECT_EQ(ReadBytes(dir / "Formats/f.xml"), original);  // untouched: not written

  GroupDefinition* group = design.Formats().At(0)->Group(0);
  EditElementWidth(*dynamic_cast<ElementDefinition*>(group->Item(0)), "12");
  EXPECT_TRUE(design.Formats().At(0)->IsModified());
  EXPECT_EQ(design.Save().kind, FormatDesign::SaveResult::kSaved);
  EXPECT_EQ(ReadBytes(dir / "Formats/f.xml"),
            "<?xml version=\"1.0\"?>\r\n<format name=\"F\" simple=\"true\"><repeat><node><radio>"
            "<group id=\"PT\" name=\"P\"><element id=\"NR\" width=\"12\"/><literal>;</literal>"
            "</group></radio></node></repeat></format>\r\n");
}

TEST_F(Design, ShippedDefinitionsStayByteIdenticalWhenNothingIsEdited) {
  const std::filesystem::path shipped = std::filesystem::path(ULVO_DATA_DIR) / "Formats";
  std::filesystem::remove(dir / "Formats");
  std::filesystem::copy(shipped, dir / "Formats");
  FormatDesign design(dir.Path());
  design.Refresh();
  ASSERT_GE(design.Formats().Count(), 3u);
  for (size_t i = 0; i < design.Formats().Count(); ++i) {
    EXPECT_FALSE(design.Formats().At(i)->IsModified()) << design.Formats().At(i)->Name();
  }
  EXPECT_EQ(design.Save().kind, FormatDesign::SaveResult::kSaved);
  for (const auto& entry : std::filesystem::directory_iterator(shipped)) {
    EXPECT_EQ(ReadBytes(dir / "Formats" / entry.path().filename()), ReadBytes(entry.path()))
        << entry.path();
  }
  EXPECT_EQ(Files().size(),
            static_cast<size_t>(std::distance(std::filesystem::directory_iterator(shipped), {})));
}

TEST(DesignEdits, ElementPanelRules) {
  ElementDefinition element;
  struct WidthCase {
    const char* text;
    int width;
  };
  for (const WidthCase& c :
       {WidthCase{"", 0}, WidthCase{"07", 7}, WidthCase{"1048576", 1048576},
        WidthCase{"1048577", kMaxFieldWidth}, WidthCase{"99999999999", kMaxFieldWidth}}) {
    EditElementWidth(element, c.text);
    EXPECT_EQ(element.Width(), c.width) << c.text;
  }
  EXPECT_TRUE(element.Modified());
  EXPECT_EQ(EditElementFill(element, "0x"), "0");
  EXPECT_EQ(element.Fill(), '0');
  EXPECT_EQ(EditElementFill(element, ""), "");
  EXPECT_EQ(element.Fill(), ' ');
  EditElementOffset(element, "-1.5m");
  EXPECT_EQ(element.Offset(), -1.5);
}

TEST(DesignEdits, LiteralPanelRules) {
  struct HexCase {
    const char* typed;
    const char* kept;
    bool cleaned;
    const char* stored;
  };
  for (const HexCase& c :
       {HexCase{"0D0A0", "0D0A0", false, "00D0A0"}, HexCase{"0D0A", "0D0A", false, "0D0A"},
        HexCase{"0d 0g-a", "0d0a", true, "0d0a"}, HexCase{"F", "F", false, "0F"},
        HexCase{"xyz", "", true, ""}}) {
    LiteralDefinition literal;
    literal.SetHex(true);
    literal.SetModified(false);
    bool cleaned = false;
    EXPECT_EQ(EditLiteralText(literal, c.typed, &cleaned), c.kept) << c.typed;
    EXPECT_EQ(cleaned, c.cleaned) << c.typed;
    EXPECT_EQ(literal.Text(), c.stored) << c.typed;
    EXPECT_TRUE(literal.Modified());
  }
  // Out of hexadecimal mode the text is taken as typed.
  LiteralDefinition plain;
  bool cleaned = true;
  EXPECT_EQ(EditLiteralText(plain, "a b", &cleaned), "a b");
  EXPECT_FALSE(cleaned);
  EXPECT_EQ(EditLiteralHex(plain, true), "612062");
  EXPECT_EQ(EditLiteralHex(plain, false), "a b");
}

TEST(DesignEdits, NewItemsAndTheirListTexts) {
  pugi::xml_document doc;
  GroupDefinition group(doc.append_child("group"));
  ElementDefinition* element = AppendElement(group);
  LiteralDefinition* literal = AppendLiteral(group);
  const std::vector<IdName> elements = {{"NR", "Point name"}, {"E", "Easting"}};
  EXPECT_EQ(ItemListText(*element, elements), "");
  EditElementId(*element, "E");
  EXPECT_EQ(ItemListText(*element, elements), "Easting");
  EditElementId(*element, "e");  // identifiers compare exactly
  EXPECT_EQ(ItemListText(*element, elements), "");
  EXPECT_EQ(ItemListText(*literal, elements), "Test");
  group.Rewrite();
  EXPECT_EQ(test::DocumentText(doc),
            "<group><terminated><element id=\"e\"/><literal>Test</literal></terminated>"
            "</group>\r\n");
}

TEST(IdNameList, EditingSortingAndWritingBack) {
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_string(
      R"(<types><type id="b" name="beta"/><!--keep--><type id="A" name="Gamma"/><other/></types>)",
      pugi::parse_default | pugi::parse_comments));
  IdNameList list;
  list.Read(doc.first_child(), "type");
  ASSERT_EQ(list.Count(), 2u);
  bool removed = false;
  EXPECT_EQ(RemoveSpaces("A B", &removed), "AB");
  EXPECT_TRUE(removed);
  EXPECT_EQ(RemoveSpaces("AB", &removed), "AB");
  EXPECT_FALSE(removed);
  const size_t added = list.Add("ID", "Name");
  EXPECT_EQ(added, 2u);
  list.SetId(added, "c");
  list.SetName(added, "alpha");
  // By name, letter case ignored; the selected row follows its entry.
  EXPECT_EQ(list.Sort(1, 2), 0);
  EXPECT_EQ(list.Row(0).id, "c");
  EXPECT_EQ(list.Row(2).id, "A");
  list.Sort(0);  // by identifier: A, b, c
  EXPECT_EQ(list.Row(0).id, "A");
  EXPECT_EQ(list.Row(1).id, "b");
  // Removing the last row selects the one before; removing the only row selects none.
  EXPECT_EQ(list.Remove(2), 1);
  EXPECT_EQ(list.Remove(0), 0);
  list.Write(doc.first_child(), "type");
  EXPECT_EQ(test::DocumentText(doc),
            "<types><!--keep--><other/><type id=\"b\" name=\"beta\"/></types>\r\n");
  EXPECT_EQ(list.Remove(0), -1);
  EXPECT_EQ(list.FirstInvalidXmlName(), "");
  list.Add("1st", "x");
  EXPECT_EQ(list.FirstInvalidXmlName(), "1st");
}

TEST(IdNameList, MissingListNodeIsCreated) {
  pugi::xml_document doc;
  pugi::xml_node settings = doc.append_child("settings");
  pugi::xml_node node = IdListNode(settings, "groups");
  EXPECT_EQ(std::string(node.path()), "/settings/conversion/groups");
  EXPECT_EQ(IdListNode(settings, "groups"), node);
}

}  // namespace
}  // namespace ulvo
